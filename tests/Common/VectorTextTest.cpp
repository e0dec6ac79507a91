// Text to vector text: runs, owners, fonts, alignment, rotation, placement
// and transforms, read back from the vector document.
#include "Common/VectorText.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "Common/VectorConvertFixture.h"

namespace svgflt::testing {
namespace {

std::string Svg(std::string_view body) {
  return std::string(
             "<svg xmlns=\"http://www.w3.org/2000/svg\" "
             "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"400\" height=\"200\">") +
         std::string(body) + "</svg>";
}

// What a text object carries, copied out of the kernel's description.
struct TextSeen {
  std::u16string text;
  double x;
  double y;
  double fontSize;
  int32_t alignment;
  int32_t escapement;
  VectorLogFont font;
  int32_t brushColour;
  uint32_t flags;
  VectorObjectRef id;
};

class VectorText : public VectorConvert {
 protected:
  std::vector<TextSeen> Texts() {
    std::vector<TextSeen> out;
    for (const VectorObjectHandle& h : OfType(kVoText)) {
      StoredObject o(&vector_, h);
      EXPECT_EQ(o.status(), kVkOk);
      const VectorTextObject& t = o->text;
      out.push_back(TextSeen{t.text != nullptr ? std::u16string(t.text) : u"", t.position.x,
                             t.position.y, t.fontSize, t.alignment, t.escapement, t.font,
                             t.brush.w[3], t.h.flags, h.id});
    }
    return out;
  }
  std::vector<TextSeen> ConvertTexts(std::string_view body) {
    EXPECT_EQ(Convert(Svg(body)), kOk);
    return Texts();
  }
  void Extent(VectorObjectRef id, KernelPoint* lower, KernelPoint* upper) {
    ASSERT_EQ(VectorGetObjectExtent(&vector_, id, lower, upper), kVkOk);
  }
};

std::u16string Face(const VectorLogFont& font) { return std::u16string(font.faceName); }

// --- runs and owners ---------------------------------------------------------

TEST_F(VectorText, OneRunBecomesOneTextObjectAtItsPosition) {
  const auto texts = ConvertTexts(R"svg(<text x="10" y="20">Hello</text>)svg");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, u"Hello");
  EXPECT_DOUBLE_EQ(texts[0].x, 10.0);
  EXPECT_DOUBLE_EQ(texts[0].y, -20.0);
  EXPECT_DOUBLE_EQ(texts[0].fontSize, 12.0);
  EXPECT_EQ(texts[0].alignment, kRunAlignStart);
  EXPECT_EQ(texts[0].escapement, 0);
}

TEST_F(VectorText, TspanSplitsTheContentIntoRunsInReadingOrder) {
  const auto texts = ConvertTexts(
      R"svg(<text x="10" y="20">a<tspan fill="red" font-family="serif" font-size="20">b</tspan>c</text>)svg");
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].text, u"a");
  EXPECT_EQ(texts[1].text, u"b");
  EXPECT_EQ(texts[2].text, u"c");
  // The tspan's paint and font reach its run only.
  EXPECT_EQ(texts[1].brushColour, 0x0000FF);
  EXPECT_EQ(Face(texts[1].font), u"serif");
  EXPECT_DOUBLE_EQ(texts[1].fontSize, 20.0);
  EXPECT_EQ(texts[0].brushColour, 0);
  EXPECT_EQ(texts[2].brushColour, 0);
  EXPECT_DOUBLE_EQ(texts[2].fontSize, 12.0);
  // Each run starts at the right edge of the one before.
  KernelPoint lower{};
  KernelPoint upper{};
  Extent(texts[0].id, &lower, &upper);
  EXPECT_DOUBLE_EQ(texts[1].x, upper.x);
  Extent(texts[1].id, &lower, &upper);
  EXPECT_DOUBLE_EQ(texts[2].x, upper.x);
  EXPECT_GT(texts[2].x, texts[1].x);
  for (const auto& t : texts) EXPECT_DOUBLE_EQ(t.y, -20.0);
}

