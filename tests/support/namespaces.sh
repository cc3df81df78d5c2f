# Sourced by the scripts that put a "pc" and a "phone" in network namespaces.
# pc_phone_up <tag> "<pc address/length> ..." <phone address/length> ["<name>=<address/length> ..."]:
# makes the namespaces $pc and $phone joined by a veth pair ($pc_link on the pc side,
# $phone_link on the phone side), gives the pc its addresses in the order given, brings
# them up and waits, bounded, for the carrier on both ends. Each name=address is a
# further pc interface that leads nowhere (one end of a veth pair inside the pc), made
# before the link to the phone so that the system lists it first.
# pc_phone_down: ends what runs in them and removes them.
pc_phone_up() {
  local tag=$1 address
  pc=$tag-pc phone=$tag-phone pc_link=${tag}p phone_link=${tag}m
  ip netns add "$pc" && ip netns add "$phone" || return 1
  for address in ${4:-}; do
    ip -n "$pc" link add "${address%%=*}" type veth peer name "${address%%=*}-end" &&
      ip -n "$pc" addr add "${address#*=}" dev "${address%%=*}" &&
      ip -n "$pc" link set "${address%%=*}-end" up && ip -n "$pc" link set "${address%%=*}" up || return 1
  done
  ip link add "$pc_link" netns "$pc" type veth peer name "$phone_link" netns "$phone" || return 1
  for address in $2; do ip -n "$pc" addr add "$address" dev "$pc_link" || return 1; done
  ip -n "$phone" addr add "$3" dev "$phone_link" || return 1
  for ns in "$pc" "$phone"; do ip -n "$ns" link set lo up; done
  ip -n "$pc" link set "$pc_link" up && ip -n "$phone" link set "$phone_link" up || return 1
  for _ in $(seq 1 50); do
    ip -n "$pc" -br link show dev "$pc_link" | grep -q LOWER_UP &&
      ip -n "$phone" -br link show dev "$phone_link" | grep -q LOWER_UP && return 0
    sleep 0.1
  done
  echo "no carrier between $pc and $phone" >&2
  return 1
}
pc_phone_down() {
  local ns
  for ns in ${pc:-} ${phone:-}; do
    ip netns pids "$ns" 2>/dev/null | xargs -r kill 2>/dev/null
    ip netns del "$ns" 2>/dev/null
  done
  return 0
}
