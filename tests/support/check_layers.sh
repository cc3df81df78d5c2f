#!/usr/bin/env bash
# Fails when a lower layer includes a header of a layer above it:
#   platform/ < base/ < link/, bluetooth/, remote/ < app/
# The engine (base, link, bluetooth, remote) and its tools never include app/; the
# screenshot scenes drive the window itself, as the window tests do.
set -u
top=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
cd "$top" || exit 2
status=0
check() {  # folder, forbidden include prefixes...
  local folder=$1; shift
  local pattern
  pattern=$(printf '|%s' "$@")
  pattern="#include \"(${pattern:1})"
  local hits
  hits=$(grep -rnE "$pattern" --include='*.cpp' --include='*.h' --include='*.rc' "$folder" 2>/dev/null)
  if [ -n "$hits" ]; then
    echo "$folder must not include $*:"
    echo "$hits" | sed 's/^/  /'
    status=1
  fi
}
check platform base/ link/ bluetooth/ remote/ app/
check base link/ bluetooth/ remote/ app/
for engine in link bluetooth remote tools/linkhost tools/obexpush fuzz bench; do check "$engine" app/; done
[ $status -eq 0 ] && echo "layers: platform < base < link, bluetooth, remote < app"
exit $status
