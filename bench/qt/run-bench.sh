#!/usr/bin/env bash
# Builds the Linux program and its start-up benchmark and runs it on a display of its own from
# xvfb-run, as the Qt test gets its. Nothing here passes or fails on a time.
#
#   bash bench/qt/run-bench.sh [launches each]
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset host >/dev/null
cmake --build --preset host -j 2 --target bench_startup_qt
xvfb-run -a -s "-screen 0 1024x768x24" build/host/bench_startup_qt "${1:-20}"
