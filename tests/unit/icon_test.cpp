// Checks the Tavrin.ico the build drew: the directory, every image's header and sizes, and
// that the pictures are real pictures with a proper alpha channel and matching masks.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#ifndef TAVRIN_ICON_PATH
#error "TAVRIN_ICON_PATH must name the generated Tavrin.ico"
#endif

namespace {

struct Expected {
    unsigned size;
    unsigned bits;
    std::uint32_t bytes;
};
constexpr Expected kImages[] = {{16, 8, 1384},   {16, 32, 1128},  {24, 8, 1736},
                                {24, 32, 2440},  {32, 8, 2216},   {32, 32, 4264},
                                {48, 8, 3752},   {48, 32, 9640},  {64, 32, 16936},
                                {72, 32, 21640}, {96, 32, 38056}, {128, 32, 67624}};

class IconFile : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::ifstream in(TAVRIN_ICON_PATH, std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), {});
    }

    static std::uint32_t u8(std::size_t at) { return bytes_.at(at); }
    static std::uint32_t u16(std::size_t at) { return u8(at) | u8(at + 1) << 8; }
    static std::uint32_t u32(std::size_t at) { return u16(at) | u16(at + 2) << 16; }

    // An image's pixels and mask, read through its own header; rows top to bottom.
    struct Image {
        unsigned size = 0;
        std::vector<std::uint32_t> colour;  // 0xAARRGGBB; alpha 255 for 8-bit images
        std::vector<bool> transparent;      // the AND mask
    };
    static Image decode(std::size_t at, const Expected& e) {
        Image image{e.size, std::vector<std::uint32_t>(e.size * e.size),
                    std::vector<bool>(e.size * e.size)};
        const std::size_t pixels = at + 40 + (e.bits == 8 ? 1024 : 0);
        const std::size_t colour_row = (e.size * e.bits + 31) / 32 * 4;
        const std::size_t mask = pixels + colour_row * e.size;
        const std::size_t mask_row = (e.size + 31) / 32 * 4;
        for (unsigned y = 0; y < e.size; ++y) {
            const std::size_t row = e.size - 1 - y;  // stored bottom-up
            for (unsigned x = 0; x < e.size; ++x) {
                std::uint32_t c = 0;
                if (e.bits == 32) {
                    c = u32(pixels + row * colour_row + x * 4);
                } else {
                    const std::uint32_t index = u8(pixels + row * colour_row + x);
                    c = 0xff000000 | (u32(at + 40 + index * 4) & 0xffffff);
                    EXPECT_EQ(u8(at + 40 + index * 4 + 3), 0u) << "palette entry " << index;
                }
                image.colour[y * e.size + x] = c;
                image.transparent[y * e.size + x] =
                    (u8(mask + row * mask_row + x / 8) >> (7 - x % 8) & 1) != 0;
            }
        }
        return image;
    }

    static std::vector<std::uint8_t> bytes_;
};
std::vector<std::uint8_t> IconFile::bytes_;

TEST_F(IconFile, DirectoryListsTwelveContiguousImages) {
    ASSERT_EQ(bytes_.size(), 171014u);
    EXPECT_EQ(u16(0), 0u);
    EXPECT_EQ(u16(2), 1u);
    ASSERT_EQ(u16(4), 12u);
    std::uint32_t offset = 6 + 12 * 16;
    for (std::size_t i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        const std::size_t entry = 6 + i * 16;
        const Expected& e = kImages[i];
        EXPECT_EQ(u8(entry), e.size);
        EXPECT_EQ(u8(entry + 1), e.size);
        EXPECT_EQ(u8(entry + 2), 0u);
        EXPECT_EQ(u8(entry + 3), 0u);
        EXPECT_EQ(u16(entry + 4), 1u);
        EXPECT_EQ(u16(entry + 6), e.bits);
        EXPECT_EQ(u32(entry + 8), e.bytes);
        EXPECT_EQ(u32(entry + 12), offset);

        // The DIB header: the height counts the colour rows and the mask rows.
        EXPECT_EQ(u32(offset), 40u);
        EXPECT_EQ(u32(offset + 4), e.size);
        EXPECT_EQ(u32(offset + 8), 2 * e.size);
        EXPECT_EQ(u16(offset + 12), 1u);
        EXPECT_EQ(u16(offset + 14), e.bits);
        EXPECT_EQ(u32(offset + 16), 0u);
        const std::uint32_t image_bytes = u32(offset + 20);
        EXPECT_TRUE(image_bytes == 0 || image_bytes == e.bytes - 40 - (e.bits == 8 ? 1024 : 0))
            << image_bytes;
        offset += e.bytes;
    }
    EXPECT_EQ(offset, bytes_.size());
}

TEST_F(IconFile, ImagesArePicturesWithMasksThatFollowTheirAlpha) {
    ASSERT_EQ(bytes_.size(), 171014u);
    std::size_t at = 6 + 12 * 16;
    std::vector<bool> mask_of_8_bit;
    for (const Expected& e : kImages) {
        SCOPED_TRACE(e.size * 100 + e.bits);
        const Image image = decode(at, e);
        at += e.bytes;

        const unsigned n = e.size;
        EXPECT_TRUE(image.transparent[0] && image.transparent[n - 1]);
        EXPECT_TRUE(image.transparent[(n - 1) * n] && image.transparent[n * n - 1]);
        EXPECT_FALSE(image.transparent[n / 2 * n + n / 2]);

        std::set<std::uint32_t> opaque_colours;
        std::set<std::uint32_t> alphas;
        for (std::size_t i = 0; i < image.colour.size(); ++i) {
            const std::uint32_t alpha = image.colour[i] >> 24;
            if (e.bits == 32) {
                alphas.insert(alpha);
                EXPECT_EQ(image.transparent[i], alpha < 128) << "pixel " << i;
            } else if (image.transparent[i]) {
                EXPECT_EQ(image.colour[i] & 0xffffff, 0u) << "pixel " << i;  // XOR with black
            }
            if (!image.transparent[i]) {
                opaque_colours.insert(image.colour[i] & 0xffffff);
            }
        }
        EXPECT_GE(opaque_colours.size(), 6u);
        if (e.bits == 8) {
            mask_of_8_bit = image.transparent;
        } else {
            EXPECT_TRUE(alphas.count(0) && alphas.count(255));
            EXPECT_GE(alphas.size(), 3u) << "no anti-aliased edge";
            if (mask_of_8_bit.size() == image.transparent.size()) {
                EXPECT_EQ(mask_of_8_bit, image.transparent) << "the two images differ in shape";
            }
        }
    }
}

}  // namespace
