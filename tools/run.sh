#!/usr/bin/env bash
# Builds the program and starts it: the native Linux build by default, or with --windows the
# 64-bit Windows build under wine64.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: run this in a desktop session (or set DISPLAY to an X server)." >&2
fi

if [ "${1:-}" != "--windows" ]; then
    need_packages "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"
    cmake --preset host -DTAVRIN_TESTS=OFF >/dev/null
    cmake --build --preset host --target tavrin
    exec build/host/tavrin
fi

need_packages "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}" "${WINE_PACKAGES[@]}"
cmake --preset windows-x64 -DTAVRIN_TESTS=OFF >/dev/null
cmake --build --preset windows-x64 --target Tavrin
export WINEPREFIX="${WINEPREFIX:-$HOME/.local/share/tavrin/wineprefix}"
mkdir -p "$WINEPREFIX"
WINEDEBUG=-all exec /usr/lib/wine/wine64 build/windows-x64/Tavrin.exe
