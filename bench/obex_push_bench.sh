#!/usr/bin/env bash
# Pushes a 64 MiB file to the OpenOBEX receiver obex_tcp over loopback with obexpush
# and prints throughput and the payload's share of the bytes on the wire; then, from
# the measured cost of one exchange, estimates a Bluetooth link with a 30 ms round trip.
#   bash bench/obex_push_bench.sh [BUILD_DIR] [RUNS]     (default build/native, 3)
# Needs root (port 650) and no other obex_tcp running.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/native}
runs=${2:-3}
push=$build/tools/obexpush/obexpush
[ -x "$push" ] || { echo "build obexpush first: cmake --build $build --target obexpush"; exit 1; }
work=$(mktemp -d)
receiver=
trap '[ -n "$receiver" ] && kill "$receiver" 2>/dev/null; rm -rf "$work"' EXIT
listening() { ss -Hltn 'sport = :650' 2>/dev/null | grep -q .; }

head -c $((64 * 1024 * 1024)) /dev/urandom >"$work/bench-64MiB.bin"
for run in $(seq "$runs"); do
    mkdir -p "$work/out$run"
    (cd "$work/out$run" && exec obex_tcp >/dev/null 2>&1) &
    receiver=$!
    for _ in $(seq 200); do listening && break; sleep 0.05; done
    "$push" --stats --tcp 127.0.0.1:650 "$work/bench-64MiB.bin" 2>/dev/null >"$work/stats$run"
    for _ in $(seq 200); do kill -0 "$receiver" 2>/dev/null || break; sleep 0.05; done
    kill "$receiver" 2>/dev/null || true
    wait "$receiver" 2>/dev/null || true
    receiver=
    cmp -s "$work/bench-64MiB.bin" "$work/out$run/bench-64MiB.bin" || { echo "run $run: received file differs"; exit 1; }
    rm -f "$work/out$run/bench-64MiB.bin"
done

python3 - "$work" "$runs" <<'PY'
import sys, statistics
work, runs = sys.argv[1], int(sys.argv[2])
stats = []
for r in range(1, runs + 1):
    d = dict(line.strip().split("=", 1) for line in open(f"{work}/stats{r}") if "=" in line)
    stats.append({k: float(v) for k, v in d.items()})
payload = stats[0]["payload_bytes"]
wire = stats[0]["wire_bytes_sent"] + stats[0]["wire_bytes_received"]
tp = [s["throughput_MiBps"] for s in stats]
ex = [s["mean_exchange_ms"] for s in stats]
print(f"object: {payload:.0f} bytes, receiver maximum packet 1024 (obex_tcp), {runs} runs, file identical each time")
print(f"throughput over loopback: median {statistics.median(tp):.2f} MiB/s (min {min(tp):.2f}, max {max(tp):.2f})")
print(f"requests: {stats[0]['requests']:.0f}; wire bytes sent {stats[0]['wire_bytes_sent']:.0f}, received {stats[0]['wire_bytes_received']:.0f}")
print(f"payload share of the wire: {100 * payload / wire:.2f} % (of sent bytes only: {100 * payload / stats[0]['wire_bytes_sent']:.2f} %)")
local = statistics.median(ex)
print(f"measured cost of one request/response exchange over loopback: {local:.4f} ms")

# Strictly one request outstanding: each body packet costs a full round trip plus
# its time on the air. Classic Bluetooth EDR carries roughly 2.1 Mbit/s of RFCOMM
# payload in practice (3 Mbit/s raw); the loopback figure stands for processing.
rtt, rate = 30.0, 2.1e6 / 8
print(f"\nestimate: round trip {rtt:.0f} ms, radio {rate * 8 / 1e6:.1f} Mbit/s, plus {local:.3f} ms processing per exchange")
print(f"{'peer max packet':>16} {'chunk':>7} {'KiB/s (cap 16 KiB)':>19} {'KiB/s (no cap)':>15} {'RTT bound KiB/s':>16}")
for peer in (1024, 4096, 8192, 16390, 32767, 65534):
    room = peer - 6
    def speed(chunk):
        packet = chunk + 6
        seconds = rtt / 1000 + packet / rate + local / 1000
        return chunk / seconds / 1024
    capped = min(room, 16384)
    print(f"{peer:>16} {capped:>7} {speed(capped):>19.1f} {speed(room):>15.1f} {capped / (rtt / 1000) / 1024:>16.1f}")
PY
