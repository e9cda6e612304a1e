#include "icon_art.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace icon {
namespace {

// Samples per pixel along each axis: every pixel averages kSamples * kSamples points.
constexpr int kSamples = 8;

struct Colour {
    double r = 0;
    double g = 0;
    double b = 0;
    double a = 0;
};

constexpr Colour hex(unsigned rgb, double alpha = 1.0) {
    return {((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0, (rgb & 0xff) / 255.0, alpha};
}

struct Rect {
    double x0 = 0;
    double y0 = 0;
    double x1 = 0;
    double y1 = 0;

    Rect inset(double d) const { return {x0 + d, y0 + d, x1 - d, y1 - d}; }
};

struct RoundRect {
    Rect box;
    double radius = 0;

    bool contains(double x, double y) const {
        if (x < box.x0 || x >= box.x1 || y < box.y0 || y >= box.y1) {
            return false;
        }
        const double r = std::min({radius, (box.x1 - box.x0) / 2, (box.y1 - box.y0) / 2});
        if (r <= 0) {
            return true;
        }
        // Only the corner squares need the distance to the corner's centre.
        const double cx = std::clamp(x, box.x0 + r, box.x1 - r);
        const double cy = std::clamp(y, box.y0 + r, box.y1 - r);
        const double dx = x - cx;
        const double dy = y - cy;
        return dx * dx + dy * dy <= r * r;
    }
};

// A flat colour, or a linear gradient from `from` at p0 to `to` at p1.
struct Paint {
    Colour from;
    Colour to;
    double x0 = 0;
    double y0 = 0;
    double x1 = 0;
    double y1 = 0;

    Colour at(double x, double y) const {
        const double dx = x1 - x0;
        const double dy = y1 - y0;
        const double length2 = dx * dx + dy * dy;
        if (length2 == 0) {
            return from;
        }
        const double t = std::clamp(((x - x0) * dx + (y - y0) * dy) / length2, 0.0, 1.0);
        return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t,
                from.b + (to.b - from.b) * t, from.a + (to.a - from.a) * t};
    }
};

Paint flat(Colour c) {
    return {c, c};
}

Paint vertical(Colour top, Colour bottom, const Rect& over) {
    return {top, bottom, over.x0, over.y0, over.x0, over.y1};
}

Paint diagonal(Colour start, Colour end, const Rect& over) {
    return {start, end, over.x0, over.y0, over.x1, over.y1};
}

// Coverage is found by supersampling: each sample keeps a premultiplied colour and shapes
// are painted over it front to back, then every pixel averages its samples.
class Canvas {
  public:
    explicit Canvas(int size)
        : size_(size),
          side_(size * kSamples),
          samples_(static_cast<std::size_t>(side_) * static_cast<std::size_t>(side_)) {}

    void fill(const RoundRect& shape, const Paint& paint) {
        const int sx0 = std::max(0, static_cast<int>(shape.box.x0 * kSamples));
        const int sy0 = std::max(0, static_cast<int>(shape.box.y0 * kSamples));
        const int sx1 = std::min(side_, static_cast<int>(shape.box.x1 * kSamples) + 1);
        const int sy1 = std::min(side_, static_cast<int>(shape.box.y1 * kSamples) + 1);
        for (int sy = sy0; sy < sy1; ++sy) {
            const double y = (sy + 0.5) / kSamples;
            for (int sx = sx0; sx < sx1; ++sx) {
                const double x = (sx + 0.5) / kSamples;
                if (!shape.contains(x, y)) {
                    continue;
                }
                const Colour c = paint.at(x, y);
                Colour& s = samples_[static_cast<std::size_t>(sy * side_ + sx)];
                const double keep = 1.0 - c.a;
                s.r = c.r * c.a + s.r * keep;
                s.g = c.g * c.a + s.g * keep;
                s.b = c.b * c.a + s.b * keep;
                s.a = c.a + s.a * keep;
            }
        }
    }

    Picture resolve() const {
        Picture picture{size_, std::vector<Rgba>(static_cast<std::size_t>(size_ * size_))};
        constexpr double kCount = kSamples * kSamples;
        for (int py = 0; py < size_; ++py) {
            for (int px = 0; px < size_; ++px) {
                Colour sum;
                for (int sy = 0; sy < kSamples; ++sy) {
                    const Colour* row = &samples_[static_cast<std::size_t>(
                        (py * kSamples + sy) * side_ + px * kSamples)];
                    for (int sx = 0; sx < kSamples; ++sx) {
                        sum.r += row[sx].r;
                        sum.g += row[sx].g;
                        sum.b += row[sx].b;
                        sum.a += row[sx].a;
                    }
                }
                Rgba& out = picture.pixels[static_cast<std::size_t>(py * size_ + px)];
                out.a = to_byte(sum.a / kCount);
                if (out.a != 0) {
                    out.r = to_byte(sum.r / sum.a);
                    out.g = to_byte(sum.g / sum.a);
                    out.b = to_byte(sum.b / sum.a);
                }
            }
        }
        return picture;
    }

  private:
    static std::uint8_t to_byte(double v) {
        return static_cast<std::uint8_t>(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5);
    }

    int size_;
    int side_;
    std::vector<Colour> samples_;
};

// Where everything goes at one size, in pixels.
struct Layout {
    double stroke = 1;  // outline width
    Rect connector;
    double connector_radius = 0;
    std::array<Rect, 2> holes;
    Rect body;
    double body_radius = 0;
    Rect label;
    double label_radius = 0;
    Rect bars;       // the barcode's band
    int module = 1;  // the narrowest bar, in pixels
    bool gloss = false;
    int caption_top = 0;  // where the serial digits under the bars start; 0 for none
};

// The barcode's columns, in modules: '1' a bar, '0' a gap. Each size uses as much as fits,
// so the prefixes the sizes use (6, 10, 12, 18, 24 and 26 modules) all end on a bar.
constexpr std::string_view kBarcode = "10110101011100101101001101101";

// Serial digits in a 3x5 cell font, one bit a cell, rows top to bottom.
constexpr std::array<std::array<std::uint8_t, 5>, 4> kDigits = {{
    {0b111, 0b101, 0b101, 0b101, 0b111},  // 0
    {0b101, 0b101, 0b111, 0b001, 0b001},  // 4
    {0b010, 0b110, 0b010, 0b010, 0b111},  // 1
    {0b111, 0b001, 0b010, 0b010, 0b010},  // 7
}};

// The design at 128 pixels, scaled; edges land on whole pixels, and symmetric edges stay
// symmetric.
Layout scaled_layout(int size) {
    const double scale = size / 128.0;
    auto snap = [&](double v) {
        const double half = size / 2.0;
        const double s = v * scale;
        return s <= half ? static_cast<int>(s + 0.5) : size - static_cast<int>(size - s + 0.5);
    };
    auto rect = [&](double x0, double y0, double x1, double y1) {
        return Rect{static_cast<double>(snap(x0)), static_cast<double>(snap(y0)),
                    static_cast<double>(snap(x1)), static_cast<double>(snap(y1))};
    };
    Layout l;
    l.stroke = std::max(1, static_cast<int>(2 * scale + 0.5));
    l.connector = rect(40, 4, 88, 46);
    l.connector_radius = 5 * scale;
    l.holes = {rect(49, 15, 61, 27), rect(67, 15, 79, 27)};
    l.body = rect(22, 40, 106, 124);
    l.body_radius = 14 * scale;
    l.label = rect(34, 58, 94, 112);
    l.label_radius = 6 * scale;
    l.module = std::max(1, static_cast<int>(size / 64.0 + 0.5));
    l.gloss = size >= 48;
    if (size >= 64) {
        l.bars = rect(40, 64, 88, 90);
        l.caption_top = snap(96);
    } else {
        l.bars = rect(40, 64, 88, 106);
    }
    return l;
}

// The small sizes are laid out by hand on the pixel grid: one-pixel outlines, square
// corners where a curve would only blur, fewer bars.
Layout small_layout(int size) {
    Layout l;
    if (size <= 16) {
        l.connector = {4, 0, 12, 6};
        l.holes = {Rect{6, 2, 7, 4}, Rect{9, 2, 10, 4}};
        l.body = {2, 5, 14, 16};
        l.body_radius = 2;
        l.label = {4, 7, 12, 14};
        l.bars = {5, 8, 11, 13};
    } else if (size <= 24) {
        l.connector = {7, 0, 17, 9};
        l.holes = {Rect{9, 3, 11, 6}, Rect{13, 3, 15, 6}};
        l.body = {3, 8, 21, 24};
        l.body_radius = 3;
        l.label = {6, 11, 18, 21};
        l.label_radius = 1;
        l.bars = {7, 12, 17, 20};
    } else {
        l.connector = {10, 1, 22, 11};
        l.connector_radius = 1;
        l.holes = {Rect{12, 4, 14, 7}, Rect{18, 4, 20, 7}};
        l.body = {4, 10, 28, 31};
        l.body_radius = 4;
        l.label = {8, 14, 24, 27};
        l.label_radius = 1.5;
        l.bars = {10, 16, 22, 25};
        l.gloss = true;
    }
    return l;
}

// The palette.
constexpr Colour kMetalOutline = hex(0x5b6673);
constexpr Colour kMetalLight = hex(0xf2f4f7);
constexpr Colour kMetalDark = hex(0xaab3be);
constexpr Colour kHole = hex(0x323b46);
constexpr Colour kBodyOutline = hex(0x123672);
constexpr Colour kBodyLight = hex(0x4a8ff0);
constexpr Colour kBodyDark = hex(0x1c55b4);
constexpr Colour kGlossTop = hex(0xffffff, 0.30);
constexpr Colour kGlossBottom = hex(0xffffff, 0.0);
constexpr Colour kLabel = hex(0xf8fafc);
constexpr Colour kLabelShade = hex(0xdde3ea);
constexpr Colour kInk = hex(0x1b2230);

void draw_barcode(Canvas& canvas, const Layout& l) {
    const int width = static_cast<int>(l.bars.x1 - l.bars.x0);
    std::string_view code = kBarcode.substr(0, static_cast<std::size_t>(width / l.module));
    code = code.substr(0, code.find_last_of('1') + 1);
    const double left =
        l.bars.x0 + (width - static_cast<int>(code.size()) * l.module) / 2;  // whole pixels
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (code[i] == '1') {
            const double x = left + static_cast<double>(i) * l.module;
            canvas.fill({{x, l.bars.y0, x + l.module, l.bars.y1}}, flat(kInk));
        }
    }
}

void draw_caption(Canvas& canvas, const Layout& l) {
    const int cell = l.module;
    const int advance = 4 * cell;
    const int width = static_cast<int>(kDigits.size()) * advance - cell;
    const double left = l.bars.x0 + (static_cast<int>(l.bars.x1 - l.bars.x0) - width) / 2;
    for (std::size_t d = 0; d < kDigits.size(); ++d) {
        for (int row = 0; row < 5; ++row) {
            for (int col = 0; col < 3; ++col) {
                if ((kDigits[d][static_cast<std::size_t>(row)] >> (2 - col) & 1) == 0) {
                    continue;
                }
                const double x = left + static_cast<double>(d) * advance + col * cell;
                const double y = l.caption_top + row * cell;
                canvas.fill({{x, y, x + cell, y + cell}}, flat(kInk));
            }
        }
    }
}

}  // namespace

