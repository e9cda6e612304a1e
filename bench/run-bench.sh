#!/usr/bin/env bash
# Builds the Windows benchmarks and runs them under wine64 in a Wine prefix of their own with 20
# removable drives (D: to W:), on a display of their own from xvfb-run as the tests get theirs;
# prints the figures. Nothing here passes or fails on a time or a size.
#
#   bash bench/run-bench.sh
# Environment: TAVRIN_BENCH_CLICK_ROUNDS (default 150) and TAVRIN_BENCH_LAUNCHES (default 40);
# TAVRIN_BENCH_NO_BUILD=1 takes the programs already in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
x64=build/windows-x64
if [ -z "${TAVRIN_BENCH_DISPLAY:-}" ]; then
    source tools/deps.sh
    need_packages "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}" "${WINE_PACKAGES[@]}" xvfb xauth
    if [ "${TAVRIN_BENCH_NO_BUILD:-0}" != 1 ]; then
        echo "=== build"
        cmake --preset windows-x64 >/dev/null
        cmake --build --preset windows-x64 -j 2 --target bench_click bench_startup
        cmake --preset windows-x86 >/dev/null
        cmake --build --preset windows-x86 -j 2 --target Tavrin
    fi
    TAVRIN_BENCH_DISPLAY=on exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$0"
fi

echo "=== set-up: Wine prefix, 20 removable drives"
source tools/wine-prefix.sh
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-bench.XXXXXX")
trap 'wine_prefix_end; rm -rf "$work"' EXIT
trap 'exit 143' INT TERM
wine_prefix_make "$work"
letters=(d e f g h i j k l m n o p q r s t u v w)
for i in "${!letters[@]}"; do
    # Serials on both sides of 2^31, so that negative and positive numbers both show.
    wine_drive "${letters[i]}" floppy "$(printf '%08x' $(((0x1F2E3D00 + i * 0x09A1B2C3) & 0xFFFFFFFF)))"
done
wine_prefix_ready

# Wine's management service says on stderr that it cannot read the label of Z: (the host's
# root); a benchmark's stderr is shown only when it fails.
run() {
    /usr/lib/wine/wine64 "$@" 2>"$work/stderr" | tr -d '\r' | tee -a "$work/figures" || {
        sed '/FS volume label and serial are not available/d' "$work/stderr" >&2
        echo "run-bench.sh: $1 failed" >&2
        exit 1
    }
}
echo "=== click: Command1_Click against the bare COM calls"
run "$x64/bench_click.exe" "${TAVRIN_BENCH_CLICK_ROUNDS:-150}"
echo "=== start-up and memory: Tavrin.exe against minimal_window.exe"
run "$x64/bench_startup.exe" "${TAVRIN_BENCH_LAUNCHES:-40}"

echo "=== figures ($(/usr/lib/wine/wine64 --version), $(nproc) cores," \
    "load $(cut -d ' ' -f 1-3 /proc/loadavg))"
grep '^|' "$work/figures"
cd build
stat -c '%s %n' windows-x86/Tavrin.exe windows-x64/{Tavrin,minimal_window}.exe 2>/dev/null |
    awk '{ printf "| size: %-34s | %7d bytes | %7.1f KiB |\n", $2, $1, $1 / 1024 }' || true
