// Bitmap records: description, image memory, palettes, copies and row reads.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "support/KernelLeakGuard.h"

namespace {

using svgflt::testing::KernelSnapshot;
using svgflt::testing::ScopedLeakAllowance;

BitmapRecord Described(int32_t width, int32_t height, int32_t bitsPerPixel, bool allocate = false) {
  BitmapRecord bitmap{};
  EXPECT_EQ(InitBitmap(&bitmap, 216, width, height, bitsPerPixel), kIkOk);
  if (allocate) {
    EXPECT_EQ(AllocateBitmap(&bitmap, 1), kIkOk);
  }
  return bitmap;
}

TEST(InitBitmap, PadsRowsToWholeWords) {
  struct Case {
    int32_t width, bitsPerPixel, bytesPerRow;
  };
  const Case cases[] = {{1, 24, 4}, {3, 24, 12}, {4, 24, 12}, {1, 32, 4}, {3, 8, 4}, {5, 8, 8},
                        {2, 4, 4},  {9, 4, 8},   {5, 1, 4},   {33, 1, 8}, {32, 1, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " px at " + std::to_string(c.bitsPerPixel) + " bpp");
    BitmapRecord bitmap = Described(c.width, 7, c.bitsPerPixel);
    EXPECT_EQ(bitmap.bytesPerRow, c.bytesPerRow);
    EXPECT_EQ(bitmap.imageSize, c.bytesPerRow * 7);
    EXPECT_EQ(bitmap.bits, nullptr);
  }
}

TEST(InitBitmap, RejectsBadSizesAndLeavesTheRecord) {
  struct Case {
    int32_t recordSize, width, height, bitsPerPixel;
  };
  const Case cases[] = {{216, 0, 5, 24},  {216, 5, 0, 24},  {216, -1, 5, 24},
                        {216, 5, 5, 2},   {216, 5, 5, 16},  {216, 5, 5, 0},
                        {100, 5, 5, 24},  {216, 50000, 50000, 32}, {216, 0x7FFFFFFF, 1, 32}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.recordSize) + " " + std::to_string(c.width) + "x" +
                 std::to_string(c.height) + "x" + std::to_string(c.bitsPerPixel));
    BitmapRecord bitmap{};
    bitmap.width = 123;
    EXPECT_EQ(InitBitmap(&bitmap, c.recordSize, c.width, c.height, c.bitsPerPixel),
              kIkErrArgument);
    EXPECT_EQ(bitmap.width, 123);
  }
  EXPECT_EQ(InitBitmap(nullptr, 216, 1, 1, 24), kIkErrArgument);
}

TEST(AllocateBitmap, GivesZeroedCountedMemoryThatFreeBitmapReleasesSafely) {
  KernelAccounting before = KernelSnapshot();
  BitmapRecord bitmap = Described(3, 4, 24);
  EXPECT_EQ(FreeBitmap(&bitmap), kIkOk) << "nothing to free yet";
  ASSERT_EQ(AllocateBitmap(&bitmap, 1), kIkOk);
  ASSERT_NE(bitmap.bits, nullptr);
  EXPECT_EQ(bitmap.palette, nullptr);
  for (int32_t i = 0; i < bitmap.imageSize; ++i) ASSERT_EQ(bitmap.bits[i], 0) << i;
  EXPECT_EQ(KernelSnapshot().liveBitmaps, before.liveBitmaps + 1);
  EXPECT_EQ(FreeBitmap(&bitmap), kIkOk);
  EXPECT_EQ(bitmap.bits, nullptr);
  EXPECT_EQ(FreeBitmap(&bitmap), kIkOk);
  EXPECT_EQ(FreeBitmap(nullptr), kIkErrArgument);
}

TEST(AllocateBitmap, GivesPaletteBitmapsADefaultPalette) {
  struct Case {
    int32_t bitsPerPixel, count, index;
    uint32_t colour;
  };
  const Case cases[] = {{8, 256, 0, 0x000000}, {8, 256, 128, 0x808080}, {8, 256, 255, 0xFFFFFF},
                        {4, 16, 0, 0x000000},  {4, 16, 9, 0x0000FF},    {4, 16, 12, 0xFF0000},
                        {4, 16, 7, 0xC0C0C0},  {1, 2, 0, 0x000000},     {1, 2, 1, 0xFFFFFF}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bitsPerPixel) + " bpp entry " + std::to_string(c.index));
    BitmapRecord bitmap = Described(2, 2, c.bitsPerPixel, true);
    ASSERT_NE(bitmap.palette, nullptr);
    EXPECT_EQ(bitmap.paletteCount, c.count);
    EXPECT_EQ(bitmap.palette[c.index], c.colour);
    EXPECT_EQ(FreeBitmap(&bitmap), kIkOk);
    EXPECT_EQ(bitmap.palette, nullptr);
    EXPECT_EQ(bitmap.paletteCount, 0);
  }
}

