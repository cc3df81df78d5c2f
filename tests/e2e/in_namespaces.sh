#!/usr/bin/env bash
# Runs a command in a fresh "phone" network namespace joined by a veth pair to a
# fresh "pc" namespace, so the page is served from a LAN-like address and the
# browser sees a plain-HTTP, non-secure origin, as a real phone does.
#   in_namespaces.sh <command> [args...]
# The command gets PC_NETNS (run the server with `ip netns exec $PC_NETNS ...`)
# and PC_ADDRESS. The pc side also carries a public and a link-local address, to
# check which one the server picks by itself. Both namespaces go away on exit.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
  echo "in_namespaces.sh: network namespaces need root" >&2
  exit 1
fi
tag=$$
pc=page-pc-$tag
phone=page-phone-$tag
cleanup() {
  ip netns pids "$pc" 2>/dev/null | xargs -r kill 2>/dev/null || true
  ip netns del "$pc" 2>/dev/null || true
  ip netns del "$phone" 2>/dev/null || true
}
trap cleanup EXIT
ip netns add "$pc"
ip netns add "$phone"
ip link add "pg$tag-p" netns "$pc" type veth peer name "pg$tag-m" netns "$phone"
ip -n "$pc" addr add 198.51.100.9/24 dev "pg$tag-p"
ip -n "$pc" addr add 169.254.7.7/16 dev "pg$tag-p"
ip -n "$pc" addr add 192.168.91.2/24 dev "pg$tag-p"
ip -n "$phone" addr add 192.168.91.3/24 dev "pg$tag-m"
for ns in "$pc" "$phone"; do ip -n "$ns" link set lo up; done
ip -n "$pc" link set "pg$tag-p" up
ip -n "$phone" link set "pg$tag-m" up
# Bounded wait for the carrier on both ends.
for _ in $(seq 1 50); do
  ip -n "$pc" -br link show dev "pg$tag-p" | grep -q LOWER_UP &&
    ip -n "$phone" -br link show dev "pg$tag-m" | grep -q LOWER_UP && break
  sleep 0.1
done
export PC_NETNS=$pc PC_ADDRESS=192.168.91.2
ip netns exec "$phone" "$@"
