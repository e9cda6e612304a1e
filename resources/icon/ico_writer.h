// The .ico file layout: a directory of images, each an uncompressed DIB with an AND mask.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "icon_art.h"

namespace icon {

struct IconImage {
    Picture picture;
    int bits_per_pixel = 32;  // 8 (with a 256-colour table) or 32 (straight BGRA)
};

// Pixels with less alpha than this are transparent in the AND mask and in 8-bit images.
constexpr std::uint8_t kOpaqueFrom = 128;

// The colour table of an 8-bit image: index 0 is black, which transparent pixels use; the
// rest are the picture's own colours, reduced by median cut when there are more than 255.
// Deterministic for a given picture.
std::array<Rgba, 256> make_palette(const Picture& picture);

// The index of the palette entry nearest to an opaque colour (never 0 unless black is).
std::uint8_t nearest(const std::array<Rgba, 256>& palette, Rgba colour);

// The whole file, images in the order given.
std::vector<std::uint8_t> write_ico(const std::vector<IconImage>& images);

}  // namespace icon
