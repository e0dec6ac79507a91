// Geometry attribute grammars: path data (`d`) into a list of segments and
// point lists (`points`) into an array of points. Both read the text once,
// character by character, and tolerate unexpanded "&#xD;" line breaks.
#pragma once

#include "Common/SvgTypes.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {

// Parses path data into *list, replacing (and freeing) the segments it held.
// kOk; kErrMissing for a null argument or malformed data (the segments
// before the fault stay in the list); kErrNoMemory (what was stored stays).
[[nodiscard]] Status ParsePathData(const char* text, PathSegmentList* list);
// Frees the segments and empties the list.
void FreePathData(PathSegmentList* list);

// Parses a point list into *list, replacing (and freeing) the points it held.
// kOk; kErrMissing for a null argument; kErrMisplacedComma (list untouched);
// kErrBadValue for a bad number (the points before it stay);
// kErrOddPointCount (the list is left empty); kErrNoMemory.
[[nodiscard]] Status ParsePoints(const char* text, PointList* list);
// Frees the points and empties the list.
void FreePoints(PointList* list);

}  // namespace svgflt
