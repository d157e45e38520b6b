#!/usr/bin/env bash
# import_e2e.sh LINUX_BUILD WINDOWS_BUILD BRIDGE_DIR PREFIX
#
# importador.exe under Wine imports a catalogue from the substitute service
# over HTTPS (its test CA trusted in the prefix's Root store) into a real
# Firebird database, through the bridge gds32.dll; the Linux build imports the
# same catalogue into a second database; both databases must hold the same
# bytes. Both runs use code page 1252: LC_ALL=C for the Linux build,
# C.UTF-8 (ANSI code page 1252) for Wine. Around it: the certificate refused
# before its CA is trusted, the fallback fbclient.dll with an error text in
# code page 1252, and a status probe cut off by its 3 s timeout.
set -euo pipefail

linux_build=$1 windows_build=$2 bridge_dir=$3 prefix=$4
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
products=1200 departments=9 refused=2 page_size=250 token="wine-$RANDOM$RANDOM"

fail() { echo "FAIL: $*" >&2; exit 1; }
# The Windows side's engine keeps its lock files apart from the Linux
# side's: the lock table's layout differs between i386 and 64-bit engines.
wine_run() { FIREBIRD_LOCK="$work/firebird-lock" "$here/run.sh" "$prefix" C.UTF-8 "$@"; }

