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
source "$(dirname "$0")/../support/namespaces.sh"
trap pc_phone_down EXIT
pc_phone_up "pg$$" "198.51.100.9/24 169.254.7.7/16 192.168.91.2/24" 192.168.91.3/24
export PC_NETNS=$pc PC_ADDRESS=192.168.91.2
ip netns exec "$phone" "$@"
