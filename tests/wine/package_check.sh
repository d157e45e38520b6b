#!/usr/bin/env bash
# package_check.sh SOURCE_DIR X64_BUILD X86_BUILD OUT_DIR
#
# Packs both builds as `make windows` does and checks what the shop unpacks:
# the README and one exe for each architecture, each stripped, its debug
# information kept beside the build and found through the debug link.
set -euo pipefail
source_dir=$1 x64_build=$2 x86_build=$3 out=$4
objdump=x86_64-w64-mingw32-objdump  # reads both PE formats

fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$out" && mkdir -p "$out"
cmake -DX64="$x64_build/importador.exe" -DX86="$x86_build/importador.exe" \
  -DREADME="$source_dir/app/win32/LEIA-ME.txt" -DOUTPUT="$out/importador-windows.zip" -P "$source_dir/app/win32/pack.cmake"
entries=$(cd "$out" && cmake -E tar tf importador-windows.zip | sort | tr '\n' ' ')
[ "$entries" = "LEIA-ME.txt x64/importador.exe x86/importador.exe " ] || fail "the zip holds: $entries"
(cd "$out" && cmake -E tar xf importador-windows.zip)

for arch in x64:pei-x86-64:$x64_build x86:pei-i386:$x86_build; do
  IFS=: read -r dir format build <<<"$arch"
  exe=$out/$dir/importador.exe
  headers=$($objdump -h "$exe")
  grep -q "file format $format" <<<"$headers" || fail "$dir/importador.exe is not $format: $($objdump -f "$exe")"
  ! grep -q ' \.debug_' <<<"$headers" || fail "$dir/importador.exe keeps debug sections"
  symbols=$($objdump -t "$exe" | grep -c '^\[' || true)
  [ "$symbols" -eq 0 ] || fail "$dir/importador.exe keeps $symbols symbols"
  link=$($objdump -s -j .gnu_debuglink "$exe" | grep -o 'importador\.exe\.d' || true)
  [ -n "$link" ] || fail "$dir/importador.exe has no debug link"
  $objdump -h "$build/importador.exe.debug" | grep -q ' \.debug_info' \
    || fail "$build/importador.exe.debug holds no debug information"
  echo "   $dir/importador.exe: $format, $(stat -c %s "$exe") bytes;" \
       "importador.exe.debug: $(stat -c %s "$build/importador.exe.debug") bytes"
done
echo PASS
