#!/usr/bin/env bash
# Formats the C++ sources with clang-format 14 and the tree's .clang-format.
#   tools/format.sh                  rewrites every source file in place
#   tools/format.sh --check          changes nothing: lists the files that would change, fails if any
#   tools/format.sh [--check] FILE…  the same for the files given
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
format=${CLANG_FORMAT:-clang-format-14}
command -v "$format" >/dev/null || { echo "format: $format not found (run tools/setup.sh)" >&2; exit 2; }

check=0
if [ "${1:-}" = "--check" ]; then check=1; shift; fi
cd "$top" || exit 2
if [ $# -gt 0 ]; then
  files=("$@")
elif git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c')
else
  mapfile -t files < <(find . -path ./build -prune -o -path ./dist -prune -o -name node_modules -prune -o \
                         -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print | sed 's|^\./||' | sort)
fi

if [ $check -eq 0 ]; then
  printf '%s\0' "${files[@]}" | xargs -0 -r "$format" -i
  exit $?
fi
# One clang-format per file, side by side; prints the files whose layout differs.
mapfile -t differ < <(printf '%s\0' "${files[@]}" | FORMAT=$format xargs -0 -r -n 8 -P "$(nproc)" sh -c \
  'for f; do "$FORMAT" "$f" | cmp -s - "$f" || echo "$f"; done' sh | sort)
if [ ${#differ[@]} -gt 0 ]; then
  printf 'format: %s\n' "${differ[@]}"
  echo "format: ${#differ[@]} of ${#files[@]} files differ from .clang-format (tools/format.sh rewrites them)"
  exit 1
fi
echo "format: ${#files[@]} files as .clang-format lays them out"
