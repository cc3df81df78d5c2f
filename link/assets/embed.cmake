# Writes a C++ source holding files as byte arrays, for embedding at build time.
#   cmake -DOUTPUT=<file.cpp> -DASSETS=<id>=<path>;... -P embed.cmake
set(arrays "")
set(cases "")
foreach(entry IN LISTS ASSETS)
  string(REGEX MATCH "^([0-9]+)=(.+)$" matched "${entry}")
  if(NOT matched)
    message(FATAL_ERROR "embed.cmake: bad entry ${entry}")
  endif()
  set(id ${CMAKE_MATCH_1})
  set(path ${CMAKE_MATCH_2})
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # 16 bytes a line keeps the generated file readable in a diff tool.
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
  # A trailing zero keeps the array valid when the file is empty.
  string(APPEND arrays "const unsigned char asset${id}[] = {\n    ${bytes}0};\n")
  string(APPEND cases "        case ${id}: return {reinterpret_cast<const char*>(asset${id}), ${size}};\n")
endforeach()
file(WRITE "${OUTPUT}.tmp"
"// Generated from link/assets by embed.cmake; do not edit.
#include \"link/assets/assets.h\"

namespace {
${arrays}}  // namespace

std::string_view embeddedAsset(int id) {
    switch (id) {
${cases}        default: return {};
    }
}
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
