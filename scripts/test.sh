#!/usr/bin/env bash
# Installs what is missing, builds both builds and runs every test in both.
# Exits non-zero when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh

if [ -x scripts/mariadb.sh ]; then
    scripts/mariadb.sh start
    trap 'scripts/mariadb.sh stop' EXIT
fi

status=0
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# One test at a time: the scanner pauses its work while the processor is above 95% busy.
(cd build && ctest --output-on-failure -LE manual) || status=1
(cd build-asan && ctest --output-on-failure -LE 'slow|manual') || status=1
exit $status
