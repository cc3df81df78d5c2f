#!/usr/bin/env bash
# Builds the file handed to users from a fresh build folder: TolvenaireAndroid.exe
# (Release, stripped, reproducible) and TolvenaireAndroid.exe.sha256 beside it.
#   tools/release.sh [output folder]      (default: dist/ at the top of the tree)
# With a code-signing certificate in the environment, the file is signed (Authenticode,
# SHA-256) and TolvenaireAndroid.exe.authenticode beside it holds the digest that the
# signature covers, which a rebuild of the commit gives too:
#   TOLVENAIRE_SIGNING_PFX       the certificate and its key, a PKCS#12 file
#   TOLVENAIRE_SIGNING_PASSWORD  its password
#   TOLVENAIRE_TIMESTAMP_URL     a time-stamp server (RFC 3161), optional
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/dist}
max_size=1500000
name=TolvenaireAndroid.exe
# Set-up is skipped only by the reproducibility check, for its copy of the tree.
[ -n "${TOLVENAIRE_SETUP_DONE:-}" ] || bash "$top/tools/setup.sh"
signing=${TOLVENAIRE_SIGNING_PFX:-}
if [ -n "$signing" ] && [ -z "${TOLVENAIRE_SIGNING_PASSWORD+set}" ]; then
  echo "release: TOLVENAIRE_SIGNING_PFX is set but TOLVENAIRE_SIGNING_PASSWORD is not" >&2
  exit 1
fi

dir=$top/build/dist
rm -rf "$dir"
mkdir -p "$dir"
source "$top/tools/windows-flags.sh"
cmake -S "$top" -B "$dir" -G Ninja "${windows_flags[@]}" >"$dir.log" 2>&1 || { cat "$dir.log"; exit 1; }
cmake --build "$dir" --target dist -j "${JOBS:-$(nproc)}" >>"$dir.log" 2>&1 || { tail -n 60 "$dir.log"; exit 1; }
built=$dir/dist/$name

mkdir -p "$out"
rm -f "$out/$name" "$out/$name.sha256" "$out/$name.authenticode"
if [ -n "$signing" ]; then
  timestamp=()
  [ -z "${TOLVENAIRE_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$TOLVENAIRE_TIMESTAMP_URL")
  # The password goes through a pipe, never on a command line.
  osslsigncode sign -pkcs12 "$signing" -readpass <(printf '%s' "$TOLVENAIRE_SIGNING_PASSWORD") -h sha256 \
    "${timestamp[@]}" -in "$built" -out "$out/$name" >"$dir-sign.log" 2>&1 ||
    { cat "$dir-sign.log" >&2; echo "release: signing failed" >&2; exit 1; }
  check=$(python3 "$top/tools/authenticode-digest.py" "$built" | cut -d' ' -f1)
  signed=$(python3 "$top/tools/authenticode-digest.py" "$out/$name" | cut -d' ' -f1)
  if [ "$check" != "$signed" ]; then
    echo "release: the signature does not cover the built file ($signed, built $check)" >&2
    exit 1
  fi
  echo "$check  $name" >"$out/$name.authenticode"
else
  cp "$built" "$out/$name"
fi
(cd "$out" && sha256sum "$name" >"$name.sha256")
size=$(stat -c %s "$out/$name")
commit=$(git -C "$top" describe --always --dirty 2>/dev/null || echo "not a git checkout")
echo "release: $out/$name, $size bytes, commit $commit"
echo "release: SHA-256 $(cut -d' ' -f1 "$out/$name.sha256")"
[ -z "$signing" ] || echo "release: signed; Authenticode digest (the same for a rebuild) $check"
case $commit in *-dirty) echo "release: the tree has uncommitted changes; this file matches no commit" >&2 ;; esac
if [ "$size" -gt "$max_size" ]; then
  echo "release: larger than $max_size bytes" >&2
  exit 1
fi
