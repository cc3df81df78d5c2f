# Where downloads and the compiler cache live, and the one download: qrcodegen's source
# from Debian's source archive, pinned by its hash. The build includes this file;
# tools/setup.sh runs it with `cmake -P` to read the same values.
if(NOT "$ENV{TOLVENAIRE_CACHE}" STREQUAL "")
  set(TOLVENAIRE_CACHE_DIR "$ENV{TOLVENAIRE_CACHE}")
else()
  set(TOLVENAIRE_CACHE_DIR "$ENV{HOME}/.cache/tolvenaire")
endif()
set(QRCODEGEN_SOURCE_PACKAGE qr-code-generator)
set(QRCODEGEN_SOURCE_VERSION 1.8.0-1)
set(QRCODEGEN_TARBALL_NAME qr-code-generator_1.8.0.orig.tar.gz)
set(QRCODEGEN_SHA256 2ec0a4d33d6f521c942eeaf473d42d5fe139abcfa57d2beffe10c5cf7d34ae60)

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  foreach(name TOLVENAIRE_CACHE_DIR QRCODEGEN_SOURCE_PACKAGE QRCODEGEN_SOURCE_VERSION QRCODEGEN_TARBALL_NAME
               QRCODEGEN_SHA256)
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${name}=${${name}}")
  endforeach()
endif()
