// Device capabilities and the per-thread last error.
#include <gtest/gtest.h>

#include "Platform/Platform.h"
#include "support/KernelLeakGuard.h"

namespace {

class Platform : public ::testing::Test {
 protected:
  void TearDown() override { KernelSetScreenResolution(96, 96); }
};

TEST_F(Platform, DeviceCapsGiveTheScreenOrBitmapResolution) {
  DrawingContext* screen = GetScreenDC(0, 1, u"Common/save");
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
  KernelSetScreenResolution(120, 144);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 144);
  EXPECT_EQ(GetDeviceCaps(screen, 8), 0);  // not a resolution query
  EXPECT_EQ(ReleaseScreenDC(0, screen, 2, u"Common/save"), kIkOk);
  BitmapRecord bitmap{};
  ASSERT_EQ(InitBitmap(&bitmap, 216, 2, 2, 24), kIkOk);
  ASSERT_EQ(AllocateBitmap(&bitmap, 1), kIkOk);
  bitmap.xResolution = 600;
  DrawingContext* context = CreateBitmapDC(&bitmap);
  EXPECT_EQ(GetDeviceCaps(context, LOGPIXELSX), 600);
  EXPECT_EQ(GetDeviceCaps(context, LOGPIXELSY), 144);  // not set: the screen's
  EXPECT_EQ(DeleteBitmapDC(context), kIkOk);
  EXPECT_EQ(FreeBitmap(&bitmap), kIkOk);
}

}  // namespace
