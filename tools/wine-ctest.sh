#!/usr/bin/env bash
# Runs a MinGW build's CTest suite under Wine inside a virtual X server. The Wine prefix is
# prepared inside the X server too: Wine's desktop process starts with the first client and
# keeps the display it found then.
set -uo pipefail
build_dir=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  source "$1/wine-env.sh"
  wine_prepare
  cd "$2" && shift 2
  ctest --output-on-failure "$@"
  status=$?
  wine_finish
  exit $status' _ "$here" "$build_dir" "$@"
