# Sourced by the benchmark scripts; needs $work (a scratch folder).
# start_host program arguments...: starts linkhost reading its commands from fd 3 and
# sets host_pid and link (the first line it prints).
start_host() {
  rm -f "$work/commands" "$work/link"
  mkfifo "$work/commands"
  "$@" <"$work/commands" >"$work/link" &
  host_pid=$!
  exec 3>"$work/commands"
  link=
  for _ in $(seq 300); do
    link=$(head -n 1 "$work/link" 2>/dev/null || true)
    [ -n "$link" ] && break
    sleep 0.1
  done
  [ -n "$link" ] || { echo "linkhost did not start" >&2; exit 1; }
}

# stop_host: the end of its commands ends linkhost; one that lingers is killed.
stop_host() {
  exec 3>&-
  for _ in $(seq 100); do kill -0 "$host_pid" 2>/dev/null || break; sleep 0.1; done
  kill "$host_pid" 2>/dev/null || true
  wait "$host_pid" 2>/dev/null || true
  host_pid=
}
