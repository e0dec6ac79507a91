#include "Common/GeneralUtil.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <string>

#include "Common/KernelMemory.h"
#include "ImagingKernel/ImagingKernel.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

int64_t LiveBlocks() {
  KernelAccounting now{};
  KernelGetAccounting(&now);
  return now.liveBlocks;
}

// A string field of a record, freed at the end of the test.
struct Field {
  char* text = nullptr;
  ~Field() { KernelRelease(text); }
};

// --- ParseLength ---------------------------------------------------------

TEST(ParseLength, AcceptsNumbersWithUnits) {
  struct Case {
    const char* text;
    double value;
    int32_t unit;
    int32_t isPercent;
  };
  const Case cases[] = {
      {"12.5PX", 12.5, kUnitPx, 0}, {"50%", 50, kUnitNone, 1},   {"7", 7, kUnitNone, 0},
      {"  3in  ", 3, kUnitIn, 0},   {"10px ", 10, kUnitPx, 0},   {"-.5em", -0.5, kUnitEm, 0},
      {"2Ex", 2, kUnitEx, 0},       {"1pc", 1, kUnitPc, 0},      {"72pt", 72, kUnitPt, 0},
      {"2.54cm", 2.54, kUnitCm, 0}, {"25.4mM", 25.4, kUnitMm, 0}, {"\t\r\n0", 0, kUnitNone, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SvgLength out{-1, -1, -1};
    ASSERT_EQ(ParseLength(c.text, &out), kOk);
    EXPECT_DOUBLE_EQ(out.value, c.value);
    EXPECT_EQ(out.unit, c.unit);
    EXPECT_EQ(out.isPercent, c.isPercent);
  }
}

TEST(ParseLength, RejectsMalformedNumbersAndUnits) {
  for (const char* text : {"1e3px", "+5", "5.", "px", "10 px", "10qq", "1.2.3mm", "--1", "1-2",
                           "5%%", "- 5", "1,5", "%"}) {
    SCOPED_TRACE(text);
    SvgLength out{kUnitPx, 42, 0};
    EXPECT_EQ(ParseLength(text, &out), kErrBadLength);
    EXPECT_EQ(out.unit, kUnitPx);
    EXPECT_EQ(out.value, 42);
    EXPECT_EQ(out.isPercent, 0);
  }
}

TEST(ParseLength, EmptyTextKeepsTheDefault) {
  for (const char* text : {"", "   ", "\t\n"}) {
    SCOPED_TRACE(testing::PrintToString(text));
    SvgLength out{kUnitMm, 3, 0};
    EXPECT_EQ(ParseLength(text, &out), kOk);
    EXPECT_TRUE(out.unit == kUnitMm && out.value == 3);
  }
  SvgLength out{};
  EXPECT_EQ(ParseLength(nullptr, &out), kErrMissing);
  EXPECT_EQ(ParseLength("5", nullptr), kErrMissing);
}

TEST(ParseLength, IgnoresTheProcessLocale) {
  // A locale whose decimal separator is a comma must not change the result.
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous != nullptr ? previous : "C";
  bool switched = false;
  for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "fr_FR"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      switched = true;
      break;
    }
  }
  SvgLength out{};
  const Status status = ParseLength("12.75px", &out);
  std::setlocale(LC_NUMERIC, saved.c_str());
  if (!switched) GTEST_SKIP() << "no locale with a decimal comma installed";
  ASSERT_EQ(status, kOk);
  EXPECT_DOUBLE_EQ(out.value, 12.75);
}

// --- numbers -------------------------------------------------------------

