#!/usr/bin/env bash
# The cost of damaged inputs: every file of tests/data/crashers (small hand-made and fuzz-found
# files, some declaring hundreds of millions of pixels), the valid files of less than 1 MB that
# bench/make_valid_bombs.py writes (more than a gigapixel of real data each, and one with just
# fewer pixels a byte than --best reduces as by default beyond) and, when given,
# every file of more folders, reduced one at a time by default and with --best under GNU time,
# beside gifsicle -O1 on the same file. Prints each file's time and peak memory and the worst of each; fails when a
# file under 1 MB takes more than 2 s, or a run's peak memory passes the budget given.
#
#   bench/bounded_cost.sh [path/to/lumatrim-cli] [FOLDER...]
#   MAX_MEMORY=MIB (default 1024), LIMIT_SECONDS (default 2)
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cli="${1:-$root/build/release/cli/lumatrim-cli}"
shift || true
budget="${MAX_MEMORY:-1024}"
limit="${LIMIT_SECONDS:-2}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 "$root/bench/make_valid_bombs.py" "$work/valid" > /dev/null

status=0
worst_s=0 worst_kb=0 ours_total=0 theirs_total=0
printf '%-48s %8s %8s %8s %8s %8s\n' file bytes "s" "MiB" "best s" "best MiB"
for f in "$root"/tests/data/crashers/*.gif "$work"/valid/*.gif $(for d in "$@"; do find "$d" -type f; done); do
  size=$(stat -c %s "$f")
  row=()
  for mode in "" "--best"; do
    /usr/bin/time -f '%e %M' -o "$work/t" timeout 60 "$cli" reduce -q $mode \
      --max-memory "$budget" -o - "$f" > /dev/null 2>&1
    read -r s kb < <(tail -1 "$work/t")
    row+=("$s" "$((kb / 1024))")
    ours_total=$(echo "$ours_total + $s" | bc)
    if (( $(echo "$s > $worst_s" | bc) )); then worst_s=$s; fi
    if (( kb > worst_kb )); then worst_kb=$kb; fi
    if (( size < 1048576 )) && (( $(echo "$s > $limit" | bc) )); then
      echo "OVER ${limit}s: $f $mode ($s s)"; status=1
    fi
    if (( kb / 1024 > budget )); then echo "OVER ${budget} MiB: $f $mode ($((kb / 1024)) MiB)"; status=1; fi
  done
  /usr/bin/time -f '%e' -o "$work/g" timeout 60 gifsicle -O1 "$f" -o "$work/g.gif" > /dev/null 2>&1
  theirs_total=$(echo "$theirs_total + 2 * $(tail -1 "$work/g")" | bc)
  printf '%-48s %8s %8s %8s %8s %8s\n' "$(basename "$f")" "$size" "${row[@]}"
done
echo "worst: $worst_s s, $((worst_kb / 1024)) MiB (budget $budget MiB)"
echo "time, ours (default and --best) over gifsicle -O1 run twice: $ours_total s / $theirs_total s"
exit $status
