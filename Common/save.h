// The save driver: writes a vector document as an SVG file.
#pragma once

#include <cstdint>

#include "svgfilter/FilterStatus.h"
#include "svgfilter/HostRecords.h"

namespace svgflt {

// Writes `document` to the file `fileName` (the request's target);
// `saveFormat` selects embedded or linked images. Returns the writer's
// status; the request's checks have been made by fltSave.
[[nodiscard]] Status SaveSvg(VectorDocument* document, SaveRequest* request,
                             const char16_t* fileName, int32_t saveFormat);

}  // namespace svgflt
