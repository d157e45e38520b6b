#!/usr/bin/env bash
# with_service.sh LINUX_BUILD WINDOWS_BUILD PREFIX PROGRAM.exe [ARG...]
#
# Runs a Windows test program under Wine with the substitute service running
# on the Linux side, its CA trusted in the prefix's Root store; the program
# finds it through QUINTARA_TEST_URL and QUINTARA_TEST_TOKEN.
set -euo pipefail
linux_build=$1 windows_build=$2 prefix=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
token="wine-$RANDOM$RANDOM"
work=$(mktemp -d "${TMPDIR:-/tmp}/importador-wine-service-XXXXXX")
service_pid=
cleanup() {
  [ -z "$service_pid" ] || kill "$service_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$linux_build/tools/quintara-service" --products 200 --token "$token" --cert-dir "$work/certificate" \
  >"$work/service.out" 2>&1 &
service_pid=$!
for _ in $(seq 100); do grep -q '^READY ' "$work/service.out" 2>/dev/null && break; sleep 0.1; done
read -r _ base_url ca < "$work/service.out" || { echo "the service did not start: $(cat "$work/service.out")" >&2; exit 1; }
port=${base_url##*:}; port=${port%/}
"$here/run.sh" "$prefix" C.UTF-8 "$windows_build/add_root_certificate.exe" "${ca#CA=}"
# WinHTTP matches the certificate by host name.
QUINTARA_TEST_URL="https://localhost:$port/" QUINTARA_TEST_TOKEN="$token" "$here/run.sh" "$prefix" C.UTF-8 "$@"
