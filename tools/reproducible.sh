#!/usr/bin/env bash
# Reproducibility: the release command run here, then on a copy of the same tree in
# another folder a little later, must give byte-identical executables that name
# neither folder. With a tested Release build folder as argument, its executable must
# be that same file too. The second release is signed with a throwaway certificate:
# the signature must verify against that certificate, and the digest published beside
# the signed file must be the one a rebuild gives.
#   tools/reproducible.sh [tested build folder, e.g. build/windows]
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
tested=${1:-}
work=$(mktemp -d /tmp/tolvenaire-repro.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "reproducible: FAIL: $*"; exit 1; }
name=TolvenaireAndroid.exe

bash "$top/tools/release.sh" || fail "release build in $top"
first=$top/dist/$name

# A self-signed code-signing certificate that lives as long as this check.
mkdir "$work/signing"
password=$(head -c 18 /dev/urandom | base64)
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Tolvenaire throwaway signing" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$work/signing/key.pem" -out "$work/signing/cert.pem" >/dev/null 2>&1 &&
  openssl pkcs12 -export -inkey "$work/signing/key.pem" -in "$work/signing/cert.pem" \
    -out "$work/signing/signing.pfx" -passout fd:3 3<<<"$password" || fail "making the throwaway certificate"
rm -f "$work/signing/key.pem"

mkdir "$work/copy"
tar -C "$top" --exclude=./build --exclude=./dist --exclude=node_modules --exclude=.git -cf - . |
  tar -C "$work/copy" -xf - || fail "copying the tree"
# No time-stamp server is ever contacted here.
env -u TOLVENAIRE_TIMESTAMP_URL TOLVENAIRE_SETUP_DONE=1 TOLVENAIRE_SIGNING_PFX="$work/signing/signing.pfx" \
  TOLVENAIRE_SIGNING_PASSWORD="$password" bash "$work/copy/tools/release.sh" "$work/out" ||
  fail "signed release build in $work/copy"
second=$work/copy/build/dist/dist/$name
signed=$work/out/$name

cmp "$first" "$second" || fail "the two builds differ"
for exe in "$first" "$second"; do
  for folder in "$top" "$work"; do
    if { strings -a "$exe"; strings -a -el "$exe"; } | grep -qF "$folder"; then
      fail "$exe names the build folder $folder"
    fi
  done
done
if [ -n "$tested" ]; then
  cmp "$first" "$tested/app/$name" || fail "the tested $tested/app/$name is not the released file"
fi

# The signed file: its signature, its published hash and check value.
osslsigncode verify -in "$signed" -CAfile "$work/signing/cert.pem" >"$work/verify.log" 2>&1 ||
  { cat "$work/verify.log"; fail "the signed file does not verify against the signing certificate"; }
(cd "$work/out" && sha256sum -c --quiet "$name.sha256") || fail "$name.sha256 is not the signed file's hash"
published=$(cut -d' ' -f1 "$work/out/$name.authenticode")
rebuilt=$(python3 "$top/tools/authenticode-digest.py" "$first" | cut -d' ' -f1)
covered=$(sed -n 's/^Current message digest *: *\([0-9A-F]*\).*/\1/p' "$work/verify.log" | tr 'A-F' 'a-f')
[ "$published" = "$rebuilt" ] || fail "published check value $published, the rebuild gives $rebuilt"
[ "$covered" = "$rebuilt" ] || fail "the signature covers '$covered', the rebuild gives $rebuilt"
cmp -s "$signed" "$first" && fail "the signed file is the unsigned one"

echo "reproducible: PASS, two builds identical, SHA-256 $(sha256sum <"$first" | cut -d' ' -f1)"
echo "reproducible: PASS, signed copy verifies; its Authenticode digest $published is the rebuild's"
