#!/usr/bin/env bash
# tray_desktop.sh LINUX_BUILD WINDOWS_BUILD BRIDGE_DIR PREFIX SCREENSHOT_DIR
#
# importador.exe on a private X server under Wine, driven with the mouse:
# the icon in Wine's system tray window, a double click that shows the
# centred status window, the right-button menu, "Sair do sistema" during a
# run (the process ends only after the result file), the failure boxes,
# which count down, close themselves and end the process, and no box at all
# without a display. Screenshots of each step go to SCREENSHOT_DIR.
set -euo pipefail

linux_build=$1 windows_build=$2 bridge_dir=$3 prefix=$4 shots=$5
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
pages=12 token="tray-$RANDOM$RANDOM"

fail() {
  echo "FAIL: $*" >&2
  [ -s "$work/importer.err" ] && sed "s/^/  importer: /" "$work/importer.err" >&2
  [ -f "$work/app/ConfigImporta.ret" ] && echo "  result: $(cat "$work/app/ConfigImporta.ret")" >&2
  [ -f "$work/app/ConfigImporta.log" ] && tail -n 20 "$work/app/ConfigImporta.log" | sed "s/^/  log: /" >&2
  exit 1
}

work=$(mktemp -d "${TMPDIR:-/tmp}/importador-tray-XXXXXX")
xvfb_pid= service_pid= importer_pid=
cleanup() {
  for pid in $importer_pid $service_pid $xvfb_pid; do kill "$pid" 2>/dev/null || true; done
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  WINEPREFIX=$prefix WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# A private X server on a free display; Wine draws on it with its X11 driver.
. "$here/private_display.sh"
start_private_display "$work" "$prefix"
mkdir -p "$shots"
shot() { import -window root "$shots/$1.png"; echo "   screenshot $shots/$1.png"; }
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
wait_for() {  # wait_for CONDITION-COMMAND... : up to 15 s
  for _ in $(seq 150); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
is_visible() { [ -n "$(visible "$1")" ]; }
# Presses Return until the box with that caption is gone: a key sent before
# the box has the focus would be lost.
return_closes_the_box() { xdotool key Return; ! is_visible "$1"; }
menu_opened() { [ "$(mapped_importer_windows)" -gt "$before" ]; }
mapped_importer_windows() { xwininfo -root -tree | grep -c '("importador.exe" "importador.exe")  [0-9]*x[0-9]*+[0-9]' || true; }

# A run of one product per page, each page a second late: time enough for
# the clicks, which are served between pages.
{ echo "create database '$work/loja.fdb' page_size 8192;"; cat "$source_dir/tools/bench/schema.sql"; } \
  | isql-fb -q -user SYSDBA -password plumbdoor -b >/dev/null || fail "could not create the database"
"$linux_build/tools/quintara-service" --products $pages --token "$token" --cert-dir "$work/certificate" \
  --delay-path api/operacoes-frente/getPessoasProdutos/PRODUTO/ --delay-ms 1000 >"$work/service.out" 2>&1 &
service_pid=$!
wait_for grep -q '^READY ' "$work/service.out" || fail "the service did not start: $(cat "$work/service.out")"
read -r _ base_url ca < "$work/service.out"
port=${base_url##*:}; port=${port%/}
"$here/run.sh" "$prefix" C.UTF-8 "$windows_build/add_root_certificate.exe" "${ca#CA=}"

mkdir "$work/app"
cp "$windows_build/importador.exe" "$work/app/"
cp "$bridge_dir/gds32.dll.so" "$work/app/gds32.dll"
printf '[CONF]\r\ntoken_quintara=%s\r\npathBancoDados=%s\r\nReg_por_trafego=1\r\n' "$token" "$work/loja.fdb" \
  > "$work/app/ConfigImporta.ini"

echo "== Start: only the icon, in Wine's system tray window"
( cd "$work/app" && QUINTARA_BASE_URL="https://localhost:$port/" exec "$here/run.sh" "$prefix" C.UTF-8 importador.exe ) \
  2>"$work/importer.err" &
importer_pid=$!
wait_for is_visible "Wine System Tray" || fail "no system tray window appeared"
sleep 1
is_visible "Leitura de balanca" && fail "the status window is shown at start"
eval "$(xdotool getwindowgeometry --shell "$(visible "Wine System Tray")")"
icon_x=$((X + 8)) icon_y=$((Y + 10))
shot wine-tray-icon

echo "== A single click does nothing; a double click shows the status window, centred"
xdotool mousemove $icon_x $icon_y click 1
sleep 2
is_visible "Leitura de balanca" && fail "a single click showed the status window"
xdotool mousemove $icon_x $icon_y click --repeat 2 --delay 80 1
wait_for is_visible "Leitura de balanca" || fail "a double click did not show the status window"
eval "$(xdotool getwindowgeometry --shell "$(visible "Leitura de balanca")")"
# X tells the client area; the title bar above it shifts its centre down.
dx=$((X + WIDTH / 2 - 400)) dy=$((Y + HEIGHT / 2 - 300))
[ ${dx#-} -le 4 ] && [ $dy -ge 0 ] && [ $dy -le 20 ] || fail "the status window is not centred: ${WIDTH}x${HEIGHT}+$X+$Y"
sleep 1.5  # a page or two, for the progress text
shot wine-status-window

echo "== The right button opens the menu at the cursor"
before=$(mapped_importer_windows)
xdotool mousemove $icon_x $icon_y mousedown 3
sleep 0.2
xdotool mouseup 3
wait_for menu_opened || fail "no menu appeared"
sleep 0.5
shot wine-tray-menu

echo "== \"Sair do sistema\" during the run: the run finishes and writes its result first"
# The open menu holds the run, so the quit is chosen while it is still going;
# a quit that cut it short would leave no result, or an incomplete one.
[ -e "$work/app/ConfigImporta.ret" ] && fail "the run ended before the quit was chosen"
xdotool key Up Return
status=0
wait $importer_pid || status=$?
importer_pid=
[ $status -eq 0 ] || fail "exit code $status: $(cat "$work/importer.err")"
[ "$(cat "$work/app/ConfigImporta.ret")" = "Importacao de dados Ok" ] \
  || fail "result: $(cat "$work/app/ConfigImporta.ret")"
rows=$(isql-fb -q -user SYSDBA -password plumbdoor "$work/loja.fdb" <<< "set list on; select count(*) n from Mercadorias;" \
  | awk '/^N /{print $2}')
[ "$rows" = "$pages" ] || fail "$rows products imported, not $pages"
echo "   ConfigImporta.ret: Importacao de dados Ok, $rows products"

box_text() { "$here/run.sh" "$prefix" C.UTF-8 "$windows_build/box_text.exe" "$1" 2>/dev/null | tail -n 1; }
seconds_left() { box_text "$1" | sed -n 's/^Esta mensagem se fecha sozinha em \([0-9]*\) s\.$/\1/p'; }

echo "== A result file that cannot be written: the error box counts down from 60 s; OK ends the process"
rm -f "$work/app/ConfigImporta.ret" "$work/app/ConfigImporta.ini"
mkdir "$work/app/ConfigImporta.ret"
( cd "$work/app" && exec "$here/run.sh" "$prefix" C.UTF-8 importador.exe ) 2>"$work/importer.err" &
importer_pid=$!
# The caption is the application title: the file name before its first full stop.
wait_for is_visible "importador" || fail "no error box appeared"
shot wine-run-failure-box
left=$(seconds_left importador)
[ -n "$left" ] && [ "$left" -le 60 ] && [ "$left" -ge 50 ] || fail "the box does not count down from 60 s: $(box_text importador)"
grep -q '^Resumo: ' "$work/app/ConfigImporta.log" || fail "the run's block is not in the log before the box"
eval "$(xdotool getwindowgeometry --shell "$(visible "importador")")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
wait_for return_closes_the_box importador || fail "the failure box did not close"
status=0
wait $importer_pid || status=$?
importer_pid=
[ $status -eq 1 ] || fail "exit code $status after the failure box"
echo "   the box said ${left} s left; OK ended the process with 1"

echo "== Nobody clicks: the box counts down, closes itself and the process ends (its life shortened to 8 s)"
( cd "$work/app" && IMPORTADOR_BOX_SECONDS=8 exec "$here/run.sh" "$prefix" C.UTF-8 importador.exe ) \
  2>"$work/importer.err" &
importer_pid=$!
wait_for is_visible "importador" || fail "no error box appeared"
first=$(seconds_left importador)
[ -n "$first" ] || fail "the box shows no time left: $(box_text importador)"
counted_down() { local now; now=$(seconds_left importador); [ -n "$now" ] && [ "$now" -lt "$first" ]; }
wait_for counted_down || fail "the box stayed at $first s"
later=$(seconds_left importador)
wait_for_gone() { ! is_visible importador; }
wait_for wait_for_gone || fail "the box did not close itself"
status=0
wait $importer_pid || status=$?
importer_pid=
[ $status -eq 1 ] || fail "exit code $status after the box closed itself"
rmdir "$work/app/ConfigImporta.ret"
echo "   the box said $first s, then ${later:-less} s, closed itself, and the process ended with 1"

# Starts the importer with a request, waits for the start-up failure box and
# leaves it open for the caller to check.
start_failure_box() {
  rm -f "$work/app/ConfigImporta.ret" "$work/app/ConfigImporta.log"
  printf '[CONF]\r\ntoken_quintara=%s\r\n' "$token" > "$work/app/ConfigImporta.ini"
  ( cd "$work/app" && exec "$here/run.sh" "$prefix" C.UTF-8 importador.exe ) 2>"$work/importer.err" &
  importer_pid=$!
  wait_for is_visible "Application Error" || fail "no error box appeared: $(cat "$work/importer.err")"
}
close_start_failure_box() {
  eval "$(xdotool getwindowgeometry --shell "$(visible "Application Error")")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
  wait_for return_closes_the_box "Application Error" || fail "the box did not close"
  status=0
  wait $importer_pid || status=$?
  importer_pid=
  [ $status -eq 1 ] || fail "exit code $status after the start-up failure"
  [ -e "$work/app/ConfigImporta.ini" ] || fail "the request was consumed by a start that could not run it"
}
# The answer is there while the box still waits for a click.
expect_answer_before_the_box() {  # TEXT-IN-CODE-PAGE-1252
  [ "$(cat "$work/app/ConfigImporta.ret")" = "$1" ] || fail "result: $(cat "$work/app/ConfigImporta.ret" 2>&1)"
  grep -q "^== Início do importador falhou em " "$work/app/ConfigImporta.log" || fail "no block in the log"
}

echo "== Without a client library: the result file and the log first, then the box; exit code 1, the request kept"
rm "$work/app/gds32.dll"
start_failure_box
shot wine-startup-failure-box
expect_answer_before_the_box \
  "InterBase library gds32.dll not found in the path. Please install InterBase to use this functionality"
close_start_failure_box
echo "   ConfigImporta.ret and ConfigImporta.log written before the box"

echo "== A 32-bit gds32.dll: the result names the build that fits"
# A DLL's headers for a 32-bit machine, as far as the loader reads them.
{ printf 'MZ'; head -c 58 /dev/zero; printf '\x40\x00\x00\x00PE\x00\x00\x4c\x01\x01\x00'; head -c 12 /dev/zero
  printf '\xe0\x00\x02\x21\x0b\x01'; head -c 930 /dev/zero; } > "$work/app/gds32.dll"
start_failure_box
expect_answer_before_the_box "$(printf 'A biblioteca gds32.dll encontrada \xe9 de 32 bits, e este importador \xe9 de 64 bits: use x86\\importador.exe, o importador de 32 bits')"
close_start_failure_box
echo "   the wrong word size named in the result"

echo "== Without a display (Wine's null driver): no box at all, and the process ends"
kill "$xvfb_pid" 2>/dev/null || true
xvfb_pid=
unset DISPLAY
"$here/run.sh" "$prefix" C.UTF-8 reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
cp "$bridge_dir/gds32.dll.so" "$work/app/gds32.dll"
rm -f "$work/app/ConfigImporta.ret" "$work/app/ConfigImporta.ini"
mkdir "$work/app/ConfigImporta.ret"
headless_ends() {  # headless_ends WHAT: the importer ends with 1 long before a box's minute
  status=0
  ( cd "$work/app" && exec timeout 45 "$here/run.sh" "$prefix" C.UTF-8 importador.exe ) 2>"$work/importer.err" || status=$?
  [ $status -eq 1 ] || fail "$1: exit code $status without a display (124: still waiting)"
}
headless_ends "a result that cannot be written"
rmdir "$work/app/ConfigImporta.ret"
rm "$work/app/gds32.dll"
printf '[CONF]\r\ntoken_quintara=%s\r\n' "$token" > "$work/app/ConfigImporta.ini"
headless_ends "a start-up failure"
grep -q "Application Error: InterBase library gds32.dll not found" "$work/importer.err" \
  || fail "the start-up failure is not on standard error"
echo "   both failures ended the process with 1, no box"
echo "PASS"
