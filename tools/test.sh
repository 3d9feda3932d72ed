#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: in the release configuration
# and under AddressSanitizer and UndefinedBehaviorSanitizer; then the tests of work done on
# several threads once more under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh test
jobs="$(nproc)"

# Tests on explicitly: tools/run.sh may have configured build/release without them.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DLUMATRIM_TESTS=ON
cmake --build build/release -j"$jobs"
ctest --test-dir build/release --output-on-failure --no-tests=error -j"$jobs"
# The Debian package of the release build, and what it holds.
timeout 600 bash tools/package.sh build/release

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DLUMATRIM_SANITIZE=ON -DLUMATRIM_TESTS=ON
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/sanitize --output-on-failure --no-tests=error -j"$jobs"

# The window's tests run its work on threads of Qt's own; the core's threads are what TSan checks.
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMATRIM_TSAN=ON -DLUMATRIM_TESTS=ON \
  -DLUMATRIM_APP=OFF
cmake --build build/tsan -j"$jobs"
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build/tsan --output-on-failure --no-tests=error \
  -j"$jobs" -R 'WorkPool|FrameCache|Parallel|Pipeline|ReduceCommand|BestReduction|Threads'
