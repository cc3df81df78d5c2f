#!/usr/bin/env bash
# Reproducibility: the release command run here, then on a copy of the same tree in
# another folder a little later, must give byte-identical executables that name
# neither folder. With a tested Release build folder as argument, its executable must
# be that same file too.
#   tools/reproducible.sh [tested build folder, e.g. build/windows]
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
tested=${1:-}
work=$(mktemp -d /tmp/tolvenaire-repro.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "reproducible: FAIL: $*"; exit 1; }

bash "$top/tools/release.sh" || fail "release build in $top"
first=$top/dist/TolvenaireAndroid.exe

mkdir "$work/copy"
tar -C "$top" --exclude=./build --exclude=./dist --exclude=node_modules --exclude=.git -cf - . |
  tar -C "$work/copy" -xf - || fail "copying the tree"
TOLVENAIRE_SETUP_DONE=1 bash "$work/copy/tools/release.sh" "$work/out" || fail "release build in $work/copy"
second=$work/out/TolvenaireAndroid.exe

cmp "$first" "$second" || fail "the two builds differ"
for exe in "$first" "$second"; do
  for folder in "$top" "$work"; do
    if { strings -a "$exe"; strings -a -el "$exe"; } | grep -qF "$folder"; then
      fail "$exe names the build folder $folder"
    fi
  done
done
if [ -n "$tested" ]; then
  cmp "$first" "$tested/app/TolvenaireAndroid.exe" || fail "the tested $tested/app/TolvenaireAndroid.exe is not the released file"
fi
echo "reproducible: PASS, two builds identical, SHA-256 $(sha256sum <"$first" | cut -d' ' -f1)"
