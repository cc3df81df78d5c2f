#!/usr/bin/env bash
# Runs a test command (a Windows test program under Wine) against a real HTTPS server
# on 127.0.0.1:443.
#   https_suite.sh <work dir> <test command...>
# Each run makes a throwaway certificate authority and a certificate for localhost in
# <work dir>/tls, trusts the authority system-wide (Wine's TLS reads the system
# store) for the length of the run only, and takes it out again however the run ends.
# The authority's key is deleted as soon as the server certificate is signed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$1
shift

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo -n "$@"; fi; }
if ! as_root true 2>/dev/null; then
  echo "https_suite: trusting the test authority and listening on port 443 need root (or sudo without a password)" >&2
  exit 1
fi

tls=$work/tls
rm -rf "$tls"
mkdir -p "$tls"
(
  cd "$tls"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 2 \
    -subj "/CN=Tolvenaire throwaway test CA $(date -u +%Y%m%d%H%M%S) $$" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj /CN=localhost 2>/dev/null
  printf '%s\n' 'subjectAltName=DNS:localhost' 'basicConstraints=critical,CA:FALSE' \
    'keyUsage=critical,digitalSignature,keyEncipherment' 'extendedKeyUsage=serverAuth' >server.ext
  openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -out server.crt -days 2 \
    -extfile server.ext 2>/dev/null
  rm -f ca.key server.csr
)

# One anchor file per work folder: a rerun replaces it rather than piling them up.
name=tolvenaire-test-ca-$(printf '%s' "$work" | sha256sum | cut -c1-12)
anchor=/usr/local/share/ca-certificates/$name.crt
refresh_store() { as_root flock /run/lock/tolvenaire-test-ca.lock update-ca-certificates >/dev/null 2>&1; }

server=
cleanup() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  as_root rm -f "$anchor"
  # update-ca-certificates drops the authority from the bundle but keeps its links.
  as_root find /etc/ssl/certs -maxdepth 1 -type l -lname "*$name*" -delete 2>/dev/null || true
  refresh_store || true
}
trap cleanup EXIT

as_root install -m 644 "$tls/ca.crt" "$anchor"
refresh_store

ready=$tls/ready
python3 "$here/https_server.py" --cert "$tls/server.crt" --key "$tls/server.key" --ready "$ready" \
  2>"$tls/server.log" &
server=$!
for _ in $(seq 100); do
  [ -f "$ready" ] && break
  if ! kill -0 "$server" 2>/dev/null; then
    echo "https_suite: the server did not start (is 127.0.0.1:443 taken?)" >&2
    cat "$tls/server.log" >&2
    exit 1
  fi
  sleep 0.1
done
[ -f "$ready" ] || { echo "https_suite: the server did not listen within 10 s" >&2; exit 1; }

set +e
"$@"
status=$?
set -e
if [ $status -ne 0 ]; then
  echo "--- server log" >&2
  cat "$tls/server.log" >&2
fi
exit $status
