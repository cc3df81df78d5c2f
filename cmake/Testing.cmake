include(GoogleTest)

# tolvenaire_wine_env(<variable> <Wine prefix folder>)
# The start of a command that runs a Windows program under Wine in that prefix, quietly.
function(tolvenaire_wine_env variable prefix)
  set(${variable} env WINEPREFIX=${prefix} WINEDEBUG=-all PARENT_SCOPE)
endfunction()

if(WIN32)
  # Wine's helper services keep the output pipe open after the program exits;
  # the wrapper collects the output in a file so CTest does not wait for them.
  tolvenaire_wine_env(wine_env ${CMAKE_BINARY_DIR}/wineprefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${wine_env} ${CMAKE_SOURCE_DIR}/tools/wine-run)
endif()

# Where the test programs find the sources, in one generated source of its own:
# a path in the compile commands would make every clone miss the compiler cache.
set(source_tree ${CMAKE_SOURCE_DIR})
if(WIN32)
  # Under Wine a Unix path is reached through drive Z:.
  set(source_tree Z:${CMAKE_SOURCE_DIR})
endif()
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/tests/source_tree.cpp CONTENT
     "#include \"tests/support/source_tree.h\"\n\nstd::filesystem::path sourceTree() { return R\"(${source_tree})\"; }\n")
add_library(tolvenaire_source_tree STATIC ${CMAKE_BINARY_DIR}/tests/source_tree.cpp)
target_include_directories(tolvenaire_source_tree PUBLIC ${CMAKE_SOURCE_DIR})

# tolvenaire_test(<name> SOURCES ... [LIBRARIES ...] [NO_TEST] [WHOLE] [DISPLAY]
#                 [WINEPREFIX <folder>] [RUN_WITH <command> ...] [WINE_WITH <command> ...]
#                 [LABELS ...] [RESOURCE_LOCK ...] [TIMEOUT <seconds>] [COST <seconds>])
# A GoogleTest executable and its test. Natively each case is its own CTest test; under
# Wine the whole executable is one test, since every Wine start costs a fraction of a
# second. Options:
#   NO_TEST     the executable only (its tests are added by hand)
#   WHOLE       one test for the whole executable natively too
#   DISPLAY     on a private virtual display (tests/support/with_xvfb.sh)
#   WINEPREFIX  a Wine prefix of its own, a folder below the build folder
#   RUN_WITH    a command that runs the test program given as its arguments
#   WINE_WITH   the same, inside the Wine environment (it may run `wine` itself)
#   COST        about the seconds a run takes: a new build folder has no timing history,
#               and CTest starts the costliest tests first instead of the first declared
# RUN_WITH, DISPLAY and WINE_WITH make one test of the whole executable.
function(tolvenaire_test name)
  cmake_parse_arguments(T "NO_TEST;WHOLE;DISPLAY" "WINEPREFIX;TIMEOUT;COST"
                        "SOURCES;LIBRARIES;RUN_WITH;WINE_WITH;LABELS;RESOURCE_LOCK" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBRARIES} tolvenaire_source_tree GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  if(CMAKE_BUILD_TYPE STREQUAL "Release")
    # The test program's own sources only: the libraries under test keep the Release
    # flags they ship with, and -O1 compiles test code in three quarters of the time.
    target_compile_options(${name} PRIVATE -O1)
  endif()
  if(T_NO_TEST)
    return()
  endif()

  set(properties)
  if(T_LABELS)
    list(APPEND properties LABELS "${T_LABELS}")
  endif()
  if(T_RESOURCE_LOCK)
    list(APPEND properties RESOURCE_LOCK "${T_RESOURCE_LOCK}")
  endif()
  if(T_COST)
    list(APPEND properties COST ${T_COST})
  endif()
  if(CMAKE_CROSSCOMPILING)
    if(NOT T_WINEPREFIX)
      set(T_WINEPREFIX wineprefix)
    endif()
    tolvenaire_wine_env(run ${CMAKE_BINARY_DIR}/${T_WINEPREFIX})
    list(APPEND run ${T_WINE_WITH} ${CMAKE_SOURCE_DIR}/tools/wine-run $<TARGET_FILE:${name}>)
    set(default_timeout 600)
  else()
    set(run $<TARGET_FILE:${name}>)
    set(default_timeout 120)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT ${default_timeout})
  endif()
  list(PREPEND run ${T_RUN_WITH})
  if(T_DISPLAY)
    list(PREPEND run ${CMAKE_SOURCE_DIR}/tests/support/with_xvfb.sh)
  endif()

  if(CMAKE_CROSSCOMPILING OR T_WHOLE OR T_DISPLAY OR T_RUN_WITH OR T_WINE_WITH)
    add_test(NAME ${name} COMMAND ${run} --gtest_color=no)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ${properties})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT ${T_TIMEOUT} ${properties})
  endif()
endfunction()
