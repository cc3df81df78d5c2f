#!/usr/bin/env bash
# Builds every configuration and runs every test:
#   windows  mingw-w64 cross build (Release, the shipped executable), tests under Wine
#   release  the release command twice, in two folders: identical files, and the tested one;
#            the second one signed with a throwaway certificate and checked against the first
#   native   GCC with AddressSanitizer + UndefinedBehaviorSanitizer (and the end-to-end tests)
#   lint     clang-tidy over the Windows and the native build's sources (tools/lint.sh)
#   format   every source as .clang-format lays it out (TOLVENAIRE_FORMAT_CHECK=0: not checked)
#   tsan     GCC with ThreadSanitizer
#   fuzz     clang with libFuzzer, each target run for a bounded time
# The Windows tests mostly wait on displays, sockets and timers, so the native, TSan and
# fuzz builds and the lint run meanwhile in the background, on the time the cores would idle.
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
setup_took=$((SECONDS - started))

clock() { printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); }

# Every step leaves its outcome, its time and, when it failed, a mark in $logs: the steps
# that run in the background report through the same files.
finish() {  # name, time, outcome [failed]
  printf '%s\n' "$3" >"$logs/$1.outcome"
  printf '%s\n' "$2" >"$logs/$1.took"
  [ $# -lt 4 ] || touch "$logs/$1.failed"
}

build() {  # name, cmake arguments...: configure and build, output in the logs only
  # BUILD_TARGET (environment, optional) limits the build to one target; BUILT_IN
  # (optional) says where it ran, for the summary.
  local name=$1 start=$SECONDS
  shift
  local dir=$top/build/$name
  if ! cmake -S "$top" -B "$dir" -G Ninja "$@" >"$logs/$name-configure.log" 2>&1; then
    finish "$name" "$(clock $((SECONDS - start)))" "FAILED to configure (see $logs/$name-configure.log)" failed
  elif ! cmake --build "$dir" -j "$jobs" ${BUILD_TARGET:+--target "$BUILD_TARGET"} >"$logs/$name-build.log" 2>&1; then
    finish "$name" "$(clock $((SECONDS - start)))" "FAILED to build (see $logs/$name-build.log)" failed
  else
    echo "$(clock $((SECONDS - start)))${BUILT_IN:-}" >"$logs/$name.built"
    return 0
  fi
  return 1
}

run_tests() {  # name, ctest arguments...: the tests of a configuration that built
  # TEST_JOBS (environment, optional) runs that many tests at once instead of one per core.
  local name=$1 start=$SECONDS
  shift
  if [ ! -f "$logs/$name.built" ]; then
    echo "== $name: no tests, the build failed"
    tail -n 60 "$logs/$name-build.log" 2>/dev/null || cat "$logs/$name-configure.log"
    return
  fi
  echo "== $name: tests"
  (cd "$top/build/$name" && ctest --output-on-failure -j "${TEST_JOBS:-$jobs}" "$@") 2>&1 | tee "$logs/$name-ctest.log"
  local rc=${PIPESTATUS[0]} outcome
  outcome=$(grep -E 'tests passed|tests failed out of|Total Test time' "$logs/$name-ctest.log")
  [ -n "$outcome" ] || outcome="ctest exit code $rc, no summary (see $logs/$name-ctest.log)"
  finish "$name" "build $(cat "$logs/$name.built"), tests $(clock $((SECONDS - start)))" \
    "$outcome" $([ "$rc" -eq 0 ] || echo failed)
}

check_step() {  # name, command...: a step whose last output line is its outcome
  local name=$1 start=$SECONDS
  shift
  echo "== $name"
  local rc=0
  "$@" >"$logs/$name.log" 2>&1 || rc=1
  finish "$name" "$(clock $((SECONDS - start)))" "$(tail -n 1 "$logs/$name.log")" $([ $rc -eq 0 ] || echo failed)
  tail -n 40 "$logs/$name.log"
}

echo "== windows: configure and build"
# The lint reads its compile commands.
build windows "${windows_flags[@]}" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

echo "== native, lint, tsan, fuzz: building in the background (build/logs/background.log)"
(
  # Idle priority: a Wine test that wakes takes the core at once (at nice 10 the Windows
  # tests ran 6m37s beside a cold build instead of 4m47s alone).
  chrt --idle -p 0 "$BASHPID" || renice -n 19 -p "$BASHPID" >/dev/null
  BUILT_IN=" (in the background)"
  # In the order the tests need them; the lint last, beside the last tests.
  build native -DTOLVENAIRE_SANITIZE=address,undefined -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
  build tsan -DTOLVENAIRE_SANITIZE=thread
  BUILD_TARGET=fuzz_targets build fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTOLVENAIRE_FUZZ=ON
  # Both halves; a half whose build failed is left out, and the lint fails for it.
  lint_over=() lint_missing=
  for half in windows native; do
    if [ -f "$logs/$half.built" ]; then lint_over+=("$top/build/$half"); else lint_missing+=" $half"; fi
  done
  if [ ${#lint_over[@]} -eq 0 ]; then
    finish lint 0m00s "not run: the windows and native builds failed" failed
  else
    check_step lint bash "$top/tools/lint.sh" "${lint_over[@]}"
    if [ -n "$lint_missing" ]; then
      echo "not linted:$lint_missing (the build failed)" >>"$logs/lint.outcome"
      touch "$logs/lint.failed"
    fi
  fi
) >"$logs/background.log" 2>&1 &
background=$!
# Background commands ignore the interrupt key: an interrupted run stops them itself.
stop() {  # process: it and everything it started, found before any of them ends
  local tree=("$1") i=0
  while [ $i -lt ${#tree[@]} ]; do
    tree+=($(pgrep -P "${tree[$i]}"))
    i=$((i + 1))
  done
  kill "${tree[@]}" 2>/dev/null
}
trap 'stop "$background"; exit 130' INT TERM

# Wine tests wait more than they compute: one more than the cores keeps the cores busy
# (2 cores: 341 s at two at once, 242 s at three).
TEST_JOBS=$((jobs + 1)) run_tests windows

echo "== release: two release builds compared, the second one signed"
start=$SECONDS
if JOBS=$jobs bash "$top/tools/reproducible.sh" "$top/build/windows" >"$logs/release.log" 2>&1 &&
  grep -q '^reproducible: PASS' "$logs/release.log"; then
  finish release "$(clock $((SECONDS - start)))" "$(grep '^reproducible:' "$logs/release.log")"
else
  finish release "$(clock $((SECONDS - start)))" "$(grep '^reproducible:' "$logs/release.log" || echo "FAILED (see $logs/release.log)")" failed
  tail -n 40 "$logs/release.log"
fi
cat "$logs/release.outcome"

# Each configuration's tests start as soon as the background has built it.
built() {  # name: waits until the background has built that configuration or given up on it
  local start=$SECONDS
  while [ ! -f "$logs/$1.built" ] && [ ! -f "$logs/$1.failed" ] && kill -0 "$background" 2>/dev/null; do
    sleep 1
  done
  echo "== $1 build done ($(clock $((SECONDS - start))) waited for it)"
}
built native
run_tests native
[ "${TOLVENAIRE_FORMAT_CHECK:-1}" = 1 ] && check_step format bash "$top/tools/format.sh" --check
built tsan
run_tests tsan -LE e2e
built fuzz
run_tests fuzz -L fuzz
waited=$SECONDS
wait "$background"
echo "== background done ($(clock $((SECONDS - waited))) waited for it)"
cat "$logs/background.log"

echo
echo "== summary"
echo "setup: $(clock "$setup_took")"
status=0
for name in windows release native lint format tsan fuzz; do
  [ "$name" = format ] && [ "${TOLVENAIRE_FORMAT_CHECK:-1}" != 1 ] && continue
  if [ -f "$logs/$name.outcome" ]; then
    echo "$name: $(cat "$logs/$name.took")"
    sed 's/^/  /' "$logs/$name.outcome"
  else
    echo "$name: no outcome (see $logs)"
    status=1
  fi
  [ ! -f "$logs/$name.failed" ] || status=1
done
echo "total: $(clock $((SECONDS - started)))"
exit $status
