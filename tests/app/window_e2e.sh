#!/usr/bin/env bash
# Drives the real application window under Wine on a virtual display, the way a
# person would, with the application in a "pc" network namespace and curl acting
# as the phone in a "phone" namespace. Screenshots are kept in the artifact folder.
#   window_e2e.sh <TolvenaireAndroid.exe> <window_probe.exe> <artifact folder> <version>
# where <version> is the project version the application was built with.
set -uo pipefail
app=$1 probe=$2 artifacts=$3 version=$4
mkdir -p "$artifacts"
source "$(dirname "$0")/window_env.sh"

# --- 1. French start, no stored choice -------------------------------------------
start_app fr_CA.UTF-8
title=$(probe_main | awk -F'\t' '$1 == "title" { print $2 }')
[ "$title" = "Tolvenaire Android $version" ] || fail "title is '$title'"
[ "${rect[*]}" = "480 206 800 818" ] || fail "window at ${rect[*]}, expected centred 320x612 at 480,206"
[ "$(control_text 101)" = "Wi-Fi local" ] || fail "French start: mode caption '$(control_text 101)'"
[ "$(status_text)" = "Cliquez sur Envoyer, puis scannez le QR code sur Android." ] ||
  fail "French start: status '$(status_text)'"
log "opened centred, in French"
# The network the phone is on comes first and is chosen, though the system lists the
# VMware one before it; the VMware one is still offered. The link and the QR code shared
# below are then on the phone's network.
addresses=$(in_pc wine "$probe" addresses 2>/dev/null | tr -d '\r')
[ "$addresses" = "$(printf '0\t*\t%s · %s\n1\t-\tvmnet8 · %s' "$pc_link" "$pc_address" "$vmware_address")" ] ||
  fail "address list, expected the phone's network first, then vmnet8: $addresses"
log "the phone's network first in the address list, the VMware one after it"
shot fr-scale-1.0
check_colours "$artifacts/fr-scale-1.0.png"
# ♥, − and × of the header (inside the buttons' frames) and the arrow of the connection line.
glyphs="like=$(inset like 2) minimize=$(inset minimize 2) close=$(inset close 2) connection=$(inset connectionLine 0)"
check_glyphs() {  # image, scale
  # shellcheck disable=SC2086
  python3 "$(dirname "$0")/glyph_boxes.py" "$1" "$2" $glyphs || fail "missing glyphs in $(basename "$1")"
}
check_glyphs "$artifacts/fr-scale-1.0.png" 1

# --- 1b. What a screen reader reads and hears ------------------------------------
listen
wait_until 100 listening || fail "the listener did not start"
check_names fr wifi
click_on bluetoothMode
wait_until 50 caption_is 104 "Envoyer en .txt" || fail "no Bluetooth mode"
check_names fr bluetooth
click_on wifiMode
wait_until 50 caption_is 104 "Envoyer le texte" || fail "no Wi-Fi mode"
expect_heard "Associez le téléphone, puis acceptez le fichier sur Android." \
  "Cliquez sur Envoyer, puis scannez le QR code sur Android."
log "every control read by what it does in both modes, the checked mode with it; the mode switches heard"

# --- 2. Send text with an empty box ----------------------------------------------
click_on textSend
wait_until 100 box_open || fail "no warning for an empty text"
probe_box | grep -q $'\tSaisissez un texte à envoyer\.$' || fail "empty text warning: $(probe_box)"
probe_box | grep -q $'^caption\tTolvenaire Android$' || fail "warning caption: $(probe_box)"
keys Return
wait_until 50 box_closed || fail "the warning did not close"
[ -z "$(link_text)" ] || fail "an empty text started sharing"
log "empty text refused with its warning"

