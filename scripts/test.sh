#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. a Release build of every target, warnings as errors, to show the tree builds as users build it;
#   2. the libFuzzer targets of the tape readers and of the decoder, each for a short while;
#   3. the whole tree under AddressSanitizer and UndefinedBehaviorSanitizer, warnings as errors, and
#      every test on it: unit tests, Qt widget tests offscreen, command-line and end-to-end tests
#      (these start and stop their own sound server and X server).
# The run ends with ctest's summary of the sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs="$(nproc)"
strict=(-DCMAKE_COMPILE_WARNING_AS_ERROR=ON)

echo "== Release build of every target"
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release "${strict[@]}" >/dev/null
cmake --build build-release -j"$jobs"

if [ -d fuzz ] && [ -f fuzz/CMakeLists.txt ]; then
  echo "== Fuzzers"
  cmake -S . -B build-fuzz -DTAPEWISE_CORE_ONLY=ON -DTAPEWISE_FUZZ=ON "${strict[@]}" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build-fuzz -j"$jobs"
  ctest --test-dir build-fuzz -L fuzz --output-on-failure
fi

echo "== Sanitizer build of everything, and every test on it"
cmake -S . -B build-asan -DTAPEWISE_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo "${strict[@]}" \
  >/dev/null
cmake --build build-asan -j"$jobs"
# Leaks inside system libraries (the D-Bus client that Qt's platform code opens) are not ours.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# A test that fails is run once more: the end-to-end tests play sound in real time on a 2-core
# machine, and gui_pulse once lost its last block in a full run (it passed in four runs since);
# a fault in the program fails both runs.
ctest --test-dir build-asan -j"$jobs" --output-on-failure --repeat until-pass:2
