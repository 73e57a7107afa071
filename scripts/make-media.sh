#!/usr/bin/env bash
# Generates the sample media beside the program (never committed): build/bin/media/
#   sample.avi  640x480, 25 fps, 4 s, MPEG-4 part 2 in AVI (the moving test pattern: motion and fine detail)
#   sample.mpg  the same clip as an MPEG-2 program stream (the other video kind the program opens)
#   sample.jpg  640x480 still (the Mandelbrot set: smooth gradients beside sharp, colourful detail)
# Idempotent and fast: a file is made only when it is missing or this script has changed since it was made,
# and each file is written under a temporary name first, so an interrupted run never leaves half a file.
set -euo pipefail
out="${1:?usage: make-media.sh OUTPUT_FOLDER}"
if ! command -v ffmpeg >/dev/null 2>&1; then
  echo "make-media: ffmpeg is missing (run scripts/install-deps.sh); no sample media made." >&2
  exit 1
fi
mkdir -p "$out"

stamp="$out/.made-by"
recipe="$(sha256sum "$0" | cut -d' ' -f1)"
if [ "$(cat "$stamp" 2>/dev/null)" != "$recipe" ]; then
  rm -f "$out/sample.avi" "$out/sample.mpg" "$out/sample.jpg"
fi

# make NAME FFMPEG-ARGUMENTS...: runs ffmpeg into a temporary file beside NAME, then renames it.
make() {
  local name="$1"
  shift
  [ -s "$out/$name" ] && return 0
  local tmp="$out/.partial.$name"
  rm -f "$tmp"
  local format
  case "$name" in *.avi) format=avi ;; *.mpg) format=mpeg ;; *) format=image2 ;; esac
  ffmpeg -nostdin -v error -y "$@" -f "$format" "$tmp"
  mv -f "$tmp" "$out/$name"
  echo "make-media: made $out/$name"
}

clip="testsrc2=size=640x480:rate=25:duration=4"
make sample.avi -f lavfi -i "$clip" -c:v mpeg4 -q:v 3 -pix_fmt yuv420p
make sample.mpg -f lavfi -i "$clip" -c:v mpeg2video -q:v 3 -pix_fmt yuv420p
make sample.jpg -f lavfi -i "mandelbrot=size=640x480:end_pts=1:outer=normalized_iteration_count" \
  -frames:v 1 -q:v 2 -pix_fmt yuvj420p
echo "$recipe" >"$stamp"
