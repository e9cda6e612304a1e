#!/bin/sh
# Runs a Windows program under wine64 in a private Wine prefix made for this run alone, and
# exits with the program's exit status. CTest calls it as the cross-compiling emulator:
#   tests/wine-run.sh program.exe [arguments...]
#
# Environment:
#   WINEDLLOVERRIDES         passed on (after this script's own overrides, so it can undo them)
#   TAVRIN_WINE_KEEP_PREFIX  when set to 1, the prefix is kept and its path printed (debugging)
#   TMPDIR                   where the prefix is made (default /tmp)
set -u

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
if [ ! -x "$wine" ]; then
    echo "wine-run.sh: $wine not found" >&2
    exit 127
fi

prefix=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-wine.XXXXXX") || exit 125

finish() {
    # The prefix's own server only: other Wine sessions on the machine are left alone.
    WINEPREFIX="$prefix" "$wineserver" -k >/dev/null 2>&1
    WINEPREFIX="$prefix" "$wineserver" -w >/dev/null 2>&1
    if [ "${TAVRIN_WINE_KEEP_PREFIX:-0}" = 1 ]; then
        echo "wine-run.sh: prefix kept in $prefix" >&2
    else
        rm -rf "$prefix"
    fi
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# Wine makes the prefix on first use. Without Mono and Gecko it has nothing to offer to
# download, so it asks nothing.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

"$wine" "$@"
status=$?
exit "$status"
