#!/usr/bin/env bash
# Prints figures for the application under Wine: executable size, time from process
# start to the window being shown (cold: fresh wineserver; warm: wineserver already
# running), and the memory of the running application idle and while a phone polls.
#   bash tools/window-bench.sh <TolvenaireAndroid.exe> <window_probe.exe> [runs]
set -uo pipefail
app=$1 probe=$2 runs=${3:-5}
artifacts=$(mktemp -d /tmp/win-bench-shots.XXXXXX)
source "$(dirname "$0")/../tests/app/window_env.sh"
trap 'cleanup; rm -rf "$artifacts"' EXIT

x86_64-w64-mingw32-strip -o "$work/stripped.exe" "$app"
echo "executable size: $(stat -c %s "$app") bytes as built, $(stat -c %s "$work/stripped.exe") bytes stripped"

# Milliseconds from launching wine to the main window being mapped, in $elapsed.
time_to_window() {
  local t0 t1
  t0=$(date +%s%N)
  in_pc env -u LANG LC_ALL=en_US.UTF-8 wine "$app" >/dev/null 2>&1 &
  app_pid=$!
  for _ in $(seq 1500); do
    DISPLAY=$display xdotool search --onlyvisible --name '^Tolvenaire Android' >/dev/null 2>&1 && break
    sleep 0.01
  done
  t1=$(date +%s%N)
  elapsed=$(( (t1 - t0) / 1000000 ))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

cold=() warm=()
for _ in $(seq "$runs"); do
  time_to_window; cold+=("$elapsed"); wait_until 300 window_open; read_rect; close_app
done
in_pc wineserver -p 60 &
wait_until 50 true
for _ in $(seq "$runs"); do
  time_to_window; warm+=("$elapsed"); wait_until 300 window_open; read_rect
  click_on close
  wait "$app_pid"; app_pid=
done
in_pc wineserver -k 2>/dev/null; in_pc wineserver -w
echo "start to window, cold wineserver: median $(printf '%s\n' "${cold[@]}" | median) ms (runs: ${cold[*]})"
echo "start to window, warm wineserver: median $(printf '%s\n' "${warm[@]}" | median) ms (runs: ${warm[*]})"

# Memory: Windows counters through the probe, and the Linux view of the same process.
linux_private_kib() {  # of the Wine process that runs the executable
  local pid name
  for pid in $(pgrep -f "$(basename "$app")"); do
    name=$(readlink /proc/"$pid"/exe 2>/dev/null) || continue
    case $name in
      *wine*preloader*|*wine64*|*/wine)
        awk '/^Private_(Clean|Dirty)/ { kib += $2 } END { print kib + 0 }' /proc/"$pid"/smaps_rollup 2>/dev/null &&
          return ;;
    esac
  done
  echo 0
}
memory_line() {
  local figures; figures=$(in_pc wine "$probe" memory 2>/dev/null | tr -d '\r')
  local ws priv
  ws=$(awk -F'\t' '$1 == "workingSet" { printf "%.1f", $2 / 1048576 }' <<<"$figures")
  priv=$(awk -F'\t' '$1 == "private" { printf "%.1f", $2 / 1048576 }' <<<"$figures")
  page=$(awk -F'\t' '$1 == "pagefile" { printf "%.1f", $2 / 1048576 }' <<<"$figures")
  echo "$1: working set $ws MiB, private bytes $priv MiB (Wine may report 0), pagefile $page MiB," \
       "Linux private resident $(( $(linux_private_kib) / 1024 )) MiB"
}

start_app en_US.UTF-8
sleep 5
memory_line "idle after 5 s"
click_on textEdit
type_text "Benchmark text shared with the phone"
click_on textSend
wait_until 100 link_present || fail "sharing did not start"
link=$(link_text)
polls=0
for _ in $(seq 300); do
  in_phone curl -s -m 5 -o /dev/null "${link}state" && polls=$((polls + 1))
  sleep 0.05
done
memory_line "after $polls state polls"
in_phone curl -s -m 5 -o /dev/null "${link}" 
memory_line "after the page"
close_app
