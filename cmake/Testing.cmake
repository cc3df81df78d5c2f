include(GoogleTest)

# tolvenaire_test(<name> SOURCES ... [LIBRARIES ...])
# Natively each case is its own CTest test; under Wine the whole executable is one
# test, since every Wine start costs a fraction of a second.
function(tolvenaire_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBRARIES} GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 120)
  endif()
endfunction()

# tolvenaire_display_test(<executable> <Wine prefix folder>)
# A test executable that needs a window system: under Wine on a private Xvfb display
# (tests/support/with_xvfb.sh), in a Wine prefix of its own below the build folder.
function(tolvenaire_display_test name prefix)
  add_test(NAME ${name}
           COMMAND ${CMAKE_SOURCE_DIR}/tests/support/with_xvfb.sh
                   env WINEPREFIX=${CMAKE_BINARY_DIR}/${prefix} WINEDEBUG=-all
                   ${CMAKE_SOURCE_DIR}/tools/wine-run $<TARGET_FILE:${name}> --gtest_color=no)
  set_tests_properties(${name} PROPERTIES LABELS e2e RESOURCE_LOCK xvfb TIMEOUT 600)
endfunction()
