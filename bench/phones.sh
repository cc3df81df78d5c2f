#!/usr/bin/env bash
# Many phones at once against linkhost (native) and linkhost.exe under Wine: each phone
# from its own loopback address opens the page, polls the state every 2 s and downloads
# the shared file at a phone's pace (bench/phones.cpp). Figures are printed, never
# asserted. One line per run: pages refused, downloads whole, polls lost, slowest and
# 99th-percentile poll, the server's peak thread count and peak resident memory.
#
#   1 phone:   24 MiB at 2 MB/s        12 phones: 12 MiB each at 2 MB/s
#   4 phones:  24 MiB each at 2 MB/s   30 phones:  5 MiB each at 2 Mbit/s
#
# Usage: bash bench/phones.sh [native|wine|both] [PHONES...]   (default: both 1 4 12 30)
# LINKHOST and LINKHOST_EXE name other builds to compare (for example a build of main).
# The peak thread count under Wine includes Wine's own threads in that process.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
which=${1:-both}
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(1 4 12 30)
bench=$top/build/bench
windows=$top/build/windows
native_host=${LINKHOST:-$bench/tools/linkhost/linkhost}
wine_host=${LINKHOST_EXE:-$windows/tools/linkhost/linkhost.exe}
work=$(mktemp -d)
host_pid=
cleanup() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null || true
  exec 3>&- 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "== build (native Release, no sanitizers)"
cmake -S "$top" -B "$bench" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$bench" --target linkhost phones -j2 >/dev/null
if [ "$which" != native ] && [ -z "${LINKHOST_EXE:-}" ]; then
  cmake --build "$windows" --target linkhost -j2 >/dev/null
fi
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

source "$top/bench/host.sh"

run() {  # $1: label, $2: phones; the host command in the rest
  local label=$1 phones=$2 mib rate
  shift 2
  case $phones in
    1 | 4) mib=24 rate=2000000 ;;
    12) mib=12 rate=2000000 ;;
    *) mib=5 rate=250000 ;;
  esac
  file=$work/file-$mib.bin
  [ -f "$file" ] || head -c $((mib * 1048576)) /dev/urandom >"$file"
  start_host "$@" --address 127.0.0.1 --no-qr --file "$file"
  "$bench/bench/phones" "$link" --phones "$phones" --rate "$rate" >"$work/result" &
  local client=$! threads=0 now
  while kill -0 "$client" 2>/dev/null; do
    now=$(awk '/^Threads/ {print $2}' "/proc/$host_pid/status" 2>/dev/null || echo 0)
    [ "${now:-0}" -gt "$threads" ] && threads=$now
    sleep 0.2
  done
  wait "$client" || true
  local peak
  peak=$(awk '/^VmHWM/ {print $2}' "/proc/$host_pid/status")
  printf '%-7s %s, %d MiB at %d B/s; server threads %d, peak memory %d KiB\n' \
    "$label" "$(cat "$work/result")" "$mib" "$rate" "$threads" "$peak"
  stop_host
}

for phones in "${counts[@]}"; do
  if [ "$which" != wine ]; then run native "$phones" "$native_host"; fi
  if [ "$which" != native ]; then
    export WINEPREFIX=$windows/wineprefix-phones WINEDEBUG=-all
    run wine "$phones" wine "$wine_host"
  fi
done
if [ "$which" != native ]; then WINEPREFIX=$windows/wineprefix-phones wineserver -k 2>/dev/null || true; fi
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
