// The element records of the paint servers (linearGradient, radialGradient,
// stop, pattern) and their attribute parsers. How a fill or stroke that
// names one of them becomes kernel paint is the converter's matter.
//
// The records hold each kind's own fields; the element data of
// SvgDocument.h puts them after ElementCommon (ElementKindData). Strings
// and transform lists are kernel blocks released by FreePaintServerData.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "Common/SvgTypes.h"
#include "svgfilter/FilterStatus.h"

namespace AdvXMLParser {
class Element;
}

namespace svgflt {

struct SvgDocument;
struct ElementRecord;

// --- keyword tables ------------------------------------------------------------

// gradientUnits, patternUnits and patternContentUnits: kUnitsKeywords of
// ElementParsers.h.
inline constexpr int32_t kUserSpaceOnUse = 0;
inline constexpr int32_t kObjectBoundingBox = 1;
inline constexpr int32_t kSpreadPad = 0;
inline constexpr int32_t kSpreadReflect = 1;
inline constexpr int32_t kSpreadRepeat = 2;
inline constexpr std::array<std::string_view, 3> kSpreadKeywords{"pad", "reflect", "repeat"};

// --- records -------------------------------------------------------------------

// linearGradient. x1, y1, x2, y2 start at 0%, 0%, 100%, 0%.
struct LinearGradientRecord {
  SvgLength x1;
  SvgLength y1;
  SvgLength x2;
  SvgLength y2;
  int32_t units;                   // kUnitsKeywords index; objectBoundingBox unless given
  int32_t spread;                  // kSpreadKeywords index; pad unless given
  TransformList gradientTransform;
  char* href;                      // the referenced gradient's id without '#', or null
};

// radialGradient. cx, cy, fx, fy start at 0.5, r at 50%. A cx or cy also
// sets fx or fy, unless an fx or fy follows it on the element.
struct RadialGradientRecord {
  SvgLength cx;
  SvgLength cy;
  SvgLength fx;
  SvgLength fy;
  SvgLength r;
  int32_t units;
  int32_t spread;
  TransformList gradientTransform;
  char* href;
};

// stop. The offset is kept as written ("0.5", "50%", "5px"), not clamped.
struct StopRecord {
  SvgLength offset;
};

// pattern. x, y start at 0%, width and height at zero.
struct PatternRecord {
  SvgLength x;
  SvgLength y;
  SvgLength width;
  SvgLength height;
  int32_t patternUnits;         // kUnitsKeywords index; userSpaceOnUse unless given
  int32_t patternContentUnits;  // likewise
  TransformList patternTransform;
  SvgViewBox viewBox;
  int32_t hasViewBox;                  // 1 when viewBox was given and valid
  SvgAspectRatio preserveAspectRatio;  // xMidYMid meet unless given
  char* href;                          // without '#', or null
};

// --- parsers -------------------------------------------------------------------

// One parser per element kind, filling the record at recordCount; `type` is
// the kElem* code to store. kOk, kErrDuplicateAttribute, kErrBadLength (an
// unaccepted xml: or xmlns: name, xml:base outside SVG 1.1, a malformed
// length), kErrBadValue (a bad keyword, transform or viewBox), kErrMissing
// (an empty id), kErrNoMemory.
[[nodiscard]] Status ParseLinearGradientElement(SvgDocument& document,
                                                const AdvXMLParser::Element& xml, int32_t type);
[[nodiscard]] Status ParseRadialGradientElement(SvgDocument& document,
                                                const AdvXMLParser::Element& xml, int32_t type);
[[nodiscard]] Status ParseStopElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                      int32_t type);
[[nodiscard]] Status ParsePatternElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                         int32_t type);

// True for the kinds of this family.
[[nodiscard]] bool IsPaintServerKind(int32_t elementType);
// Frees the transform list and reference of a paint-server record; other
// kinds are left alone.
void FreePaintServerData(ElementRecord& record);

}  // namespace svgflt
