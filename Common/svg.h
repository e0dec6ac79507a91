// The load driver behind the exported entry points: format detection, the
// parse-and-convert core, bounds widening and the raster hand-over.
#pragma once

#include <cstdint>

#include "svgfilter/FilterStatus.h"
#include "svgfilter/HostRecords.h"

namespace svgflt {

// Flags word given to every vector document the filter builds into.
inline constexpr uint32_t kDocumentFlags = 0x2002;
// The marker of annotation files, which are XML but never SVG.
inline constexpr char kAnnotationMarker[] = "ZARN XML Annotation File";

// Looks at the first bytes of an open file: kOk when it is SVG, kErrNotSvg
// when not, kErrRead when it is too short to examine. On kOk and kErrNotSvg
// the file is back where it was, or three bytes further past a UTF-8
// byte-order mark; after kErrRead its position is undefined.
[[nodiscard]] Status Detect(int32_t file);

// Reads and parses the file from its current position and converts it into
// `document`; exactly one of `info` and `load` is given. kOk, or the code of
// the failing stage (kErrNoMemory, kErrRead, kErrNotSvg, kErrNoRoot,
// kErrRootNotSvg, ...). The document's flags word is the same afterwards.
[[nodiscard]] Status ParseAndConvert(VectorDocument* document, int32_t file,
                                     InfoRequest* info, LoadRequest* load);

// Widens the document's bounds by 0.5 % of its width and height on each side.
void WidenBounds(VectorDocument& document);

// Paints the document on white into a 24-bit bitmap of the request's size and
// delivers it through the RowCallback; kOk at once without a target bitmap.
// Codes of the imaging kernel, the vector kernel and the callback pass
// through; kErrNoMemory when no drawing context can be made.
[[nodiscard]] Status RenderToBitmap(LoadRequest* request, VectorDocument* document);

// Hands the bitmap's rows to the request's RowCallback, top row first, until
// one answer is not kOk; returns the result of releasing the bitmap's image
// memory, which carries that answer. kErrNoMemory without a row buffer.
[[nodiscard]] Status DeliverRows(LoadRequest* request, BitmapRecord* bitmap);

}  // namespace svgflt