// Which runs are drawn, in which order and with which owner's fill.
TEST_F(VectorText, RunsAndTheirOwners) {
  const struct {
    const char* body;
    std::vector<std::u16string> texts;
    std::vector<int32_t> colours;
  } cases[] = {
      // Nested tspans: each run takes its innermost owner.
      {R"(<text><tspan fill="red">a<tspan fill="blue">b</tspan>c</tspan>d</text>)",
       {u"a", u"b", u"c", u"d"}, {0x0000FF, 0xFF0000, 0x0000FF, 0}},
      // Runs of only line breaks, tabs or one blank draw nothing.
      {"<text>\n\t<tspan>x</tspan>\n\t</text>", {u"x"}, {0}},
      {"<text xml:space=\"preserve\">\n\t<tspan>x</tspan>\r\n</text>", {u"x"}, {0}},
      {"<text><tspan>x</tspan> <tspan> </tspan></text>", {u"x"}, {0}},
      {"<text></text><text/>", {}, {}},
      // References are drawn as their characters, markers in them as text.
      {"<text>&lt;b&gt;</text>", {u"<b>"}, {0}},
      {"<text>a &amp; b &quot;c&quot; &apos;d&apos;</text>", {u"a & b \"c\" 'd'"}, {0}},
      {"<text>&lt;TSPAN&gt;x</text>", {u"<TSPAN>x"}, {0}},
      {"<text>caf&#233; &#x41;</text>", {u"caf\u00e9 A"}, {0}},
      // A tref draws the referenced text's characters with its own paint.
      {R"(<defs><text id="t">Ref<tspan>er</tspan></text></defs>)"
       R"(<text>x<tref xlink:href="#t" fill="red"/></text>)",
       {u"x", u"Refer"}, {0, 0x0000FF}},
      {R"(<text><tref xlink:href="#none"/>a</text>)", {u"a"}, {0}},
      // Text inside other child elements is not drawn.
      {"<text>a<a><tspan>c</tspan></a>d</text>", {u"a", u"d"}, {0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    const auto texts = ConvertTexts(c.body);
    ASSERT_EQ(texts.size(), c.texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
      EXPECT_EQ(texts[i].text, c.texts[i]) << i;
      EXPECT_EQ(texts[i].brushColour, c.colours[i]) << i;
      if (i > 0) {
        EXPECT_GT(texts[i].x, texts[i - 1].x) << i;
      }
    }
  }
}

// A textPath's characters follow its path one by one after the text's own
// runs, each anchored at its middle and turned to the path's direction.
TEST_F(VectorText, TextPathCharactersFollowThePath) {
  struct Case {
    const char* d;
    const char* attributes;
    int32_t escapement;
    bool alongX;
  };
  const Case cases[] = {
      {"M10 50 H300", "", 0, true},
      {"M100 20 V190", "", 2700, false},
      {"M300 50 H10", "startOffset=\"10\"", 1800, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.d);
    const auto texts = ConvertTexts(
        std::string("<defs><path id=\"p\" d=\"") + c.d + "\"/></defs><text x=\"5\" y=\"9\">"
        "z<textPath xlink:href=\"#p\" fill=\"red\" " + c.attributes + ">ab c</textPath></text>");
    ASSERT_EQ(texts.size(), 4u);  // z, then a, b and c; the blank only advances
    EXPECT_EQ(texts[0].text, u"z");
    EXPECT_EQ(texts[1].text, u"a");
    EXPECT_EQ(texts[3].text, u"c");
    for (size_t i = 1; i < 4; ++i) {
      EXPECT_EQ(texts[i].alignment, kCharAlignMiddle);
      EXPECT_EQ(texts[i].escapement, c.escapement);
      EXPECT_EQ(texts[i].brushColour, 0x0000FF);
    }
    // Each next character further along the path, which it stays on.
    const double a = c.alongX ? texts[1].x : -texts[1].y;
    const double b = c.alongX ? texts[2].x : -texts[2].y;
    const double along = c.escapement == 1800 ? a - b : b - a;
    EXPECT_GT(along, 0);
    EXPECT_DOUBLE_EQ(c.alongX ? texts[2].y : texts[2].x, c.alongX ? -50.0 : 100.0);
  }
}

// --- fonts -------------------------------------------------------------------

TEST_F(VectorText, FontFamilyBecomesTheFaceName) {
  const struct {
    const char* family;
    std::u16string face;
  } cases[] = {
      {"sans-serif", u"sansserif"},
      {"serif", u"serif"},
      {"'Times New Roman', serif", u"Times New Roman"},
      {" Verdana ,sans-serif", u"Verdana"},
      {"An Extremely Long Family Name Beyond The Limit", u"An Extremely Long Family Name B"},
      {nullptr, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.family != nullptr ? c.family : "none");
    const std::string attribute =
        c.family != nullptr ? std::string(" font-family=\"") + c.family + "\"" : "";
    const auto texts = ConvertTexts("<text" + attribute + ">A</text>");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(Face(texts[0].font), c.face);
  }
}

TEST_F(VectorText, WeightStyleAndDecorationReachTheFont) {
  const struct {
    const char* attributes;
    int32_t weight;
    uint8_t italic;
    uint8_t underline;
    uint8_t strikeOut;
  } cases[] = {
      {"", 400, 0, 0, 0},
      {"font-weight=\"bold\"", 700, 0, 0, 0},
      {"font-weight=\"300\"", 300, 0, 0, 0},
      {"font-weight=\"900\"", 900, 0, 0, 0},
      {"font-style=\"italic\"", 400, 1, 0, 0},
      {"font-style=\"oblique\"", 400, 1, 0, 0},
      {"text-decoration=\"underline\"", 400, 0, 1, 0},
      {"text-decoration=\"line-through\"", 400, 0, 0, 1},
      {"style=\"font-weight:bold;font-style:italic;text-decoration:underline\"", 700, 1, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.attributes);
    const auto texts = ConvertTexts(std::string("<text ") + c.attributes + ">A</text>");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].font.weight, c.weight);
    EXPECT_EQ(texts[0].font.italic, c.italic);
    EXPECT_EQ(texts[0].font.underline, c.underline);
    EXPECT_EQ(texts[0].font.strikeOut, c.strikeOut);
  }
}

TEST_F(VectorText, FontSizeIsConvertedToPixels) {
  const auto texts = ConvertTexts(R"svg(<text font-size="24">A</text><text font-size="12pt">B</text>)svg");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_DOUBLE_EQ(texts[0].fontSize, 24.0);
  EXPECT_DOUBLE_EQ(texts[1].fontSize, 16.0);
  EXPECT_EQ(texts[0].font.height, -24);
}

// --- alignment and rotation ------------------------------------------------------

TEST_F(VectorText, TextAnchorGivesTheRunAlignment) {
  const struct {
    const char* anchor;
    int32_t whole;
    int32_t perCharacter;
  } cases[] = {
      {"start", kRunAlignStart, kCharAlignOther},
      {"middle", kRunAlignMiddle, kCharAlignMiddle},
      {"end", kRunAlignEnd, kCharAlignEnd},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.anchor);
    auto texts = ConvertTexts(std::string("<text x=\"10\" text-anchor=\"") + c.anchor +
                              "\">AB</text>");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].alignment, c.whole);
    texts = ConvertTexts(std::string("<text text-anchor=\"") + c.anchor +
                         "\"><tspan x=\"10 20\">AB</tspan></text>");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].alignment, c.perCharacter);
  }
}

