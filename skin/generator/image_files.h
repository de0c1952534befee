// Writers for the file formats the resource compiler and LoadImage read: uncompressed 24-bit
// bitmaps, and icon / cursor files holding 32-bit images with an alpha channel plus the 1-bit
// mask that older readers use. All fields are little-endian whatever the host.
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "skin/generator/raster.h"

namespace skingen {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kBitmapFileHeaderSize = 14;
constexpr std::uint32_t kBitmapInfoHeaderSize = 40;
constexpr std::uint32_t kIconDirSize = 6;
constexpr std::uint32_t kIconDirEntrySize = 16;
constexpr int kLargestIconSide = 256;           // stored as 0 in the one-byte size fields
constexpr std::int32_t kPixelsPerMetre = 2835;  // 72 dpi, what paint programs write

inline void PutU8(Bytes& out, std::uint32_t v) { out.push_back(std::uint8_t(v)); }
inline void PutU16(Bytes& out, std::uint32_t v) {
  PutU8(out, v);
  PutU8(out, v >> 8);
}
inline void PutU32(Bytes& out, std::uint32_t v) {
  PutU16(out, v);
  PutU16(out, v >> 16);
}

// Rows of every bitmap are padded to a multiple of four bytes.
constexpr std::uint32_t RowStride(int width, int bitsPerPixel) {
  return (std::uint32_t(width) * bitsPerPixel + 31) / 32 * 4;
}

inline void PutInfoHeader(Bytes& out, int width, int storedHeight, int bitsPerPixel,
                          std::uint32_t imageSize) {
  PutU32(out, kBitmapInfoHeaderSize);
  PutU32(out, std::uint32_t(width));
  PutU32(out, std::uint32_t(storedHeight));
  PutU16(out, 1);  // planes
  PutU16(out, std::uint32_t(bitsPerPixel));
  PutU32(out, 0);  // BI_RGB
  PutU32(out, imageSize);
  PutU32(out, std::uint32_t(kPixelsPerMetre));
  PutU32(out, std::uint32_t(kPixelsPerMetre));
  PutU32(out, 0);  // colours used
  PutU32(out, 0);  // important colours
}

// A 24-bit bottom-up bitmap file; alpha is dropped, so callers pass opaque rasters.
inline Bytes EncodeBmp(const Raster& image) {
  const std::uint32_t stride = RowStride(image.width, 24);
  const std::uint32_t pixelBytes = stride * std::uint32_t(image.height);
  const std::uint32_t offset = kBitmapFileHeaderSize + kBitmapInfoHeaderSize;
  Bytes out;
  out.reserve(offset + pixelBytes);
  PutU8(out, 'B');
  PutU8(out, 'M');
  PutU32(out, offset + pixelBytes);
  PutU32(out, 0);  // reserved
  PutU32(out, offset);
  PutInfoHeader(out, image.width, image.height, 24, pixelBytes);
  for (int y = image.height - 1; y >= 0; --y) {
    const std::size_t rowStart = out.size();
    for (int x = 0; x < image.width; ++x) {
      const Pixel p = image.At(x, y);
      PutU8(out, BlueOf(p));
      PutU8(out, GreenOf(p));
      PutU8(out, RedOf(p));
    }
    out.resize(rowStart + stride, 0);
  }
  return out;
}

// One icon image as stored in the file: header with doubled height (colour rows then mask
// rows), 32-bit BGRA rows bottom-up, then the AND mask with a 1 bit for transparent pixels.
inline Bytes EncodeIconImage(const Raster& image) {
  const std::uint32_t colourBytes = RowStride(image.width, 32) * std::uint32_t(image.height);
  const std::uint32_t maskStride = RowStride(image.width, 1);
  const std::uint32_t maskBytes = maskStride * std::uint32_t(image.height);
  Bytes out;
  out.reserve(kBitmapInfoHeaderSize + colourBytes + maskBytes);
  PutInfoHeader(out, image.width, image.height * 2, 32, colourBytes + maskBytes);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const Pixel p = image.At(x, y);
      PutU8(out, BlueOf(p));
      PutU8(out, GreenOf(p));
      PutU8(out, RedOf(p));
      PutU8(out, AlphaOf(p));
    }
  }
  for (int y = image.height - 1; y >= 0; --y) {
    Bytes row(maskStride, 0);
    for (int x = 0; x < image.width; ++x) {
      if (AlphaOf(image.At(x, y)) == 0) row[std::size_t(x) / 8] |= std::uint8_t(0x80 >> (x % 8));
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

struct Hotspot {
  int x;
  int y;
};

// An .ico file, or a .cur file when a hotspot is given (it applies to every image).
inline Bytes EncodeIconFile(const std::vector<Raster>& images,
                            std::optional<Hotspot> hotspot = std::nullopt) {
  std::vector<Bytes> encoded;
  for (const Raster& image : images) {
    if (image.width < 1 || image.height < 1 || image.width > kLargestIconSide ||
        image.height > kLargestIconSide) {
      throw std::invalid_argument("icon images must be 1 to 256 pixels a side");
    }
    encoded.push_back(EncodeIconImage(image));
  }
  Bytes out;
  PutU16(out, 0);                // reserved
  PutU16(out, hotspot ? 2 : 1);  // resource type: cursor or icon
  PutU16(out, std::uint32_t(images.size()));
  std::uint32_t offset = kIconDirSize + kIconDirEntrySize * std::uint32_t(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    PutU8(out, std::uint32_t(images[i].width % kLargestIconSide));
    PutU8(out, std::uint32_t(images[i].height % kLargestIconSide));
    PutU8(out, 0);  // no palette
    PutU8(out, 0);  // reserved
    // Cursors keep their hotspot where icons keep planes and bit count.
    PutU16(out, hotspot ? std::uint32_t(hotspot->x) : 1);
    PutU16(out, hotspot ? std::uint32_t(hotspot->y) : 32);
    PutU32(out, std::uint32_t(encoded[i].size()));
    PutU32(out, offset);
    offset += std::uint32_t(encoded[i].size());
  }
  for (const Bytes& image : encoded) out.insert(out.end(), image.begin(), image.end());
  return out;
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}

}  // namespace skingen
