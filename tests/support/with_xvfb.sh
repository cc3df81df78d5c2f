#!/usr/bin/env bash
# Runs a command on a private virtual X display, so window tests need no screen
# and never meet each other's windows.
set -u
source "$(dirname "$0")/xvfb.sh"
start_xvfb || exit 1
DISPLAY=$display "$@"
rc=$?
kill "$xvfb_pid" 2>/dev/null
wait "$xvfb_pid" 2>/dev/null
exit $rc
