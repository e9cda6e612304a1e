#!/usr/bin/env bash
# The real program ignores Qt's arguments: its window comes up here, titled, with an icon.
set -u
QT_QPA_PLATFORM=xcb "$1" -platform offscreen -display :12345 -qwindowtitle junk -style fusion \
    --reverse junk &
trap "kill $! 2>/dev/null" EXIT
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^TavrinV2$' | head -n 1)
[ -n "$window" ] && xprop -id "$window" _NET_WM_ICON | grep -q '^_NET_WM_ICON(CARDINAL) = '