TEST_F(VectorText, RotateGivesTheEscapement) {
  const struct {
    const char* rotate;
    int32_t escapement;
  } cases[] = {{"90", 2700}, {"370", -100}, {"0", 0}, {"-90", 900}, {"45.55", 3144}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rotate);
    auto texts = ConvertTexts(std::string("<text rotate=\"") + c.rotate + "\">AB</text>");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].escapement, c.escapement);
    texts = ConvertTexts(std::string("<text><tspan rotate=\"") + c.rotate + "\">AB</tspan></text>");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].escapement, c.escapement);
  }
}

TEST(RotateEscapement, KeepsTheSignOfTheDividend) {
  EXPECT_EQ(RotateEscapement(90.0, 0), 2700);
  EXPECT_EQ(RotateEscapement(370.0, 0), -100);
  EXPECT_EQ(RotateEscapement(800.0, 0), -800);
  EXPECT_EQ(RotateEscapement(0.0, 150), 150);
  EXPECT_EQ(RotateEscapement(90.0, 1000), 100);
}

// --- placement -------------------------------------------------------------------

TEST_F(VectorText, XListPlacesEveryCharacter) {
  const auto texts = ConvertTexts(R"svg(<text x="0" y="20"><tspan x="10 30 50" y="40">abcd</tspan></text>)svg");
  ASSERT_EQ(texts.size(), 4u);
  const double xs[] = {10.0, 30.0, 50.0};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(texts[i].text, std::u16string(1, static_cast<char16_t>(u'a' + i)));
    EXPECT_DOUBLE_EQ(texts[i].x, xs[i]);
    EXPECT_DOUBLE_EQ(texts[i].y, -40.0);
  }
  // Past the list, characters follow one another.
  KernelPoint lower{};
  KernelPoint upper{};
  Extent(texts[2].id, &lower, &upper);
  EXPECT_DOUBLE_EQ(texts[3].x, upper.x);
}

