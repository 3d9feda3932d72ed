#!/usr/bin/env bash
# Checks that tools/run.sh starts the programs from the caller's folder, so that relative paths
# are the caller's, and that its standard output is the program's alone. Run by ctest on a built
# folder (the argument), where everything run.sh would install is present.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "$1" && pwd)"
caller="$(mktemp -d)"
trap 'rm -rf "$caller"' EXIT
cp "$build/app/Samples/ball-changed-area.gif" "$caller/in.gif"
mkdir "$caller/out"
cd "$caller"
export LUMATRIM_BUILD="$build"

bash "$root/tools/run.sh" --version >version 2>log
"$build/cli/lumatrim-cli" --version >expected
cmp version expected || { echo "run.sh --version wrote more than the program:"; cat version; exit 1; }

if ! bash "$root/tools/run.sh" reduce -o out in.gif >/dev/null 2>>log || [ ! -f out/in-reduced.gif ]; then
  echo "run.sh reduce -o out in.gif did not write ./out/in-reduced.gif in the caller's folder:"
  tail -5 log
  exit 1
fi
echo "run.sh keeps the caller's folder"
