// The element records of the text family (text, tspan, tref, textPath,
// altGlyph, altGlyphDef, altGlyphItem, glyphRef), their attribute parsers,
// and the length and number lists of positioned text.
//
// The records hold each kind's own fields; the element data of SvgDocument.h
// puts them after ElementCommon (ElementKindData), so the shared groups and
// the presentation block sit where CommonOf finds them. Lists, strings and
// the flattened character content are kernel blocks owned by the record and
// released by FreeTextElementData.
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

// --- lists -------------------------------------------------------------------

// Room of a fresh list and the growth step, in entries.
inline constexpr int32_t kListInitialCapacity = 5;
inline constexpr int32_t kListGrowth = 10;

struct LengthList {
  int32_t count;     // entries parsed (a malformed last entry included, see ParseLengthList)
  int32_t capacity;  // entries allocated
  SvgLength* items;  // kernel block, or null for an empty list
};

struct NumberList {
  int32_t count;
  int32_t capacity;
  double* items;  // kernel block, or null for an empty list
};

static_assert(std::is_trivially_copyable_v<LengthList>);
static_assert(std::is_trivially_copyable_v<NumberList>);

// Replaces *list with the lengths of `text` (split at comma, blank, tab, LF
// and CR). A malformed token is counted, left at 0 user units, and ends the
// list. `elementKind` is the kElem* code of the element that owns the list
// (text, tspan, tref or altGlyph). kOk (also for a malformed token),
// kErrMissing (null text or list, or a kind without lists), kErrNoMemory
// (the list is then empty).
[[nodiscard]] Status ParseLengthList(const char* text, int32_t elementKind, LengthList* list);
// Replaces *list with the numbers of `text` (same separators). A token that
// is not a number of the strict grammar is not stored and ends the list.
// kOk, kErrMissing, kErrNoMemory (the list is then empty).
[[nodiscard]] Status ParseNumberList(const char* text, int32_t elementKind, NumberList* list);
void FreeLengthList(LengthList* list);
void FreeNumberList(NumberList* list);

// --- keyword tables ------------------------------------------------------------

inline constexpr std::array<std::string_view, 2> kLengthAdjustKeywords{"spacing",
                                                                       "spacingAndGlyphs"};
inline constexpr std::array<std::string_view, 2> kTextPathMethodKeywords{"align", "stretch"};
inline constexpr std::array<std::string_view, 2> kTextPathSpacingKeywords{"auto", "exact"};

// --- records -------------------------------------------------------------------

// text. x and y start at 0 user units; xGiven and yGiven tell whether they
// were written. dx, dy and rotate are read in SVG 1.1 documents only.
struct TextRecord {
  SvgLength x;
  SvgLength y;
  int32_t xGiven;
  int32_t yGiven;
  LengthList dx;
  LengthList dy;
  NumberList rotate;
  SvgLength textLength;  // 0 user units unless given
  int32_t lengthAdjust;  // kLengthAdjustKeywords index
  char* content;         // the character content as Element::GetText flattens it
};

// tspan.
struct TspanRecord {
  LengthList x;
  LengthList y;
  LengthList dx;
  LengthList dy;
  NumberList rotate;
  SvgLength textLength;
  int32_t lengthAdjust;
  char* content;  // its own flattened content (also part of the text's content)
};

// tref.
struct TrefRecord {
  LengthList x;
  LengthList y;
  LengthList dx;
  LengthList dy;
  NumberList rotate;
  SvgLength textLength;
  int32_t lengthAdjust;
  char* href;  // the referenced id without '#', or null
};

// textPath.
struct TextPathRecord {
  SvgLength textLength;
  int32_t lengthAdjust;
  SvgLength startOffset;  // 0 user units unless given
  int32_t method;         // kTextPathMethodKeywords index
  int32_t spacing;        // kTextPathSpacingKeywords index
  char* href;             // the referenced id without '#', or null
  char* content;          // its characters, blanks collapsed, or null (the
                          // text's flattened content leaves them out)
};

// altGlyph.
struct AltGlyphRecord {
  LengthList x;
  LengthList y;
  LengthList dx;
  LengthList dy;
  NumberList rotate;
  char* href;      // without '#', or null
  char* glyphRef;  // or null
  char* format;    // or null
};

// glyphRef. x, y are plain numbers, dx, dy lengths, all 0 unless given.
struct GlyphRefRecord {
  double x;
  double y;
  SvgLength dx;
  SvgLength dy;
  char* href;      // without '#', or null
  char* glyphRef;  // or null
  char* format;    // or null
};

// --- parsers -------------------------------------------------------------------

// One parser per element kind, filling the record at recordCount; `type` is
// the kElem* code to store. kOk, kErrDuplicateAttribute, kErrBadLength (an
// unaccepted xml: name, xml:base outside SVG 1.1, a malformed length),
// kErrBadValue, kErrMissing (an empty id or string value), kErrNoMemory.
// text and tspan take their flattened content with Element::GetText, once
// per element, which consumes one preserve flag of the text state.
[[nodiscard]] Status ParseTextElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                      int32_t type);
[[nodiscard]] Status ParseTspanElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                       int32_t type);
[[nodiscard]] Status ParseTrefElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                      int32_t type);
[[nodiscard]] Status ParseTextPathElement(SvgDocument& document,
                                          const AdvXMLParser::Element& xml, int32_t type);
[[nodiscard]] Status ParseAltGlyphElement(SvgDocument& document,
                                          const AdvXMLParser::Element& xml, int32_t type);
// altGlyphDef and altGlyphItem.
[[nodiscard]] Status ParseAltGlyphDefElement(SvgDocument& document,
                                             const AdvXMLParser::Element& xml, int32_t type);
[[nodiscard]] Status ParseGlyphRefElement(SvgDocument& document,
                                          const AdvXMLParser::Element& xml, int32_t type);

// True for the kinds of this family.
[[nodiscard]] bool IsTextElementKind(int32_t elementType);
// Frees the lists, strings and content of a text-family record (the common
// groups are FreeElementData's); other kinds are left alone.
void FreeTextElementData(ElementRecord& record);

}  // namespace svgflt