TEST_F(VectorText, RotateListTurnsEveryCharacterAndTheLastValueHolds) {
  const auto texts = ConvertTexts(R"svg(<text><tspan rotate="90 180">abc</tspan></text>)svg");
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].escapement, 2700);
  EXPECT_EQ(texts[1].escapement, 1800);
  EXPECT_EQ(texts[2].escapement, 1800);
}

TEST_F(VectorText, DxAndDyShiftTheFirstRunOfTheirOwner) {
  const auto texts = ConvertTexts(
      R"svg(<text x="10" y="20" dx="5" dy="3">a<tspan dx="7" dy="-2">b</tspan>c</text>)svg");
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_DOUBLE_EQ(texts[0].x, 15.0);
  EXPECT_DOUBLE_EQ(texts[0].y, -23.0);
  KernelPoint lower{};
  KernelPoint upper{};
  Extent(texts[0].id, &lower, &upper);
  EXPECT_DOUBLE_EQ(texts[1].x, upper.x + 7.0);
  EXPECT_DOUBLE_EQ(texts[1].y, -21.0);
  // The shift stays for what follows, as the baseline moved.
  Extent(texts[1].id, &lower, &upper);
  EXPECT_DOUBLE_EQ(texts[2].x, upper.x);
  EXPECT_DOUBLE_EQ(texts[2].y, -21.0);
}

TEST_F(VectorText, TspanXAndYStartANewLine) {
  const auto texts = ConvertTexts(
      R"svg(<text x="10" y="20">one<tspan x="10" y="40">two</tspan></text>)svg");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_DOUBLE_EQ(texts[1].x, 10.0);
  EXPECT_DOUBLE_EQ(texts[1].y, -40.0);
}

TEST_F(VectorText, LetterAndWordSpacingSeparateTheCharacters) {
  const auto texts = ConvertTexts(R"svg(<text x="0" y="20" letter-spacing="3" word-spacing="10">a b</text>)svg");
  ASSERT_EQ(texts.size(), 3u);
  KernelPoint lower{};
  KernelPoint upper{};
  Extent(texts[0].id, &lower, &upper);
  EXPECT_DOUBLE_EQ(texts[1].x, upper.x + 3.0);
  Extent(texts[1].id, &lower, &upper);
  EXPECT_DOUBLE_EQ(texts[2].x, upper.x + 13.0);
}

TEST_F(VectorText, VerticalWritingModeStacksTheRuns) {
  const auto texts = ConvertTexts(R"svg(<text x="10" y="20" writing-mode="tb">a<tspan>b</tspan></text>)svg");
  ASSERT_EQ(texts.size(), 2u);
  KernelPoint lower{};
  KernelPoint upper{};
  Extent(texts[0].id, &lower, &upper);
  EXPECT_DOUBLE_EQ(texts[1].x, 10.0);
  EXPECT_DOUBLE_EQ(texts[1].y, lower.y);
}

// --- transforms -------------------------------------------------------------------

