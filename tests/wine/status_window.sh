#!/usr/bin/env bash
# status_window.sh LINUX_BUILD WINDOWS_BUILD BRIDGE_DIR PREFIX SCREENSHOT_DIR
#
# What importador.exe shows of a run under Wine, on a private X server, read
# by tray_recorder.exe: a notification area of our own, which Wine's
# Shell_NotifyIconW calls synchronously for every icon message, so that
# each tip and balloon is seen in order, together with what the status
# window's controls hold at that moment. Four runs:
#  - products skipped on several pages, the window open: the progress line
#    advancing under "Status:" and in the tip, the skip list (the last 100,
#    as the log gives them), the window grown around its centre, one warning
#    balloon just before the exit, and a screenshot;
#  - the same, the window hidden, for the time to the exit;
#  - a clean run: the same line, no list, no balloon;
#  - a refused token: one error balloon.
# Each keeps its exit code and result file; the time from the service's
# confirmation (after the last commit) to the exit is printed for the clean
# and the skipping run, and compared loosely.
set -euo pipefail

linux_build=$1 windows_build=$2 bridge_dir=$3 prefix=$4 shots=$5
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
products=300 refused=120 page_size=50 token="status-$RANDOM$RANDOM"
pages=$(((products + page_size - 1) / page_size))

