#include "Common/GeneralUtil.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

#include "Common/KernelMemory.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/GeneralUtil";

constexpr char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Unit texts of lengths in matching order, with the unit code of each.
struct UnitEntry {
  std::string_view text;
  int32_t unit;
  int32_t isPercent;
};
constexpr std::array<UnitEntry, 9> kLengthUnits{{{"pt", kUnitPt, 0},
                                                 {"mm", kUnitMm, 0},
                                                 {"cm", kUnitCm, 0},
                                                 {"px", kUnitPx, 0},
                                                 {"in", kUnitIn, 0},
                                                 {"em", kUnitEm, 0},
                                                 {"ex", kUnitEx, 0},
                                                 {"pc", kUnitPc, 0},
                                                 {"%", kUnitNone, 1}}};

// Decides between overflow and underflow for a prefix that std::from_chars
// reports out of range: the decimal exponent of its leading digit.
double OutOfRangeValue(std::string_view mantissa, std::string_view exponent, bool negative) {
  int64_t leading = 0;  // power of ten of the first non-zero digit, plus one
  std::size_t dot = mantissa.find('.');
  if (dot == std::string_view::npos) dot = mantissa.size();
  bool found = false;
  for (std::size_t i = 0; i < mantissa.size(); ++i) {
    if (mantissa[i] >= '1' && mantissa[i] <= '9') {
      leading = (i < dot) ? static_cast<int64_t>(dot - i) : -static_cast<int64_t>(i - dot - 1);
      found = true;
      break;
    }
  }
  if (!found) return negative ? -0.0 : 0.0;
  int64_t power = 0;
  bool negativeExponent = false;
  for (char c : exponent) {
    if (c == '-') negativeExponent = true;
    if (IsDigit(c) && power < 100000) power = power * 10 + (c - '0');
  }
  const int64_t magnitude = leading + (negativeExponent ? -power : power);
  const double value = magnitude > 0 ? HUGE_VAL : 0.0;
  return negative ? -value : value;
}

}  // namespace

// --- characters and tokens -----------------------------------------------

std::string_view TrimView(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsSvgSpace(text[begin])) ++begin;
  while (end > begin && IsSvgSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::string_view NextToken(std::string_view& rest, std::string_view delimiters) {
  const std::size_t begin = rest.find_first_not_of(delimiters);
  if (begin == std::string_view::npos) {
    rest = {};
    return {};
  }
  std::size_t end = rest.find_first_of(delimiters, begin);
  if (end == std::string_view::npos) end = rest.size();
  const std::string_view token = rest.substr(begin, end - begin);
  rest.remove_prefix(end < rest.size() ? end + 1 : end);
  return token;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// --- numbers -------------------------------------------------------------

std::size_t ScanNumberGrammar(std::string_view text, bool* hasDigit) {
  bool started = false;
  bool dot = false;
  bool minus = false;
  bool digit = false;
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      started = digit = true;
    } else if (c == '.') {
      if (dot) break;
      started = dot = true;
    } else if (c == '-') {
      if (minus || digit || dot) break;
      started = minus = true;
    } else if (IsSvgSpace(c)) {
      if (started) break;
    } else {
      break;
    }
  }
  *hasDigit = digit;
  return i;
}

bool MatchesNumberGrammar(std::string_view text) {
  bool hasDigit = false;
  return ScanNumberGrammar(text, &hasDigit) == text.size() && hasDigit;
}

double ConvertNumberPrefix(std::string_view text, std::size_t* used) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::size_t mantissaBegin = i;
  std::size_t digits = 0;
  // The digits as an integer while it stays exact, and the count of digits
  // after the point, for the fast path below.
  uint64_t mantissa = 0;
  bool mantissaExact = true;
  int32_t fractionDigits = 0;
  auto takeDigit = [&](char c) {
    ++digits;
    if (mantissa < (uint64_t{1} << 53) / 10) {
      mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
    } else {
      mantissaExact = false;
    }
  };
  for (; i < n && IsDigit(text[i]); ++i) takeDigit(text[i]);
  if (i < n && text[i] == '.') {
    for (++i; i < n && IsDigit(text[i]); ++i) {
      takeDigit(text[i]);
      ++fractionDigits;
    }
  }
  if (digits == 0) {
    if (used != nullptr) *used = 0;
    return 0.0;
  }
  const std::size_t mantissaEnd = i;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < n && IsDigit(text[j])) {
      while (j < n && IsDigit(text[j])) ++j;
      i = j;
    }
  }
  if (used != nullptr) *used = i;

  // Fast path for the common short decimals without exponent: an integer
  // below 2^53 divided by an exact power of ten rounds once, so the result is
  // the correctly rounded value that strtod and from_chars give as well.
  constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (mantissaExact && i == mantissaEnd && fractionDigits <= 22) {
    const double value = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
    return negative ? -value : value;
  }

  // The scan above fixed the syntax, so from_chars (which takes no '+' and no
  // sign of ours) only converts; it uses no locale.
  double value = 0.0;
  const char* first = text.data() + mantissaBegin;
  const auto result = std::from_chars(first, text.data() + i, value);
  if (result.ec == std::errc::result_out_of_range) {
    return OutOfRangeValue(text.substr(mantissaBegin, mantissaEnd - mantissaBegin),
                           text.substr(mantissaEnd, i - mantissaEnd), negative);
  }
  if (result.ec != std::errc()) return 0.0;
  return negative ? -value : value;
}

