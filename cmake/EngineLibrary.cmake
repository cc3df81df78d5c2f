# One static library of the engine: its shared sources, the Windows or the native half,
# the tree's root as include folder, and what it links on every platform and on Windows.
function(tolvenaire_engine_library name)
  cmake_parse_arguments(PARSE_ARGV 1 lib "" "" "SOURCES;WINDOWS;POSIX;LINKS;WINDOWS_LINKS")
  if(WIN32)
    add_library(${name} STATIC ${lib_SOURCES} ${lib_WINDOWS})
    target_link_libraries(${name} PUBLIC ${lib_LINKS} ${lib_WINDOWS_LINKS})
  else()
    add_library(${name} STATIC ${lib_SOURCES} ${lib_POSIX})
    target_link_libraries(${name} PUBLIC ${lib_LINKS})
  endif()
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()
