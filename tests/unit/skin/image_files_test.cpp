// The skin's bitmap and icon writers, read back field by field the way the resource compiler
// and LoadImage read them.
#include "skin/generator/image_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace skingen {
namespace {

std::uint32_t U16(const Bytes& b, std::size_t at) { return b.at(at) | (b.at(at + 1) << 8); }
std::uint32_t U32(const Bytes& b, std::size_t at) { return U16(b, at) | (U16(b, at + 2) << 16); }

constexpr Pixel kTopLeft = Argb(10, 20, 30);
constexpr Pixel kBottomRight = Argb(200, 150, 100, 128);

Raster Marked(int w, int h, Pixel fill = Argb(255, 255, 255)) {
  Raster r(w, h, fill);
  r.At(0, 0) = kTopLeft;
  r.At(w - 1, h - 1) = kBottomRight;
  return r;
}

TEST(SkinBitmapFile, HeaderRowPaddingAndBottomUpOrder) {
  struct Case {
    int width, height;
    std::uint32_t stride;
  };
  for (const Case c :
       {Case{1, 2, 4}, Case{3, 2, 12}, Case{4, 3, 12}, Case{5, 2, 16}, Case{786, 557, 2360}}) {
    SCOPED_TRACE(c.width);
    const Bytes file = EncodeBmp(Marked(c.width, c.height));
    ASSERT_EQ(file.size(), 54 + c.stride * c.height);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(U32(file, 2), file.size());
    EXPECT_EQ(U32(file, 10), 54u);  // pixel data offset
    EXPECT_EQ(U32(file, 14), 40u);
    EXPECT_EQ(U32(file, 18), std::uint32_t(c.width));
    EXPECT_EQ(U32(file, 22), std::uint32_t(c.height));  // positive: bottom-up
    EXPECT_EQ(U16(file, 26), 1u);
    EXPECT_EQ(U16(file, 28), 24u);
    EXPECT_EQ(U32(file, 30), 0u);
    EXPECT_EQ(U32(file, 34), c.stride * c.height);

    // The first stored row is the bottom one; its last pixel is the bottom-right mark.
    const std::size_t bottomRight = 54 + 3 * std::size_t(c.width - 1);
    EXPECT_EQ(file[bottomRight], BlueOf(kBottomRight));
    EXPECT_EQ(file[bottomRight + 1], GreenOf(kBottomRight));
    EXPECT_EQ(file[bottomRight + 2], RedOf(kBottomRight));
    const std::size_t topLeft = 54 + c.stride * (c.height - 1);
    EXPECT_EQ(file[topLeft], BlueOf(kTopLeft));
    EXPECT_EQ(file[topLeft + 2], RedOf(kTopLeft));
    for (std::size_t pad = 54 + 3 * std::size_t(c.width); pad < 54 + c.stride; ++pad) {
      EXPECT_EQ(file[pad], 0) << "padding byte " << pad;
    }
  }
}

TEST(SkinIconFile, DirectoryOffsetsAndImageLayout) {
  const std::vector<Raster> images = {Marked(16, 16, 0), Marked(33, 20, 0), Marked(256, 256, 0)};
  const Bytes file = EncodeIconFile(images);
  EXPECT_EQ(U16(file, 0), 0u);
  EXPECT_EQ(U16(file, 2), 1u);  // icon
  ASSERT_EQ(U16(file, 4), images.size());

  std::uint32_t expectedOffset = 6 + 16 * std::uint32_t(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    SCOPED_TRACE(i);
    const int w = images[i].width, h = images[i].height;
    const std::size_t entry = 6 + 16 * i;
    EXPECT_EQ(file[entry], w % 256);  // 256 is written as 0
    EXPECT_EQ(file[entry + 1], h % 256);
    EXPECT_EQ(U16(file, entry + 4), 1u);   // planes
    EXPECT_EQ(U16(file, entry + 6), 32u);  // bits per pixel
    const std::uint32_t maskStride = (std::uint32_t(w) + 31) / 32 * 4;
    const std::uint32_t size = 40 + 4 * w * h + maskStride * h;
    EXPECT_EQ(U32(file, entry + 8), size);
    ASSERT_EQ(U32(file, entry + 12), expectedOffset);

    const std::size_t image = expectedOffset;
    EXPECT_EQ(U32(file, image), 40u);
    EXPECT_EQ(U32(file, image + 4), std::uint32_t(w));
    EXPECT_EQ(U32(file, image + 8), std::uint32_t(2 * h));  // colour rows plus mask rows
    EXPECT_EQ(U16(file, image + 14), 32u);

    // Colour rows bottom-up, BGRA: the first stored pixel row ends with the bottom-right mark.
    const std::size_t bottomRight = image + 40 + 4 * std::size_t(w - 1);
    EXPECT_EQ(file[bottomRight], BlueOf(kBottomRight));
    EXPECT_EQ(file[bottomRight + 2], RedOf(kBottomRight));
    EXPECT_EQ(file[bottomRight + 3], AlphaOf(kBottomRight));
    const std::size_t topLeft = image + 40 + 4 * std::size_t(w) * (h - 1);
    EXPECT_EQ(file[topLeft + 3], 255);

    // Mask: 1 for transparent pixels. Top-left and bottom-right are opaque, the rest clear.
    const std::size_t mask = image + 40 + 4 * std::size_t(w) * h;
    const std::size_t topRow = mask + maskStride * (h - 1);
    EXPECT_EQ(file[topRow] & 0x80, 0);
    EXPECT_EQ(file[topRow] & 0x40, 0x40);
    EXPECT_EQ(file[mask + std::size_t(w - 1) / 8] & (0x80 >> ((w - 1) % 8)), 0);
    EXPECT_NE(file[mask], 0);

    expectedOffset += size;
  }
  EXPECT_EQ(file.size(), expectedOffset);
}

TEST(SkinIconFile, CursorKeepsItsHotspotInEveryEntry) {
  const Bytes file = EncodeIconFile({Raster(32, 32), Raster(48, 48)}, Hotspot{11, 1});
  EXPECT_EQ(U16(file, 2), 2u);  // cursor
  for (std::size_t entry : {6u, 22u}) {
    EXPECT_EQ(U16(file, entry + 4), 11u);
    EXPECT_EQ(U16(file, entry + 6), 1u);
  }
}

TEST(SkinIconFile, RefusesImagesTheFormatCannotHold) {
  EXPECT_THROW(EncodeIconFile({Raster(257, 16)}), std::invalid_argument);
  EXPECT_THROW(EncodeIconFile({Raster(0, 16)}), std::invalid_argument);
}

// Separator rows and frames rely on shapes with edges on pixel boundaries covering whole
// pixels, with nothing bleeding into the neighbours.
TEST(SkinRaster, RectangleOnPixelEdgesCoversExactlyItsPixels) {
  Raster r(5, 4, Argb(0, 0, 0));
  Fill(r, RoundRect(1, 1, 4, 2), Argb(255, 0, 0));
  for (int y = 0; y < r.height; ++y) {
    for (int x = 0; x < r.width; ++x) {
      const bool inside = y == 1 && x >= 1 && x < 4;
      EXPECT_EQ(r.At(x, y), inside ? Argb(255, 0, 0) : Argb(0, 0, 0)) << x << "," << y;
    }
  }
}

TEST(SkinRaster, HalfCoverageBlendsHalfWayOverOpaqueAndKeepsColourOverClear) {
  Raster r(2, 1, Argb(0, 0, 0));
  r.At(1, 0) = 0;  // fully transparent
  BlendPixel(r, 0, 0, Argb(255, 255, 255), 0.5);
  BlendPixel(r, 1, 0, Argb(255, 128, 0), 0.5);
  EXPECT_EQ(r.At(0, 0), Argb(128, 128, 128));
  EXPECT_EQ(r.At(1, 0), Argb(255, 128, 0, 128));
}

}  // namespace
}  // namespace skingen
