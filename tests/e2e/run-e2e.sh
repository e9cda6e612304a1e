#!/usr/bin/env bash
# Runs the end-to-end driver against Tavrin.exe under wine64 on a display of its own:
#
#   run-e2e.sh --driver tavrin_e2e.exe --tavrin Tavrin.exe [--drives several|none]
#              [--dpi 96|144] [-- driver arguments, e.g. --gtest_filter=...]
#   run-e2e.sh --driver ... --tavrin ... --screenshot OUT.png
#
# Each run makes, in a directory of its own (mktemp -d), and takes down again:
#   - a Wine prefix, in Simplified Chinese (zh_CN.UTF-8), without a window manager;
#   - the drives of the set asked for, each a directory holding .windows-serial (the volume
#     serial in hex), linked from the prefix's dosdevices, with its type in the registry:
#       several  E: removable c0ffee00   F: removable, not ready   G: removable 80000000
#                H: fixed disk 12345678  I: removable 7fffffff
#       none     F: removable, not ready   H: fixed disk 12345678
#   - an Xvfb display, on a number Xvfb picks.
# It ends only what it started: its Xvfb, by process id, and its own prefix's wineserver.
#
# --screenshot leaves Tavrin with its report of the set "several" on the screen and crops
# the window out of a capture of the display into OUT.png.
#
# Exit status: the driver's; 77 when a tool the run needs is missing; 1 when the set-up fails.
set -euo pipefail

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

usage() {
    sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

driver=""
tavrin=""
drives=several
dpi=96
screenshot=""
driver_args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --driver) driver=$2; shift 2 ;;
        --tavrin) tavrin=$2; shift 2 ;;
        --drives) drives=$2; shift 2 ;;
        --dpi) dpi=$2; shift 2 ;;
        --screenshot) screenshot=$2; shift 2 ;;
        --) shift; driver_args=("$@"); break ;;
        *) usage ;;
    esac
done
if [ -z "$driver" ] || [ -z "$tavrin" ]; then
    usage
fi
case "$drives" in several | none) ;; *) usage ;; esac
case "$dpi" in '' | *[!0-9]*) usage ;; esac

say() { echo "run-e2e: $*" >&2; }

# A Unix path as Wine's drive Z: shows it.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

missing() {
    say "$1 is missing (Debian package $2); not run"
    exit 77
}
[ -x "$wine" ] || missing "$wine" wine64
[ -x "$wineserver" ] || missing "$wineserver" wine64
command -v Xvfb >/dev/null || missing Xvfb xvfb
if [ -n "$screenshot" ]; then
    command -v import >/dev/null || missing import imagemagick
    command -v convert >/dev/null || missing convert imagemagick
fi
for file in "$driver" "$tavrin"; do
    if [ ! -f "$file" ]; then
        say "no such file: $file"
        exit 1
    fi
done
driver=$(realpath "$driver")
tavrin=$(realpath "$tavrin")

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-e2e.XXXXXX")
prefix="$work/prefix"
xvfb_pid=""

