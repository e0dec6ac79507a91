// Drawing contexts: on bitmaps and lent screens, and their resolutions.
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

TEST_F(DrawingContexts, BitmapContextNeedsImageMemoryAndTakesTheBitmapResolution) {
  BitmapRecord bitmap{};
  ASSERT_EQ(InitBitmap(&bitmap, 216, 4, 4, 24), kIkOk);
  EXPECT_EQ(CreateBitmapDC(&bitmap), nullptr);
  ASSERT_EQ(AllocateBitmap(&bitmap, 1), kIkOk);
  DrawingContext* context = CreateBitmapDC(&bitmap);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(DrawingContextBitmap(context), &bitmap);
  KernelSetScreenResolution(110, 110);
  EXPECT_EQ(DrawingContextResolution(context, 0), 110) << "the screen's while the bitmap has none";
  bitmap.xResolution = 300;
  bitmap.yResolution = 150;
  EXPECT_EQ(DrawingContextResolution(context, 0), 300);
  EXPECT_EQ(DrawingContextResolution(context, 1), 150);
  EXPECT_EQ(DeleteBitmapDC(context), kIkOk);
  EXPECT_EQ(FreeBitmap(&bitmap), kIkOk);
}

TEST_F(DrawingContexts, ScreenContextsAreLentOnePerCallAt96DpiUntilSet) {
  KernelAccounting before = KernelSnapshot();
  DrawingContext* first = GetScreenDC(0, 1, kTag);
  DrawingContext* second = GetScreenDC(0, 2, kTag);
  ASSERT_NE(first, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(DrawingContextBitmap(first), nullptr);
  EXPECT_EQ(KernelSnapshot().liveContexts, before.liveContexts + 2);
  struct Case { int32_t setX, setY, x, y; };
  for (Case c : {Case{0, 0, 96, 96}, Case{120, 144, 120, 144}, Case{0, 72, 120, 72}}) {
    if (c.setY != 0) KernelSetScreenResolution(c.setX, c.setY);  // 0 keeps the horizontal value
    EXPECT_EQ(DrawingContextResolution(first, 0), c.x);
    EXPECT_EQ(DrawingContextResolution(first, 1), c.y);
  }
  EXPECT_EQ(ReleaseScreenDC(0, first, 3, kTag), kIkOk);
  EXPECT_EQ(ReleaseScreenDC(0, second, 4, kTag), kIkOk);
}

TEST_F(DrawingContexts, WrongAndSecondReleasesAreCaughtNotFatal) {
  ScopedLeakAllowance allowance;
  DrawingContext* screen = GetScreenDC(0, 1, kTag);
  int64_t invalid = KernelInvalidReleases();
  EXPECT_EQ(DeleteBitmapDC(screen), kIkErrArgument) << "not a bitmap context";
  ASSERT_EQ(ReleaseScreenDC(0, screen, 2, kTag), kIkOk);
  EXPECT_EQ(ReleaseScreenDC(0, screen, 3, kTag), kIkErrArgument);
  EXPECT_EQ(DeleteBitmapDC(screen), kIkErrArgument);
  EXPECT_EQ(KernelInvalidReleases(), invalid + 2);
  EXPECT_EQ(DrawingContextResolution(screen, 0), 0);
  EXPECT_EQ(DrawingContextBitmap(screen), nullptr);
}

}  // namespace
