#!/usr/bin/env bash
# Generates the sample media beside the program (not committed): a short 640x480 AVI and a JPEG still.
set -euo pipefail
out="$1"
mkdir -p "$out"
if [ ! -s "$out/sample.avi" ]; then
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=640x480:rate=25:duration=4" \
    -c:v mpeg4 -q:v 3 -pix_fmt yuv420p "$out/sample.avi"
fi
if [ ! -s "$out/sample.jpg" ]; then
  ffmpeg -v error -y -f lavfi -i "smptehdbars=size=1280x720,drawgrid=w=80:h=80:t=2:c=white@0.5" \
    -frames:v 1 -q:v 2 "$out/sample.jpg"
fi
