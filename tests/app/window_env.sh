#!/usr/bin/env bash
# Shared by the window's end-to-end test and benchmark: a virtual display, a "pc"
# and a "phone" network namespace joined by a veth pair, a Wine prefix created
# inside the "pc" namespace, and helpers that drive the window like a person.
# Expects $app and $probe (and may set $netns_tag, the namespaces' name prefix, and
# $pc_interface, the name of the pc's interface); sets $work, $display, $pc, $phone.
source "$(dirname "${BASH_SOURCE[0]}")/../support/xvfb.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../support/namespaces.sh"
work=$(mktemp -d /tmp/win-e2e.XXXXXX)
pc= phone=
pc_address=192.168.77.2 phone_address=192.168.77.3 vmware_address=192.168.150.1
xvfb_pid= app_pid= display=
export WINEDEBUG=-all WINEPREFIX=$work/prefix

log() { echo "[window-e2e] $*"; }
fail() { log "FAIL: $*"; exit 1; }

cleanup() {
  # Every step, even after one fails, also for a caller that runs with set -e.
  set +e
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  # The prefix belongs to this run only, so its wineserver is ours to end.
  # Wait for it to be gone before the prefix is deleted: a new prefix may reuse the
  # folder's inode, and Wine would then reach this dying server through its socket.
  if [ -d "$WINEPREFIX" ]; then
    ip netns exec "$pc" env WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null
    ip netns exec "$pc" env WINEPREFIX="$WINEPREFIX" timeout 15 wineserver -w 2>/dev/null
  fi
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  pc_phone_down
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
start_xvfb || fail "Xvfb did not start"
# The pc is a developer's: a VMware host-only network listed before the link to the
# phone, and its router (the phone side) reached through that link only.
pc_phone_up "${netns_tag:-win$$}" $pc_address/24 $phone_address/24 vmnet8=$vmware_address/24 ||
  fail "cannot create the namespaces"
# Renamed before the prefix exists: Wine keeps the adapters it saw first.
if [ -n "${pc_interface:-}" ]; then
  ip -n "$pc" link set dev "$pc_link" down &&
    ip -n "$pc" link set dev "$pc_link" name "$pc_interface" &&
    ip -n "$pc" link set dev "$pc_interface" up || fail "cannot name the pc's interface $pc_interface"
  pc_link=$pc_interface
  pc_carrier() { ip -n "$pc" -br link show dev "$pc_link" | grep -q LOWER_UP; }
  wait_until 50 pc_carrier || fail "no carrier on $pc_interface"
fi
ip -n "$pc" route add default via $phone_address || fail "cannot give the pc its default route"

# The prefix is created inside the namespace, so its wineserver sees only its interfaces.
in_pc wineboot -i >/dev/null 2>&1
in_pc bash "$(dirname "${BASH_SOURCE[0]}")/../../tools/wine-fonts.sh"
in_pc wineserver -w

# --- where the window places what the scripts click, by its own names ---------------
declare -A box=()
while IFS=$'\t' read -r name left top right bottom; do
  box[$name]="$left $top $right $bottom"
done < <(in_pc wine "$probe" layout 2>/dev/null | tr -d '\r')
[ -n "${box[textSend]:-}" ] || fail "the probe told no layout"

# A base-unit point of a named box: its centre, or its left + dx and top + dy.
spot() {  # name [dx dy]
  local l t r b; read -r l t r b <<<"${box[$1]:?no box named $1}"
  if [ $# -eq 3 ]; then echo "$((l + $2)) $((t + $3))"; else awk -v l="$l" -v t="$t" -v r="$r" -v b="$b" 'BEGIN { print (l + r) / 2, (t + b) / 2 }'; fi
}
# A named box shrunk by $2 base units on every side, as left,top,right,bottom.
inset() {  # name units
  local l t r b; read -r l t r b <<<"${box[$1]:?no box named $1}"
  echo "$((l + $2)),$((t + $2)),$((r - $2)),$((b - $2))"
}

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
# shellcheck disable=SC2046
click_on() { click $(spot "$@"); }  # name [dx dy]
keys() { DISPLAY=$display xdotool key --delay 60 "$@"; }
type_text() { DISPLAY=$display xdotool type --delay 40 "$1"; }

start_app() {  # locale
  in_pc env -u LANG LC_ALL="$1" wine "$app" >"$work/app.log" 2>&1 &
  app_pid=$!
  wait_until 300 window_open || fail "the window did not open ($1)"
  read_rect
}
close_app() {
  click_on close
  local waited=0
  while kill -0 "$app_pid" 2>/dev/null && [ $waited -lt 100 ]; do sleep 0.1; waited=$((waited + 1)); done
  kill -0 "$app_pid" 2>/dev/null && fail "the close button did not end the process"
  wait "$app_pid"; local code=$?
  app_pid=
  [ $code -eq 0 ] || fail "exit code $code after the close button"
  in_pc wineserver -w
}
# Titles of the application's active window and of the one with the keyboard focus.
active_title() { in_pc wine "$probe" focus 2>/dev/null | tr -d '\r' | awk -F'\t' '$1 == "active" { print $2 }'; }
focus_title() { in_pc wine "$probe" focus 2>/dev/null | tr -d '\r' | awk -F'\t' '$1 == "focus" { print $2 }'; }
active_is() { active_title | grep -q -- "$1"; }
# The open message box or dialog has the keyboard focus: keys typed now reach it.
box_has_focus() {
  local caption; caption=$(probe_box | awk -F'\t' '$1 == "caption" { print $2 }')
  [ -n "$caption" ] && [ "$(focus_title)" = "$caption" ]
}
# Visible X windows of the application (its popups included).
app_windows() { DISPLAY=$display xdotool search --onlyvisible --class "$(basename "${app,,}")" 2>/dev/null | wc -l; }
# Screenshot of the window in $work/window.png; true when its pixels are those of the
# one before (compared as PPM, which carries no time stamp).
window_still() {
  [ -f "$work/window.ppm" ] && mv "$work/window.ppm" "$work/window-before.ppm"
  DISPLAY=$display import -window root "$work/root.png"
  convert "$work/root.png" -crop "$((rect[2] - rect[0]))x$((rect[3] - rect[1]))+${rect[0]}+${rect[1]}" +repage \
    "$work/window.ppm"
  convert "$work/window.ppm" "$work/window.png"
  [ -f "$work/window-before.ppm" ] && cmp -s "$work/window.ppm" "$work/window-before.ppm"
}
shot() {  # name [keep-mouse]: screenshot of the window once it has finished painting
  # The mouse leaves the window first, so no tooltip or hover colour is in the picture.
  [ -n "${2:-}" ] || DISPLAY=$display xdotool mousemove --sync 2 2
  rm -f "$work/window.ppm"
  wait_until 50 window_still || fail "the window kept changing before screenshot $1"
  cp "$work/window.png" "$artifacts/$1.png"
}
colour_at() {  # image, base-unit x, y
  convert "$1" -format "%[hex:p{$(px "$2"),$(px "$3")}]" info: | cut -c1-6
}
expect_colour() {  # image, x, y, hex, what
  local got; got=$(colour_at "$1" "$2" "$3")
  [ "$got" = "$4" ] || fail "$5 at ($2,$3) is #$got, expected #$4 in $(basename "$1")"
}
# Points a little inside the shapes, clear of their rounded corners and captions.
check_colours() {  # image
  # shellcheck disable=SC2046
  {
    expect_colour "$1" $(spot card -3 294) 192B36 "frame"
    expect_colour "$1" $(spot card 4 294) F2F7F9 "card"
    expect_colour "$1" $(spot textPanel 6 67) FFFFFF "text panel"
    expect_colour "$1" $(spot filePanel 6 25) FFFFFF "file panel"
    expect_colour "$1" $(spot textSend 12 4) 11776C "Send text button"
    expect_colour "$1" $(spot wifiMode 10 9) 11776C "active mode button"
    expect_colour "$1" $(spot bluetoothMode 126 9) FFFFFF "inactive mode button"
    expect_colour "$1" $(spot bottomBar) 5D6F7B "bottom bar"
  }
}
select_language() {  # index 0 French, 1 English
  local before; before=$(app_windows)
  click_on languageList 53 12  # the list's field, not its drop-down
  dropdown_open() { [ "$(app_windows)" -gt "$before" ]; }
  wait_until 50 dropdown_open || fail "the language list did not open"
  if [ "$1" = 1 ]; then keys Down Return; else keys Up Return; fi
}
# --- what a screen reader reads and hears, asked from another process -----------------
# Every visible control named with letters (never a glyph alone), the names below in the
# window's language, and the selected mode the one checked mode button.
spoken_names=$'103\tTexte à partager\tText to share
116\tAide\tHelp
118\tRéduire\tMinimize
119\tFermer\tClose
120\tLangue / Language\tLangue / Language
122\tJ’aime cette version · Internet\tLike this version · Internet
123\tRechercher une mise à jour · Internet\tCheck for updates · Internet
101\tWi-Fi local\tLocal Wi-Fi
102\tBluetooth\tBluetooth
109\tRéseau du lien\tNetwork for the link
112\tLien privé à ouvrir sur Android\tPrivate link to open on Android
115\tEnvoyé par Bluetooth\tSent over Bluetooth'
check_names() {  # language (fr or en), mode (wifi or bluetooth)
  local names got want column=2 id french english
  names=$(in_pc wine "$probe" names 2>/dev/null | tr -d '\r')
  [ "$1" = en ] && column=3
  echo "$names" >"$artifacts/names-$1-$2.txt"
  [ "$(wc -l <<<"$names")" -ge 20 ] || fail "$1 $2: the probe read $(wc -l <<<"$names") objects"
  got=$(awk -F'\t' '$4 !~ /[A-Za-z][a-z]/' <<<"$names")
  [ -z "$got" ] || fail "$1 $2: named by no word: $got"
  got=$(awk -F'\t' '$3 ~ /checked/ { print $1 }' <<<"$names")
  want=101; [ "$2" = bluetooth ] && want=102
  [ "$got" = "$want" ] || fail "$1 $2: checked mode buttons '$got', expected $want"
  while IFS=$'\t' read -r id french english; do
    want=$french; [ "$column" = 3 ] && want=$english
    got=$(awk -F'\t' -v id="$id" '$1 == id { print $4 }' <<<"$names")
    [ -z "$got" ] || [ "$got" = "$want" ] || fail "$1 $2: control $id is read '$got', expected '$want'"
  done <<<"$spoken_names"
  if [ "$2" = bluetooth ]; then
    want=$'Progression du transfert Bluetooth'; [ "$column" = 3 ] && want='Bluetooth transfer progress'
    grep -q $'\t'"$want"'$' <<<"$names" || fail "$1 $2: no progress bar named '$want'"
  fi
}
# A listener in another process takes down every announcement ("live\t<id>\t<name>")
# until the window closes.
listen() { in_pc wine "$probe" listen 600 >"$work/heard.txt" 2>/dev/null & }
listening() { grep -q '^listening' "$work/heard.txt"; }
heard_lines() { grep -a $'^live\t' "$work/heard.txt" | cut -f3 | tr -d '\r'; }
heard_notices() { heard_lines | grep -v '^Wi-Fi · ' || true; }
heard_seen=0
# The status line's announcements since the last call are exactly the arguments: each
# new notice once, nothing for the ticks between.
expect_heard() {
  local want got
  want=$(printf '%s\n' "$@")
  enough() { [ "$(heard_notices | wc -l)" -ge $((heard_seen + $#)) ]; }
  wait_until 50 enough "$@" || true
  got=$(heard_notices | tail -n +$((heard_seen + 1)))
  [ "$got" = "$want" ] || fail "heard '$got', expected '$want'"
  heard_seen=$((heard_seen + $#))
}
heard_connection() { heard_lines | grep -c "^$1\$"; }

fetch() { in_phone curl -s -m 10 -o "$2" -w '%{http_code}' "$1"; }

