#!/usr/bin/env bash
# Makes the pictures of docs/GUIDE.md from the real program (needs root, for the
# network namespaces):
#   bash tools/screenshots.sh
# Builds what it needs, then, on a private virtual display with the Segoe UI
# stand-in (tools/wine-fonts.sh) and a Wine prefix of its own in a "pc" network
# namespace, drives TolvenaireAndroid.exe in French and in English to the sharing
# state, takes the window and the enlarged QR window, and takes the phone page in
# Chromium's phone profile from a "phone" namespace. The Bluetooth states, which
# Wine cannot reach, come from tools/screenshots/scenes_win.cpp: the same window
# and pairing dialog with a fake phone. Each picture is cropped to its window and
# reduced to a palette; the QR codes must decode to the link the window shows.
set -euo pipefail
tree=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" -ne 0 ]; then
  echo "tools/screenshots.sh: the phone and the pc are network namespaces, which need root" >&2
  exit 1
fi
bash "$tree/tools/setup.sh"
dir=$tree/build/windows
if [ ! -f "$dir/build.ninja" ]; then
  top=$tree; source "$tree/tools/windows-flags.sh"
  cmake -S "$tree" -B "$dir" -G Ninja "${windows_flags[@]}" >/dev/null
fi
cmake --build "$dir" --target TolvenaireAndroid window_probe screenshot_scenes >/dev/null
app=$dir/app/TolvenaireAndroid.exe probe=$dir/tests/app/window_probe.exe scenes=$dir/tools/screenshots/screenshot_scenes.exe
images=$tree/docs/images
netns_tag=shot$$
# Wine names an adapter after its Linux interface: the address list then reads as
# a PC's Wi-Fi adapter does.
pc_interface=Wi-Fi
source "$tree/tests/app/window_env.sh"
log() { echo "[screenshots] $*"; }
artifacts=$work/raw
mkdir -p "$artifacts" "$images"
documents=$WINEPREFIX/drive_c/users/Public/Documents
mkdir -p "$documents"

# A palette of 64 colours keeps text legible and the files small; no time stamps,
# so an unchanged picture gives the same bytes. The main window is rounded: what
# shows of the empty screen at its corners is made transparent.
keep() {  # raw name, picture name
  local corners=()
  if [[ $2 == window-* ]]; then
    local w h; read -r w h <<<"$(identify -format '%w %h' "$artifacts/$1.png")"
    corners=(-alpha set -fill none -draw "matte 0,0 floodfill" -draw "matte $((w - 1)),0 floodfill"
      -draw "matte 0,$((h - 1)) floodfill" -draw "matte $((w - 1)),$((h - 1)) floodfill")
  fi
  convert "$artifacts/$1.png" "${corners[@]}" -strip -dither None -colors 64 \
    -define png:exclude-chunks=date,time "PNG8:$images/$2.png"
  log "docs/images/$2.png: $(identify -format '%wx%h' "$images/$2.png"), $(($(stat -c %s "$images/$2.png") / 1024)) KiB"
}
# The code in a picture (a crop given in pixels, or the whole), enlarged for the decoder.
decoded() {  # picture [crop]
  convert "$1" ${2:+-crop "$2" +repage} -scale 400% "$work/decode.png"
  zbarimg --raw -q "$work/decode.png" 2>/dev/null | head -n 1
}
# A picture of the screen rectangle left top right bottom, once it stops changing.
shot_of() {  # name left top right bottom
  local saved=("${rect[@]}")
  rect=("$2" "$3" "$4" "$5")
  shot "$1"
  rect=("${saved[@]}")
}

# ♥, − and × of the header and the arrow of the connection line are no empty boxes.
header_glyphs_drawn() {  # picture name
  python3 "$tree/tests/app/glyph_boxes.py" "$images/$1.png" 1 like="$(inset like 2)" \
    minimize="$(inset minimize 2)" close="$(inset close 2)" connection="$(inset connectionLine 0)" ||
    fail "missing glyphs in $1.png"
}

