#include <gtest/gtest.h>

#include <string>

#include "Platform/Platform.h"
#include "support/KernelLeakGuard.h"

namespace {

// Converts the whole of `bytes` (no NUL added), asking for the size first.
std::u16string ToWide(uint32_t codePage, const std::string& bytes, uint32_t flags = 0) {
  auto length = static_cast<int32_t>(bytes.size());
  int32_t needed = MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
  std::u16string out(static_cast<size_t>(needed), u'\0');
  int32_t written = MultiByteToWideChar(codePage, flags, bytes.data(), length, out.data(), needed);
  EXPECT_EQ(written, needed);
  return out;
}

std::string ToNarrow(uint32_t codePage, const std::u16string& text, const char* defaultChar,
                     int32_t* usedDefault) {
  auto length = static_cast<int32_t>(text.size());
  int32_t needed = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, defaultChar,
                                       usedDefault);
  std::string out(static_cast<size_t>(needed), '\0');
  int32_t written = WideCharToMultiByte(codePage, 0, text.data(), length, out.data(), needed,
                                        defaultChar, usedDefault);
  EXPECT_EQ(written, needed);
  return out;
}

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::u16string text;
};

TEST(MultiByteToWideChar, DecodesUtf8) {
  const DecodeCase cases[] = {
      {"ascii", "Ab", u"Ab"},
      {"two bytes", "\xC3\xA9", u"\u00E9"},
      {"three bytes", "\xE2\x82\xAC", u"\u20AC"},
      {"four bytes give a surrogate pair", "\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
      {"highest code point", "\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},
      {"embedded NUL", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToWide(CP_UTF8, c.bytes), c.text);
  }
}

TEST(MultiByteToWideChar, ReplacesInvalidUtf8) {
  const DecodeCase cases[] = {
      {"stray continuation", "a\x80z", u"a\xFFFDz"},
      {"cut-short sequence", "\xE2\x82" "A", u"\xFFFD" u"A"},
      {"cut short at the end", "A\xF0\x9F\x98", u"A\xFFFD"},
      {"overlong NUL", "\xC0\x80", u"\xFFFD\xFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\xFFFD\xFFFD\xFFFD"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"},
      {"invalid lead byte", "\xFF", u"\xFFFD"},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToWide(CP_UTF8, c.bytes), c.text);
  }
}

TEST(MultiByteToWideChar, FailsOnInvalidUtf8WhenAskedTo) {
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\x80", 2, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "ok", 2, nullptr, 0), 2);
}

TEST(MultiByteToWideChar, DecodesWindows1252) {
  const DecodeCase cases[] = {
      {"euro", "\x80", u"\u20AC"},
      {"quotes", "\x93\x94", u"\u201C\u201D"},
      {"y diaeresis", "\x9F", u"\u0178"},
      {"undefined byte kept as control", "\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D"},
      {"latin-1 range", "\xA0\xE9\xFF", u"\u00A0\u00E9\u00FF"},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToWide(CP_ACP, c.bytes), c.text);
  }
}

TEST(MultiByteToWideChar, LengthMinusOneIncludesTheNul) {
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", -1, nullptr, 0), 3);
  char16_t out[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", -1, out, 4), 3);
  EXPECT_EQ(std::u16string(out, 4), std::u16string(u"ab\0x", 4));
}

TEST(MultiByteToWideChar, FailsWhenTheDestinationIsTooSmall) {
  char16_t out[2];
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, out, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(MultiByteToWideChar, RejectsBadParameters) {
  char16_t out[4];
  struct Case {
    const char* name;
    uint32_t codePage;
    const char* source;
    int32_t length;
    char16_t* destination;
    int32_t size;
  };
  const Case cases[] = {
      {"unknown code page", 1250, "a", 1, out, 4},
      {"null source", CP_UTF8, nullptr, 1, out, 4},
      {"empty source", CP_UTF8, "a", 0, out, 4},
      {"length below -1", CP_UTF8, "a", -2, out, 4},
      {"negative size", CP_UTF8, "a", 1, out, -1},
      {"null destination with a size", CP_UTF8, "a", 1, nullptr, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(MultiByteToWideChar(c.codePage, 0, c.source, c.length, c.destination, c.size), 0);
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
  }
}

struct EncodeCase {
  const char* name;
  std::u16string text;
  std::string bytes;
};

TEST(WideCharToMultiByte, EncodesUtf8) {
  const EncodeCase cases[] = {
      {"ascii", u"Ab", "Ab"},
      {"two bytes", u"\u00E9", "\xC3\xA9"},
      {"three bytes", u"\u20AC", "\xE2\x82\xAC"},
      {"surrogate pair", u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
      {"lone high surrogate", u"\xD83D" u"a", "\xEF\xBF\xBD" "a"},
      {"lone low surrogate", u"\xDE00", "\xEF\xBF\xBD"},
  };
  for (const EncodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToNarrow(CP_UTF8, c.text, nullptr, nullptr), c.bytes);
  }
}

TEST(WideCharToMultiByte, Utf8RefusesDefaultCharacterArguments) {
  int32_t used = 0;
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, nullptr, 0, nullptr, &used), 0);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, nullptr, 0, "?", nullptr), 0);
}

TEST(WideCharToMultiByte, FailsOnLoneSurrogatesWhenAskedTo) {
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, u"\xD800", 1, nullptr, 0, nullptr,
                                nullptr),
            0);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ERROR_NO_UNICODE_TRANSLATION));
}

TEST(WideCharToMultiByte, EncodesWindows1252WithTheDefaultCharacter) {
  struct Case {
    const char* name;
    std::u16string text;
    const char* defaultChar;
    std::string bytes;
    int32_t used;
  };
  const Case cases[] = {
      {"euro", u"\u20AC", nullptr, "\x80", 0},
      {"latin-1", u"caf\u00E9", nullptr, "caf\xE9", 0},
      {"no byte for A macron", u"\u0100x", nullptr, "?x", 1},
      {"own default character", u"\u4E2D", "*", "*", 1},
      {"surrogate pair is one character", u"\xD83D\xDE00!", nullptr, "?!", 1},
      {"C1 control kept", u"\u0081", nullptr, "\x81", 0},
      {"C1 control with a glyph in 1252", u"\u0080", nullptr, "?", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int32_t used = -1;
    EXPECT_EQ(ToNarrow(CP_ACP, c.text, c.defaultChar, &used), c.bytes);
    EXPECT_EQ(used, c.used);
  }
}

TEST(WideCharToMultiByte, Windows1252RoundTripsEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  int32_t used = -1;
  EXPECT_EQ(ToNarrow(CP_ACP, ToWide(CP_ACP, all), nullptr, &used), all);
  EXPECT_EQ(used, 0);
}

TEST(WideCharToMultiByte, LengthMinusOneIncludesTheNulAndSizeIsChecked) {
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00E9", -1, nullptr, 0, nullptr, nullptr), 3);
  char out[3];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00E9", -1, out, 3, nullptr, nullptr), 3);
  EXPECT_EQ(std::string(out, 3), std::string("\xC3\xA9\0", 3));
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00E9", -1, out, 2, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, nullptr, 1, out, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
}

}  // namespace
