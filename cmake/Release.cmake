# The file handed to users: a Release build of TolvenaireAndroid.exe, stripped, that
# comes out byte for byte the same from any folder at any time. Release executables
# are stripped by the linker (strip itself would stamp the time into the header), so
# the tests run the very file that is shipped; target `dist` copies it to <build>/dist/.
if(NOT WIN32)
  return()
endif()

# -O2 as in the other builds: CMake's -O3 makes the file 70 KB larger for nothing measured.
foreach(lang C CXX)
  string(REPLACE "-O3" "-O2" CMAKE_${lang}_FLAGS_RELEASE "${CMAKE_${lang}_FLAGS_RELEASE}")
endforeach()

# No build-machine paths (__FILE__, debug records) and no link time in the PE header.
set(release $<CONFIG:Release>)
add_compile_options(
  $<${release}:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>
  $<${release}:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>)
add_link_options($<${release}:LINKER:--no-insert-timestamp> $<${release}:-s>)

add_custom_target(dist
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:TolvenaireAndroid> ${CMAKE_BINARY_DIR}/dist/TolvenaireAndroid.exe
  DEPENDS TolvenaireAndroid
  COMMENT "TolvenaireAndroid.exe in ${CMAKE_BINARY_DIR}/dist"
  VERBATIM)
