#!/usr/bin/env bash
# The real program under xvfb-run: it ignores the arguments Qt would take (each would keep its
# window off this display or retitle it), so its window comes up here, titled, with an icon.
set -u
caption=$(awk '$1 == "kFormCaption" {print $2}' "$(dirname "$0")/../data/texts.txt")
QT_QPA_PLATFORM=xcb "$1" -platform offscreen -display :12345 -qwindowtitle junk -style fusion \
    --reverse junk &
trap "kill $! 2>/dev/null" EXIT
window=$(timeout 30 xdotool search --sync --onlyvisible --name "^$caption\$" | head -n 1)
[ -n "$window" ] && xprop -id "$window" _NET_WM_ICON | grep -q '^_NET_WM_ICON(CARDINAL) = ' ||
    { echo "FAIL: no window titled $caption with an icon on this display"; exit 1; }
