#!/usr/bin/env bash
# Installs what is missing, builds Lumatrim and starts it: the window without arguments, the
# command-line tool with them (bash tools/run.sh reduce -o OUT FILES...).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DLUMATRIM_TESTS=OFF
cmake --build build/release -j"$(nproc)"
if [ $# -eq 0 ]; then
  exec build/release/app/lumatrim
fi
exec build/release/cli/lumatrim-cli "$@"
