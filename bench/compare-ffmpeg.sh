#!/usr/bin/env bash
# Times kadrimix-cli convert against ffmpeg doing the same work on the same
# generated input (720 x 576 24-bit uncompressed with PCM audio), side by side,
# and reports the wall-time ratio and the peak memory of each.
#
#   bench/compare-ffmpeg.sh [BUILD_DIR]      (default: build)
#   FRAMES="300 3000" bench/compare-ffmpeg.sh   frame counts to run the reverse case with
#
# Then reverses compressed input that ffmpeg makes (720 x 576 H.264 with a key
# frame every 250 or 50 frames, 640 x 480 MPEG-4 ASP with B-frames) into HFYU:
# the forward and the reversed conversion, their ratio, and ffmpeg's reverse
# of the same file into huffyuv; and the peak memory of the H.264 reversal at
# two lengths, which must stay flat.
#
#   REVERSE_FRAMES="300 3000" bench/compare-ffmpeg.sh   lengths of that memory check
#
# Needs GNU time (/usr/bin/time) and ffmpeg. Writes its files to a temporary
# folder (several GiB for 3000 frames) and removes them at the end.
set -euo pipefail
. "$(dirname "$0")/common.sh" "$@"
frames_list="${FRAMES:-300}"
reverse_frames="${REVERSE_FRAMES:-300 3000}"
bench_start bench
need_gnu_time

# measure NAME COMMAND...: prints "seconds peak-KiB" of the command.
# With warm=1 the command runs once unmeasured first: on this virtual machine
# the first use of memory the host never gave out costs up to a second of
# system time, whichever program comes first, and the short cases would show
# little else. Outputs are removed before each run.
warm=1
measure() {
  local log="$work/time.log"
  if [ "$warm" = 1 ]; then
    rm -f "$work"/[kf]?.avi
    "$@" >/dev/null 2>&1 || true
  fi
  rm -f "$work"/[kf]?.avi
  # The files written before reach the disk first, so that their writeback
  # does not run during the measured command.
  sync
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
  warm=0
done

# Compressed input: H264_250 / H264_50 / MPEG4 FRAMES OUT.
make_coded() {
  local video
  case "$1" in
    H264_250) video=(-s 720x576 -c:v libx264 -g 250 -keyint_min 250 -sc_threshold 0 -pix_fmt yuv420p) ;;
    H264_50) video=(-s 720x576 -c:v libx264 -g 50 -keyint_min 50 -sc_threshold 0 -pix_fmt yuv420p) ;;
    MPEG4) video=(-s 640x480 -c:v mpeg4 -bf 2 -g 300 -q:v 4) ;;
  esac
  ffmpeg -v error -y -f lavfi -i testsrc2=size=720x576:rate=25 -frames:v "$2" "${video[@]}" "$3"
}

reverse_row() { # CASE FRAMES FILE: prints a row, keeps the reversal's peak KiB in $reverse_kib
  local forward reverse ffmpeg_reverse
  forward="$(measure "$cli" convert --quiet -i "$3" -o "$work/kf.avi" --codec HFYU)"
  reverse="$(measure "$cli" convert --quiet -i "$3" -o "$work/kr.avi" --codec HFYU --reverse)"
  if [ "$2" -le 1000 ]; then
    ffmpeg_reverse="$(measure ffmpeg -v error -y -i "$3" -vf reverse -c:v huffyuv "$work/fr.avi")"
  else
    ffmpeg_reverse="- -" # ffmpeg's reverse keeps the whole clip in memory
  fi
  reverse_kib="${reverse#* }"
  awk -v c="$1" -v n="$2" -v k="$forward" -v r="$reverse" -v f="$ffmpeg_reverse" 'BEGIN {
    split(k, a, " "); split(r, b, " "); split(f, g, " ")
    ff = g[1] == "-" ? "| - | - |" : sprintf("| %.2f s | %.0f MiB |", g[1], g[2] / 1024)
    printf "| %s | %s | %.2f s | %.2f s | %.0f MiB | %.2f %s\n", c, n, a[1], b[1], b[2] / 1024, b[1] / a[1], ff
  }'
  rm -f "$work"/kf.avi "$work"/kr.avi "$work"/fr.avi
}

echo
echo "| compressed input into HFYU | frames | forward | reverse | peak memory | reverse / forward | ffmpeg reverse | peak memory |"
echo "|---|---|---|---|---|---|---|---|"
make_coded H264_250 500 "$work/c.avi"
reverse_row "H.264 720x576, key every 250" 500 "$work/c.avi"
make_coded MPEG4 500 "$work/c.avi"
reverse_row "MPEG-4 ASP 640x480 with B-frames, key every 300" 500 "$work/c.avi"
make_coded H264_50 500 "$work/c.avi"
reverse_row "H.264 720x576, key every 50" 500 "$work/c.avi"
peaks=()
for frames in $reverse_frames; do
  make_coded H264_250 "$frames" "$work/c.avi"
  reverse_row "H.264 720x576, key every 250" "$frames" "$work/c.avi"
  peaks+=("$reverse_kib")
done
rm -f "$work/c.avi"
if [ "${#peaks[@]}" -ge 2 ]; then
  awk -v lo="${peaks[0]}" -v hi="${peaks[${#peaks[@]}-1]}" 'BEGIN {
    printf "\nPeak memory of the reversal, shortest against longest input: %.0f MiB, %.0f MiB (%+.1f %%)\n", lo / 1024, hi / 1024, (hi - lo) * 100 / lo
  }'
fi
