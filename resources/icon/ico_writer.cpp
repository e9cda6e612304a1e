#include "ico_writer.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <stdexcept>

namespace icon {
namespace {

constexpr std::size_t kDirectoryHeader = 6;
constexpr std::size_t kDirectoryEntry = 16;
constexpr std::size_t kInfoHeader = 40;
constexpr std::size_t kColourTable = 256 * 4;

class Bytes {
  public:
    explicit Bytes(std::vector<std::uint8_t>& out) : out_(out) {}

    void u8(unsigned v) { out_.push_back(static_cast<std::uint8_t>(v)); }
    void u16(unsigned v) {
        u8(v & 0xff);
        u8(v >> 8 & 0xff);
    }
    void u32(std::uint32_t v) {
        u16(v & 0xffff);
        u16(v >> 16);
    }
    void zeros(std::size_t n) { out_.insert(out_.end(), n, 0); }

  private:
    std::vector<std::uint8_t>& out_;
};

std::size_t padded_row(std::size_t bits) {
    return (bits + 31) / 32 * 4;
}

std::size_t pixel_bytes(const IconImage& image) {
    const auto size = static_cast<std::size_t>(image.picture.size);
    return padded_row(size * static_cast<std::size_t>(image.bits_per_pixel)) * size;
}

std::size_t mask_bytes(const IconImage& image) {
    const auto size = static_cast<std::size_t>(image.picture.size);
    return padded_row(size) * size;
}

std::size_t image_bytes(const IconImage& image) {
    return kInfoHeader + (image.bits_per_pixel == 8 ? kColourTable : 0) + pixel_bytes(image) +
           mask_bytes(image);
}

bool opaque(Rgba c) {
    return c.a >= kOpaqueFrom;
}

std::uint32_t key(Rgba c) {
    return static_cast<std::uint32_t>(c.r) << 16 | static_cast<std::uint32_t>(c.g) << 8 | c.b;
}

int channel(Rgba c, int which) {
    return which == 0 ? c.r : which == 1 ? c.g : c.b;
}

struct Counted {
    Rgba colour;
    std::size_t count = 0;
};

// A box of median cut: a run of the colour list.
struct Box {
    std::size_t begin = 0;
    std::size_t end = 0;
};

void write_dib(Bytes& out, const IconImage& image) {
    const Picture& p = image.picture;
    const auto size = static_cast<std::uint32_t>(p.size);
    out.u32(kInfoHeader);
    out.u32(size);
    out.u32(size * 2);  // the colour rows and the mask rows
    out.u16(1);
    out.u16(static_cast<unsigned>(image.bits_per_pixel));
    out.u32(0);  // BI_RGB
    out.u32(static_cast<std::uint32_t>(pixel_bytes(image) + mask_bytes(image)));
    out.u32(0);
    out.u32(0);
    out.u32(0);
    out.u32(0);

    const std::size_t colour_pad =
        padded_row(size * static_cast<std::size_t>(image.bits_per_pixel)) -
        size * static_cast<std::size_t>(image.bits_per_pixel) / 8;
    if (image.bits_per_pixel == 8) {
        const auto palette = make_palette(p);
        for (const Rgba& c : palette) {
            out.u8(c.b);
            out.u8(c.g);
            out.u8(c.r);
            out.u8(0);
        }
        for (int y = p.size - 1; y >= 0; --y) {
            for (int x = 0; x < p.size; ++x) {
                const Rgba c = p.at(x, y);
                out.u8(opaque(c) ? nearest(palette, c) : 0);
            }
            out.zeros(colour_pad);
        }
    } else {
        for (int y = p.size - 1; y >= 0; --y) {
            for (int x = 0; x < p.size; ++x) {
                const Rgba c = p.at(x, y);
                out.u8(c.b);
                out.u8(c.g);
                out.u8(c.r);
                out.u8(c.a);
            }
        }
    }

    const std::size_t mask_row = padded_row(size);
    for (int y = p.size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(mask_row, 0);
        for (int x = 0; x < p.size; ++x) {
            if (!opaque(p.at(x, y))) {
                row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
        for (std::uint8_t b : row) {
            out.u8(b);
        }
    }
}

}  // namespace

std::array<Rgba, 256> make_palette(const Picture& picture) {
    std::map<std::uint32_t, Counted> seen;
    for (const Rgba& c : picture.pixels) {
        if (opaque(c)) {
            Counted& entry = seen[key(c)];
            entry.colour = {c.r, c.g, c.b, 255};
            ++entry.count;
        }
    }
    std::vector<Counted> colours;
    for (const auto& [k, entry] : seen) {
        colours.push_back(entry);
    }

    // Split the box with the widest channel range at its median (by pixel count) until
    // there are 255 boxes or nothing left to split.
    std::vector<Box> boxes;
    if (!colours.empty()) {
        boxes.push_back({0, colours.size()});
    }
    auto range = [&](const Box& box, int which) {
        int lo = 255;
        int hi = 0;
        for (std::size_t i = box.begin; i < box.end; ++i) {
            lo = std::min(lo, channel(colours[i].colour, which));
            hi = std::max(hi, channel(colours[i].colour, which));
        }
        return hi - lo;
    };
    while (boxes.size() < 255) {
        int widest = 0;
        int widest_channel = 0;
        std::size_t chosen = boxes.size();
        for (std::size_t b = 0; b < boxes.size(); ++b) {
            for (int which = 0; which < 3; ++which) {
                const int r = range(boxes[b], which);
                if (r > widest) {
                    widest = r;
                    widest_channel = which;
                    chosen = b;
                }
            }
        }
        if (chosen == boxes.size()) {
            break;  // every box holds a single colour
        }
        Box& box = boxes[chosen];
        const auto first = colours.begin() + static_cast<std::ptrdiff_t>(box.begin);
        const auto last = colours.begin() + static_cast<std::ptrdiff_t>(box.end);
        std::sort(first, last, [&](const Counted& a, const Counted& b) {
            const int ca = channel(a.colour, widest_channel);
            const int cb = channel(b.colour, widest_channel);
            return ca != cb ? ca < cb : key(a.colour) < key(b.colour);
        });
        std::size_t total = 0;
        for (auto it = first; it != last; ++it) {
            total += it->count;
        }
        std::size_t split = box.begin + 1;
        std::size_t below = colours[box.begin].count;
        while (split + 1 < box.end && below * 2 < total) {
            below += colours[split].count;
            ++split;
        }
        const Box upper{split, box.end};
        box.end = split;
        boxes.push_back(upper);
    }

    // Each box becomes the count-weighted mean of its colours, sorted for a tidy table.
    std::vector<Rgba> entries;
    for (const Box& box : boxes) {
        std::size_t n = 0;
        std::size_t r = 0;
        std::size_t g = 0;
        std::size_t b = 0;
        for (std::size_t i = box.begin; i < box.end; ++i) {
            n += colours[i].count;
            r += colours[i].colour.r * colours[i].count;
            g += colours[i].colour.g * colours[i].count;
            b += colours[i].colour.b * colours[i].count;
        }
        entries.push_back({static_cast<std::uint8_t>((r + n / 2) / n),
                           static_cast<std::uint8_t>((g + n / 2) / n),
                           static_cast<std::uint8_t>((b + n / 2) / n), 255});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Rgba& a, const Rgba& b) { return key(a) < key(b); });

    std::array<Rgba, 256> palette{};
    std::copy(entries.begin(), entries.end(), palette.begin() + 1);
    return palette;
}

std::uint8_t nearest(const std::array<Rgba, 256>& palette, Rgba colour) {
    std::size_t best = 0;
    int best_distance = -1;
    for (std::size_t i = 1; i < palette.size(); ++i) {
        if (palette[i].a == 0) {
            break;  // the used entries come first
        }
        const int dr = palette[i].r - colour.r;
        const int dg = palette[i].g - colour.g;
        const int db = palette[i].b - colour.b;
        const int distance = dr * dr + dg * dg + db * db;
        if (best_distance < 0 || distance < best_distance) {
            best = i;
            best_distance = distance;
        }
    }
    return static_cast<std::uint8_t>(best);
}

std::vector<std::uint8_t> write_ico(const std::vector<IconImage>& images) {
    std::vector<std::uint8_t> file;
    Bytes out(file);
    out.u16(0);
    out.u16(1);  // an icon, not a cursor
    out.u16(static_cast<unsigned>(images.size()));

    std::size_t offset = kDirectoryHeader + kDirectoryEntry * images.size();
    for (const IconImage& image : images) {
        const int size = image.picture.size;
        if (size < 1 || size > 256 || (image.bits_per_pixel != 8 && image.bits_per_pixel != 32)) {
            throw std::invalid_argument("unsupported icon image");
        }
        out.u8(static_cast<unsigned>(size % 256));  // 256 is written as 0
        out.u8(static_cast<unsigned>(size % 256));
        out.u8(0);  // no colour count: 8-bit tables are full
        out.u8(0);
        out.u16(1);
        out.u16(static_cast<unsigned>(image.bits_per_pixel));
        out.u32(static_cast<std::uint32_t>(image_bytes(image)));
        out.u32(static_cast<std::uint32_t>(offset));
        offset += image_bytes(image);
    }
    for (const IconImage& image : images) {
        write_dib(out, image);
    }
    return file;
}

}  // namespace icon
