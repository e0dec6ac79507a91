// Paint and colour values: parsing `fill`/`stroke` and colour attributes
// into records that keep the value as written, the colour-name table (SVG
// colour keywords and the windowing system's colours) and the computation
// of a colour from a parsed record.
#pragma once

#include <cstdint>
#include <string_view>

#include "Common/SvgTypes.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {

inline constexpr int32_t kNamedColorCount = 140;
inline constexpr int32_t kSystemColorCount = 28;
inline constexpr int32_t kColorNameCount = kNamedColorCount + kSystemColorCount;

// Sets a fresh colour to the name "black": kOk or kErrNoMemory (the record
// is zero-filled either way). The record must not hold a string yet.
[[nodiscard]] Status InitColor(SvgColor* color);
// Sets a fresh paint to "not given" with the colour name "black": kOk or
// kErrNoMemory.
[[nodiscard]] Status InitPaint(SvgPaint* paint);
// Frees the string of a colour or paint record.
void FreeColor(SvgColor* color);
void FreePaint(SvgPaint* paint);

// Parses a paint: "none", "currentColor", "#hex", "rgb(...)",
// "url(#id) [fallback]" or a colour name (stored unchecked): kOk,
// kErrMissing, kErrNoMemory.
[[nodiscard]] Status ParsePaint(const char* text, SvgPaint* paint);
// Parses a colour: "#hex", "rgb(...)" or a colour name: kOk, kErrMissing,
// kErrNoMemory.
[[nodiscard]] Status ParseColor(const char* text, SvgColor* color);
// Parses "rgb(r, g, b)" (numbers or percentages, up to three, case-insensitive
// prefix, ')' last): kOk with colorForm 1 and the components (missing ones
// 0), else kErrBadValue with the record untouched.
[[nodiscard]] Status ParseRgb(std::string_view text, SvgColor* color);

// The colour of a name as 0x00BBGGRR (red in the low byte); *found (may be
// null) is set to whether the name, compared without regard to case, is in
// the table. Unknown names give 0. System colours are sampled once.
[[nodiscard]] uint32_t LookupColorName(std::string_view name, bool* found);

// Computes the colour of a parsed colour record as 0x00BBGGRR: hexadecimal
// text (3 digits doubled, otherwise one number 0xRRGGBB), rgb() components
// (percentages scaled by 255/100, rounded) or a colour name. Returns false,
// leaving *out alone, when the text holds no hex digit or an unknown name.
[[nodiscard]] bool ColorToRef(const SvgColor& color, uint32_t* out);

}  // namespace svgflt
