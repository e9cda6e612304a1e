#!/usr/bin/env bash
# Builds the Linux program and the start-up benchmark, and runs it on an X server of its own.
# The figures are for reading: nothing here passes or fails on a time.
#
#   bash bench/qt/run-bench.sh [launches each]
set -euo pipefail
cd "$(dirname "$0")/../.."
launches=${1:-20}

cmake --preset host >/dev/null
cmake --build --preset host -j 2 --target bench_startup_qt

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>/tmp/tavrin-bench-display.$$ \
    >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -f /tmp/tavrin-bench-display.$$' EXIT
for _ in $(seq 100); do
    [ -s /tmp/tavrin-bench-display.$$ ] && break
    sleep 0.1
done
DISPLAY=:$(cat /tmp/tavrin-bench-display.$$) build/host/bench_startup_qt "$launches"
