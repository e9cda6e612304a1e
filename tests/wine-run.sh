#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix made for this run alone and exits
# with the program's status. CTest calls it as the cross-compiling emulator:
#
#   tests/wine-run.sh LOADER program.exe [arguments...]
#
# LOADER is /usr/lib/wine/wine64 for 64-bit programs, /usr/lib/wine/wine for 32-bit ones
# (both run in the same WoW64 prefix). Every run has these drives (see wine-prefix.sh):
#
#   E: removable c0ffee00   F: removable, nothing inserted   G: removable 80000000
#   H: fixed 12345678       I: removable 7fffffff
#
# and tells the program where their directories are in TAVRIN_WINE_DRIVES (a Windows path,
# one directory per lower-case letter), so that it can pull one by renaming it.
# Environment:
#   TAVRIN_WINE_DISPLAY=1  an Xvfb display of the run's own, on a number Xvfb picks; else none
#   WINEDLLOVERRIDES       passed on
# Exit status: the program's; 77 when Wine or Xvfb is missing; 125 when the set-up fails.
set -uo pipefail
source "$(dirname "$0")/wine-prefix.sh"

loader=$1
shift
display=${TAVRIN_WINE_DISPLAY:-0}
if [ ! -x "$loader" ] || { [ $display = 1 ] && ! command -v Xvfb >/dev/null; }; then
    echo "wine-run.sh: $loader or Xvfb is missing" >&2
    exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-wine.XXXXXX") || exit 125
xvfb=""
finish() {
    local status=$?
    wine_prefix_end
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null
        wait "$xvfb" 2>/dev/null
    fi
    rm -rf "$work"
    exit $status
}
trap finish EXIT
trap 'exit 143' INT TERM

if [ $display = 1 ]; then
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
        >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    for _ in $(seq 200); do
        grep -q '^[0-9]' "$work/display" 2>/dev/null && break
        sleep 0.1
    done
    grep -q '^[0-9]' "$work/display" || { cat "$work/xvfb.log" >&2; exit 125; }
    export DISPLAY=":$(head -n 1 "$work/display")"
else
    unset DISPLAY
fi

wine_prefix_make "$work" || { cat "$work/wineboot.log" >&2; exit 125; }
wine_drive e floppy c0ffee00
wine_drive f floppy missing
wine_drive g floppy 80000000
wine_drive h hd 12345678
wine_drive i floppy 7fffffff
wine_prefix_ready
export TAVRIN_WINE_DRIVES="Z:${work//\//\\}\\drives"

"$loader" "$@"
