#!/usr/bin/env bash
# One real import, as the back-office application starts it: a fresh embedded
# database, the substitute web service with a generated catalogue, a request
# file beside a copy of the importer, then what the run left behind. All of
# it stays in <build-dir>/demo/ until the next demo.
#
#   tools/demo.sh [build-dir]      (make demo runs it with "build")
set -euo pipefail

build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
products=${DEMO_PRODUCTS:-3000}
departments=${DEMO_DEPARTMENTS:-12}
refused=${DEMO_REFUSED:-3}
page_size=${DEMO_PAGE_SIZE:-500}
token="demo-$RANDOM$RANDOM"

fail() { echo "demo: $*" >&2; exit 1; }

service_program="$build/tools/quintara-service"
[ -x "$service_program" ] || service_program="$build/quintara-service"
for program in "$build/importador" "$service_program"; do
  [ -x "$program" ] || fail "$program is missing; build first (make)"
done
command -v isql-fb >/dev/null || fail "isql-fb is missing (Debian package firebird3.0-utils)"

work=$(cd "$build" && pwd)/demo
rm -rf "$work"
mkdir -p "$work/service"
service_pid=
stop_service() {
  if [ -n "$service_pid" ] && kill -0 "$service_pid" 2>/dev/null; then
    kill "$service_pid" 2>/dev/null || true
    wait "$service_pid" 2>/dev/null || true
  fi
}
trap stop_service EXIT
trap 'exit 130' INT TERM

database="$work/loja.fdb"
# The importer's own login; the embedded engine checks no password.
isql() { isql-fb -q -user SYSDBA -password plumbdoor "$@"; }

# With a desktop the run shows its tray icon (double-click it for the status
# window), and the service answers each page a little late so that there is
# time to look.
if [ -n "${DISPLAY:-}" ]; then
  page_delay_ms=${DEMO_PAGE_DELAY_MS:-1500}
else
  page_delay_ms=${DEMO_PAGE_DELAY_MS:-0}
fi

# The importer and isql-fb both pass the locale's bytes through to the
# database; under UTF-8 the report below reads as it was sent.
export LANG=${DEMO_LANG:-C.UTF-8}
unset LC_ALL LC_CTYPE

echo "== Creating the demo database $database"
{ echo "create database '$database' page_size 8192;"; cat "$here/bench/schema.sql"; } | isql -b >/dev/null \
  || fail "could not create the demo database"

echo "== Starting the substitute web service ($products products, $departments departments, $refused the database refuses)"
"$service_program" --products "$products" --departments "$departments" --bad "$refused" \
  --token "$token" --cert-dir "$work/service" --delay-path api/operacoes-frente/getPessoasProdutos/ --delay-ms "$page_delay_ms" \
  >"$work/service/service.out" 2>"$work/service/service.err" &
service_pid=$!
for _ in $(seq 100); do
  grep -q '^READY ' "$work/service/service.out" 2>/dev/null && break
  kill -0 "$service_pid" 2>/dev/null || fail "the service did not start: $(cat "$work/service/service.err")"
  sleep 0.1
done
read -r _ base_url ca < "$work/service/service.out" || fail "the service did not say where it listens"
ca=${ca#CA=}
[ -n "$base_url" ] && [ -f "$ca" ] || fail "the service did not start: $(cat "$work/service/service.err")"
echo "   listening at $base_url"

echo "== Placing a copy of the importer and its request file in $work"
cp "$build/importador" "$work/"
printf '[CONF]\r\ntoken_quintara=%s\r\npathBancoDados=%s\r\nReg_por_trafego=%s\r\n' \
  "$token" "$database" "$page_size" > "$work/ConfigImporta.ini"

if [ -n "${DISPLAY:-}" ]; then
  echo "== Running the importer on the desktop: its tray icon shows while it runs (double-click it for the status window)"
  echo "   A failure stays in the tray until you choose \"Sair do sistema\" from the icon's menu."
else
  echo "== Running the importer (headless: no DISPLAY)"
fi
status=0
env -u https_proxy -u HTTPS_PROXY -u all_proxy -u ALL_PROXY \
  QUINTARA_BASE_URL="$base_url" CURL_CA_BUNDLE="$ca" \
  "$work/importador" 2>"$work/importer.err" || status=$?
echo "   exit code $status"
[ -f "$work/ConfigImporta.ini" ] && echo "   (the request file is still there)" || echo "   request file consumed"
[ -f "$work/ConfigImporta.ret" ] || fail "no result file; the importer said: $(cat "$work/importer.err")"

echo
echo "== ConfigImporta.ret ($(stat -c %s "$work/ConfigImporta.ret") bytes, UTF-8 with byte-order mark under this locale)"
sed '1s/^\xEF\xBB\xBF//' "$work/ConfigImporta.ret"
echo
echo
echo "== ConfigImporta.log"
tr -d '\r' < "$work/ConfigImporta.log"
echo
echo "== The database afterwards"
isql "$database" <<'SQL'
set heading on;
select d.cod_dep, cast(d.nom_dep as varchar(24)) departamento, count(m.cod_red) produtos
  from Departamentos d left join Mercadorias m on m.dep_mer = d.cod_dep
  group by d.cod_dep, d.nom_dep order by d.cod_dep;
select first 5 m.cod_red, cast(m.nom_mer as varchar(30)) nome, m.uni_mer, m.pro_balanca, m.QTD_EST, m.vlr_ven,
  m.pro_ativo
  from Mercadorias m order by m.cod_red;
select count(*) mercadorias, sum(case when pro_balanca = 'T' then 1 else 0 end) por_peso,
  sum(case when pro_ativo = 'T' then 1 else 0 end) ativas
  from Mercadorias;
SQL

echo "== Stopping the service"
stop_service
service_pid=

echo
echo "== Kept in $work: ConfigImporta.ret, ConfigImporta.log, the database loja.fdb,"
echo "   the importer's copy and its standard error (importer.err), the service's certificate"
echo "   The imported rows, with the importer's own login (SYSDBA) on the embedded engine:"
echo "   echo 'select first 5 cod_red, nom_mer, vlr_ven from Mercadorias;' | isql-fb -user SYSDBA -password plumbdoor $database"
