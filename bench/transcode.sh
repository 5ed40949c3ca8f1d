#!/usr/bin/env bash
# Compressed input into compressed output, and uncompressed mirroring, timed
# against the reference doing the same work on the same generated input:
# ffmpeg with comparable encoder settings and its default threading, and for
# the mirror `cp` of the same file. Prints wall and CPU time (user + system)
# of kadrimix-cli with all threads, with --threads 1, and of the reference,
# each the median of RUNS runs (default 3), and the wall-time ratio.
#
#   bench/transcode.sh [BUILD_DIR]      (default: build)
set -euo pipefail
. "$(dirname "$0")/common.sh" "$@"
runs="${RUNS:-3}"
bench_start transcode
need_gnu_time

# median COMMAND...: "wall cpu" seconds, the run with the median wall time.
median() {
  local i
  for ((i = 0; i < runs; i++)); do
    rm -f "$work"/out.*
    # Wall time from the shell's microsecond clock (GNU time rounds to 10 ms).
    local start=$EPOCHREALTIME
    /usr/bin/time -f "%U %S" -o "$work/time.log" "$@" </dev/null >/dev/null 2>"$work/err.log" || {
      echo "failed: $*" >&2; cat "$work/err.log" >&2; exit 1; }
    local end=$EPOCHREALTIME
    awk -v s="$start" -v e="$end" '{ printf "%.3f %.2f\n", e - s, $1 + $2 }' "$work/time.log"
  done | sort -n | awk -v m=$(((runs + 1) / 2)) 'NR == m'
}

row() { # CASE "wall cpu" (all threads) "wall cpu" (one thread) "wall cpu" (reference)
  awk -v c="$1" -v k="$2" -v o="$3" -v f="$4" 'BEGIN {
    split(k, a, " "); split(o, b, " "); split(f, r, " ")
    printf "| %s | %.3f s | %.2f s | %.3f s | %.2f s | %.3f s | %.2f s | %.2f |\n",
      c, a[1], a[2], b[1], b[2], r[1], r[2], a[1] / r[1]
  }'
}

kadrimix() { # ARGS...: the three measurements of a kadrimix-cli conversion
  echo "$(median "$cli" convert --quiet "$@")|$(median "$cli" convert --quiet --threads 1 "$@")"
}

ffmpeg -v error -y -f lavfi -i testsrc2=size=720x576:rate=25 -f lavfi -i sine=frequency=440:sample_rate=44100 \
  -frames:v 500 -t 20 -c:v libx264 -pix_fmt yuv420p -g 250 -c:a libmp3lame -b:a 128k "$work/h264.avi"
ffmpeg -v error -y -f lavfi -i testsrc2=size=720x576:rate=25 -f lavfi -i sine=frequency=440:sample_rate=44100 \
  -frames:v 500 -t 20 -c:v mpeg4 -vtag XVID -bf 2 -q:v 4 -g 250 -c:a libmp3lame -b:a 128k "$work/mpeg4.avi"
ffmpeg -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=25 -frames:v 250 -c:v libx264 -pix_fmt yuv420p \
  -g 250 "$work/hd.avi"
ffmpeg -v error -y -f lavfi -i testsrc2=size=720x576:rate=25 -frames:v 300 -pix_fmt bgr24 -c:v rawvideo \
  "$work/raw.avi"

echo "| case | kadrimix-cli wall | CPU | --threads 1 wall | CPU | reference wall | CPU | wall ratio |"
echo "|---|---|---|---|---|---|---|---|"
IFS='|' read -r all one <<<"$(kadrimix -i "$work/h264.avi" -o "$work/out.avi" --codec H264 --quality 75)"
row "H.264 720x576 500 frames, MP3 copied -> H264 quality 75 (ffmpeg libx264 zerolatency, crf 13.5)" \
  "$all" "$one" "$(median ffmpeg -v error -y -i "$work/h264.avi" -c:v libx264 -tune zerolatency -bf 0 -crf 13.5 -c:a copy "$work/out.avi")"
IFS='|' read -r all one <<<"$(kadrimix -i "$work/mpeg4.avi" -o "$work/out.avi" --codec MJPG --quality 75)"
row "MPEG-4 ASP 720x576 500 frames with B-frames, MP3 copied -> MJPG quality 75 (ffmpeg mjpeg -q:v 4)" \
  "$all" "$one" "$(median ffmpeg -v error -y -i "$work/mpeg4.avi" -c:v mjpeg -q:v 4 -c:a copy "$work/out.avi")"
IFS='|' read -r all one <<<"$(kadrimix -i "$work/hd.avi" -o "$work/out.avi" --codec MJPG --quality 75)"
row "H.264 1920x1080 250 frames -> MJPG quality 75 (ffmpeg mjpeg -q:v 4)" \
  "$all" "$one" "$(median ffmpeg -v error -y -i "$work/hd.avi" -c:v mjpeg -q:v 4 "$work/out.avi")"
# The mirror takes a tenth of a second: at least 5 runs each.
runs=$((runs < 5 ? 5 : runs))
IFS='|' read -r all one <<<"$(kadrimix -i "$work/raw.avi" -o "$work/out.avi" --mirror-horizontal --mirror-vertical)"
row "uncompressed 720x576 300 frames (373 MB), mirrored both ways (cp of the file)" \
  "$all" "$one" "$(median cp "$work/raw.avi" "$work/out.avi")"
