#!/usr/bin/env bash
# Builds TolvenaireAndroid.exe and starts it under Wine. Without a display it runs on
# a virtual one and saves a screenshot of the window.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/tools/setup.sh"
dir=$top/build/windows
source "$top/tools/windows-flags.sh"
cmake -S "$top" -B "$dir" -G Ninja "${windows_flags[@]}" >/dev/null
cmake --build "$dir" --target TolvenaireAndroid -j "$(nproc)"
exe=$dir/app/TolvenaireAndroid.exe
export WINEDEBUG=-all
if [ -z "${WINEPREFIX:-}" ]; then
  # Our own prefix: the interface font gets a stand-in with all of the window's glyphs.
  export WINEPREFIX=$dir/wineprefix-app
  bash "$top/tools/wine-fonts.sh"
fi
if [ -n "${DISPLAY:-}" ]; then
  exec wine "$exe"
fi
source "$top/tests/support/xvfb.sh"
start_xvfb
trap 'kill $xvfb_pid 2>/dev/null' EXIT
export DISPLAY=$display
wine "$exe" &
app=$!
shot=$top/build/screenshot.png
window=
for _ in $(seq 150); do
  window=$(xdotool search --name '^Tolvenaire Android' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
  kill -0 $app 2>/dev/null || break
  sleep 0.2
done
if [ -n "$window" ]; then
  sleep 1
  import -window root "$shot"
  echo "No display: the application ran on virtual display $display; screenshot saved to $shot"
else
  echo "The application window did not appear." >&2
fi
kill $app 2>/dev/null || true
wineserver -k 2>/dev/null || true
