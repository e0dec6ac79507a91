// Pixel work on bitmaps: filling and changing the colour depth.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "support/KernelLeakGuard.h"

namespace {

using Bytes = std::vector<uint8_t>;

// An allocated bitmap freed at the end of the test.
class Bitmap {
 public:
  Bitmap(int32_t width, int32_t height, int32_t bitsPerPixel) {
    EXPECT_EQ(InitBitmap(&record_, 216, width, height, bitsPerPixel), kIkOk);
    EXPECT_EQ(AllocateBitmap(&record_, 1), kIkOk);
  }
  ~Bitmap() { EXPECT_EQ(FreeBitmap(&record_), kIkOk); }
  BitmapRecord* operator->() { return &record_; }
  BitmapRecord* get() { return &record_; }

  // Pixel x of row y of a 24-bit bitmap as 0x00BBGGRR.
  void Put24(int32_t x, int32_t y, uint32_t colour) {
    uint8_t* p = record_.bits + y * record_.bytesPerRow + 3 * x;
    for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>(colour >> (16 - 8 * i));
  }
  uint32_t Get24(int32_t x, int32_t y) const {
    const uint8_t* p = record_.bits + y * record_.bytesPerRow + 3 * x;
    return p[2] | (p[1] << 8) | (p[0] << 16);
  }
  // Palette index of pixel x in row 0.
  int Index(int32_t x) const {
    const uint8_t* row = record_.bits;
    switch (record_.bitsPerPixel) {
      case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
      case 4: return x % 2 != 0 ? row[x / 2] & 15 : row[x / 2] >> 4;
      default: return row[x];
    }
  }
  Bytes Head(int n) const { return Bytes(record_.bits, record_.bits + n); }
  int32_t Convert(int32_t bitsPerPixel) {
    return ColorResBitmap(&record_, &record_, 216, bitsPerPixel, 2, 0, 0, 0, 0, 0);
  }

 private:
  BitmapRecord record_{};
};

TEST(FillBitmap, WritesPixelsOrTheNearestPaletteIndexAndKeepsPaddingZero) {
  Bitmap bitmap(3, 2, 24);
  ASSERT_EQ(FillBitmap(bitmap.get(), 0x00336699), kIkOk);
  const Bytes row = {0x33, 0x66, 0x99, 0x33, 0x66, 0x99, 0x33, 0x66, 0x99, 0, 0, 0};
  EXPECT_EQ(Bytes(bitmap->bits + 12, bitmap->bits + 24), row) << "second row";
  Bitmap alpha(2, 2, 32);
  ASSERT_EQ(FillBitmap(alpha.get(), 0x000000FF), kIkOk);
  EXPECT_EQ(alpha.Head(8), (Bytes{0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF}));

  struct Case { int32_t bitsPerPixel; uint32_t colour; int index; };
  for (Case c : {Case{8, 0x7F8081, 128}, Case{4, 0x0101F0, 9}, Case{4, 0xC0C0C0, 7},
                 Case{1, 0xFFFFFF, 1}, Case{1, 0x101010, 0}}) {
    SCOPED_TRACE(c.colour);
    Bitmap indexed(11, 2, c.bitsPerPixel);
    ASSERT_EQ(FillBitmap(indexed.get(), c.colour), kIkOk);
    for (int32_t x = 0; x < 11; ++x) EXPECT_EQ(indexed.Index(x), c.index) << x;
  }
  Bitmap mono(3, 1, 1);
  ASSERT_EQ(FillBitmap(mono.get(), 0xFFFFFF), kIkOk);
  EXPECT_EQ(mono.Head(4), (Bytes{0xE0, 0, 0, 0}));

  BitmapRecord empty{};
  ASSERT_EQ(InitBitmap(&empty, 216, 2, 2, 24), kIkOk);
  EXPECT_EQ(FillBitmap(&empty, 0), kIkErrNoImage);
  EXPECT_EQ(FillBitmap(nullptr, 0), kIkErrArgument);
}

TEST(ColorResBitmap, MapsPrimariesToEachDepth) {
  // red, green, blue, white, black, yellow, magenta, cyan
  constexpr uint32_t kPrimaries[] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF,
                                     0x000000, 0x00FFFF, 0xFF00FF, 0xFFFF00};
  struct Case { int32_t bitsPerPixel, bytesPerRow, paletteCount; std::vector<int> indices; };
  const Case cases[] = {
      {8, 8, 256, {}},  // empty: back at 24 bits the colours must be exact
      {4, 4, 16, {9, 10, 12, 15, 0, 11, 13, 14}},  // the VGA colours
      {1, 4, 2, {0, 1, 0, 1, 0, 1, 0, 1}},         // luminance threshold
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bitsPerPixel);
    Bitmap bitmap(8, 1, 24);
    for (int32_t x = 0; x < 8; ++x) bitmap.Put24(x, 0, kPrimaries[x]);
    ASSERT_EQ(bitmap.Convert(c.bitsPerPixel), kIkOk);
    EXPECT_EQ(bitmap->bytesPerRow, c.bytesPerRow);
    EXPECT_EQ(bitmap->paletteCount, c.paletteCount);
    for (size_t x = 0; x < c.indices.size(); ++x) EXPECT_EQ(bitmap.Index(x), c.indices[x]) << x;
    if (!c.indices.empty()) continue;
    ASSERT_EQ(bitmap.Convert(24), kIkOk);
    for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(bitmap.Get24(x, 0), kPrimaries[x]) << x;
  }
}

