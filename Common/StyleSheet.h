// Style sheets, the class table, embedded fonts and data URIs.
//
// A `style` element's sheet becomes a list of simple rules (".name",
// "elem.name", "elem"); elements declare their class names in the document's
// class table; ApplyClassesAndStyle applies the matching rules and then the
// element's own `style` attribute while the element is parsed. The sheet may
// also carry one "@font-face" rule with base64 font data, and `image`
// elements may carry base64 "data:" URIs.
//
// Every table, rule and string is a zero-filled kernel block owned by the
// document (StyleTables) or by the record that receives it, and freed by
// FreeStyleTables, FreeStyleElementData or FreeImageSource.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "svgfilter/FilterStatus.h"

namespace AdvXMLParser {
class Element;
}

namespace svgflt {

struct SvgDocument;
struct PresentationProperties;

// One rule of a sheet. `next` is the rule added before it, so the list runs
// from the most recent rule to the first one.
struct CssRule {
  char* elementName;   // null for ".name"
  char* className;     // null for "elem"
  char* declarations;  // the text between the braces, comments removed
  CssRule* next;
};
static_assert(std::is_trivially_copyable_v<CssRule>);

// One class name and the record indices of the elements that declare it, in
// registration order.
struct ClassEntry {
  int32_t count;
  int32_t capacity;
  int32_t* elements;
  char* name;
};
static_assert(std::is_trivially_copyable_v<ClassEntry>);

// One embedded font of an "@font-face" rule.
struct FontFaceEntry {
  char* family;         // the quoted family name, without its quotes
  char* data;           // the base64 text as written, or the referenced id
  int32_t isReference;  // 1 when `data` holds the id of a "#id" URL
};
static_assert(std::is_trivially_copyable_v<FontFaceEntry>);

// Growth of the tables, in entries.
inline constexpr int32_t kClassTableFirst = 5;
inline constexpr int32_t kClassTableGrowth = 10;
inline constexpr int32_t kClassElementsFirst = 10;
inline constexpr int32_t kClassElementsGrowth = 20;
inline constexpr int32_t kFontFaceTableFirst = 5;
inline constexpr int32_t kFontFaceTableGrowth = 10;

// Media names of a `style` element's "media" list: bit n of the mask is the
// n-th name; "all" sets every bit.
inline constexpr int32_t kMediaCount = 9;
inline constexpr std::array<std::string_view, kMediaCount> kMediaNames{
    "aural", "braille", "embossed", "handheld", "print", "projection", "screen", "tty", "tv"};
inline constexpr uint32_t kMediaAll = (1u << kMediaCount) - 1;
static_assert(kMediaAll == 0x1FF);

// The document's style state: rules, classes, fonts. Plain; lives inside
// SvgDocument, zeroed with it, freed by FreeStyleTables.
struct StyleTables {
  CssRule* rules;  // head of the rule list: the most recently added rule

  // Hash index over the rules by (element name, class name): each slot holds
  // the most recently added rule of its key, or null. Capacity is a power of
  // two, or 0 before the first rule.
  int32_t ruleIndexCount;  // keys in the index
  int32_t ruleIndexCapacity;
  CssRule** ruleIndex;

  // Class table in order of first appearance, with a hash index over the
  // names: each slot holds an entry index plus one, 0 for an empty slot.
  int32_t classCount;
  int32_t classCapacity;
  ClassEntry* classes;
  int32_t classIndexCapacity;  // a power of two, or 0 before the first class
  int32_t* classIndex;

  int32_t fontFaceCount;
  int32_t fontFaceCapacity;
  FontFaceEntry* fontFaces;

