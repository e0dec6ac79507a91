// The element records of SVG fonts (font, glyph, missing-glyph, hkern,
// vkern) and of the font-face family (font-face, font-face-src,
// font-face-uri, font-face-format, font-face-name, definition-src), and
// their attribute parsers. The records are read so that a document carrying
// a font parses completely; the conversion makes nothing of them, text is
// drawn with the host's fonts.
//
// The records hold each kind's own fields; the element data of
// SvgDocument.h puts them after ElementCommon (ElementKindData). Strings
// and path data are kernel blocks released by FreeFontElementData.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "Common/SvgTypes.h"
#include "svgfilter/FilterStatus.h"

namespace AdvXMLParser {
class Element;
}

namespace svgflt {

struct SvgDocument;
struct ElementRecord;

// --- keyword tables ------------------------------------------------------------

// glyph orientation: horizontal or vertical text.
inline constexpr std::array<std::string_view, 2> kGlyphOrientationKeywords{"h", "v"};
inline constexpr std::array<std::string_view, 4> kArabicFormKeywords{"initial", "medial",
                                                                     "terminal", "isolated"};

// --- records -------------------------------------------------------------------

// font. All numbers 0 unless given.
struct FontRecord {
  double horizOriginX;
  double horizOriginY;
  double horizAdvX;
  double vertOriginX;
  double vertOriginY;
  double vertAdvY;
};

// glyph.
struct GlyphRecord {
  char* unicode;        // or null
  char* glyphName;      // or null
  char* lang;           // or null
  int32_t orientation;  // kGlyphOrientationKeywords index; 0 unless given
  int32_t arabicForm;   // kArabicFormKeywords index; 0 unless given
  double horizAdvX;
  double vertOriginX;
  double vertOriginY;
  double vertAdvY;
  char* d;  // the outline as written (trimmed), or null
};

// missing-glyph.
struct MissingGlyphRecord {
  double horizAdvX;
  double vertOriginX;
  double vertOriginY;
  double vertAdvY;
  PathSegmentList d;  // the segments up to the first fault of the data
};

// hkern and vkern. The glyph and character lists are normalised (items
// joined by single blanks).
struct KernRecord {
  char* u1;
  char* g1;
  char* u2;
  char* g2;
  double k;
};

// Numbers of a font-face, in attribute order.
inline constexpr int32_t kFontFaceNumberCount = 23;

// font-face. font-family, font-style, font-variant, font-weight and
// font-stretch go to the presentation block of the element's common groups.
struct FontFaceRecord {
  SvgLength fontSize;  // 12 user units unless given
  char* unicodeRange;  // "U+0-10FFFF" unless given
  char* panose1;       // "0 0 0 0 0 0 0 0 0 0" unless given
  char* widths;        // or null
  char* bbox;          // or null
  // units-per-em (1000 unless given), stemv, stemh, slope, cap-height,
  // x-height, accent-height, ascent, descent, ideographic, alphabetic,
  // mathematical, hanging, v-ideographic, v-alphabetic, v-mathematical,
  // v-hanging, underline-position, underline-thickness,
  // strikethrough-position, strikethrough-thickness, overline-position,
  // overline-thickness (0 unless given).
  double numbers[kFontFaceNumberCount];
};

// font-face-uri and definition-src.
struct FontFaceUriRecord {
  char* href;  // the reference without an initial '#', or null
};

// font-face-format ("string") and font-face-name ("name").
struct FontFaceTextRecord {
  char* text;  // or null
};

static_assert(std::is_trivially_copyable_v<FontFaceRecord>);

// --- parsers -------------------------------------------------------------------

// One parser per element kind, filling the record at recordCount; `type` is
// the kElem* code to store. kOk, kErrDuplicateAttribute, kErrBadLength (an
// unaccepted xml: or xmlns: name, xml:base outside SVG 1.1, a malformed
// length), kErrBadValue (a malformed number or keyword, an empty list),
// kErrMissing (an empty id), kErrNoMemory.
[[nodiscard]] Status ParseFontElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                      int32_t type);
[[nodiscard]] Status ParseGlyphElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                       int32_t type);
[[nodiscard]] Status ParseMissingGlyphElement(SvgDocument& document,
                                              const AdvXMLParser::Element& xml, int32_t type);
// hkern and vkern.
[[nodiscard]] Status ParseKernElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                      int32_t type);
[[nodiscard]] Status ParseFontFaceElement(SvgDocument& document,
                                          const AdvXMLParser::Element& xml, int32_t type);
[[nodiscard]] Status ParseFontFaceSrcElement(SvgDocument& document,
                                             const AdvXMLParser::Element& xml, int32_t type);
// font-face-uri and definition-src.
[[nodiscard]] Status ParseFontFaceUriElement(SvgDocument& document,
                                             const AdvXMLParser::Element& xml, int32_t type);
[[nodiscard]] Status ParseFontFaceFormatElement(SvgDocument& document,
                                                const AdvXMLParser::Element& xml, int32_t type);
[[nodiscard]] Status ParseFontFaceNameElement(SvgDocument& document,
                                              const AdvXMLParser::Element& xml, int32_t type);

// True for the kinds of this family.
[[nodiscard]] bool IsFontElementKind(int32_t elementType);
// Frees what a font-family record owns beyond the common groups; other
// kinds are left alone.
void FreeFontElementData(ElementRecord& record);

}  // namespace svgflt
