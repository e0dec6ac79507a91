// The shape converters: rect, circle, ellipse, line, polyline, polygon and
// path become one vector-kernel object each, placed with y pointing up
// (y' = origin - y), added directly or through the common emitter when a
// matrix must be baked into the points.
#pragma once

#include <cstdint>

#include "Common/SvgDocument.h"
#include "Common/Vector.h"
#include "VectorKernel/VectorObjects.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {

// A growable point path in kernel memory (points and their GDI kinds).
struct PointPathBuffer {
  KernelPoint* points;
  uint8_t* kinds;
  int32_t count;
  int32_t capacity;
};
static_assert(std::is_trivially_copyable_v<PointPathBuffer>);

// Appends one point: kOk or kErrNoMemory (the buffer is unchanged).
[[nodiscard]] Status AppendPathPoint(PointPathBuffer& buffer, double x, double y, uint8_t kind);
// Frees the buffer's arrays and empties it.
void FreePathBuffer(PointPathBuffer& buffer);

// Appends an elliptical arc about (cx, cy) as Bezier-to points (no start
// point): from `start` over `sweep` degrees in pieces of at most 90 degrees,
// at most four; reversed for sweeps below -1 degree; then turned about the
// centre by the rotation truncated to whole degrees. kOk or kErrNoMemory.
[[nodiscard]] Status AppendArcBeziers(PointPathBuffer& buffer, double cx, double cy, double rx,
                                      double ry, double start, double sweep, double rotation);

// The pen width under a matrix whose x scale is `scale`: trunc(scale x
// width), but 1 for products strictly between 0 and 1.
[[nodiscard]] int32_t ScaledPenWidth(double scale, double width);

// Converts the shape element at `elementIndex` (path, rect, circle,
// ellipse, line, polyline, polygon) with the context's drawing attributes
// and its own transform (BakedMatrix). Adds nothing for degenerate
// geometry. kOk, kErrNoMemory or the kernel's code.
[[nodiscard]] Status ConvertShape(ConversionContext& context, SvgDocument& document,
                                  int32_t elementIndex);

// Appends the shape's figures through `matrix` (placed, y up), each closed
// figure marked, to `outline`; degenerate shapes add nothing. kOk,
// kErrNoMemory or the kernel's code.
[[nodiscard]] Status AppendShapeOutline(ConversionContext& context, const ElementRecord& record,
                                        const SvgMatrix& matrix, PointPathBuffer& outline);

// The bounds of the shape's geometry in its own user space (curves by
// their extremes, strokes left out); *found false for degenerate geometry.
// kOk, kErrNoMemory or the kernel's code.
[[nodiscard]] Status ShapeBounds(ConversionContext& context, const ElementRecord& record,
                                 BoundingBox* box, bool* found);

}  // namespace svgflt
