// The shared value parsers of the SVG document model: trimmed copies,
// keyword lookup, the strict number grammar, lengths, angles, viewBox,
// preserveAspectRatio, requiredFeatures and normalised lists, plus the
// set-once guard of the attribute setters.
//
// Parsers read from a pointer or string_view and allocate only the strings
// they store. Strings are zero-filled kernel blocks owned by the field that
// receives them; a field's previous string is freed when a new one is stored.
// On failure a parser leaves its output as it was unless stated otherwise.
//
// Number conversion never depends on the process locale: the text is checked
// by our own scanner and converted with std::from_chars.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "Common/SvgTypes.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {

// --- characters and tokens -----------------------------------------------

// The whitespace of the value grammars: space, tab, LF and CR only.
[[nodiscard]] constexpr bool IsSvgSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
[[nodiscard]] constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

inline constexpr std::string_view kSvgSpaces = " \t\n\r";
// Separators of viewBox and preserveAspectRatio items.
inline constexpr std::string_view kListSeparators = " \t\n\r,";

// `text` without whitespace at either end.
[[nodiscard]] std::string_view TrimView(std::string_view text);

// Re-entrant tokenizer: skips delimiters at the front of `rest`, returns the
// characters up to the next delimiter and advances `rest` past it. Runs of
// delimiters separate like one. Returns an empty view when no token is left.
[[nodiscard]] std::string_view NextToken(std::string_view& rest, std::string_view delimiters);

// ASCII comparison without regard to case (independent of the locale).
[[nodiscard]] bool EqualsNoCase(std::string_view a, std::string_view b);
[[nodiscard]] bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// --- numbers -------------------------------------------------------------

// Length of the longest prefix of `text` that follows the strict number
// grammar (whitespace before the number, one leading '-', digits, one '.');
// *hasDigit tells whether that prefix holds a digit.
[[nodiscard]] std::size_t ScanNumberGrammar(std::string_view text, bool* hasDigit);
// True when all of `text` is a number of the strict grammar.
[[nodiscard]] bool MatchesNumberGrammar(std::string_view text);

// Converts the longest numeric prefix of `text` as the C library's strtod
// would in the "C" locale (sign, digits, one '.', exponent with e or E), but
// without "inf", "nan" or hexadecimal forms: a word gives 0. Overflow gives
// +-HUGE_VAL and underflow 0. *used (optional) receives the prefix length.
[[nodiscard]] double ConvertNumberPrefix(std::string_view text, std::size_t* used = nullptr);

// --- strings -------------------------------------------------------------

// Replaces the string in *field with a copy of `text`: kOk or kErrNoMemory
// (the old string stays).
[[nodiscard]] Status StoreString(std::string_view text, char** field);
// Frees the string in *field and sets it to null.
void FreeString(char** field);

// A new string in *out (the caller owns it) holding `text` without whitespace
// at either end: kOk, kErrMissing for a null text, kErrBadValue when nothing
// is left, kErrNoMemory.
[[nodiscard]] Status TrimCopy(const char* text, char** out);
// Replaces *field with a copy of `text`, trimmed when `trim` is set:
// kOk, kErrMissing, kErrBadValue (empty after trimming), kErrNoMemory.
[[nodiscard]] Status CopyValue(const char* text, char** field, bool trim);
// Replaces *field with a copy of `text`, without an initial '#' when
// `stripHash` is set: kOk, kErrMissing, kErrNoMemory.
[[nodiscard]] Status CopyReference(const char* text, char** field, bool stripHash);
// Replaces *field with the text before the last ')': kOk, kErrMissing (null
// field), kErrBadValue when there is no ')', kErrNoMemory.
[[nodiscard]] Status CopyBeforeParen(std::string_view text, char** field);

// --- keywords ------------------------------------------------------------

// Keyword tables: the position of a keyword is the value stored for it.
inline constexpr std::array<std::string_view, 2> kBooleanKeywords{"FALSE", "TRUE"};
inline constexpr std::array<std::string_view, 2> kXmlSpaceKeywords{"default", "preserve"};
inline constexpr std::array<std::string_view, kAlignCount> kAlignKeywords{
    "none",     "xMinYMin", "xMidYMin", "xMaxYMin", "xMinYMid",
    "xMidYMid", "xMaxYMid", "xMinYMax", "xMidYMax", "xMaxYMax"};
