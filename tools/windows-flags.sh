# Sourced by the build scripts: the CMake flags of the Windows build (mingw-w64 cross
# build, Release: the configuration that is tested and shipped). Needs $top.
windows_flags=(-DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-posix.cmake" -DCMAKE_BUILD_TYPE=Release)
