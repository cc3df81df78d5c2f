# Sourced by the scripts that need a virtual display.
# start_xvfb: starts a private Xvfb (it picks a free display number itself) and sets
# $display (":N") and $xvfb_pid; fails when no display is up within 10 s.
start_xvfb() {
  local numberfile number=
  numberfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numberfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    number=$(tr -dc '0-9' <"$numberfile")
    [ -n "$number" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$numberfile"
  if [ -z "$number" ]; then
    echo "Xvfb did not start" >&2
    kill "$xvfb_pid" 2>/dev/null
    xvfb_pid=
    return 1
  fi
  display=:$number
}
