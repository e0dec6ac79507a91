// The per-load SVG document: the element-record table built from the XML
// tree, with its id table, style rules and classes. Owned by the load driver
// for one call.
#pragma once

#include <cstdint>

#include "svgfilter/FilterStatus.h"

namespace svgflt {

struct SvgDocument;  // defined with the element records

// A zeroed document with its SVG version preset to 1.1; kErrNoMemory.
[[nodiscard]] Status CreateSvgDocument(SvgDocument** out);
// Frees the document and everything hanging from it; null is ignored.
void FreeSvgDocument(SvgDocument* document);
// Reads the open file from its current position to the end, parses it and
// builds the record table: kOk, kErrRead, kErrNoMemory, kErrNotSvg,
// kErrNoRoot, kErrRootNotSvg, or an element parser's code.
[[nodiscard]] Status LoadSvgFile(int32_t file, SvgDocument& document);

}  // namespace svgflt
