#!/usr/bin/env bash
# Makes the README's screenshot, docs/screenshot.png: Tavrin under wine64 on Xvfb after a click,
# with the report of three drives in it, cropped to the window.
#
#   tests/e2e/screenshot.sh [BUILD_DIR] [OUT.png]
#
# BUILD_DIR is a windows-x64 build (default build/windows-x64), built here when needed.
# Needs xvfb and imagemagick, and the fonts the tests need (fonts-wqy-zenhei, fonts-wine).
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$source_dir/build/windows-x64}
out=${2:-$source_dir/docs/screenshot.png}

if [ ! -f "$build/CMakeCache.txt" ]; then
    (cd "$source_dir" && cmake --preset windows-x64 >/dev/null)
fi
cmake --build "$build" -j2 --target Tavrin tavrin_e2e

exec "$source_dir/tests/e2e/run-e2e.sh" --driver "$build/tavrin_e2e.exe" \
    --tavrin "$build/Tavrin.exe" --drives several --dpi 96 --screenshot "$out"
