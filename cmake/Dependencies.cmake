# GoogleTest from Debian's source package, built with the current toolchain and flags.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# qrcodegen: the upstream tarball from Debian's source archive, fetched by tools/setup.sh
# into a cache outside the repository and verified here before use.
set(QRCODEGEN_TARBALL "$ENV{HOME}/.cache/tolvenaire/qr-code-generator_1.8.0.orig.tar.gz"
    CACHE FILEPATH "qr-code-generator 1.8.0 source tarball")
set(QRCODEGEN_SHA256 2ec0a4d33d6f521c942eeaf473d42d5fe139abcfa57d2beffe10c5cf7d34ae60)
if(NOT EXISTS "${QRCODEGEN_TARBALL}")
  message(FATAL_ERROR "qrcodegen source missing: ${QRCODEGEN_TARBALL} (run tools/setup.sh)")
endif()
file(SHA256 "${QRCODEGEN_TARBALL}" qrcodegen_hash)
if(NOT qrcodegen_hash STREQUAL QRCODEGEN_SHA256)
  message(FATAL_ERROR "qrcodegen tarball hash mismatch: ${qrcodegen_hash}")
endif()
set(QRCODEGEN_DIR ${CMAKE_BINARY_DIR}/_deps/qrcodegen)
if(NOT EXISTS ${QRCODEGEN_DIR}/cpp/qrcodegen.cpp)
  file(ARCHIVE_EXTRACT INPUT "${QRCODEGEN_TARBALL}" DESTINATION ${CMAKE_BINARY_DIR}/_deps/extract)
  file(GLOB qrcodegen_top ${CMAKE_BINARY_DIR}/_deps/extract/*)
  file(RENAME ${qrcodegen_top} ${QRCODEGEN_DIR})
endif()
add_library(qrcodegen STATIC ${QRCODEGEN_DIR}/cpp/qrcodegen.cpp)
target_include_directories(qrcodegen SYSTEM PUBLIC ${QRCODEGEN_DIR}/cpp)
