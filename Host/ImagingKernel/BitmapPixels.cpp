// Pixel operations on bitmap records: filling with one colour and
// converting between 32, 24, 8, 4 and 1 bits per pixel.
#include <cstring>
#include <vector>

#include "BitmapMemory.h"
#include "KernelState.h"

namespace {

struct Rgba {
  uint8_t r, g, b, a;
};

Rgba FromColour(uint32_t colour) {
  return {static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8),
          static_cast<uint8_t>(colour >> 16), 255};
}

uint32_t ToColour(uint8_t r, uint8_t g, uint8_t b) {
  return r | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(b) << 16);
}

int32_t Distance(Rgba c, uint8_t r, uint8_t g, uint8_t b) {
  int32_t dr = c.r - r;
  int32_t dg = c.g - g;
  int32_t db = c.b - b;
  return dr * dr + dg * dg + db * db;
}

// The 8-bit conversion palette: a 6x6x6 colour cube (levels 0, 51, ..., 255,
// index 36r + 6g + b) followed by 40 greys between the cube's greys.
constexpr int32_t kCubeEntries = 216;
constexpr int32_t kGreyEntries = 40;

uint8_t GreyLevel(int32_t i) { return static_cast<uint8_t>(((i + 1) * 255 + 20) / 41); }

void ConversionPalette8(uint32_t* out) {
  for (int32_t r = 0; r < 6; ++r) {
    for (int32_t g = 0; g < 6; ++g) {
      for (int32_t b = 0; b < 6; ++b) {
        out[36 * r + 6 * g + b] = ToColour(static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 51),
                                           static_cast<uint8_t>(b * 51));
      }
    }
  }
  for (int32_t i = 0; i < kGreyEntries; ++i) {
    uint8_t v = GreyLevel(i);
    out[kCubeEntries + i] = ToColour(v, v, v);
  }
}

// Finds the nearest palette entry of a colour. The conversion palette is
// searched directly (per-channel rounding in the cube, the nearest grey to
// the mean); any other palette linearly, remembering the last answer.
class PaletteMatcher {
 public:
  PaletteMatcher(const uint32_t* palette, int32_t count, bool conversionPalette)
      : palette_(palette), count_(count), conversion_(conversionPalette) {}

  uint8_t Match(Rgba c) {
    if (conversion_) return MatchConversion(c);
    if (haveLast_ && c.r == last_.r && c.g == last_.g && c.b == last_.b) return lastIndex_;
    int32_t best = 0;
    int32_t bestDistance = INT32_MAX;
    for (int32_t i = 0; i < count_; ++i) {
      uint32_t e = palette_[i];
      int32_t d = Distance(c, static_cast<uint8_t>(e), static_cast<uint8_t>(e >> 8),
                           static_cast<uint8_t>(e >> 16));
      if (d < bestDistance) {
        bestDistance = d;
        best = i;
      }
    }
    last_ = c;
    lastIndex_ = static_cast<uint8_t>(best);
    haveLast_ = true;
    return lastIndex_;
  }

 private:
  static uint8_t MatchConversion(Rgba c) {
    int32_t r6 = (c.r + 25) / 51;
    int32_t g6 = (c.g + 25) / 51;
    int32_t b6 = (c.b + 25) / 51;
    int32_t best = 36 * r6 + 6 * g6 + b6;
    int32_t bestDistance = Distance(c, static_cast<uint8_t>(r6 * 51), static_cast<uint8_t>(g6 * 51),
                                    static_cast<uint8_t>(b6 * 51));
    int32_t mean = (c.r + c.g + c.b) / 3;
    int32_t k = (mean * 41 + 127) / 255 - 1;
    for (int32_t i = k - 1; i <= k + 1; ++i) {
      if (i < 0 || i >= kGreyEntries) continue;
      uint8_t v = GreyLevel(i);
      int32_t d = Distance(c, v, v, v);
      if (d < bestDistance) {
        bestDistance = d;
        best = kCubeEntries + i;
      }
    }
    return static_cast<uint8_t>(best);
  }

