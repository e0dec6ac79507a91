#include "Common/TextUtil.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "Common/SvgDocument.h"
#include "ImagingKernel/ImagingKernel.h"
#include "SvgSnippetLoad.h"
#include "svgfilter/FilterStatus.h"

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

// "1px 2% 3mm 4em 5": values with their units.
std::string Text(const LengthList& list) {
  std::ostringstream out;
  for (int32_t i = 0; i < list.count; ++i) {
    const SvgLength& l = list.items[i];
    out << (i > 0 ? " " : "") << l.value;
    static_assert(kUnitIn == 0 && kUnitNone == 8, "the unit names below");
    static const char* const kUnitNames[] = {"in", "em", "ex", "px", "pc", "pt", "cm", "mm", ""};
    out << (l.isPercent != 0 ? "%" : "") << kUnitNames[l.unit];
  }
  return out.str();
}

std::string Text(const NumberList& list) {
  std::ostringstream out;
  for (int32_t i = 0; i < list.count; ++i) out << (i > 0 ? " " : "") << list.items[i];
  return out.str();
}

TEST(ParseLengthList, ItemsUnitsAndRefusedKinds) {
  const struct { const char* text; int32_t kind; Status status; const char* items; } cases[] = {
      {"10, 20 30", kElemTspan, kOk, "10 20 30"}, {"  ,,1\t\n2\r3 ,", kElemTref, kOk, "1 2 3"},
      {" , \t", kElemText, kOk, ""}, {"1px 2% 3mm 4", kElemText, kOk, "1px 2% 3mm 4"},
      // A malformed item stands as 0 user units and ends the list.
      {"1 2q 3", kElemAltGlyph, kOk, "1 0"}, {"1 2 1e3", kElemText, kOk, "1 2 0"},
      {"1", kElemTextPath, kErrMissing, ""}, {nullptr, kElemText, kErrMissing, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text != nullptr ? c.text : "null");
    Lists lists;
    EXPECT_EQ(ParseLengthList(c.text, c.kind, &lists.lengths), c.status);
    EXPECT_EQ(Text(lists.lengths), c.items);
  }
  EXPECT_EQ(ParseLengthList("1", kElemText, nullptr), kErrMissing);
}

TEST(ParseNumberList, StopsBeforeTheFirstItemThatIsNoNumber) {
  const std::pair<const char*, const char*> cases[] = {
      {"15 abc 30", "15"}, {"-90, 45.5\t0", "-90 45.5 0"}, {"1 +2 3", "1"}, {"5deg", ""}};
  for (const auto& [text, items] : cases) {
    SCOPED_TRACE(text);
    Lists lists;
    EXPECT_EQ(ParseNumberList(text, kElemTspan, &lists.numbers), kOk);
    EXPECT_EQ(Text(lists.numbers), items);
  }
}

// Lists grow past their first block, keeping every item; a list replaces the
// one held; a failed allocation (the working copy, the first block, the
// growth) leaves the list empty.
TEST(ParseLengthList, ListsGrowAndReplaceTheOneHeld) {
  std::string text;
  std::string spaced;
  for (int i = 0; i < 16; ++i) {
    text += std::to_string(i) + ",";
    spaced += (i > 0 ? " " : "") + std::to_string(i);
  }
  {
    Lists lists;
    ASSERT_EQ(ParseLengthList("9 9 9 9 9 9 9", kElemText, &lists.lengths), kOk);
    ASSERT_EQ(ParseLengthList(text.c_str(), kElemText, &lists.lengths), kOk);
    ASSERT_EQ(ParseNumberList(text.c_str(), kElemText, &lists.numbers), kOk);
    EXPECT_EQ(Text(lists.lengths), spaced);
    EXPECT_EQ(Text(lists.numbers), spaced);
  }
  for (int64_t n : {1, 2, 3}) {
    Lists lists;
    KernelFailAllocation(n);
    EXPECT_EQ(ParseLengthList("1 2 3 4 5 6", kElemText, &lists.lengths), kErrNoMemory) << n;
    KernelFailAllocation(0);
    EXPECT_EQ(lists.lengths.items, nullptr) << n;
  }
}

// --- text elements ----------------------------------------------------------------

class TextElements : public testing::SvgSnippetLoad {
 protected:
  TextRecord& TextRec() { return First(kElemText).data.text.own; }
};

