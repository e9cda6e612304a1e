# Wine prefixes for tests, benchmarks and screenshots in a work directory of the caller's:
# wine_prefix_make WORK (WORK/prefix, in Simplified Chinese where it can be), wine_drive LETTER
# TYPE SERIAL, wine_prefix_ready, then wine_prefix_end (ends that prefix's wineserver alone).
wine_server=/usr/lib/wine/wineserver
# Set up by the 64-bit loader: a 32-bit regedit writes the drive types where the mount
# manager does not look.
wine_setup=/usr/lib/wine/wine64

wine_prefix_make() {
    wine_work=$1
    export WINEPREFIX="$wine_work/prefix" WINEDEBUG=-all
    # Without Mono and Gecko there is nothing to offer to download, so Wine asks nothing.
    export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
    wine_use_chinese_locale
    mkdir -p "$wine_work/drives"
    wine_registry=$'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n'
    # No window manager on Xvfb: Wine draws the frames and places the windows itself.
    wine_registry+=$'"Managed"="N"\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]\r\n'
    "$wine_setup" wineboot -i >"$wine_work/wineboot.log" 2>&1
}

# Wine takes its language and code page from the Unix locale, which must exist: without it
# Wine falls back to English and code page 1252. Compiled here when the system lacks it.
wine_use_chinese_locale() {
    unset LC_ALL LC_CTYPE LC_MESSAGES LANGUAGE
    if locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\{0,1\}8'; then
        export LANG=zh_CN.UTF-8
    elif mkdir -p "$wine_work/locale" &&
        { localedef -i zh_CN -f UTF-8 "$wine_work/locale/zh_CN.UTF-8" >/dev/null 2>&1 ||
            [ -d "$wine_work/locale/zh_CN.UTF-8" ]; }; then
        export LOCPATH="$wine_work/locale" LANG=zh_CN.UTF-8
    fi
}

# A drive: WORK/drives/LETTER holding .windows-serial (hex), linked from dosdevices. TYPE
# "floppy" is DRIVE_REMOVABLE, "hd" fixed; SERIAL "missing" links to no directory: listed, not
# ready (renaming the directory away pulls the stick, making it puts one in).
wine_drive() {
    local letter=$1 type=$2 serial=$3 target="$wine_work/drives/$1"
    if [ "$serial" != missing ]; then
        mkdir -p "$target"
        printf '%s\n' "$serial" >"$target/.windows-serial"
    fi
    ln -sfn "$target" "$WINEPREFIX/dosdevices/$letter:"
    wine_registry+="\"$letter:\"=\"$type\""$'\r\n'
}

wine_prefix_ready() {
    printf '%s' "$wine_registry" >"$wine_work/settings.reg"
    "$wine_setup" regedit /S "Z:${wine_work//\//\\}\\settings.reg" >/dev/null 2>&1
    # Wine's own fonts (Marlett: caption buttons, Tahoma: captions), where it looks for them.
    ln -sf /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
    wine_prefix_end  # the mount manager reads the drive types when the server starts
}

wine_prefix_end() {
    [ -d "${WINEPREFIX:-}" ] || return 0
    "$wine_server" -k >/dev/null 2>&1 || true  # none may run any more
    "$wine_server" -w >/dev/null 2>&1 || true
}