  const uint32_t* palette_;
  int32_t count_;
  bool conversion_;
  bool haveLast_ = false;
  Rgba last_{};
  uint8_t lastIndex_ = 0;
};

// Palette index of pixel x in a row of 1, 4 or 8 bits per pixel.
uint8_t IndexAt(const uint8_t* row, int32_t bitsPerPixel, int32_t x) {
  switch (bitsPerPixel) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (x & 1) != 0 ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    default: return row[x];
  }
}

void PutIndex(uint8_t* row, int32_t bitsPerPixel, int32_t x, uint8_t index) {
  switch (bitsPerPixel) {
    case 1: {
      uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = static_cast<uint8_t>((row[x >> 3] & ~mask) | ((index & 1) != 0 ? mask : 0));
      break;
    }
    case 4:
      if ((x & 1) != 0) {
        row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0xF0) | (index & 0x0F));
      } else {
        row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0x0F) | (index << 4));
      }
      break;
    default:
      row[x] = index;
  }
}

void DecodeRow(const BitmapRecord& bitmap, const uint8_t* row, Rgba* out) {
  const int32_t width = bitmap.width;
  switch (bitmap.bitsPerPixel) {
    case 32:
      for (int32_t x = 0; x < width; ++x, row += 4) out[x] = {row[2], row[1], row[0], row[3]};
      break;
    case 24:
      for (int32_t x = 0; x < width; ++x, row += 3) out[x] = {row[2], row[1], row[0], 255};
      break;
    default:
      for (int32_t x = 0; x < width; ++x) {
        uint8_t index = IndexAt(row, bitmap.bitsPerPixel, x);
        // An index past the palette reads as black.
        uint32_t colour = index < bitmap.paletteCount && bitmap.palette != nullptr
                              ? bitmap.palette[index]
                              : 0;
        out[x] = FromColour(colour);
      }
  }
}

// Luminance threshold for 1 bit: index 1 (white) from a luma of 128 up.
uint8_t MonochromeIndex(Rgba c) {
  return (299 * c.r + 587 * c.g + 114 * c.b) >= 128000 ? 1 : 0;
}

void EncodeRow(const Rgba* in, int32_t width, int32_t bitsPerPixel, PaletteMatcher& matcher,
               uint8_t* row) {
  switch (bitsPerPixel) {
    case 32:
      for (int32_t x = 0; x < width; ++x, row += 4) {
        row[0] = in[x].b;
        row[1] = in[x].g;
        row[2] = in[x].r;
        row[3] = in[x].a;
      }
      break;
    case 24:
      for (int32_t x = 0; x < width; ++x, row += 3) {
        row[0] = in[x].b;
        row[1] = in[x].g;
        row[2] = in[x].r;
      }
      break;
    case 1:
      for (int32_t x = 0; x < width; ++x) PutIndex(row, 1, x, MonochromeIndex(in[x]));
      break;
    default:
      for (int32_t x = 0; x < width; ++x) PutIndex(row, bitsPerPixel, x, matcher.Match(in[x]));
  }
}

}  // namespace

