#!/usr/bin/env bash
# Pushes objects with obexpush to the OpenOBEX receiver obex_tcp (openobex-apps),
# which listens on TCP port 650 of every interface; we connect to 127.0.0.1 only.
# It serves one connection per run, so it is started again for every push.
#   obex_tcp_interop.sh WORKDIR OBEXPUSH-COMMAND...
# The command may start with an emulator (Wine for the Windows build).
set -u
work=$1
shift
push=("$@")
export LC_ALL=C.UTF-8 LANG=C.UTF-8  # non-ASCII arguments must reach Wine intact

command -v obex_tcp >/dev/null || { echo "obex_tcp missing (package openobex-apps)"; exit 1; }
rm -rf "$work"
mkdir -p "$work/in"
failures=0
receiver=

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

listening() { ss -Hltn 'sport = :650' 2>/dev/null | grep -q .; }

start_receiver() {  # folder
    rm -rf "$1"
    mkdir -p "$1"
    if listening; then echo "port 650 is already taken"; exit 1; fi
    (cd "$1" && exec obex_tcp >"$1.log" 2>&1) &
    receiver=$!
    for _ in $(seq 200); do listening && return 0; sleep 0.05; done
    echo "obex_tcp did not start listening"
    exit 1
}

stop_receiver() {  # it leaves by itself once its connection is over
    for _ in $(seq 200); do kill -0 "$receiver" 2>/dev/null || break; sleep 0.05; done
    kill "$receiver" 2>/dev/null
    wait "$receiver" 2>/dev/null
    receiver=
}
trap '[ -n "$receiver" ] && kill "$receiver" 2>/dev/null' EXIT

run_push() {  # expected-status, arguments...
    local expected=$1
    shift
    (cd "$work/in" && "${push[@]}" "$@" >"$work/push.log" 2>&1)
    local status=$?
    if [ "$status" -ne "$expected" ]; then
        fail "obexpush $* exited $status, expected $expected"
        sed 's/^/  | /' "$work/push.log" | tail -n 5
    fi
}

# 1. Empty file: acknowledged; this receiver stores nothing for an empty body.
: >"$work/in/vide.bin"
start_receiver "$work/out1"
run_push 0 --tcp 127.0.0.1:650 vide.bin
stop_receiver
grep -q "confirmed" "$work/push.log" || fail "empty file: no confirmation reported"
grep -q "sent 0 of 0 bytes (100 %)" "$work/push.log" || fail "empty file: no final progress line"

# 2. A text as the job sends it: byte order mark + UTF-8, named Texte.txt / Text.txt.
text='Bonjour, été à Montréal — ligne 1
ligne 2 𝄞'
start_receiver "$work/out2"
run_push 0 --tcp 127.0.0.1:650 --text "$text"
stop_receiver
printf '\xEF\xBB\xBF%s' "$text" >"$work/expected.txt"
cmp -s "$work/expected.txt" "$work/out2/Texte.txt" || fail "text: Texte.txt differs from BOM + UTF-8 text"
start_receiver "$work/out2e"
run_push 0 --tcp 127.0.0.1:650 --text "hello" --english
stop_receiver
[ -f "$work/out2e/Text.txt" ] || fail "english text: Text.txt missing"

# 3. Several MiB of random bytes, cut into the receiver's 1,024-byte packets.
head -c 5242881 /dev/urandom >"$work/in/random-5MiB.bin"
start_receiver "$work/out3"
run_push 0 --tcp 127.0.0.1:650 random-5MiB.bin
stop_receiver
cmp -s "$work/in/random-5MiB.bin" "$work/out3/random-5MiB.bin" || fail "random file: received bytes differ or name changed"
grep -q "sent 5242881 of 5242881 bytes (100 %)" "$work/push.log" || fail "random file: final progress line missing"

# 4. Accents and a character beyond the BMP in the name. The receiver mangles such
#    names when it stores them, so only the content and the count are compared here.
name='Été à Noël 𝄞.bin'
head -c 70000 /dev/urandom >"$work/in/$name"
start_receiver "$work/out4"
run_push 0 --tcp 127.0.0.1:650 "$name"
stop_receiver
stored=("$work/out4"/*)
if [ "${#stored[@]}" -ne 1 ] || [ ! -f "${stored[0]}" ]; then
    fail "non-ASCII name: expected exactly one stored file"
else
    cmp -s "$work/in/$name" "${stored[0]}" || fail "non-ASCII name: content differs"
fi

# 5. --name and --type are honoured; ASCII names arrive unchanged.
printf 'abc' >"$work/in/a.dat"
start_receiver "$work/out5"
run_push 0 --tcp 127.0.0.1:650 --name "renamed-photo.jpg" --type image/jpeg a.dat
stop_receiver
cmp -s "$work/in/a.dat" "$work/out5/renamed-photo.jpg" || fail "--name: file not stored under the given name"

# 6. Failures: nobody listening (1, with the system's reason), bad arguments (2).
run_push 1 --tcp 127.0.0.1:1 a.dat
grep -q "Connexion TCP impossible : " "$work/push.log" || fail "refused connection: message missing"
run_push 2 --tcp 127.0.0.1 a.dat
run_push 2 --tcp 127.0.0.1:650
run_push 2 --tcp 127.0.0.1:650 --text hi a.dat
run_push 1 --tcp 127.0.0.1:650 missing-file.bin
grep -q "Fichier inaccessible ou ouvert en modification." "$work/push.log" || fail "missing file: message missing"

if [ "$failures" -eq 0 ]; then
    echo "obex_tcp interop: all pushes passed"
    rm -rf "$work"
    exit 0
fi
echo "obex_tcp interop: $failures failure(s); files kept in $work"
exit 1
