#include "Common/TextUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/SvgDocument.h"
#include "ImagingKernel/ImagingKernel.h"
#include "SvgSnippetLoad.h"
#include "svgfilter/FilterStatus.h"
#include "support/KernelLeakGuard.h"

namespace svgflt {
namespace {

// Frees the lists it holds at the end of the test, before the leak check.
struct Lists {
  LengthList lengths{};
  NumberList numbers{};
  ~Lists() {
    FreeLengthList(&lengths);
    FreeNumberList(&numbers);
  }
};

std::vector<double> Values(const LengthList& list) {
  std::vector<double> values;
  for (int32_t i = 0; i < list.count; ++i) values.push_back(list.items[i].value);
  return values;
}

std::vector<double> Values(const NumberList& list) {
  return std::vector<double>(list.items, list.items + list.count);
}

// --- ParseLengthList -----------------------------------------------------------

TEST(ParseLengthList, SplitsAtCommasAndWhitespace) {
  struct Case {
    const char* text;
    std::vector<double> values;
  };
  const Case cases[] = {
      {"10, 20 30", {10, 20, 30}},
      {"  ,,1\t\n2\r3 ,", {1, 2, 3}},
      {"", {}},
      {" , \t", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Lists lists;
    ASSERT_EQ(ParseLengthList(c.text, kElemTspan, &lists.lengths), kOk);
    EXPECT_EQ(Values(lists.lengths), c.values);
  }
}

TEST(ParseLengthList, KeepsEachUnit) {
  Lists lists;
  ASSERT_EQ(ParseLengthList("1px 2% 3mm 4", kElemText, &lists.lengths), kOk);
  ASSERT_EQ(lists.lengths.count, 4);
  EXPECT_EQ(lists.lengths.items[0].unit, kUnitPx);
  EXPECT_EQ(lists.lengths.items[1].unit, kUnitNone);
  EXPECT_EQ(lists.lengths.items[1].isPercent, 1);
  EXPECT_EQ(lists.lengths.items[2].unit, kUnitMm);
  EXPECT_EQ(lists.lengths.items[3].unit, kUnitNone);
  EXPECT_EQ(lists.lengths.items[3].isPercent, 0);
}

TEST(ParseLengthList, MalformedItemIsCountedAndEndsTheList) {
  struct Case {
    const char* text;
    int32_t count;
  };
  for (const Case c :
       {Case{"1 2q 3", 2}, Case{"abc 1", 1}, Case{"1 2 1e3", 3}, Case{"4 5 px", 3}}) {
    SCOPED_TRACE(c.text);
    Lists lists;
    EXPECT_EQ(ParseLengthList(c.text, kElemAltGlyph, &lists.lengths), kOk);
    ASSERT_EQ(lists.lengths.count, c.count);
    // The malformed item stands as 0 user units.
    const SvgLength& last = lists.lengths.items[c.count - 1];
    EXPECT_EQ(last.value, 0.0);
    EXPECT_EQ(last.unit, kUnitNone);
  }
}

TEST(ParseLengthList, GrowsByTenAfterFive) {
  struct Case {
    int entries;
    int32_t capacity;
  };
  for (const Case c : {Case{5, 5}, Case{6, 15}, Case{15, 15}, Case{16, 25}}) {
    SCOPED_TRACE(c.entries);
    std::string text;
    for (int i = 0; i < c.entries; ++i) text += std::to_string(i) + " ";
    Lists lists;
    ASSERT_EQ(ParseLengthList(text.c_str(), kElemTref, &lists.lengths), kOk);
    EXPECT_EQ(lists.lengths.count, c.entries);
    EXPECT_EQ(lists.lengths.capacity, c.capacity);
    EXPECT_EQ(lists.lengths.items[c.entries - 1].value, c.entries - 1);
  }
}

TEST(ParseLengthList, ReplacesTheListItHolds) {
  Lists lists;
  ASSERT_EQ(ParseLengthList("1 2 3", kElemText, &lists.lengths), kOk);
  ASSERT_EQ(ParseLengthList("7", kElemText, &lists.lengths), kOk);
  EXPECT_EQ(Values(lists.lengths), std::vector<double>{7});
  EXPECT_EQ(lists.lengths.capacity, 5);
}

TEST(ParseLengthList, RefusesMissingArgumentsAndKindsWithoutLists) {
  Lists lists;
  EXPECT_EQ(ParseLengthList(nullptr, kElemText, &lists.lengths), kErrMissing);
  EXPECT_EQ(ParseLengthList("1", kElemText, nullptr), kErrMissing);
  for (const int32_t kind : {kElemTextPath, kElemGlyphRef, kElemRect}) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(ParseLengthList("1", kind, &lists.lengths), kErrMissing);
    EXPECT_EQ(lists.lengths.count, 0);
  }
}

TEST(ParseLengthList, FailedAllocationLeavesTheListEmpty) {
  // Allocation 1 is the working copy, 2 the first block, 3 the growth.
  for (int64_t n : {1, 2, 3}) {
    SCOPED_TRACE(n);
    Lists lists;
    KernelFailAllocation(n);
    EXPECT_EQ(ParseLengthList("1 2 3 4 5 6", kElemText, &lists.lengths), kErrNoMemory);
    KernelFailAllocation(0);
    EXPECT_EQ(lists.lengths.count, 0);
    EXPECT_EQ(lists.lengths.items, nullptr);
  }
}

// --- ParseNumberList -----------------------------------------------------------

TEST(ParseNumberList, StopsBeforeTheFirstItemThatIsNoNumber) {
  struct Case {
    const char* text;
    std::vector<double> values;
  };
  const Case cases[] = {
      {"15 abc 30", {15}},
      {"-90, 45.5\t0", {-90, 45.5, 0}},
      {"1 +2 3", {1}},
      {"1 1e2", {1}},
      {"5deg", {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Lists lists;
    EXPECT_EQ(ParseNumberList(c.text, kElemTspan, &lists.numbers), kOk);
    EXPECT_EQ(Values(lists.numbers), c.values);
  }
}

TEST(ParseNumberList, GrowsByTenAfterFive) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += std::to_string(i * 10) + ",";
  Lists lists;
  ASSERT_EQ(ParseNumberList(text.c_str(), kElemText, &lists.numbers), kOk);
  EXPECT_EQ(lists.numbers.count, 20);
  EXPECT_EQ(lists.numbers.capacity, 25);
  EXPECT_EQ(lists.numbers.items[19], 190.0);
}

TEST(ParseNumberList, FailedAllocationLeavesTheListEmpty) {
  for (int64_t n : {1, 2, 3}) {
    SCOPED_TRACE(n);
    Lists lists;
    KernelFailAllocation(n);
    EXPECT_EQ(ParseNumberList("1 2 3 4 5 6", kElemText, &lists.numbers), kErrNoMemory);
    KernelFailAllocation(0);
    EXPECT_EQ(lists.numbers.count, 0);
    EXPECT_EQ(lists.numbers.items, nullptr);
  }
}

// --- text elements ----------------------------------------------------------------

class TextElements : public testing::SvgSnippetLoad {
 protected:
  TextRecord& Text() { return First(kElemText).data.text.own; }
  TspanRecord& Tspan() { return First(kElemTspan).data.tspan.own; }
};

TEST_F(TextElements, TextKeepsPositionLengthAndTransform) {
  Loaded("<svg><text x='10' textLength='5mm' lengthAdjust='spacingAndGlyphs' "
         "transform='translate(1 2)'>Hi</text></svg>");
  const TextRecord& text = Text();
  EXPECT_EQ(text.x.value, 10.0);
  EXPECT_EQ(text.xGiven, 1);
  EXPECT_EQ(text.yGiven, 0);
  EXPECT_EQ(text.y.unit, kUnitNone);
  EXPECT_EQ(text.textLength.value, 5.0);
  EXPECT_EQ(text.textLength.unit, kUnitMm);
  EXPECT_EQ(text.lengthAdjust, 1);
  ASSERT_NE(CommonOf(First(kElemText)).transform.first, nullptr);
  EXPECT_STREQ(text.content, "<STRING>Hi</STRING>");
}

TEST_F(TextElements, TextPositionListsNeedVersion11) {
  struct Case {
    const char* text;
    int32_t dx;
    int32_t rotate;
  };
  const Case cases[] = {
      {"<svg version='1.0'><text dx='5' rotate='9'>a</text></svg>", 0, 0},
      {"<svg version='1.0'><text dx='5' dx='6'>a</text></svg>", 0, 0},  // ignored, so no repeat
      {"<svg version='1.1'><text dx='5' rotate='9'>a</text></svg>", 1, 1},
      {"<svg><text dx='5 6'>a</text></svg>", 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Loaded(c.text);
    EXPECT_EQ(Text().dx.count, c.dx);
    EXPECT_EQ(Text().rotate.count, c.rotate);
  }
}

TEST_F(TextElements, TspanListsFromAttributes) {
  Loaded("<svg><text><tspan x='10, 20 30' rotate='15 abc 30' dy='1em'>b</tspan></text></svg>");
  const TspanRecord& tspan = Tspan();
  EXPECT_EQ(Values(tspan.x), (std::vector<double>{10, 20, 30}));
  EXPECT_EQ(Values(tspan.rotate), std::vector<double>{15});
  ASSERT_EQ(tspan.dy.count, 1);
  EXPECT_EQ(tspan.dy.items[0].unit, kUnitEm);
  EXPECT_EQ(tspan.y.count, 0);
}

// Keywords, and the characters the textPath draws itself: blanks collapsed,
// ends trimmed, those of its tspans included.
TEST_F(TextElements, TextPathKeywordsAndCharacters) {
  struct Case {
    const char* attributes;
    const char* content;
    Status status;
    int32_t method;
    int32_t spacing;
    const char* characters;
  };
  const Case cases[] = {
      {"method='stretch' spacing='exact'", "t", kOk, 1, 1, "t"},
      {"method='ALIGN' spacing='Auto'", "t", kOk, 0, 0, "t"},
      {"", " a\n\t <tspan>b  c</tspan> d ", kOk, 0, 0, "a b c d"},
      {"", "  ", kOk, 0, 0, nullptr},
      {"method='warp'", "t", kErrBadValue, 0, 0, nullptr},
      {"spacing='auto' spacing='exact'", "t", kErrDuplicateAttribute, 0, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    const std::string svg = std::string("<svg><text><textPath xlink:href='#p' ") + c.attributes +
                            ">" + c.content + "</textPath></text></svg>";
    ASSERT_EQ(Load(svg), c.status);
    if (c.status != kOk) continue;
    const TextPathRecord& path = First(kElemTextPath).data.textPath.own;
    EXPECT_EQ(path.method, c.method);
    EXPECT_EQ(path.spacing, c.spacing);
    EXPECT_STREQ(path.href, "p");
    if (c.characters == nullptr) {
      EXPECT_EQ(path.content, nullptr);
    } else {
      EXPECT_STREQ(path.content, c.characters);
    }
  }
}

TEST_F(TextElements, RefusesRepeatsAndUnacceptedNames) {
  struct Case {
    const char* text;
    Status status;
  };
  const Case cases[] = {
      {"<svg><text><tspan lengthAdjust='spacing' lengthAdjust='spacing'/></text></svg>",
       kErrDuplicateAttribute},
      {"<svg><text><tspan x='1' x='2'/></text></svg>", kErrDuplicateAttribute},
      {"<svg><text x='1' x='2'/></svg>", kErrDuplicateAttribute},
      {"<svg><text lengthAdjust='squeeze'/></svg>", kErrBadValue},
      {"<svg><text x='1 px'/></svg>", kErrBadLength},
      {"<svg><text xml:foo='1'/></svg>", kErrBadLength},
      {"<svg version='1.0'><text xml:base='a'/></svg>", kErrBadLength},
      {"<svg><altGlyphDef xml:lang='en'/></svg>", kErrBadLength},
      {"<svg><glyphRef xml:space='preserve'/></svg>", kErrBadLength},
      {"<svg><glyphRef glyphRef=''/></svg>", kErrMissing},
      {"<svg><glyphRef x='1px'/></svg>", kErrBadValue},
      {"<svg><text><altGlyph format=' '>a</altGlyph></text></svg>", kErrMissing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Load(c.text), c.status);
  }
}

TEST_F(TextElements, AcceptsTheCommonGroupsAndIgnoresUnknownNames) {
  Loaded("<svg><text id='t' xml:lang='en' xml:space='default' class='c' style='fill:red' "
         "requiredExtensions='x' enable-background='new' foo='1' font-size='20' "
         "xmlns:a='b'>x</text></svg>");
  const ElementRecord& record = First(kElemText);
  EXPECT_STREQ(CommonOf(record).id, "t");
  EXPECT_STREQ(CommonOf(record).xmlLang, "en");
  EXPECT_EQ(CommonOf(record).props.fontSize.value, 20.0);
  EXPECT_EQ(CommonOf(record).props.fill.paintKind, kPaintColor);
  EXPECT_EQ(CommonOf(record).classSeen, 1);
}

TEST_F(TextElements, ReferencesLoseTheirHash) {
  Loaded("<svg><text><tref xlink:href='#t1' x='1 2'/><altGlyph xlink:href='#g' glyphRef='r' "
         "format='f'>a</altGlyph></text><altGlyphDef><altGlyphItem><glyphRef xlink:href='#q' "
         "x='1.5' dx='2px'/></altGlyphItem></altGlyphDef></svg>");
  EXPECT_STREQ(First(kElemTref).data.tref.own.href, "t1");
  EXPECT_EQ(First(kElemTref).data.tref.own.x.count, 2);
  const AltGlyphRecord& alt = First(kElemAltGlyph).data.altGlyph.own;
  EXPECT_STREQ(alt.href, "g");
  EXPECT_STREQ(alt.glyphRef, "r");
  EXPECT_STREQ(alt.format, "f");
  const GlyphRefRecord& ref = First(kElemGlyphRef).data.glyphRef.own;
  EXPECT_STREQ(ref.href, "q");
  EXPECT_EQ(ref.x, 1.5);
  EXPECT_EQ(ref.dx.unit, kUnitPx);
  EXPECT_EQ(First(kElemAltGlyphItem).parent, 4);  // the altGlyphDef
}

TEST_F(TextElements, StoresTheFlattenedContentOfTextAndTspan) {
  Loaded("<svg><text>  Hello <tspan>big</tspan> world<tref/></text></svg>");
  EXPECT_STREQ(Text().content,
               "<STRING> Hello </STRING><TSPAN><STRING>big</STRING></TSPAN><STRING> world"
               "</STRING><TREF></TREF><STRING></STRING>");  // the reader's empty text after tref
  EXPECT_STREQ(Tspan().content, "<STRING>big</STRING>");
}

TEST_F(TextElements, PreserveFlagsReachTheStoredText) {
  struct Case {
    const char* text;
    const char* content;
  };
  const Case cases[] = {
      {"<svg><text xml:space='preserve'> a\n  b </text></svg>", "<STRING> a\n  b </STRING>"},
      {"<svg><text> a\n  b </text></svg>", "<STRING> a b </STRING>"},
      {"<svg xml:space='preserve'><text> a\n  b </text></svg>", "<STRING> a\n  b </STRING>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Loaded(c.text);
    EXPECT_STREQ(Text().content, c.content);
  }
}

TEST_F(TextElements, TextTakesThePropertiesOfItsParent) {
  Loaded("<svg><g font-family='Serif' fill='red'><text font-size='30'>a<tspan>b</tspan></text>"
         "</g></svg>");
  const PresentationProperties& text = CommonOf(First(kElemText)).props;
  EXPECT_STREQ(text.fontFamily, "Serif");
  EXPECT_EQ(text.fill.paintKind, kPaintNotGiven);
  EXPECT_EQ(CommonOf(First(kElemTspan)).props.fontSize.value, 30.0);
}

}  // namespace
}  // namespace svgflt
