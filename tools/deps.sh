#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine. Idempotent: when everything
# is present it only checks and returns within a second or two.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

packages=(cmake g++ make libgtest-dev googletest libbenchmark-dev libpugixml-dev
          g++-mingw-w64-x86-64 wine wine64 xvfb xauth imagemagick python3 dpkg-dev
          x11-utils x11-apps)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

have_src() {
  grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null
}

updated=0
apt_update() {
  if [ "$updated" -eq 0 ]; then
    "${sudo_cmd[@]}" apt-get update -qq
    updated=1
  fi
}

if ! have_src; then
  # Source entries mirror the binary ones so that `apt-get source` finds Debian's pugixml.
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -n '/^Types:/,/^$/p' /etc/apt/sources.list.d/debian.sources \
      | sed 's/^Types:.*/Types: deb-src/' \
      | "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/brisalune-src.sources >/dev/null
  else
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    echo "deb-src http://deb.debian.org/debian $codename main" \
      | "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/brisalune-src.list >/dev/null
  fi
  updated=0
fi

if [ "${#missing[@]}" -gt 0 ]; then
  apt_update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi

# pugixml for the MinGW build: Debian's source package with its patches applied.
if ! ls -d "$build"/pugixml-src/pugixml-*/src >/dev/null 2>&1 ||
   [ ! -f "$build"/pugixml-src/.complete ]; then
  rm -rf "$build/pugixml-src"
  mkdir -p "$build/pugixml-src"
  apt_update
  (cd "$build/pugixml-src" && apt-get source -qq pugixml >/dev/null)
  touch "$build/pugixml-src/.complete"
fi
echo "deps: all present"
