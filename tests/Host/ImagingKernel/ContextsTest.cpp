// Drawing contexts: on bitmaps and lent screens, and their resolutions.
#include <gtest/gtest.h>

#include "ImagingKernel/ImagingKernel.h"
#include "support/KernelLeakGuard.h"

namespace {

constexpr char16_t kTag[] = u"Common/Vector";

// Restores the default screen resolution after each test.
class DrawingContexts : public ::testing::Test {
 protected:
  void TearDown() override { KernelSetScreenResolution(96, 96); }
};

TEST_F(DrawingContexts, TakeTheBitmapResolutionOrTheScreensAt96DpiUntilSet) {
  BitmapRecord bitmap{};
  ASSERT_EQ(InitBitmap(&bitmap, 216, 4, 4, 24), kIkOk);
  EXPECT_EQ(CreateBitmapDC(&bitmap), nullptr) << "no image memory";
  ASSERT_EQ(AllocateBitmap(&bitmap, 1), kIkOk);
  DrawingContext* context = CreateBitmapDC(&bitmap);
  DrawingContext* screen = GetScreenDC(0, 1, kTag);
  EXPECT_EQ(DrawingContextBitmap(context), &bitmap);
  EXPECT_EQ(DrawingContextBitmap(screen), nullptr);
  bitmap.yResolution = 150;
  struct Case { int32_t setX, setY, x, y; };  // setY 0: keep; setX 0: keep the horizontal value
  for (Case c : {Case{0, 0, 96, 96}, Case{120, 144, 120, 144}, Case{0, 72, 120, 72}}) {
    if (c.setY != 0) KernelSetScreenResolution(c.setX, c.setY);
    EXPECT_EQ(DrawingContextResolution(screen, 0), c.x);
    EXPECT_EQ(DrawingContextResolution(screen, 1), c.y);
    EXPECT_EQ(DrawingContextResolution(context, 0), c.x) << "the screen's while the bitmap has none";
    EXPECT_EQ(DrawingContextResolution(context, 1), 150);
  }
  EXPECT_EQ(DeleteBitmapDC(context), kIkOk);
  EXPECT_EQ(ReleaseScreenDC(0, screen, 3, kTag), kIkOk);
  EXPECT_EQ(FreeBitmap(&bitmap), kIkOk);
}

}  // namespace
