#include <gtest/gtest.h>

#include "ImagingKernel/ImagingKernel.h"
#include "support/KernelLeakGuard.h"

namespace {

using svgflt::testing::KernelSnapshot;
using svgflt::testing::ScopedLeakAllowance;

constexpr char16_t kTag[] = u"Common/Vector";

// Restores the default screen resolution after each test.
class DrawingContexts : public ::testing::Test {
 protected:
  void TearDown() override { KernelSetScreenResolution(96, 96); }
};

TEST_F(DrawingContexts, BitmapContextNeedsImageMemory) {
  BitmapRecord bitmap{};
  ASSERT_EQ(InitBitmap(&bitmap, 216, 4, 4, 24), kIkOk);
  EXPECT_EQ(CreateBitmapDC(&bitmap), nullptr);
  EXPECT_EQ(CreateBitmapDC(nullptr), nullptr);
}

TEST_F(DrawingContexts, BitmapContextRefersToItsBitmapAndIsCounted) {
  KernelAccounting before = KernelSnapshot();
  BitmapRecord bitmap{};
  ASSERT_EQ(InitBitmap(&bitmap, 216, 4, 4, 24), kIkOk);
  ASSERT_EQ(AllocateBitmap(&bitmap, 1), kIkOk);
  DrawingContext* context = CreateBitmapDC(&bitmap);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(DrawingContextBitmap(context), &bitmap);
  EXPECT_EQ(KernelSnapshot().liveContexts, before.liveContexts + 1);
  EXPECT_EQ(DeleteBitmapDC(context), kIkOk);
  EXPECT_EQ(KernelSnapshot().liveContexts, before.liveContexts);
  EXPECT_EQ(FreeBitmap(&bitmap), kIkOk);
}

TEST_F(DrawingContexts, ScreenContextsAreLentOnePerCall) {
  KernelAccounting before = KernelSnapshot();
  DrawingContext* first = GetScreenDC(0, 1, kTag);
  DrawingContext* second = GetScreenDC(0, 2, kTag);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(DrawingContextBitmap(first), nullptr);
  EXPECT_EQ(KernelSnapshot().liveContexts, before.liveContexts + 2);
  // A screen context is not deleted as a bitmap context.
  EXPECT_EQ(DeleteBitmapDC(first), kIkErrArgument);
  EXPECT_EQ(ReleaseScreenDC(0, first, 3, kTag), kIkOk);
  EXPECT_EQ(ReleaseScreenDC(0, second, 4, kTag), kIkOk);
  EXPECT_EQ(KernelSnapshot().liveContexts, before.liveContexts);
}

TEST_F(DrawingContexts, ReleasingTwiceIsCaughtNotFatal) {
  ScopedLeakAllowance allowance;
  DrawingContext* screen = GetScreenDC(0, 1, kTag);
  ASSERT_EQ(ReleaseScreenDC(0, screen, 2, kTag), kIkOk);
  int64_t invalid = KernelInvalidReleases();
  EXPECT_EQ(ReleaseScreenDC(0, screen, 3, kTag), kIkErrArgument);
  EXPECT_EQ(DeleteBitmapDC(screen), kIkErrArgument);
  EXPECT_EQ(KernelInvalidReleases(), invalid + 2);
  EXPECT_EQ(DrawingContextResolution(screen, 0), 0);
  EXPECT_EQ(DrawingContextBitmap(screen), nullptr);
}

TEST_F(DrawingContexts, ScreenResolutionIs96UntilSet) {
  DrawingContext* screen = GetScreenDC(0, 1, kTag);
  EXPECT_EQ(DrawingContextResolution(screen, 0), 96);
  EXPECT_EQ(DrawingContextResolution(screen, 1), 96);
  KernelSetScreenResolution(120, 144);
  EXPECT_EQ(DrawingContextResolution(screen, 0), 120);
  EXPECT_EQ(DrawingContextResolution(screen, 1), 144);
  KernelSetScreenResolution(0, 72);  // 0 keeps the horizontal value
  EXPECT_EQ(DrawingContextResolution(screen, 0), 120);
  EXPECT_EQ(DrawingContextResolution(screen, 1), 72);
  EXPECT_EQ(ReleaseScreenDC(0, screen, 2, kTag), kIkOk);
  EXPECT_EQ(DrawingContextResolution(nullptr, 0), 0);
}

TEST_F(DrawingContexts, BitmapContextUsesTheBitmapResolutionWhenSet) {
  BitmapRecord bitmap{};
  ASSERT_EQ(InitBitmap(&bitmap, 216, 4, 4, 24), kIkOk);
  ASSERT_EQ(AllocateBitmap(&bitmap, 1), kIkOk);
  DrawingContext* context = CreateBitmapDC(&bitmap);
  ASSERT_NE(context, nullptr);
  KernelSetScreenResolution(110, 110);
  EXPECT_EQ(DrawingContextResolution(context, 0), 110);
  bitmap.xResolution = 300;
  bitmap.yResolution = 150;
  EXPECT_EQ(DrawingContextResolution(context, 0), 300);
  EXPECT_EQ(DrawingContextResolution(context, 1), 150);
  EXPECT_EQ(DeleteBitmapDC(context), kIkOk);
  EXPECT_EQ(FreeBitmap(&bitmap), kIkOk);
}

}  // namespace
