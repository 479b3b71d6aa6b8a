# Debian's hardening build flags, as dpkg-buildflags gives them with
# hardening=+all: fortified functions, stack protector, relro, bindnow and
# PIE, for every program and library (the packages install them, and the
# agent runs as root). The optimisation, debug and path-mapping flags stay
# the build type's. Off in the sanitizer and fuzz builds and without
# optimisation, which fortification needs.
option(TAVREL_HARDENING "Build with Debian's hardening flags (dpkg-buildflags)" ON)
find_program(TAVREL_DPKG_BUILDFLAGS dpkg-buildflags)
if(TAVREL_HARDENING AND TAVREL_DPKG_BUILDFLAGS AND NOT (TAVREL_SANITIZE OR TAVREL_TSAN OR TAVREL_FUZZ)
   AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
  foreach(kind CPPFLAGS CFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${TAVREL_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^(-g|-O[0-9s]?|-f(file|debug|macro)-prefix-map=.*)$")
    set(TAVREL_HARDENING_${kind} ${flags})
  endforeach()
  add_compile_options(${TAVREL_HARDENING_CPPFLAGS}
                      "$<$<COMPILE_LANGUAGE:C>:${TAVREL_HARDENING_CFLAGS}>"
                      "$<$<COMPILE_LANGUAGE:CXX>:${TAVREL_HARDENING_CXXFLAGS}>")
  add_link_options(${TAVREL_HARDENING_LDFLAGS})
  message(STATUS "Hardening flags: ${TAVREL_HARDENING_CPPFLAGS} ${TAVREL_HARDENING_CXXFLAGS} ${TAVREL_HARDENING_LDFLAGS}")
endif()
