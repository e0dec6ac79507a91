// The shared leak guard of every test program, checked on the kernel it
// watches.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "ImagingKernel/ImagingKernel.h"
#include "support/KernelLeakGuard.h"

namespace {

using svgflt::testing::DescribeLiveSince;
using svgflt::testing::KernelSnapshot;

TEST(ExpectNothingLiveSince, ReportsEveryKindOfResourceWithItsTag) {
  KernelAccounting before = KernelSnapshot();
  void* block = KernelAlloc(2, 8, 77, u"Common/Leaky");
  EXPECT_NONFATAL_FAILURE(svgflt::testing::ExpectNothingLiveSince(before), "Common/Leaky:77, 16 bytes");
  KernelFree(block, 1, u"Common/Leaky");
  int object = 0;
  KernelTrackObject(kTrackObject, &object, 5, u"Common/Parser/Elements");
  KernelMemHandle handle = KernelAllocMemory(4, 1, u"Host/export");
  DrawingContext* screen = GetScreenDC(0, 1, u"Common/save");
  std::string report = DescribeLiveSince(before);
  for (const char* part : {"1 more tracked objects", "Common/Parser/Elements:5, kind 4",
                           "1 more movable memory handles", "1 more drawing contexts"}) {
    EXPECT_NE(report.find(part), std::string::npos) << part << " in " << report;
  }
  KernelUntrackObject(kTrackObject, &object, 6, u"Common/Parser/Elements");
  KernelFreeMemory(handle, 2, u"Host/export");
  EXPECT_EQ(ReleaseScreenDC(0, screen, 2, u"Common/save"), kIkOk);
  EXPECT_EQ(DescribeLiveSince(before), "");
}

}  // namespace
