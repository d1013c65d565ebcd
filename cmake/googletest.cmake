# GoogleTest for the tests. Debian packages it for the host only; the Windows
# build compiles Debian's sources with the cross compiler. Included from the
# top level, before the sources, whose test helpers link it too.
if(WIN32)
  # No packaged GoogleTest for the cross compiler: build Debian's sources with it.
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Recent GoogleTest sources define the GTest:: names themselves.
  foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
  # Listing and running each test case under wine would start wine hundreds of
  # times; here each test program is one CTest test that runs all its cases in
  # one wine process (the emulator is put in front of it by CMake), with a wine
  # prefix of its own inside the build tree and no Mono or Gecko install
  # prompt when that prefix is first made. Wine passes no QT_
  # variables to programs: the page tests' main chooses offscreen itself.
  function(gtest_discover_tests target)
    add_test(NAME ${target} COMMAND ${target} --gtest_color=no)
    set_tests_properties(${target} PROPERTIES
      ENVIRONMENT "WINEDEBUG=-all;WINEPREFIX=${CMAKE_BINARY_DIR}/.wine;WINEDLLOVERRIDES=mscoree,mshtml="
      TIMEOUT 600)
  endfunction()
else()
  find_package(GTest REQUIRED)
endif()
