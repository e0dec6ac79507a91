// Text to vector text: the flattened content of a `text` element is split
// into runs (its own character runs, those of nested `tspan` elements and
// the `tref` references), and each run becomes one text object of the
// vector kernel, or one per character when its owner places characters one
// by one. A text position carries from run to run. textPath characters,
// which the flattened content leaves out, follow their path one by one.
#pragma once

#include <cstdint>
#include <string_view>

#include "Common/SvgDocument.h"
#include "Common/Vector.h"
#include "VectorKernel/VectorObjects.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {

// Alignment words handed to the kernel for a whole run, by text-anchor
// (start, middle, end, normal), and for runs placed character by character.
inline constexpr int32_t kRunAlignStart = 8;
inline constexpr int32_t kRunAlignMiddle = 10;
inline constexpr int32_t kRunAlignEnd = 5;
inline constexpr int32_t kRunAlignNormal = 4;
inline constexpr int32_t kCharAlignMiddle = 6;
inline constexpr int32_t kCharAlignEnd = 5;
inline constexpr int32_t kCharAlignOther = 4;

// The kernel alignment word of a text-anchor keyword index (kTextAnchorKeywords).
[[nodiscard]] int32_t RunAlignment(int32_t textAnchor, bool perCharacter);

// The escapement, in tenths of a degree counter-clockwise, of an SVG rotate
// value `degrees` (clockwise) on a font whose own escapement is
// `fontEscapement`: trunc((360 - degrees) * 10 + fontEscapement) % 3600,
// the remainder taking the sign of the dividend. 0 degrees gives
// `fontEscapement`.
[[nodiscard]] int32_t RotateEscapement(double degrees, int32_t fontEscapement);

// The face name of a font-family value: its first family, quotes and blanks
// removed, "sans-serif" written "sansserif", converted from UTF-8 to UTF-16
// and cut to 31 units. A null or empty family leaves the name empty.
void FontFaceName(const char* family, char16_t (&face)[32]);

// Converts the `text` record at `index`: its runs, then the characters of
// its textPath elements along their paths. The element's transform reaches
// every object made (BakedMatrix). kOk, kErrNoMemory, or the first failing
// step's code (paint resolution, clip, kernel).
[[nodiscard]] Status ConvertText(ConversionContext& context, SvgDocument& document,
                                 int32_t index);

}  // namespace svgflt
