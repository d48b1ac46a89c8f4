#!/usr/bin/env bash
# Runs every benchmark (build/bench_*) in one go; each prints its figures beside its baseline.
# Benchmarks that need the MariaDB test server get it started here.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh release

if [ -x scripts/mariadb.sh ]; then
    scripts/mariadb.sh start
    trap 'scripts/mariadb.sh stop' EXIT
fi

found=0
for bench in build/bench_*; do
    [ -x "$bench" ] || continue
    found=1
    echo "== $(basename "$bench")"
    "$bench"
done
[ "$found" = 1 ] || echo "bench: no benchmark built"
