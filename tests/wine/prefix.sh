#!/usr/bin/env bash
# prefix.sh create|remove DIR: the Wine prefix of one test run, made fresh
# and removed afterwards. Created with the null display driver, so that
# windows work without an X server; the desktop tests switch it to X11.
set -euo pipefail
action=$1 dir=$2
export WINEPREFIX=$dir WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
case $action in
create)
  [ -d "$dir" ] && { wineserver -k 2>/dev/null || true; rm -rf "$dir"; }
  mkdir -p "$dir"
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  wineserver -w
  echo "fresh Wine prefix at $dir"
  ;;
remove)
  wineserver -k 2>/dev/null || true
  rm -rf "$dir"
  ;;
*) echo "usage: $0 create|remove DIR" >&2; exit 2 ;;
esac
