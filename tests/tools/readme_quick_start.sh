#!/usr/bin/env bash
# readme_quick_start.sh SOURCE_DIR BUILD_DIR
#
# Runs the README's quick start as written, from a copy of the project's root
# whose build/ is this build tree, and checks that each of its steps got as
# far as the reader is told it will: the outcome, the log and the rows.
set -euo pipefail
source_dir=$1 build_dir=$2

fail() { echo "FAIL: $*" >&2; exit 1; }

root=$(mktemp -d)
block=
cleanup() {
  # The block's own processes (the service, should a step fail before the
  # block stops it) are in the process group it was started in.
  [ -n "$block" ] && kill -- "-$block" 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT

for entry in "$source_dir"/*; do
  [ "$(basename "$entry")" = build ] || ln -s "$entry" "$root/"
done
ln -s "$build_dir" "$root/build"
mkdir "$root/tmp"

sed -n '/^<!-- quick start/,/^<!-- end of quick start -->/p' "$source_dir/README.md" \
  | sed '/^```/d; /^<!--/d' > "$root/quick_start.sh"
grep -q importador "$root/quick_start.sh" || fail "README.md holds no quick start block"

status=0
(cd "$root" && TMPDIR="$root/tmp" exec setsid bash -euo pipefail quick_start.sh) >"$root/output" 2>&1 &
block=$!
wait "$block" || status=$?
cat "$root/output"
[ "$status" -eq 0 ] || fail "the quick start stopped with status $status"

grep -q '^.*Importacao de dados Ok$' "$root/output" || fail "no outcome Importacao de dados Ok"
grep -q '^Resumo: 3 p.*ginas, 1200 produtos inseridos' "$root/output" || fail "no log of the run"
grep -q '^ *1 ' "$root/output" || fail "no imported row shown"
echo PASS
