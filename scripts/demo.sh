#!/usr/bin/env bash
# The main job on a local demo: installs what is missing, builds, generates a media library,
# starts the reference service and the controller on 127.0.0.1, has Clipwatch make picons, XMP
# sidecars, proxies, indexes and MD5s of every clip, shows the progress until every clip is
# complete, lists the derived files and shuts everything down. Everything it writes stays in
# demo/ (settings, database, log, outputs); a second run starts from a fresh database.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh release

demo=$PWD/demo
library=$demo/library
output=$demo/output
scripts/demo-library.sh "$library"

for port in 1080 6216; do
    if ss -Hltn "sport = :$port" | grep -q .; then
        echo "demo: port $port on this machine is in use; stop what listens there first" >&2
        exit 1
    fi
done

rm -rf "$output" "$demo/config" "$demo/state" "$demo/log" "$demo/clipwatch.db"*
mkdir -p "$output"/{picons,xmp,proxies,index} "$demo/config/Velmora" "$demo/state" "$demo/log"
export XDG_CONFIG_HOME=$demo/config XDG_STATE_HOME=$demo/state CLIPWATCH_LOG_DIR=$demo/log
printf '[General]\ncommandip=127.0.0.1\n' >"$demo/config/Velmora/VexoCmd.conf"

pids=()
stop_all() {
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
}
trap stop_all EXIT

build/vexobase --bind 127.0.0.1 --port 1080 >"$demo/log/vexobase.txt" 2>&1 &
pids+=($!)

window=()
if [ -z "${DISPLAY:-}" ]; then
    window=(--no-window)
    echo "demo: no display, so Clipwatch runs without a window (its log: $demo/log/Clipwatch.log)"
fi
build/clipwatch "${window[@]}" >"$demo/log/clipwatch.txt" 2>&1 &
pids+=($!)

echo "demo: scanning $library"
build/clipwatchctl --timeout 60 --watch 0 \
    "newscandir=$library&setdatabase=$demo/clipwatch.db&setdatabasemanagement=1" \
    "scandir=0&setpicondirectory=$output/picons&setxmpdirectory=$output/xmp&setproxydirectory=$output/proxies&setindexdirectory=$output/index" \
    "scandir=0&setmakepicon=true&setmakexmp=true&setmakeproxy=true&setmakeindex=true&setmakemd5=true" \
    "scandir=0&start" 2>"$demo/log/clipwatchctl.txt" ||
    { echo "demo: the controller gave up; see $demo/log" >&2; exit 1; }

echo "demo: every clip is complete. Derived files:"
(cd "$output" && find . -type f | sort | sed 's|^\./|  |')
echo "demo: MD5 checksums and states are in $demo/clipwatch.db (sqlite3 $demo/clipwatch.db 'SELECT AnchorPath, MD5 FROM Clips;')"
