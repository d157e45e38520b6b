#!/usr/bin/env bash
# The page benchmark (one large products page from body to table), then the
# import benchmark: the importer against the substitute service and against
# the engine writing the same rows alone, on a file and over TCP to a
# private server.
#
#   tools/bench.sh [build-dir] [import-bench options]   (make bench runs it with "build")
set -euo pipefail

build=${1:-build}
shift || true
here=$(cd "$(dirname "$0")" && pwd)

fail() { echo "bench: $*" >&2; exit 1; }
[ -x "$build/importador" ] || fail "$build/importador is missing; build first (make)"
[ -x "$build/tools/import-bench" ] || fail "$build/tools/import-bench is missing; build first (make)"
[ -x "$build/tools/page-bench" ] || fail "$build/tools/page-bench is missing; build first (make)"
command -v isql-fb >/dev/null || fail "isql-fb is missing (Debian package firebird3.0-utils)"
[ -x /usr/sbin/firebird ] || fail "/usr/sbin/firebird is missing (Debian package firebird3.0-server)"

"$build/tools/page-bench"
exec "$build/tools/import-bench" --importer "$build/importador" --schema "$here/bench/schema.sql" "$@"
