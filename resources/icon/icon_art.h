// The application's picture: a USB flash drive carrying a barcode label, drawn from vector
// shapes for each icon size.
#pragma once

#include <cstdint>
#include <vector>

namespace icon {

struct Rgba {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 0;

    friend bool operator==(const Rgba&, const Rgba&) = default;
};

// A square picture, rows top to bottom, with straight (not premultiplied) alpha. Fully
// transparent pixels are black.
struct Picture {
    int size = 0;
    std::vector<Rgba> pixels;

    const Rgba& at(int x, int y) const { return pixels[static_cast<std::size_t>(y * size + x)]; }
};

// Draws the picture for a size in pixels (16 to 256). The smallest sizes have their own
// simplified, pixel-aligned layouts; the larger ones are scaled from the 128-pixel design.
Picture draw_icon(int size);

}  // namespace icon
