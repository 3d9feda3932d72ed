#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (FUZZ_SECONDS, 60 by
# default), seeded with the test corpora. Any crash, hang, leak or wrong output fails the run; the
# input that showed it is left in build/fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
seconds="${FUZZ_SECONDS:-60}"

CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLUMATRIM_FUZZ=ON -DLUMATRIM_TESTS=OFF -DLUMATRIM_APP=OFF
cmake --build build/fuzz -j"$(nproc)" --target fuzz_reader fuzz_decoder fuzz_pipeline fuzz_best fuzz_lzw_choices

mkdir -p build/fuzz/artifacts
status=0
for target in fuzz_reader fuzz_decoder fuzz_pipeline fuzz_best fuzz_lzw_choices; do
  corpus="build/fuzz/corpus/$target"
  mkdir -p "$corpus"
  echo "== $target for ${seconds}s"
  if ! build/fuzz/fuzz/$target -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
      -dict=fuzz/gif.dict -artifact_prefix=build/fuzz/artifacts/ -print_final_stats=1 \
      "$corpus" tests/data/real tests/data/conformance tests/data/crashers \
      2> "build/fuzz/$target.log"; then
    tail -n 60 "build/fuzz/$target.log"
    status=1
  fi
  grep -E "stat::number_of_executed_units|Done" "build/fuzz/$target.log" || true
done
exit $status
