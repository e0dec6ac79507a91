// System colours, device capabilities and the per-thread last error.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "Platform/Platform.h"
#include "support/KernelLeakGuard.h"

namespace {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

TEST(GetSysColor, GivesTheClassicDesktopColours) {
  struct Case {
    int32_t index;
    uint32_t colour;
  };
  const Case cases[] = {
      {0, Rgb(212, 208, 200)},   // COLOR_SCROLLBAR
      {1, Rgb(58, 110, 165)},    // COLOR_BACKGROUND
      {2, Rgb(10, 36, 106)},     // COLOR_ACTIVECAPTION
      {5, Rgb(255, 255, 255)},   // COLOR_WINDOW
      {8, Rgb(0, 0, 0)},         // COLOR_WINDOWTEXT
      {15, Rgb(212, 208, 200)},  // COLOR_BTNFACE
      {16, Rgb(128, 128, 128)},  // COLOR_BTNSHADOW
      {21, Rgb(64, 64, 64)},     // COLOR_3DDKSHADOW
      {24, Rgb(255, 255, 225)},  // COLOR_INFOBK
      {27, Rgb(166, 202, 240)},  // COLOR_GRADIENTACTIVECAPTION
      {28, Rgb(192, 192, 192)},  // COLOR_GRADIENTINACTIVECAPTION
      {30, Rgb(212, 208, 200)},  // COLOR_MENUBAR
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(GetSysColor(c.index), c.colour);
  }
  for (int32_t index : {-1, 31, 1000}) EXPECT_EQ(GetSysColor(index), 0u) << "outside: " << index;
}

class DeviceCaps : public ::testing::Test {
 protected:
  void TearDown() override { KernelSetScreenResolution(96, 96); }
};

TEST_F(DeviceCaps, ReportsTheScreenResolutionAsSetOrABitmapsOwn) {
  DrawingContext* screen = GetScreenDC(0, 1, u"Common/save");
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
  KernelSetScreenResolution(120, 144);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 120);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 144);
  EXPECT_EQ(GetDeviceCaps(screen, 8), 0);  // not a resolution query
  EXPECT_EQ(ReleaseScreenDC(0, screen, 2, u"Common/save"), kIkOk);

  BitmapRecord bitmap{};
  ASSERT_EQ(InitBitmap(&bitmap, 216, 2, 2, 24), kIkOk);
  ASSERT_EQ(AllocateBitmap(&bitmap, 1), kIkOk);
  bitmap.xResolution = 600;
  DrawingContext* context = CreateBitmapDC(&bitmap);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(GetDeviceCaps(context, LOGPIXELSX), 600);
  EXPECT_EQ(GetDeviceCaps(context, LOGPIXELSY), 144);  // not set: the screen's
  EXPECT_EQ(DeleteBitmapDC(context), kIkOk);
  EXPECT_EQ(FreeBitmap(&bitmap), kIkOk);
}

TEST(SetRect, FillsTheRectangleInItsOrder) {
  KernelRect rect{};
  EXPECT_NE(SetRect(&rect, 1, 2, 30, 40), 0);
  EXPECT_EQ(std::vector<int32_t>({rect.left, rect.top, rect.right, rect.bottom}),
            (std::vector<int32_t>{1, 2, 30, 40}));
  EXPECT_EQ(SetRect(nullptr, 1, 2, 3, 4), 0);
}

TEST(GetLastError, IsKeptPerThread) {
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, 1, nullptr, 0), 0);
  uint32_t seenByOther = ERROR_SUCCESS;
  std::thread other([&seenByOther] { seenByOther = GetLastError(); });
  other.join();
  EXPECT_EQ(seenByOther, static_cast<uint32_t>(ERROR_SUCCESS));
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
}

}  // namespace
