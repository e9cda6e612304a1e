#!/usr/bin/env bash
# Builds everything and runs every test: the host's (also under ASan, LSan and UBSan), each
# Windows exe's under Wine and Xvfb, and the release files' (reproducible, and a package lintian
# and appstreamcli accept). Prints one pass/fail total.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
need_i386
need_packages "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}" "${WINE_PACKAGES[@]}" \
    "${WINE32_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

presets=(host host-asan windows-x86 windows-x64)
jobs=$(nproc)
for preset in "${presets[@]}"; do
    echo "=== build: $preset"
    cmake --preset "$preset" -DTAVRIN_TESTS=ON >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
done

status=0 passed=0 failed=0
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for preset in "${presets[@]}"; do
    echo "=== test: $preset"
    ctest --preset "$preset" 2>&1 | tee "$log" || status=1
    # "100% tests passed, 0 tests failed out of 41"
    summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -z "$summary" ]; then
        echo "no test summary from $preset"
        status=1
        continue
    fi
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    failures=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$summary")
    passed=$((passed + total - failures))
    failed=$((failed + failures))
done
echo "=== release files: reproducible, and a Debian package lintian and appstreamcli accept"
if bash tests/reproducible.sh; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
fi
echo "total: $passed passed, $failed failed"
[ "$failed" -eq 0 ] || status=1
exit $status
