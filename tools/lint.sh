#!/usr/bin/env bash
# Lint: clang-tidy 14 with the tree's .clang-tidy over every source of our own in each build
# folder given (its compile_commands.json), our own headers included. A Windows build
# (mingw-w64) is read with clang's mingw-w64 target and the cross compiler's C++ headers; a
# source in both builds is checked once per build, since its compile commands differ. A
# source whose compile command, text and headers are unchanged since it last passed is not
# checked again.
#   tools/lint.sh [build folder...]   (default build/native)
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
[ $# -gt 0 ] || set -- "$top/build/native"
tidy=${CLANG_TIDY:-clang-tidy-14}
command -v "$tidy" >/dev/null || { echo "lint: $tidy not found (run tools/setup.sh)" >&2; exit 2; }
builds=()
for b in "$@"; do
  b=$(cd "$b" && pwd) || exit 2
  [ -f "$b/compile_commands.json" ] || { echo "lint: no $b/compile_commands.json (configure with -DCMAKE_EXPORT_COMPILE_COMMANDS=ON and build first)" >&2; exit 2; }
  builds+=("$b")
done
# Sources that passed are remembered in the user's cache (cmake/Downloads.cmake), by
# content and with the tree's place left out, so a new clone does not check them again.
cache=$(cmake -P "$top/cmake/Downloads.cmake" | sed -n 's/^TOLVENAIRE_CACHE_DIR=//p')
passed=$cache/lint-passed
mkdir -p "$passed"

# Checks left out for the Windows sources only, on top of .clang-tidy's list:
#   performance-no-int-to-ptr   Win32 hands handles and pointers through integers (LPARAM,
#                               WPARAM, GetWindowLongPtr, MAKEINTRESOURCE): every such cast
#                               is the API's, not ours to avoid
windows_checks=-performance-no-int-to-ptr

# One line per source of ours: build <tab> kind <tab> file <tab> object <tab> compile command
# (googletest, qrcodegen, generated sources and resource scripts are not linted). CMake's
# entries name the object only inside the command. kind is "windows" for a mingw-w64 build.
mapfile -t units < <(python3 - "$top" "${builds[@]}" <<'EOF'
import json, os, shlex, sys
top = sys.argv[1] + os.sep
for build in sys.argv[2:]:
    seen = set()
    for e in json.load(open(os.path.join(build, 'compile_commands.json'))):
        f = os.path.normpath(os.path.join(e['directory'], e['file']))
        if not f.endswith(('.cpp', '.cc', '.c')):
            continue
        if f.startswith(top) and not f.startswith(os.path.join(top, 'build') + os.sep) and f not in seen and os.path.exists(f):
            seen.add(f)
            words = shlex.split(e['command'])
            obj = words[words.index('-o') + 1] if '-o' in words else ''
            kind = 'windows' if 'mingw32' in os.path.basename(words[0]) else 'native'
            print('\t'.join([build, kind, f, obj, e['command']]))
EOF
)
[ ${#units[@]} -gt 0 ] || { echo "lint: no sources of ours in ${builds[*]}" >&2; exit 2; }

# The Windows pass: clang's mingw-w64 target, and libstdc++'s headers where the cross
# compiler has them (clang does not find them under GCC's "12-posix" folder by itself), in
# the compiler's own order.
windows_args=
windows_compiler=$(printf '%s\n' "${units[@]}" | awk -F'\t' '$2 == "windows" { split($5, w, " "); print w[1]; exit }')
if [ -n "$windows_compiler" ]; then
  windows_args="--extra-arg=--target=x86_64-w64-mingw32 --checks=$windows_checks"
  includes=$("$windows_compiler" -E -v -x c++ /dev/null 2>&1 </dev/null |
    sed -n '/^#include <\.\.\.>/,/^End of search list/p' | sed -n 's|^ \(/.*/include/c++.*\)$|\1|p')
  [ -n "$includes" ] || { echo "lint: $windows_compiler names no C++ header folder" >&2; exit 2; }
  for dir in $includes; do
    windows_args+=" --extra-arg=-isystem$dir"
  done
fi

check_one() {  # build <tab> kind <tab> file <tab> object <tab> command: prints the findings,
               # leaves a stamp when there are none
  local build=${1%%$'\t'*} rest=${1#*$'\t'} kind file object command key extra=
  kind=${rest%%$'\t'*} rest=${rest#*$'\t'}
  file=${rest%%$'\t'*} rest=${rest#*$'\t'}
  object=${rest%%$'\t'*} command=${rest#*$'\t'}
  [ "$kind" = windows ] && extra=$WINDOWS_ARGS
  # A native key leaves the (empty) extra arguments out, as it always has.
  key=$( { "$TIDY" --version; cat "$TOP/.clang-tidy"; [ -z "$extra" ] || echo "$extra"; echo "$file"; echo "$command";
           # Every header the compiler read for this object, by content.
           (cd "$build" && ninja -t deps "$object" 2>/dev/null | sed -n 's/^    //p' | sort -u |
              xargs -r sha256sum 2>/dev/null); sha256sum "$file"; } | sed "s|$TOP|@top@|g" | sha256sum | cut -c1-32)
  [ -f "$PASSED/$key" ] && return 0
  local out
  # The build is GCC's: clang does not know some of its warning options.
  # shellcheck disable=SC2086 # $extra is words without spaces
  if out=$("$TIDY" -p "$build" --quiet --extra-arg=-Wno-unknown-warning-option $extra "$file" 2>&1); then
    touch "$PASSED/$key"
  else
    echo "lint ($kind build): $file"
    printf '%s\n' "$out" | grep -v '^[0-9]* warnings\? generated\.$\|^Suppressed \|^Use -header-filter\|^[0-9]* warnings\? treated as errors$'
    return 1
  fi
}
export -f check_one
export TIDY=$tidy TOP=$top PASSED=$passed WINDOWS_ARGS=$windows_args

printf '%s\0' "${units[@]}" | xargs -0 -r -n 1 -P "${JOBS:-$(nproc)}" bash -c 'check_one "$1"' _
status=$?
counts=$(printf '%s\n' "${units[@]}" | cut -f2 | sort | uniq -c | awk '{ printf "%s%s %s", (NR > 1 ? ", " : ""), $2, $1 }')
if [ $status -eq 0 ]; then
  echo "lint: ${#units[@]} sources ($counts), no finding"
else
  echo "lint: findings above (clang-tidy, .clang-tidy)"
  exit 1
fi
