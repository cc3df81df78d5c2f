#!/usr/bin/env bash
# Random use of the real main window, every invariant checked after each action:
#   bash tools/window-monkey.sh SEED ACTIONS [SEED ACTIONS ...]
# Builds what it needs, then runs under Wine on a private virtual display and prints,
# per seed, the actions taken of each kind, each invariant's checks and the first
# violation with the command that replays it. The test command runs it with
# --run EXE PREFIX and a fixed seed list.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = "--run" ]; then
  exe=$2 prefix=$3
  shift 3
else
  dir=$top/build/windows
  if [ ! -f "$dir/build.ninja" ]; then
    bash "$top/tools/setup.sh"
    source "$top/tools/windows-flags.sh"
    cmake -S "$top" -B "$dir" -G Ninja "${windows_flags[@]}" >/dev/null
  fi
  cmake --build "$dir" --target window_monkey >/dev/null
  exe=$dir/tests/app/window_monkey.exe prefix=$dir/wineprefix-window-monkey
fi
if [ $# -lt 2 ] || [ $(($# % 2)) -ne 0 ]; then
  echo "usage: bash tools/window-monkey.sh SEED ACTIONS [SEED ACTIONS ...]" >&2
  exit 2
fi
export WINEPREFIX=$prefix WINEDEBUG=-all
# The prefix: windows unmanaged (tests/support/wine_unmanaged.sh; the run opens
# thousands of boxes), and no browser, so that Preview and an accepted update offer
# fail visibly instead of opening one.
exec "$top/tests/support/with_xvfb.sh" "$top/tests/support/wine_unmanaged.sh" bash -c '
  for scheme in http https; do
    wine reg delete "HKLM\\Software\\Classes\\$scheme" /f </dev/null >/dev/null 2>&1
  done
  wineserver -w
  exec "$0" "$@"' "$top/tools/wine-run" "$exe" "$@"