TEST_F(TextElements, TextAndTspanAttributes) {
  Loaded("<svg><text x='10' dx='5' rotate='9 8' textLength='5mm' lengthAdjust='spacingAndGlyphs' id='t' "
         "xml:lang='en' style='fill:red' requiredExtensions='x' enable-background='new' foo='1' xmlns:a='b' "
         "transform='translate(1 2)'>Hi<tspan x='10, 20 30' rotate='15 abc 30' dy='1em'>b</tspan>"
         "</text></svg>");
  const TextRecord& text = TextRec();
  EXPECT_EQ(text.textLength.unit, kUnitMm);
  EXPECT_EQ(text.lengthAdjust, 1);
  EXPECT_EQ(text.dx.count + text.rotate.count, 3);
  const TspanRecord& tspan = First(kElemTspan).data.tspan.own;
  EXPECT_EQ(Text(tspan.rotate), "15");
  EXPECT_EQ(Text(tspan.dy), "1em");
  // The flattened content of both, with the reader's empty text after the tspan.
  EXPECT_STREQ(text.content, "<STRING>Hi</STRING><TSPAN><STRING>b</STRING></TSPAN><STRING></STRING>");
  EXPECT_STREQ(tspan.content, "<STRING>b</STRING>");
  // The position lists of text need version 1.1.
  Loaded("<svg version='1.0'><text dx='5' rotate='9'>a</text></svg>");
  EXPECT_EQ(TextRec().dx.count + TextRec().rotate.count, 0);
}

// Keywords, and the characters the textPath draws itself: blanks collapsed,
// ends trimmed, those of its tspans included.
TEST_F(TextElements, TextPathKeywordsAndCharacters) {
  const struct {
    const char* attributes;
    const char* content;
    Status status;
    int32_t method, spacing;
    const char* characters;
  } cases[] = {
      {"method='stretch' spacing='exact'", "t", kOk, 1, 1, "t"},
      {"method='ALIGN' spacing='Auto'", "t", kOk, 0, 0, "t"},
      {"", " a\n\t <tspan>b  c</tspan> d ", kOk, 0, 0, "a b c d"},
      {"", "  ", kOk, 0, 0, nullptr},
      {"method='warp'", "t", kErrBadValue, 0, 0, nullptr},
      {"spacing='auto' spacing='exact'", "t", kErrDuplicateAttribute, 0, 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.attributes);
    ASSERT_EQ(Load(std::string("<svg><text><textPath xlink:href='#p' ") + c.attributes + ">" +
                   c.content + "</textPath></text></svg>"),
              c.status);
    if (c.status != kOk) continue;
    const TextPathRecord& path = First(kElemTextPath).data.textPath.own;
    EXPECT_EQ(path.method, c.method);
    EXPECT_EQ(path.spacing, c.spacing);
    EXPECT_STREQ(path.href, "p");
    EXPECT_STREQ(path.content == nullptr ? "(none)" : path.content,
                 c.characters == nullptr ? "(none)" : c.characters);
  }
}

TEST_F(TextElements, RefusesRepeatsAndUnacceptedNames) {
  const std::pair<const char*, Status> cases[] = {  // inside <svg>, unless given
      {"<text><tspan lengthAdjust='spacing' lengthAdjust='spacing'/></text>", kErrDuplicateAttribute},
      {"<svg version='1.0'><text dx='5' dx='6'/></svg>", kOk},  // ignored, so no repeat
      {"<text x='1' x='2'/>", kErrDuplicateAttribute}, {"<text lengthAdjust='squeeze'/>", kErrBadValue},
      {"<text x='1 px'/>", kErrBadLength}, {"<text xml:foo='1'/>", kErrBadLength},
      {"<altGlyphDef xml:lang='en'/>", kErrBadLength}, {"<glyphRef xml:space='preserve'/>", kErrBadLength},
      {"<glyphRef glyphRef=''/>", kErrMissing}, {"<glyphRef x='1px'/>", kErrBadValue},
      {"<text><altGlyph format=' '>a</altGlyph></text>", kErrMissing},
  };
  for (const auto& [body, status] : cases) {
    const std::string svg =
        std::string_view(body).substr(0, 4) == "<svg" ? body : "<svg>" + std::string(body) + "</svg>";
    EXPECT_EQ(Load(svg), status) << svg;
  }
}

TEST_F(TextElements, ReferencesLoseTheirHash) {
  Loaded("<svg><text><tref xlink:href='#t1' x='1 2'/><altGlyph xlink:href='#g' glyphRef='r' "
         "format='f'>a</altGlyph></text><altGlyphDef><altGlyphItem><glyphRef xlink:href='#q' "
         "x='1.5' dx='2px'/></altGlyphItem></altGlyphDef></svg>");
  EXPECT_STREQ(First(kElemAltGlyph).data.altGlyph.own.href, "g");
  EXPECT_STREQ(First(kElemGlyphRef).data.glyphRef.own.href, "q");
  EXPECT_EQ(First(kElemGlyphRef).data.glyphRef.own.dx.unit, kUnitPx);
}

}  // namespace
}  // namespace svgflt
