// Feeds arbitrary text to the geometry grammars: path data and point lists
// (the first byte picks which; the text after it ends at the first NUL, as
// an attribute value would). Each parse runs twice into the same list, so
// replacing a list is covered too. Every call must end with a status, keep
// its counts consistent and leave nothing live in the kernel.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Common/ShapesUtil.h"
#include "Common/SvgTypes.h"
#include "ImagingKernel/ImagingKernel.h"
#include "svgfilter/FilterStatus.h"
#include "LiveCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace svgflt;
  if (size == 0) return 0;
  KernelAccounting before{};
  KernelGetAccounting(&before);
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] % 2 == 0) {
    PathSegmentList list{};
    for (int pass = 0; pass < 2; ++pass) {
      (void)ParsePathData(text.c_str(), &list);
      if (list.count < 0 || (list.count > 0 && list.segments == nullptr)) std::abort();
      for (int32_t i = 0; i < list.count; ++i) {
        const PathSegment& segment = list.segments[i];
        if (segment.type < kSegmentMove || segment.type > kSegmentArc) std::abort();
      }
    }
    FreePathData(&list);
    if (list.count != 0 || list.segments != nullptr) std::abort();
  } else {
    PointList list{};
    for (int pass = 0; pass < 2; ++pass) {
      const Status status = ParsePoints(text.c_str(), &list);
      if (list.count < 0 || (list.count > 0 && list.points == nullptr)) std::abort();
      // An odd count of numbers leaves the list empty.
      if (status == kErrOddPointCount && list.count != 0) std::abort();
    }
    FreePoints(&list);
    if (list.count != 0 || list.points != nullptr) std::abort();
  }
  AbortIfLeftLive(before);
  return 0;
}
