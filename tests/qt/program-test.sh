#!/usr/bin/env bash
# The real program on an X display of its own (run under xvfb-run): the arguments Qt would
# take are ignored, so its window still comes up here, with its caption and an icon.
#   program-test.sh TAVRIN
set -u
caption=$(awk '$1 == "kFormCaption" {print $2}' "$(dirname "$0")/../data/texts.txt")
# Each of these would keep the window off this display or retitle it if Qt read it.
QT_QPA_PLATFORM=xcb "$1" -platform offscreen -display :12345 -qwindowtitle junk -style fusion \
    --reverse junk &
program=$!
trap 'kill $program 2>/dev/null' EXIT
window=$(timeout 30 xdotool search --sync --onlyvisible --name "^$caption\$" | head -n 1)
[ -n "$window" ] || { echo "FAIL: no window titled $caption on this display"; exit 1; }
xprop -id "$window" _NET_WM_ICON | grep -q '^_NET_WM_ICON(CARDINAL) = ' ||
    { echo "FAIL: the window has no icon"; exit 1; }
echo "ok: window $window"
