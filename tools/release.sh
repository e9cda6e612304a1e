#!/usr/bin/env bash
# Builds the release files from this tree, in build/release/ (or BUILD_DIR), and copies them
# with their SHA-256 sums into OUT_DIR:
#
#   bash tools/release.sh OUT_DIR [BUILD_DIR]
#
#   Tavrin-1.00-win32.zip   the 32-bit exe (the release) and its read-me
#   Tavrin-1.00-win64.zip   the 64-bit exe and its read-me
#   tavrin_1.00_amd64.deb   the Linux program
#   SHA256SUMS
#
# Every timestamp in them is SOURCE_DATE_EPOCH: the time of the last commit unless it is set.
# Built from the same commit, the files are the same bytes wherever and whenever they are made.
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
