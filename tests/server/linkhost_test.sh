#!/usr/bin/env bash
# linkhost's command-line interface, driven over a pipe and in a terminal, checked
# with curl and zbarimg.
# Usage: linkhost_test.sh <linkhost program> [runner...]   (runner: e.g. wine)
# LINKHOST_ARTIFACTS (optional): folder that keeps the terminal QR code as pictures.
set -uo pipefail
program=$1; shift
runner=("$@")
work=$(mktemp -d)
failures=0
host_pid=
cleanup() {
  exec 3>&- 4>&- 2>/dev/null
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
  if [ ${#runner[@]} -ne 0 ]; then
    wineserver -k 2>/dev/null
    timeout 15 wineserver -w 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Under Wine every run would otherwise start a wineserver and its services and tear
# them down as it ends, and the next run would join one being torn down. One server,
# kept for the whole test and ended above, serves every run. Its output goes nowhere
# so that CTest's pipe closes with the script.
if [ ${#runner[@]} -ne 0 ]; then
  wineserver -p </dev/null >/dev/null 2>&1
fi

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [ "$1" == "$2" ] || fail "$3: expected [$2], got [$1]"; }

# Waits (bounded) until the output file has at least $1 lines.
wait_lines() {
  for _ in $(seq 100); do
    [ "$(wc -l <"$work/out")" -ge "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

# Waits (bounded) until `curl -s $1` prints text matching $2.
wait_match() {
  for _ in $(seq 100); do
    curl -s --max-time 2 "$1" | grep -q -- "$2" && return 0
    sleep 0.1
  done
  return 1
}

# Bad arguments: usage, exit 2, nothing on standard output.
for args in "--bogus" "--address" "--text a --text-file b" "--file" "--text"; do
  # shellcheck disable=SC2086
  "${runner[@]}" "$program" $args </dev/null >"$work/out" 2>"$work/err"
  expect_eq "$?" 2 "exit code for [$args]"
  grep -q '^usage: linkhost' "$work/err" || fail "no usage for [$args]"
  [ -s "$work/out" ] && fail "standard output for [$args]"
done

# --help: exit 0, every option and command explained on standard output.
"${runner[@]}" "$program" --help </dev/null >"$work/out" 2>"$work/err"
expect_eq "$?" 0 "exit code for --help"
for word in --address --text --text-file --file --english --no-qr text file nofile english french stop start; do
  grep -q -- "^ *$word " "$work/out" || fail "--help does not explain $word"
done

# In a terminal (a pseudo-terminal from script): the link alone on the first line,
# then its QR code, which reads back as the link once drawn as a terminal shows it,
# on a dark and on a light theme. --no-qr leaves the link alone. Ctrl+C ends the run.
in_terminal() {  # output file, linkhost arguments...
  local out=$1; shift
  rm -f "$work/tty_in"
  mkfifo "$work/tty_in"
  script -qec "$(printf '%q ' "${runner[@]}" "$program" "$@")" /dev/null <"$work/tty_in" >"$out" 2>&1 &
  host_pid=$!
  exec 4>"$work/tty_in"
}
end_terminal() {  # what
  printf '\003' >&4
  for _ in $(seq 100); do kill -0 "$host_pid" 2>/dev/null || break; sleep 0.1; done
  wait "$host_pid"
  expect_eq "$?" 0 "exit code after Ctrl+C ($1)"
  host_pid=
  exec 4>&-
}
# The terminal's own sequences (Wine's console adds cursor ones) are not text.
plain() { sed 's/\x1b\[[0-9;?]*[A-Za-z]//g; s/\r//g' "$1"; }
decodes_to() {  # output file, theme, expected text
  python3 "$(dirname "$0")/terminal_render.py" "$1" "$work/qr-$2.png" "$2" &&
    [ "$(zbarimg --raw -q "$work/qr-$2.png" 2>/dev/null | head -n 1)" = "$3" ]
}
in_terminal "$work/tty" --address 127.0.0.1
for _ in $(seq 100); do [ -n "$(plain "$work/tty" | head -n 1 | grep '/$')" ] && break; sleep 0.1; done
tty_link=$(plain "$work/tty" | head -n 1)
[[ "$tty_link" =~ ^http://127\.0\.0\.1:87[0-9][0-9]/[0-9a-f]{32}/$ ]] || fail "first line in a terminal [$tty_link]"
for _ in $(seq 50); do decodes_to "$work/tty" light "$tty_link" && break; sleep 0.1; done
decodes_to "$work/tty" light "$tty_link" || fail "the terminal QR code does not read as the link (light theme)"
decodes_to "$work/tty" dark "$tty_link" || fail "the terminal QR code does not read as the link (dark theme)"
expect_eq "$(curl -s -o /dev/null -w '%{http_code}' "${tty_link}state")" 200 "state through the terminal's link"
if [ -n "${LINKHOST_ARTIFACTS:-}" ]; then
  mkdir -p "$LINKHOST_ARTIFACTS" && cp "$work"/qr-*.png "$LINKHOST_ARTIFACTS/"
fi
end_terminal "QR"
in_terminal "$work/tty" --address 127.0.0.1 --no-qr
for _ in $(seq 100); do [ -n "$(plain "$work/tty" | head -n 1 | grep '/$')" ] && break; sleep 0.1; done
end_terminal "--no-qr"
plain "$work/tty" | head -n 1 | grep -qE '^http://127\.0\.0\.1:87[0-9]{2}/[0-9a-f]{32}/$' || fail "--no-qr: no link line"
expect_eq "$(LC_ALL=C grep -c $'\xe2\x96[\x80\x84\x88]' "$work/tty")" 0 "block characters with --no-qr"

# Failure to start: the system's message, in English with --english, exit 1.
refused() {  # expected message, linkhost arguments...
  local message=$1; shift
  "${runner[@]}" "$program" "$@" </dev/null >"$work/out" 2>"$work/err"
  local code=$?
  [ "$code" -eq 1 ] && grep -qF "$message" "$work/err" ||
    fail "[$*]: expected exit 1 and [$message], got exit $code and [$(head -c 600 "$work/err")]"
}
refused 'Adresse IPv4 locale invalide. Selectionnez une interface du PC.' --address 0.0.0.0
refused 'Invalid local IPv4 address. Select a PC network interface.' --address 0.0.0.0 --english
refused 'The file is inaccessible or open for writing.' --address 127.0.0.1 --file "$work/missing" --english
[ -s "$work/out" ] && fail "standard output after a failed start"

# A running host.
printf 'from a file\n' >"$work/text.txt"
printf 'payload-bytes' >"$work/payload.bin"
mkfifo "$work/in"
"${runner[@]}" "$program" --address 127.0.0.1 --text-file "$work/text.txt" --file "$work/payload.bin" \
  <"$work/in" >"$work/out" 2>"$work/err" &
host_pid=$!
exec 3>"$work/in"
wait_lines 1 || fail "no link printed"
link=$(head -n 1 "$work/out")
[[ "$link" =~ ^http://127\.0\.0\.1:87[0-9][0-9]/[0-9a-f]{32}/$ ]] || fail "link line [$link]"

state=$(curl -s "${link}state")
[[ "$state" == *'"text":"from a file\u000a"'* ]] || fail "text from --text-file: $state"
[[ "$state" == *'"name":"payload.bin","size":13'* ]] || fail "file from --file: $state"
[[ "$state" == *'"language":"fr"'* ]] || fail "French by default: $state"

echo 'text two\nlines' >&3
wait_match "${link}state" '"text":"two\\u000alines"' || fail "text command"
echo 'english' >&3
wait_match "${link}state" '"language":"en"' || fail "english command"
echo 'french' >&3
wait_match "${link}state" '"language":"fr"' || fail "french command"
echo 'nofile' >&3
wait_match "${link}state" '"file":null' || fail "nofile command"
echo "file $work/payload.bin" >&3
wait_match "${link}state" '"name":"payload.bin"' || fail "file command"
id=$(curl -s "${link}state" | sed -n 's/.*"id":"\([0-9a-f]*\)".*/\1/p')
expect_eq "$(curl -s "${link}file/$id")" "payload-bytes" "downloaded file"

# Bad commands: a message, no change.
before=$(curl -s "${link}state")
echo 'bogus' >&3
echo "file $work/missing" >&3
echo 'text' >&3
for _ in $(seq 100); do [ "$(wc -l <"$work/err")" -ge 3 ] && break; sleep 0.1; done
expect_eq "$(wc -l <"$work/err")" 3 "messages for bad commands"
expect_eq "$(curl -s "${link}state")" "$before" "state after bad commands"

echo 'stop' >&3
for _ in $(seq 100); do curl -s --max-time 1 "${link}state" >/dev/null || break; sleep 0.1; done
curl -s --max-time 1 "${link}state" >/dev/null && fail "still serving after stop"
echo 'start' >&3
wait_lines 2 || fail "no new link after start"
second=$(sed -n 2p "$work/out")
[[ "$second" =~ ^http://127\.0\.0\.1:87[0-9][0-9]/[0-9a-f]{32}/$ ]] || fail "second link [$second]"
[ "$second" != "$link" ] || fail "start kept the old token"
wait_match "${second}state" '"text":"two\\u000alines"' || fail "content kept across stop and start"

# End of input: stop and exit 0, nothing more on standard output.
exec 3>&-
for _ in $(seq 100); do kill -0 "$host_pid" 2>/dev/null || break; sleep 0.1; done
wait "$host_pid"
expect_eq "$?" 0 "exit code at end of input"
host_pid=
expect_eq "$(wc -l <"$work/out")" 2 "lines on standard output"

# SIGTERM and SIGINT end a host whose input stays open.
if [ ${#runner[@]} -eq 0 ]; then
  for signal in TERM INT; do
    rm -f "$work/in"
    mkfifo "$work/in"
    "$program" --address 127.0.0.1 <"$work/in" >"$work/out" 2>"$work/err" &
    host_pid=$!
    exec 3>"$work/in"
    wait_lines 1 || fail "no link printed (SIG$signal run)"
    kill -"$signal" "$host_pid"
    wait "$host_pid"
    expect_eq "$?" 0 "exit code after SIG$signal"
    host_pid=
    exec 3>&-
  done
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "linkhost interface: all checks passed"
