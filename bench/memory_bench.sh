#!/usr/bin/env bash
# Peak memory and time of `lumatrim-cli reduce -j1` beside `gifsicle -O1`, one file at a time, on
# long animations made by make_animation (giflib) and on the real corpus as one batch. Prints a
# Markdown table; every output is checked with gifdiff.
#
#   bench/memory_bench.sh [BUILD_DIR]        (default build/release; needs -DLUMATRIM_BENCH=ON)
#   BEFORE=/path/to/older/lumatrim-cli       adds that build's columns, for a before and after
#   FILES=DIR                                keeps the generated animations there between runs
#   SIZES="960x540x600 1000x1000x900 4096x4096x200"   the animations, WIDTHxHEIGHTxFRAMES
#   RUNS=N                                   best of N runs (default 1)
# Needs gifsicle and GNU time (Debian packages gifsicle and time). Times are CPU seconds (user +
# system), which a busy shared machine disturbs less than the wall clock.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
cli="$build/cli/lumatrim-cli"
make_animation="$build/bench/make_animation"
sizes="${SIZES:-960x540x600 1000x1000x900 4096x4096x200}"
runs="${RUNS:-1}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
files="${FILES:-$work/files}"
mkdir -p "$files"

# Best of the runs: "cpu-seconds peak-kib" of one command, or "failed" when it fails.
measure() {
  local best_cpu="" best_kib=""
  for _ in $(seq "$runs"); do
    if ! /usr/bin/time -f "%U %S %M" -o "$work/time" "$@" > /dev/null 2> "$work/stderr"; then
      echo "failed failed"
      return
    fi
    read -r user sys kib < <(tail -1 "$work/time")
    local cpu
    cpu=$(echo "$user + $sys" | bc)
    if [ -z "$best_cpu" ] || [ "$(echo "$cpu < $best_cpu" | bc)" = 1 ]; then best_cpu=$cpu; fi
    if [ -z "$best_kib" ] || [ "$kib" -lt "$best_kib" ]; then best_kib=$kib; fi
  done
  echo "$best_cpu $best_kib"
}

mib() { if [ "$1" = failed ]; then echo "refused"; else printf "%.1f" "$(echo "$1 / 1024" | bc -l)"; fi; }
mb() { printf "%.1f" "$(echo "$1 / 1000000" | bc -l)"; }
ratio() { if [ "$1" = failed ]; then echo "-"; else printf "%.2f" "$(echo "$1 / $2" | bc -l)"; fi; }

header="| input | frames | MB | lumatrim s | lumatrim MiB | gifsicle -O1 s | gifsicle MiB | time ratio |"
rule="|---|---|---|---|---|---|---|---|"
if [ -n "${BEFORE:-}" ]; then
  header="$header before s | before MiB | ratio before |"
  rule="$rule---|---|---|"
fi

# One row: label, frame count, input bytes, then the commands' output folders.
row() {
  local label=$1 frames=$2 bytes=$3
  shift 3
  read -r ours_cpu ours_kib < <(measure "$cli" reduce -j1 -o "$work/ours" "$@")
  rm -f "$work"/g1/*
  read -r g_cpu g_kib < <(measure gifsicle -O1 --no-warnings -o "$work/g1/out.gif" "$1")
  local line
  line="| $label | $frames | $(mb "$bytes") | $ours_cpu | $(mib "$ours_kib")"
  line="$line | $g_cpu | $(mib "$g_kib") | $(ratio "$ours_cpu" "$g_cpu") |"
  if [ -n "${BEFORE:-}" ]; then
    read -r b_cpu b_kib < <(measure "$BEFORE" reduce -j1 -o "$work/before" "$@")
    line="$line $b_cpu | $(mib "$b_kib") | $(ratio "$b_cpu" "$g_cpu") |"
  fi
  echo "$line"
}

mkdir -p "$work/ours" "$work/before" "$work/g1"
echo "$header"
echo "$rule"
for size in $sizes; do
  IFS=x read -r w h n <<< "$size"
  file="$files/anim-${w}x${h}x${n}.gif"
  [ -s "$file" ] || "$make_animation" "$file" "$w" "$h" "$n"
  row "${w}x${h}, generated" "$n" "$(stat -L -c %s "$file")" "$file"
  if ! gifdiff -w -B "$file" "$work/ours/$(basename "$file" .gif)-reduced.gif" > /dev/null; then
    echo "OUTPUT LOOKS DIFFERENT: $file" >&2
    exit 1
  fi
done

# The real corpus as one batch (gifsicle gets the files it reads without error, one run each).
mkdir -p "$work/corpus"
for f in "$root"/tests/data/real/*.gif; do
  if [ -z "$(gifsicle --info "$f" 2>&1 > /dev/null)" ]; then cp "$f" "$work/corpus/"; fi
done
count=$(ls "$work/corpus" | wc -l)
bytes=$(du -cb "$work"/corpus/*.gif | tail -1 | cut -f1)
# A file that does not load (one without frames) makes reduce answer 1; the batch still counts.
read -r ours_cpu ours_kib < <(measure bash -c "\"\$0\" reduce -j1 -o '$work/ours' '$work/corpus' || true" "$cli")
cat > "$work/gifsicle-all.sh" << EOF
for f in "$work"/corpus/*.gif; do gifsicle -O1 --no-warnings -o "$work/g1/out.gif" "\$f"; done
EOF
read -r g_cpu g_kib < <(measure bash "$work/gifsicle-all.sh")
line="| real corpus ($count files) | - | $(mb "$bytes") | $ours_cpu"
line="$line | $(mib "$ours_kib") | $g_cpu | $(mib "$g_kib") | $(ratio "$ours_cpu" "$g_cpu") |"
if [ -n "${BEFORE:-}" ]; then
  read -r b_cpu b_kib < <(measure bash -c "\"\$0\" reduce -j1 -o '$work/before' '$work/corpus' || true" "$BEFORE")
  line="$line $b_cpu | $(mib "$b_kib") | $(ratio "$b_cpu" "$g_cpu") |"
fi
echo "$line"
for f in "$work"/corpus/*.gif; do
  out="$work/ours/$(basename "$f" .gif)-reduced.gif"
  if [ -f "$out" ] && ! gifdiff -w -B "$f" "$out" > /dev/null; then
    echo "OUTPUT LOOKS DIFFERENT: $f" >&2
    exit 1
  fi
done
