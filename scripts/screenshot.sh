#!/usr/bin/env bash
# Takes a picture of the main window: starts Clipwatch under a virtual X display (Xvfb) with
# two scanner instances on demo folders, in a private settings store that points the service
# and the controller at 127.0.0.1, waits until the window has loaded its databases and checked
# the host, and writes the window as a PNG (captured with ffmpeg's x11grab).
#
#   scripts/screenshot.sh [OUTPUT.png] [BUILD_DIR]    (defaults: build/screenshot.png, build)
#   WIDTH=900 HEIGHT=450 scripts/screenshot.sh        (window size; default 610 x 450)
#
# Needs xvfb-run (packages xvfb, xauth) and ffmpeg.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${2:-build}
output=$(realpath -m "${1:-$build/screenshot.png}")
width=${WIDTH:-610}
height=${HEIGHT:-450}
program=$(realpath "$build/clipwatch")
for tool in xvfb-run ffmpeg; do
    command -v "$tool" >/dev/null || { echo "screenshot: $tool is missing" >&2; exit 1; }
done

demo=$(mktemp -d /tmp/clipwatch-screenshot.XXXXXX)
trap 'rm -rf "$demo"' EXIT
export HOME=$demo XDG_CONFIG_HOME=$demo/config XDG_STATE_HOME=$demo/state
export CLIPWATCH_LOG_DIR=$demo/log

media1=$demo/media/studio-a/2024-06-14_interviews
media2=$demo/media/archive/broadcast-deliveries/client-northwind/season-03/episode-07/camera-cards
mkdir -p "$media1" "$media2" "$XDG_CONFIG_HOME/Velmora" "$CLIPWATCH_LOG_DIR"
touch "$media1/interview-01.mov" "$media1/interview-02.mov" "$media2/A001C003.mxf"
cat >"$XDG_CONFIG_HOME/Velmora/VexoCmd.conf" <<CONF
[General]
commandip=127.0.0.1
CONF
cat >"$XDG_CONFIG_HOME/Velmora/Clipwatch.conf" <<CONF
[General]
width=$width
height=$height

[Instance0]
Dir=$media1/
DataBase=$demo/db/interviews.db
DBType=1
MakePicons=true
MakeProxy=true
MakeMD5=true

[Instance1]
Dir=$media2/
DataBase=$demo/db/northwind-season-03-episode-07-camera-cards.db
DBType=1
MakeXMP=true
MakeRtin=true
CONF
mkdir -p "$demo/db"

# Inside the virtual display: run the program, wait for the start and the host check, grab
# the window's rectangle (placed at 100,100), end the program.
xvfb-run -a -s "-screen 0 $((width + 200))x$((height + 200))x24" bash -c '
    "$1" >"$CLIPWATCH_LOG_DIR/stdout.txt" 2>&1 &
    pid=$!
    sleep 8
    ffmpeg -loglevel error -y -f x11grab -video_size "$3x$4" -i "$DISPLAY+100,100" \
        -frames:v 1 "$2"
    kill -TERM "$pid"
    wait "$pid" || true
' screenshot "$program" "$output" "$width" "$height"
echo "screenshot: $output"
