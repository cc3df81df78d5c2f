#!/usr/bin/env bash
# Drives the real application window under Wine on a virtual display, the way a
# person would, with the application in a "pc" network namespace and curl acting
# as the phone in a "phone" namespace. Screenshots are kept in the artifact folder.
#   window_e2e.sh <TolvenaireAndroid.exe> <window_probe.exe> <artifact folder>
set -uo pipefail
app=$1 probe=$2 artifacts=$3
mkdir -p "$artifacts"
work=$(mktemp -d /tmp/win-e2e.XXXXXX)
id=$$
pc=winpc$id phone=winphone$id
pc_address=192.168.77.2 phone_address=192.168.77.3
xvfb_pid= app_pid= display=
export WINEDEBUG=-all WINEPREFIX=$work/prefix

log() { echo "[window-e2e] $*"; }
fail() { log "FAIL: $*"; exit 1; }

cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  # The prefix belongs to this run only, so its wineserver is ours to end.
  [ -d "$WINEPREFIX" ] && ip netns exec "$pc" env WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  ip netns del "$pc" 2>/dev/null
  ip netns del "$phone" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_until() {
  local tenths=$1; shift
  for _ in $(seq "$tenths"); do "$@" && return 0; sleep 0.1; done
  return 1
}

in_pc() { ip netns exec "$pc" env DISPLAY="$display" WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all "$@"; }
in_phone() { ip netns exec "$phone" "$@"; }

