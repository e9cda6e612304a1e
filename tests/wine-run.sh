#!/usr/bin/env bash
# CTest's emulator: runs a Windows program under Wine in a prefix of this run's own,
#   tests/wine-run.sh LOADER program.exe [arguments...]
# LOADER is /usr/lib/wine/wine64 or /usr/lib/wine/wine (one WoW64 prefix). Every run has the
# drives below, whose directories TAVRIN_WINE_DRIVES gives the program (a Windows path, one
# directory per lower-case letter), so that it can pull one by renaming it.
# TAVRIN_WINE_DISPLAY=1 gives it an Xvfb display of its own (xvfb-run picks a free number),
# else none. Exits with the program's status, 77 without Wine or Xvfb, 125 when the set-up fails.
set -uo pipefail
source "$(dirname "$0")/../tools/wine-prefix.sh"

display=${TAVRIN_WINE_DISPLAY:-0}
if [ ! -x "$1" ] || { [ "$display" = 1 ] && ! command -v xvfb-run >/dev/null; }; then
    echo "wine-run.sh: $1 or xvfb-run is missing" >&2
    exit 77
elif [ "$display" = 1 ]; then
    TAVRIN_WINE_DISPLAY=on exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0" "$@"
elif [ "$display" != on ]; then
    unset DISPLAY
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-wine.XXXXXX") || exit 125
trap 'status=$?; wine_prefix_end; rm -rf "$work"; exit $status' EXIT
trap 'exit 143' INT TERM

wine_prefix_make "$work" || { cat "$work/wineboot.log" >&2; exit 125; }
wine_drive e floppy c0ffee00
wine_drive f floppy missing
wine_drive g floppy 80000000
wine_drive h hd 12345678
wine_drive i floppy 7fffffff
wine_prefix_ready
export TAVRIN_WINE_DRIVES="Z:${work//\//\\}\\drives"

"$@"
