#!/usr/bin/env bash
# Benchmarks of the link server (figures printed, nothing asserted):
#   1. download of one 1 GiB file over loopback with curl: linkhost against nginx
#      (sendfile on) and python3 -m http.server, alternated, median of ROUNDS runs;
#   2. peak resident memory of linkhost while serving it, and its CPU time over 30 s idle;
#   3. state polls per second answered 304, from 3 source addresses x 3 connections,
#      against the native linkhost and linkhost.exe under Wine, with p50/p99 latency.
# Usage: bash bench/run.sh [download|polls|all]   (ROUNDS=5 POLL_SECONDS=10 by default)
# LINKHOST names another native linkhost to measure (for example a build of main).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
what=${1:-all}
rounds=${ROUNDS:-5}
poll_seconds=${POLL_SECONDS:-10}
idle_seconds=${IDLE_SECONDS:-30}
bench=$top/build/bench
windows=$top/build/windows
data=$bench/data
work=$(mktemp -d)
pids=()
host_pid=
cleanup() {
  for pid in "${pids[@]}" $host_pid; do kill "$pid" 2>/dev/null || true; done
  exec 3>&- 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "== build (native Release, no sanitizers)"
cmake -S "$top" -B "$bench" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$bench" --target linkhost statepoll -j2 >/dev/null
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

source "$top/bench/host.sh"

median() { sort -g | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

download() {
  mkdir -p "$data"
  if [ "$(stat -c %s "$data/big.bin" 2>/dev/null || echo 0)" != 1073741824 ]; then
    echo "== making a 1 GiB file of random bytes"
    head -c 1073741824 /dev/urandom >"$data/big.bin"
  fi
  # nginx with sendfile, one worker, no logging.
  mkdir -p "$work/nginx/logs"
  cat >"$work/nginx/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log;
events { worker_connections 64; }
http {
  sendfile on;
  access_log off;
  client_body_temp_path $work/nginx;
  proxy_temp_path $work/nginx;
  fastcgi_temp_path $work/nginx;
  uwsgi_temp_path $work/nginx;
  scgi_temp_path $work/nginx;
  server { listen 127.0.0.1:18791; root $data; }
}
CONF
  nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" &
  pids+=($!)
  (cd "$data" && exec python3 -m http.server 18792 --bind 127.0.0.1 >/dev/null 2>&1) &
  pids+=($!)
  start_host "${LINKHOST:-$bench/tools/linkhost/linkhost}" --address 127.0.0.1 --file "$data/big.bin"
  local state id
  state=$(curl -s "${link}state")
  id=$(printf '%s' "$state" | sed -n 's/.*"id":"\([0-9a-f]*\)".*/\1/p')
  local rss_before
  rss_before=$(awk '/^VmRSS/ {print $2}' "/proc/$host_pid/status")
  for _ in $(seq 50); do
    curl -s -o /dev/null http://127.0.0.1:18791/big.bin -r 0-0 && curl -s -o /dev/null http://127.0.0.1:18792/ && break
    sleep 0.1
  done
  echo "== download of 1 GiB, MB/s (10^6 bytes), $rounds alternated rounds"
  : >"$work/linkhost.txt"; : >"$work/nginx.txt"; : >"$work/python.txt"
  for round in $(seq "$rounds"); do
    l=$(curl -s -o /dev/null -w '%{speed_download}' "${link}file/$id")
    n=$(curl -s -o /dev/null -w '%{speed_download}' http://127.0.0.1:18791/big.bin)
    p=$(curl -s -o /dev/null -w '%{speed_download}' http://127.0.0.1:18792/big.bin)
    awk -v l="$l" -v n="$n" -v p="$p" -v r="$round" \
      'BEGIN {printf "  round %d: linkhost %.0f  nginx %.0f  python %.0f\n", r, l/1e6, n/1e6, p/1e6}'
    echo "$l" >>"$work/linkhost.txt"; echo "$n" >>"$work/nginx.txt"; echo "$p" >>"$work/python.txt"
  done
  local ml mn mp
  ml=$(median <"$work/linkhost.txt"); mn=$(median <"$work/nginx.txt"); mp=$(median <"$work/python.txt")
  awk -v l="$ml" -v n="$mn" -v p="$mp" 'BEGIN {
    printf "median: linkhost %.0f MB/s, nginx %.0f MB/s, python %.0f MB/s; linkhost/nginx %.2f, linkhost/python %.2f\n",
      l/1e6, n/1e6, p/1e6, l/n, l/p }'
  local peak
  peak=$(awk '/^VmHWM/ {print $2}' "/proc/$host_pid/status")
  echo "== linkhost memory: resident ${rss_before} KiB before, peak ${peak} KiB after $rounds downloads of 1 GiB"
  local tick before after
  tick=$(getconf CLK_TCK)
  before=$(awk '{print $14 + $15}' "/proc/$host_pid/stat")
  sleep "$idle_seconds"
  after=$(awk '{print $14 + $15}' "/proc/$host_pid/stat")
  awk -v b="$before" -v a="$after" -v t="$tick" -v s="$idle_seconds" \
    'BEGIN {printf "== linkhost idle: %.2f s of CPU over %d s\n", (a-b)/t, s}'
  stop_host
}

polls() {
  echo "== state polls, native linkhost (${poll_seconds} s)"
  start_host "$bench/tools/linkhost/linkhost" --address 127.0.0.1 --text "bench"
  "$bench/bench/statepoll" "$link" --addresses 3 --per-address 3 --seconds "$poll_seconds"
  stop_host
  if [ ! -f "$windows/tools/linkhost/linkhost.exe" ]; then
    echo "== building linkhost.exe"
    cmake -S "$top" -B "$windows" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-posix.cmake" >/dev/null
    cmake --build "$windows" --target linkhost -j2 >/dev/null
  fi
  echo "== state polls, linkhost.exe under Wine (${poll_seconds} s)"
  export WINEPREFIX=$windows/wineprefix-bench WINEDEBUG=-all
  start_host wine "$windows/tools/linkhost/linkhost.exe" --address 127.0.0.1 --text "bench"
  "$bench/bench/statepoll" "$link" --addresses 3 --per-address 3 --seconds "$poll_seconds"
  stop_host
  wineserver -k 2>/dev/null || true
}

case $what in
  download) download ;;
  polls) polls ;;
  all) download; polls ;;
  *) echo "usage: bash bench/run.sh [download|polls|all]" >&2; exit 2 ;;
esac
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
