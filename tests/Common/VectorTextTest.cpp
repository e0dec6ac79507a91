// Text to vector text: runs, owners, fonts, alignment, rotation, placement
// and transforms, read back from the vector document.
#include "Common/VectorText.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "Common/VectorConvertFixture.h"

namespace svgflt::testing {
namespace {

// What a text object carries, copied out of the kernel's description, and
// the right edge of its extent.
struct TextSeen {
  std::u16string text;
  double x, y, fontSize;
  int32_t alignment, escapement;
  VectorLogFont font;
  int32_t brushColour;
  uint32_t flags;
  VectorObjectRef id;
  double right, bottom;
};

class VectorText : public VectorConvert {
 protected:
  std::vector<TextSeen> Texts() {
    std::vector<TextSeen> out;
    for (const VectorObjectHandle& h : OfType(kVoText)) {
      StoredObject o(&vector_, h);
      EXPECT_EQ(o.status(), kVkOk);
      const VectorTextObject& t = o->text;
      KernelPoint lower{}, upper{};
      EXPECT_EQ(VectorGetObjectExtent(&vector_, h.id, &lower, &upper), kVkOk);
      out.push_back(TextSeen{t.text != nullptr ? std::u16string(t.text) : u"", t.position.x,
                             t.position.y, t.fontSize, t.alignment, t.escapement, t.font,
                             t.brush.w[3], t.h.flags, h.id, upper.x, lower.y});
    }
    return out;
  }
  std::vector<TextSeen> ConvertTexts(std::string_view body) {
    EXPECT_EQ(Convert("<svg xmlns:xlink=\"http://www.w3.org/1999/xlink\">" + std::string(body) + "</svg>"),
              kOk);
    return Texts();
  }
};

// --- runs and owners ---------------------------------------------------------

// Which runs are drawn, in which order and with which owner's fill.
TEST_F(VectorText, RunsAndTheirOwners) {
  const struct {
    const char* body;
    std::vector<std::u16string> texts;
    std::vector<int32_t> colours;
  } cases[] = {
      // Nested tspans: each run takes its innermost owner.
      {R"svg(<text><tspan fill="red">a<tspan fill="blue">b</tspan>c</tspan>d</text>)svg",
       {u"a", u"b", u"c", u"d"}, {0x0000FF, 0xFF0000, 0x0000FF, 0}},
      // Runs of only line breaks, tabs or one blank draw nothing.
      {"<text xml:space=\"preserve\">\n\t<tspan>x</tspan>\r\n</text><text><tspan> </tspan></text>", {u"x"}, {0}},
      // References are drawn as their characters, markers in them as text.
      {"<text>&lt;TSPAN&gt; &amp;&quot;&apos; caf&#233; &#x41;</text>", {u"<TSPAN> &\"' caf\u00e9 A"}, {0}},
      // A tref draws the referenced text's characters with its own paint.
      {R"svg(<defs><text id="t">Ref<tspan>er</tspan></text></defs>)svg"
       R"svg(<text>x<tref xlink:href="#t" fill="red"/><tref xlink:href="#none"/></text>)svg",
       {u"x", u"Refer"}, {0, 0x0000FF}},
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
      EXPECT_TRUE(i == 0 || texts[i].x > texts[i - 1].x) << i;
    }
  }
}

// A textPath's characters follow its path one by one after the text's own
// runs, each anchored at its middle and turned to the path's direction.
TEST_F(VectorText, TextPathCharactersFollowThePath) {
  const struct { const char *d, *attributes; int32_t escapement; bool alongX; } cases[] = {{"M10 50 H300", "", 0, true}, {"M100 20 V190", "", 2700, false},
               {"M300 50 H10", "startOffset=\"10\"", 1800, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.d);
    const auto texts = ConvertTexts(
        std::string("<defs><path id=\"p\" d=\"") + c.d + "\"/></defs><text x=\"5\" y=\"9\">"
        "z<textPath xlink:href=\"#p\" fill=\"red\" " + c.attributes + ">ab c</textPath></text>");
    ASSERT_EQ(texts.size(), 4u);  // z, then a, b and c; the blank only advances
    EXPECT_EQ(texts[0].text, u"z");
    EXPECT_EQ(texts[3].text, u"c");
    for (size_t i = 1; i < 4; ++i) {
      EXPECT_EQ(texts[i].alignment, kCharAlignMiddle);
      EXPECT_EQ(texts[i].escapement, c.escapement);
      EXPECT_EQ(texts[i].brushColour, 0x0000FF);
    }
    // Each next character further along the path, which it stays on.
    const double a = c.alongX ? texts[1].x : -texts[1].y;
    const double b = c.alongX ? texts[2].x : -texts[2].y;
    EXPECT_GT(c.escapement == 1800 ? a - b : b - a, 0);
    EXPECT_DOUBLE_EQ(c.alongX ? texts[2].y : texts[2].x, c.alongX ? -50.0 : 100.0);
  }
}

// --- fonts -------------------------------------------------------------------

// "face weight [italic] [underline] [strike] size/height" of the run's font.
TEST_F(VectorText, FontAttributesReachTheLogicalFont) {
  const std::pair<const char*, std::string> cases[] = {
      {"", " 400 12/-12"},
      {"font-family=\"sans-serif\" font-size=\"12pt\"", "sansserif 400 16/-16"},
      {"font-family=\"'Times New Roman', serif\" font-weight=\"bold\"", "Times New Roman 700 12/-12"},
      {"font-family=\" An Extremely Long Family Name Beyond ,serif\" font-weight=\"300\"",
       "An Extremely Long Family Name B 300 12/-12"},
      {"font-style=\"oblique\" text-decoration=\"line-through\"", " 400 italic strike 12/-12"},
      {"style=\"font-weight:bold;font-style:italic;text-decoration:underline\" font-size=\"24\"",
       " 700 italic underline 24/-24"},
  };
  for (const auto& [attributes, expected] : cases) {
    SCOPED_TRACE(attributes);
    const auto texts = ConvertTexts(std::string("<text ") + attributes + ">A</text>");
    ASSERT_EQ(texts.size(), 1u);
    const VectorLogFont& f = texts[0].font;
    std::ostringstream font;
    for (const char16_t* p = f.faceName; *p != 0; ++p) font << static_cast<char>(*p);
    font << ' ' << f.weight << (f.italic ? " italic" : "") << (f.underline ? " underline" : "")
         << (f.strikeOut ? " strike" : "") << ' ' << texts[0].fontSize << '/' << f.height;
    EXPECT_EQ(font.str(), expected);
  }
}

// --- alignment and rotation ------------------------------------------------------

TEST_F(VectorText, AnchorAndRotateGiveAlignmentAndEscapement) {
  const struct { const char *anchor, *rotate; int32_t whole, perCharacter, escapement; } cases[] = {{"start", "90", kRunAlignStart, kCharAlignOther, 2700},
               {"middle", "370", kRunAlignMiddle, kCharAlignMiddle, -100},
               {"end", "-90", kRunAlignEnd, kCharAlignEnd, 900},
               {"start", "45.55", kRunAlignStart, kCharAlignOther, 3144}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rotate);
    auto texts = ConvertTexts(std::string("<text x=\"10\" text-anchor=\"") + c.anchor +
                              "\" rotate=\"" + c.rotate + "\">AB</text>");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].alignment, c.whole);
    EXPECT_EQ(texts[0].escapement, c.escapement);
    texts = ConvertTexts(std::string("<text text-anchor=\"") + c.anchor + "\"><tspan rotate=\"" +
                         c.rotate + "\" x=\"10 20\">AB</tspan></text>");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].alignment, c.perCharacter);
    EXPECT_EQ(texts[0].escapement, c.escapement);
  }
  // A rotate list turns every character; its last angle holds.
  const auto texts = ConvertTexts(R"svg(<text><tspan rotate="90 180">efg</tspan></text>)svg");
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].escapement, 2700);
  EXPECT_EQ(texts[2].escapement, 1800);
  EXPECT_EQ(RotateEscapement(800.0, 0), -800);  // the remainder keeps the dividend's sign
  EXPECT_EQ(RotateEscapement(90.0, 1000), 100);
}

