#!/usr/bin/env bash
# Installs what building and running need if it is missing, builds Lumatrim and starts it from
# the caller's folder: the window without arguments, the command-line tool with them
# (bash tools/run.sh reduce -o OUT FILES...), so relative paths mean what the caller sees.
# LUMATRIM_BUILD names the build folder (default: build/release in the checkout).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${LUMATRIM_BUILD:-$root/build/release}"
# What comes before the program goes to standard error, so that standard output is the
# program's alone (reduce -o - writes the GIF there).
{
  bash "$root/tools/install-deps.sh" run
  # A folder configured before (by tools/test.sh, say) keeps its options.
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUMATRIM_TESTS=OFF
  fi
  cmake --build "$build" -j"$(nproc)" --target lumatrim lumatrim-cli
} >&2
if [ $# -eq 0 ]; then
  exec "$build/app/lumatrim"
fi
exec "$build/cli/lumatrim-cli" "$@"
