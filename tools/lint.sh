#!/usr/bin/env bash
# Lint: clang-tidy 14 with the tree's .clang-tidy over every source of a native build
# (its compile_commands.json), our own headers included. A source whose compile command,
# text and headers are unchanged since it last passed is not checked again.
#   tools/lint.sh [build folder, default build/native]
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build/native}" && pwd) || exit 2
tidy=${CLANG_TIDY:-clang-tidy-14}
command -v "$tidy" >/dev/null || { echo "lint: $tidy not found (run tools/setup.sh)" >&2; exit 2; }
[ -f "$build/compile_commands.json" ] || { echo "lint: no $build/compile_commands.json (configure and build first)" >&2; exit 2; }
# Sources that passed are remembered in the user's cache (cmake/Downloads.cmake), by
# content and with the tree's place left out, so a new clone does not check them again.
cache=$(cmake -P "$top/cmake/Downloads.cmake" | sed -n 's/^TOLVENAIRE_CACHE_DIR=//p')
passed=$cache/lint-passed
mkdir -p "$passed"

# One line per source of ours: file <tab> object <tab> compile command (googletest and
# qrcodegen are not ours). CMake's entries name the object only inside the command.
mapfile -t units < <(python3 - "$build/compile_commands.json" "$top" <<'EOF'
import json, os, shlex, sys
top = sys.argv[2] + os.sep
seen = set()
for e in json.load(open(sys.argv[1])):
    f = os.path.normpath(os.path.join(e['directory'], e['file']))
    if f.startswith(top) and not f.startswith(os.path.join(top, 'build') + os.sep) and f not in seen and os.path.exists(f):
        seen.add(f)
        words = shlex.split(e['command'])
        obj = words[words.index('-o') + 1] if '-o' in words else ''
        print(f + '\t' + obj + '\t' + e['command'])
EOF
)

check_one() {  # file <tab> object <tab> command: prints the findings, leaves a stamp when there are none
  local file=${1%%$'\t'*} rest=${1#*$'\t'} object command key
  object=${rest%%$'\t'*} command=${rest#*$'\t'}
  key=$( { "$TIDY" --version; cat "$TOP/.clang-tidy"; echo "$file"; echo "$command";
           # Every header the compiler read for this object, by content.
           (cd "$BUILD" && ninja -t deps "$object" 2>/dev/null | sed -n 's/^    //p' | sort -u |
              xargs -r sha256sum 2>/dev/null); sha256sum "$file"; } | sed "s|$TOP|@top@|g" | sha256sum | cut -c1-32)
  [ -f "$PASSED/$key" ] && return 0
  local out
  # The build is GCC's: clang does not know some of its warning options.
  if out=$("$TIDY" -p "$BUILD" --quiet --extra-arg=-Wno-unknown-warning-option "$file" 2>&1); then
    touch "$PASSED/$key"
  else
    printf '%s\n' "$out" | grep -v '^[0-9]* warnings\? generated\.$\|^Suppressed \|^Use -header-filter\|^[0-9]* warnings\? treated as errors$'
    return 1
  fi
}
export -f check_one
export TIDY=$tidy TOP=$top BUILD=$build PASSED=$passed

printf '%s\0' "${units[@]}" | xargs -0 -r -n 1 -P "${JOBS:-$(nproc)}" bash -c 'check_one "$1"' _
status=$?
if [ $status -eq 0 ]; then
  echo "lint: ${#units[@]} sources, no finding"
else
  echo "lint: findings above (clang-tidy, .clang-tidy)"
  exit 1
fi
