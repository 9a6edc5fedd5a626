#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. the std-only core under AddressSanitizer and UndefinedBehaviorSanitizer;
#   2. the libFuzzer targets of the tape readers, each for a short while;
#   3. the full build: unit tests, Qt widget tests offscreen, command-line and end-to-end tests
#      (these start and stop their own sound server and X server).
# The run ends with ctest's summary of the full build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs="$(nproc)"

echo "== Sanitizer build of the core"
cmake -S . -B build-asan -DTAPEWISE_CORE_ONLY=ON -DTAPEWISE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan -j"$jobs" --output-on-failure

if [ -d fuzz ] && [ -f fuzz/CMakeLists.txt ]; then
  echo "== Fuzzers"
  cmake -S . -B build-fuzz -DTAPEWISE_CORE_ONLY=ON -DTAPEWISE_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build-fuzz -j"$jobs"
  ctest --test-dir build-fuzz -L fuzz --output-on-failure
fi

echo "== Full build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build -j"$jobs" --output-on-failure
