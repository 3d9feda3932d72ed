#!/usr/bin/env bash
# Fails when an include runs up a layer. The core's layers, lowest first: raster, gif, then
# playback and optimizer side by side; the front ends (cli, app) sit on top and never on each other.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
  [raster]="raster"
  [gif]="raster gif"
  [playback]="raster gif playback"
  [optimizer]="raster gif optimizer"
  [cli]="raster gif playback optimizer cli"
  [app]="raster gif playback optimizer app"
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
