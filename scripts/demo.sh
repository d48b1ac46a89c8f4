#!/usr/bin/env bash
# Installs what is missing, builds Clipwatch and starts it on a local demo.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh release

echo "demo: the scanner, the service and the controller are not built yet;"
echo "demo: starting the program window alone (close it, or press Ctrl+C, to end)."
platform_args=()
[ -n "${DISPLAY:-}" ] || platform_args=(-platform offscreen)
if [ ${#platform_args[@]} -gt 0 ]; then
    timeout 5 build/clipwatch "${platform_args[@]}" || true
    echo "demo: no display: the program started offscreen and was closed after 5 s."
else
    build/clipwatch
fi
