#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "support/KernelLeakGuard.h"

namespace {

using svgflt::testing::KernelSnapshot;

// An allocated bitmap freed at the end of the test.
class Bitmap {
 public:
  Bitmap(int32_t width, int32_t height, int32_t bitsPerPixel) {
    EXPECT_EQ(InitBitmap(&record_, 216, width, height, bitsPerPixel), kIkOk);
    EXPECT_EQ(AllocateBitmap(&record_, 1), kIkOk);
  }
  ~Bitmap() { EXPECT_EQ(FreeBitmap(&record_), kIkOk); }
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
  BitmapRecord* operator->() { return &record_; }
  BitmapRecord* get() { return &record_; }

  // Sets pixel x of row y of a 24-bit bitmap to 0x00BBGGRR.
  void Put24(int32_t x, int32_t y, uint32_t colour) {
    uint8_t* p = record_.bits + y * record_.bytesPerRow + 3 * x;
    p[0] = static_cast<uint8_t>(colour >> 16);
    p[1] = static_cast<uint8_t>(colour >> 8);
    p[2] = static_cast<uint8_t>(colour);
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

 private:
  BitmapRecord record_{};
};

constexpr uint32_t kPrimaries[] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF,
                                   0x000000, 0x00FFFF, 0xFF00FF, 0xFFFF00};
constexpr int32_t kPrimaryCount = 8;

TEST(FillBitmap, WritesBgrPixelsAndKeepsPaddingZero) {
  Bitmap bitmap(3, 2, 24);
  ASSERT_EQ(FillBitmap(bitmap.get(), 0x00336699), kIkOk);
  for (int32_t y = 0; y < 2; ++y) {
    const uint8_t* row = bitmap->bits + y * bitmap->bytesPerRow;
    EXPECT_EQ(std::vector<uint8_t>(row, row + 12),
              (std::vector<uint8_t>{0x33, 0x66, 0x99, 0x33, 0x66, 0x99, 0x33, 0x66, 0x99, 0, 0, 0}))
        << y;
  }
}

TEST(FillBitmap, GivesThirtyTwoBitPixelsFullAlpha) {
  Bitmap bitmap(2, 2, 32);
  ASSERT_EQ(FillBitmap(bitmap.get(), 0x00FFFFFF), kIkOk);
  for (int32_t i = 0; i < bitmap->imageSize; ++i) ASSERT_EQ(bitmap->bits[i], 0xFF) << i;
  ASSERT_EQ(FillBitmap(bitmap.get(), 0x000000FF), kIkOk);
  EXPECT_EQ(std::vector<uint8_t>(bitmap->bits, bitmap->bits + 4),
            (std::vector<uint8_t>{0, 0, 0xFF, 0xFF}));
}

TEST(FillBitmap, PicksTheNearestPaletteEntry) {
  struct Case {
    int32_t bitsPerPixel;
    uint32_t colour;
    int index;
  };
  const Case cases[] = {{8, 0x808080, 128}, {8, 0x7F8081, 128}, {4, 0x0000FF, 9},
                        {4, 0x0101F0, 9},   {4, 0xC0C0C0, 7},   {1, 0xFFFFFF, 1},
                        {1, 0x101010, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bitsPerPixel) + " bpp colour " + std::to_string(c.colour));
    Bitmap bitmap(11, 2, c.bitsPerPixel);
    ASSERT_EQ(FillBitmap(bitmap.get(), c.colour), kIkOk);
    for (int32_t x = 0; x < 11; ++x) EXPECT_EQ(bitmap.Index(x), c.index) << x;
  }
}

TEST(FillBitmap, PacksMonochromeRowsMostSignificantBitFirst) {
  Bitmap bitmap(3, 1, 1);
  ASSERT_EQ(FillBitmap(bitmap.get(), 0xFFFFFF), kIkOk);
  EXPECT_EQ(std::vector<uint8_t>(bitmap->bits, bitmap->bits + 4),
            (std::vector<uint8_t>{0xE0, 0, 0, 0}));
}

TEST(FillBitmap, NeedsImageMemory) {
  BitmapRecord bitmap{};
  ASSERT_EQ(InitBitmap(&bitmap, 216, 2, 2, 24), kIkOk);
  EXPECT_EQ(FillBitmap(&bitmap, 0), kIkErrNoImage);
  EXPECT_EQ(FillBitmap(nullptr, 0), kIkErrArgument);
}

