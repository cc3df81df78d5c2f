#!/usr/bin/env bash
# Builds every configuration and runs every test:
#   windows  mingw-w64 cross build (Release, the shipped executable), tests under Wine
#   release  the release command twice, in two folders: identical files, and the tested one;
#            the second one signed with a throwaway certificate and checked against the first
#   native   GCC with AddressSanitizer + UndefinedBehaviorSanitizer (and the end-to-end tests)
#   tsan     GCC with ThreadSanitizer
#   fuzz     clang with libFuzzer, each target run for a bounded time
#   lint     clang-tidy over the native build's sources (tools/lint.sh)
# The run also fails when a source differs from .clang-format (TOLVENAIRE_FORMAT_CHECK=0: not checked).
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
started=$SECONDS
bash "$top/tools/setup.sh" || exit 1
source "$top/tools/windows-flags.sh"
jobs=${JOBS:-$(nproc)}
logs=$top/build/logs
# A summary reads only this run's logs.
rm -rf "$logs"
mkdir -p "$logs"
status=0
steps=()
declare -A outcome took
setup_took=$((SECONDS - started))

run_config() {  # name, ctest arguments..., -- cmake arguments...
  # BUILD_TARGET (environment, optional) limits the build to one target; TEST_JOBS
  # (optional) runs that many tests at once instead of one per core.
  local name=$1; shift
  local ctest_args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do ctest_args+=("$1"); shift; done
  shift
  local dir=$top/build/$name start=$SECONDS
  steps+=("$name")
  echo "== $name: configure and build"
  if ! cmake -S "$top" -B "$dir" -G Ninja "$@" >"$logs/$name-configure.log" 2>&1; then
    cat "$logs/$name-configure.log"
    outcome[$name]="FAILED to configure (see $logs/$name-configure.log)"
  elif ! cmake --build "$dir" -j "$jobs" ${BUILD_TARGET:+--target "$BUILD_TARGET"} >"$logs/$name-build.log" 2>&1; then
    tail -n 60 "$logs/$name-build.log"
    outcome[$name]="FAILED to build (see $logs/$name-build.log)"
  else
    local built=$((SECONDS - start))
    echo "== $name: tests"
    (cd "$dir" && ctest --output-on-failure -j "${TEST_JOBS:-$jobs}" "${ctest_args[@]}") 2>&1 | tee "$logs/$name-ctest.log"
    local rc=${PIPESTATUS[0]}
    outcome[$name]=$(grep -E 'tests passed|tests failed out of|Total Test time' "$logs/$name-ctest.log")
    [ -n "${outcome[$name]}" ] || outcome[$name]="ctest exit code $rc, no summary (see $logs/$name-ctest.log)"
    [ "$rc" -eq 0 ] || status=1
    took[$name]="$(clock $((SECONDS - start))) (build $(clock "$built"), tests $(clock $((SECONDS - start - built))))"
    return
  fi
  status=1
  took[$name]=$(clock $((SECONDS - start)))
}

clock() { printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); }

# Wine tests wait on displays, sockets and timers more than they compute: one more
# than the cores keeps the cores busy (2 cores: 341 s at two at once, 242 s at three).
TEST_JOBS=$((jobs + 1)) run_config windows -- "${windows_flags[@]}"
echo "== release: two release builds compared, the second one signed"
start=$SECONDS
steps+=(release)
JOBS=$jobs bash "$top/tools/reproducible.sh" "$top/build/windows" >"$logs/release.log" 2>&1 || status=1
outcome[release]=$(grep '^reproducible:' "$logs/release.log")
[ -n "${outcome[release]}" ] || outcome[release]="FAILED (see $logs/release.log)"
took[release]=$(clock $((SECONDS - start)))
echo "${outcome[release]}"
grep -q '^reproducible: PASS' "$logs/release.log" || tail -n 40 "$logs/release.log"
run_config native -- -DTOLVENAIRE_SANITIZE=address,undefined -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
check_step() {  # name, command...: a step whose last output line is its outcome
  local name=$1 start=$SECONDS; shift
  steps+=("$name")
  echo "== $name"
  "$@" >"$logs/$name.log" 2>&1 || status=1
  outcome[$name]=$(tail -n 1 "$logs/$name.log")
  took[$name]=$(clock $((SECONDS - start)))
  tail -n 40 "$logs/$name.log"
}
check_step lint bash "$top/tools/lint.sh" "$top/build/native"
# TOLVENAIRE_FORMAT_CHECK=0 leaves the layout check out (for a run on work in progress).
[ "${TOLVENAIRE_FORMAT_CHECK:-1}" = 1 ] && check_step format bash "$top/tools/format.sh" --check
run_config tsan -LE e2e -- -DTOLVENAIRE_SANITIZE=thread
BUILD_TARGET=fuzz_targets run_config fuzz -L fuzz -- -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTOLVENAIRE_FUZZ=ON

echo
echo "== summary"
echo "setup: $(clock "$setup_took")"
for name in "${steps[@]}"; do
  echo "$name: ${took[$name]}"
  echo "${outcome[$name]}" | sed 's/^/  /'
done
echo "total: $(clock $((SECONDS - started)))"
exit $status
