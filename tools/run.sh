#!/usr/bin/env bash
# Builds the program and starts it: the 64-bit Windows build under wine64.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
need_packages "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"

cmake --preset windows-x64 -DTAVRIN_TESTS=OFF >/dev/null
cmake --build --preset windows-x64 --target Tavrin

if [ -z "${DISPLAY:-}" ]; then
    echo "No display: set DISPLAY to an X server to see the window." >&2
    exit 1
fi
export WINEPREFIX="${WINEPREFIX:-$HOME/.local/share/tavrin/wineprefix}"
mkdir -p "$WINEPREFIX"
WINEDEBUG=-all exec /usr/lib/wine/wine64 build/windows-x64/Tavrin.exe