// The first run's anchor and size under the groups' and the text's own
// transforms, the text's acting first.
TEST_F(VectorText, TransformsPlaceTheRuns) {
  const struct {
    const char* body;
    double x, y, fontSize;
  } cases[] = {
      {R"svg(<g transform="translate(5,7)"><text x="10" y="20">A</text></g>)svg", 15, -27, 12},
      {R"svg(<g transform="translate(1,2) scale(2)"><text x="10" y="20" font-size="10">A</text></g>)svg",
       21, -42, 20},
      {R"svg(<text x="10" y="20" transform="matrix(1 0 0 1 4 6)">A</text>)svg", 14, -26, 12},
      {R"svg(<text x="10" y="20" transform="translate(100,50)">a<tspan>b</tspan></text>)svg", 110, -70,
       12},
      {R"svg(<g transform="scale(2)"><text x="10" y="20" transform="translate(5,0)">A</text></g>)svg",
       30, -40, 24},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    const auto texts = ConvertTexts(c.body);
    ASSERT_FALSE(texts.empty());
    EXPECT_DOUBLE_EQ(texts[0].x, c.x);
    EXPECT_DOUBLE_EQ(texts[0].y, c.y);
    EXPECT_DOUBLE_EQ(texts[0].fontSize, c.fontSize);
    // Every run of the element lands on the same baseline.
    for (const auto& t : texts) EXPECT_DOUBLE_EQ(t.y, c.y);
  }
}

TEST_F(VectorText, GroupRotationTurnsTheTextIntoAnOutline) {
  // The outline comes from the painter's font engine.
  if (VectorPaint(nullptr, nullptr, 0) == kVkErrUnsupported) {
    GTEST_SKIP() << "built without the painter";
  }
  ASSERT_EQ(Convert(Svg(R"svg(<g transform="rotate(30)"><text x="10" y="20">AB</text></g>)svg")), kOk);
  EXPECT_TRUE(OfType(kVoText).empty());
  const auto paths = OfType(kVoPath);
  ASSERT_EQ(paths.size(), 1u);
  StoredObject o(&vector_, paths[0]);
  ASSERT_EQ(o.status(), kVkOk);
  EXPECT_GT(o->path.count, 4);
}

TEST_F(VectorText, HiddenTextIsMarked) {
  const auto texts = ConvertTexts(R"svg(<text visibility="hidden">a</text><text>b</text>)svg");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].flags & kVoFlagHidden, static_cast<uint32_t>(kVoFlagHidden));
  EXPECT_EQ(texts[1].flags & kVoFlagHidden, 0u);
}

TEST_F(VectorText, TextInsideALinkCarriesTheLink) {
  const auto texts = ConvertTexts(R"svg(<a xlink:href="http://example.com/"><text>a</text></a>)svg");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(LinkOf(texts[0].id), u"http://example.com/");
}

// --- failures ---------------------------------------------------------------------

TEST_F(VectorText, EveryAllocationFailureEndsTheConversionWithoutLeaks) {
  const std::string svg = Svg(
      R"svg(<defs><text id="t">ref</text><path id="p" d="M0 0 C 10 10 20 10 100 0"/></defs>)svg"
      R"svg(<text x="10" y="20" letter-spacing="1">a&amp;b<tspan fill="red" x="1 2">cd</tspan>)svg"
      R"svg(<tref xlink:href="#t"/>e<textPath xlink:href="#p">fg</textPath></text>)svg");
  ASSERT_EQ(Load(svg), kOk);
  ASSERT_EQ(ConvertLoaded(), kOk);
  const std::size_t expected = Texts().size();
  EXPECT_EQ(expected, 11u);
  int64_t n = 1;
  for (; n < 500; ++n) {
    SCOPED_TRACE(n);
    NewVector();
    KernelFailAllocation(n);
    const Status status = ConvertDocument(&vector_, *document_, nullptr, nullptr);
    KernelFailAllocation(0);
    if (status == kOk) break;
    EXPECT_EQ(status, kErrNoMemory);
  }
  EXPECT_GT(n, 5);
  EXPECT_LT(n, 500);
  Enumerate();
  EXPECT_EQ(Texts().size(), expected);
}

}  // namespace
}  // namespace svgflt::testing