TEST(IsNumber, FollowsTheStrictGrammar) {
  for (const char* text : {"0", "-1", ".5", "-.5", "5.", " 12 ", "007"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(IsNumber(text), kOk);
  }
  for (const char* text : {"", " ", "-", ".", "-.", "+1", "1e2", "1E2", "1.2.3", "1-", "--1",
                           "1 2", "- 1", "0x10", "inf", "1,5"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(IsNumber(text), kErrBadValue);
  }
  EXPECT_EQ(IsNumber(nullptr), kErrMissing);
}

TEST(ConvertNumberPrefix, TakesTheLongestNumericPrefix) {
  struct Case {
    const char* text;
    double value;
    std::size_t used;
  };
  const Case cases[] = {
      {"10px", 10, 2},   {"1e2", 100, 3},  {"1E2x", 100, 3}, {"+7", 7, 2},     {"-.25", -0.25, 4},
      {"5.", 5, 2},      {"1e", 1, 1},     {"2e+", 2, 1},    {"3e-1q", 0.3, 4}, {"word", 0, 0},
      {"inf", 0, 0},     {"nan", 0, 0},    {"0x1p3", 0, 1},  {"", 0, 0},       {"-", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::size_t used = 99;
    EXPECT_DOUBLE_EQ(ConvertNumberPrefix(c.text, &used), c.value);
    EXPECT_EQ(used, c.used);
  }
}

TEST(ConvertNumberPrefix, SaturatesOutOfRangeValues) {
  EXPECT_EQ(ConvertNumberPrefix("1e400"), HUGE_VAL);
  EXPECT_EQ(ConvertNumberPrefix("-1e400"), -HUGE_VAL);
  EXPECT_EQ(ConvertNumberPrefix("1e-400"), 0.0);
  EXPECT_EQ(ConvertNumberPrefix(std::string(400, '9')), HUGE_VAL);
  EXPECT_EQ(ConvertNumberPrefix("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(ParseNumberPercent, AcceptsNumbersPercentsAndExponents) {
  struct Case {
    const char* text;
    double value;
    int32_t isPercent;
  };
  const Case cases[] = {{"50%", 50, 1},  {"  255", 255, 0}, {"1e2", 100, 0}, {"1e-1%", 0.1, 1},
                        {".5%", 0.5, 1}, {"12cm", 12, 0},   {"3C x-y", 3, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SvgNumberPercent out{-1, -1};
    ASSERT_EQ(ParseNumberPercent(c.text, &out), kOk);
    EXPECT_DOUBLE_EQ(out.value, c.value);
    EXPECT_EQ(out.isPercent, c.isPercent);
  }
}

TEST(ParseNumberPercent, RejectsSignsBlanksAndRepeats) {
  for (const char* text : {"-5", "", "   ", "5 ", "1.2.3", "5%%", "+5", "5px", "5 %"}) {
    SCOPED_TRACE(text);
    SvgNumberPercent out{7, 0};
    EXPECT_EQ(ParseNumberPercent(text, &out), kErrBadValue);
    EXPECT_EQ(out.value, 7);
  }
  SvgNumberPercent out{};
  EXPECT_EQ(ParseNumberPercent(static_cast<const char*>(nullptr), &out), kErrMissing);
}

// --- angles, viewBox, aspect ratio, features -----------------------------

TEST(ParseAngle, ReadsNumberAndUnit) {
  struct Case {
    const char* text;
    double value;
    int32_t unit;
  };
  const Case cases[] = {{"30", 30, kAngleDeg},         {"30grad", 30, kAngleGrad},
                        {" -1.5 RAD ", -1.5, kAngleRad}, {"45deg", 45, kAngleDeg},
                        {"5.", 5, kAngleDeg},          {"90 Deg", 90, kAngleDeg}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SvgAngle out{-1, -1};
    ASSERT_EQ(ParseAngle(c.text, &out), kOk);
    EXPECT_DOUBLE_EQ(out.value, c.value);
    EXPECT_EQ(out.unit, c.unit);
  }
  for (const char* text : {"", "deg", "-", "30turn", "1e5", "30 degrees", "+30"}) {
    SCOPED_TRACE(text);
    SvgAngle out{11, kAngleRad};
    EXPECT_EQ(ParseAngle(text, &out), kErrBadValue);
    EXPECT_EQ(out.value, 11);
    EXPECT_EQ(out.unit, kAngleRad);
  }
}

TEST(ParseViewBox, NeedsFourNumbersWithPositiveSize) {
  SvgViewBox box{};
  ASSERT_EQ(ParseViewBox("0,0 100 100", &box), kOk);
  EXPECT_EQ(box.width, 100);
  ASSERT_EQ(ParseViewBox(" -10, -20 ,30\t40\n", &box), kOk);
  EXPECT_EQ(box.x, -10);
  EXPECT_EQ(box.y, -20);
  EXPECT_EQ(box.width, 30);
  EXPECT_EQ(box.height, 40);
  for (const char* text : {"0 0 100", "0 0 0 10", "0 0 10 -1", "0 0 10 10 10", "", "a b c d",
                           "0 0 1e2 10", "0 0 10 10px"}) {
    SCOPED_TRACE(text);
    SvgViewBox out{1, 2, 3, 4};
    EXPECT_EQ(ParseViewBox(text, &out), kErrBadValue);
    EXPECT_EQ(out.x, 1);
    EXPECT_EQ(out.height, 4);
  }
}

TEST(ParseAspectRatio, ReadsAlignAndMeetOrSlice) {
  SvgAspectRatio ratio{kAlignXMidYMid, kMeet};
  ASSERT_EQ(ParseAspectRatio("XMIDYMID Slice", &ratio), kOk);
  EXPECT_EQ(ratio.align, kAlignXMidYMid);
  EXPECT_EQ(ratio.meetOrSlice, kSlice);
  ASSERT_EQ(ParseAspectRatio("xMaxYMin", &ratio), kOk);
  EXPECT_EQ(ratio.align, kAlignXMaxYMin);
  EXPECT_EQ(ratio.meetOrSlice, kSlice);  // not given: left as it was
  ASSERT_EQ(ParseAspectRatio("none slice-is-ignored", &ratio), kOk);
  EXPECT_EQ(ratio.align, kAlignNone);
  ASSERT_EQ(ParseAspectRatio("xMinYMax,meet", &ratio), kOk);
  EXPECT_EQ(ratio.align, kAlignXMinYMax);
  EXPECT_EQ(ratio.meetOrSlice, kMeet);
}

TEST(ParseAspectRatio, RejectsUnknownKeywords) {
  for (const char* text : {"", "middle", "xMidYMid crop", "slice"}) {
    SCOPED_TRACE(text);
    SvgAspectRatio ratio{kAlignXMinYMin, kSlice};
    EXPECT_EQ(ParseAspectRatio(text, &ratio), kErrBadValue);
    EXPECT_EQ(ratio.meetOrSlice, kSlice);
  }
}

TEST(ParseFeatures, SetsOneBitPerName) {
  uint32_t mask = 0xFFFF;
  ASSERT_EQ(ParseFeatures("org.w3c.svg  ORG.W3C.DOM.SVG.ALL\norg.w3c.svg.static", &mask), kOk);
  EXPECT_EQ(mask, (1u << 0) | (1u << 10) | (1u << 2));
  ASSERT_EQ(ParseFeatures("", &mask), kOk);
  EXPECT_EQ(mask, 0u);
}

TEST(ParseFeatures, StopsAtUnknownOrRepeatedNames) {
  uint32_t mask = 0;
  EXPECT_EQ(ParseFeatures("org.w3c.svg.lang org.w3c.svg.Lang org.w3c.svg", &mask), kErrBadValue);
  EXPECT_EQ(mask, 1u << 1);
  EXPECT_EQ(ParseFeatures("org.w3c.svg.dynamic org.w3c.svg.extra", &mask), kErrBadValue);
  EXPECT_EQ(mask, 1u << 3);
  EXPECT_EQ(ParseFeatures("org.w3c.svg,org.w3c.svg.all", &mask), kErrBadValue);
  EXPECT_EQ(ParseFeatures(nullptr, &mask), kErrMissing);
}

// --- keywords ------------------------------------------------------------

TEST(LookupKeyword, IgnoresCaseAndSurroundingWhitespace) {
  int32_t index = -1;
  ASSERT_EQ(LookupKeyword("  true\t", kBooleanKeywords, &index), kOk);
  EXPECT_EQ(index, 1);
  ASSERT_EQ(LookupKeyword("PRESERVE", kXmlSpaceKeywords, &index), kOk);
  EXPECT_EQ(index, 1);
  ASSERT_EQ(LookupKeyword("xmaxymax", kAlignKeywords, &index), kOk);
  EXPECT_EQ(index, kAlignXMaxYMax);
  index = 5;
  EXPECT_EQ(LookupKeyword("tru", kBooleanKeywords, &index), kErrBadValue);
  EXPECT_EQ(LookupKeyword("", kBooleanKeywords, &index), kErrBadValue);
  EXPECT_EQ(LookupKeyword("t rue", kBooleanKeywords, &index), kErrBadValue);
  EXPECT_EQ(index, 5);
  EXPECT_EQ(LookupKeyword(static_cast<const char*>(nullptr), kBooleanKeywords, &index),
            kErrMissing);
}

TEST(LookupKeyword, FirstMatchWins) {
  constexpr std::array<std::string_view, 3> table{"a", "B", "b"};
  int32_t index = -1;
  ASSERT_EQ(LookupKeyword("b", table, &index), kOk);
  EXPECT_EQ(index, 1);
}

// --- strings -------------------------------------------------------------

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
  struct Case {
    Copy copy;
    const char* text;
    Status status;
    const char* field;
  } cases[] = {
      {value, " first ", kOk, " first "},
      {trimmed, " second ", kOk, "second"},
      {trimmed, "   ", kErrBadValue, "second"},
      {value, "", kOk, ""},
      {reference, "#grad", kOk, "grad"},
      {reference, "##x", kOk, "#x"},
      {hashed, "#grad", kOk, "#grad"},
      {reference, nullptr, kErrMissing, "#grad"},
      {paren, "grad1) red", kOk, "grad1"},
      {paren, "a(b)c)", kOk, "a(b)c"},
      {paren, "no paren", kErrBadValue, "a(b)c"},
      {list, " a,b\t\tc ,\n d ", kOk, "a b c d"},
      {list, " , \t", kErrBadValue, "a b c d"},
      {list, nullptr, kErrMissing, "a b c d"},
      {commas, " Times New Roman , serif,,  x ", kOk, "Times New Roman serif x"},
      {commas, "a, ,b", kOk, "a b"},
      {commas, " , ", kErrBadValue, "a b"},
  };
  Field field;
  ASSERT_EQ(CopyValue("old", &field.text, false), kOk);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text == nullptr ? "<null>" : c.text);
    const int64_t live = LiveBlocks();
    EXPECT_EQ(c.copy(c.text, &field.text), c.status);
    EXPECT_STREQ(field.text, c.field);
    EXPECT_EQ(LiveBlocks(), live);  // a replaced string is freed
  }
  Field out;
  ASSERT_EQ(TrimCopy(" \t a b \r\n", &out.text), kOk);
  EXPECT_STREQ(out.text, "a b");
  char* none = nullptr;
  EXPECT_EQ(TrimCopy(" \t\r\n", &none), kErrBadValue);
  EXPECT_EQ(TrimCopy(nullptr, &none), kErrMissing);
  EXPECT_EQ(none, nullptr);
}

TEST(GeneralUtilMemory, FailedAllocationsKeepTheOldString) {
  Field field;
  ASSERT_EQ(CopyValue("old", &field.text, false), kOk);
  using Copy = Status (*)(char**);
  const Copy copies[] = {
      [](char** f) { return CopyValue("new", f, true); },
      [](char** f) { return CopyReference("#new", f, true); },
      [](char** f) { return CopyBeforeParen("new)", f); },
      [](char** f) { return NormaliseList("n e w", f); },
      [](char** f) { return NormaliseCommaList("n,e,w", f); },
  };
  for (Copy copy : copies) {
    const int64_t live = LiveBlocks();
    KernelFailAllocation(1);
    EXPECT_EQ(copy(&field.text), kErrNoMemory);
    KernelFailAllocation(0);
    EXPECT_STREQ(field.text, "old");
    EXPECT_EQ(LiveBlocks(), live);
  }
  char* trimmed = nullptr;
  KernelFailAllocation(1);
  EXPECT_EQ(TrimCopy(" x ", &trimmed), kErrNoMemory);
  KernelFailAllocation(0);
  EXPECT_EQ(trimmed, nullptr);
}

// --- set-once setters ----------------------------------------------------

TEST(SetOnce, FirstOccurrenceWinsAndBadValuesConsumeTheBit) {
  uint32_t mask = 0;
  SvgLength width{kUnitNone, 100, 0};
  constexpr uint32_t kWidthBit = 1u << 3;
  EXPECT_EQ(SetOnce(mask, kWidthBit, [&] { return ParseLength("5px", &width); }), kOk);
  EXPECT_EQ(SetOnce(mask, kWidthBit, [&] { return ParseLength("9px", &width); }),
            kErrDuplicateAttribute);
  EXPECT_EQ(width.value, 5);

  constexpr uint32_t kHeightBit = 1u << 4;
  SvgLength height{kUnitNone, 100, 0};
  EXPECT_EQ(SetOnce(mask, kHeightBit, [&] { return ParseLength("bad", &height); }), kErrBadLength);
  int calls = 0;
  EXPECT_EQ(SetOnce(mask, kHeightBit, [&] { ++calls; return ParseLength("7", &height); }),
            kErrDuplicateAttribute);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(height.value, 100);
  EXPECT_EQ(mask, kWidthBit | kHeightBit);
}

// --- tokens --------------------------------------------------------------

TEST(NextToken, SplitsAtRunsOfDelimiters) {
  std::string_view rest = ",,a, b,,c ,";
  EXPECT_EQ(NextToken(rest, ", "), "a");
  EXPECT_EQ(NextToken(rest, ", "), "b");
  EXPECT_EQ(NextToken(rest, ", "), "c");
  EXPECT_EQ(NextToken(rest, ", "), "");
  EXPECT_TRUE(rest.empty());
}

}  // namespace
}  // namespace svgflt