  uint32_t mediaMask;  // union of the media masks of every style element read
};
static_assert(std::is_trivially_copyable_v<StyleTables>);

// Set-once bits of StyleElementData::given.
inline constexpr uint32_t kStyleGivenId = 1u << 0;
inline constexpr uint32_t kStyleGivenXmlBase = 1u << 1;
inline constexpr uint32_t kStyleGivenXmlSpace = 1u << 2;
inline constexpr uint32_t kStyleGivenType = 1u << 3;
inline constexpr uint32_t kStyleGivenMedia = 1u << 4;

// Data of a `style` element record.
struct StyleElementData {
  uint32_t given;    // kStyleGiven* bits of the attributes read
  char* id;          // trimmed copy, or null
  char* xmlBase;     // or null
  int32_t xmlSpace;  // kXmlSpaceKeywords index
  uint32_t media;    // kMediaNames bits; 0 when "media" was not given
  char* text;        // the sheet text, kept when every attribute was accepted
};
static_assert(std::is_trivially_copyable_v<StyleElementData>);

// Source of an `image` element: decoded bytes of a base64 "data:" URI, or the
// reference text. `given` makes the href set-once.
struct ImageSource {
  uint8_t* data;     // decoded bytes, or null
  int32_t dataSize;  // bytes in `data`
  char* href;        // the reference without an initial '#', or null
  int32_t given;     // 1 once ParseDataUri has run for the element
};
static_assert(std::is_trivially_copyable_v<ImageSource>);

// Reads the attributes and the sheet of a `style` element into `data` and
// the document's tables: kOk, kErrDuplicateAttribute, kErrBadLength (an
// attribute the element does not take), kErrBadValue (bad type, media or
// xml:space), kErrNoMemory. Without "type" the content is ignored; a bad
// "type" still has its rules read.
[[nodiscard]] Status ParseStyleElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                       StyleElementData& data);
// Frees the strings of `data` and sets them to null.
void FreeStyleElementData(StyleElementData& data);

// Adds the rules of a sheet at the head of the rule list: kOk (a malformed
// sheet adds what it can) or kErrNoMemory (rules before the failure stay).
[[nodiscard]] Status ParseStyleSheet(SvgDocument& document, std::string_view text);

// Adds one entry to the font table from a sheet that begins with an
// "@font-face" rule with a base64 data URL or "#id" URL: kOk, kErrBadValue
// (any other text; nothing is added), kErrNoMemory.
[[nodiscard]] Status ParseFontFace(SvgDocument& document, std::string_view text);

// Enters `elementIndex` under each class name of `classValue` (split at
// whitespace), making entries for new names: kOk (also for a null or blank
// value) or kErrNoMemory (names before the failure stay registered).
[[nodiscard]] Status RegisterClasses(SvgDocument& document, int32_t elementIndex,
                                     const char* classValue);

// The declarations of the most recently added rule whose element name and
// class name equal the given ones exactly (null matches only null), or null.
// The text belongs to the rule and lives as long as the document.
[[nodiscard]] const char* FindRule(const SvgDocument& document, const char* elementName,
                                   const char* className);

// Applies to `props`, in this order: the rule of `elementName` alone, the
// rules of the element's classes in class-table order (each "elem.class"
// rule, else its ".class" rule), and `styleText`. Class rules apply when
// `classValue` is given and the element is registered under the class.
// kOk or kErrNoMemory.
[[nodiscard]] Status ApplyClassesAndStyle(SvgDocument& document, int32_t elementIndex,
                                          const char* elementName, PresentationProperties& props,
                                          const char* classValue, const char* styleText);

// Reads an image href once per element: a "data:...;base64,..." URI is
// decoded into source.data, anything else is kept in source.href without an
// initial '#'. kOk, kErrDuplicateAttribute (already read for this source),
// kErrMissing (null href), kErrNoMemory.
[[nodiscard]] Status ParseDataUri(ImageSource& source, const char* href);
// Frees the bytes and the reference of `source` and clears it.
void FreeImageSource(ImageSource& source);

// Decodes `length` characters of base64 (RFC 4648 alphabet; other characters
// are skipped, the text ends at '=' or at its end, an incomplete last group
// yields its whole bytes) into `buffer`, which needs room for length * 3 / 4
// bytes. Returns the number of bytes written; 0 when there is nothing to
// decode, -1 for a null text or buffer.
[[nodiscard]] int32_t DecodeBase64(const char* text, int32_t length, uint8_t* buffer);

// Frees the rules, the class table and the font table of the document.
void FreeStyleTables(SvgDocument& document);

}  // namespace svgflt
