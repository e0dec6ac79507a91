// Feeds arbitrary text (up to the first NUL, as an attribute value) to the
// transform-list parser, twice into the same list, then folds the list and
// pushes it on a transform stack as the conversion does. Every call must end
// with a status and leave nothing live in the kernel.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Common/Stack.h"
#include "Common/SvgTypes.h"
#include "ImagingKernel/ImagingKernel.h"
#include "svgfilter/FilterStatus.h"
#include "LiveCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace svgflt;
  KernelAccounting before{};
  KernelGetAccounting(&before);
  const std::string text(reinterpret_cast<const char*>(data), size);
  TransformList list{};
  for (int pass = 0; pass < 2; ++pass) (void)ParseTransformList(text.c_str(), &list);
  TransformNode* top = nullptr;
  if (PushTransform(&top, &list, 1) == kOk && PushTransform(&top, &list, 0) == kOk) {
    (void)FoldTransformList(top->matrix, list);
    PopTransform(&top);
  }
  FreeTransformStack(&top);
  FreeTransformList(&list);
  if (top != nullptr || list.first != nullptr) std::abort();
  AbortIfLeftLive(before);
  return 0;
}
