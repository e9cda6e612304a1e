#!/usr/bin/env bash
# Builds everything and runs every test: the unit tests natively and again under
# AddressSanitizer and LeakSanitizer, the static check of the 32-bit release exe, and the
# Windows tests under wine64 and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
need_packages "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

jobs=$(nproc)
for preset in host host-asan windows-x86 windows-x64; do
    echo "=== build: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
done

status=0
for preset in host host-asan windows-x86 windows-x64; do
    echo "=== test: $preset"
    ctest --test-dir "build/$preset" --output-on-failure || status=1
done
exit $status
