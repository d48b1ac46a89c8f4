#!/usr/bin/env bash
# Takes a picture of the web dashboard: starts the reference service (simulated jobs) and
# Clipwatch without a window on two demo folders, in a private settings store, lets the scans
# run to their end (one clip of each folder is made to fail), and has headless Chromium write
# the page as a PNG.
#
#   scripts/screenshot-dashboard.sh [OUTPUT.png] [BUILD_DIR]   (defaults: build/dashboard.png, build)
#   PORT=6280 WIDTH=1600 HEIGHT=900 scripts/screenshot-dashboard.sh
#
# Needs chromium (scripts/setup.sh) and port 1080 free (run it in `unshare -n` where it is not).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${2:-build}
output=$(realpath -m "${1:-$build/dashboard.png}")
port=${PORT:-6280}
width=${WIDTH:-1600}
height=${HEIGHT:-900}
command -v chromium >/dev/null || { echo "screenshot-dashboard: chromium is missing" >&2; exit 1; }

demo=$(mktemp -d /tmp/clipwatch-dashboard.XXXXXX)
pids=()
stop_all() {
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$demo"
}
trap stop_all EXIT
export HOME=$demo XDG_CONFIG_HOME=$demo/config XDG_STATE_HOME=$demo/state
export CLIPWATCH_LOG_DIR=$demo/log

media1=$demo/media/studio-a/2024-06-14_interviews
media2=$demo/media/archive/northwind/season-03/camera-cards
mkdir -p "$media1/b-roll" "$media2" "$XDG_CONFIG_HOME/Velmora" "$CLIPWATCH_LOG_DIR" "$demo/db"
for clip in "$media1"/interview-0{1,2,3}.mov "$media1"/b-roll/street-0{1,2}.mp4 \
    "$media1/interview-04-vexofault-fail.mov" "$media2"/A001C00{1,2,3,4}.mxf \
    "$media2/A001C005-vexofault-fail.mxf"; do
    echo media >"$clip"
done
printf '[General]\ncommandip=127.0.0.1\n' >"$XDG_CONFIG_HOME/Velmora/VexoCmd.conf"
cat >"$XDG_CONFIG_HOME/Velmora/Clipwatch.conf" <<CONF
[General]
DashboardPort=$port

[Instance0]
Dir=$media1/
DataBase=$demo/db/interviews.db
DBType=1
SettleSeconds=0
MakePicons=true
MakeProxy=true

[Instance1]
Dir=$media2/
DataBase=$demo/db/northwind-camera-cards.db
DBType=1
SettleSeconds=0
MakePicons=true
MakeXMP=true
CONF

"$build/vexobase" --simulate --job-ms 300 --bind 127.0.0.1 --port 1080 >"$demo/log/vexobase.txt" 2>&1 &
pids+=($!)
"$build/clipwatch" --no-window --start >"$demo/log/clipwatch.txt" 2>&1 &
pids+=($!)
sleep 10
chromium --headless --no-sandbox --disable-gpu --no-first-run --hide-scrollbars \
    --window-size="$width,$height" --virtual-time-budget=5000 --screenshot="$output" \
    "http://127.0.0.1:$port/" 2>/dev/null
echo "screenshot-dashboard: $output"
