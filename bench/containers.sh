#!/usr/bin/env bash
# The delivery containers (MP4, WebM) written through libavformat, timed on
# generated input (ffmpeg's testsrc2 with a 440 Hz tone, H.264 yuv420p in
# BT.709 with AAC in MP4, 30000/1001 frames per second, 1280 x 720 for 10 s
# and 1920 x 1080 for 2 to 5 s):
#
# - H.264 into MP4 against the same conversion into AVI (same input, default
#   quality and threads), with the peak memory of each; beside it ffmpeg's
#   ratios for the same switch of x264 settings (x264's defaults for MP4,
#   zero latency without B-frames or look-ahead for AVI); MJPG into MOV
#   against MJPG into AVI, which changes the container but not the encoder;
#   and both again on input without a colour tag (see make_input);
# - each delivery encoder against ffmpeg doing the same conversion: the same
#   encoder with the preset, speed and rate factor Kadrimix gives it at its
#   default quality (codec/EncoderSettings.cpp: quality 75, x264 and x265
#   crf 13.5, SVT-AV1 preset 10 crf 17, libvpx-vp9 deadline good, cpu-used 4,
#   row-mt, crf 17 with no data rate), AAC 160 kb/s into MP4, Opus 160 kb/s
#   into WebM, and the index at the front of the MP4 (-movflags +faststart),
#   as Kadrimix writes it; ffmpeg with its default threading.
#
# The commands of one case run in turn, RUNS rounds (default 3), so that a
# machine busy with other work disturbs them alike; each figure is the median
# over the rounds. Prints wall time, CPU time (user + system) and peak memory
# of each, the ratios of wall and of CPU time, and the ratio of the output
# sizes (1.00 when both gave the encoder the same pictures and settings).
#
#   bench/containers.sh [BUILD_DIR]      (default: build)
#   RUNS=1 MAX_SECONDS=2 bench/containers.sh   a quick trial on shorter input
#
# Needs GNU time (/usr/bin/time) and ffmpeg with libx264, libx265, libsvtav1,
# libvpx-vp9 and libopus. About 14 minutes of CPU time; 18 minutes on 2 cores
# shared with other work.
set -euo pipefail
. "$(dirname "$0")/common.sh" "$@"
runs="${RUNS:-3}"
max_seconds="${MAX_SECONDS:-}"
bench_start containers
need_gnu_time

# The rate factors of codec/EncoderSettings.cpp at the default quality.
crf=13.5  # CrfForQuality(7500)
crf63=17  # lround(Crf63ForQuality(7500)) = lround(16.5)

# make_input WIDTHxHEIGHT SECONDS [untagged]: makes the input once and sets in
# (its path) and label. Its colours are those of HD video, BT.709 and tagged
# so (Kadrimix then hands the decoder's pictures to the MP4 and WebM
# compressors as they are, as ffmpeg does, and turns them into BT.601 for
# AVI); "untagged" input carries no colour tag (ffmpeg makes its pixels with
# BT.601), which Kadrimix, as players do, reads as BT.709 above 576 lines.
make_input() {
  local seconds="$2" colours=(-vf scale=out_color_matrix=bt709:out_range=tv,format=yuv420p
    -colorspace bt709 -color_primaries bt709 -color_trc bt709)
  if [ -n "$max_seconds" ] && [ "$max_seconds" -lt "$seconds" ]; then
    seconds="$max_seconds"
  fi
  label="$1 $seconds s"
  if [ "${3:-}" = untagged ]; then
    colours=(-pix_fmt yuv420p)
    label+=", untagged"
  fi
  in="$work/in-$1-$seconds-${3:-bt709}.mp4"
  if [ ! -e "$in" ]; then
    ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=size=$1:rate=30000/1001" \
      -f lavfi -i sine=frequency=440:sample_rate=48000 -t "$seconds" "${colours[@]}" \
      -c:v libx264 -preset veryfast -crf 18 -c:a aac -b:a 128k -ac 2 "$in"
  fi
}

