#!/usr/bin/env bash
# Shows one run of the importer as the back-office application starts it.
set -euo pipefail
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp "$build/importador" "$work/"
echo "Starting the importer in $work without a request file..."
env -u DISPLAY -u WAYLAND_DISPLAY "$work/importador"
echo "exit code: $?"
printf 'ConfigImporta.ret: %s\n' "$(cat "$work/ConfigImporta.ret")"
