// Writes Tavrin.ico at build time:
//
//   icon_generator OUTPUT.ico [--preview DIRECTORY] [--resources DIRECTORY]
//
// With --resources it also writes the icon as the exe carries it: icon-group.bin, the group
// directory naming the images 30001 to 30012, and icon-30001.bin to icon-30012.bin, the
// images themselves. A resource script takes them as raw resources of the icon types.
//
// With --preview it also writes every image as a PAM file (the 8-bit ones as their palette
// and mask show them) and preview.pam, the 128- and 32-pixel pictures on a light background.
// ImageMagick turns those into PNG files: convert preview.pam -strip preview.png
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "ico_writer.h"
#include "icon_art.h"

namespace {

// The images in the file, in directory order: up to 48 pixels each size twice, a 256-colour
// image with a 1-bit mask for old and reduced-colour displays and a 32-bit one with alpha;
// above that 32-bit only.
struct Entry {
    int size;
    int bits_per_pixel;
};
constexpr Entry kEntries[] = {{16, 8}, {16, 32}, {24, 8},  {24, 32}, {32, 8},  {32, 32},
                              {48, 8}, {48, 32}, {64, 32}, {72, 32}, {96, 32}, {128, 32}};

bool write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::cerr << "icon_generator: cannot write " << path << '\n';
        return false;
    }
    return true;
}

// An RGBA image, rows top to bottom.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<icon::Rgba> pixels;
};

Raster raster(const icon::Picture& p) {
    return {p.size, p.size, p.pixels};
}

std::vector<std::uint8_t> pam(const Raster& r) {
    const std::string header = "P7\nWIDTH " + std::to_string(r.width) + "\nHEIGHT " +
                               std::to_string(r.height) +
                               "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    std::vector<std::uint8_t> out(header.begin(), header.end());
    for (const icon::Rgba& c : r.pixels) {
        out.insert(out.end(), {c.r, c.g, c.b, c.a});
    }
    return out;
}

// The picture as a 256-colour image with a 1-bit mask shows it.
icon::Picture as_8_bit(const icon::Picture& p) {
    const auto palette = icon::make_palette(p);
    icon::Picture out = p;
    for (icon::Rgba& c : out.pixels) {
        c = c.a >= icon::kOpaqueFrom ? palette[icon::nearest(palette, c)] : icon::Rgba{};
        c.a = c.a == 0 ? 0 : 255;
    }
    return out;
}

// Pictures side by side on a light background, bottom-aligned.
Raster sheet(const std::vector<icon::Picture>& pictures) {
    constexpr int kMargin = 16;
    int width = kMargin;
    int height = 0;
    for (const auto& p : pictures) {
        width += p.size + kMargin;
        height = std::max(height, p.size);
    }
    height += 2 * kMargin;
    const icon::Rgba background{0xf3, 0xf4, 0xf6, 255};
    Raster out{width, height,
               std::vector<icon::Rgba>(static_cast<std::size_t>(width * height), background)};
    int left = kMargin;
    for (const auto& p : pictures) {
        const int top = kMargin + (height - 2 * kMargin - p.size);
        for (int y = 0; y < p.size; ++y) {
            for (int x = 0; x < p.size; ++x) {
                const icon::Rgba& c = p.at(x, y);
                icon::Rgba& d = out.pixels[static_cast<std::size_t>((top + y) * width + left + x)];
                auto mix = [&](std::uint8_t fg, std::uint8_t bg) {
                    return static_cast<std::uint8_t>((fg * c.a + bg * (255 - c.a) + 127) / 255);
                };
                d = {mix(c.r, d.r), mix(c.g, d.g), mix(c.b, d.b), 255};
            }
        }
        left += p.size + kMargin;
    }
    return out;
}

std::uint32_t read32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// Splits an icon file into its resource form: the group directory keeps each entry's first
// 12 bytes and replaces the 4-byte file offset with a 2-byte resource identifier.
bool write_resources(const std::string& dir, const std::vector<std::uint8_t>& ico) {
    constexpr int kFirstImageId = 30001;
    const std::size_t count = ico[4] | ico[5] << 8;
    std::vector<std::uint8_t> group(ico.begin(), ico.begin() + 6);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + 16 * i;
        const std::uint32_t size = read32(ico, entry + 8);
        const std::uint32_t offset = read32(ico, entry + 12);
        const int id = kFirstImageId + static_cast<int>(i);
        group.insert(group.end(), ico.begin() + static_cast<std::ptrdiff_t>(entry),
                     ico.begin() + static_cast<std::ptrdiff_t>(entry + 12));
        group.push_back(static_cast<std::uint8_t>(id & 0xFF));
        group.push_back(static_cast<std::uint8_t>(id >> 8));
        const std::vector<std::uint8_t> image(ico.begin() + offset, ico.begin() + offset + size);
        if (!write_file(dir + "/icon-" + std::to_string(id) + ".bin", image)) {
            return false;
        }
    }
    return write_file(dir + "/icon-group.bin", group);
}

}  // namespace

int main(int argc, char** argv) {
    std::string preview_dir;
    std::string resources_dir;
    bool usage_error = argc < 2 || argc % 2 != 0;
    for (int i = 2; i + 1 < argc && !usage_error; i += 2) {
        const std::string option = argv[i];
        if (option == "--preview") {
            preview_dir = argv[i + 1];
        } else if (option == "--resources") {
            resources_dir = argv[i + 1];
        } else {
            usage_error = true;
        }
    }
    if (usage_error) {
        std::cerr << "usage: icon_generator OUTPUT.ico [--preview DIRECTORY] [--resources "
                     "DIRECTORY]\n";
        return 2;
    }
    std::vector<icon::IconImage> images;
    for (const Entry& e : kEntries) {
        images.push_back({icon::draw_icon(e.size), e.bits_per_pixel});
    }
    const std::vector<std::uint8_t> ico = icon::write_ico(images);
    if (!write_file(argv[1], ico)) {
        return 1;
    }
    if (!resources_dir.empty() && !write_resources(resources_dir, ico)) {
        return 1;
    }
    if (!preview_dir.empty()) {
        const std::string& dir = preview_dir;
        for (const auto& image : images) {
            const auto& p = image.picture;
            const auto shown = image.bits_per_pixel == 8 ? as_8_bit(p) : p;
            const std::string name = dir + "/icon-" + std::to_string(p.size) + "-" +
                                     std::to_string(image.bits_per_pixel) + ".pam";
            if (!write_file(name, pam(raster(shown)))) {
                return 1;
            }
        }
        if (!write_file(dir + "/preview.pam",
                        pam(sheet({images[11].picture, images[5].picture})))) {
            return 1;
        }
    }
    return 0;
}