// --- strings -------------------------------------------------------------

Status StoreString(std::string_view text, char** field) {
  char* copy = SVGFLT_ALLOC(char, text.size() + 1);
  if (copy == nullptr) return kErrNoMemory;
  if (!text.empty()) std::memcpy(copy, text.data(), text.size());
  KernelRelease(*field);
  *field = copy;
  return kOk;
}

void FreeString(char** field) {
  KernelRelease(*field);
  *field = nullptr;
}

Status TrimCopy(const char* text, char** out) {
  if (text == nullptr || out == nullptr) return kErrMissing;
  const std::string_view trimmed = TrimView(text);
  if (trimmed.empty()) return kErrBadValue;
  char* copy = SVGFLT_ALLOC(char, trimmed.size() + 1);
  if (copy == nullptr) return kErrNoMemory;
  std::memcpy(copy, trimmed.data(), trimmed.size());
  *out = copy;
  return kOk;
}

Status CopyValue(const char* text, char** field, bool trim) {
  if (text == nullptr || field == nullptr) return kErrMissing;
  std::string_view value = text;
  if (trim) {
    value = TrimView(value);
    if (value.empty()) return kErrBadValue;
  }
  return StoreString(value, field);
}

Status CopyReference(const char* text, char** field, bool stripHash) {
  if (text == nullptr || field == nullptr) return kErrMissing;
  std::string_view value = text;
  if (stripHash && !value.empty() && value.front() == '#') value.remove_prefix(1);
  return StoreString(value, field);
}

Status CopyBeforeParen(std::string_view text, char** field) {
  if (field == nullptr) return kErrMissing;
  const std::size_t paren = text.rfind(')');
  if (paren == std::string_view::npos) return kErrBadValue;
  return StoreString(text.substr(0, paren), field);
}

// --- keywords ------------------------------------------------------------

Status LookupKeyword(std::string_view text, std::span<const std::string_view> table,
                     int32_t* index) {
  const std::string_view trimmed = TrimView(text);
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (EqualsNoCase(trimmed, table[i])) {
      *index = static_cast<int32_t>(i);
      return kOk;
    }
  }
  return kErrBadValue;
}

Status LookupKeyword(const char* text, std::span<const std::string_view> table, int32_t* index) {
  if (text == nullptr || index == nullptr) return kErrMissing;
  return LookupKeyword(std::string_view(text), table, index);
}

// --- value parsers -------------------------------------------------------

Status IsNumber(const char* text) {
  if (text == nullptr) return kErrMissing;
  return MatchesNumberGrammar(TrimView(text)) ? kOk : kErrBadValue;
}

Status ParseNumberPercent(std::string_view text, SvgNumberPercent* out) {
  if (out == nullptr) return kErrMissing;
  std::size_t start = 0;
  while (start < text.size() && IsSvgSpace(text[start])) ++start;
  text.remove_prefix(start);
  if (text.empty()) return kErrBadValue;

  bool exponent = false;  // after the first 'e' every character is accepted
  bool anything = false;  // likewise after the first 'c' or 'C'
  bool dot = false;
  std::size_t percent = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' && percent == std::string_view::npos) {
      percent = i;
      continue;
    }
    if (exponent || anything || IsDigit(c)) continue;
    if (c == '.' && !dot) {
      dot = true;
    } else if (c == 'e') {
      exponent = true;
    } else if (c == 'c' || c == 'C') {
      anything = true;
    } else {
      return kErrBadValue;
    }
  }
  const std::string_view number =
      percent == std::string_view::npos ? text : text.substr(0, percent);
  out->value = ConvertNumberPrefix(number);
  out->isPercent = percent != std::string_view::npos ? 1 : 0;
  return kOk;
}

Status ParseNumberPercent(const char* text, SvgNumberPercent* out) {
  if (text == nullptr) return kErrMissing;
  return ParseNumberPercent(std::string_view(text), out);
}

Status ParseLength(const char* text, SvgLength* out) {
  if (text == nullptr || out == nullptr) return kErrMissing;
  std::string_view rest = text;
  while (!rest.empty() && IsSvgSpace(rest.front())) rest.remove_prefix(1);
  if (rest.empty()) return kOk;

  std::size_t lastDigit = rest.size();
  for (std::size_t i = rest.size(); i > 0; --i) {
    if (IsDigit(rest[i - 1])) {
      lastDigit = i - 1;
      break;
    }
  }
  if (lastDigit == rest.size()) return kErrBadLength;
  const std::string_view number = rest.substr(0, lastDigit + 1);
  std::string_view unitText = rest.substr(lastDigit + 1);
  while (!unitText.empty() && IsSvgSpace(unitText.back())) unitText.remove_suffix(1);

  int32_t unit = kUnitNone;
  int32_t isPercent = 0;
  if (!unitText.empty()) {
    const UnitEntry* match = nullptr;
    for (const UnitEntry& entry : kLengthUnits) {
      if (EqualsNoCase(unitText, entry.text)) {
        match = &entry;
        break;
      }
    }
    if (match == nullptr) return kErrBadLength;
    unit = match->unit;
    isPercent = match->isPercent;
  }
  if (!MatchesNumberGrammar(number)) return kErrBadLength;

  out->unit = unit;
  out->value = ConvertNumberPrefix(number);
  out->isPercent = isPercent;
  return kOk;
}

