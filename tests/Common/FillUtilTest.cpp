#include "Common/FillUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "Platform/Platform.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

// A paint record as the element parsers make it, freed at the end.
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

// --- the colour-name table -----------------------------------------------

TEST(LookupColorName, KnowsTheStandardValues) {
  struct Case {
    const char* name;
    uint32_t value;
    bool found = true;
  };
  const Case cases[] = {
      {"aliceblue", Rgb(240, 248, 255)},   {"yellowgreen", Rgb(154, 205, 50)},
      {"lightgrey", Rgb(211, 211, 211)},   {"darkseagreen", Rgb(143, 188, 139)},
      {"gray", Rgb(128, 128, 128)},        {"green", Rgb(0, 128, 0)},
      {"lime", Rgb(0, 255, 0)},            {"maroon", Rgb(128, 0, 0)},
      {"purple", Rgb(128, 0, 128)},        {"darkslategray", Rgb(47, 79, 79)},
      {"cornflowerblue", Rgb(100, 149, 237)}, {"black", 0},
      {"white", Rgb(255, 255, 255)},       {"rebeccapurple", 0, false},
      {"RED", Rgb(255, 0, 0)},             {"rEd", Rgb(255, 0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool found = false;
    EXPECT_EQ(LookupColorName(c.name, &found), c.value);
    EXPECT_EQ(found, c.found);
  }
}

TEST(LookupColorName, HoldsTheKeywordsWithoutSomeGreySpellings) {
  const std::string keywords =
      "aliceblue antiquewhite aqua aquamarine azure beige bisque black blanchedalmond blue "
      "blueviolet brown burlywood cadetblue chartreuse chocolate coral cornflowerblue cornsilk "
      "crimson cyan darkblue darkcyan darkgoldenrod darkgray darkgreen darkgrey darkkhaki "
      "darkmagenta darkolivegreen darkorange darkorchid darkred darksalmon darkseagreen "
      "darkslateblue darkslategray darkslategrey darkturquoise darkviolet deeppink deepskyblue "
      "dimgray dimgrey dodgerblue firebrick floralwhite forestgreen fuchsia gainsboro ghostwhite "
      "gold goldenrod gray grey green greenyellow honeydew hotpink indianred indigo ivory khaki "
      "lavender lavenderblush lawngreen lemonchiffon lightblue lightcoral lightcyan "
      "lightgoldenrodyellow lightgray lightgreen lightgrey lightpink lightsalmon lightseagreen "
      "lightskyblue lightslategray lightslategrey lightsteelblue lightyellow lime limegreen linen "
      "magenta maroon mediumaquamarine mediumblue mediumorchid mediumpurple mediumseagreen "
      "mediumslateblue mediumspringgreen mediumturquoise mediumvioletred midnightblue mintcream "
      "mistyrose moccasin navajowhite navy oldlace olive olivedrab orange orangered orchid "
      "palegoldenrod palegreen paleturquoise palevioletred papayawhip peachpuff peru pink plum "
      "powderblue purple red rosybrown royalblue saddlebrown salmon sandybrown seagreen seashell "
      "sienna silver skyblue slateblue slategray slategrey snow springgreen steelblue tan teal "
      "thistle tomato turquoise violet wheat white whitesmoke yellow yellowgreen";
  const std::vector<std::string> absent = {"darkgrey",       "darkslategrey", "dimgrey",  "grey",
                                           "lightslategrey", "slategrey",     "lightgray"};
  std::istringstream words(keywords);
  int known = 0;
  int total = 0;
  for (std::string name; words >> name; ++total) {
    SCOPED_TRACE(name);
    bool found = false;
    (void)LookupColorName(name, &found);
    const bool expected = std::find(absent.begin(), absent.end(), name) == absent.end();
    EXPECT_EQ(found, expected);
    known += found ? 1 : 0;
  }
  EXPECT_EQ(total, 147);
  EXPECT_EQ(known, kNamedColorCount);
  bool found = true;
  EXPECT_EQ(LookupColorName("Grey", &found), 0u);
  EXPECT_FALSE(found);
}

TEST(LookupColorName, SystemColoursComeFromTheWindowingSystem) {
  struct Case {
    const char* name;
    int32_t index;
  };
  const Case cases[] = {
      {"activeborder", 10},     {"activecaption", 2},     {"appworkspace", 12},
      {"background", 1},        {"buttonface", 15},       {"buttonhighlight", 20},
      {"buttonshadow", 16},     {"buttontext", 18},       {"captiontext", 9},
      {"graytext", 17},         {"highlight", 13},        {"highlighttext", 14},
      {"inactiveborder", 11},   {"inactivecaption", 3},   {"inactivecaptiontext", 19},
      {"infobackground", 24},   {"infotext", 23},         {"menu", 4},
      {"menutext", 7},          {"scrollbar", 0},         {"threeddarkshadow", 21},
      {"threedface", 15},       {"threedhighlight", 20},  {"threedlightshadow", 15},
      {"threedshadow", 16},     {"window", 5},            {"windowframe", 6},
      {"WINDOWTEXT", 8},
  };
  static_assert(std::size(cases) == kSystemColorCount);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool found = false;
    EXPECT_EQ(LookupColorName(c.name, &found), GetSysColor(c.index) & 0x00FFFFFFu);
    EXPECT_TRUE(found);
  }
}

TEST(LookupColorName, RequiresTheWholeName) {
  for (const char* name : {"", "re", "redd", "red ", " red", "nosuchcolour", "window2"}) {
    SCOPED_TRACE(testing::PrintToString(name));
    bool found = true;
    EXPECT_EQ(LookupColorName(name, &found), 0u);
    EXPECT_FALSE(found);
  }
}

TEST(LookupColorName, SafeFromSeveralThreads) {
  std::vector<std::thread> threads;
  std::vector<uint32_t> results(4);
  for (std::size_t i = 0; i < results.size(); ++i) {
    threads.emplace_back([&results, i] { results[i] = LookupColorName("Highlight", nullptr); });
  }
  for (std::thread& thread : threads) thread.join();
  for (uint32_t value : results) EXPECT_EQ(value, GetSysColor(13) & 0x00FFFFFFu);
}

// --- paints --------------------------------------------------------------

TEST(ParsePaint, KeepsTheWrittenForm) {
  struct Case {
    const char* text;
    int32_t kind;
    int32_t form;
    const char* stored;  // null: no text kept
  };
  constexpr int32_t kAnyForm = -1;
  const Case cases[] = {
      // Keywords ignore case and drop the text.
      {"none", kPaintNone, kAnyForm, nullptr},
      {" NONE ", kPaintNone, kAnyForm, nullptr},
      {"currentcolor", kPaintCurrentColor, kAnyForm, nullptr},
      {"CurrentColor", kPaintCurrentColor, kAnyForm, nullptr},
      {"#f00", kPaintColor, kColorFormHex, "#f00"},
      {"#FF0000", kPaintColor, kColorFormHex, "#FF0000"},
      {"#nothex", kPaintColor, kColorFormHex, "#nothex"},
      {"rgb(1,2,3)", kPaintColor, kColorFormRgb, nullptr},
      {"url(#grad1) red", kPaintServer, kColorFormName, "grad1"},
      {"URL(#g)", kPaintServer, kColorFormName, "g"},
      {"url(#broken", kPaintColor, kColorFormName, "url(#broken"},
      {"url(grad)", kPaintColor, kColorFormName, "url(grad)"},
      {"Red", kPaintColor, kColorFormName, "Red"},
      {"rgb( 255 ,0,0)", kPaintColor, kColorFormName, "rgb( 255 ,0,0)"},
      {"rgb(1,2,3,4)", kPaintColor, kColorFormName, "rgb(1,2,3,4)"},
      {"nosuchcolour", kPaintColor, kColorFormName, "nosuchcolour"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Paint paint;
    ASSERT_EQ(ParsePaint(c.text, &paint.record), kOk);
    EXPECT_EQ(paint.record.paintKind, c.kind);
    EXPECT_TRUE(c.form == kAnyForm || paint.record.color.colorForm == c.form);
    if (c.stored == nullptr) {
      EXPECT_EQ(paint.record.color.text, nullptr);
    } else {
      EXPECT_STREQ(paint.record.color.text, c.stored);
    }
  }
}

TEST(ParseColor, HasNoKeywordsOrReferences) {
  for (const char* text : {"none", "url(#a)", "currentColor"}) {
    SCOPED_TRACE(text);
    Color color;
    ASSERT_EQ(ParseColor(text, &color.record), kOk);
    EXPECT_EQ(color.record.colorForm, kColorFormName);
    EXPECT_STREQ(color.record.text, text);
  }
  Color color;
  ASSERT_EQ(ParseColor("#0f0", &color.record), kOk);
  EXPECT_EQ(color.record.colorForm, kColorFormHex);
  EXPECT_EQ(ParseColor(nullptr, &color.record), kErrMissing);
  Paint paint;
  EXPECT_EQ(ParsePaint(nullptr, &paint.record), kErrMissing);
  EXPECT_EQ(ParsePaint("red", nullptr), kErrMissing);
}

TEST(ParseRgb, ReadsUpToThreeComponents) {
  struct Case {
    const char* text;
    double red, green, blue;
    int32_t redPercent, greenPercent, bluePercent;
  };
  const Case cases[] = {
      {"rgb(255, 0, 0)", 255, 0, 0, 0, 0, 0},
      {"RGB(1,2,3)", 1, 2, 3, 0, 0, 0},
      {"rgb(100%,50%,0%)", 100, 50, 0, 1, 1, 1},
      {"rgb(1,2)", 1, 2, 0, 0, 0, 0},
      {"rgb( 7,\t8%,9)", 7, 8, 9, 0, 1, 0},
      {"rgb(1e2,2,3)", 100, 2, 3, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Color color;
    ASSERT_EQ(ParseRgb(c.text, &color.record), kOk);
    EXPECT_EQ(color.record.colorForm, kColorFormRgb);
    EXPECT_EQ(color.record.red.value, c.red);
    EXPECT_EQ(color.record.green.value, c.green);
    EXPECT_EQ(color.record.blue.value, c.blue);
    EXPECT_EQ(color.record.red.isPercent, c.redPercent);
    EXPECT_EQ(color.record.green.isPercent, c.greenPercent);
    EXPECT_EQ(color.record.blue.isPercent, c.bluePercent);
  }
}

TEST(ParseRgb, RejectsOtherTextsAndLeavesTheRecord) {
  for (const char* text : {"rgb(-5,0,0)", "rgb(10%, 20 ,30)", "rgb(1,2,3,4)", "rgb(1,2,3", " rgb(1,2,3)", "rgba(1,2,3)",
                           "rgb(1 2 3)", "rgb(a,b,c)", "", "rgb"}) {
    SCOPED_TRACE(text);
    Color color;
    EXPECT_EQ(ParseRgb(text, &color.record), kErrBadValue);
    EXPECT_EQ(color.record.colorForm, kColorFormName);
    EXPECT_STREQ(color.record.text, "black");
  }
}

TEST(ParsePaint, FailedAllocationKeepsTheRecord) {
  for (const char* text : {"#fff", "url(#a)", "blue"}) {
    SCOPED_TRACE(text);
    Paint paint;
    KernelFailAllocation(1);
    EXPECT_EQ(ParsePaint(text, &paint.record), kErrNoMemory);
    KernelFailAllocation(0);
    EXPECT_EQ(paint.record.color.colorForm, kColorFormName);
    EXPECT_STREQ(paint.record.color.text, "black");
  }
  SvgPaint fresh{};
  KernelFailAllocation(1);
  EXPECT_EQ(InitPaint(&fresh), kErrNoMemory);
  KernelFailAllocation(0);
  EXPECT_EQ(fresh.color.text, nullptr);
}

// --- colour computation --------------------------------------------------

TEST(ColorToRef, ComputesHexRgbAndNames) {
  struct Case {
    const char* text;
    uint32_t value;
  };
  const Case cases[] = {
      {"#f00", Rgb(255, 0, 0)},        {"#FF8000", Rgb(255, 128, 0)},
      {"#abc", Rgb(0xAA, 0xBB, 0xCC)}, {"#12", Rgb(0, 0, 0x12)},
      {"#1234567", Rgb(0x23, 0x45, 0x67)}, {"#fffg", Rgb(0, 0x0F, 0xFF)},
      {"rgb(100%,50%,0%)", Rgb(255, 128, 0)}, {"rgb(300,1.4,2.5)", Rgb(255, 1, 3)},
      {"rgb(1,2)", Rgb(1, 2, 0)},      {"Navy", Rgb(0, 0, 128)},
      {" red ", Rgb(255, 0, 0)},       {"windowtext", GetSysColor(8) & 0x00FFFFFFu},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Color color;
    ASSERT_EQ(ParseColor(c.text, &color.record), kOk);
    uint32_t value = 0xDEADBEEF;
    ASSERT_TRUE(ColorToRef(color.record, &value));
    EXPECT_EQ(value, c.value);
  }
}

TEST(ColorToRef, ReportsUnknownColours) {
  for (const char* text : {"#", "#xyz", "grey", "rgb(1,2,3,4)", "url(#a)"}) {
    SCOPED_TRACE(text);
    Color color;
    ASSERT_EQ(ParseColor(text, &color.record), kOk);
    uint32_t value = 0xDEADBEEF;
    EXPECT_FALSE(ColorToRef(color.record, &value));
    EXPECT_EQ(value, 0xDEADBEEFu);
  }
}

TEST(ParsePaint, TextBlocksCarryTheFileTag) {
  const int64_t before = KernelLiveBlocksTagged(u"Common/FillUtil");
  Paint paint;
  ASSERT_EQ(ParsePaint("#123456", &paint.record), kOk);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/FillUtil"), before + 1);
}

}  // namespace
}  // namespace svgflt
