#!/usr/bin/env bash
# demo-media.sh DIR: writes a clip manifest for the simulated recorder into DIR (DIR/manifest.json) whose
# clips carry real MPEG-4 pictures, encoded by ffmpeg from its test pattern, so that the window's preview
# shows them. The built-in demo clips carry a generated pattern, which the preview decoder cannot show.
# Reuses DIR when it already holds the media.
set -euo pipefail
dir=$1
frames=75
frame_bytes=937500 # one Lite picture
mkdir -p "$dir"
if [ ! -s "$dir/pictures.bin" ]; then
  rm -rf "$dir/frames"
  mkdir -p "$dir/frames"
  ffmpeg -loglevel error -f lavfi -i "testsrc2=size=1920x1080:rate=30000/1001" -frames:v "$frames" \
    -c:v mpeg4 -g 1 -q:v 4 -f image2 "$dir/frames/%03d.m4v"
  for picture in "$dir"/frames/*.m4v; do
    size=$(stat -c %s "$picture")
    [ "$size" -le "$frame_bytes" ] || { echo "demo-media.sh: a picture is larger than $frame_bytes bytes" >&2; exit 1; }
    cat "$picture"
    head -c $((frame_bytes - size)) /dev/zero
  done >"$dir/pictures.part"
  mv "$dir/pictures.part" "$dir/pictures.bin"
  rm -rf "$dir/frames"
fi
clip() { # name folder start
  printf '{"fileName": "%s", "secondName": "%s", "durationFrames": %d, "startTimecode": "%s", "rateIndex": 3,
    "scan": 0, "codec": 2, "soundChannels": 4, "dataItems": true, "pictureFile": "pictures.bin",
    "date1": "2013-02-01 17:45:00"}' "$1" "$2" "$frames" "$3"
}
cat >"$dir/manifest.json" <<JSON
{
  "volume": "SRDEMO1",
  "clips": [
    $(clip A001C001 REEL01 "01:00:00:00"),
    $(clip A001C002 REEL01 "01:00:10:00"),
    $(clip A002C001 REEL02 "02:30:00:00")
  ]
}
JSON
