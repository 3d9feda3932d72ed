#!/usr/bin/env bash
# Installs what is missing, builds Lumatrim and starts it. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DLUMATRIM_TESTS=OFF
cmake --build build/release -j"$(nproc)"
if [ $# -eq 0 ]; then
  exec build/release/cli/lumatrim-cli --help
fi
exec build/release/cli/lumatrim-cli "$@"
