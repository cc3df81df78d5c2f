#!/usr/bin/env bash
# Fails when docs/GUIDE.md names a picture that is not in the tree, or names none
# (its picture syntax no longer read here). tools/screenshots.sh makes them.
#   guide_images.sh [source tree]
set -u
tree=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
guide=$tree/docs/GUIDE.md
[ -f "$guide" ] || { echo "no guide at $guide"; exit 1; }
# Markdown pictures, ![alt](path), and HTML ones, <img src="path">.
mapfile -t named < <(grep -oE '!\[[^]]*\]\([^)[:space:]]+|<img[^>]* src="[^"]+' "$guide" |
  sed -E 's/^!\[[^]]*\]\(//; s/^<img.* src="//' | sort -u)
[ ${#named[@]} -gt 0 ] || { echo "docs/GUIDE.md names no picture"; exit 1; }
status=0
for picture in "${named[@]}"; do
  file=$tree/docs/$picture
  if [ ! -f "$file" ]; then
    echo "docs/GUIDE.md names $picture, which is missing (make it with: bash tools/screenshots.sh)"
    status=1
  elif [ "$(head -c 8 "$file" | od -An -tx1 | tr -d ' \n')" != 89504e470d0a1a0a ]; then
    echo "docs/$picture is not a PNG file"
    status=1
  fi
done
[ $status -eq 0 ] && echo "docs/GUIDE.md: ${#named[@]} pictures, all present"
exit $status
