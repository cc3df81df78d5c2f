#!/usr/bin/env bash
# Maps the interface font to DejaVu Sans Condensed in $WINEPREFIX. Wine has no Segoe UI
# and its stand-in lacks ♥ − → (drawn as empty boxes); DejaVu Sans Condensed has every
# glyph the window draws and about Segoe UI's widths, so screenshots show what Windows
# shows, line breaks included.
set -euo pipefail
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
  /v 'Segoe UI' /t REG_SZ /d 'DejaVu Sans Condensed' /f >/dev/null 2>&1
# Let the prefix's services end, so that the next program starts with the setting.
wineserver -w
