#!/usr/bin/env bash
# Runs the recipe of docs/scale-out.md as it stands, with two local parallel workers instead of
# remote machines and batches small enough that several jobs run, and checks its report: one
# JSON line per input, every file saved, and every output looks like its input.
# Usage: scale_out_recipe.sh LUMATRIM_CLI_DIR DOC CORPUS_FOLDER
set -euo pipefail
cli_dir=$1 doc=$2 corpus=$3
command -v parallel >/dev/null || { echo "GNU parallel is missing (tools/install-deps.sh)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/gifs/a" "$work/gifs/b c"
n=0
for f in "$corpus"/*.gif; do
  n=$((n + 1))
  [ $n -le 12 ] || break
  # Same names in two folders, and a name with a space and a newline.
  cp "$f" "$work/gifs/a/$n.gif"
  cp "$f" "$work/gifs/b c/$n.gif"
done
cp "$corpus"/wuffs-hat.gif "$work/gifs/b c/odd
name.gif"
inputs=$(find "$work/gifs" -type f -name '*.gif' -print0 | tr -cd '\0' | wc -c)

# The recipe is the first sh block; its three settings are replaced by ours.
recipe=$(awk '/^```sh$/ && !done {on=1; next} /^```$/ && on {on=0; done=1} on' "$doc" |
  grep -v -E '^(GIFS|OUT|HOSTS)=' | sed 's/-N 1000/-N 5/')
export GIFS="$work/gifs" OUT="$work/out" HOSTS="2/:" PATH="$cli_dir:$PATH"
export PARALLEL="--will-cite"
mkdir -p "$OUT"
bash -euo pipefail -c "$recipe"

python3 - "$OUT.jsonl" "$inputs" <<'PY'
import json, sys
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
records = [json.loads(line) for line in lines]
assert len(records) == int(sys.argv[2]), f"{len(records)} lines for {sys.argv[2]} files"
assert len({r["file"] for r in records}) == len(records), "a file was reported twice"
failed = [r["file"] for r in records if not r["saved"]]
assert not failed, f"not saved: {failed}"
PY
python3 - "$OUT.jsonl" <<'PY' > "$work/pairs"
import json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    r = json.loads(line)
    sys.stdout.write(r["file"] + "\0" + r["output"] + "\0")
PY
while IFS= read -r -d '' input && IFS= read -r -d '' output; do
  # gifdiff judges only files it reads without error itself (it may report one and still answer 0).
  [ -z "$(gifdiff -w -B "$input" "$input" 2>&1)" ] || continue
  gifdiff -w -B "$input" "$output" >/dev/null || { echo "looks different: $input"; exit 1; }
done < "$work/pairs"
jobs=$(($(wc -l < "$OUT.joblog") - 1))
[ "$jobs" -ge 2 ] || { echo "expected several batches, got $jobs"; exit 1; }
echo "scale-out recipe: $inputs files in $jobs batches"
