# Which code a test checks, as CTest labels beside its kind (unit, system,
# interop): one label covers:<folder> per source folder, relative to the
# repository root, whose faults the test is there to catch, e.g.
# covers:netkeel or covers:DHCP/dhcpprov/ZPX_DHCPForeignServerProvider.
# The mutation run (tools/mutants.py) takes, for a changed file, the tests
# that cover the file's folder or a folder above it; by hand:
#   ctest --test-dir build -L '^covers:netkeel$'
# The test-adding functions of TavrelTesting.cmake take the folders as
# COVERS <folder...>.

# tavrel_covers_labels(<var> <test> <kind> <folders...>): the labels of a
# test: its kind and covers:<folder> per folder. A unit, system or interop
# test names at least one folder, and each must be a folder of the tree, so
# that a moved folder stops the configuration instead of leaving tests that
# the mutation run never finds.
function(tavrel_covers_labels var test kind)
  if(kind MATCHES "^(unit|system|interop)$" AND NOT ARGN)
    message(FATAL_ERROR "${kind} test ${test}: name the folders it covers (COVERS <folder...>)")
  endif()
  set(labels ${kind})
  foreach(folder ${ARGN})
    if(folder MATCHES "^/|/$|(^|/)\\.\\.?(/|$)" OR NOT IS_DIRECTORY ${PROJECT_SOURCE_DIR}/${folder})
      message(FATAL_ERROR "test ${test}: COVERS ${folder} is no folder of the tree, relative to its root")
    endif()
    list(APPEND labels covers:${folder})
  endforeach()
  set(${var} ${labels} PARENT_SCOPE)
endfunction()

# tavrel_set_test_labels(<test> <kind> <folders...>): the labels of a test
# added with add_test.
function(tavrel_set_test_labels test kind)
  tavrel_covers_labels(labels ${test} ${kind} ${ARGN})
  set_tests_properties(${test} PROPERTIES LABELS "${labels}")
endfunction()

# tavrel_label_discovered_tests(<program> <kind> <folders...>): the labels of
# every test found in a GoogleTest program by
# gtest_discover_tests(<program> TEST_LIST <program>_TESTS ...). CTest sets
# them when it reads the tests, after the discovery, since
# gtest_discover_tests passes a property's value on as one word only.
function(tavrel_label_discovered_tests program kind)
  tavrel_covers_labels(labels ${program} ${kind} ${ARGN})
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${program}_labels.cmake)
  file(CONFIGURE OUTPUT ${script} @ONLY CONTENT
    "if(@program@_TESTS)\n  set_tests_properties(\${@program@_TESTS} PROPERTIES LABELS \"@labels@\")\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()