Status ParseAngle(const char* text, SvgAngle* out) {
  if (text == nullptr || out == nullptr) return kErrMissing;
  const std::string_view trimmed = TrimView(text);
  bool hasDigit = false;
  const std::size_t length = ScanNumberGrammar(trimmed, &hasDigit);
  if (!hasDigit) return kErrBadValue;
  const std::string_view unitText = TrimView(trimmed.substr(length));
  int32_t unit = kAngleDeg;
  if (!unitText.empty() && LookupKeyword(unitText, kAngleUnitKeywords, &unit) != kOk) {
    return kErrBadValue;
  }
  out->value = ConvertNumberPrefix(trimmed.substr(0, length));
  out->unit = unit;
  return kOk;
}

Status ParseViewBox(const char* text, SvgViewBox* out) {
  if (text == nullptr || out == nullptr) return kErrMissing;
  std::string_view rest = text;
  double values[4] = {};
  int count = 0;
  for (std::string_view item = NextToken(rest, kListSeparators); !item.empty();
       item = NextToken(rest, kListSeparators)) {
    if (count == 4 || !MatchesNumberGrammar(item)) return kErrBadValue;
    values[count++] = ConvertNumberPrefix(item);
  }
  if (count != 4 || !(values[2] > 0) || !(values[3] > 0)) return kErrBadValue;
  *out = SvgViewBox{values[0], values[1], values[2], values[3]};
  return kOk;
}

Status ParseAspectRatio(const char* text, SvgAspectRatio* out) {
  if (text == nullptr || out == nullptr) return kErrMissing;
  std::string_view rest = text;
  int32_t align = 0;
  if (LookupKeyword(NextToken(rest, kListSeparators), kAlignKeywords, &align) != kOk) {
    return kErrBadValue;
  }
  out->align = align;
  if (align == kAlignNone) return kOk;
  const std::string_view second = NextToken(rest, kListSeparators);
  if (second.empty()) return kOk;
  int32_t meetOrSlice = 0;
  if (LookupKeyword(second, kMeetOrSliceKeywords, &meetOrSlice) != kOk) return kErrBadValue;
  out->meetOrSlice = meetOrSlice;
  return kOk;
}

Status ParseFeatures(const char* text, uint32_t* mask) {
  if (text == nullptr || mask == nullptr) return kErrMissing;
  *mask = 0;
  std::string_view rest = text;
  for (std::string_view item = NextToken(rest, kSvgSpaces); !item.empty();
       item = NextToken(rest, kSvgSpaces)) {
    int32_t index = 0;
    if (LookupKeyword(item, kFeatureNames, &index) != kOk) return kErrBadValue;
    const uint32_t bit = 1u << index;
    if ((*mask & bit) != 0) return kErrBadValue;
    *mask |= bit;
  }
  return kOk;
}

namespace {

// Joins the items of `text` (split at `delimiters`, each trimmed when
// `trimItems` is set, empty items skipped) with single blanks into *field.
// The length is measured first so the result takes one allocation.
Status JoinItems(const char* text, std::string_view delimiters, bool trimItems, char** field) {
  if (text == nullptr || field == nullptr) return kErrMissing;
  std::size_t length = 0;
  std::size_t items = 0;
  std::string_view rest = text;
  for (std::string_view item = NextToken(rest, delimiters); !item.empty();
       item = NextToken(rest, delimiters)) {
    if (trimItems) item = TrimView(item);
    if (item.empty()) continue;
    length += item.size() + (items > 0 ? 1 : 0);
    ++items;
  }
  if (items == 0) return kErrBadValue;

  char* joined = SVGFLT_ALLOC(char, length + 1);
  if (joined == nullptr) return kErrNoMemory;
  char* cursor = joined;
  rest = text;
  for (std::string_view item = NextToken(rest, delimiters); !item.empty();
       item = NextToken(rest, delimiters)) {
    if (trimItems) item = TrimView(item);
    if (item.empty()) continue;
    if (cursor != joined) *cursor++ = ' ';
    std::memcpy(cursor, item.data(), item.size());
    cursor += item.size();
  }
  KernelRelease(*field);
  *field = joined;
  return kOk;
}

}  // namespace

Status NormaliseList(const char* text, char** field) {
  return JoinItems(text, kListSeparators, false, field);
}

Status NormaliseCommaList(const char* text, char** field) {
  // Items that are blank after trimming are dropped rather than kept as
  // double blanks in the joined list.
  return JoinItems(text, ",", true, field);
}

}  // namespace svgflt