TEST(ColorResBitmap, AddsAndDropsAlphaAndReadsThroughThePalette) {
  Bitmap bitmap(2, 1, 24);
  bitmap.Put24(0, 0, 0x112233);
  ASSERT_EQ(bitmap.Convert(32), kIkOk);
  EXPECT_EQ(bitmap.Head(4), (Bytes{0x11, 0x22, 0x33, 0xFF}));
  bitmap->bits[3] = 0x40;
  ASSERT_EQ(bitmap.Convert(24), kIkOk);
  EXPECT_EQ(bitmap.Get24(0, 0), 0x112233u);

  Bitmap indexed(2, 1, 8);
  uint32_t palette[2] = {0x00ABCDEF, 0x00123456};
  ASSERT_EQ(SetBitmapPalette(indexed.get(), 2, palette), kIkOk);
  indexed->bits[0] = 1;
  indexed->bits[1] = 200;  // past the palette: black
  ASSERT_EQ(indexed.Convert(24), kIkOk);
  EXPECT_EQ(indexed->palette, nullptr);
  EXPECT_EQ(indexed.Get24(0, 0), 0x123456u);
  EXPECT_EQ(indexed.Get24(1, 0), 0u);
}

TEST(ColorResBitmap, RejectsBadRequestsAndKeepsTheBitmapWhenMemoryRunsOut) {
  Bitmap bitmap(2, 2, 24);
  bitmap.Put24(0, 0, 0x0000FF);
  BitmapRecord empty{};
  ASSERT_EQ(InitBitmap(&empty, 216, 2, 2, 24), kIkOk);
  EXPECT_EQ(bitmap.Convert(16), kIkErrFormat);
  EXPECT_EQ(ColorResBitmap(&empty, &empty, 216, 8, 2, 0, 0, 0, 0, 0), kIkErrNoImage);
  EXPECT_EQ(ColorResBitmap(bitmap.get(), bitmap.get(), 10, 8, 2, 0, 0, 0, 0, 0), kIkErrArgument);
  EXPECT_EQ(ColorResBitmap(nullptr, bitmap.get(), 216, 8, 2, 0, 0, 0, 0, 0), kIkErrArgument);
  uint8_t* bits = bitmap->bits;
  KernelFailAllocation(1);
  EXPECT_EQ(bitmap.Convert(8), kIkErrNoMemory);
  EXPECT_TRUE(bitmap->bits == bits && bitmap->bitsPerPixel == 24 && bitmap.Get24(0, 0) == 0x0000FFu);
}

}  // namespace
