#include "Common/FontElements.h"

#include <gtest/gtest.h>

#include <string>

#include "Common/SvgDocument.h"
#include "SvgSnippetLoad.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

class FontElements : public testing::SvgSnippetLoad {};

std::string Text(const char* text) { return text == nullptr ? "<null>" : text; }

TEST_F(FontElements, FontFaceDefaultsAndValues) {
  Loaded("<svg><font-face/></svg>");
  const FontFaceRecord& face = First(kElemFontFace).data.fontFace.own;
  for (int32_t i = 0; i < kFontFaceNumberCount; ++i) EXPECT_EQ(face.numbers[i], i == 0 ? 1000.0 : 0.0) << i;
  EXPECT_TRUE(Text(face.panose1) == "0 0 0 0 0 0 0 0 0 0" && Text(face.unicodeRange) == "U+0-10FFFF");
  EXPECT_TRUE(face.fontSize.value == 12.0 && face.fontSize.unit == kUnitNone && face.widths == nullptr);

  Loaded("<svg><font-face font-family='My Font' font-weight='bold' font-size='10pt' "
         "unicode-range='U+20-7E,\tU+A0' units-per-em='2048' overline-thickness='-1.5' "
         "bbox='0 0 10 10'/></svg>");
  const ElementRecord& record = First(kElemFontFace);
  const FontFaceRecord& given = record.data.fontFace.own;
  EXPECT_TRUE(given.numbers[0] == 2048 && given.numbers[kFontFaceNumberCount - 1] == -1.5);
  EXPECT_TRUE(Text(given.unicodeRange) == "U+20-7E U+A0" && Text(given.bbox) == "0 0 10 10");
  EXPECT_TRUE(given.fontSize.unit == kUnitPt && Text(CommonOf(record).props.fontFamily) == "My Font" &&
              CommonOf(record).props.fontWeight == 1);
}

TEST_F(FontElements, RefusesBadValuesAndRepeats) {
  const struct { const char* text; Status status; } kCases[] = {
      {"<font-face units-per-em='1' units-per-em='2'/>", kErrDuplicateAttribute},
      {"<font-face units-per-em='1e3'/>", kErrBadValue}, {"<font-face font-size='12 px'/>", kErrBadLength},
      {"<font-face font-style='slanted'/>", kErrBadValue}, {"<font-face panose-1=' , '/>", kErrBadValue},
      {"<font horiz-adv-x='wide'/>", kErrBadValue}, {"<font xml:space='preserve'/>", kErrBadLength},
      {"<glyph arabic-form='final'/>", kErrBadValue}, {"<glyph d='M0 0' d='M1 1'/>", kErrDuplicateAttribute},
      {"<hkern k='1x'/>", kErrBadValue}, {"<font-face-src xmlns:xlink='x'/>", kErrBadLength}};
  for (const auto& c : kCases) EXPECT_EQ(Load(std::string("<svg>") + c.text + "</svg>"), c.status) << c.text;
  EXPECT_EQ(Load("<svg version='1.0'><glyph xml:base='a'/></svg>"), kErrBadLength);
}

TEST_F(FontElements, FontGlyphKernAndSourceValues) {
  Loaded("<svg><defs><font id='f' horiz-adv-x='500' fill='red'><font-face ascent='1800' panose-1='2 0 5 3'>"
         "<font-face-src><font-face-uri xmlns:xlink='http://www.w3.org/1999/xlink' xlink:href='#f' xlink:type='simple'>"
         "<font-face-format string='svg'/></font-face-uri><font-face-name name='Arial'/></font-face-src>"
         "<definition-src xlink:href='d.svg'/></font-face><missing-glyph horiz-adv-x='400' d='M0 0L10 10z'/>"
         "<glyph unicode=' ' glyph-name='space' horiz-adv-x='250'/>"
         "<glyph unicode='A' orientation='v' arabic-form='medial' d='M 0 0 L 5 5'/>"
         "<hkern u1='A,  B' g2='x' k='-20'/><vkern g1='y' u2='C' k='3'/></font></defs></svg>");
  for (int32_t i = 2; i < document_->recordCount; ++i) EXPECT_TRUE(IsFontElementKind(Record(i).elementType)) << i;
  EXPECT_TRUE(First(kElemFont).data.font.own.horizAdvX == 500 &&
              CommonOf(First(kElemFont)).props.fill.paintKind == kPaintColor);
  const FontFaceRecord& face = First(kElemFontFace).data.fontFace.own;
  EXPECT_TRUE(face.numbers[7] == 1800 && Text(face.panose1) == "2 0 5 3");  // numbers[7]: ascent
  EXPECT_TRUE(Text(First(kElemFontFaceUri).data.fontFaceUri.own.href) == "f" &&
              Text(First(kElemDefinitionSrc).data.fontFaceUri.own.href) == "d.svg");
  EXPECT_EQ(First(kElemFontFaceSrc).parent, 3);
  const MissingGlyphRecord& missing = First(kElemMissingGlyph).data.missingGlyph.own;
  EXPECT_TRUE(missing.horizAdvX == 400 && missing.d.count == 3);
  // The space glyph's unicode is trimmed to nothing and still loads.
  const GlyphRecord& space = Record(10).data.glyph.own;
  EXPECT_TRUE(Text(space.unicode) == "" && Text(space.glyphName) == "space" && space.horizAdvX == 250);
  const GlyphRecord& a = Record(11).data.glyph.own;
  EXPECT_TRUE(Text(a.unicode) == "A" && a.orientation == 1 && a.arabicForm == 1 && Text(a.d) == "M 0 0 L 5 5");
  const KernRecord& hkern = First(kElemHkern).data.kern.own;
  EXPECT_TRUE(Text(hkern.u1) == "A B" && Text(hkern.g2) == "x" && hkern.g1 == nullptr && hkern.k == -20);
  EXPECT_EQ(First(kElemVkern).data.kern.own.k, 3.0);
}

}  // namespace
}  // namespace svgflt
