#!/usr/bin/env bash
# Builds the release files (Tavrin-1.00-win32.zip, the release; -win64.zip; tavrin_1.00_amd64.deb)
# in build/release/ (or BUILD_DIR) and copies them with SHA256SUMS into OUT_DIR. Every timestamp
# is SOURCE_DATE_EPOCH, the last commit's unless set: the same commit gives the same bytes.
#
#   bash tools/release.sh OUT_DIR [BUILD_DIR]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)
build=${2:-$source_dir/build/release}
source "$source_dir/tools/deps.sh"
need_packages "${BUILD_PACKAGES[@]}"
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH

for preset in windows-x86 windows-x64 host; do
    cmake -S "$source_dir" -B "$build/$preset" --preset "$preset" -DTAVRIN_TESTS=OFF >/dev/null
    cmake --build "$build/$preset" -j "$(nproc)"
    (cd "$build/$preset" && cpack >/dev/null)
    cp "$build/$preset"/*.zip "$build/$preset"/*.deb "$out/" 2>/dev/null || true
done
(cd "$out" && sha256sum -- *.zip *.deb >SHA256SUMS && cat SHA256SUMS)
