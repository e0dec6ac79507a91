// Embedded and linked images to raster objects: the picture is decoded by
// the host (from the data of a data: URI, or from the linked file) into a
// bitmap that the vector kernel copies into one raster object.
#pragma once

#include <cstdint>

#include "Common/SvgDocument.h"
#include "Common/Vector.h"
#include "svgfilter/FilterStatus.h"
#include "svgfilter/HostRecords.h"

namespace svgflt {

// Degrees per radian used for the rotation of a raster object.
inline constexpr double kDegreesPerRadian = 57.295780490442965;

// The kernel rotation (degrees, counter-clockwise with y up) of a pure
// rotation matrix (a = d, b = -c, not both b and c zero), in the range of
// the arctangent with its quadrant corrections: -θ for 0 < θ <= 90, else
// 360 - θ folded into 0 ... 270. Other matrices give 0.
[[nodiscard]] double RasterRotation(const SvgMatrix& m);

// Converts the `image` record at `index` into a raster object. The picture
// comes from the LoadRequest's load-from-memory or load-from-file callbacks
// (during a load) or the InfoRequest's load-from-memory (during info). A
// linked file that is missing, refused or unloadable, or any file during
// info, leaves the image out with kOk. kOk, kErrNoMemory, the host's code
// for data it cannot decode, or the kernel's code.
[[nodiscard]] Status ConvertImage(ConversionContext& context, SvgDocument& document,
                                  int32_t index, InfoRequest* info, LoadRequest* load);

}  // namespace svgflt
