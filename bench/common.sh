# The start the bench scripts share, sourced after `set -euo pipefail` as
#
#   . "$(dirname "$0")/common.sh" "$@"
#
# Goes to the source tree's root and sets build (the script's first argument,
# default build) and cli (kadrimix-cli in it).
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build="${1:-build}"
cli="$build/cli/kadrimix-cli"

# bench_start NAME [PROGRAM...]: stops unless kadrimix-cli and each PROGRAM
# are built (build_flags, when set, are named in the hint to build) and
# ffmpeg is installed, then makes the temporary folder $work
# (kadrimix-NAME-XXXXXX), removed at exit.
bench_start() {
  local name="$1" program
  shift
  for program in "$cli" "$@"; do
    [ -x "$program" ] || { echo "build first: scripts/build $build${build_flags:+ $build_flags}" >&2; exit 1; }
  done
  command -v ffmpeg >/dev/null || { echo "ffmpeg is missing" >&2; exit 1; }
  work=$(mktemp -d "${TMPDIR:-/tmp}/kadrimix-$name-XXXXXX")
  trap 'rm -rf "$work"' EXIT
}

# need_gnu_time: stops unless GNU time is installed as /usr/bin/time.
need_gnu_time() {
  [ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is missing" >&2; exit 1; }
}

# run_measured COMMAND...: runs the command with no input or output after the
# files written before have reached the disk (so that their writeback does not
# run meanwhile), and prints "wall cpu peak": wall seconds from the shell's
# microsecond clock (GNU time rounds to 10 ms), CPU seconds (user + system)
# and the peak resident memory in KiB, both from GNU time. Stops with the
# command's error output if it fails. Needs $work (bench_start).
run_measured() {
  sync
  local start=$EPOCHREALTIME end
  /usr/bin/time -f "%U %S %M" -o "$work/run-measured.log" "$@" </dev/null >/dev/null \
    2>"$work/run-measured.err" || {
    echo "failed: $*" >&2; cat "$work/run-measured.err" >&2; exit 1; }
  end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" '{ printf "%.3f %.2f %d\n", e - s, $1 + $2, $3 }' "$work/run-measured.log"
}

# rounds NAME...: $runs rounds, each running the command in the array
# cmd_NAME for every NAME in turn (after removing its output, out-NAME.*);
# appends "wall cpu peak" of each run to $work/NAME.runs.
rounds() {
  local i name result
  rm -f "$work"/*.runs
  for ((i = 0; i < runs; i++)); do
    for name in "$@"; do
      local -n run_command="cmd_$name"
      rm -f "$work/out-$name".*
      result=$(run_measured "${run_command[@]}")
      echo "$result" >>"$work/$name.runs"
      unset -n run_command
    done
  done
}

# median NAME: "wall cpu peak", each the median over the rounds.
median() {
  local column values=()
  for column in 1 2 3; do
    values+=("$(awk -v c=$column '{ print $c }' "$work/$1.runs" | sort -g |
      awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')")
  done
  echo "${values[*]}"
}
