#!/usr/bin/env bash
# Decodes the generated animation clip with ffmpeg, a decoder independent of ours, and checks what
# the animation control relies on: one RLE8 video stream, 80 x 60, 16 frames at 15 per second, no
# sound. Skipped (exit 77) when ffmpeg is not installed.
set -euo pipefail
clip="$1"
if ! command -v ffprobe >/dev/null || ! command -v ffmpeg >/dev/null; then
  echo "SKIPPED: ffprobe/ffmpeg not installed (scripts/ensure-packages ffmpeg)"
  exit 77
fi

failed=0
expect() {
  local what="$1" want="$2" got="$3"
  if [ "$got" != "$want" ]; then
    echo "FAIL: $what is '$got', expected '$want'"
    failed=1
  fi
}

video=$(ffprobe -v error -select_streams v -count_frames \
  -show_entries stream=codec_name,width,height,r_frame_rate,nb_frames,nb_read_frames \
  -of default=noprint_wrappers=1 "$clip")
field() { sed -n "s/^$1=//p" <<<"$video"; }
expect "codec" msrle "$(field codec_name)"
expect "width" 80 "$(field width)"
expect "height" 60 "$(field height)"
expect "frame rate" 15/1 "$(field r_frame_rate)"
expect "frames in the header" 16 "$(field nb_frames)"
expect "frames decoded" 16 "$(field nb_read_frames)"
expect "streams" 1 "$(ffprobe -v error -show_entries stream=index -of csv=p=0 "$clip" | wc -l)"
expect "audio streams" 0 \
  "$(ffprobe -v error -select_streams a -show_entries stream=index -of csv=p=0 "$clip" | wc -l)"
# A full decode must not complain about a single byte.
expect "decoder messages" "" "$(ffmpeg -v error -i "$clip" -f null - 2>&1)"
expect "frames written" 16 \
  "$(ffmpeg -v error -i "$clip" -f framemd5 - 2>/dev/null | grep -vc '^#')"

[ "$failed" -eq 0 ] && echo "ffmpeg decodes QSPIN: msrle, 80x60, 16 frames at 15/1, no audio"
exit "$failed"
