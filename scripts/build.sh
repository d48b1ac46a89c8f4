#!/usr/bin/env bash
# Builds Clipwatch: a Release build in build/ and, unless given "release", an
# AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs"

if [ "${1:-all}" != "release" ]; then
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCLIPWATCH_SANITIZE=ON >/dev/null
    cmake --build build-asan -j "$jobs"
fi
