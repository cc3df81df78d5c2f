#!/usr/bin/env bash
# Runs a command on a private virtual X display, so window tests need no screen
# and never meet each other's windows.
set -u
fdfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
xvfb=$!
display=""
for _ in $(seq 1 100); do  # up to 10 s for the server to pick its display
  display=$(tr -dc '0-9' <"$fdfile")
  [ -n "$display" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
rm -f "$fdfile"
if [ -z "$display" ]; then
  echo "Xvfb did not start" >&2
  kill "$xvfb" 2>/dev/null
  exit 1
fi
DISPLAY=":$display" "$@"
rc=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $rc
