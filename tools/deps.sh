# Installs the Debian packages a task needs, only those that are missing.
# Usage: source tools/deps.sh; need_packages pkg...
as_root() {
    if [ "$(id -u)" -ne 0 ]; then sudo "$@"; else "$@"; fi
}

need_packages() {
    local missing=() package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -ne 0 ] || return 0
    echo "Installing: ${missing[*]}"
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}

# Wine's 32-bit loader, for the 32-bit exe, comes from the i386 architecture.
need_i386() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "Adding the i386 architecture"
        as_root dpkg --add-architecture i386
    fi
}

BUILD_PACKAGES=(cmake ninja-build g++ pkg-config python3 g++-mingw-w64-i686-win32
                g++-mingw-w64-x86-64-win32 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
                qt6-base-dev qt6-base-dev-tools libudev-dev libxcb1-dev icoutils)
RUN_PACKAGES=(fonts-wqy-zenhei)
WINE_PACKAGES=(wine64 fonts-wine locales)
WINE32_PACKAGES=(wine32:i386)
TEST_PACKAGES=(python3-pefile librsvg2-bin pngquant googletest libgtest-dev xvfb xauth x11-utils
               xdotool umockdev libumockdev-dev desktop-file-utils dpkg-dev dosfstools exfatprogs
               ntfs-3g e2fsprogs btrfs-progs udftools genisoimage util-linux mount lintian appstream)