TEST(AllocateBitmap, RefusesRecordsThatHoldMemoryOrAreNotDescribed) {
  BitmapRecord bitmap = Described(2, 2, 24, true);
  uint8_t* bits = bitmap.bits;
  EXPECT_EQ(AllocateBitmap(&bitmap, 1), kIkErrArgument);
  EXPECT_EQ(bitmap.bits, bits);
  EXPECT_EQ(FreeBitmap(&bitmap), kIkOk);

  BitmapRecord empty{};
  EXPECT_EQ(AllocateBitmap(&empty, 1), kIkErrArgument);
  BitmapRecord forged = Described(2, 2, 24);
  forged.imageSize = 1;
  EXPECT_EQ(AllocateBitmap(&forged, 1), kIkErrArgument);
  EXPECT_EQ(AllocateBitmap(nullptr, 1), kIkErrArgument);

  BitmapRecord starved = Described(2, 2, 8);
  KernelFailAllocation(1);
  EXPECT_EQ(AllocateBitmap(&starved, 1), kIkErrNoMemory);
  EXPECT_EQ(starved.bits, nullptr);
  EXPECT_EQ(starved.palette, nullptr);
}

TEST(FreeBitmap, CatchesTheSecondReleaseOfAShallowCopy) {
  ScopedLeakAllowance allowance;
  BitmapRecord bitmap = Described(2, 2, 8, true);
  BitmapRecord shallow = bitmap;
  int64_t invalid = KernelInvalidReleases();
  EXPECT_EQ(FreeBitmap(&bitmap), kIkOk);
  EXPECT_EQ(FreeBitmap(&shallow), kIkOk);
  EXPECT_EQ(KernelInvalidReleases(), invalid + 2);  // image memory and palette
}

TEST(CopyBitmapRecord, CopiesDeeply) {
  KernelAccounting before = KernelSnapshot();
  BitmapRecord source = Described(2, 2, 8, true);
  source.xResolution = 300;
  source.bits[0] = 7;
  BitmapRecord copy;
  std::memset(&copy, 0xAB, sizeof copy);  // whatever the stack held
  ASSERT_EQ(CopyBitmapRecord(&copy, &source, 216), kIkOk);
  EXPECT_NE(copy.bits, source.bits);
  EXPECT_NE(copy.palette, source.palette);
  EXPECT_EQ(copy.xResolution, 300);
  EXPECT_EQ(copy.paletteCount, 256);
  EXPECT_EQ(std::memcmp(copy.bits, source.bits, static_cast<size_t>(source.imageSize)), 0);
  EXPECT_EQ(KernelSnapshot().liveBitmaps, before.liveBitmaps + 2);
  source.bits[0] = 9;
  source.palette[7] = 0x123456;
  EXPECT_EQ(FreeBitmap(&source), kIkOk);
  EXPECT_EQ(copy.bits[0], 7);
  EXPECT_EQ(copy.palette[7], 0x070707u);
  EXPECT_EQ(FreeBitmap(&copy), kIkOk);
}

TEST(CopyBitmapRecord, CopiesAnEmptyRecordAndRefusesBadRequests) {
  BitmapRecord source = Described(5, 5, 24);
  BitmapRecord copy{};
  ASSERT_EQ(CopyBitmapRecord(&copy, &source, 216), kIkOk);
  EXPECT_EQ(copy.bits, nullptr);
  EXPECT_EQ(copy.width, 5);
  EXPECT_EQ(CopyBitmapRecord(&copy, &source, 12), kIkErrArgument);
  EXPECT_EQ(CopyBitmapRecord(nullptr, &source, 216), kIkErrArgument);

  ASSERT_EQ(AllocateBitmap(&source, 1), kIkOk);
  KernelFailAllocation(1);
  EXPECT_EQ(CopyBitmapRecord(&copy, &source, 216), kIkErrNoMemory);
  EXPECT_EQ(copy.bits, nullptr);
  EXPECT_EQ(FreeBitmap(&source), kIkOk);
}

