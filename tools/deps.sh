#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine. Idempotent: when everything
# is present it only checks and returns within a second or two.
set -euo pipefail

# The source entries that mirror the binary ones of an apt configuration FROM (an /etc/apt):
# one-line "deb" lines become "deb-src" lines in TO/sources.list, deb822 stanzas whose types
# include "deb" become "deb-src" stanzas in TO/sources.list.d/derived.sources, options kept.
derive_source_entries() {
  local from=$1 to=$2 file
  mkdir -p "$to/sources.list.d"
  for file in "$from/sources.list" "$from"/sources.list.d/*.list; do
    if [ -f "$file" ]; then sed -n 's/^[[:space:]]*deb\([[:space:]]\)/deb-src\1/p' "$file"; fi
  done >"$to/sources.list"
  for file in "$from"/sources.list.d/*.sources; do
    if [ -f "$file" ]; then
      awk 'function flush() {
             if (n && binary && !disabled) {
               print "Types: deb-src"
               for (i = 1; i <= n; i++) print kept[i]
               print ""
             }
             n = 0; binary = 0; disabled = 0
           }
           /^[[:space:]]*#/ { next }
           /^[[:space:]]*$/ { flush(); next }
           tolower($0) ~ /^types:/ {
             binary = (" " substr($0, 7) " ") ~ /[[:space:]]deb[[:space:]]/
             next
           }
           tolower($0) ~ /^enabled:[[:space:]]*no/ { disabled = 1 }
           { kept[++n] = $0 }
           END { flush() }' "$file"
    fi
  done >"$to/sources.list.d/derived.sources"
}

if [ "${1:-}" = "--source-entries" ]; then
  derive_source_entries "$2" "$3"
  exit 0
fi

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

packages=(cmake g++ make libgtest-dev googletest libbenchmark-dev libpugixml-dev nlohmann-json3-dev
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

if [ "${#missing[@]}" -gt 0 ]; then
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi

# pugixml for the MinGW build: Debian's source package with its patches applied. apt-get
# source runs on a private list of source entries under build/apt, made from the machine's own
# binary entries, so it follows whatever mirror the machine uses and leaves its apt
# configuration alone.
if ! ls -d "$build"/pugixml-src/pugixml-*/src >/dev/null 2>&1 ||
   [ ! -f "$build"/pugixml-src/.complete ]; then
  rm -rf "$build/pugixml-src" "$build/apt"
  mkdir -p "$build/pugixml-src" "$build/apt/lists/partial" "$build/apt/cache"
  derive_source_entries /etc/apt "$build/apt"
  private=(-o "Dir::Etc::SourceList=$build/apt/sources.list"
           -o "Dir::Etc::SourceParts=$build/apt/sources.list.d"
           -o "Dir::State::Lists=$build/apt/lists" -o "Dir::Cache=$build/apt/cache")
  # As root apt would try its download user, which may not reach build/, and say so.
  if [ "$(id -u)" -eq 0 ]; then private+=(-o APT::Sandbox::User=root); fi
  # A mirror without source packages fails its part of the update; the source is then looked
  # for in the others, and apt-get source says so when none has it.
  apt-get "${private[@]}" update -qq || true
  (cd "$build/pugixml-src" && apt-get "${private[@]}" source -qq pugixml >/dev/null)
  touch "$build/pugixml-src/.complete"
fi
echo "deps: all present"