work=$(mktemp -d "${TMPDIR:-/tmp}/importador-status-XXXXXX")
xvfb_pid= recorder_pid= importer_pid= service_pids=
fail() {
  echo "FAIL: $*" >&2
  [ -s "$work/importer.err" ] && sed "s/^/  importer: /" "$work/importer.err" | tail -n 20 >&2
  [ -s "$work/run.record" ] && cut -c1-400 "$work/run.record" | tail -n 12 | sed "s/^/  record: /" >&2
  exit 1
}
cleanup() {
  for pid in $importer_pid $recorder_pid $service_pids $xvfb_pid; do kill "$pid" 2>/dev/null || true; done
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  WINEPREFIX=$prefix WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 || true
  [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
wait_for() {  # wait_for CONDITION-COMMAND... : up to 60 s
  for _ in $(seq 600); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
now_ms() { date +%s%3N; }

# A private X server on a free display; Wine draws on it with its X11 driver.
. "$here/private_display.sh"
start_private_display "$work" "$prefix"
mkdir -p "$shots"

# Two services: one whose catalogue has products the database refuses (a
# unidadeBalanca too long), one without; each records when the
# confirmation came.
start_service() {  # start_service NAME ARGS...
  local name=$1
  shift
  "$linux_build/tools/quintara-service" --products $products --token "$token" --cert-dir "$work/$name-certificate" \
    --record "$work/$name.timings" "$@" >"$work/$name.out" 2>&1 &
  service_pids="$service_pids $!"
  wait_for grep -q '^READY ' "$work/$name.out" || fail "the service did not start: $(cat "$work/$name.out")"
  local url ca
  read -r _ url ca < "$work/$name.out"
  "$here/run.sh" "$prefix" C.UTF-8 "$windows_build/add_root_certificate.exe" "${ca#CA=}"
  url=${url##*:}
  eval "${name}_url=https://localhost:${url%/}/"
}
start_service skipping --bad $refused
start_service clean

mkdir "$work/app"
cp "$windows_build/importador.exe" "$work/app/"
cp "$bridge_dir/gds32.dll.so" "$work/app/gds32.dll"
create_database() {
  rm -f "$work/loja.fdb"
  { echo "create database '$work/loja.fdb' page_size 8192;"; cat "$source_dir/tools/bench/schema.sql"; } \
    | isql-fb -q -user SYSDBA -password plumbdoor -b >/dev/null || fail "could not create the database"
}

# The recorder, started before each run and stopped after it; its record
# holds only that run's messages.
start_recorder() {  # start_recorder RECORDER-OPTIONS...
  rm -f "$work/run.record" "$work/run.record.release"
  "$here/run.sh" "$prefix" C.UTF-8 "$windows_build/tray_recorder.exe" "$(winepath_of "$work/run.record")" "$@" \
    2>"$work/recorder.err" &
  recorder_pid=$!
  wait_for grep -qx 'ready' "$work/run.record" || fail "the recorder did not start: $(cat "$work/recorder.err" "$work/run.record" 2>&1)"
}
stop_recorder() {
  kill "$recorder_pid" 2>/dev/null || true
  wait "$recorder_pid" 2>/dev/null || true
  recorder_pid=
}
winepath_of() { echo "Z:${1//\//\\}"; }

# Starts a run against URL with TOKEN; the caller waits for it with end_run.
start_run() {  # start_run URL TOKEN
  create_database
  rm -f "$work/app/ConfigImporta.ret" "$work/app/ConfigImporta.log"
  printf '[CONF]\r\ntoken_quintara=%s\r\npathBancoDados=%s\r\nReg_por_trafego=%s\r\n' "$2" "$work/loja.fdb" \
    $page_size > "$work/app/ConfigImporta.ini"
  ( cd "$work/app" && QUINTARA_BASE_URL="$1" FIREBIRD_LOCK="$work/firebird-lock" \
      exec "$here/run.sh" "$prefix" C.UTF-8 importador.exe ) 2>"$work/importer.err" &
  importer_pid=$!
}
# Waits for the process; sets exit_status and exit_ms.
end_run() {
  exit_status=0
  wait "$importer_pid" || exit_status=$?
  exit_ms=$(now_ms)
  importer_pid=
}
mkdir "$work/firebird-lock"

# A field of a record line: field LINE NAME
field() { printf '%s\n' "$1" | tr '\t' '\n' | sed -n "s/^$2=//p" | head -1; }
icon_lines() { grep -E $'^[0-9]+\tNIM_' "$work/run.record" || true; }
tip_lines() { icon_lines | grep -E $'\tflags=4\t' || true; }
notice_lines() { icon_lines | grep -E $'\tflags=16\t' || true; }
centre() { local r=(${1//,/ }); echo "$(((r[0] + r[2]) / 2)) $(((r[1] + r[3]) / 2))"; }
same_centre() {  # same_centre RECT RECT: within a pixel, as halves round
  local a b
  read -r -a a <<< "$(centre "$1")"
  read -r -a b <<< "$(centre "$2")"
  [ $((a[0] - b[0])) -ge -1 ] && [ $((a[0] - b[0])) -le 1 ] && [ $((a[1] - b[1])) -ge -1 ] && [ $((a[1] - b[1])) -le 1 ]
}
inside() {  # inside RECT CLIENT: the control shows whole
  local r=(${1//,/ }) c=(${2//,/ })
  [ "${r[0]}" -ge 0 ] && [ "${r[1]}" -ge 0 ] && [ "${r[2]}" -le "${c[2]}" ] && [ "${r[3]}" -le "${c[3]}" ]
}
committed_text() {  # committed_text PAGE WRITTEN SKIPPED
  local written="$2 produtos gravados" skipped="$3 ignorados"
  [ "$2" = 1 ] && written="1 produto gravado"
  [ "$3" = 1 ] && skipped="1 ignorado"
  echo "Página $1 · $written · $skipped"
}

# The progress under "Status:" and in the tip, message by message: each
# page asked for, written and committed, in order; the tip is the title and
# the same line. Every page holds $page_size products, written or skipped.
# Sets committed_ms (the last page's commit), final_written, final_skipped.
check_progress() {
  local expected=() page committed="" written skipped listed line
  for ((page = 1; page <= pages; page++)); do
    expected+=("${committed:+$committed\\n}Consultando o serviço…" "${committed:+$committed\\n}Gravando página $page…" "")
    committed=next
  done
  local i=0
  while IFS= read -r line; do
    local progress tip
    progress=$(field "$line" progress) tip=$(field "$line" tip)
    [ "$tip" = "importador\\n$progress" ] || fail "the tip is not the title and the progress: '$tip' / '$progress'"
    [ "$(field "$line" visible)" = "${window_shown:-0}" ] || fail "the window's visibility changed: $line"
    if ((i % 3 == 2)); then
      page=$((i / 3 + 1))
      [[ $progress =~ ^Página\ $page\ ·\ ([0-9]+)\ produtos?\ gravados?\ ·\ ([0-9]+)\ ignorados?$ ]] \
        || fail "page $page committed shows '$progress'"
      written=${BASH_REMATCH[1]} skipped=${BASH_REMATCH[2]}
      [ $((written + skipped)) -eq $((page * page_size)) ] || fail "page $page: $written written and $skipped skipped"
      listed=$(field "$line" listed)
      [ "$listed" -eq $((skipped < 100 ? skipped : 100)) ] || fail "page $page: $skipped skipped, $listed listed"
      committed=$progress committed_ms=${line%%$'\t'*}
      if ((page < pages)); then
        expected[i + 1]=${expected[i + 1]/next/$committed} expected[i + 2]=${expected[i + 2]/next/$committed}
      fi
    else
      [ "$progress" = "${expected[i]}" ] || fail "step $i shows '$progress', not '${expected[i]}'"
    fi
    i=$((i + 1))
  done < <(tip_lines)
  [ $i -eq $((3 * pages)) ] || fail "$i progress messages for $pages pages"
  final_written=$written final_skipped=$skipped
}

check_result() {  # check_result EXPECTED-RESULT
  [ "$exit_status" -eq 0 ] || fail "exit code $exit_status"
  [ ! -e "$work/app/ConfigImporta.ini" ] || fail "the request file was not consumed"
  [ "$(cat "$work/app/ConfigImporta.ret")" = "$1" ] || fail "result: $(cat "$work/app/ConfigImporta.ret")"
}
rows() {
  isql-fb -q -user SYSDBA -password plumbdoor "$work/loja.fdb" <<< "set list on; select count(*) n from Mercadorias;" \
    | awk '/^N /{print $2}'
}

# The time from the service's confirmation (which follows the last commit)
# to the process's end; prints it and sets interval_ms.
report_exit_time() {  # report_exit_time SERVICE-NAME
  local confirmation
  confirmation=$(sed -n 's/^confirmation_ms //p' "$work/$1.timings")
  [ -n "$confirmation" ] || fail "the service recorded no confirmation"
  interval_ms=$((exit_ms - confirmation))
  echo "   last commit to exit $((exit_ms - committed_ms)) ms, confirmation to exit $interval_ms ms"
}

# The skipping run's last page and balloon: a warning with the outcome and
# the count, the last message; the list held the last 100 skips as the log
# gives them, each on one line (a line break inside a reason, CRLF in the
# log, shown as "; "). Sets notice_ms.
check_skipping_run() {
  check_result "Importacao de dados Ok"
  [ "$(rows)" -eq $((products - refused)) ] || fail "$(rows) products imported, not $((products - refused))"
  local first notice
  first=$(icon_lines | head -1)
  [ "$(printf '%s' "$first" | cut -f2)" = NIM_ADD ] || fail "no icon was added to the recorder: $first"
  check_progress
  [ "$final_written $final_skipped" = "$((products - refused)) $refused" ] \
    || fail "the last page shows $final_written written and $final_skipped skipped"
  echo "   $((3 * pages)) steps, window and tip alike, up to '$(committed_text $pages $final_written $final_skipped)'"

  [ "$(notice_lines | wc -l)" -eq 1 ] || fail "$(notice_lines | wc -l) balloons"
  notice=$(notice_lines)
  [ "$(icon_lines | tail -1)" = "$notice" ] || fail "a message came after the balloon"
  [ "$(field "$notice" info_flags)" = 2 ] || fail "the balloon is no warning: info_flags $(field "$notice" info_flags)"
  [ "$(field "$notice" info_title)" = "Importação concluída com produtos ignorados" ] \
    || fail "balloon title: $(field "$notice" info_title)"
  [ "$(field "$notice" info)" = "Importacao de dados Ok\\n$refused produtos ignorados. Detalhes em ConfigImporta.log" ] \
    || fail "balloon text: $(field "$notice" info)"
  [ "$(field "$notice" progress)" = "Importacao de dados Ok" ] || fail "the window's last line: $(field "$notice" progress)"
  echo "   balloon (NIIF_WARNING): $(field "$notice" info_title) / $(field "$notice" info)"
  notice_ms=${notice%%$'\t'*}

  LC_ALL=C awk '
    function flush() { if (entry != "") print entry; entry = "" }
    continued { entry = entry "; " $0; continued = sub(/\r$/, "", entry); next }
    /^Produto [^ ]+ ignorado: / { flush(); codigo = $2; sub(/^Produto [^ ]+ ignorado: /, "");
                                  entry = codigo ": " $0; continued = sub(/\r$/, "", entry); next }
    { flush() }
    END { flush() }' "$work/app/ConfigImporta.log" | tail -n 100 > "$work/expected.items"
  # The list as last read, unchanged since, as the balloon's line tells.
  awk '/^list\t/ { n = 0; next } /^item\t/ { items[++n] = substr($0, 6) }
       END { for (i = 1; i <= n; i++) print items[i] }' "$work/run.record" > "$work/listed.items"
  [ "$(wc -l < "$work/expected.items")" -eq 100 ] || fail "the log holds $(wc -l < "$work/expected.items") skips"
  [ "$(field "$notice" listed)" = 100 ] && [ "$(field "$notice" last)" = "$(tail -1 "$work/listed.items")" ] \
    || fail "the list changed after it was last read: $(field "$notice" listed) lines, the last '$(field "$notice" last)'"
  cmp -s "$work/expected.items" "$work/listed.items" \
    || fail "the list differs from the log's last 100 skips: $(diff "$work/expected.items" "$work/listed.items" | head -5)"
  echo "   listed: the last 100 of $refused skips, from '$(head -1 "$work/listed.items" | cut -c1-60)…'"
}

echo "== Products skipped on several pages, the window open: what it shows, grown around its centre"
window_shown=1
start_recorder --open-window --menu-when-listed 30
start_run "$skipping_url" "$token"
# The menu holds the run between two pages, its window painted.
wait_for grep -qx 'menu open' "$work/run.record" || fail "the tray menu did not open"
import -window root "$shots/win32_status_window_skips.png"
echo "   screenshot $shots/win32_status_window_skips.png"
touch "$work/run.record.release"
end_run
stop_recorder
check_skipping_run
small=$(tip_lines | head -1) grown=$(tip_lines | grep -m1 $'\tlist_shown=1\t')
[ "$(field "$small" list_shown)" = 0 ] || fail "the skip list was shown before any skip"
same_centre "$(field "$small" frame)" "$(field "$small" work)" \
  || fail "the window is not centred: $(field "$small" frame) in $(field "$small" work)"
[ "$(field "$small" client)" = 0,0,300,100 ] || fail "the small window's client area is $(field "$small" client)"
[ "$(field "$grown" client)" = 0,0,513,270 ] || fail "the grown window's client area is $(field "$grown" client)"
same_centre "$(field "$small" frame)" "$(field "$grown" frame)" \
  || fail "the window moved its centre: $(field "$small" frame) to $(field "$grown" frame)"
inside "$(field "$small" progress_rect)" "$(field "$small" client)" || fail "the progress line is cut in the small window"
inside "$(field "$grown" progress_rect)" "$(field "$grown" client)" || fail "the progress line is cut in the grown window"
inside "$(field "$grown" list_rect)" "$(field "$grown" client)" || fail "the skip list is cut: $(field "$grown" list_rect)"
[ "$(field "$grown" list_label)" = "Produtos ignorados (detalhes em ConfigImporta.log):" ] \
  || fail "the list's label: $(field "$grown" list_label)"
echo "   centred at $(centre "$(field "$small" frame)" | tr ' ' ,); grown from $(field "$small" frame) to $(field "$grown" frame)"

# The exit times are measured with the window hidden, as the back office
# starts it: without a window manager, Wine waits 2 s for one to withdraw a
# visible window at the exit.
echo "== The same run, hidden: the balloon just before the exit"
window_shown=0
start_recorder
start_run "$skipping_url" "$token"
end_run
stop_recorder
check_skipping_run
report_exit_time skipping
skipping_interval_ms=$interval_ms
echo "   balloon to exit $((exit_ms - notice_ms)) ms"

echo "== A clean run: the same line, no list, no balloon"
start_recorder
start_run "$clean_url" "$token"
end_run
stop_recorder
check_result "Importacao de dados Ok"
check_progress
[ "$final_written $final_skipped" = "$products 0" ] || fail "the last page shows $final_written and $final_skipped"
[ -z "$(notice_lines)" ] || fail "a clean run raised a balloon: $(notice_lines)"
! icon_lines | grep -q $'\tlist_shown=1\t' || fail "a clean run showed the skip list"
echo "   $((3 * pages)) steps up to '$(committed_text $pages $products 0)'; no balloon"
report_exit_time clean
clean_interval_ms=$interval_ms

echo "== A refused token: an error balloon with the outcome"
start_recorder
start_run "$clean_url" "not-$token"
end_run
stop_recorder
outcome=$(iconv -f WINDOWS-1252 -t UTF-8 "$work/app/ConfigImporta.ret")
check_result "$(cat "$work/app/ConfigImporta.ret")"
[ "${outcome:0:4}" = ERRO ] || fail "a refused token gave: $outcome"
[ "$(notice_lines | wc -l)" -eq 1 ] || fail "$(notice_lines | wc -l) balloons after a failure"
notice=$(notice_lines)
info=$(field "$notice" info)
tail_text="\\n0 produtos ignorados. Detalhes em ConfigImporta.log"
[ "$(field "$notice" info_flags)" = 3 ] || fail "the balloon is no error: info_flags $(field "$notice" info_flags)"
[ "$(field "$notice" info_title)" = "A importação não foi concluída" ] || fail "balloon title: $(field "$notice" info_title)"
[ "${info%"$tail_text"}" != "$info" ] || fail "balloon text: $info"
escaped_outcome=$(printf '%s' "$outcome" | sed -z 's/\\/\\\\/g; s/\r/\\r/g; s/\n/\\n/g')
[ "${info%"$tail_text"}" = "${escaped_outcome:0:${#info}-${#tail_text}}" ] \
  || fail "the balloon does not begin with the outcome: '$info' / '$escaped_outcome'"
echo "   balloon (NIIF_ERROR): $(field "$notice" info_title) / ${info:0:70}…"

echo "== Exit times: the balloon does not hold the process"
echo "   confirmation to exit: clean run $clean_interval_ms ms, run with a balloon $skipping_interval_ms ms"
# Loose: a process that waited for its balloon (seconds on any desktop)
# would take far longer; scheduling noise on a busy machine would not.
[ $skipping_interval_ms -le $((clean_interval_ms + 5000)) ] || fail "the run with a balloon took $skipping_interval_ms ms to end"
echo "PASS"