extern "C" {

IK_API int32_t FillBitmap(BitmapRecord* bitmap, uint32_t colour) {
  if (bitmap == nullptr) return kIkErrArgument;
  if (bitmap->bits == nullptr) return kIkErrNoImage;
  const int32_t depth = bitmap->bitsPerPixel;
  if (!ikernel::ValidDepth(depth)) return kIkErrFormat;
  if (depth <= 8 && (bitmap->palette == nullptr || bitmap->paletteCount <= 0)) return kIkErrFormat;
  Rgba c = FromColour(colour);
  uint8_t* first = bitmap->bits;
  std::memset(first, 0, static_cast<size_t>(bitmap->bytesPerRow));
  if (depth <= 8) {
    PaletteMatcher matcher(bitmap->palette, bitmap->paletteCount, false);
    uint8_t index = matcher.Match(c);
    for (int32_t x = 0; x < bitmap->width; ++x) PutIndex(first, depth, x, index);
  } else {
    std::vector<Rgba> row(static_cast<size_t>(bitmap->width), c);
    PaletteMatcher unused(nullptr, 0, false);
    EncodeRow(row.data(), bitmap->width, depth, unused, first);
  }
  // Every row is the same: copy the first one down.
  for (int32_t y = 1; y < bitmap->height; ++y) {
    std::memcpy(first + static_cast<int64_t>(y) * bitmap->bytesPerRow, first,
                static_cast<size_t>(bitmap->bytesPerRow));
  }
  return kIkOk;
}

// The flag and the five trailing arguments select dithering and colour
// reduction options of the host; this kernel always maps each pixel to the
// nearest colour of the new format, so they are accepted and not used.
IK_API int32_t ColorResBitmap(const BitmapRecord* source, BitmapRecord* destination,
                              int32_t recordSize, int32_t bitsPerPixel, int32_t /*flag*/,
                              int32_t /*a*/, int32_t /*b*/, int32_t /*c*/, int32_t /*d*/,
                              int32_t /*e*/) {
  if (source == nullptr || destination == nullptr || !ikernel::ValidRecordSize(recordSize)) {
    return kIkErrArgument;
  }
  if (!ikernel::ValidDepth(bitsPerPixel) || !ikernel::ValidDepth(source->bitsPerPixel)) {
    return kIkErrFormat;
  }
  if (source->bits == nullptr) return kIkErrNoImage;
  if (bitsPerPixel == source->bitsPerPixel) {
    return source == destination ? kIkOk : CopyBitmapRecord(destination, source, recordSize);
  }
  const int32_t width = source->width;
  const int32_t height = source->height;
  int64_t rowBytes = ikernel::RowBytes(width, bitsPerPixel);
  int64_t imageSize = rowBytes * height;
  if (imageSize > INT32_MAX) return kIkErrArgument;

  uint32_t entries[256];
  int32_t paletteCount = 0;
  if (bitsPerPixel == 8) {
    ConversionPalette8(entries);
    paletteCount = 256;
  } else {
    paletteCount = ikernel::DefaultPalette(bitsPerPixel, entries);
  }
  if (!ikernel::TakeAllocationTicket()) return kIkErrNoMemory;
  uint8_t* bits = ikernel::NewImageMemory(static_cast<uint32_t>(imageSize));
  if (bits == nullptr) return kIkErrNoMemory;
  uint32_t* palette = nullptr;
  if (paletteCount > 0) {
    palette = ikernel::NewPalette(paletteCount, entries);
    if (palette == nullptr) {
      ikernel::DeleteImageMemory(bits);
      return kIkErrNoMemory;
    }
  }

  PaletteMatcher matcher(entries, paletteCount, bitsPerPixel == 8);
  std::vector<Rgba> pixels(static_cast<size_t>(width));
  for (int32_t y = 0; y < height; ++y) {
    DecodeRow(*source, source->bits + static_cast<int64_t>(y) * source->bytesPerRow, pixels.data());
    EncodeRow(pixels.data(), width, bitsPerPixel, matcher, bits + y * rowBytes);
  }

  if (source == destination) {
    ikernel::DeleteImageMemory(destination->bits);
    ikernel::DeletePalette(destination->palette);
  } else {
    *destination = *source;
    destination->accessCount = 0;
  }
  destination->bitsPerPixel = bitsPerPixel;
  destination->bytesPerRow = static_cast<int32_t>(rowBytes);
  destination->imageSize = static_cast<int32_t>(imageSize);
  destination->bits = bits;
  destination->palette = palette;
  destination->paletteCount = paletteCount;
  return kIkOk;
}

}  // extern "C"
