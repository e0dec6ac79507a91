#include "Common/GeneralUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdint>
#include <string>

#include "Common/KernelMemory.h"
#include "ImagingKernel/ImagingKernel.h"
#include "support/KernelLeakGuard.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

int64_t LiveBlocks() { return testing::KernelSnapshot().liveBlocks; }

// A string field of a record, freed at the end of the test.
struct Field {
  char* text = nullptr;
  ~Field() { KernelRelease(text); }
};

// Each text must give `status` and leave the preset output byte for byte as it was.
template <typename Out>
void ExpectKept(Status (*parse)(const char*, Out*), const Out& preset, std::initializer_list<const char*> texts,
                Status status) {
  for (const char* text : texts) {
    Out out;
    std::memcpy(&out, &preset, sizeof out);
    EXPECT_EQ(parse(text, &out), status) << (text == nullptr ? "<null>" : text);
    EXPECT_EQ(std::memcmp(&out, &preset, sizeof out), 0) << (text == nullptr ? "<null>" : text);
  }
}

TEST(ParseLength, AcceptsNumbersWithUnits) {
  const struct { const char* text; double value; int32_t unit, isPercent; } kCases[] = {
      {"12.5PX", 12.5, kUnitPx, 0}, {"50%", 50, kUnitNone, 1},   {"  3in  ", 3, kUnitIn, 0},
      {"-.5em", -0.5, kUnitEm, 0},  {"2Ex", 2, kUnitEx, 0},      {"1pc", 1, kUnitPc, 0},
      {"72pt", 72, kUnitPt, 0},     {"2.54cm", 2.54, kUnitCm, 0}, {"25.4mM", 25.4, kUnitMm, 0},
      {"\t\r\n0", 0, kUnitNone, 0},
  };
  for (const auto& c : kCases) {
    SvgLength out{-1, -1, -1};
    EXPECT_TRUE(ParseLength(c.text, &out) == kOk && out.value == c.value && out.unit == c.unit &&
                out.isPercent == c.isPercent) << c.text;
  }
}

TEST(ParseLength, RejectsMalformedTextAndKeepsTheOutput) {
  ExpectKept<SvgLength>(ParseLength, {kUnitPx, 42, 0}, {"1e3px", "+5", "5.", "px", "10 px", "10qq", "1.2.3mm", "--1",
                                                       "1-2", "5%%", "- 5", "1,5", "%"}, kErrBadLength);
  ExpectKept<SvgLength>(ParseLength, {kUnitMm, 3, 0}, {" \t\n"}, kOk);  // blank: the default stays
  ExpectKept<SvgLength>(ParseLength, {kUnitMm, 3, 0}, {nullptr}, kErrMissing);
  EXPECT_EQ(ParseLength("5", nullptr), kErrMissing);
}

TEST(IsNumber, FollowsTheStrictGrammar) {
  for (const char* text : {"0", "-1", ".5", "-.5", "5.", " 12 ", "007"}) EXPECT_EQ(IsNumber(text), kOk) << text;
  for (const char* text : {"", "-.", "+1", "1e2", "1.2.3", "1-", "1 2", "0x10", "1,5"}) {
    EXPECT_EQ(IsNumber(text), kErrBadValue) << text;
  }
  EXPECT_EQ(IsNumber(nullptr), kErrMissing);
}

TEST(ConvertNumberPrefix, TakesTheLongestNumericPrefixAndSaturates) {
  const struct { std::string text; double value; std::size_t used; } kCases[] = {
      {"10px", 10, 2}, {"1E2x", 100, 3}, {"+7", 7, 2},      {"-.25", -0.25, 4}, {"5.", 5, 2},
      {"1e", 1, 1},    {"2e+", 2, 1},    {"3e-1q", 0.3, 4}, {"word", 0, 0},     {"inf", 0, 0},
      {"nan", 0, 0},   {"0x1p3", 0, 1},  {"-", 0, 0},       {"1e400", HUGE_VAL, 5},
      {"-1e400", -HUGE_VAL, 6}, {"1e-400", 0, 6}, {std::string(400, '9'), HUGE_VAL, 400},
      {"0." + std::string(400, '0') + "1", 0, 403},
  };
  for (const auto& c : kCases) {
    std::size_t used = 99;
    EXPECT_TRUE(ConvertNumberPrefix(c.text, &used) == c.value && used == c.used) << c.text;
  }
}

TEST(ParseNumberPercent, AcceptsUnsignedNumbersAndPercents) {
  const struct { const char* text; double value; int32_t isPercent; } kCases[] = {
      {"50%", 50, 1}, {"  255", 255, 0}, {"1e-1%", 0.1, 1}, {"12cm", 12, 0}, {"3C x-y", 3, 0}};
  for (const auto& c : kCases) {
    SvgNumberPercent out{-1, -1};
    EXPECT_TRUE(ParseNumberPercent(c.text, &out) == kOk && out.value == c.value && out.isPercent == c.isPercent)
        << c.text;
  }
  ExpectKept<SvgNumberPercent>(ParseNumberPercent, {7, 0}, {"-5", "   ", "5 ", "1.2.3", "5%%", "+5", "5px", "5 %"},
                               kErrBadValue);
  ExpectKept<SvgNumberPercent>(ParseNumberPercent, {7, 0}, {nullptr}, kErrMissing);
}

