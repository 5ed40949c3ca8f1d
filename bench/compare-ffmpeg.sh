#!/usr/bin/env bash
# Times kadrimix-cli convert against ffmpeg doing the same work on the same
# generated input (720 x 576 24-bit uncompressed with PCM audio), side by side,
# and reports the wall-time ratio and the peak memory of each.
#
#   bench/compare-ffmpeg.sh [BUILD_DIR]      (default: build)
#   FRAMES="300 3000" bench/compare-ffmpeg.sh   frame counts to run the reverse case with
#
# Needs GNU time (/usr/bin/time) and ffmpeg. Writes its files to a temporary
# folder (several GiB for 3000 frames) and removes them at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
cli="$build/cli/kadrimix-cli"
frames_list="${FRAMES:-300}"
[ -x "$cli" ] || { echo "build first: scripts/build $build" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is missing" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kadrimix-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

# measure NAME COMMAND...: prints "seconds peak-KiB" of the command.
measure() {
  local log="$work/time.log"
  /usr/bin/time -f "%e %M" -o "$log" "$@" >/dev/null 2>"$work/stderr.log" || {
    echo "failed: $*" >&2; cat "$work/stderr.log" >&2; exit 1; }
  cat "$log"
}

row() { # CASE FRAMES "seconds KiB" (kadrimix) "seconds KiB" (ffmpeg, or "- -")
  awk -v c="$1" -v n="$2" -v k="$3" -v f="$4" 'BEGIN {
    split(k, a, " "); split(f, b, " ")
    if (b[1] == "-") {
      printf "| %s | %s | %.2f s | %.0f MiB | - | - | - |\n", c, n, a[1], a[2] / 1024
    } else {
      printf "| %s | %s | %.2f s | %.0f MiB | %.2f s | %.0f MiB | %.2f |\n", c, n, a[1], a[2] / 1024, b[1], b[2] / 1024, a[1] / b[1]
    }
  }'
}

echo "| case | frames | kadrimix-cli | peak memory | ffmpeg | peak memory | time ratio |"
echo "|---|---|---|---|---|---|---|"
first=1
for frames in $frames_list; do
  in="$work/in-$frames.avi"
  "$cli" sample "$in" --size 720x576 --frames "$frames" --bits 24 --audio >/dev/null
  if [ "$first" = 1 ]; then
    "$cli" sample "$work/ov1.avi" --size 320x240 --frames "$frames" --bits 16 >/dev/null
    "$cli" sample "$work/ov2.avi" --size 320x240 --frames "$frames" --bits 32 >/dev/null
    row "mirror both ways" "$frames" \
      "$(measure "$cli" convert --quiet -i "$in" -o "$work/k1.avi" --mirror-horizontal --mirror-vertical)" \
      "$(measure ffmpeg -v error -y -i "$in" -vf vflip,hflip -c:v rawvideo -c:a copy "$work/f1.avi")"
    row "two scaled overlays with borders" "$frames" \
      "$(measure "$cli" convert --quiet -i "$in" -o "$work/k3.avi" \
          --overlay "1:$work/ov1.avi:40,40,240,180,border=4,color=FF0000" \
          --overlay "2:$work/ov2.avi:400,300,280,210,border=3,color=00FF00")" \
      "$(measure ffmpeg -v error -y -i "$in" -i "$work/ov1.avi" -i "$work/ov2.avi" -filter_complex \
          "[1:v]scale=240:180:flags=neighbor,drawbox=x=0:y=0:w=iw:h=ih:t=4:c=red[a];\
[2:v]scale=280:210:flags=neighbor,drawbox=x=0:y=0:w=iw:h=ih:t=3:c=lime[b];\
[0:v][b]overlay=400:300[t];[t][a]overlay=40:40" -c:v rawvideo -pix_fmt bgr24 -c:a copy "$work/f3.avi")"
    first=0
  fi
  if [ "$frames" -le 1000 ]; then
    ffmpeg_reverse="$(measure ffmpeg -v error -y -i "$in" -vf reverse -af areverse -c:v rawvideo -c:a pcm_s16le "$work/f2.avi")"
  else
    ffmpeg_reverse="- -" # ffmpeg's reverse keeps the whole clip in memory
  fi
  row "reverse with audio" "$frames" \
    "$(measure "$cli" convert --quiet -i "$in" -o "$work/k2.avi" --reverse)" "$ffmpeg_reverse"
  rm -f "$work"/k*.avi "$work"/f*.avi "$in"
done
