#!/usr/bin/env bash
# CTest's emulator: runs a Windows program under Wine in a prefix of this run's own,
#   tests/wine-run.sh LOADER program.exe [arguments...]
# LOADER is /usr/lib/wine/wine64 or /usr/lib/wine/wine (one WoW64 prefix). Every run has the
# drives below, whose directories TAVRIN_WINE_DRIVES gives the program (a Windows path, one
# directory per lower-case letter), so that it can pull one by renaming it.
# TAVRIN_WINE_DISPLAY=1 gives it an Xvfb display of its own, else none. Exits with the program's status, 77 without Wine or Xvfb, 125
# when the set-up fails.
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
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$work"
    exit $status
}
trap finish EXIT
trap 'exit 143' INT TERM

if [ $display = 1 ]; then
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
        >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    timeout 20 sh -c 'until grep -q "^[0-9]" "$1" 2>/dev/null; do sleep 0.1; done' - "$work/display"
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