TEST(ColorResBitmap, KeepsPrimaryColoursThroughEightBits) {
  Bitmap bitmap(kPrimaryCount, 1, 24);
  for (int32_t x = 0; x < kPrimaryCount; ++x) bitmap.Put24(x, 0, kPrimaries[x]);
  ASSERT_EQ(ColorResBitmap(bitmap.get(), bitmap.get(), 216, 8, 2, 0, 0, 0, 0, 0), kIkOk);
  EXPECT_EQ(bitmap->bitsPerPixel, 8);
  EXPECT_EQ(bitmap->bytesPerRow, 8);
  EXPECT_EQ(bitmap->paletteCount, 256);
  ASSERT_EQ(ColorResBitmap(bitmap.get(), bitmap.get(), 216, 24, 2, 0, 0, 0, 0, 0), kIkOk);
  EXPECT_EQ(bitmap->bitsPerPixel, 24);
  EXPECT_EQ(bitmap->bytesPerRow, 24);
  for (int32_t x = 0; x < kPrimaryCount; ++x) EXPECT_EQ(bitmap.Get24(x, 0), kPrimaries[x]) << x;
}

TEST(ColorResBitmap, KeepsGreysCloseThroughEightBits) {
  constexpr uint32_t kGreys[] = {0x101010, 0x404040, 0x808080, 0xC8C8C8, 0xF0F0F0};
  Bitmap bitmap(5, 1, 24);
  for (int32_t x = 0; x < 5; ++x) bitmap.Put24(x, 0, kGreys[x]);
  ASSERT_EQ(ColorResBitmap(bitmap.get(), bitmap.get(), 216, 8, 2, 0, 0, 0, 0, 0), kIkOk);
  ASSERT_EQ(ColorResBitmap(bitmap.get(), bitmap.get(), 216, 24, 2, 0, 0, 0, 0, 0), kIkOk);
  for (int32_t x = 0; x < 5; ++x) {
    uint32_t back = bitmap.Get24(x, 0);
    EXPECT_EQ(back & 0xFF, (back >> 8) & 0xFF) << x;  // still grey
    EXPECT_LE(std::abs(static_cast<int>(back & 0xFF) - static_cast<int>(kGreys[x] & 0xFF)), 4) << x;
  }
}

TEST(ColorResBitmap, MapsToTheVgaColoursAtFourBits) {
  Bitmap bitmap(kPrimaryCount, 1, 24);
  for (int32_t x = 0; x < kPrimaryCount; ++x) bitmap.Put24(x, 0, kPrimaries[x]);
  ASSERT_EQ(ColorResBitmap(bitmap.get(), bitmap.get(), 216, 4, 2, 0, 0, 0, 0, 0), kIkOk);
  EXPECT_EQ(bitmap->paletteCount, 16);
  const int expected[kPrimaryCount] = {9, 10, 12, 15, 0, 11, 13, 14};
  for (int32_t x = 0; x < kPrimaryCount; ++x) EXPECT_EQ(bitmap.Index(x), expected[x]) << x;
}

TEST(ColorResBitmap, ThresholdsLuminanceAtOneBit) {
  Bitmap bitmap(kPrimaryCount, 1, 24);
  for (int32_t x = 0; x < kPrimaryCount; ++x) bitmap.Put24(x, 0, kPrimaries[x]);
  ASSERT_EQ(ColorResBitmap(bitmap.get(), bitmap.get(), 216, 1, 2, 0, 0, 0, 0, 0), kIkOk);
  EXPECT_EQ(bitmap->bytesPerRow, 4);
  // red, green, blue, white, black, yellow, magenta, cyan
  const int expected[kPrimaryCount] = {0, 1, 0, 1, 0, 1, 0, 1};
  for (int32_t x = 0; x < kPrimaryCount; ++x) EXPECT_EQ(bitmap.Index(x), expected[x]) << x;
}

TEST(ColorResBitmap, AddsAndDropsAlpha) {
  Bitmap bitmap(2, 1, 24);
  bitmap.Put24(0, 0, 0x112233);
  ASSERT_EQ(ColorResBitmap(bitmap.get(), bitmap.get(), 216, 32, 2, 0, 0, 0, 0, 0), kIkOk);
  EXPECT_EQ(std::vector<uint8_t>(bitmap->bits, bitmap->bits + 4),
            (std::vector<uint8_t>{0x11, 0x22, 0x33, 0xFF}));
  bitmap->bits[3] = 0x40;
  ASSERT_EQ(ColorResBitmap(bitmap.get(), bitmap.get(), 216, 24, 2, 0, 0, 0, 0, 0), kIkOk);
  EXPECT_EQ(bitmap.Get24(0, 0), 0x112233u);
}