work=$(mktemp -d "${TMPDIR:-/tmp}/importador-wine-XXXXXX")
service_pid= slow_pid=
cleanup() {
  for pid in $service_pid $slow_pid; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/firebird-lock"

isql() { isql-fb -q -user SYSDBA -password plumbdoor "$@"; }
create_database() {
  { echo "create database '$1' page_size 8192;"; cat "$source_dir/tools/bench/schema.sql"; } | isql -b >/dev/null \
    || fail "could not create $1"
}
# Every column of both tables, in key order, as isql prints the bytes.
dump_database() {
  isql "$1" <<'SQL'
set list on;
select * from Departamentos order by cod_dep;
select * from Mercadorias order by cod_red;
SQL
}
request_file() {  # request_file DIR DATABASE
  printf '[CONF]\r\ntoken_quintara=%s\r\npathBancoDados=%s\r\nReg_por_trafego=%s\r\n' \
    "$token" "$2" "$page_size" > "$1/ConfigImporta.ini"
}

create_database "$work/linux.fdb"
create_database "$work/windows.fdb"

"$linux_build/tools/quintara-service" --products $products --departments $departments --bad $refused \
  --token "$token" --cert-dir "$work/certificate" >"$work/service.out" 2>"$work/service.err" &
service_pid=$!
for _ in $(seq 100); do grep -q '^READY ' "$work/service.out" 2>/dev/null && break; sleep 0.1; done
read -r _ base_url ca < "$work/service.out" || fail "the service did not start: $(cat "$work/service.err")"
ca=${ca#CA=}
port=${base_url##*:}; port=${port%/}
# WinHTTP matches the certificate by host name.
windows_url="https://localhost:$port/"

echo "== The Linux build imports into linux.fdb"
mkdir "$work/linux"
cp "$linux_build/importador" "$work/linux/"
request_file "$work/linux" "$work/linux.fdb"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM LC_ALL=C QUINTARA_BASE_URL="$base_url" CURL_CA_BUNDLE="$ca" \
  "$work/linux/importador" 2>"$work/linux.err" || fail "the Linux build failed: $(cat "$work/linux.err")"
[ "$(cat "$work/linux/ConfigImporta.ret")" = "Importacao de dados Ok" ] \
  || fail "Linux result: $(cat "$work/linux/ConfigImporta.ret")"

echo "== Before its CA is trusted, the service's certificate is refused"
mkdir "$work/untrusted"
cp "$windows_build/importador.exe" "$work/untrusted/"
cp "$bridge_dir/gds32.dll.so" "$work/untrusted/gds32.dll"
request_file "$work/untrusted" "Z:${work//\//\\}\\windows.fdb"
QUINTARA_BASE_URL="$windows_url" wine_run "$work/untrusted/importador.exe" 2>"$work/untrusted.err" \
  || fail "importador.exe failed: $(cat "$work/untrusted.err")"
result=$(LC_ALL=C sed 's/\xE3/a/' "$work/untrusted/ConfigImporta.ret")
case $result in
  *"REST request failed: The server's certificate or TLS session was refused (WinHTTP error 121"*) ;;
  *) fail "an untrusted certificate gave: $result" ;;
esac
echo "   $result"

echo "== The service's test CA goes into the prefix's Root store"
wine_run "$windows_build/add_root_certificate.exe" "$ca"

echo "== importador.exe imports into windows.fdb through the bridge gds32.dll"
mkdir "$work/windows"
cp "$windows_build/importador.exe" "$work/windows/"
cp "$bridge_dir/gds32.dll.so" "$work/windows/gds32.dll"
# A drive path, as the back office writes it; the bridge maps it for Linux.
request_file "$work/windows" "Z:${work//\//\\}\\windows.fdb"
status=0
QUINTARA_BASE_URL="$windows_url" wine_run "$work/windows/importador.exe" 2>"$work/windows.err" || status=$?
[ $status -eq 0 ] || fail "importador.exe ended with $status: $(cat "$work/windows.err")"
[ ! -e "$work/windows/ConfigImporta.ini" ] || fail "the request file was not consumed"
result=$(cat "$work/windows/ConfigImporta.ret")
[ "$result" = "Importacao de dados Ok" ] || fail "Windows result: $result"
echo "   ConfigImporta.ret: $result"

echo "== The rows of both databases"
dump_database "$work/linux.fdb" > "$work/linux.rows"
dump_database "$work/windows.fdb" > "$work/windows.rows"
rows=$(grep -c '^COD_RED' "$work/windows.rows" || true)
[ "$rows" -eq $((products - refused)) ] || fail "windows.fdb holds $rows products, not $((products - refused))"
cmp "$work/linux.rows" "$work/windows.rows" || fail "the databases differ: $(diff "$work/linux.rows" "$work/windows.rows" | head -20)"
# Only ASCII letters are folded: the i-acute stays a single byte ED.
LC_ALL=C grep -q $'FRIOS E LATIC\xEDNIOS' "$work/windows.rows" || fail "no department name in Windows-1252 bytes"
echo "   $rows products and $(grep -c '^COD_DEP' "$work/windows.rows") departments, byte-identical" \
     "($(stat -c %s "$work/windows.rows") bytes as isql prints them; 'FRIOS E LATIC<ED>NIOS' in code page 1252)"

echo "== The fallback fbclient.dll, and an error text in code page 1252"
mkdir "$work/fallback"
cp "$work/windows/importador.exe" "$work/fallback/"
cp "$bridge_dir/fbclient.dll.so" "$work/fallback/fbclient.dll"
request_file "$work/fallback" "Z:${work//\//\\}\\windows.fdb"
QUINTARA_BASE_URL="https://localhost:1/" wine_run "$work/fallback/importador.exe" 2>"$work/fallback.err" \
  || fail "importador.exe with fbclient.dll failed: $(cat "$work/fallback.err")"
expected=$'ERRO-Status: Servidor-API n\xE3o responde (https://localhost:1/api/getStatus) REST request failed: '
head -c ${#expected} "$work/fallback/ConfigImporta.ret" > "$work/fallback.head" 2>/dev/null
LC_ALL=C cmp -s <(printf '%s' "$expected") "$work/fallback.head" \
  || fail "unexpected result bytes: $(od -c "$work/fallback/ConfigImporta.ret" | head -5)"
echo "   $(LC_ALL=C sed 's/\xE3/<E3>/' "$work/fallback/ConfigImporta.ret")"
echo "== A status probe that gets no answer within 3 s is a transport failure"
"$linux_build/tools/quintara-service" --token "$token" --cert-dir "$work/certificate-slow" \
  --delay-path api/getStatus --delay-ms 6000 >"$work/slow.out" 2>&1 &
slow_pid=$!
for _ in $(seq 100); do grep -q '^READY ' "$work/slow.out" 2>/dev/null && break; sleep 0.1; done
read -r _ slow_url slow_ca < "$work/slow.out" || fail "the slow service did not start"
wine_run "$windows_build/add_root_certificate.exe" "${slow_ca#CA=}"
slow_port=${slow_url##*:}; slow_port=${slow_port%/}
request_file "$work/fallback" "Z:${work//\//\\}\\windows.fdb"
started=$(date +%s%N)
QUINTARA_BASE_URL="https://localhost:$slow_port/" wine_run "$work/fallback/importador.exe" 2>"$work/slow.err" \
  || fail "importador.exe failed: $(cat "$work/slow.err")"
elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))
kill $slow_pid 2>/dev/null || true
result=$(LC_ALL=C sed 's/\xE3/a/' "$work/fallback/ConfigImporta.ret")
case $result in
  *"REST request failed: Timeout was reached (WinHTTP error "*) ;;
  *) fail "a silent service gave: $result" ;;
esac
echo "   $result (the whole run took $elapsed_ms ms)"
echo "PASS"
