// The save driver: writes a vector document as an SVG 1.0 file, and the
// document frame (header, banner, root element, hatch patterns) around the
// objects that the object writer adds.
#pragma once

#include <cstdint>

#include "VectorKernel/VectorKernel.h"
#include "svgfilter/FilterStatus.h"
#include "svgfilter/HostRecords.h"

namespace svgflt {

// The writer's text buffer (Common/outstr.h). Only declared here, so that
// callers of SaveSvg do not take in the formatting operations' names.
struct OutputBuffer;

// Wide characters of a target path.
inline constexpr int kTargetPathCapacity = 264;

// Per-save state, handed to the vector kernel as the enumeration's user
// data and read by every object writer.
struct SaveContext {
  KernelPoint minCorner;  // extent, x and y in pixels
  KernelPoint maxCorner;
  double scale;           // output scale, at most 1
  OutputBuffer* out;
  std::int32_t saveFormat;
  std::int32_t imageCounter;  // embedded images written so far
  SaveRequest* request;
  char16_t targetPath[kTargetPathCapacity];
  VectorDocument* document;  // the document being written
};

// Header flags: the banner comment, tab indentation, linked images in a
// directory beside the file. The driver always sets all three.
struct HeaderOptions {
  std::int32_t banner;
  std::int32_t indent;
  std::int32_t imageDirectory;
};

// An svg element's viewport in output units.
struct Viewport {
  double left;
  double top;
  double right;
  double bottom;
};

// Writes `document` to the file `fileName` (the request's target);
// `saveFormat` selects embedded or linked images. Returns kOk, kErrMissing
// for a null or empty name, kErrNoMemory, kErrOpenTarget when the target
// cannot be opened or written, the vector kernel's extent status, or the
// first error an object writer reported (the file is still written).
[[nodiscard]] Status SaveSvg(VectorDocument* document, SaveRequest* request,
                             const char16_t* fileName, std::int32_t saveFormat);

// Opens `targetPath` (created or emptied) and writes the XML declaration,
// the document type line and the banner. kOk, or kErrOpenTarget with
// nothing written.
[[nodiscard]] Status WriteHeader(OutputBuffer* out, const char16_t* targetPath,
                                 const HeaderOptions& options);
// Opening tag of an svg element (version by "%g", the SVG namespace, and
// the viewport's position and size when one is given); one level deeper.
Status BeginSvgElement(OutputBuffer* out, const Viewport* viewport, double version);
// Indentation, "<defs>\r\n"; one level deeper.
Status BeginDefs(OutputBuffer* out);
// The six hatch patterns and the defs closing tag.
Status WriteHatchPatterns(SaveContext* context);
// Writes the text to the file in one piece and closes it. kOk, or
// kErrOpenTarget when the bytes could not all be written.
[[nodiscard]] Status FinishFile(OutputBuffer* out);

// Pixels per unit of a vector document's unit code, with the screen's
// horizontal resolution.
[[nodiscard]] double UnitFactor(std::int32_t unit);
// The document's unit code (pixels when the kernel does not answer).
[[nodiscard]] std::int32_t DocumentUnit(VectorDocument* document);
// x and y of `point` multiplied by the unit factor.
void ToPixels(KernelPoint* point, std::int32_t unit);

}  // namespace svgflt
