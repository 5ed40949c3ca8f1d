#!/usr/bin/env bash
# Reversing long key-frame segments at HD and 4K, timed on generated input
# (ffmpeg's testsrc2, H.264 yuv420p at 30 frames per second):
#
# - 1920 x 1080 with a 440 Hz tone, a key frame every 250 frames, 600 frames;
# - 3840 x 2160 without sound, one key frame in 120 frames.
#
# Each is converted to MJPG forwards and reversed (--reverse), with the
# default decode budget, and reversed by ffmpeg (-vf reverse, -af areverse
# where there is sound) into MJPG as well. Then the headline job: the 1080p
# file reversed into an MP4 with H.264 at the default quality, against
#
#   ffmpeg -i in.mp4 -vf reverse -af areverse -c:v libx264 -preset veryfast out.mp4
#
# and, as the same work on both sides, Kadrimix at quality 56 (x264 crf 23,
# its normal preset) against ffmpeg with -preset medium -crf 23.
#
# The commands of one case run in turn, RUNS rounds (default 3); each figure
# is the median over the rounds: wall time, CPU time (user + system) and
# peak memory, and the reversal's ratios to the forward run.
#
#   bench/reverse.sh [BUILD_DIR]      (default: build)
#   RUNS=1 bench/reverse.sh           a quick trial
#
# Needs GNU time (/usr/bin/time) and ffmpeg with libx264. About 6 minutes of
# CPU time a round.
set -euo pipefail
. "$(dirname "$0")/common.sh" "$@"
runs="${RUNS:-3}"
bench_start reverse
need_gnu_time

hd="$work/hd.mp4"
ffmpeg -v error -nostdin -y -f lavfi -i testsrc2=size=1920x1080:rate=30 \
  -f lavfi -i sine=frequency=440:sample_rate=48000 -t 20 -c:v libx264 -g 250 \
  -pix_fmt yuv420p -c:a aac -shortest "$hd"
uhd="$work/uhd.mp4"
ffmpeg -v error -nostdin -y -f lavfi -i testsrc2=size=3840x2160:rate=30 -t 4 \
  -c:v libx264 -g 1000 -pix_fmt yuv420p "$uhd"

kadrimix() { # NAME IN EXT ARGS...: cmd_NAME converts IN into out-NAME.EXT
  local -n command="cmd_$1"
  local in="$2" out="$work/out-$1.$3"
  shift 3
  command=("$cli" convert --quiet -i "$in" -o "$out" "$@")
}

ffmpeg_command() { # NAME IN EXT ARGS...: cmd_NAME is ffmpeg with ARGS
  local -n command="cmd_$1"
  local in="$2" out="$work/out-$1.$3"
  shift 3
  command=(ffmpeg -v error -nostdin -y -i "$in" "$@" "$out")
}

cell() { # "wall cpu peak": three table cells
  awk -v m="$1" 'BEGIN { split(m, a, " "); printf "%.2f s | %.2f s | %.0f MiB", a[1], a[2], a[3] / 1024 }'
}

ratio() { # "wall cpu peak" of two runs: wall and CPU ratio of the first to the second
  awk -v a="$1" -v b="$2" 'BEGIN { split(a, x, " "); split(b, y, " ")
    printf "%.2f | %.2f", x[1] / y[1], x[2] / y[2] }'
}

reverse_rows=()
for input in hd uhd; do
  in="${!input}"
  kadrimix forward_$input "$in" avi --codec MJPG
  kadrimix reverse_$input "$in" avi --codec MJPG --reverse
  if [ "$input" = hd ]; then
    ffmpeg_command ffmpeg_$input "$in" avi -vf reverse -af areverse -c:v mjpeg -c:a pcm_s16le
  else
    ffmpeg_command ffmpeg_$input "$in" avi -vf reverse -c:v mjpeg
  fi
  rounds forward_$input reverse_$input ffmpeg_$input
  forward=$(median forward_$input)
  reverse=$(median reverse_$input)
  label="1920 x 1080, key every 250, 600 frames"
  [ "$input" = uhd ] && label="3840 x 2160, one key frame, 120 frames"
  reverse_rows+=("| $label | $(cell "$forward") | $(cell "$reverse") | $(ratio "$reverse" "$forward") | $(awk -v a="$reverse" -v b="$forward" 'BEGIN { split(a, x, " "); split(b, y, " "); printf "%+.0f MiB", (x[3] - y[3]) / 1024 }') | $(cell "$(median ffmpeg_$input)") |")
done

kadrimix headline "$hd" mp4 --codec H264 --reverse
ffmpeg_command ffmpeg_veryfast "$hd" mp4 -vf reverse -af areverse -c:v libx264 -preset veryfast
kadrimix same_work "$hd" mp4 --codec H264 --reverse --quality 56
ffmpeg_command ffmpeg_medium "$hd" mp4 -vf reverse -af areverse -c:v libx264 -preset medium -crf 23
rounds headline ffmpeg_veryfast same_work ffmpeg_medium

echo "| input, into MJPG | forward | CPU | peak | reverse | CPU | peak | wall ratio | CPU ratio | memory added | ffmpeg reverse | CPU | peak |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|"
printf '%s\n' "${reverse_rows[@]}"
echo
echo "| 1080p reversed into MP4 (H.264) | Kadrimix | CPU | peak | ffmpeg | CPU | peak | wall ratio | CPU ratio |"
echo "|---|---|---|---|---|---|---|---|---|"
headline=$(median headline)
veryfast=$(median ffmpeg_veryfast)
same=$(median same_work)
medium=$(median ffmpeg_medium)
echo "| default quality (crf 13.5, preset medium) against ffmpeg -preset veryfast (crf 23) | $(cell "$headline") | $(cell "$veryfast") | $(ratio "$headline" "$veryfast") |"
echo "| quality 56 (crf 23, preset medium) against ffmpeg -preset medium -crf 23 | $(cell "$same") | $(cell "$medium") | $(ratio "$same" "$medium") |"
