#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian 12 machine. Safe to run again:
# it only installs what is missing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(
  cmake ninja-build ccache g++ clang libclang-rt-14-dev clang-tidy-14 clang-format-14 googletest
  g++-mingw-w64-x86-64-posix wine wine64
  xvfb imagemagick xdotool x11-utils fonts-dejavu-core fonts-dejavu-extra fonts-noto-core zbar-tools
  chromium openobex-apps nginx hyperfine wrk curl python3 openssl osslsigncode ca-certificates iproute2 procps
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# qrcodegen comes from Debian's source archive, never from the repository. Its name,
# hash and cache folder are the build's own (cmake/Downloads.cmake).
while IFS='=' read -r name value; do
  declare "$name=$value"
done < <(cmake -P "$top/cmake/Downloads.cmake")
cache=$TOLVENAIRE_CACHE_DIR
tarball=$cache/$QRCODEGEN_TARBALL_NAME
sha=$QRCODEGEN_SHA256
if ! echo "$sha  $tarball" | sha256sum -c --status 2>/dev/null; then
  mkdir -p "$cache"
  src=/etc/apt/sources.list.d/tolvenaire-deb-src.sources
  if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    # Same mirrors as the machine's binary entries, for source packages.
    tmp=$(mktemp)
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] && sed 's/^Types: deb$/Types: deb-src/' "$f" >>"$tmp" && echo >>"$tmp"
    done
    if [ -s "$tmp" ]; then
      as_root install -m 644 "$tmp" "$src"
    elif [ -f /etc/apt/sources.list ]; then
      grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' >"$tmp"
      as_root install -m 644 "$tmp" /etc/apt/sources.list.d/tolvenaire-deb-src.list
    fi
    rm -f "$tmp"
    as_root apt-get update -qq
  fi
  (cd "$cache" &&
     apt-get source --download-only --tar-only "$QRCODEGEN_SOURCE_PACKAGE=$QRCODEGEN_SOURCE_VERSION" >/dev/null 2>&1 ||
     apt-get source --download-only --tar-only "$QRCODEGEN_SOURCE_PACKAGE" >/dev/null)
  echo "$sha  $tarball" | sha256sum -c --status || { echo "setup: qrcodegen tarball hash mismatch" >&2; exit 1; }
fi

# Browser tests: playwright-core and axe-core from the npm registry, pinned by the lock file.
for dir in "$top"/tests/*/; do
  if [ -f "$dir/package-lock.json" ] && [ ! -d "$dir/node_modules" -o "$dir/package-lock.json" -nt "$dir/node_modules" ]; then
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error && touch node_modules)
  fi
done
