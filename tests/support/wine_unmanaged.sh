#!/usr/bin/env bash
# Runs a command with the windows of the Wine prefix $WINEPREFIX unmanaged. Wine on a
# display without a window manager waits about two seconds for each closed managed
# window to be withdrawn; unmanaged, a window closes in milliseconds. The setting is
# read when Wine starts.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
exec "$@"
