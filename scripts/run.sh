#!/usr/bin/env bash
# Installs what is missing, builds Tapewise and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
# What `cmake --install build` installs: the desktop program and the command-line tool.
cmake --build build -j"$(nproc)" --target tapewise tapewise-cli
exec build/app/tapewise "$@"