finish() {
    local status=$?
    trap - EXIT INT TERM
    if [ -d "$prefix" ]; then
        WINEPREFIX="$prefix" "$wineserver" -k >/dev/null 2>&1 || true
        WINEPREFIX="$prefix" "$wineserver" -w >/dev/null 2>&1 || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# --- the display ----------------------------------------------------------------------------
# Xvfb picks a free display number and writes it to the descriptor given with -displayfd.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 200); do
    if grep -q '^[0-9][0-9]*$' "$work/display" 2>/dev/null; then
        break
    fi
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
        xvfb_pid=""
        break
    fi
    sleep 0.1
done
if ! grep -q '^[0-9][0-9]*$' "$work/display" 2>/dev/null; then
    say "Xvfb did not start:"
    cat "$work/xvfb.log" >&2
    exit 1
fi
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY

# --- the locale -----------------------------------------------------------------------------
# Wine takes its language and code page from the Unix locale, which must exist for that:
# without it Wine falls back to English and code page 1252. When the system has no
# zh_CN.UTF-8, one is compiled here from the locale sources (Debian package locales).
unset LC_ALL LC_CTYPE LC_MESSAGES LANGUAGE
export LANG=zh_CN.UTF-8
if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\{0,1\}8'; then
    if [ ! -f /usr/share/i18n/locales/zh_CN ]; then
        missing "the zh_CN locale source" locales
    fi
    mkdir -p "$work/locale"
    localedef -i zh_CN -f UTF-8 "$work/locale/zh_CN.UTF-8" >/dev/null 2>&1 || true
    if [ ! -d "$work/locale/zh_CN.UTF-8" ]; then
        say "cannot compile the zh_CN.UTF-8 locale"
        exit 1
    fi
    export LOCPATH="$work/locale"
fi

# --- the Wine prefix ------------------------------------------------------------------------
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# Without Mono and Gecko there is nothing to offer to download, so Wine asks nothing.
WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot -i >"$work/wineboot.log" 2>&1 || {
    say "wineboot failed:"
    cat "$work/wineboot.log" >&2
    exit 1
}

# The drives: a directory each, linked from dosdevices, its type in the registry. Wine's
# mount manager knows the types hd, floppy, cdrom, network and ramdisk; "floppy" is the one
# that GetDriveType reports as DRIVE_REMOVABLE (an unknown word such as "removable" counts as
# a fixed disk). A removable drive whose directory is missing is listed, but not ready.
drive_types=""
make_drive() {  # letter type serial-or-"missing"
    local letter=$1 type=$2 serial=$3
    local target="$work/drives/$letter"
    if [ "$serial" = missing ]; then
        target="$work/drives/$letter-not-inserted"
    else
        mkdir -p "$target"
        printf '%s\n' "$serial" >"$target/.windows-serial"
    fi
    ln -sfn "$target" "$prefix/dosdevices/$letter:"
    drive_types+="\"$letter:\"=\"$type\""$'\n'
}
case "$drives" in
    several)
        make_drive e floppy c0ffee00
        make_drive f floppy missing
        make_drive g floppy 80000000
        make_drive h hd 12345678
        make_drive i floppy 7fffffff
        ;;
    none)
        make_drive f floppy missing
        make_drive h hd 12345678
        ;;
esac

# Managed=N: Wine draws the frames itself and does not wait for a window manager that Xvfb
# does not have. LogPixels under Control Panel\Desktop is the setting Wine 8 reads first for
# the display's dots per inch (the one under Hardware Profiles only when it is missing).
printf '%s\r\n' >"$work/settings.reg" \
    'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
    '[HKEY_CURRENT_USER\Control Panel\Desktop]' "\"LogPixels\"=dword:$(printf '%08x' "$dpi")" '' \
    '[HKEY_LOCAL_MACHINE\Software\Wine\Drives]' "$drive_types"
"$wine" regedit /S "$(windows_path "$work/settings.reg")" >/dev/null 2>&1

# Wine's own fonts (Marlett draws the caption buttons, Tahoma the captions) are where this
# Wine does not look for them: give the prefix links to them.
for font in /usr/share/wine/fonts/*.ttf; do
    if [ -e "$font" ]; then
        ln -sf "$font" "$prefix/drive_c/windows/Fonts/"
    fi
done

# The mount manager reads the drive types when the prefix's wineserver starts: start afresh.
"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -w >/dev/null 2>&1 || true

# --- the run --------------------------------------------------------------------------------
export TAVRIN_E2E_DRIVES="$drives"
export TAVRIN_E2E_DPI="$dpi"
windows_tavrin=$(windows_path "$tavrin")

if [ -z "$screenshot" ]; then
    say "display $DISPLAY, drives '$drives', $dpi dpi, prefix $prefix"
    status=0
    "$wine" "$driver" --tavrin="$windows_tavrin" "${driver_args[@]}" || status=$?
    exit "$status"
fi

# Into a file: Tavrin, left running, holds on to the driver's standard output, so a pipe from
# the driver would not end while it runs.
"$wine" "$driver" --tavrin="$windows_tavrin" --pose-for-screenshot >"$work/pose.txt" || true
read -r word left top width height < <(tr -d '\r' <"$work/pose.txt" | grep '^window ') || true
if [ "${word:-}" != window ]; then
    say "Tavrin did not pose for the screenshot: $(cat "$work/pose.txt")"
    exit 1
fi
sleep 1  # the last paint after the mouse moved away
import -window root -display "$DISPLAY" "$work/screen.png"
mkdir -p "$(dirname "$screenshot")"
convert "$work/screen.png" -crop "${width}x${height}+${left}+${top}" +repage -strip \
    "$screenshot"
say "wrote $screenshot (${width}x${height})"
