#!/usr/bin/env bash
# Runs one command with the stand-in services listening on a free port of 127.0.0.1, and
# stops them when the command ends. The command finds them through BRISALUNE_WEATHER_URL,
# BRISALUNE_FORECAST_URL and BRISALUNE_SITE_URL (Wine hands the environment to Windows programs).
#   tools/with-fake-service.sh [--today YYYY-MM-DD] command [arguments...]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

service_args=(--quiet)
if [ "${1:-}" = "--today" ]; then
  service_args+=(--today "$2")
  shift 2
fi
if [ $# -eq 0 ]; then
  echo "usage: $0 [--today YYYY-MM-DD] command [arguments...]" >&2
  exit 2
fi

work=$(mktemp -d)
service_pid=
cleanup() {
  if [ -n "$service_pid" ]; then
    kill "$service_pid" 2>/dev/null
    wait "$service_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Detached from our output: CTest waits for every holder of its pipes.
"$here/fake-service/fake-service" "${service_args[@]}" --url-file "$work/url" \
  </dev/null >/dev/null 2>"$work/service.log" &
service_pid=$!

for _ in $(seq 200); do
  [ -s "$work/url" ] && break
  if ! kill -0 "$service_pid" 2>/dev/null; then
    echo "the stand-in service did not start:" >&2
    cat "$work/service.log" >&2
    exit 1
  fi
  sleep 0.05
done
if [ ! -s "$work/url" ]; then
  echo "the stand-in service did not announce its address" >&2
  exit 1
fi

url=$(head -n 1 "$work/url")
export BRISALUNE_WEATHER_URL=$url BRISALUNE_FORECAST_URL=$url BRISALUNE_SITE_URL=$url
# A proxy from the environment would take the requests away from 127.0.0.1.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY
"$@"
exit $?
