#!/usr/bin/env bash
# One long clip as users make them (ffmpeg's testsrc2, 600 frames of 960x540 through palettegen
# and paletteuse without dithering), reduced by lumatrim with one thread and with every core,
# default and --best, beside gifsicle -O1 and -O3, all in one run. Prints a Markdown table of
# wall time, peak memory and bytes, each time also as a ratio to gifsicle's; every output is
# checked with gifdiff and the outputs of all thread counts must be the same bytes.
#
#   bench/clip_bench.sh [BUILD_DIR]     (default build/release)
#   CLIP=FILE                           the clip to use (made once and kept there when missing)
#   RUNS=N                              best of N runs (default 1)
#   BEFORE=/path/to/older/lumatrim-cli  adds that build's rows, for a before and after
# Needs ffmpeg, gifsicle and GNU time (Debian packages ffmpeg, gifsicle and time).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
cli="$build/cli/lumatrim-cli"
runs="${RUNS:-1}"
threads="$(nproc)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
clip="${CLIP:-$work/clip.gif}"

if [ ! -s "$clip" ]; then
  ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=960x540:rate=30:duration=20 \
    -vf "split[a][b];[a]palettegen=stats_mode=full[p];[b][p]paletteuse=dither=none" "$clip"
fi

# Best of the runs: "wall-seconds peak-kib" of one command.
measure() {
  local best_wall="" best_kib=""
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null 2> "$work/stderr" || {
      cat "$work/stderr" >&2
      exit 1
    }
    read -r wall kib < <(tail -1 "$work/time")
    if [ -z "$best_wall" ] || [ "$(echo "$wall < $best_wall" | bc)" = 1 ]; then best_wall=$wall; fi
    if [ -z "$best_kib" ] || [ "$kib" -lt "$best_kib" ]; then best_kib=$kib; fi
  done
  echo "$best_wall $best_kib"
}

mib() { printf "%.1f" "$(echo "$1 / 1024" | bc -l)"; }
ratio() { printf "%.2f" "$(echo "$1 / $2" | bc -l)"; }

declare -A wall kib bytes
run() {
  local name=$1 out=$2
  shift 2
  read -r "wall[$name]" "kib[$name]" < <(measure "$@")
  bytes[$name]=$(stat -c %s "$out")
  if ! gifdiff -w -B "$clip" "$out" > /dev/null; then
    echo "OUTPUT LOOKS DIFFERENT: $name" >&2
    exit 1
  fi
}

run "gifsicle -O1" "$work/g1.gif" gifsicle -O1 --no-warnings -o "$work/g1.gif" "$clip"
run "gifsicle -O3" "$work/g3.gif" gifsicle -O3 --no-warnings -o "$work/g3.gif" "$clip"
commands=()
for mode in "" "--best"; do
  for j in 1 "$threads"; do
    name="reduce $mode -j$j"
    name="${name//  / }"
    out="$work/ours${mode}-j$j.gif"
    # shellcheck disable=SC2086
    run "$name" "$out" "$cli" reduce $mode -j"$j" -o "$out" "$clip"
    commands+=("$name")
    if [ -n "${BEFORE:-}" ]; then
      run "before: $name" "$work/before.gif" "$BEFORE" reduce $mode -j"$j" -o "$work/before.gif" "$clip"
      commands+=("before: $name")
    fi
  done
  if ! cmp -s "$work/ours${mode}-j1.gif" "$work/ours${mode}-j$threads.gif"; then
    echo "THREADS CHANGED THE BYTES: reduce $mode" >&2
    exit 1
  fi
done

echo "clip: $(stat -c %s "$clip") bytes, $threads cores, best of $runs"
echo
echo "| command | wall s | x gifsicle -O1 | x gifsicle -O3 | peak MiB | bytes | x -O3 bytes |"
echo "|---|---|---|---|---|---|---|"
for name in "gifsicle -O1" "gifsicle -O3" "${commands[@]}"; do
  echo "| $name | ${wall[$name]} | $(ratio "${wall[$name]}" "${wall[gifsicle -O1]}")" \
    "| $(ratio "${wall[$name]}" "${wall[gifsicle -O3]}") | $(mib "${kib[$name]}")" \
    "| ${bytes[$name]} | $(printf "%.4f" "$(echo "${bytes[$name]} / ${bytes[gifsicle -O3]}" | bc -l)") |"
done
