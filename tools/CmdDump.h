// The JSON lines of `svgfilter dump`: one object per line per vector object
// (format described in README.md).
#pragma once

#include <cstdio>
#include <string>

#include "VectorKernel/VectorKernel.h"
#include "svgfilter/FilterStatus.h"

namespace svgtool {

// The JSON object (no line end) describing one object of `document`; the
// vector kernel's status when the object cannot be described.
[[nodiscard]] svgflt::Status ObjectJson(VectorDocument* document,
                                        const VectorObjectHandle& object, std::string* line);

// Every object of `document` in enumeration order, one JSON line each; the
// first failing status, after the objects that could be described.
[[nodiscard]] svgflt::Status WriteObjectLines(VectorDocument* document, std::FILE* out);

}  // namespace svgtool