TEST(ParseAngle, ReadsNumberAndUnit) {
  const struct { const char* text; double value; int32_t unit; } kCases[] = {
      {"30", 30, kAngleDeg}, {"30grad", 30, kAngleGrad}, {" -1.5 RAD ", -1.5, kAngleRad}, {"5.", 5, kAngleDeg},
      {"90 Deg", 90, kAngleDeg}};
  for (const auto& c : kCases) {
    SvgAngle out{-1, -1};
    EXPECT_TRUE(ParseAngle(c.text, &out) == kOk && out.value == c.value && out.unit == c.unit) << c.text;
  }
  ExpectKept<SvgAngle>(ParseAngle, {11, kAngleRad}, {"", "deg", "-", "30turn", "1e5", "30 degrees", "+30"},
                       kErrBadValue);
}

TEST(ParseViewBox, NeedsFourNumbersWithPositiveSize) {
  SvgViewBox box{};
  ASSERT_EQ(ParseViewBox(" -10, -20 ,30\t40\n", &box), kOk);
  EXPECT_TRUE(box.x == -10 && box.y == -20 && box.width == 30 && box.height == 40);
  ExpectKept<SvgViewBox>(ParseViewBox, {1, 2, 3, 4}, {"0 0 100", "0 0 0 10", "0 0 10 -1", "0 0 10 10 10", "",
                                                      "a b c d", "0 0 1e2 10", "0 0 10 10px"}, kErrBadValue);
}

TEST(ParseAspectRatio, ReadsAlignAndMeetOrSlice) {
  // Applied in order to one value: meetOrSlice stays when not given, and
  // align is stored before a bad second item is found.
  const struct { const char* text; Status status; int32_t align, meetOrSlice; } kCases[] = {
      {"XMIDYMID Slice", kOk, kAlignXMidYMid, kSlice}, {"xMaxYMin", kOk, kAlignXMaxYMin, kSlice},
      {"none slice-is-ignored", kOk, kAlignNone, kSlice}, {"xMinYMax,meet", kOk, kAlignXMinYMax, kMeet},
      {"", kErrBadValue, kAlignXMinYMax, kMeet}, {"middle", kErrBadValue, kAlignXMinYMax, kMeet},
      {"xMidYMid crop", kErrBadValue, kAlignXMidYMid, kMeet}, {"slice", kErrBadValue, kAlignXMidYMid, kMeet},
  };
  SvgAspectRatio ratio{kAlignXMidYMid, kMeet};
  for (const auto& c : kCases) {
    EXPECT_EQ(ParseAspectRatio(c.text, &ratio), c.status) << c.text;
    EXPECT_TRUE(ratio.align == c.align && ratio.meetOrSlice == c.meetOrSlice) << c.text;
  }
}

TEST(ParseFeatures, SetsOneBitPerNameAndStopsAtUnknownOrRepeatedOnes) {
  const struct { const char* text; Status status; uint32_t mask; } kCases[] = {
      {"org.w3c.svg  ORG.W3C.DOM.SVG.ALL\norg.w3c.svg.static", kOk, (1u << 0) | (1u << 10) | (1u << 2)}, {"", kOk, 0},
      {"org.w3c.svg.lang org.w3c.svg.Lang org.w3c.svg", kErrBadValue, 1u << 1},
      {"org.w3c.svg.dynamic org.w3c.svg.extra", kErrBadValue, 1u << 3},
  };
  for (const auto& c : kCases) {
    uint32_t mask = 0xFFFF;
    EXPECT_EQ(ParseFeatures(c.text, &mask), c.status) << c.text;
    EXPECT_EQ(mask, c.mask) << c.text;
  }
  ExpectKept<uint32_t>(ParseFeatures, 5, {nullptr}, kErrMissing);
}

// The string copies, applied in order to one field: each row gives the status
// and the field's text afterwards (a refused value keeps the old text).
TEST(StringCopies, ReplaceTheFieldOrKeepIt) {
  using Copy = Status (*)(const char*, char**);
  const Copy value = [](const char* t, char** f) { return CopyValue(t, f, false); };
  const Copy trimmed = [](const char* t, char** f) { return CopyValue(t, f, true); };
  const Copy reference = [](const char* t, char** f) { return CopyReference(t, f, true); };
  const Copy hashed = [](const char* t, char** f) { return CopyReference(t, f, false); };
  const Copy paren = [](const char* t, char** f) { return CopyBeforeParen(t, f); };
  const Copy list = [](const char* t, char** f) { return NormaliseList(t, f); };
  const Copy commas = [](const char* t, char** f) { return NormaliseCommaList(t, f); };
  const struct { Copy copy; const char* text; Status status; const char* field; } kCases[] = {
      {value, " first ", kOk, " first "},   {trimmed, " second ", kOk, "second"},
      {trimmed, "   ", kErrBadValue, "second"}, {value, "", kOk, ""},
      {reference, "##x", kOk, "#x"},         {hashed, "#grad", kOk, "#grad"},
      {reference, nullptr, kErrMissing, "#grad"}, {paren, "a(b)c) red", kOk, "a(b)c"},
      {paren, "no paren", kErrBadValue, "a(b)c"}, {list, " a,b\t\tc ,\n d ", kOk, "a b c d"},
      {list, " , \t", kErrBadValue, "a b c d"}, {list, nullptr, kErrMissing, "a b c d"},
      {commas, " Times New Roman , serif,, ,x ", kOk, "Times New Roman serif x"},
      {commas, " , ", kErrBadValue, "Times New Roman serif x"},
  };
  Field field;
  ASSERT_EQ(CopyValue("old", &field.text, false), kOk);
  for (const auto& c : kCases) {
    const int64_t live = LiveBlocks();
    EXPECT_EQ(c.copy(c.text, &field.text), c.status) << (c.text == nullptr ? "<null>" : c.text);
    // A replaced string is freed.
    EXPECT_TRUE(std::string(field.text) == c.field && LiveBlocks() == live) << (c.text == nullptr ? "<null>" : c.text);
  }
}

}  // namespace
}  // namespace svgflt
