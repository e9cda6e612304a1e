# Installs the Debian packages a task needs, only those that are missing.
# Usage: source tools/deps.sh; need_packages pkg...
need_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
}

# Wine's 32-bit loader, for the 32-bit exe, comes from the i386 architecture.
need_i386() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "Adding the i386 architecture"
        local sudo=""
        if [ "$(id -u)" -ne 0 ]; then
            sudo="sudo"
        fi
        $sudo dpkg --add-architecture i386
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
