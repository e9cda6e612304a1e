#!/usr/bin/env bash
# Remakes Tavrin.ico and preview.png beside it from tavrin.svg, byte for byte, with Debian's
# librsvg2-bin, pngquant and icoutils. With --check, compares what it makes with them instead.
#
#   bash resources/icon/make-icon.sh [--check]
#
# Twelve uncompressed images: up to 48 pixels each size as 256 colours with a 1-bit mask (the
# pixels less than half opaque) and as 32-bit; above that 32-bit only.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export OMP_NUM_THREADS=1 # pngquant's choices must not depend on the machine's cores

images=()
for image in 16:8 16:32 24:8 24:32 32:8 32:32 48:8 48:32 64:32 72:32 96:32 128:32; do
    size=${image%:*} bits=${image#*:} png=$work/$size-$bits.png
    case $size in 16 | 24) detail=coarse ;; 32 | 48) detail=medium ;; *) detail=fine ;; esac
    style=".fine,.medium,.coarse{display:none}.$detail{display:inline}"
    if [ "$bits" = 8 ]; then
        # Hard edges, as a 1-bit mask shows them; 255 colours and icotool's transparent black.
        rsvg-convert -s <(echo "$style*{shape-rendering:crispEdges}") -w "$size" -h "$size" \
            "$here/tavrin.svg" | pngquant --nofs --speed 1 255 - >"$png"
    else
        rsvg-convert -s <(echo "$style") -w "$size" -h "$size" "$here/tavrin.svg" -o "$png"
    fi
    images+=(-b "$bits" "$png")
done
# Where an image does not fit the depth asked, icotool writes another one and only warns.
icotool -c -o "$work/Tavrin.ico" "${images[@]}" 2>&1 | tee "$work/warnings"
[ ! -s "$work/warnings" ]

# The picture at 128 and 32 pixels on a light background, for the read-me.
cat >"$work/preview.svg" <<'EOF'
<svg xmlns="http://www.w3.org/2000/svg" width="208" height="160">
  <rect width="208" height="160" fill="#f3f4f6"/>
  <image x="16" y="16" width="128" height="128" href="128-32.png"/>
  <image x="160" y="112" width="32" height="32" href="32-32.png"/>
</svg>
EOF
rsvg-convert "$work/preview.svg" | pngquant --speed 1 - >"$work/preview.png"

for file in Tavrin.ico preview.png; do
    if [ "${1:-}" = --check ]; then
        cmp "$work/$file" "$here/$file"
    else
        cp "$work/$file" "$here/$file"
    fi
done
