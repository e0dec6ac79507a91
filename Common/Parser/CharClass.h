// Character classes of the XML reader: one constexpr table of bit sets,
// indexed by byte, so each test in a scanning loop is one load and one AND.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace AdvXMLParser {

enum CharClass : std::uint16_t {
  kWhitespace = 1 << 0,     // " \t\r\n"
  kNameStart = 1 << 1,      // A-Z a-z _ :
  kNameChar = 1 << 2,       // name start, digits, . -, 0xB7 and the Latin-1 letters
  kTextStop = 1 << 3,       // ends a run of content text: < & ] NUL
  kValueStop = 1 << 4,      // may end an attribute value: " ' < NUL
  kVersionChar = 1 << 5,    // A-Z a-z 0-9 _ . : -
  kEncodingStart = 1 << 6,  // A-Z a-z
  kEncodingChar = 1 << 7,   // A-Z a-z 0-9 . _ -
  kPubidChar = 1 << 8,      // letters, digits and " \r\n-'()+,./:=?;!*#@$_%"
  kDigit = 1 << 9,
  kHexDigit = 1 << 10,
  kCommentStop = 1 << 11,   // - NUL
  kPiStop = 1 << 12,        // ? NUL
  kCDataStop = 1 << 13,     // ] NUL
};

namespace detail {

constexpr void Mark(std::array<std::uint16_t, 256>& table, std::string_view chars,
                    std::uint16_t bits) {
  for (char c : chars) table[static_cast<unsigned char>(c)] |= bits;
}

constexpr void MarkRange(std::array<std::uint16_t, 256>& table, int first, int last,
                         std::uint16_t bits) {
  for (int c = first; c <= last; ++c) table[static_cast<std::size_t>(c)] |= bits;
}

constexpr std::array<std::uint16_t, 256> BuildCharClasses() {
  std::array<std::uint16_t, 256> table{};
  constexpr std::string_view kUpper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  constexpr std::string_view kLower = "abcdefghijklmnopqrstuvwxyz";
  constexpr std::string_view kDigits = "0123456789";
  Mark(table, " \t\r\n", kWhitespace);
  for (std::string_view letters : {kUpper, kLower}) {
    Mark(table, letters,
         kNameStart | kNameChar | kVersionChar | kEncodingStart | kEncodingChar | kPubidChar);
  }
  Mark(table, kDigits, kNameChar | kVersionChar | kEncodingChar | kPubidChar | kDigit | kHexDigit);
  Mark(table, "abcdefABCDEF", kHexDigit);
  Mark(table, "_:", kNameStart);
  Mark(table, ".-_:", kNameChar);
  table[0xB7] |= kNameChar;
  MarkRange(table, 0xC0, 0xD6, kNameChar);
  MarkRange(table, 0xD8, 0xF6, kNameChar);
  MarkRange(table, 0xF8, 0xFF, kNameChar);
  Mark(table, "_.:-", kVersionChar);
  Mark(table, "._-", kEncodingChar);
  Mark(table, " \r\n-'()+,./:=?;!*#@$_%", kPubidChar);
  Mark(table, std::string_view("<&]\0", 4), kTextStop);
  Mark(table, std::string_view("\"'<\0", 4), kValueStop);
  Mark(table, std::string_view("-\0", 2), kCommentStop);
  Mark(table, std::string_view("?\0", 2), kPiStop);
  Mark(table, std::string_view("]\0", 2), kCDataStop);
  return table;
}

}  // namespace detail

inline constexpr std::array<std::uint16_t, 256> kCharClasses = detail::BuildCharClasses();

constexpr bool Is(unsigned char c, std::uint16_t classes) { return (kCharClasses[c] & classes) != 0; }

static_assert(Is('a', kNameStart) && !Is('1', kNameStart) && Is('1', kNameChar));
static_assert(Is(0, kTextStop) && Is(']', kTextStop) && !Is('>', kTextStop));
static_assert(!Is(0xD7, kNameChar) && !Is(0xF7, kNameChar) && Is(0xB7, kNameChar));

}  // namespace AdvXMLParser
