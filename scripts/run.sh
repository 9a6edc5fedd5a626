#!/usr/bin/env bash
# Installs what is missing, builds Tapewise and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target tapewise
exec build/app/tapewise "$@"
