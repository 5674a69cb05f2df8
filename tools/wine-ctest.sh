#!/usr/bin/env bash
# Runs a MinGW build's CTest suite under Wine inside a virtual X server.
set -uo pipefail
build_dir=$1
shift
source "$(dirname "$0")/wine-env.sh"
wine_prepare
xvfb-run -a -s "-screen 0 1280x1024x24" \
  bash -c 'cd "$1" && shift && ctest --output-on-failure "$@"' _ "$build_dir" "$@"
status=$?
wine_finish
exit $status
