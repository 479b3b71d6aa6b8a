# How tests are built and registered. Every unit, system and interop test
# names the folders whose code it checks (COVERS, see TavrelTests.cmake).
#
# Test programs learn the source and build trees from test_env.cc (CTest
# cannot pass a two-variable environment through test discovery); tests run
# in the appliance sandbox get them from the environment.
include(${CMAKE_CURRENT_LIST_DIR}/TavrelTests.cmake)
set(TAVREL_TEST_ENV_SOURCE ${CMAKE_CURRENT_LIST_DIR}/test_env.cc)
set(TAVREL_TEST_TREES "TAVREL_SOURCE_DIR=${PROJECT_SOURCE_DIR};TAVREL_BINARY_DIR=${PROJECT_BINARY_DIR}")
set(TAVREL_FUZZ_SEED_RUNNER ${CMAKE_CURRENT_LIST_DIR}/fuzz_seed_runner.cc)
# fuzz_target.h declares the fuzz entry point for the targets and the tests
# that call it.
set(TAVREL_TEST_INCLUDE_DIR ${CMAKE_CURRENT_LIST_DIR})
# A GoogleTest program. With AGENT_STAND_IN it stands in for the agent: it
# links the agent's libraries with the stand-in commit (agent/tests) and
# exports the names of agent/tavrel_agent_api.h, which libTavrel resolves
# from the executable.
function(_tavrel_test_program name stand_in sources libs)
  add_executable(${name} ${sources} ${TAVREL_TEST_ENV_SOURCE})
  target_compile_definitions(${name} PRIVATE
    TAVREL_TEST_SOURCE_DIR="${PROJECT_SOURCE_DIR}" TAVREL_TEST_BINARY_DIR="${PROJECT_BINARY_DIR}")
  target_include_directories(${name} PRIVATE ${TAVREL_TEST_INCLUDE_DIR})
  target_link_libraries(${name} PRIVATE ${libs} GTest::gtest_main GTest::gmock)
  if(stand_in)
    target_link_libraries(${name} PRIVATE tavrel_agent_stand_ins tavrel_model_test_support)
    set_target_properties(${name} PROPERTIES ENABLE_EXPORTS ON)
  endif()
endfunction()

# tavrel_add_gtest(<name> SOURCES <files...> [LIBS <libs...>] COVERS <folders...>
#                  [LABEL unit|system|interop] [TIMEOUT <s>] [AGENT_STAND_IN])
# A GoogleTest program whose tests CTest lists when it runs them (a build
# never executes test programs), under the label (default: unit).
function(tavrel_add_gtest name)
  cmake_parse_arguments(T "AGENT_STAND_IN" "LABEL;TIMEOUT" "SOURCES;LIBS;COVERS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  _tavrel_test_program(${name} "${T_AGENT_STAND_IN}" "${T_SOURCES}" "${T_LIBS}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    TEST_LIST ${name}_TESTS
    PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT})
  tavrel_label_discovered_tests(${name} ${T_LABEL} ${T_COVERS})
endfunction()

# tavrel_add_sandbox_test(<name> [LABEL <label>] [TIMEOUT <s>] [COVERS <folders...>]
#                         [SANDBOX_ARGS <args...>] COMMAND <command...>)
# Runs the command inside its own appliance sandbox (private filesystem with
# the appliance's fixed paths, network namespaces), as
# `tests/sandbox/appliance run <args> -- <command>`. Without the privileges
# or tools the sandbox needs, the test is skipped (77).
function(tavrel_add_sandbox_test name)
  cmake_parse_arguments(T "" "LABEL;TIMEOUT" "SANDBOX_ARGS;COMMAND;COVERS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL system)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  add_test(NAME ${name}
    COMMAND ${PROJECT_SOURCE_DIR}/tests/sandbox/appliance run ${T_SANDBOX_ARGS} -- ${T_COMMAND})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT} SKIP_RETURN_CODE 77 ENVIRONMENT "${TAVREL_TEST_TREES}")
  tavrel_set_test_labels(${name} ${T_LABEL} ${T_COVERS})
endfunction()