TEST(SetBitmapPalette, GivesTheTargetItsOwnCopyAndCountZeroRemovesIt) {
  uint32_t palette[3] = {0x0000FF, 0x00FF00, 0xFF0000};
  BitmapRecord target = Described(2, 2, 8);
  ASSERT_EQ(SetBitmapPalette(&target, 3, palette), kIkOk);
  ASSERT_NE(target.palette, nullptr);
  EXPECT_NE(target.palette, palette);
  EXPECT_EQ(target.paletteCount, 3);
  palette[1] = 0;
  EXPECT_EQ(target.palette[1], 0x00FF00u);
  // Replacing it releases the first copy (the leak guard would notice).
  ASSERT_EQ(SetBitmapPalette(&target, 2, palette), kIkOk);
  EXPECT_EQ(target.palette[1], 0u);
  EXPECT_EQ(SetBitmapPalette(&target, 0, nullptr), kIkOk);
  EXPECT_EQ(target.palette, nullptr);
  EXPECT_EQ(target.paletteCount, 0);
}

TEST(SetBitmapPalette, RejectsBadArguments) {
  uint32_t palette[2] = {};
  BitmapRecord target = Described(2, 2, 8);
  EXPECT_EQ(SetBitmapPalette(&target, -1, palette), kIkErrArgument);
  EXPECT_EQ(SetBitmapPalette(&target, 257, palette), kIkErrArgument);
  EXPECT_EQ(SetBitmapPalette(&target, 2, nullptr), kIkErrArgument);
  EXPECT_EQ(SetBitmapPalette(nullptr, 2, palette), kIkErrArgument);
  KernelFailAllocation(1);
  EXPECT_EQ(SetBitmapPalette(&target, 2, palette), kIkErrNoMemory);
  EXPECT_EQ(target.palette, nullptr);
}

TEST(AccessBitmap, BracketsRowReadsAndPassesTheLastStatusOn) {
  BitmapRecord bitmap = Described(2, 2, 24);
  EXPECT_EQ(AccessBitmap(&bitmap, 0), kIkErrNoImage);
  ASSERT_EQ(AllocateBitmap(&bitmap, 1), kIkOk);
  EXPECT_EQ(ReleaseBitmap(&bitmap, 1, kIkOk), kIkErrArgument);  // not accessed
  EXPECT_EQ(AccessBitmap(&bitmap, 0), kIkOk);
  EXPECT_EQ(AccessBitmap(&bitmap, 0), kIkOk);
  EXPECT_EQ(bitmap.accessCount, 2);
  EXPECT_EQ(ReleaseBitmap(&bitmap, 1, kIkErrRead), kIkErrRead);
  EXPECT_EQ(ReleaseBitmap(&bitmap, 1, kIkOk), kIkOk);
  EXPECT_EQ(ReleaseBitmap(&bitmap, 1, kIkOk), kIkErrArgument);
  EXPECT_EQ(FreeBitmap(&bitmap), kIkOk);
}

TEST(GetBitmapRow, CopiesOneRowTopDownAndRejectsBadRows) {
  BitmapRecord bitmap = Described(1, 3, 24);
  uint8_t buffer[8];
  EXPECT_EQ(GetBitmapRow(&bitmap, buffer, 0, 4), kIkErrNoImage);
  ASSERT_EQ(AllocateBitmap(&bitmap, 1), kIkOk);
  for (int32_t row = 0; row < 3; ++row) std::memset(bitmap.bits + row * bitmap.bytesPerRow, 10 + row, 4);
  std::memset(buffer, 0xEE, sizeof buffer);
  ASSERT_EQ(GetBitmapRow(&bitmap, buffer, 1, sizeof buffer), kIkOk);
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 8),
            (std::vector<uint8_t>{11, 11, 11, 11, 0xEE, 0xEE, 0xEE, 0xEE}));
  ASSERT_EQ(GetBitmapRow(&bitmap, buffer, 2, 2), kIkOk);
  EXPECT_EQ(buffer[1], 12);
  EXPECT_EQ(buffer[2], 11);
  for (int32_t row : {-1, 3, 100}) {
    SCOPED_TRACE(row);
    EXPECT_EQ(GetBitmapRow(&bitmap, buffer, row, 4), kIkErrArgument);
  }
  EXPECT_EQ(GetBitmapRow(&bitmap, nullptr, 0, 4), kIkErrArgument);
  EXPECT_EQ(GetBitmapRow(&bitmap, buffer, 0, -1), kIkErrArgument);
  EXPECT_EQ(FreeBitmap(&bitmap), kIkOk);
}

}  // namespace
