#include "Common/FillUtil.h"

#include <gtest/gtest.h>

#include <string>

#include "ImagingKernel/ImagingKernel.h"
#include "Platform/Platform.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }
constexpr uint32_t kNotFound = 0xDEADBEEF;

// Paint and colour records as the element parsers make them, freed at the end.
struct Paint {
  SvgPaint record{};
  Paint() { EXPECT_EQ(InitPaint(&record), kOk); }
  ~Paint() { FreePaint(&record); }
};
struct Color {
  SvgColor record{};
  Color() { EXPECT_EQ(InitColor(&record), kOk); }
  ~Color() { FreeColor(&record); }
};

// Names (whole, any case), system colours from the windowing system, hex
// and rgb() forms, through ParseColor and ColorToRef.
TEST(ColorToRef, ComputesNamesHexAndRgb) {
  const std::pair<const char*, uint32_t> cases[] = {
      {"aliceblue", Rgb(240, 248, 255)}, {"yellowgreen", Rgb(154, 205, 50)},
      {"lightgrey", Rgb(211, 211, 211)}, {"rEd", Rgb(255, 0, 0)}, {" red ", Rgb(255, 0, 0)},
      {"black", 0}, {"WINDOWTEXT", GetSysColor(8) & 0x00FFFFFFu},
      {"#f00", Rgb(255, 0, 0)}, {"#FF8000", Rgb(255, 128, 0)}, {"#12", Rgb(0, 0, 0x12)},
      {"#1234567", Rgb(0x23, 0x45, 0x67)}, {"#fffg", Rgb(0, 0x0F, 0xFF)},
      {"rgb(100%,50%,0%)", Rgb(255, 128, 0)}, {"rgb(300,1.4,2.5)", Rgb(255, 1, 3)},
      {"rgb(1,2)", Rgb(1, 2, 0)}, {"RGB( 7,\t8%,1e2)", Rgb(7, 20, 100)},
      // Some grey spellings are missing from the table, as are newer names.
      {"grey", kNotFound}, {"rebeccapurple", kNotFound}, {"redd", kNotFound}, {"#", kNotFound},
      {"#xyz", kNotFound}, {"rgb(1,2,3,4)", kNotFound}, {"url(#a)", kNotFound},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    Color color;
    ASSERT_EQ(ParseColor(text, &color.record), kOk);
    uint32_t value = kNotFound;
    EXPECT_EQ(ColorToRef(color.record, &value), expected != kNotFound);
    EXPECT_EQ(value, expected);
  }
  bool found = true;
  EXPECT_EQ(LookupColorName("", &found), 0u);
  EXPECT_FALSE(found);
}

TEST(ParsePaint, KeepsTheWrittenForm) {
  struct Case { const char* text; int32_t kind, form; const char* stored; };  // stored null: no text
  const Case cases[] = {
      // Keywords ignore case and drop the text.
      {" NONE ", kPaintNone, kColorFormName, nullptr},
      {"CurrentColor", kPaintCurrentColor, kColorFormName, nullptr},
      {"#nothex", kPaintColor, kColorFormHex, "#nothex"},
      {"rgb(1,2,3)", kPaintColor, kColorFormRgb, nullptr},
      {"url(#grad1) red", kPaintServer, kColorFormName, "grad1"},
      {"URL(#g)", kPaintServer, kColorFormName, "g"},
      {"url(#broken", kPaintColor, kColorFormName, "url(#broken"},
      {"rgb( 255 ,0,0)", kPaintColor, kColorFormName, "rgb( 255 ,0,0)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Paint paint;
    ASSERT_EQ(ParsePaint(c.text, &paint.record), kOk);
    EXPECT_EQ(paint.record.paintKind, c.kind);
    EXPECT_STREQ(paint.record.color.text, c.stored);  // two nulls compare equal
    if (c.stored != nullptr) { EXPECT_EQ(paint.record.color.colorForm, c.form); }
  }
  // A colour has no keywords or references.
  Color color;
  ASSERT_EQ(ParseColor("currentColor", &color.record), kOk);
  EXPECT_EQ(color.record.colorForm, kColorFormName);
  EXPECT_EQ(ParseColor(nullptr, &color.record), kErrMissing);
  EXPECT_EQ(ParsePaint("red", nullptr), kErrMissing);
}

TEST(ParseRgb, RejectionsLeaveTheRecord) {
  for (const char* text : {"rgb(-5,0,0)", "rgb(10%, 20 ,30)", "rgb(1,2,3", " rgb(1,2,3)",
                           "rgba(1,2,3)", "rgb(1 2 3)", "rgb(a,b,c)", "rgb"}) {
    Color other;
    EXPECT_EQ(ParseRgb(text, &other.record), kErrBadValue) << text;
    EXPECT_STREQ(other.record.text, "black") << text;
  }
}

TEST(ParsePaint, FailedAllocationKeepsTheRecordAndTextBlocksCarryTheTag) {
  const int64_t tagged = KernelLiveBlocksTagged(u"Common/FillUtil");
  Paint paint;
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/FillUtil"), tagged + 1);  // "black"
  for (const char* text : {"#fff", "url(#a)", "blue"}) {
    KernelFailAllocation(1);
    EXPECT_EQ(ParsePaint(text, &paint.record), kErrNoMemory) << text;
    KernelFailAllocation(0);
    EXPECT_STREQ(paint.record.color.text, "black");
  }
}

}  // namespace
}  // namespace svgflt