share_and_take() {  # language, locale, text, file name
  local lang=$1 text=$3 file=$4
  head -c 2400000 /dev/urandom >"$documents/$file"
  start_app "$2"
  local wifi; wifi=$([ "$lang" = en ] && echo "Local Wi-Fi" || echo "Wi-Fi local")
  [ "$(control_text 101)" = "$wifi" ] || fail "$lang start: mode caption '$(control_text 101)'"

  # xdotool now and then loses an accented letter while it maps a key for it: the
  # box is cleared and the text typed again.
  for _ in 1 2 3; do
    click_on textEdit
    type_text "$text"
    wait_until 20 caption_is 103 "$text" && break
    click_on clearText
  done
  caption_is 103 "$text" || fail "the text box holds '$(control_text 103)'"
  click_on chooseFile
  wait_until 100 box_open || fail "the file dialog did not open"
  wait_until 50 box_has_focus || fail "the file dialog did not take the keyboard focus"
  type_text "C:\\users\\Public\\Documents\\$file"
  keys Return
  wait_until 100 box_closed || fail "the file dialog did not close"
  wait_until 50 shows_file "$file" || fail "the file label does not show $file"
  click_on textSend
  wait_until 100 link_present || fail "Send text did not start sharing"
  link=$(link_text)
  click_on fileSend
  wait_until 100 state_has_file || fail "the link does not offer the file"
  # Back to the text box: a button keeps no focus frame, which Windows would hide
  # until the keyboard is used (Wine draws it).
  click_on textEdit
  keys End

  # The phone first, so that the window then shows it connected.
  in_phone node "$tree/tools/screenshots/phone_page.js" "$link" "$artifacts/phone-page-$lang.png" "$lang" \
    "$text" "$file" || fail "the phone page was not taken"
  keep "phone-page-$lang" "phone-page-$lang"

  shot "window-wifi-$lang"
  read -r qr_left qr_top qr_right qr_bottom <<<"${box[qr]}"
  keep "window-wifi-$lang" "window-wifi-$lang"
  [ "$(decoded "$images/window-wifi-$lang.png" "$((qr_right - qr_left))x$((qr_bottom - qr_top))+$qr_left+$qr_top")" = "$link" ] ||
    fail "the window's QR code in window-wifi-$lang.png does not decode to $link"
  header_glyphs_drawn "window-wifi-$lang"

  click_on qr
  local title; title=$([ "$lang" = en ] && echo "Scan with Android" || echo "Scanner avec Android")
  local qr_window=
  qr_found() { qr_window=$(DISPLAY=$display xdotool search --onlyvisible --name "^$title\$" | head -n 1); [ -n "$qr_window" ]; }
  wait_until 100 qr_found || fail "the QR window did not open"
  local X Y WIDTH HEIGHT
  eval "$(DISPLAY=$display xdotool getwindowgeometry --shell "$qr_window" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  shot_of "qr-window-$lang" "$X" "$Y" $((X + WIDTH)) $((Y + HEIGHT))
  keep "qr-window-$lang" "qr-window-$lang"
  [ "$(decoded "$images/qr-window-$lang.png")" = "$link" ] ||
    fail "the enlarged QR code in qr-window-$lang.png does not decode to $link"

  # Aside, to reach Stop sharing, which closes it.
  DISPLAY=$display xdotool windowmove --sync "$qr_window" 900 40
  click_on start
  wait_until 50 link_absent || fail "Stop sharing left the link"
  close_app
  rm -f "$documents/$file"
}

started=$SECONDS
share_and_take fr fr_FR.UTF-8 "Rendez-vous à 19 h à la gare." "photos-vacances.zip"
share_and_take en en_US.UTF-8 "See you at 7 at the station." "holiday-photos.zip"

# The Bluetooth scenes: each is held until its picture is taken.
for file in photos-vacances.zip holiday-photos.zip; do head -c 2400000 /dev/urandom >"$documents/$file"; done
mkdir -p "$WINEPREFIX/drive_c/scenes"
in_pc wine "$scenes" 'C:\scenes' 'C:\users\Public\Documents\photos-vacances.zip' \
  'C:\users\Public\Documents\holiday-photos.zip' >"$work/scenes.log" 2>&1 &
app_pid=$!
for name in bluetooth-fr pairing-fr bluetooth-en pairing-en; do
  scene_shown() { grep -q $'^scene\t'"$name"$'\t' "$work/scenes.log"; }
  wait_until 600 scene_shown || fail "scene $name was not shown: $(tr -d '\r' <"$work/scenes.log")"
  read -r _ _ left upper right lower < <(tr -d '\r' <"$work/scenes.log" | grep $'^scene\t'"$name"$'\t')
  picture=${name/bluetooth/window-bluetooth}
  picture=${picture/pairing/pairing-dialog}
  shot_of "$picture" "$left" "$upper" "$right" "$lower"
  keep "$picture" "$picture"
  [[ $picture == window-* ]] && header_glyphs_drawn "$picture"
  touch "$WINEPREFIX/drive_c/scenes/$name"
done
wait "$app_pid" || fail "the scenes ended with code $?: $(tr -d '\r' <"$work/scenes.log")"
app_pid=
log "made in $((SECONDS - started)) s"