size() { stat -c %s "$work/out-$1".*; } # NAME: bytes of the last run's output

kadrimix() { # NAME IN EXT CODEC: cmd_NAME converts IN into out-NAME.EXT
  local -n command="cmd_$1"
  command=("$cli" convert --quiet -i "$2" -o "$work/out-$1.$3" --codec "$4")
}

ffmpeg_command() { # NAME IN EXT ARGS...: cmd_NAME is ffmpeg with ARGS
  local -n command="cmd_$1"
  local out="$work/out-$1.$3" in="$2"
  shift 3
  command=(ffmpeg -v error -nostdin -y -i "$in" "$@" "$out")
}

avi_rows=()
encoder_rows=()
remux_notes=()

# encoder_row CASE KADRIMIX FFMPEG SIZE-K SIZE-F: a row of the second table
# ("wall cpu peak" of each, the bytes of each output).
encoder_row() {
  encoder_rows+=("$(awk -v c="$1" -v k="$2" -v f="$3" -v sk="$4" -v sf="$5" 'BEGIN {
    split(k, a, " "); split(f, b, " ")
    printf "| %s | %.2f s | %.2f s | %.0f MiB | %.2f s | %.2f s | %.0f MiB | %.2f | %.2f | %.2f |",
      c, a[1], a[2], a[3] / 1024, b[1], b[2], b[3] / 1024, a[1] / b[1], a[2] / b[2], sk / sf
  }')")
}

# avi_row CASE AVI MP4 FFMPEG-MP4 FFMPEG-AVI: Kadrimix into MP4 (or MOV)
# against Kadrimix into AVI, and ffmpeg's ratios beside them ("- - -": none).
avi_row() {
  avi_rows+=("$(awk -v c="$1" -v a="$2" -v m="$3" -v fm="$4" -v fa="$5" 'BEGIN {
    split(a, x, " "); split(m, y, " "); split(fm, p, " "); split(fa, q, " ")
    ff = p[1] == "-" || q[1] == "-" ? "- | - | -" : sprintf("%.2f | %.2f | %+.0f MiB", p[1] / q[1], p[2] / q[2], (p[3] - q[3]) / 1024)
    printf "| %s | %.2f s | %.2f s | %.0f MiB | %.2f s | %.2f s | %.0f MiB | %.2f | %.2f | %+.0f MiB | %s |",
      c, x[1], x[2], x[3] / 1024, y[1], y[2], y[3] / 1024, y[1] / x[1], y[2] / x[2],
      (y[3] - x[3]) / 1024, ff
  }')")
}

aac=(-c:a aac -b:a 160k)
opus=(-c:a libopus -b:a 160k)
faststart=(-movflags +faststart)
x264=(-c:v libx264 -crf "$crf")
x265=(-c:v libx265 -crf "$crf" -x265-params log-level=error)
svtav1=(-c:v libsvtav1 -preset 10 -crf "$crf63")
vp9=(-c:v libvpx-vp9 -deadline good -cpu-used 4 -row-mt 1 -crf "$crf63" -b:v 0)

