#!/usr/bin/env bash
# The quality scale of every lossy compressor: ffmpeg's testsrc2 (320 x 240,
# 100 frames, 24-bit) converted by kadrimix-cli at quality 25, 50, 75 and 100
# (into AVI, or into MKV for the compressors AVI does not hold),
# with the encoder value the quality gives, the PSNR that ffmpeg measures
# against the input (RGB, all planes) and the bytes per frame.
#
#   bench/quality-scale.sh [BUILD_DIR]      (default: build; needs -DKADRIMIX_BENCH=ON)
set -euo pipefail
. "$(dirname "$0")/common.sh" "$@"
bench="$build/bench/kadrimix_compressor_bench"
build_flags=-DKADRIMIX_BENCH=ON
bench_start quality "$bench"
frames=100
ffmpeg -v error -y -f lavfi -i testsrc2=size=320x240:rate=25 -frames:v "$frames" \
  -pix_fmt bgr24 -c:v rawvideo "$work/in.avi"

echo "| compressor | quality | encoder value | PSNR | bytes/frame |"
echo "|---|---:|---|---:|---:|"
"$bench" --quantisers | while read -r fourcc quality name value; do
  # The compressors that AVI cannot hold write Matroska.
  case "$fourcc" in
    HEVC | AV01 | VP90) out="$work/out.mkv" ;;
    *) out="$work/out.avi" ;;
  esac
  rm -f "$out"
  "$cli" convert --quiet -i "$work/in.avi" -o "$out" --codec "$fourcc" --quality "$quality" \
    </dev/null >/dev/null 2>&1
  psnr=$(ffmpeg -nostdin -i "$out" -i "$work/in.avi" -lavfi "[0:v]format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr" \
    -f null - 2>&1 | sed -n 's/.*average:\([0-9.inf]*\).*/\1/p' | tail -1 | awk '{ printf "%.1f", $1 }')
  packets=$(ffprobe </dev/null -v error -select_streams v:0 -show_entries packet=size -of csv=p=0 "$out" |
    awk '{ s += $1 } END { printf "%.0f", s / NR }')
  echo "| \`$fourcc\` | $quality | $name $value | $psnr dB | $packets |"
done