# --- virtual display and namespaces --------------------------------------------
for n in $(seq 90 119); do
  [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { display=:$n; break; }
done
[ -n "$display" ] || fail "no free display number"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
wait_until 100 test -e /tmp/.X11-unix/X${display#:} || fail "Xvfb did not start"

ip netns add "$pc" && ip netns add "$phone" || fail "cannot create namespaces"
ip link add wpc$id netns "$pc" type veth peer name wph$id netns "$phone" || fail "cannot create veth"
ip -n "$pc" addr add $pc_address/24 dev wpc$id
ip -n "$phone" addr add $phone_address/24 dev wph$id
for ns in "$pc" "$phone"; do ip -n "$ns" link set lo up; done
ip -n "$pc" link set wpc$id up
ip -n "$phone" link set wph$id up

# The prefix is created inside the namespace, so its wineserver sees only the veth.
in_pc wineboot -i >/dev/null 2>&1
in_pc wineserver -w

# --- helpers around the window ---------------------------------------------------
probe_main() { in_pc wine "$probe" main 2>/dev/null | tr -d '\r'; }
probe_box() { in_pc wine "$probe" box 2>/dev/null | tr -d '\r'; }
window_open() { probe_main | grep -q '^title'; }
box_open() { probe_box | grep -q '^caption'; }
box_closed() { ! box_open; }

# Text of the control with command id $1 (first match), or of the status line.
control_text() { probe_main | awk -F'\t' -v id="$1" '$1 == id { print $4; exit }'; }
status_text() { probe_main | awk -F'\t' '$2 == "Static" { line = $4 } END { print line }'; }
link_text() { control_text 112; }
link_present() { [ -n "$(link_text)" ]; }
link_absent() { [ -z "$(link_text)" ]; }
status_is() { [ "$(status_text)" = "$1" ]; }
caption_is() { [ "$(control_text "$1")" = "$2" ]; }
shows_file() { probe_main | grep -q $'\t'"$1"'$'; }
state_has_file() {
  fetch "${link}state" "$work/state.json" >/dev/null && grep -q '"id":"[0-9a-f]\{32\}"' "$work/state.json"
}

rect=() scale=1
read_rect() {
  local r; r=$(probe_main | awk -F'\t' '$1 == "rect" { print $2 }')
  IFS=, read -r -a rect <<<"$r"
}
# Base units to screen pixels, as the application rounds them.
px() { python3 -c "import sys; print(int(float(sys.argv[1]) * float(sys.argv[2]) + 0.5))" "$1" "$scale"; }
click() {  # base-unit x, y inside the window
  local x y; x=$(( rect[0] + $(px "$1") )); y=$(( rect[1] + $(px "$2") ))
  DISPLAY=$display xdotool mousemove --sync "$x" "$y" click 1
}
keys() { DISPLAY=$display xdotool key --delay 60 "$@"; }
type_text() { DISPLAY=$display xdotool type --delay 40 "$1"; }

start_app() {  # locale
  in_pc env -u LANG LC_ALL="$1" wine "$app" >"$work/app.log" 2>&1 &
  app_pid=$!
  wait_until 300 window_open || fail "the window did not open ($1)"
  read_rect
}
close_app() {
  click 284 28
  local waited=0
  while kill -0 "$app_pid" 2>/dev/null && [ $waited -lt 100 ]; do sleep 0.1; waited=$((waited + 1)); done
  kill -0 "$app_pid" 2>/dev/null && fail "the close button did not end the process"
  wait "$app_pid"; local code=$?
  app_pid=
  [ $code -eq 0 ] || fail "exit code $code after the close button"
  in_pc wineserver -w
}
shot() {  # name: screenshot of the window only
  DISPLAY=$display import -window root "$work/root.png"
  convert "$work/root.png" -crop "$((rect[2] - rect[0]))x$((rect[3] - rect[1]))+${rect[0]}+${rect[1]}" +repage \
    "$artifacts/$1.png"
}
colour_at() {  # image, base-unit x, y
  convert "$1" -format "%[hex:p{$(px "$2"),$(px "$3")}]" info: | cut -c1-6
}
expect_colour() {  # image, x, y, hex, what
  local got; got=$(colour_at "$1" "$2" "$3")
  [ "$got" = "$4" ] || fail "$5 at ($2,$3) is #$got, expected #$4 in $(basename "$1")"
}
check_colours() {  # image
  expect_colour "$1" 3 300 192B36 "frame"
  expect_colour "$1" 10 300 F2F7F9 "card"
  expect_colour "$1" 22 240 FFFFFF "text panel"
  expect_colour "$1" 22 330 FFFFFF "file panel"
  expect_colour "$1" 40 268 11776C "Send text button"
  expect_colour "$1" 30 104 11776C "active mode button"
  expect_colour "$1" 290 104 FFFFFF "inactive mode button"
  expect_colour "$1" 160 605.5 5D6F7B "bottom bar"
}
select_language() {  # index 0 French, 1 English
  click 73 28
  sleep 0.3
  if [ "$1" = 1 ]; then keys Down Return; else keys Up Return; fi
}
fetch() { in_phone curl -s -m 10 -o "$2" -w '%{http_code}' "$1"; }

# --- 1. French start, no stored choice -------------------------------------------
start_app fr_CA.UTF-8
title=$(probe_main | awk -F'\t' '$1 == "title" { print $2 }')
[ "$title" = "Tolvenaire Android 1.2.0" ] || fail "title is '$title'"
[ "${rect[*]}" = "480 206 800 818" ] || fail "window at ${rect[*]}, expected centred 320x612 at 480,206"
[ "$(control_text 101)" = "Wi-Fi local" ] || fail "French start: mode caption '$(control_text 101)'"
[ "$(status_text)" = "Cliquez sur Envoyer, puis scannez le QR code sur Android." ] ||
  fail "French start: status '$(status_text)'"
log "opened centred, in French"
shot fr-scale-1.0
check_colours "$artifacts/fr-scale-1.0.png"

# --- 2. Send text with an empty box ----------------------------------------------
click 120 276
wait_until 100 box_open || fail "no warning for an empty text"
probe_box | grep -q $'\tSaisissez un texte à envoyer\.$' || fail "empty text warning: $(probe_box)"
probe_box | grep -q $'^caption\tTolvenaire Android$' || fail "warning caption: $(probe_box)"
keys Return
wait_until 50 box_closed || fail "the warning did not close"
[ -z "$(link_text)" ] || fail "an empty text started sharing"
log "empty text refused with its warning"

# --- 3. Send a text, decode the QR, fetch the state as the phone -------------------
shared="Hello from the PC 42"
click 160 229
type_text "$shared"
click 120 276
wait_until 100 link_present || fail "Send text did not start sharing"
link=$(link_text)
[[ $link =~ ^http://192\.168\.77\.2:87[6-8][0-9]/[0-9a-f]{32}/$ ]] || fail "odd link '$link'"
shot fr-sharing
convert "$artifacts/fr-sharing.png" -crop "$(px 96)x$(px 96)+$(px 28)+$(px 454)" +repage -scale 400% "$work/qr.png"
decoded=$(zbarimg --raw -q "$work/qr.png" 2>/dev/null | head -n 1)
[ "$decoded" = "$link" ] || fail "QR decodes to '$decoded', link box shows '$link'"
code=$(fetch "${link}state" "$work/state.json")
[ "$code" = 200 ] || fail "state answered $code"
grep -q "\"text\":\"$shared\"" "$work/state.json" || fail "state lacks the text: $(cat "$work/state.json")"
log "QR decodes to the link; the phone gets the text"

# --- 4. Choose a file and send it ----------------------------------------------
head -c 300000 /dev/urandom >"$work/photo.bin"
click 64 370
wait_until 100 box_open || fail "the file dialog did not open"
sleep 0.5
type_text "Z:${work//\//\\}\\photo.bin"
keys Return
wait_until 100 box_closed || fail "the file dialog did not close"
wait_until 50 shows_file photo.bin || fail "file label does not show the name"
click 164 370
wait_until 100 state_has_file || fail "state has no file: $(cat "$work/state.json")"
id_=$(grep -o '"id":"[0-9a-f]\{32\}"' "$work/state.json" | cut -d'"' -f4)
[ -n "$id_" ] || fail "state has no file: $(cat "$work/state.json")"
code=$(fetch "${link}file/$id_" "$work/download.bin")
[ "$code" = 200 ] || fail "download answered $code"
cmp -s "$work/photo.bin" "$work/download.bin" || fail "downloaded file differs"
log "chosen file downloads byte for byte"

# --- 5. Switch to English: captions and status follow ---------------------------
select_language 1
wait_until 50 caption_is 101 "Local Wi-Fi" || true
[ "$(control_text 101)" = "Local Wi-Fi" ] || fail "English: mode caption '$(control_text 101)'"
[ "$(control_text 108)" = "Stop sharing" ] || fail "English: start caption '$(control_text 108)'"
[ "$(control_text 104)" = "Send text" ] || fail "English: send caption '$(control_text 104)'"
[ "$(status_text)" = "File ready. Download it on Android." ] || fail "English status '$(status_text)'"
shot en-sharing

# --- 6. Stop sharing revokes the link ---------------------------------------------
click 214 548
wait_until 50 link_absent || fail "link box not emptied after Stop sharing"
[ "$(status_text)" = "Sharing stopped. The link is disabled." ] || fail "stop status '$(status_text)'"
code=$(fetch "${link}state" "$work/gone.txt")
[ "$code" = 404 ] || [ "$code" = 000 ] || fail "old link answered $code"
log "Stop sharing empties the link box; the old link is gone ($code)"

# --- 7. Empty text in English, screenshot, close ----------------------------------
click 256 276
[ "$(status_text)" = "Text cleared and removed from sharing." ] || fail "clear status '$(status_text)'"
click 120 276
wait_until 100 box_open || fail "no English warning for an empty text"
probe_box | grep -q $'\tEnter some text to send\.$' || fail "English empty text warning: $(probe_box)"
keys Return
wait_until 50 box_closed || fail "the English warning did not close"
click 290 104; click 30 104  # Bluetooth and back, for a clean idle window
shot en-scale-1.0
check_colours "$artifacts/en-scale-1.0.png"
close_app
log "English warnings; the close button ends with exit code 0"

# --- 8. The stored choice wins over a French display language ---------------------
start_app fr_CA.UTF-8
[ "$(control_text 101)" = "Local Wi-Fi" ] || fail "restart ignored the stored English choice"
close_app
log "stored language survives a restart"

# --- 9. A larger DPI -------------------------------------------------------------
in_pc wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
in_pc wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
  /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
in_pc wineserver -w
start_app en_US.UTF-8
scale=1.5
width=$((rect[2] - rect[0])) height=$((rect[3] - rect[1]))
[ "$width" = 480 ] && [ "$height" = 918 ] || fail "at 144 dpi the window is ${width}x${height}, expected 480x918"
shot en-scale-1.5
check_colours "$artifacts/en-scale-1.5.png"
select_language 0
wait_until 50 caption_is 101 "Wi-Fi local" || true
[ "$(control_text 101)" = "Wi-Fi local" ] || fail "French at 144 dpi: '$(control_text 101)'"
shot fr-scale-1.5
check_colours "$artifacts/fr-scale-1.5.png"
close_app
log "144 dpi: 480x918, colours match"
log "PASS"