inline constexpr std::array<std::string_view, 2> kMeetOrSliceKeywords{"meet", "slice"};
static_assert(kMeet == 0 && kSlice == 1);
inline constexpr std::array<std::string_view, 3> kAngleUnitKeywords{"deg", "grad", "rad"};
static_assert(kAngleDeg == 0 && kAngleGrad == 1 && kAngleRad == 2);

// requiredFeatures names; bit n of the feature mask is the n-th name.
inline constexpr int32_t kFeatureCount = 11;
inline constexpr std::array<std::string_view, kFeatureCount> kFeatureNames{
    "org.w3c.svg",           "org.w3c.svg.lang",       "org.w3c.svg.static",
    "org.w3c.svg.dynamic",   "org.w3c.svg.animation",  "org.w3c.svg.all",
    "org.w3c.dom.svg",       "org.w3c.dom.svg.static", "org.w3c.dom.svg.dynamic",
    "org.w3c.dom.svg.animation", "org.w3c.dom.svg.all"};

// *index = position of the first keyword equal to the trimmed text without
// regard to case: kOk, kErrBadValue when none matches.
[[nodiscard]] Status LookupKeyword(std::string_view text, std::span<const std::string_view> table,
                                   int32_t* index);
// The same for a NUL-terminated text; kErrMissing for a null text.
[[nodiscard]] Status LookupKeyword(const char* text, std::span<const std::string_view> table,
                                   int32_t* index);

// --- value parsers -------------------------------------------------------

// kOk when the trimmed text is a number of the strict grammar, else
// kErrBadValue; kErrMissing for a null text.
[[nodiscard]] Status IsNumber(const char* text);
// A number with an optional '%' (exponents tolerated, no minus sign):
// kOk, kErrBadValue.
[[nodiscard]] Status ParseNumberPercent(std::string_view text, SvgNumberPercent* out);
[[nodiscard]] Status ParseNumberPercent(const char* text, SvgNumberPercent* out);
// A length with an optional unit: kOk (also for an empty text, output
// untouched), kErrMissing, kErrBadLength.
[[nodiscard]] Status ParseLength(const char* text, SvgLength* out);
// A number with an optional deg/grad/rad unit: kOk, kErrMissing, kErrBadValue.
[[nodiscard]] Status ParseAngle(const char* text, SvgAngle* out);
// Four numbers, width and height above 0: kOk, kErrMissing, kErrBadValue.
[[nodiscard]] Status ParseViewBox(const char* text, SvgViewBox* out);
// An align keyword and optional meet/slice: kOk, kErrMissing, kErrBadValue
// (align may already be stored when the second item is bad).
[[nodiscard]] Status ParseAspectRatio(const char* text, SvgAspectRatio* out);
// The feature-name list as a bit mask (starts at 0): kOk, kErrMissing,
// kErrBadValue at an unknown or repeated name, keeping the bits set so far.
[[nodiscard]] Status ParseFeatures(const char* text, uint32_t* mask);
// Replaces *field with the items (separated by commas and whitespace) joined
// by single blanks: kOk, kErrMissing, kErrBadValue (no item), kErrNoMemory.
[[nodiscard]] Status NormaliseList(const char* text, char** field);
// Replaces *field with the comma-separated items, each trimmed, joined by
// single blanks: kOk, kErrMissing, kErrBadValue (no item), kErrNoMemory.
[[nodiscard]] Status NormaliseCommaList(const char* text, char** field);

// --- set-once attribute setters ------------------------------------------

// The first occurrence of an attribute wins: returns kErrDuplicateAttribute
// without calling `parse` when `bit` is already in `mask`; otherwise sets the
// bit (a bad value still consumes it) and returns parse().
template <typename Mask, typename ParseFn>
[[nodiscard]] Status SetOnce(Mask& mask, Mask bit, ParseFn&& parse) {
  static_assert(std::is_integral_v<Mask>);
  if ((mask & bit) != 0) return kErrDuplicateAttribute;
  mask = static_cast<Mask>(mask | bit);
  return parse();
}

}  // namespace svgflt
