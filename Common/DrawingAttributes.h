// Paint resolution: the effective presentation properties of an element
// (its own block with the not-given values taken from its ancestors, then
// the defaults), the pen and brush that every kernel object receives, and
// the reduction of SVG gradients to the kernel's two-colour brushes.
//
// DrawingAttributes itself is declared with the conversion context
// (Common/Vector.h); the pieces below are its building blocks.
#pragma once

#include <cstdint>

#include "Common/SvgDocument.h"
#include "Common/SvgTypes.h"
#include "Common/Vector.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {

// The colour of a paint as 0x00BBGGRR. "none" answers the context's current
// fill (or stroke) colour and sets *none; "currentColor" answers the `color`
// property when it is given, else the current colour; a colour is computed
// from its text or components (unknown names and bad hex give 0); a
// paint-server reference gives 0. `color` may be null.
[[nodiscard]] uint32_t ResolveColour(const ConversionContext& context, const SvgPaint& paint,
                                     bool isStroke, const SvgColor* color, bool* none);

// The stop-color of a stop record as 0x00BBGGRR; "currentColor" takes the
// stop's `color` property (0 when that is not given).
[[nodiscard]] uint32_t ResolveStopColour(const ElementRecord& stop);

// What FindGradient made of a paint-server reference.
enum class GradientUse : int32_t {
  kNone,         // not a usable gradient: the flags stay cleared
  kTwoColour,    // linear or radial flag set, both colours stored
  kTransparent,  // abandoned for a transparent near-white stop: no fill
};

// Follows a reference paint to its gradient (through xlink:href chains of
// gradients without children), copies the geometry into the context and
// takes the colours of the first two stops. Clears both gradient flags
// first.
[[nodiscard]] GradientUse FindGradient(ConversionContext& context, const SvgDocument& document,
                                       const SvgPaint& paint);

// A colour lightened towards white for an `opacity` strictly between 0.3
// and 0.7: each channel becomes trunc(channel + (1 - opacity) * 255),
// at most 255. Other opacities leave the colour as it is.
[[nodiscard]] uint32_t TranslucentColour(uint32_t colour, float opacity);

// The kernel pen width of a half stroke width in pixels: 0 and 1 or more
// truncate, anything strictly between 0 and 1 becomes 1.
[[nodiscard]] int32_t PenWidthFromHalf(double halfWidth);

// The GDI pen style word of a resolved stroke: cap, join and dash kind.
[[nodiscard]] uint32_t PenStyleWord(int32_t lineCap, int32_t lineJoin, const DashArray& dashes);

// Direction code (0-7) of a linear gradient from its end points, given as
// fractions of the box.
[[nodiscard]] int32_t LinearDirectionCode(double x1, double y1, double x2, double y2);
// Code of a radial gradient from its centre fractions: 29 when both lie
// below 0.25 or both above 0.75, else 30.
[[nodiscard]] int32_t RadialCentreCode(double cx, double cy);
// Code of a radial gradient on a rect or circle from its focus fractions:
// 30 in the central band on both axes, else the linear direction leading
// away from the focus side.
[[nodiscard]] int32_t RadialFocusCode(double fx, double fy);

// A gradient length as a fraction of the box: percentages divided by 100,
// other values as written.
[[nodiscard]] double GradientFraction(const SvgLength& length);

}  // namespace svgflt
