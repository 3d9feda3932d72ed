#!/usr/bin/env bash
# Times the whole batch over the real corpus, side by side with gifsicle, and totals the output
# bytes of each. Usage: bench/reduce_batch.sh [path/to/lumatrim-cli]
# Needs hyperfine and gifsicle (Debian packages of the same names).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cli="${1:-$root/build/release/cli/lumatrim-cli}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Files gifsicle reads without error, so that every tool gets the same work.
mkdir -p "$work/in"
for f in "$root"/tests/data/real/*.gif; do
  if [ -z "$(gifsicle --info "$f" 2>&1 >/dev/null)" ]; then cp "$f" "$work/in/"; fi
done
count=$(ls "$work/in" | wc -l)
echo "files: $count ($(du -cb "$work"/in/*.gif | tail -1 | cut -f1) bytes)"

for d in serial parallel masked o1 o3; do mkdir -p "$work/$d"; done
# gifsicle -b rewrites its inputs in place: each run starts from fresh copies (not timed).
hyperfine -i --warmup 1 --runs "${RUNS:-5}" --export-markdown "$work/times.md" \
  --prepare true --prepare true \
  --prepare "cp $work/in/*.gif $work/o1/" --prepare "cp $work/in/*.gif $work/o3/" \
  -n "lumatrim -j 1" "$cli reduce -j 1 -o $work/serial $work/in > /dev/null" \
  -n "lumatrim -j $(nproc)" "$cli reduce -o $work/parallel $work/in > /dev/null" \
  -n "gifsicle -O1" "gifsicle -b -O1 $work/o1/*.gif" \
  -n "gifsicle -O3" "gifsicle -b -O3 $work/o3/*.gif"
# Files that do not load (a file without frames) make the exit status 1; the sizes still count.
"$cli" reduce -j 1 --mode mask --second-pass -o "$work/masked" "$work/in" > /dev/null || true

total() { du -cb "$1"/*.gif | tail -1 | cut -f1; }
echo
cat "$work/times.md"
echo
echo "output bytes:"
echo "  lumatrim (default)           $(total "$work/serial")"
echo "  lumatrim --mode mask --second-pass $(total "$work/masked")"
echo "  gifsicle -O1                 $(total "$work/o1")"
echo "  gifsicle -O3                 $(total "$work/o3")"