TEST(ColorResBitmap, ReadsPaletteBitmapsThroughTheirPalette) {
  Bitmap bitmap(2, 1, 8);
  uint32_t palette[2] = {0x00ABCDEF, 0x00123456};
  ASSERT_EQ(SetBitmapPalette(bitmap.get(), 2, palette), kIkOk);
  bitmap->bits[0] = 1;
  bitmap->bits[1] = 200;  // past the palette: black
  ASSERT_EQ(ColorResBitmap(bitmap.get(), bitmap.get(), 216, 24, 2, 0, 0, 0, 0, 0), kIkOk);
  EXPECT_EQ(bitmap->palette, nullptr);
  EXPECT_EQ(bitmap.Get24(0, 0), 0x123456u);
  EXPECT_EQ(bitmap.Get24(1, 0), 0u);
}

TEST(ColorResBitmap, ConvertsIntoAnotherRecordLeavingTheSource) {
  KernelAccounting before = KernelSnapshot();
  Bitmap source(2, 2, 24);
  source->xResolution = 150;
  source.Put24(1, 1, 0x0000FF);
  BitmapRecord target{};
  ASSERT_EQ(ColorResBitmap(source.get(), &target, 216, 8, 2, 0, 0, 0, 0, 0), kIkOk);
  EXPECT_EQ(source->bitsPerPixel, 24);
  EXPECT_EQ(source.Get24(1, 1), 0x0000FFu);
  EXPECT_EQ(target.bitsPerPixel, 8);
  EXPECT_EQ(target.xResolution, 150);
  EXPECT_EQ(target.palette[target.bits[target.bytesPerRow + 1]], 0x0000FFu);
  EXPECT_EQ(KernelSnapshot().liveBitmaps, before.liveBitmaps + 2);
  EXPECT_EQ(FreeBitmap(&target), kIkOk);
}

TEST(ColorResBitmap, SameDepthCopiesOrDoesNothing) {
  Bitmap source(2, 2, 24);
  uint8_t* bits = source->bits;
  ASSERT_EQ(ColorResBitmap(source.get(), source.get(), 216, 24, 2, 0, 0, 0, 0, 0), kIkOk);
  EXPECT_EQ(source->bits, bits);
  BitmapRecord copy{};
  ASSERT_EQ(ColorResBitmap(source.get(), &copy, 216, 24, 2, 0, 0, 0, 0, 0), kIkOk);
  EXPECT_NE(copy.bits, bits);
  EXPECT_EQ(FreeBitmap(&copy), kIkOk);
}

TEST(ColorResBitmap, RejectsBadRequests) {
  Bitmap bitmap(2, 2, 24);
  BitmapRecord empty{};
  ASSERT_EQ(InitBitmap(&empty, 216, 2, 2, 24), kIkOk);
  EXPECT_EQ(ColorResBitmap(bitmap.get(), bitmap.get(), 216, 16, 2, 0, 0, 0, 0, 0), kIkErrFormat);
  EXPECT_EQ(ColorResBitmap(&empty, &empty, 216, 8, 2, 0, 0, 0, 0, 0), kIkErrNoImage);
  EXPECT_EQ(ColorResBitmap(bitmap.get(), bitmap.get(), 10, 8, 2, 0, 0, 0, 0, 0), kIkErrArgument);
  EXPECT_EQ(ColorResBitmap(nullptr, bitmap.get(), 216, 8, 2, 0, 0, 0, 0, 0), kIkErrArgument);
  EXPECT_EQ(bitmap->bitsPerPixel, 24);
}

TEST(ColorResBitmap, LeavesTheBitmapAsItWasWhenMemoryRunsOut) {
  Bitmap bitmap(2, 2, 24);
  bitmap.Put24(0, 0, 0x0000FF);
  uint8_t* bits = bitmap->bits;
  KernelFailAllocation(1);
  EXPECT_EQ(ColorResBitmap(bitmap.get(), bitmap.get(), 216, 8, 2, 0, 0, 0, 0, 0), kIkErrNoMemory);
  EXPECT_EQ(bitmap->bits, bits);
  EXPECT_EQ(bitmap->bitsPerPixel, 24);
  EXPECT_EQ(bitmap.Get24(0, 0), 0x0000FFu);
}

}  // namespace
