// Code page conversions: UTF-8 and Windows-1252 both ways, and their errors.
#include <gtest/gtest.h>

#include <string>

#include "Platform/Platform.h"
#include "support/KernelLeakGuard.h"

namespace {

// Converts the whole of `bytes` (no NUL added), asking for the size first.
std::u16string ToWide(uint32_t codePage, const std::string& bytes) {
  auto length = static_cast<int32_t>(bytes.size());
  int32_t needed = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  std::u16string out(static_cast<size_t>(needed), u'\0');
  EXPECT_EQ(MultiByteToWideChar(codePage, 0, bytes.data(), length, out.data(), needed), needed);
  return out;
}

std::string ToNarrow(uint32_t codePage, const std::u16string& text, const char* defaultChar, int32_t* used) {
  auto length = static_cast<int32_t>(text.size());
  int32_t needed = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, defaultChar, used);
  std::string out(static_cast<size_t>(needed), '\0');
  EXPECT_EQ(WideCharToMultiByte(codePage, 0, text.data(), length, out.data(), needed, defaultChar, used), needed);
  return out;
}

TEST(MultiByteToWideChar, DecodesAndReplacesInvalidUtf8AndCountsTheNulOfLengthMinusOne) {
  const struct { const char* name; uint32_t codePage; std::string bytes; std::u16string text; } cases[] = {
      {"two bytes", CP_UTF8, "A\xC3\xA9", u"A\u00E9"},
      {"four bytes give a surrogate pair", CP_UTF8, "\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
      {"embedded NUL", CP_UTF8, std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      {"stray continuation", CP_UTF8, "a\x80z", u"a\xFFFDz"},
      {"cut-short sequences", CP_UTF8, "\xE2\x82" "A\xF0\x9F\x98", u"\xFFFD" u"A\xFFFD"},
      {"overlong NUL", CP_UTF8, "\xC0\x80", u"\xFFFD\xFFFD"},
      {"encoded surrogate", CP_UTF8, "\xED\xA0\x80", u"\xFFFD\xFFFD\xFFFD"},
      {"above U+10FFFF", CP_UTF8, "\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"},
      {"1252 euro and quotes", CP_ACP, "\x80\x93\x9F", u"\u20AC\u201C\u0178"},
      {"1252 undefined bytes kept as controls, latin-1", CP_ACP, "\x81\x9D\xA0\xFF", u"\u0081\u009D\u00A0\u00FF"},
  };
  for (const auto& c : cases) EXPECT_EQ(ToWide(c.codePage, c.bytes), c.text) << c.name;
  // Length -1 converts up to and with the NUL, on both sides.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", -1, nullptr, 0), 3);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00E9", -1, nullptr, 0, nullptr, nullptr), 3);
}

TEST(WideCharToMultiByte, EncodesWithTheDefaultCharacterWhere1252HasNoByte) {
  const struct {
    const char* name; uint32_t codePage; std::u16string text; const char* defaultChar; std::string bytes;
    int32_t used;  // -1: not asked (UTF-8 refuses the argument)
  } cases[] = {
      {"two and three bytes", CP_UTF8, u"A\u00E9\u20AC", nullptr, "A\xC3\xA9\xE2\x82\xAC", -1},
      {"surrogate pair", CP_UTF8, u"\xD83D\xDE00", nullptr, "\xF0\x9F\x98\x80", -1},
      {"lone surrogates", CP_UTF8, u"\xD83D" u"a\xDE00", nullptr, "\xEF\xBF\xBD" "a\xEF\xBF\xBD", -1},
      {"1252 euro and latin-1", CP_ACP, u"\u20AC\u00E9", nullptr, "\x80\xE9", 0},
      {"1252 has no A macron", CP_ACP, u"\u0100x", nullptr, "?x", 1},
      {"1252 own default character", CP_ACP, u"\u4E2D", "*", "*", 1},
      {"1252 surrogate pair is one character", CP_ACP, u"\xD83D\xDE00!", nullptr, "?!", 1},
      {"1252 C1 control kept unless 1252 has a glyph there", CP_ACP, u"\u0081\u0080", nullptr, "\x81?", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int32_t used = -1;
    EXPECT_EQ(ToNarrow(c.codePage, c.text, c.defaultChar, c.used < 0 ? nullptr : &used), c.bytes);
    EXPECT_EQ(used, c.used);
  }
  std::string all;  // every byte of 1252 goes there and back
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  int32_t used = -1;
  EXPECT_EQ(ToNarrow(CP_ACP, ToWide(CP_ACP, all), nullptr, &used), all);
  EXPECT_EQ(used, 0);
}

TEST(CodePages, FailWithTheReasonInGetLastError) {
  char16_t wide[4];
  // The reason a call gives in GetLastError, or -1 when it did not fail.
  auto errorOf = [](int32_t result) { return result == 0 ? int64_t{GetLastError()} : -1; };
  EXPECT_EQ(errorOf(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\x80", 2, nullptr, 0)), ERROR_NO_UNICODE_TRANSLATION);
  EXPECT_EQ(errorOf(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, wide, 2)), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(errorOf(MultiByteToWideChar(1250, 0, "a", 1, wide, 4)), ERROR_INVALID_PARAMETER);  // unknown code page
  EXPECT_EQ(errorOf(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, nullptr, 0, "?", nullptr)), ERROR_INVALID_PARAMETER);
}

}  // namespace