# h264_case SIZE SECONDS [untagged]: Kadrimix into AVI and MP4, ffmpeg into
# MP4 and (on BT.709 input: ffmpeg does not look at the tag) into AVI with
# the settings Kadrimix gives x264 there (zero latency, frame threads).
h264_case() {
  make_input "$@"
  kadrimix kavi "$in" avi H264
  kadrimix kmp4 "$in" mp4 H264
  ffmpeg_command fmp4 "$in" mp4 "${x264[@]}" "${aac[@]}" "${faststart[@]}"
  ffmpeg_command favi "$in" avi "${x264[@]}" -tune zerolatency \
    -x264-params bframes=0:rc-lookahead=0:sync-lookahead=0:sliced-threads=0 -c:a pcm_s16le
  local kavi kmp4 fmp4 favi="- - -" remux
  if [ "${3:-}" = untagged ]; then
    rounds kavi kmp4 fmp4
  else
    rounds kavi kmp4 fmp4 favi
    favi=$(median favi)
  fi
  kavi=$(median kavi) kmp4=$(median kmp4) fmp4=$(median fmp4)
  avi_row "H264, $label" "$kavi" "$kmp4" "$fmp4" "$favi"
  encoder_row "H264 -> MP4, $label" "$kmp4" "$fmp4" "$(size kmp4)" "$(size fmp4)"
  # What moving the index to the front costs, done by ffmpeg on the same file.
  remux=$(run_measured ffmpeg -v error -nostdin -y -i "$work/out-kmp4.mp4" -c copy \
    "${faststart[@]}" "$work/remux.mp4")
  remux_notes+=("$(awk -v l="$label" -v r="$remux" -v b="$(size kmp4)" 'BEGIN {
    split(r, a, " "); printf "%s: %.2f s wall, %.2f s CPU for %.0f MiB", l, a[1], a[2], b / 1048576 }')")
  rm -f "$work/remux.mp4"
}

# encoder_case CODEC EXT SIZE SECONDS FFMPEG-ARGS...
encoder_case() {
  local codec="$1" ext="$2"
  make_input "$3" "$4"
  shift 4
  kadrimix k "$in" "$ext" "$codec"
  ffmpeg_command f "$in" "$ext" "$@"
  rounds k f
  encoder_row "$codec -> ${ext^^}, $label" "$(median k)" "$(median f)" "$(size k)" "$(size f)"
}

# mjpg_case SECONDS [untagged]: the container alone, an encoder without
# look-ahead into AVI and into MOV (the QuickTime writer of MP4, with AAC
# audio and the index moved to the front).
mjpg_case() {
  make_input 1280x720 "$@"
  kadrimix kavi "$in" avi MJPG
  kadrimix kmov "$in" mov MJPG
  rounds kavi kmov
  avi_row "MJPG into MOV, $label" "$(median kavi)" "$(median kmov)" "- - -" "- - -"
}

for size in 1280x720 1920x1080; do
  if [ "$size" = 1280x720 ]; then
    h264_seconds=10 hevc_seconds=10 av1_seconds=10 vp9_seconds=10
  else
    h264_seconds=5 hevc_seconds=2 av1_seconds=5 vp9_seconds=3
  fi
  h264_case "$size" "$h264_seconds"
  encoder_case HEVC mp4 "$size" "$hevc_seconds" "${x265[@]}" "${aac[@]}" "${faststart[@]}"
  encoder_case AV01 mp4 "$size" "$av1_seconds" "${svtav1[@]}" "${aac[@]}" "${faststart[@]}"
  encoder_case VP90 webm "$size" "$vp9_seconds" "${vp9[@]}" "${opus[@]}"
done
h264_case 1280x720 5 untagged
mjpg_case 10
mjpg_case 5 untagged

echo "Kadrimix into MP4 (MOV for MJPG) against Kadrimix into AVI; the ffmpeg columns compare"
echo "ffmpeg with x264's defaults into MP4 and with zero-latency x264 without B-frames into AVI:"
echo
echo "| case | AVI wall | CPU | peak | MP4 wall | CPU | peak | wall ratio | CPU ratio | peak difference | ffmpeg wall ratio | ffmpeg CPU ratio | ffmpeg peak difference |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|"
printf '%s\n' "${avi_rows[@]}"
echo
echo "Kadrimix against ffmpeg doing the same conversion:"
echo
echo "| case | kadrimix-cli wall | CPU | peak | ffmpeg wall | CPU | peak | wall ratio | CPU ratio | size ratio |"
echo "|---|---|---|---|---|---|---|---|---|---|"
printf '%s\n' "${encoder_rows[@]}"
echo
echo "ffmpeg -c copy -movflags +faststart of Kadrimix's H.264 MP4 (what its last pass does):"
printf '  %s\n' "${remux_notes[@]}"