Picture draw_icon(int size) {
    const Layout l = size <= 32 ? small_layout(size) : scaled_layout(size);
    Canvas canvas(size);

    // The metal connector, with its two square holes.
    canvas.fill({l.connector, l.connector_radius}, flat(kMetalOutline));
    const Rect metal = l.connector.inset(l.stroke);
    canvas.fill({metal, std::max(0.0, l.connector_radius - l.stroke)},
                vertical(kMetalLight, kMetalDark, metal));
    for (const Rect& hole : l.holes) {
        canvas.fill({hole}, flat(kHole));
    }

    // The body, lit from the top left.
    canvas.fill({l.body, l.body_radius}, flat(kBodyOutline));
    const Rect inside = l.body.inset(l.stroke);
    const double inside_radius = std::max(0.0, l.body_radius - l.stroke);
    canvas.fill({inside, inside_radius}, diagonal(kBodyLight, kBodyDark, inside));
    if (l.gloss) {
        const Rect band{inside.x0, inside.y0, inside.x1, l.label.y0};
        canvas.fill({band, inside_radius}, vertical(kGlossTop, kGlossBottom, band));
    }

    // The serial label: bars, and at the larger sizes the digits under them.
    canvas.fill({l.label, l.label_radius}, vertical(kLabel, kLabelShade, l.label));
    draw_barcode(canvas, l);
    if (l.caption_top != 0) {
        draw_caption(canvas, l);
    }
    return canvas.resolve();
}

}  // namespace icon