# tavrel_add_sandbox_gtest(<name> SOURCES <files...> [LIBS <libs...>] COVERS <folders...>
#                          [LABEL system|unit] [TIMEOUT <s>] [SANDBOX_ARGS <args...>]
#                          [AGENT_STAND_IN] [AGENT])
# A GoogleTest program run as one test in its own appliance sandbox. AGENT:
# it drives the built TavrelAgent (tests/support's runner).
function(tavrel_add_sandbox_gtest name)
  cmake_parse_arguments(T "AGENT_STAND_IN;AGENT" "LABEL;TIMEOUT" "SOURCES;LIBS;SANDBOX_ARGS;COVERS" ${ARGN})
  _tavrel_test_program(${name} "${T_AGENT_STAND_IN}" "${T_SOURCES}" "${T_LIBS};tavrel_testsupport")
  if(T_AGENT)
    add_dependencies(${name} TavrelAgent Tavrel)
  endif()
  # Further runs of the program (tavrel_add_sandbox_run) cover the same code.
  set_property(TARGET ${name} PROPERTY TAVREL_COVERS ${T_COVERS})
  tavrel_add_sandbox_test(${name} LABEL "${T_LABEL}" TIMEOUT "${T_TIMEOUT}" SANDBOX_ARGS ${T_SANDBOX_ARGS}
    COVERS ${T_COVERS} COMMAND $<TARGET_FILE:${name}> --gtest_color=no)
endfunction()

# tavrel_add_sandbox_run(<name> PROGRAM <target> FILTER <gtest filter>
#                        [SANDBOX_ARGS <args...>])
# A further sandbox run of a program made by tavrel_add_sandbox_gtest: the
# tests matching the filter, in an appliance set up with the given
# arguments, so one program covers several situations of the appliance.
# It covers the program's folders.
function(tavrel_add_sandbox_run name)
  cmake_parse_arguments(T "" "PROGRAM;FILTER" "SANDBOX_ARGS" ${ARGN})
  get_property(covers TARGET ${T_PROGRAM} PROPERTY TAVREL_COVERS)
  tavrel_add_sandbox_test(${name} SANDBOX_ARGS ${T_SANDBOX_ARGS} COVERS ${covers}
    COMMAND $<TARGET_FILE:${T_PROGRAM}> --gtest_color=no --gtest_filter=${T_FILTER})
endfunction()

# Marks a shared library as a C-linkage library of the appliance: everything
# is hidden except what its headers export with TAVREL_EXPORT.
function(tavrel_c_library name)
  set_target_properties(${name} PROPERTIES
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# tavrel_add_fuzz_target(<name> SOURCES <files...> [LIBS <libs...>] COVERS <folders...>
#                        SEEDS <dirs or files...> [DEFINITIONS <defs...>]
#                        [INCLUDES <dirs...>] [DEPENDS <targets...>])
# A fuzz target: sources that define LLVMFuzzerTestOneInput, and seed inputs
# kept in the repository. Every build runs the target over its seeds as the
# unit test fuzz_seeds_<name>; with TAVREL_FUZZ (clang) it also becomes the
# libFuzzer program fuzz_<name>, which `./dev.sh fuzz` runs.
function(tavrel_add_fuzz_target name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS;SEEDS;DEFINITIONS;INCLUDES;DEPENDS;COVERS" ${ARGN})
  set(programs fuzz_seeds_${name})
  add_executable(fuzz_seeds_${name} ${F_SOURCES} ${TAVREL_FUZZ_SEED_RUNNER})
  add_test(NAME fuzz_seeds_${name} COMMAND fuzz_seeds_${name} ${F_SEEDS})
  set_tests_properties(fuzz_seeds_${name} PROPERTIES TIMEOUT 300)
  tavrel_set_test_labels(fuzz_seeds_${name} unit ${F_COVERS})
  if(TAVREL_FUZZ)
    add_executable(fuzz_${name} ${F_SOURCES})
    list(APPEND programs fuzz_${name})
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    add_dependencies(tavrel_fuzzers fuzz_${name})
    # One line per target for dev.sh: name and seed paths.
    string(REPLACE ";" " " seeds "${F_SEEDS}")
    file(APPEND ${PROJECT_BINARY_DIR}/fuzz_targets.txt "fuzz_${name} ${seeds}\n")
  endif()
  foreach(program ${programs})
    target_link_libraries(${program} PRIVATE ${F_LIBS})
    target_compile_definitions(${program} PRIVATE ${F_DEFINITIONS})
    target_include_directories(${program} PRIVATE ${TAVREL_TEST_INCLUDE_DIR} ${F_INCLUDES})
    # Programs that stand in for the agent export its records to libTavrel.
    set_target_properties(${program} PROPERTIES ENABLE_EXPORTS ON)
    if(F_DEPENDS)
      add_dependencies(${program} ${F_DEPENDS})
    endif()
  endforeach()
endfunction()
