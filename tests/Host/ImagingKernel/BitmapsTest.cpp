// Bitmap records: description, image memory, palettes, copies and row reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "support/KernelLeakGuard.h"

namespace {

using svgflt::testing::KernelSnapshot;

BitmapRecord Described(int32_t width, int32_t height, int32_t bitsPerPixel, bool allocate = false) {
  BitmapRecord bitmap{};
  EXPECT_EQ(InitBitmap(&bitmap, 216, width, height, bitsPerPixel), kIkOk);
  EXPECT_EQ(allocate ? AllocateBitmap(&bitmap, 1) : kIkOk, kIkOk);
  return bitmap;
}

TEST(InitBitmap, PadsRowsToWholeWordsAndRejectsBadSizesLeavingTheRecord) {
  struct Case { int32_t width, bitsPerPixel, bytesPerRow; };
  for (Case c : {Case{3, 24, 12}, Case{4, 24, 12}, Case{5, 8, 8}, Case{9, 4, 8}, Case{33, 1, 8}, Case{32, 1, 4}}) {
    BitmapRecord bitmap = Described(c.width, 7, c.bitsPerPixel);
    EXPECT_EQ(bitmap.imageSize, c.bytesPerRow * 7) << c.width << " px at " << c.bitsPerPixel << " bpp";
  }
  struct Bad { int32_t recordSize, width, height, bitsPerPixel; };
  for (Bad c : {Bad{216, 0, 5, 24}, Bad{216, 5, -1, 24}, Bad{216, 5, 5, 16}, Bad{100, 5, 5, 24},
                Bad{216, 50000, 50000, 32}, Bad{216, 0x7FFFFFFF, 1, 32}}) {
    BitmapRecord bitmap{};
    bitmap.width = 123;
    EXPECT_EQ(InitBitmap(&bitmap, c.recordSize, c.width, c.height, c.bitsPerPixel), kIkErrArgument) << c.width;
    EXPECT_EQ(bitmap.width, 123) << c.width;
  }
}

TEST(AllocateBitmap, GivesZeroedCountedMemoryThatFreeBitmapReleasesOnce) {
  KernelAccounting before = KernelSnapshot();
  BitmapRecord bitmap = Described(3, 4, 24);
  EXPECT_EQ(FreeBitmap(&bitmap), kIkOk) << "nothing to free yet";
  ASSERT_EQ(AllocateBitmap(&bitmap, 1), kIkOk);
  EXPECT_EQ(bitmap.palette, nullptr);
  EXPECT_EQ(std::count(bitmap.bits, bitmap.bits + bitmap.imageSize, 0), bitmap.imageSize);
  EXPECT_EQ(KernelSnapshot().liveBitmaps, before.liveBitmaps + 1);
  EXPECT_EQ(AllocateBitmap(&bitmap, 1), kIkErrArgument) << "already holds memory";
  EXPECT_EQ(FreeBitmap(&bitmap), kIkOk);
  EXPECT_EQ(bitmap.bits, nullptr);
  EXPECT_EQ(FreeBitmap(&bitmap), kIkOk);
  BitmapRecord empty{};
  EXPECT_EQ(AllocateBitmap(&empty, 1), kIkErrArgument);
  BitmapRecord starved = Described(2, 2, 8);
  KernelFailAllocation(1);
  EXPECT_EQ(AllocateBitmap(&starved, 1), kIkErrNoMemory);
  EXPECT_TRUE(starved.bits == nullptr && starved.palette == nullptr);
}


TEST(CopyBitmapRecord, CopiesDeeplyAndLeavesNothingWhenMemoryRunsOut) {
  BitmapRecord source = Described(2, 2, 8, true);
  source.xResolution = 300;
  source.bits[0] = 7;
  BitmapRecord copy;
  std::memset(&copy, 0xAB, sizeof copy);  // whatever the stack held
  ASSERT_EQ(CopyBitmapRecord(&copy, &source, 216), kIkOk);
  EXPECT_EQ(copy.xResolution, 300);
  EXPECT_EQ(copy.paletteCount, 256);
  source.bits[0] = 9;
  source.palette[7] = 0x123456;
  EXPECT_EQ(FreeBitmap(&source), kIkOk);
  EXPECT_EQ(copy.bits[0], 7);
  EXPECT_EQ(copy.palette[7], 0x070707u);
  EXPECT_EQ(FreeBitmap(&copy), kIkOk);

  source = Described(5, 5, 24);
  ASSERT_EQ(CopyBitmapRecord(&copy, &source, 216), kIkOk);
  EXPECT_EQ(copy.bits, nullptr);
  EXPECT_EQ(copy.width, 5);
  EXPECT_EQ(CopyBitmapRecord(&copy, &source, 12), kIkErrArgument);
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
  EXPECT_EQ(target.paletteCount, 3);
  palette[1] = 0;
  EXPECT_EQ(target.palette[1], 0x00FF00u);
  // Replacing it releases the first copy (the leak guard would notice).
  ASSERT_EQ(SetBitmapPalette(&target, 2, palette), kIkOk);
  EXPECT_EQ(target.palette[1], 0u);
  EXPECT_EQ(SetBitmapPalette(&target, 0, nullptr), kIkOk);
  EXPECT_TRUE(target.palette == nullptr && target.paletteCount == 0);
  EXPECT_EQ(SetBitmapPalette(&target, 257, palette), kIkErrArgument);
  KernelFailAllocation(1);
  EXPECT_EQ(SetBitmapPalette(&target, 2, palette), kIkErrNoMemory);
  EXPECT_EQ(target.palette, nullptr);
}

}  // namespace