# Send file with no file chosen opens the file dialog; cancelling changes nothing.
before=$(status_text)
click_on fileSend
wait_until 100 box_open || fail "Send file without a file did not open the file dialog"
wait_until 50 box_has_focus || fail "the file dialog did not take the keyboard focus"
keys Escape
wait_until 50 box_closed || fail "the file dialog did not close on Escape"
[ "$(status_text)" = "$before" ] || fail "cancelled file dialog changed the status to '$(status_text)'"
[ -z "$(link_text)" ] || fail "cancelled file dialog started sharing"
log "Send file without a file asks for one; cancel does nothing"

# --- 3. Send a text, decode the QR, fetch the state as the phone -------------------
shared="Hello from the PC 42"
click_on textEdit
type_text "$shared"
click_on textSend
wait_until 100 link_present || fail "Send text did not start sharing"
link=$(link_text)
[[ $link =~ ^http://192\.168\.77\.2:87[6-8][0-9]/[0-9a-f]{32}/$ ]] || fail "odd link '$link'"
expect_heard "Texte prêt. Scannez le QR code sur Android."
shot fr-sharing
read -r qr_left qr_top qr_right qr_bottom <<<"${box[qr]}"
convert "$artifacts/fr-sharing.png" -crop "$(px $((qr_right - qr_left)))x$(px $((qr_bottom - qr_top)))+$(px "$qr_left")+$(px "$qr_top")" +repage -scale 400% "$work/qr.png"
decoded=$(zbarimg --raw -q "$work/qr.png" 2>/dev/null | head -n 1)
[ "$decoded" = "$link" ] || fail "QR decodes to '$decoded', link box shows '$link'"
code=$(fetch "${link}state" "$work/state.json")
[ "$code" = 200 ] || fail "state answered $code"
grep -q "\"text\":\"$shared\"" "$work/state.json" || fail "state lacks the text: $(cat "$work/state.json")"
came() { [ "$(heard_connection 'Wi-Fi · connecté')" -ge 1 ]; }
wait_until 30 came || fail "the phone's coming was not announced: $(heard_lines)"
log "QR decodes to the link; the phone gets the text"

# Copy link puts the link on the clipboard.
click_on copyLink
wait_until 50 status_is "Lien copié dans le presse-papiers." || fail "copy status '$(status_text)'"
clip=$(in_pc wine "$probe" clipboard 2>/dev/null | tr -d '\r' | awk -F'\t' '$1 == "clipboard" { print $2 }')
[ "$clip" = "$link" ] || fail "clipboard holds '$clip'"
expect_heard "Lien copié dans le presse-papiers."

# The QR button opens one enlarged QR window; a second click opens no other.
qr_title() { in_pc wine "$probe" qr 2>/dev/null | tr -d '\r' | awk -F'\t' '$1 == "title" { print $2 }'; }
qr_open() { [ -n "$(qr_title)" ]; }
qr_closed() { ! qr_open; }
click_on qr
wait_until 100 qr_open || fail "the QR window did not open"
[ "$(qr_title)" = "Scanner avec Android" ] || fail "QR window title '$(qr_title)'"
qr_windows=$(DISPLAY=$display xdotool search --onlyvisible --name '^Scanner avec Android$' | wc -l)
[ "$qr_windows" = 1 ] || fail "$qr_windows QR windows after one click"
# It opens centred over the main window; move it aside to reach the controls below.
DISPLAY=$display xdotool search --onlyvisible --name '^Scanner avec Android$' windowmove --sync 900 40
big_qr_is_link() {
  DISPLAY=$display import -window root "$work/root.png"
  convert "$work/root.png" -crop 300x360+895+35 +repage "$artifacts/fr-qr-window.png"
  big=$(zbarimg --raw -q "$artifacts/fr-qr-window.png" 2>/dev/null | head -n 1)
  [ "$big" = "$link" ]
}
wait_until 50 big_qr_is_link || fail "the enlarged QR decodes to '$big'"
# The second click brings the open QR window to the front: with the main window made
# active first, the QR window's turning active again shows the click was handled.
click_on card 4 294  # the card, clear of every control
wait_until 50 active_is "^Tolvenaire Android" || fail "a click on the main window did not activate it"
click_on qr
wait_until 50 active_is "^Scanner avec Android$" || fail "a second click did not bring the QR window forward"
qr_windows=$(DISPLAY=$display xdotool search --onlyvisible --name '^Scanner avec Android$' | wc -l)
[ "$qr_windows" = 1 ] || fail "$qr_windows QR windows after a second click"
log "link copied; the QR window opens"

# --- 4. Choose a file and send it ----------------------------------------------
head -c 300000 /dev/urandom >"$work/photo.bin"
click_on chooseFile
wait_until 100 box_open || fail "the file dialog did not open"
wait_until 50 box_has_focus || fail "the file dialog did not take the keyboard focus"
type_text "Z:${work//\//\\}\\photo.bin"
keys Return
wait_until 100 box_closed || fail "the file dialog did not close"
wait_until 50 shows_file photo.bin || fail "file label does not show the name"
expect_heard "Fichier choisi. Cliquez sur Envoyer."
click_on fileSend
wait_until 100 state_has_file || fail "state has no file: $(cat "$work/state.json")"
id_=$(grep -o '"id":"[0-9a-f]\{32\}"' "$work/state.json" | cut -d'"' -f4)
[ -n "$id_" ] || fail "state has no file: $(cat "$work/state.json")"
code=$(fetch "${link}file/$id_" "$work/download.bin")
[ "$code" = 200 ] || fail "download answered $code"
cmp -s "$work/photo.bin" "$work/download.bin" || fail "downloaded file differs"
expect_heard "Fichier prêt. Téléchargez-le sur Android."
# Ten seconds after its last request the phone counts as gone, which is said too.
went() { [ "$(heard_connection 'Wi-Fi · en attente')" -ge 1 ]; }
wait_until 150 went || fail "the phone's going was not announced: $(heard_lines)"
log "chosen file downloads byte for byte"

# --- 5. Switch to English: captions and status follow ---------------------------
select_language 1
wait_until 50 caption_is 101 "Local Wi-Fi" || true
[ "$(control_text 101)" = "Local Wi-Fi" ] || fail "English: mode caption '$(control_text 101)'"
[ "$(control_text 108)" = "Stop sharing" ] || fail "English: start caption '$(control_text 108)'"
[ "$(control_text 104)" = "Send text" ] || fail "English: send caption '$(control_text 104)'"
[ "$(status_text)" = "File ready. Download it on Android." ] || fail "English status '$(status_text)'"
[ "$(qr_title)" = "Scan with Android" ] || fail "QR window not retitled: '$(qr_title)'"
check_names en wifi
shot en-sharing

# --- 6. Stop sharing revokes the link; a pressed primary button darkens -----------
# shellcheck disable=SC2046
expect_colour "$artifacts/en-sharing.png" $(spot start 9 11) 11776C "Stop sharing button"
read -r start_x start_y <<<"$(spot start)"
DISPLAY=$display xdotool mousemove --sync $(( rect[0] + $(px "$start_x") )) $(( rect[1] + $(px "$start_y") )) mousedown 1
# shellcheck disable=SC2046
pressed_drawn() { window_still; [ "$(colour_at "$work/window.png" $(spot start 9 11))" = 0B5951 ]; }
wait_until 50 pressed_drawn || true
shot en-pressed keep-mouse
# shellcheck disable=SC2046
expect_colour "$artifacts/en-pressed.png" $(spot start 9 11) 0B5951 "pressed Stop sharing button"
DISPLAY=$display xdotool mouseup 1
wait_until 50 link_absent || fail "link box not emptied after Stop sharing"
wait_until 50 qr_closed || fail "Stop sharing left the QR window open"
for id in 110 111 121; do  # Copy link, Preview, QR
  [ "$(probe_main | awk -F'\t' -v id=$id '$1 == id { print $3 }')" = "Vd" ] ||
    fail "control $id not disabled after Stop sharing"
done
[ "$(status_text)" = "Sharing stopped. The link is disabled." ] || fail "stop status '$(status_text)'"
expect_heard "Sharing stopped. The link is disabled."
code=$(fetch "${link}state" "$work/gone.txt")
[ "$code" = 000 ] || fail "stopped server still answered $code"
# Sharing again draws a new token. The port may be the same or, where the system
# keeps it a while after the server's own closes (Windows), the next free one: the
# old link is dead on either, the new one works and the window shows it.
click_on start
wait_until 100 link_present || fail "Start sharing did not start"
new_link=$(link_text)
[[ $new_link =~ ^(http://192\.168\.77\.2:(87[6-8][0-9])/)([0-9a-f]{32})/$ ]] || fail "odd link '$new_link' after a restart"
new_base=${BASH_REMATCH[1]} new_port=${BASH_REMATCH[2]}
(( new_port >= 8765 && new_port <= 8785 )) || fail "restart took port $new_port"
[ "$new_link" != "$link" ] || fail "restart kept the old link"
expect_heard "Sharing is active. Scan the QR code."
code=$(fetch "${link}state" "$work/gone.txt")
[ "$code" = 404 ] || [ "$code" = 000 ] || fail "old link answered $code after a restart"
old_token=${link%/}; old_token=${old_token##*/}
code=$(fetch "${new_base}${old_token}/state" "$work/gone.txt")
[ "$code" = 404 ] || fail "the old token answered $code on the new port"
code=$(fetch "${new_link}state" "$work/state.json")
[ "$code" = 200 ] || fail "new link answered $code"
shot en-restarted
convert "$artifacts/en-restarted.png" -crop "$(px $((qr_right - qr_left)))x$(px $((qr_bottom - qr_top)))+$(px "$qr_left")+$(px "$qr_top")" +repage -scale 400% "$work/qr.png"
decoded=$(zbarimg --raw -q "$work/qr.png" 2>/dev/null | head -n 1)
[ "$decoded" = "$new_link" ] || fail "after a restart the QR decodes to '$decoded', the link box shows '$new_link'"
click_on start
wait_until 50 link_absent || fail "second stop left the link"
expect_heard "Sharing stopped. The link is disabled."
log "Stop sharing empties the link box and closes the port; after a restart the old link is dead, the new one works and is shown"

# --- 6b. The PC's address changes under a share -------------------------------------
# A blip, as a roam between access points or a lost second of signal: the shared address
# gone for 3 s and back. Nothing on screen changes, and the link the phone holds goes on
# (same address, port and token): the listening socket accepts again under Wine.
new_address=192.168.77.9 joined_address=192.168.77.10
offered() { in_pc wine "$probe" addresses 2>/dev/null | tr -d '\r' | grep -q " · ${1//./\\.}\$"; }
chosen_entry() { in_pc wine "$probe" addresses 2>/dev/null | tr -d '\r' | awk -F'\t' '$2 == "*" { print $3 }'; }
click_on start
wait_until 100 link_present || fail "Start sharing did not start"
link=$(link_text)
ip -n "$pc" addr del $pc_address/24 dev "$pc_link" || fail "cannot remove the pc's address"
sleep 3  # the blip's own length, two reads of the addresses
[ "$(link_text)" = "$link" ] || fail "the link changed while the address was briefly gone: '$(link_text)'"
ip -n "$pc" addr add $pc_address/24 dev "$pc_link" && ip -n "$pc" route replace default via $phone_address ||
  fail "cannot give the pc its address back"
code=$(fetch "${link}state" "$work/state.json")
[ "$code" = 200 ] || fail "after a 3 s blip the phone's link answered $code"
[ "$(link_text)" = "$link" ] || fail "after a 3 s blip the link box shows '$(link_text)'"
log "the shared address gone for 3 s and back: the same link goes on answering"
# Nothing on screen says the window has read the address back: one read period (2 s) and
# a margin let it see it, so that the absence below is counted from its own start.
sleep 3

# A new lease, as after sleep or on another Wi-Fi: the shared address goes for good,
# another comes with its gateway. The share stops once the address has been missing
# for 10 s, and no other network is chosen in its place.
ip -n "$pc" addr del $pc_address/24 dev "$pc_link" && ip -n "$pc" addr add $new_address/24 dev "$pc_link" &&
  ip -n "$pc" route add default via $phone_address || fail "cannot change the pc's address"
gone_at=$SECONDS
wait_until 200 link_absent || fail "the link to a removed address stayed on screen"
(( SECONDS - gone_at >= 9 )) || fail "the share stopped $((SECONDS - gone_at)) s after its address went, before 10 s"
[ "$(status_text)" = "Network error. Check your connection and restart sharing." ] ||
  fail "after the shared address went, the status says '$(status_text)'"
expect_heard "Sharing is active. Scan the QR code." "Network error. Check your connection and restart sharing."
wait_until 50 offered $new_address || fail "the list does not offer the new address"
offered $pc_address && fail "the list still offers the removed address"
[ -z "$(chosen_entry)" ] || fail "another network was chosen in place of the removed one: $(chosen_entry)"
# Not sharing, a network joined a moment ago is offered when the list is opened.
ip -n "$pc" addr add $joined_address/24 dev "$pc_link" || fail "cannot add an address"
windows_before=$(app_windows)
click_on addressList 130 10  # the list's field
list_dropped() { [ "$(app_windows)" -gt "$windows_before" ]; }
wait_until 50 list_dropped || fail "the address list did not open"
offered $joined_address || fail "the opened list does not offer the address joined a moment ago"
keys Escape
ip -4 -n "$pc" addr flush dev "$pc_link" && ip -n "$pc" addr add $pc_address/24 dev "$pc_link" &&
  ip -n "$pc" route add default via $phone_address || fail "cannot give the pc its address back"
chosen_is() { [ "$(chosen_entry)" = "$1" ]; }
wait_until 50 chosen_is "$pc_link · $pc_address" || fail "the network back is not chosen again: '$(chosen_entry)'"
log "a removed address stops the share after 10 s with the network error; the list follows the PC's addresses"

# The user's choice is kept by what it is: the second network, chosen, missing from a
# read and back, is chosen again.
click_on addressList 130 10
wait_until 50 list_dropped || fail "the address list did not open"
keys Down Return
wait_until 50 chosen_is "vmnet8 · $vmware_address" || fail "choosing the second network gave '$(chosen_entry)'"
ip -n "$pc" addr del $vmware_address/24 dev vmnet8 || fail "cannot remove the second network's address"
missing() { ! offered $vmware_address; }
wait_until 50 missing || fail "the list still offers the removed second network"
ip -n "$pc" addr add $vmware_address/24 dev vmnet8 || fail "cannot give the second network its address back"
wait_until 50 offered $vmware_address || fail "the list does not offer the second network back"
chosen_is "vmnet8 · $vmware_address" || fail "after a blip the list chose '$(chosen_entry)', not the second network"
click_on addressList 130 10
wait_until 50 list_dropped || fail "the address list did not open"
keys Up Return
wait_until 50 chosen_is "$pc_link · $pc_address" || fail "choosing the first network again gave '$(chosen_entry)'"
log "the chosen second network, missing from a read and back, is chosen again"

# --- 7. Empty text in English, screenshot, close ----------------------------------
click_on clearText
[ "$(status_text)" = "Text cleared and removed from sharing." ] || fail "clear status '$(status_text)'"
expect_heard "Text cleared and removed from sharing."
click_on textSend
wait_until 100 box_open || fail "no English warning for an empty text"
probe_box | grep -q $'\tEnter some text to send\.$' || fail "English empty text warning: $(probe_box)"
keys Return
wait_until 50 box_closed || fail "the English warning did not close"
# Bluetooth mode: the third panel swaps; without a working radio a send says so.
click_on start
wait_until 100 link_present || fail "Start sharing did not start"
click_on bluetoothMode
wait_until 50 link_absent || fail "Bluetooth mode left the server sharing"
[ "$(probe_main | awk -F'\t' '$1 == 114 { print $3 }')" = "VE" ] || fail "pair button not shown in Bluetooth mode"
[ "$(probe_main | awk -F'\t' '$1 == 109 { print $3 }')" = "hE" ] || fail "address list still shown in Bluetooth mode"
[ "$(control_text 104)" = "Send as .txt" ] || fail "Bluetooth send caption '$(control_text 104)'"
expect_heard "Sharing is active. Scan the QR code." "Pair your phone, then accept the file on Android."
check_names en bluetooth
shot en-bluetooth
click_on textEdit
type_text "to the phone"
click_on textSend
wait_until 100 box_open || fail "Bluetooth send without a radio showed nothing"
probe_box | grep -q $'\tNo active Bluetooth adapter. Turn on Bluetooth in Windows settings.$' ||
  fail "Bluetooth send warning: $(probe_box)"
keys Return
wait_until 50 box_closed || fail "the Bluetooth warning did not close"
expect_heard "Choose your phone. Compare the code on both devices." "Pair your phone, then accept the file on Android."
click_on pair
wait_until 100 box_open || fail "Choose / pair without a radio showed nothing"
probe_box | grep -q $'\tNo active Bluetooth adapter' || fail "Choose / pair warning: $(probe_box)"
keys Return
wait_until 50 box_closed || fail "the pairing warning did not close"
[ "$(status_text)" = "Pair your phone, then accept the file on Android." ] ||
  fail "after the failed phone choice the status still says '$(status_text)'"
click_on wifiMode
wait_until 50 caption_is 104 "Send text" || fail "back in Wi-Fi mode, send caption '$(control_text 104)'"
click_on clearText
expect_heard "Choose your phone. Compare the code on both devices." "Pair your phone, then accept the file on Android." \
  "Click Send, then scan the QR code on Android." "Text cleared and removed from sharing."
log "each new notice heard once, the ticks between unheard, the phone's coming and going heard"
log "Bluetooth mode stops sharing; without a radio, sends and pairing warn"
shot en-scale-1.0
check_colours "$artifacts/en-scale-1.0.png"
# Keys as a person presses them, through the X server: Escape in the text box keeps the
# window and the text, Tab and Shift+Tab leave it and come back.
focused() { probe_main | awk -F'\t' '$1 == "focus" { print $2 }'; }
click_on textEdit
type_text "keep me"
keys Escape
sleep 0.5
window_open || fail "Escape in the text box closed the window"
[ "$(control_text 103)" = "keep me" ] || fail "after Escape the text box holds '$(control_text 103)'"
keys Tab
[ "$(focused)" = 104 ] || fail "Tab left the focus on control $(focused), not Send text"
keys shift+Tab
[ "$(focused)" = 103 ] || fail "Shift+Tab left the focus on control $(focused), not the text box"
[ "$(control_text 103)" = "keep me" ] || fail "Tab typed into the text box: '$(control_text 103)'"
click_on clearText
log "Escape keeps the text box's text; Tab and Shift+Tab leave it and come back"
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
check_glyphs "$artifacts/en-scale-1.5.png" 1.5
select_language 0
wait_until 50 caption_is 101 "Wi-Fi local" || true
[ "$(control_text 101)" = "Wi-Fi local" ] || fail "French at 144 dpi: '$(control_text 101)'"
shot fr-scale-1.5
check_colours "$artifacts/fr-scale-1.5.png"
close_app
log "144 dpi: 480x918, colours match"
log "PASS"
