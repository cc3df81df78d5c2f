#!/usr/bin/env bash
# Runs a test in a network namespace of its own whose interfaces are known, and
# tells it in TOLVENAIRE_EXPECTED_ADDRESSES the addresses a phone could reach there,
# likeliest first. The namespace goes away with the command.
#   in_own_network.sh [--wine WINE_RUN] <program> [args...]
# With --wine the program runs through WINE_RUN under a fresh Wine prefix, so that
# its wineserver starts inside the namespace and sees these interfaces.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
  echo "in_own_network.sh: a network namespace needs root" >&2
  exit 1
fi
if [ "${IN_OWN_NETWORK:-}" != 1 ]; then
  IN_OWN_NETWORK=1 exec unshare --net "$0" "$@"
fi

ip link set lo up
# Made in this order, so the system lists them so: the router's network comes
# last and still has to be offered first.
ip link add vmnet8 type veth peer name vmnet8-peer
ip link add wan0 type veth peer name wan0-peer
ip link add nas0 type veth peer name nas0-peer
ip link add lan0 type veth peer name lan0-peer
ip link add off0 type veth peer name off0-peer
ip addr add 192.168.150.1/24 dev vmnet8  # named like a VMware network: offered last
ip addr add 198.51.100.7/24 dev wan0     # public: offered after the private ones
ip addr add 169.254.3.4/16 dev wan0      # link-local: never offered
ip addr add 10.20.0.5/24 dev nas0        # private, no gateway: after the one with it
ip addr add 192.168.77.2/24 dev lan0
ip addr add 10.9.9.9/24 dev off0         # its interface stays down: never offered
links="vmnet8 wan0 nas0 lan0"
for link in $links; do ip link set "$link" up && ip link set "$link-peer" up; done
for link in $links; do  # bounded wait for the carrier
  for _ in $(seq 1 50); do ip -br link show dev "$link" | grep -q LOWER_UP && break; sleep 0.1; done
done
ip route add default via 192.168.77.1 dev lan0
export TOLVENAIRE_EXPECTED_ADDRESSES="192.168.77.2 10.20.0.5 198.51.100.7 192.168.150.1"

if [ "${1:-}" = --wine ]; then
  wine_run=$2
  shift 2
  prefix=$(mktemp -d)
  trap 'WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
  WINEPREFIX=$prefix WINEDEBUG=-all "$wine_run" "$@"
else
  "$@"
fi
