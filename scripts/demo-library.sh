#!/usr/bin/env bash
# Generates the demo media library in the folder given (default demo/library): a dozen short
# clips in several containers and codecs in nested folders, a still-image sequence, a folder
# marked "Do Not Scan.cws", and names with spaces and non-ASCII letters. Existing files are
# kept, so a second run is quick.
set -euo pipefail

root=${1:-"$(dirname "$0")/../demo/library"}
mkdir -p "$root"

# clip FILE DURATION VIDEO-ARGS...: a test pattern with a tone, made once.
clip() {
    local file=$1 seconds=$2
    shift 2
    [ -s "$file" ] && return 0
    mkdir -p "$(dirname "$file")"
    ffmpeg -v error -y -f lavfi -i "testsrc2=size=640x360:rate=25:duration=$seconds" \
        -f lavfi -i "sine=frequency=440:duration=$seconds" -shortest "$@" "$file"
}

clip "$root/News/Rushes/interview take 1.mov"   4 -c:v mpeg4 -q:v 5 -c:a pcm_s16le
clip "$root/News/Rushes/interview take 2.mov"   3 -c:v mpeg4 -q:v 5 -c:a pcm_s16le
clip "$root/News/Rushes/city skyline.mp4"       4 -c:v libx264 -preset ultrafast -c:a aac
clip "$root/News/Graphics/lower third.mkv"      2 -c:v libx264 -preset ultrafast -c:a aac
clip "$root/Sport/Match/kick-off.ts"            3 -c:v mpeg2video -q:v 4 -c:a mp2
clip "$root/Sport/Match/highlights.mxf"         3 -c:v mpeg2video -q:v 4 -c:a pcm_s16le -ar 48000
clip "$root/Sport/Interviews/coach.mp4"         2 -c:v libx264 -preset ultrafast -c:a aac
clip "$root/Drama/Séance à Montréal.mov"        3 -c:v mpeg4 -q:v 5 -c:a pcm_s16le
clip "$root/Drama/Ünter den Linden.mp4"         2 -c:v libx264 -preset ultrafast -c:a aac
clip "$root/Drama/Dailies/scene 12 take 3.avi"  2 -c:v mjpeg -q:v 5 -c:a pcm_s16le
clip "$root/Archive/1998/tape 07.mpg"           3 -c:v mpeg1video -q:v 4 -c:a mp2
clip "$root/Archive/1998/tape 08.webm"          2 -c:v libvpx -deadline realtime -b:v 500k -c:a libvorbis

# A still-image sequence long enough to count as a clip.
if [ ! -s "$root/Animation/shot010/frame0000.png" ]; then
    mkdir -p "$root/Animation/shot010"
    ffmpeg -v error -y -f lavfi -i "testsrc2=size=320x180:rate=25:duration=1" \
        -start_number 0 "$root/Animation/shot010/frame%04d.png"
fi

# A folder the scanner must leave alone.
mkdir -p "$root/Private"
touch "$root/Private/Do Not Scan.cws"
clip "$root/Private/not for ingest.mov" 1 -c:v mpeg4 -c:a pcm_s16le

echo "demo library: $(find "$root" -type f | wc -l) files in $root"
