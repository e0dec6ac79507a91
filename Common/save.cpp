#include "Common/save.h"

namespace svgflt {

Status SaveSvg(VectorDocument* /*document*/, SaveRequest* /*request*/,
               const char16_t* /*fileName*/, int32_t /*saveFormat*/) {
  // Saving is not supported yet: the SVG writer is still to come, so every
  // valid save request is refused as an unsupported mode.
  return kErrNotSvg;
}

}  // namespace svgflt
