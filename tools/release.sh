#!/usr/bin/env bash
# Builds the file handed to users from a fresh build folder: TolvenaireAndroid.exe
# (Release, stripped, reproducible) and TolvenaireAndroid.exe.sha256 beside it.
#   tools/release.sh [output folder]      (default: dist/ at the top of the tree)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/dist}
max_size=1500000
# Set-up is skipped only by the reproducibility check, for its copy of the tree.
[ -n "${TOLVENAIRE_SETUP_DONE:-}" ] || bash "$top/tools/setup.sh"

dir=$top/build/dist
rm -rf "$dir"
mkdir -p "$dir"
source "$top/tools/windows-flags.sh"
cmake -S "$top" -B "$dir" -G Ninja "${windows_flags[@]}" >"$dir.log" 2>&1 || { cat "$dir.log"; exit 1; }
cmake --build "$dir" --target dist -j "${JOBS:-$(nproc)}" >>"$dir.log" 2>&1 || { tail -n 60 "$dir.log"; exit 1; }

mkdir -p "$out"
cp "$dir/dist/TolvenaireAndroid.exe" "$out/TolvenaireAndroid.exe"
(cd "$out" && sha256sum TolvenaireAndroid.exe >TolvenaireAndroid.exe.sha256)
size=$(stat -c %s "$out/TolvenaireAndroid.exe")
commit=$(git -C "$top" describe --always --dirty 2>/dev/null || echo "not a git checkout")
echo "release: $out/TolvenaireAndroid.exe, $size bytes, commit $commit"
echo "release: SHA-256 $(cut -d' ' -f1 "$out/TolvenaireAndroid.exe.sha256")"
case $commit in *-dirty) echo "release: the tree has uncommitted changes; this file matches no commit" >&2 ;; esac
if [ "$size" -gt "$max_size" ]; then
  echo "release: larger than $max_size bytes" >&2
  exit 1
fi
