#!/usr/bin/env bash
# run.sh PREFIX LOCALE PROGRAM [ARG...]: runs a Windows program under Wine in
# the tests' prefix. The locale is always pinned, since it decides Wine's
# ANSI code page (C.UTF-8 gives 1252) and regional settings.
set -euo pipefail
export WINEPREFIX=$1
locale=$2
shift 2
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Through env, so that this shell does not try a locale Linux may not have.
exec env LC_ALL="$locale" wine "$@"