// --- placement and transforms ------------------------------------------------

// Where each run lands: at x, or x after the right edge of the run before;
// the first run's size under the groups' and the text's own transforms, the
// text's acting first.
TEST_F(VectorText, PositionsShiftsSpacingAndTransformsPlaceTheRuns) {
  struct Run { double x, y; bool afterPrevious; };
  const struct { const char* body; double size; std::vector<Run> runs; } cases[] = {
      // dx and dy shift the first run of their owner, and what follows.
      {R"svg(<text x="10" y="20" dx="5" dy="3">a<tspan dx="7" dy="-2">b</tspan>c</text>)svg", 12,
       {{15, -23, false}, {7, -21, true}, {0, -21, true}}},
      {R"svg(<text x="0" y="20" letter-spacing="3" word-spacing="10">a b</text>)svg", 12,
       {{0, -20, false}, {3, -20, true}, {13, -20, true}}},
      // An x list places each character on a new line; past it they follow.
      {R"svg(<text x="0" y="20">o<tspan x="10 30 50" y="40">abcd</tspan></text>)svg", 12,
       {{0, -20, false}, {10, -40, false}, {30, -40, false}, {50, -40, false}, {0, -40, true}}},
      {R"svg(<text x="10" y="20" transform="translate(100,50)">a<tspan>b</tspan></text>)svg", 12,
       {{110, -70, false}, {0, -70, true}}},
      {R"svg(<g transform="scale(2)"><text x="10" y="20" transform="translate(5,0)">A</text></g>)svg",
       24, {{30, -40, false}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    const auto texts = ConvertTexts(c.body);
    ASSERT_EQ(texts.size(), c.runs.size());
    EXPECT_DOUBLE_EQ(texts[0].fontSize, c.size);
    for (size_t i = 0; i < texts.size(); ++i) {
      EXPECT_DOUBLE_EQ(texts[i].x, c.runs[i].x + (c.runs[i].afterPrevious ? texts[i - 1].right : 0)) << i;
      EXPECT_DOUBLE_EQ(texts[i].y, c.runs[i].y) << i;
    }
  }
  // A vertical writing mode stacks the runs.
  const auto texts = ConvertTexts(R"svg(<text x="10" y="20" writing-mode="tb">a<tspan>b</tspan></text>)svg");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_DOUBLE_EQ(texts[1].x, 10.0);
  EXPECT_DOUBLE_EQ(texts[1].y, texts[0].bottom);
}

// Hidden text is marked, a link carried; a group rotation turns the text
// into an outline, from the painter's font engine.
TEST_F(VectorText, VisibilityLinksAndGroupRotation) {
  if (VectorPaint(nullptr, nullptr, 0) == kVkErrUnsupported) GTEST_SKIP() << "built without the painter";
  const auto texts = ConvertTexts(
      R"svg(<text visibility="hidden">a</text><a xlink:href="http://example.com/"><text>b</text></a>)svg"
      R"svg(<g transform="rotate(30)"><text x="10" y="20">AB</text></g>)svg");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].flags & kVoFlagHidden, static_cast<uint32_t>(kVoFlagHidden));
  EXPECT_EQ(texts[1].flags & kVoFlagHidden, 0u);
  EXPECT_EQ(LinkOf(texts[1].id), u"http://example.com/");
  ASSERT_EQ(OfType(kVoPath).size(), 1u);
  StoredObject o(&vector_, OfType(kVoPath)[0]);
  EXPECT_GT(o->path.count, 4);
}

// Text paths and letter spacing are beyond the whole-call fault sweeps.
TEST_F(VectorText, EveryAllocationFailureEndsTheConversionWithoutLeaks) {
  ASSERT_EQ(Load(R"svg(<svg xmlns:xlink="http://www.w3.org/1999/xlink"><defs>)svg"
                 R"svg(<path id="p" d="M0 0 C 10 10 20 10 100 0"/>)svg"
                 R"svg(</defs><text x="10" y="20" letter-spacing="1">a<tspan x="1 2">cd</tspan>)svg"
                 R"svg(<textPath xlink:href="#p">fg</textPath></text></svg>)svg"),
            kOk);
  Status status = kErrNoMemory;
  int64_t n = 0;
  while (status == kErrNoMemory && ++n < 500) {
    NewVector();
    KernelFailAllocation(n);
    status = ConvertDocument(&vector_, *document_, nullptr, nullptr);
    KernelFailAllocation(0);
  }
  EXPECT_EQ(status, kOk) << n;  // every refusal before gave kErrNoMemory
  EXPECT_GT(n, 5);
  Enumerate();
  EXPECT_EQ(Texts().size(), 5u);
}

}  // namespace
}  // namespace svgflt::testing
