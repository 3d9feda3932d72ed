#!/usr/bin/env bash
# Fails when an include runs up a layer. The core's layers, lowest first: raster and files side by
# side, gif, then playback and optimizer side by side, best, and reduction; the front ends (cli,
# app) sit on top and never on each other.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
  [raster]="raster"
  [files]="raster files"
  [gif]="raster files gif"
  [playback]="raster files gif playback"
  [optimizer]="raster files gif optimizer"
  [best]="raster files gif playback optimizer best"
  [reduction]="raster files gif playback optimizer best reduction"
  [cli]="raster files gif playback optimizer best reduction cli"
  [app]="raster files gif playback optimizer best reduction app"
)

status=0
for layer in "${!allowed[@]}"; do
  [ -d "$layer" ] || continue
  while IFS=: read -r file line include; do
    target=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$include")
    if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
      echo "$file:$line: $layer/ may not include $target/: $include"
      status=1
    fi
  done < <(grep -rnE '^#include "[a-z_]+/' "$layer" --include='*.h' --include='*.cpp' || true)
done
[ $status -eq 0 ] && echo "layers: every include looks down"
exit $status
