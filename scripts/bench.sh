#!/usr/bin/env bash
# Runs every benchmark, each printing its figures beside its floor or baseline. Only the
# benchmark targets are built (-j1 unless CLIPWATCH_BENCH_JOBS says otherwise). Everything runs
# in its own network namespace (loopback only), where the private MariaDB server is started for
# the benchmarks that use it; its data folder is on /dev/shm, as the benchmarks' SQLite files
# are, so that neither kind pays for a disk.
#   scripts/bench.sh          the full run: scans of 100k and 1M clips, operations at 1M
#   scripts/bench.sh --quick  small sizes only
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--inside" ]; then
    quick=${2:-}
    ip link set lo up
    export CLIPWATCH_MARIADB_DIR=/dev/shm/clipwatch-bench-mariadb-$$
    scripts/mariadb.sh start
    trap 'scripts/mariadb.sh stop; rm -rf "$CLIPWATCH_MARIADB_DIR"' EXIT
    run() {
        echo "== $*"
        "build/$@" || echo "== $1 failed ($?)"
    }
    if [ "$quick" = --quick ]; then
        run bench_scanner --small --mysql
        run bench_db_ops --small
        run bench_monitor 500 8000
    else
        run bench_scanner --large --mysql-large --mysql-budget 300
        run bench_scanner --small --mysql
        run bench_db_ops
        run bench_monitor 500 8000
        run bench_monitor 10000 30000
    fi
    run bench_db_status
    run bench_db_record
    run bench_dashboard
    echo "== farm scaling"
    bench/farm/scaling.sh $quick || echo "== farm scaling failed ($?)"
    exit 0
fi

scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "${CLIPWATCH_BENCH_JOBS:-1}" --target clipwatch vexobase \
    $(cmake --build build --target help | sed -n "s/^\.\.\. \(bench_[a-z_]*\)$/\1/p" | grep -v _autogen)
exec unshare -n "$0" --inside "${1:-}"
