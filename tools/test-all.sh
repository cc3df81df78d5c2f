#!/usr/bin/env bash
# Builds every configuration and runs every test:
#   windows  mingw-w64 cross build (Release, the shipped executable), tests under Wine
#   release  the release command twice, in two folders: identical files, and the tested one
#   native   GCC with AddressSanitizer + UndefinedBehaviorSanitizer (and the end-to-end tests)
#   tsan     GCC with ThreadSanitizer
#   fuzz     clang with libFuzzer, each target run for a bounded time
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/tools/setup.sh" || exit 1
jobs=${JOBS:-$(nproc)}
logs=$top/build/logs
mkdir -p "$logs"
status=0

run_config() {  # name, ctest arguments..., -- cmake arguments...
  # BUILD_TARGET (environment, optional) limits the build to one target.
  local name=$1; shift
  local ctest_args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do ctest_args+=("$1"); shift; done
  shift
  local dir=$top/build/$name
  echo "== $name: configure and build"
  if ! cmake -S "$top" -B "$dir" -G Ninja "$@" >"$logs/$name-configure.log" 2>&1; then
    cat "$logs/$name-configure.log"; status=1; return
  fi
  if ! cmake --build "$dir" -j "$jobs" ${BUILD_TARGET:+--target "$BUILD_TARGET"} >"$logs/$name-build.log" 2>&1; then
    tail -n 60 "$logs/$name-build.log"; status=1; return
  fi
  echo "== $name: tests"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" "${ctest_args[@]}") 2>&1 | tee "$logs/$name-ctest.log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
}

run_config windows -- -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-posix.cmake" -DCMAKE_BUILD_TYPE=Release
echo "== release: two release builds compared"
JOBS=$jobs bash "$top/tools/reproducible.sh" "$top/build/windows" >"$logs/release.log" 2>&1
[ $? -eq 0 ] || status=1
grep '^reproducible:' "$logs/release.log" || tail -n 40 "$logs/release.log"
run_config native -- -DTOLVENAIRE_SANITIZE=address,undefined
run_config tsan -LE e2e -- -DTOLVENAIRE_SANITIZE=thread
BUILD_TARGET=fuzz_targets run_config fuzz -L fuzz -- -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTOLVENAIRE_FUZZ=ON

echo
echo "== summary"
for name in windows native tsan fuzz; do
  log=$logs/$name-ctest.log
  if [ -f "$log" ]; then
    echo "$name:"; grep -E 'tests passed|tests failed out of|Total Test time' "$log" | sed 's/^/  /'
  else
    echo "$name: not run (see $logs)"
  fi
done
echo "release:"; grep '^reproducible:' "$logs/release.log" 2>/dev/null | sed 's/^/  /'
exit $status
