#!/usr/bin/env bash
# Builds the benchmarks and runs them under wine64, in a Wine prefix of their own with 20
# removable drives (D: to W:), on an X server of their own; prints a table of figures. The
# figures are for reading: nothing here passes or fails on a time or a size.
#
#   bash bench/run-bench.sh
#
# Environment:
#   TAVRIN_BENCH_CLICK_ROUNDS  rounds of click against bare calls (default 150)
#   TAVRIN_BENCH_LAUNCHES      launches of each program for start-up (default 40)
#   TAVRIN_BENCH_NO_BUILD      when set to 1, use the programs already in build/
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

click_rounds=${TAVRIN_BENCH_CLICK_ROUNDS:-150}
launches=${TAVRIN_BENCH_LAUNCHES:-40}
wine=/usr/lib/wine/wine64
x64="$root/build/windows-x64"
x86="$root/build/windows-x86"

# shellcheck source=tools/deps.sh
source tools/deps.sh
need_packages "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}" xvfb

# --- build ---------------------------------------------------------------------------------
if [ "${TAVRIN_BENCH_NO_BUILD:-0}" != 1 ]; then
    echo "=== build"
    cmake --preset windows-x64 >/dev/null
    cmake --build --preset windows-x64 -j 2 --target Tavrin bench_click bench_startup \
        minimal_window
    cmake --preset windows-x86 >/dev/null
    cmake --build --preset windows-x86 -j 2 --target Tavrin
fi

# --- a private prefix, display and drives ----------------------------------------------------
# The prefix and its drives are made the way the tests make them.
source tools/wine-prefix.sh
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-bench.XXXXXX")
xvfb_pid=""

finish() {
    set +e
    wine_prefix_end
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

echo "=== set-up: X server, Wine prefix, 20 removable drives"
# Xvfb picks a free display itself and writes its number to descriptor 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
        cat "$work/xvfb.log" >&2
        echo "run-bench.sh: Xvfb did not start" >&2
        exit 1
    fi
    sleep 0.1
done
export DISPLAY=":$(head -n 1 "$work/display")"

wine_prefix_make "$work"
index=0
for letter in d e f g h i j k l m n o p q r s t u v w; do
    # Serials on both sides of 2^31, so that negative and positive numbers both show.
    wine_drive "$letter" floppy "$(printf '%08x' $(((0x1F2E3D00 + index * 0x09A1B2C3) & 0xFFFFFFFF)))"
    index=$((index + 1))
done
wine_prefix_ready

# --- the benchmarks --------------------------------------------------------------------------
# Wine's WMI provider reports, on stderr, that it cannot read the Z: (host root) volume's
# label; the programs' stderr goes to a log that is shown only when they fail.
run() {
    local log=$1
    shift
    if ! "$wine" "$@" 2>"$work/$log.err" | tr -d '\r' >"$work/$log.out"; then
        cat "$work/$log.out"
        grep -v 'FS volume label and serial are not available' "$work/$log.err" >&2 || true
        echo "run-bench.sh: $1 failed" >&2
        exit 1
    fi
    cat "$work/$log.out"
}

echo "=== click: Command1_Click against the bare COM calls ($click_rounds rounds)"
run click "$x64/bench_click.exe" "$click_rounds" 3 10
echo
echo "=== start-up and memory: Tavrin.exe against minimal_window.exe ($launches launches each)"
run startup "$x64/bench_startup.exe" "$launches"

# --- sizes -----------------------------------------------------------------------------------
size_row() {
    local label=$1 file=$2
    if [ -f "$file" ]; then
        local bytes
        bytes=$(stat -c %s "$file")
        awk -v label="$label" -v bytes="$bytes" \
            'BEGIN { printf "| %-32s | %8d bytes | %8.1f KiB |\n", label, bytes, bytes / 1024 }'
    else
        printf '| %-32s | not built |\n' "$label"
    fi
}

echo
echo "=== figures (wine: $("$wine" --version), $(nproc) cores, load: $(cut -d ' ' -f 1-3 /proc/loadavg))"
grep -h '^|' "$work/click.out" "$work/startup.out"
size_row "size: Tavrin.exe (x86)" "$x86/Tavrin.exe"
size_row "size: Tavrin.exe (x64)" "$x64/Tavrin.exe"
size_row "size: minimal_window.exe (x64)" "$x64/minimal_window.exe"
echo "(targets: click within 1.10x of the bare calls, start-up within 1.2x of the minimal window,"
echo " the 32-bit Tavrin.exe under 200 KiB; ratios are from this one run, times vary with the load)"
