#!/usr/bin/env bash
# Makes the README's screenshots: the Windows window under wine64 (docs/screenshot.png) and
# the Linux window at scale 2 (docs/screenshot-linux.png), each after a click that found three
# sticks, cropped to the window. Builds what it needs first.
#
#   bash tools/screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${TAVRIN_SCREENSHOT_DISPLAY:-}" ]; then
    source tools/deps.sh
    need_packages "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}" "${WINE_PACKAGES[@]}" xvfb xauth \
        xdotool imagemagick umockdev
    cmake --preset windows-x64 >/dev/null
    cmake --build --preset windows-x64 --target Tavrin
    cmake --preset host >/dev/null
    cmake --build --preset host --target tavrin
    # On a display of its own, as the tests get theirs.
    TAVRIN_SCREENSHOT_DISPLAY=on exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$0"
fi

source tools/wine-prefix.sh
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-screenshots.XXXXXX")
program=""
trap '[ -z "$program" ] || kill "$program" 2>/dev/null; wine_prefix_end; rm -rf "$work"' EXIT

# Clicks the button of Tavrin's window, found by the caption the program's texts give it, and
# captures the window into $1.
caption=$(sed -n 's/.*kFormCaption = u"\(.*\)";/\1/p' resources/strings.h)
shoot() {
    local window
    window=$(xdotool search --sync --onlyvisible --name "^$caption\$" | head -n 1)
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove "$((X + WIDTH / 2))" "$((Y + HEIGHT * 83 / 100))" click 1
    xdotool mousemove 0 0
    sleep 2
    import -window "$window" "$1"
    echo "wrote $1"
}

wine_prefix_make "$work"
wine_drive e floppy c0ffee00
wine_drive f floppy 7fffffff
wine_drive g floppy 0134b4c8
wine_prefix_ready
/usr/lib/wine/wine64 build/windows-x64/Tavrin.exe &
program=$!
shoot docs/screenshot.png
kill "$program"
wine_prefix_end

# Three mocked sticks, and udev's database for them in a /run of the program's own, as the udev
# test stages it where no udev runs (an entry marks a device initialized; the properties are in
# the mocked uevent files).
beds=tests/udev/testbeds
QT_SCALE_FACTOR=2 unshare -rm sh -c 'mount -t tmpfs tmpfs /run && mkdir -p /run/udev/data &&
    for device in 8:16 8:17 8:32 8:33 8:48 8:49; do printf "I:1\nV:1\n" >/run/udev/data/b$device; done &&
    exec umockdev-run -d "$0/fat_stick.umockdev" -d "$0/exfat_stick.umockdev" \
        -d "$0/ntfs_stick.umockdev" -- build/host/tavrin' "$beds" &
program=$!
shoot docs/screenshot-linux.png
