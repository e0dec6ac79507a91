#include "Common/Properties.h"

#include <gtest/gtest.h>

#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Common/MyStrtok.h"
#include "Common/Parser/Elements.h"
#include "Common/SvgDocument.h"
#include "ImagingKernel/ImagingKernel.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

constexpr double kVersion11 = 1.1;
constexpr double kVersion10 = 1.0;

std::string Text(const char* text) { return text == nullptr ? "<null>" : text; }

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

// A record with its defaults, freed at the end; the tokenizer state starts
// and ends empty.
class PropertiesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MyStrtokReset();
    ASSERT_EQ(InitPresentationProperties(props), kOk);
  }
  void TearDown() override {
    FreePresentationProperties(props);
    MyStrtokReset();
  }

  Status Apply(std::string_view name, const char* value, double version = kVersion11) {
    return ParseProperty(name, value, props, version);
  }

  // A byte image of the record (pointers included) to prove that a failed
  // value changed nothing.
  std::vector<unsigned char> Snapshot() const {
    std::vector<unsigned char> bytes(sizeof props);
    std::memcpy(bytes.data(), &props, sizeof props);
    return bytes;
  }
  bool Unchanged(const std::vector<unsigned char>& before) const {
    return std::memcmp(before.data(), &props, sizeof props) == 0;
  }

  PresentationProperties props{};
};

// --- keyword properties -------------------------------------------------------

struct KeywordProperty {
  const char* name;
  std::span<const std::string_view> table;
  int32_t PresentationProperties::*field;
};

const KeywordProperty kKeywordProperties[] = {
    {"writing-mode", kWritingModeKeywords, &PresentationProperties::writingMode},
    {"direction", kDirectionKeywords, &PresentationProperties::direction},
    {"unicode-bidi", kUnicodeBidiKeywords, &PresentationProperties::unicodeBidi},
    {"text-anchor", kTextAnchorKeywords, &PresentationProperties::textAnchor},
    {"dominant-baseline", kDominantBaselineKeywords, &PresentationProperties::dominantBaseline},
    {"alignment-baseline", kAlignmentBaselineKeywords,
     &PresentationProperties::alignmentBaseline},
    {"text-decoration", kTextDecorationKeywords, &PresentationProperties::textDecoration},
    {"font-style", kFontStyleKeywords, &PresentationProperties::fontStyle},
    {"font-weight", kFontWeightKeywords, &PresentationProperties::fontWeight},
    {"font-variant", kFontVariantKeywords, &PresentationProperties::fontVariant},
    {"font-stretch", kFontStretchKeywords, &PresentationProperties::fontStretch},
    {"fill-rule", kFillRuleKeywords, &PresentationProperties::fillRule},
    {"stroke-linecap", kLineCapKeywords, &PresentationProperties::strokeLineCap},
    {"stroke-linejoin", kLineJoinKeywords, &PresentationProperties::strokeLineJoin},
    {"display", kDisplayKeywords, &PresentationProperties::display},
    {"visibility", kVisibilityKeywords, &PresentationProperties::visibility},
    {"color-interpolation", kColorInterpolationKeywords,
     &PresentationProperties::colorInterpolation},
    {"color-interpolation-filters", kColorInterpolationKeywords,
     &PresentationProperties::colorInterpolationFilters},
    {"color-rendering", kRenderingQualityKeywords, &PresentationProperties::colorRendering},
    {"image-rendering", kRenderingQualityKeywords, &PresentationProperties::imageRendering},
    {"shape-rendering", kShapeRenderingKeywords, &PresentationProperties::shapeRendering},
    {"text-rendering", kTextRenderingKeywords, &PresentationProperties::textRendering},
};

TEST_F(PropertiesTest, KeywordsStoreTheirIndexWithoutRegardToCase) {
  for (const KeywordProperty& property : kKeywordProperties) {
    for (std::size_t i = 0; i < property.table.size(); ++i) {
      const std::string keyword(property.table[i]);
      for (const std::string& written : {keyword, Upper(keyword), " " + keyword + " "}) {
        SCOPED_TRACE(std::string(property.name) + ": " + written);
        props.*property.field = -1;
        EXPECT_EQ(Apply(property.name, written.c_str()), kOk);
        EXPECT_EQ(props.*property.field, static_cast<int32_t>(i));
      }
    }
  }
}

TEST_F(PropertiesTest, KeywordsRefuseOtherWordsAndInherit) {
  for (const KeywordProperty& property : kKeywordProperties) {
    for (const char* value : {"inherit", "bogus", "", "  ", "auto-x"}) {
      SCOPED_TRACE(std::string(property.name) + ": '" + value + "'");
      const auto before = Snapshot();
      EXPECT_EQ(Apply(property.name, value), kErrBadValue);
      EXPECT_TRUE(Unchanged(before));
    }
    const auto before = Snapshot();
    EXPECT_EQ(Apply(property.name, nullptr), kErrMissing);
    EXPECT_TRUE(Unchanged(before));
  }
}

TEST_F(PropertiesTest, KeywordTablesKeepTheirStoredOrder) {
  struct Case {
    const char* name;
    const char* value;
    int32_t PresentationProperties::*field;
    int32_t index;
  };
  const Case cases[] = {
      {"dominant-baseline", "alphbetic", &PresentationProperties::dominantBaseline, 5},
      {"dominant-baseline", "text-bottom", &PresentationProperties::dominantBaseline, 14},
      {"display", "none", &PresentationProperties::display, kDisplayNone},
      {"visibility", "hidden", &PresentationProperties::visibility, kVisibilityHidden},
      {"font-weight", "900", &PresentationProperties::fontWeight, 12},
      {"writing-mode", "tb", &PresentationProperties::writingMode, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ": " + c.value);
    EXPECT_EQ(Apply(c.name, c.value), kOk);
    EXPECT_EQ(props.*c.field, c.index);
  }
  // The usual spelling is not in the dominant-baseline table.
  EXPECT_EQ(Apply("dominant-baseline", "alphabetic"), kErrBadValue);
  EXPECT_EQ(Apply("font-weight", "950"), kErrBadValue);
}

// --- lengths and numbers ------------------------------------------------------------

TEST_F(PropertiesTest, LengthPropertiesStoreUnitValueAndPercent) {
  struct Case {
    const char* name;
    SvgLength PresentationProperties::*field;
  };
  const Case cases[] = {{"font-size", &PresentationProperties::fontSize},
                        {"stroke-width", &PresentationProperties::strokeWidth},
                        {"stroke-dashoffset", &PresentationProperties::strokeDashoffset}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Apply(c.name, "12.5PX"), kOk);
    EXPECT_EQ((props.*c.field).unit, kUnitPx);
    EXPECT_EQ((props.*c.field).value, 12.5);
    EXPECT_EQ((props.*c.field).isPercent, 0);
    EXPECT_EQ(Apply(c.name, "50%"), kOk);
    EXPECT_EQ((props.*c.field).unit, kUnitNone);
    EXPECT_EQ((props.*c.field).isPercent, 1);
    for (const char* bad : {"inherit", "10 px", "1e3px", "+5", "px"}) {
      SCOPED_TRACE(bad);
      const auto before = Snapshot();
      EXPECT_EQ(Apply(c.name, bad), kErrBadLength);
      EXPECT_TRUE(Unchanged(before));
    }
  }
}

TEST_F(PropertiesTest, KeywordLengthsTakeTheirKeywordOrALength) {
  struct Case {
    const char* name;
    const char* keyword;
    const char* otherKeyword;
    KeywordLength PresentationProperties::*field;
  };
  const Case cases[] = {
      {"kerning", "AUTO", "normal", &PresentationProperties::kerning},
      {"letter-spacing", "Normal", "auto", &PresentationProperties::letterSpacing},
      {"word-spacing", "normal", "auto", &PresentationProperties::wordSpacing},
      {"top", "auto", "normal", &PresentationProperties::top},
      {"right", "auto", "normal", &PresentationProperties::right},
      {"bottom", "auto", "normal", &PresentationProperties::bottom},
      {"left", "auto", "normal", &PresentationProperties::left},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Apply(c.name, c.keyword), kOk);
    EXPECT_EQ((props.*c.field).isKeyword, 1);
    EXPECT_EQ(Apply(c.name, "3mm"), kOk);
    EXPECT_EQ((props.*c.field).isKeyword, 0);
    EXPECT_EQ((props.*c.field).length.unit, kUnitMm);
    EXPECT_EQ((props.*c.field).length.value, 3);
    for (const char* bad : {"inherit", c.otherKeyword, "3 mm"}) {
      SCOPED_TRACE(bad);
      const auto before = Snapshot();
      EXPECT_EQ(Apply(c.name, bad), kErrBadLength);
      EXPECT_TRUE(Unchanged(before));
    }
  }
}

// Values applied in order: each row gives the status and what the record
// holds afterwards; a refused value changes nothing.
TEST_F(PropertiesTest, SingleValuePropertiesInOrder) {
  using P = const PresentationProperties&;
  struct Case {
    const char* name;
    const char* value;
    Status status;
    bool (*holds)(P);
    double version = kVersion11;
  };
  const Case cases[] = {
      {"baseline-shift", "SUPER", kOk, [](P p) { return p.baselineShift.keyword == 2; }},
      {"baseline-shift", "-4px", kOk,
       [](P p) {
         return p.baselineShift.keyword == kBaselineShiftNotKeyword &&
                p.baselineShift.length.value == -4 && p.baselineShift.length.unit == kUnitPx;
       }},
      {"baseline-shift", "sub", kOk, [](P p) { return p.baselineShift.keyword == 1; }},
      {"baseline-shift", "inherit", kErrBadLength,
       [](P p) { return p.baselineShift.keyword == 1; }},
      {"glyph-orientation-vertical", "Auto", kOk,
       [](P p) { return p.glyphOrientationVertical.isAuto == 1; }},
      {"glyph-orientation-vertical", "90", kOk,
       [](P p) {
         return p.glyphOrientationVertical.isAuto == 0 &&
                p.glyphOrientationVertical.angle.value == 90 &&
                p.glyphOrientationVertical.angle.unit == kAngleDeg;
       }},
      {"glyph-orientation-horizontal", "1.5rad", kOk,
       [](P p) {
         return p.glyphOrientationHorizontal.value == 1.5 &&
                p.glyphOrientationHorizontal.unit == kAngleRad;
       }},
      // "auto" belongs to the vertical orientation only.
      {"glyph-orientation-horizontal", "auto", kErrBadValue, nullptr},
      {"glyph-orientation-vertical", "inherit", kErrBadValue, nullptr},
      {"glyph-orientation-vertical", "90 turns", kErrBadValue, nullptr},
      {"glyph-orientation-horizontal", "deg", kErrBadValue, nullptr},
      {"stroke-miterlimit", "4.5", kOk, [](P p) { return p.strokeMiterLimit == 4.5; }},
      {"stroke-miterlimit", "none", kErrBadValue, nullptr},
      {"font-size-adjust", "0.58", kOk,
       [](P p) { return p.fontSizeAdjust.value == 0.58 && p.fontSizeAdjust.isNone == 0; }},
      {"font-size-adjust", "NONE", kOk, [](P p) { return p.fontSizeAdjust.isNone == 1; }},
      {"font-size-adjust", "inherit", kErrBadValue, nullptr},
      {"color", "red", kOk,
       [](P p) { return p.color.colorForm == kColorFormName && Text(p.color.text) == "red"; }},
      {"color", "rgb(1,2,3)", kOk,
       [](P p) { return p.color.colorForm == kColorFormRgb && p.color.blue.value == 3; }},
      {"stop-color", "#123456", kOk,
       [](P p) {
         return p.stopColor.colorForm == kColorFormHex && Text(p.stopColor.text) == "#123456";
       }},
      {"stop-color", "currentColor", kOk,
       [](P p) {
         return p.stopColor.colorForm == kColorFormName &&
                Text(p.stopColor.text) == "currentColor";
       }},
      {"stop-color", "inherit", kOk, [](P p) { return Text(p.stopColor.text) == "inherit"; }},
      {"color-profile", "url(#p1)", kOk,
       [](P p) {
         return p.colorProfile.kind == kColorProfileReference && Text(p.colorProfile.text) == "p1";
       }},
      {"color-profile", "SRGB", kOk,
       [](P p) {
         return p.colorProfile.kind == kColorProfileKeyword && p.colorProfile.keyword == 1 &&
                p.colorProfile.text == nullptr;
       }},
      {"color-profile", " myProfile ", kOk,
       [](P p) {
         return p.colorProfile.kind == kColorProfileName &&
                Text(p.colorProfile.text) == "myProfile";
       }},
      {"color-profile", "  ", kErrBadValue, nullptr},
      {"font", " bold 12px Arial ", kOk,
       [](P p) { return p.font.kind == kFontText && Text(p.font.text) == "bold 12px Arial"; }},
      {"font", "Status-Bar", kOk,
       [](P p) {
         return p.font.kind == kFontSystem && p.font.keyword == 5 && p.font.text == nullptr;
       }},
      {"font", "", kErrBadValue, nullptr},
      {"font-family", "  Times New Roman\t", kOk,
       [](P p) { return Text(p.fontFamily) == "Times New Roman"; }},
      {"font-family", " ", kErrBadValue, nullptr},
      // Property names ignore case.
      {"FILL", "blue", kOk, [](P p) { return Text(p.fill.color.text) == "blue"; }},
      {"Font-Size", "20", kOk, [](P p) { return p.fontSize.value == 20; }},
      {"STROKE-LINEJOIN", "Bevel", kOk, [](P p) { return p.strokeLineJoin == 2; }},
      // The filter colour space needs version 1.1.
      {"color-interpolation-filters", "linearRGB", kOk,
       [](P p) { return p.colorInterpolationFilters == 0; }, kVersion10},
      {"color-interpolation-filters", "linearRGB", kOk,
       [](P p) { return p.colorInterpolationFilters == 2; }},
  };
  EXPECT_EQ(props.font.kind, kFontNotGiven);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ": '" + c.value + "'");
    const auto before = Snapshot();
    EXPECT_EQ(Apply(c.name, c.value, c.version), c.status);
    EXPECT_TRUE(c.status == kOk || Unchanged(before));
    EXPECT_TRUE(c.holds == nullptr || c.holds(props));
  }
}

TEST_F(PropertiesTest, OpacitiesAreStoredAsWrittenWithoutClamping) {
  struct Case {
    const char* name;
    float PresentationProperties::*field;
  };
  const Case cases[] = {{"opacity", &PresentationProperties::opacity},
                        {"fill-opacity", &PresentationProperties::fillOpacity},
                        {"stroke-opacity", &PresentationProperties::strokeOpacity},
                        {"stop-opacity", &PresentationProperties::stopOpacity}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Apply(c.name, " 0.25 "), kOk);
    EXPECT_EQ(props.*c.field, 0.25f);
    EXPECT_EQ(Apply(c.name, "2"), kOk);
    EXPECT_EQ(props.*c.field, 2.0f);
    EXPECT_EQ(Apply(c.name, "-.5"), kOk);
    EXPECT_EQ(props.*c.field, -0.5f);
    for (const char* bad : {"inherit", "50%", "1e2", "", "0.5.1"}) {
      SCOPED_TRACE(bad);
      const auto before = Snapshot();
      EXPECT_EQ(Apply(c.name, bad), kErrBadValue);
      EXPECT_TRUE(Unchanged(before));
    }
  }
}

TEST_F(PropertiesTest, DashArrayIsNoneOrAListOfLengths) {
  EXPECT_EQ(Apply("stroke-dasharray", "5, 3 2px\t10%"), kOk);
  EXPECT_EQ(props.strokeDashArray.kind, kDashList);
  ASSERT_EQ(props.strokeDashArray.count, 4);
  EXPECT_EQ(props.strokeDashArray.lengths[0].value, 5);
  EXPECT_EQ(props.strokeDashArray.lengths[0].unit, kUnitNone);
  EXPECT_EQ(props.strokeDashArray.lengths[1].value, 3);
  EXPECT_EQ(props.strokeDashArray.lengths[2].unit, kUnitPx);
  EXPECT_EQ(props.strokeDashArray.lengths[3].isPercent, 1);

  const auto before = Snapshot();
  EXPECT_EQ(Apply("stroke-dasharray", "5,x,3"), kErrBadLength);
  EXPECT_EQ(Apply("stroke-dasharray", "inherit"), kErrBadLength);
  EXPECT_EQ(Apply("stroke-dasharray", " , ,"), kErrBadValue);
  EXPECT_EQ(Apply("stroke-dasharray", ""), kErrBadValue);
  EXPECT_TRUE(Unchanged(before));

  EXPECT_EQ(Apply("stroke-dasharray", "None"), kOk);
  EXPECT_EQ(props.strokeDashArray.kind, kDashNone);
  EXPECT_EQ(props.strokeDashArray.count, 0);
  EXPECT_EQ(props.strokeDashArray.lengths, nullptr);
}

// --- paints, colours, references and texts ----------------------------------------------

TEST_F(PropertiesTest, PaintsTakeEveryFormAndKeepInheritAsAName) {
  struct Case {
    const char* value;
    int32_t kind;
    const char* text;
  };
  const Case cases[] = {
      {"red", kPaintColor, "red"},       {"NONE", kPaintNone, "<null>"},
      {"currentcolor", kPaintCurrentColor, "<null>"},
      {"url(#grad) red", kPaintServer, "grad"}, {"#0f0", kPaintColor, "#0f0"},
      {"inherit", kPaintColor, "inherit"},
  };
  for (const char* name : {"fill", "stroke"}) {
    SvgPaint PresentationProperties::*field =
        std::string_view(name) == "fill" ? &PresentationProperties::fill
                                         : &PresentationProperties::stroke;
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(name) + ": " + c.value);
      EXPECT_EQ(Apply(name, c.value), kOk);
      EXPECT_EQ((props.*field).paintKind, c.kind);
      EXPECT_EQ(Text((props.*field).color.text), c.text);
    }
  }
  EXPECT_EQ(Apply("fill", nullptr), kErrMissing);
  EXPECT_EQ(props.fill.paintKind, kPaintColor);
}

TEST_F(PropertiesTest, ReferencesAreNoneOrUrl) {
  // The clip path and the markers are records of different types with the
  // same members.
  auto check = [this](const char* name, auto field) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Apply(name, " URL(#shape) "), kOk);
    EXPECT_EQ((props.*field).kind, kReferenceUrl);
    EXPECT_EQ(Text((props.*field).id), "shape");
    for (const char* bad : {"#shape", "url(shape)", "url(#shape", "inherit", ""}) {
      SCOPED_TRACE(bad);
      const auto before = Snapshot();
      EXPECT_EQ(Apply(name, bad), kErrBadValue);
      EXPECT_TRUE(Unchanged(before));
    }
    EXPECT_EQ(Apply(name, "none"), kOk);
    EXPECT_EQ((props.*field).kind, kReferenceNone);
    EXPECT_EQ((props.*field).id, nullptr);
  };
  check("clip-path", &PresentationProperties::clipPath);
  check("marker", &PresentationProperties::marker);
  check("marker-start", &PresentationProperties::markerStart);
  check("marker-mid", &PresentationProperties::markerMid);
  check("marker-end", &PresentationProperties::markerEnd);
}

// --- name dispatch ----------------------------------------------------------------------

TEST_F(PropertiesTest, NamesWithoutEffectAreAcceptedAndChangeNothing) {
  for (const char* name :
       {"clip", "flood-color", "lighting-color", "cursor", "overflow", "clip-rule", "mask",
        "enable-background", "filter", "flood-opacity", "pointer-events", "margin-top",
        "background-color", "z-index", "adobe-font-script", "text-align", "no-such-property",
        ""}) {
    SCOPED_TRACE(name);
    const auto before = Snapshot();
    EXPECT_EQ(Apply(name, "red"), kOk);
    EXPECT_EQ(Apply(name, "%%%"), kOk);
    EXPECT_TRUE(Unchanged(before));
  }
}

// --- the style attribute -----------------------------------------------------------------

class StyleAttributeTest : public PropertiesTest {
 protected:
  void SetUp() override {
    PropertiesTest::SetUp();
    document.version = kVersion11;
    document.xmlDocument = &xml;
  }

  Status Style(const char* text) { return ParseStyleAttribute(props, document, text); }

  AdvXMLParser::Document xml;
  SvgDocument document{};
};

TEST_F(StyleAttributeTest, SkipsWhitespaceAndEmptyDeclarations) {
  struct Case {
    const char* style;
    const char* fill;
  };
  const Case cases[] = {
      {"fill : red ; ", "red"},         {";;  ;fill:red;;", "red"},
      {"\tfill\n:\r\nr e d", "red"},    {"FILL:Red", "Red"},
      {"f i l l:red", "red"},           {"fill:rgb( 1 , 2 , 3 )", "<null>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    FreePresentationProperties(props);
    ASSERT_EQ(InitPresentationProperties(props), kOk);
    EXPECT_EQ(Style(c.style), kOk);
    EXPECT_EQ(props.fill.paintKind, kPaintColor);
    EXPECT_EQ(Text(props.fill.color.text), c.fill);
  }
}

TEST_F(StyleAttributeTest, EmptyOrNullAttributeDoesNothing) {
  const auto before = Snapshot();
  for (const char* style : {"", " ; ;", static_cast<const char*>(nullptr)}) {
    EXPECT_EQ(Style(style), kOk);
  }
  EXPECT_TRUE(Unchanged(before));
}

TEST_F(StyleAttributeTest, FontFamilyKeepsItsSpaces) {
  EXPECT_EQ(Style("font-family:Times New Roman;font-size : 14 px"), kOk);
  EXPECT_EQ(Text(props.fontFamily), "Times New Roman");
  // Other values lose their spaces, so "14 px" reads as "14px".
  EXPECT_EQ(props.fontSize.value, 14);
  EXPECT_EQ(props.fontSize.unit, kUnitPx);
  EXPECT_EQ(Style("FONT-FAMILY: Courier\tNew"), kOk);
  EXPECT_EQ(Text(props.fontFamily), "CourierNew");
}

TEST_F(StyleAttributeTest, LaterDeclarationsWinAndFailuresOnlyLoseThemselves) {
  EXPECT_EQ(Style("fill:red;fill:blue"), kOk);
  EXPECT_EQ(Text(props.fill.color.text), "blue");
  EXPECT_EQ(Style("font-size:20;font-size:inherit;opacity:x;stroke:green"), kOk);
  EXPECT_EQ(props.fontSize.value, 20);
  EXPECT_EQ(props.opacity, 1.0f);
  EXPECT_EQ(Text(props.stroke.color.text), "green");
  EXPECT_EQ(Style("margin-top:5px;fill:red"), kOk);
  EXPECT_EQ(Text(props.fill.color.text), "red");
  EXPECT_EQ(Style("fill:inherit;color:red"), kOk);
  EXPECT_EQ(Text(props.fill.color.text), "inherit");
  EXPECT_EQ(Text(props.color.text), "red");
  EXPECT_EQ(Style("no colon here;stroke-width:3"), kOk);
  EXPECT_EQ(props.strokeWidth.value, 3);
}

TEST_F(StyleAttributeTest, ExpandsEntityReferencesOnce) {
  xml.entities["st0"] = "fill:red";
  xml.entities["font"] = "font-family : Times New Roman ;font-size:\t9";
  xml.entities["a"] = "&b;fill:red";  // the replacement is not expanded again
  xml.entities["b"] = "stroke:blue";
  struct Case {
    const char* style;
    const char* fill;
    const char* stroke;
  };
  const Case cases[] = {
      {"&st0;stroke:blue", "red", "blue"},
      {"&nothing;stroke:blue", "<null>", "blue"},
      {"&a;", "red", "<null>"},
      // An entity reference with a value is an ordinary (unknown) declaration.
      {"&st0:x;stroke:black", "<null>", "black"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    FreePresentationProperties(props);
    ASSERT_EQ(InitPresentationProperties(props), kOk);
    EXPECT_EQ(Style(c.style), kOk);
    EXPECT_EQ(Text(props.fill.paintKind == kPaintNotGiven ? nullptr : props.fill.color.text),
              c.fill);
    EXPECT_EQ(Text(props.stroke.color.text), c.stroke);
  }
  EXPECT_EQ(Style("stroke-width:2;&font;opacity:0.5"), kOk);
  EXPECT_EQ(Text(props.fontFamily), "TimesNewRoman");
  EXPECT_EQ(props.fontSize.value, 9);
  EXPECT_EQ(props.strokeWidth.value, 2);
  EXPECT_EQ(props.opacity, 0.5f);
  // Without an entity table the reference is skipped.
  document.xmlDocument = nullptr;
  EXPECT_EQ(Style("&st0;fill:green"), kOk);
  EXPECT_EQ(Text(props.fill.color.text), "green");
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/MyStrtok"), 0);
  EXPECT_EQ(MyStrtok(nullptr, ";"), nullptr);
}

TEST_F(StyleAttributeTest, CutsDeclarationsAt255Characters) {
  const std::string family(300, 'a');
  const std::string style = "font-family:" + family + ";fill:red";
  EXPECT_EQ(Style(style.c_str()), kOk);
  EXPECT_EQ(Text(props.fontFamily), std::string(255, 'a'));
  EXPECT_EQ(Text(props.fill.color.text), "red");

  // A name cut to 255 characters matches nothing; the next declaration applies.
  const std::string longName = std::string(250, 'x') + "-fill-opacity:0.5;stroke:blue";
  EXPECT_EQ(Style(longName.c_str()), kOk);
  EXPECT_EQ(props.fillOpacity, kOpacityNotGiven);
  EXPECT_EQ(Text(props.stroke.color.text), "blue");

  const std::string exact = "font-family:" + std::string(255, 'b');
  EXPECT_EQ(Style(exact.c_str()), kOk);
  EXPECT_EQ(Text(props.fontFamily), std::string(255, 'b'));
}

TEST_F(StyleAttributeTest, EntityTextAppliesOnItsOwn) {
  EXPECT_EQ(ParseStyleEntity(props, "fill : red ; font-family: A B", kVersion11), kOk);
  EXPECT_EQ(Text(props.fill.color.text), "red");
  EXPECT_EQ(Text(props.fontFamily), "AB");
  EXPECT_EQ(ParseStyleEntity(props, nullptr, kVersion11), kErrMissing);
}

// --- attribute groups ------------------------------------------------------------------------

using GroupParser = Status (*)(PropertyMasks&, PresentationProperties&, std::string_view,
                               const char*, double);

struct GroupCase {
  const char* group;
  GroupParser parse;
  std::vector<std::pair<const char*, const char*>> names;  // name and a valid value
};

const std::vector<GroupCase>& Groups() {
  static const std::vector<GroupCase> groups = {
      {"font", ParseFontAttribute,
       {{"font-family", "Arial"}, {"font-size", "10"}, {"font-size-adjust", "none"},
        {"font-stretch", "wider"}, {"font-style", "italic"}, {"font-variant", "small-caps"},
        {"font-weight", "bold"}}},
      {"text", ParseTextAttribute,
       {{"alignment-baseline", "middle"}, {"baseline-shift", "sub"}, {"direction", "rtl"},
        {"dominant-baseline", "central"}, {"glyph-orientation-horizontal", "90"},
        {"glyph-orientation-vertical", "auto"}, {"kerning", "2"}, {"letter-spacing", "1"},
        {"text-anchor", "end"}, {"text-decoration", "underline"}, {"unicode-bidi", "embed"},
        {"word-spacing", "normal"}}},
      {"paint", ParsePaintAttribute,
       {{"fill", "red"}, {"fill-opacity", "0.5"}, {"fill-rule", "evenodd"}, {"stroke", "blue"},
        {"stroke-dasharray", "1 2"}, {"stroke-dashoffset", "3"}, {"stroke-linecap", "round"},
        {"stroke-linejoin", "bevel"}, {"stroke-miterlimit", "8"}, {"stroke-opacity", "1"},
        {"stroke-width", "2"}}},
      {"visual", ParseVisualAttribute,
       {{"clip-path", "url(#c)"}, {"clip-rule", "evenodd"}, {"cursor", "pointer"},
        {"display", "none"}, {"filter", "url(#f)"}, {"image-rendering", "optimizeSpeed"},
        {"mask", "url(#m)"}, {"opacity", "0.5"}, {"pointer-events", "none"},
        {"shape-rendering", "crispEdges"}, {"text-rendering", "optimizeLegibility"},
        {"visibility", "hidden"}}},
      {"color", ParseColorAttribute,
       {{"color", "red"}, {"color-interpolation", "linearRGB"},
        {"color-rendering", "optimizeQuality"}}},
      {"marker", ParseMarkerAttribute,
       {{"marker-start", "url(#a)"}, {"marker-mid", "none"}, {"marker-end", "url(#b)"},
        {"marker", "url(#c)"}}},
      {"stop", ParseStopAttribute, {{"stop-color", "red"}, {"stop-opacity", "0.5"}}},
      {"clip", ParseClipAttribute, {{"clip", "auto"}, {"overflow", "hidden"}}},
      {"writing-mode", ParseWritingModeAttribute, {{"writing-mode", "tb"}}},
      {"lighting-color", ParseLightingColorAttribute, {{"lighting-color", "red"}}},
      {"color-profile", ParseColorProfileAttribute, {{"color-profile", "sRGB"}}},
      {"color-interpolation-filters", ParseColorInterpolationFiltersAttribute,
       {{"color-interpolation-filters", "sRGB"}}},
      {"flood", ParseFloodAttribute, {{"flood-color", "red"}, {"flood-opacity", "0.5"}}},
      {"enable-background", ParseEnableBackgroundAttribute, {{"enable-background", "new"}}},
  };
  return groups;
}

TEST_F(PropertiesTest, GroupsRefuseNamesOfOtherGroupsAndOtherCase) {
  for (const GroupCase& group : Groups()) {
    for (const GroupCase& other : Groups()) {
      if (&group == &other) continue;
      for (const auto& [name, value] : other.names) {
        SCOPED_TRACE(std::string(group.group) + " offered " + name);
        PropertyMasks masks{};
        const auto before = Snapshot();
        EXPECT_EQ(group.parse(masks, props, name, value, kVersion11), kErrBadLength);
        EXPECT_TRUE(Unchanged(before));
      }
    }
    PropertyMasks masks{};
    const std::string upper = Upper(group.names.front().first);
    EXPECT_EQ(group.parse(masks, props, upper, group.names.front().second, kVersion11),
              kErrBadLength);
  }
}

TEST_F(PropertiesTest, BadAttributeValueStillCountsAsGiven) {
  PropertyMasks masks{};
  EXPECT_EQ(ParsePaintAttribute(masks, props, "fill-opacity", "half", kVersion11), kErrBadValue);
  EXPECT_EQ(ParsePaintAttribute(masks, props, "fill-opacity", "0.5", kVersion11),
            kErrDuplicateAttribute);
  EXPECT_EQ(props.fillOpacity, kOpacityNotGiven);
  EXPECT_EQ(ParsePaintAttribute(masks, props, "stroke-width", "1 px", kVersion11), kErrBadLength);
  EXPECT_EQ(ParsePaintAttribute(masks, props, "stroke-width", "1", kVersion11),
            kErrDuplicateAttribute);
  EXPECT_EQ(props.strokeWidth.isPercent, kLengthNotGiven);
  // Other names of the group are still free.
  EXPECT_EQ(ParsePaintAttribute(masks, props, "stroke-opacity", "0.5", kVersion11), kOk);
}

TEST_F(PropertiesTest, ColorInterpolationFiltersAttributeNeedsVersion11) {
  PropertyMasks masks{};
  EXPECT_EQ(ParseColorInterpolationFiltersAttribute(masks, props, "color-interpolation-filters",
                                                    "linearRGB", kVersion10),
            kOk);
  EXPECT_EQ(props.colorInterpolationFilters, 0);
  EXPECT_EQ(ParseColorInterpolationFiltersAttribute(masks, props, "color-interpolation-filters",
                                                    "linearRGB", kVersion11),
            kErrDuplicateAttribute);
  PropertyMasks fresh{};
  EXPECT_EQ(ParseColorInterpolationFiltersAttribute(fresh, props, "color-interpolation-filters",
                                                    "linearRGB", kVersion11),
            kOk);
  EXPECT_EQ(props.colorInterpolationFilters, 2);
}

// Each group takes its names once, directly and through the dispatch, and a
// repeated name changes nothing.
TEST_F(PropertiesTest, EachGroupOwnsItsNamesOnce) {
  PropertyMasks dispatched{};
  for (const GroupCase& group : Groups()) {
    PropertyMasks masks{};
    for (const auto& [name, value] : group.names) {
      SCOPED_TRACE(name);
      EXPECT_EQ(group.parse(masks, props, name, value, kVersion11), kOk);
      EXPECT_EQ(ParsePresentationAttribute(dispatched, props, name, value, kVersion11), kOk);
      const auto before = Snapshot();
      EXPECT_EQ(group.parse(masks, props, name, value, kVersion11), kErrDuplicateAttribute);
      EXPECT_EQ(ParsePresentationAttribute(dispatched, props, name, value, kVersion11),
                kErrDuplicateAttribute);
      EXPECT_TRUE(Unchanged(before));
    }
  }
  EXPECT_EQ(Text(props.stopColor.text), "red");
  EXPECT_EQ(props.colorInterpolation, 2);
  EXPECT_EQ(Text(props.fill.color.text), "red");
  EXPECT_EQ(props.fontSize.value, 10);
  EXPECT_EQ(props.display, kDisplayNone);
  EXPECT_EQ(Text(props.markerEnd.id), "b");
  EXPECT_EQ(props.stopOpacity, 0.5f);
  EXPECT_EQ(props.writingMode, 5);
  for (const char* name : {"x", "style", "Fill", "font", "top", "margin-top", "onclick"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ParsePresentationAttribute(dispatched, props, name, "1", kVersion11), kErrBadLength);
  }
}

// --- defaults and inheritance ------------------------------------------------------------------

// The "not given" marks tell the writer and inheritance what the document set.
TEST_F(PropertiesTest, DefaultsMarkWhatIsNotGiven) {
  EXPECT_EQ(props.opacity, 1.0f);
  EXPECT_EQ(props.fontSize.value, 12);
  EXPECT_EQ(props.fontSize.unit, kUnitNone);
  for (const KeywordLength* spacing : {&props.kerning, &props.wordSpacing, &props.letterSpacing}) {
    EXPECT_TRUE(spacing->length.unit == kUnitPx && spacing->length.value == 0 &&
                spacing->isKeyword == 0);
  }
  EXPECT_EQ(props.fillOpacity, kOpacityNotGiven);
  EXPECT_EQ(props.strokeOpacity, kOpacityNotGiven);
  EXPECT_EQ(props.fillRule, kFillRuleNotGiven);
  EXPECT_EQ(props.fill.paintKind, kPaintNotGiven);
  EXPECT_EQ(Text(props.fill.color.text), "black");
  EXPECT_EQ(props.stroke.paintKind, kPaintNotGiven);
  EXPECT_EQ(props.stroke.color.text, nullptr);
  EXPECT_EQ(props.strokeWidth.unit, kUnitPx);
  EXPECT_EQ(props.strokeWidth.isPercent, kLengthNotGiven);
  EXPECT_EQ(props.strokeDashoffset.isPercent, kLengthNotGiven);
  EXPECT_EQ(props.strokeMiterLimit, kMiterLimitNotGiven);
  EXPECT_EQ(props.strokeLineCap, kLineCapNotGiven);
  EXPECT_EQ(props.strokeLineJoin, kLineJoinNotGiven);
  EXPECT_EQ(props.strokeDashArray.kind, kDashNotGiven);
  for (const MarkerReference* m :
       {&props.marker, &props.markerStart, &props.markerMid, &props.markerEnd}) {
    EXPECT_TRUE(m->kind == kReferenceNotGiven && m->id == nullptr);
  }
  EXPECT_EQ(props.display, kDisplayNotGiven);
  EXPECT_EQ(props.visibility, kVisibilityNotGiven);
  EXPECT_EQ(props.colorInterpolation, kColorInterpolationSrgb);
  EXPECT_EQ(props.stopOpacity, 1.0f);
  EXPECT_EQ(Text(props.stopColor.text), "black");
  EXPECT_EQ(props.clipPath.kind, kReferenceNone);
  EXPECT_EQ(props.baselineShift.keyword, kBaselineShiftNotKeyword);
}

// A parent and a child record, both freed at the end.
class InheritTest : public PropertiesTest {
 protected:
  void SetUp() override {
    PropertiesTest::SetUp();
    ASSERT_EQ(InitPresentationProperties(child), kOk);
  }
  void TearDown() override {
    FreePresentationProperties(child);
    PropertiesTest::TearDown();
  }
  void Parent(const char* style) {
    SvgDocument document{};
    document.version = kVersion11;
    ASSERT_EQ(ParseStyleAttribute(props, document, style), kOk);
  }
  PresentationProperties child{};
};

TEST_F(InheritTest, CopiesTextFontAndVisualValues) {
  Parent(
      "font-size:20;font-family:Arial Black;font-weight:bold;text-anchor:middle;"
      "display:none;visibility:hidden;color:#abc;shape-rendering:crispEdges;"
      "letter-spacing:2px;top:auto;stop-opacity:0.4;stop-color:blue;font:menu;"
      "color-profile:url(#prof)");
  ASSERT_EQ(InheritPresentationProperties(child, props), kOk);
  EXPECT_EQ(child.fontSize.value, 20);
  EXPECT_EQ(Text(child.fontFamily), "Arial Black");
  EXPECT_EQ(child.fontWeight, 1);
  EXPECT_EQ(child.textAnchor, 1);
  EXPECT_EQ(child.display, kDisplayNone);
  EXPECT_EQ(child.visibility, kVisibilityHidden);
  EXPECT_EQ(Text(child.color.text), "#abc");
  EXPECT_EQ(child.color.colorForm, kColorFormHex);
  EXPECT_EQ(child.shapeRendering, 2);
  EXPECT_EQ(child.letterSpacing.length.value, 2);
  EXPECT_EQ(child.top.isKeyword, 1);
  EXPECT_EQ(child.stopOpacity, 0.4f);
  EXPECT_EQ(Text(child.stopColor.text), "blue");
  EXPECT_EQ(child.font.kind, kFontSystem);
  EXPECT_EQ(child.font.keyword, 2);
  EXPECT_EQ(child.colorProfile.kind, kColorProfileReference);
  EXPECT_EQ(Text(child.colorProfile.text), "prof");
}

TEST_F(InheritTest, FillStrokeAndOpacityAreNotCopied) {
  Parent(
      "fill:red;fill-opacity:0.5;fill-rule:evenodd;stroke:blue;stroke-width:3;"
      "stroke-opacity:0.5;stroke-miterlimit:8;stroke-linecap:round;stroke-dashoffset:2;"
      "opacity:0.5");
  child.strokeWidth = SvgLength{kUnitMm, 1, 0};  // a value the child already had
  ASSERT_EQ(InheritPresentationProperties(child, props), kOk);
  EXPECT_EQ(child.fill.paintKind, kPaintNotGiven);
  EXPECT_EQ(child.fillOpacity, kOpacityNotGiven);
  EXPECT_EQ(child.fillRule, kFillRuleNotGiven);
  EXPECT_EQ(child.stroke.paintKind, kPaintNotGiven);
  EXPECT_EQ(child.strokeOpacity, kOpacityNotGiven);
  EXPECT_EQ(child.strokeWidth.isPercent, kLengthNotGiven);
  EXPECT_EQ(child.strokeMiterLimit, kMiterLimitNotGiven);
  EXPECT_EQ(child.strokeLineCap, kLineCapNotGiven);
  EXPECT_EQ(child.strokeDashoffset.unit, kUnitDashoffsetNotGiven);
  EXPECT_EQ(child.strokeDashoffset.isPercent, kLengthNotGiven);
  EXPECT_EQ(child.opacity, 1.0f);
}

TEST_F(InheritTest, ClipPathIsCopiedOnlyWhenTheParentHasOne) {
  child.clipPath.kind = kReferenceNone;
  ASSERT_EQ(InheritPresentationProperties(child, props), kOk);
  EXPECT_EQ(child.clipPath.id, nullptr);
  Parent("clip-path:url(#clip1);marker-start:url(#m1);marker:none");
  ASSERT_EQ(InheritPresentationProperties(child, props), kOk);
  EXPECT_EQ(child.clipPath.kind, kReferenceUrl);
  EXPECT_EQ(Text(child.clipPath.id), "clip1");
  EXPECT_EQ(child.markerStart.kind, kReferenceUrl);
  EXPECT_EQ(Text(child.markerStart.id), "m1");
  EXPECT_EQ(child.marker.kind, kReferenceNone);
  EXPECT_EQ(child.markerEnd.kind, kReferenceNotGiven);
}

TEST_F(InheritTest, StringsAreIndependentCopies) {
  Parent("font-family:Arial;color:red;marker-end:url(#m);clip-path:url(#c);stop-color:green");
  ASSERT_EQ(InheritPresentationProperties(child, props), kOk);
  EXPECT_NE(child.fontFamily, props.fontFamily);
  EXPECT_NE(child.color.text, props.color.text);
  EXPECT_NE(child.markerEnd.id, props.markerEnd.id);
  EXPECT_NE(child.clipPath.id, props.clipPath.id);
  EXPECT_NE(child.stopColor.text, props.stopColor.text);
  // The parent's strings go away; the child's stay readable.
  FreePresentationProperties(props);
  EXPECT_EQ(Text(child.fontFamily), "Arial");
  EXPECT_EQ(Text(child.color.text), "red");
  EXPECT_EQ(Text(child.markerEnd.id), "m");
  EXPECT_EQ(Text(child.clipPath.id), "c");
  EXPECT_EQ(Text(child.stopColor.text), "green");
  // Inheriting twice replaces the strings without leaking the first copies.
  ASSERT_EQ(InitPresentationProperties(props), kOk);
  ASSERT_EQ(InheritPresentationProperties(child, props), kOk);
  EXPECT_EQ(child.fontFamily, nullptr);
  EXPECT_EQ(Text(child.stopColor.text), "black");
}

// --- running out of memory -------------------------------------------------------------------

TEST_F(InheritTest, EveryFailedDuplicationIsReportedWithoutLeaks) {
  Parent(
      "font:bold 10px serif;font-family:Arial;color:red;color-profile:name;clip-path:url(#c);"
      "marker:url(#a);marker-start:url(#b);marker-mid:url(#c);marker-end:url(#d);"
      "stop-color:navy");
  FreePresentationProperties(child);
  int failures = 0;
  for (int64_t n = 1;; ++n) {
    SCOPED_TRACE(n);
    ASSERT_EQ(InitPresentationProperties(child), kOk);
    KernelFailAllocation(n);
    const Status status = InheritPresentationProperties(child, props);
    KernelFailAllocation(0);
    FreePresentationProperties(child);
    if (status == kOk) break;
    ASSERT_EQ(status, kErrNoMemory);
    ++failures;
    ASSERT_LT(n, 100);
  }
  // One per string: none has the length of the child's own (stop-color
  // "black" is reused in place when the parent's is as long).
  EXPECT_EQ(failures, 10);
  ASSERT_EQ(InitPresentationProperties(child), kOk);
}

TEST_F(StyleAttributeTest, EveryFailedAllocationIsReportedWithoutLeaks) {
  xml.entities["st0"] = "stroke:blue;clip-path:url(#c);font-family:X Y";
  const char* style = "font-family:Times New Roman;&st0;fill:url(#g);stroke-dasharray:1,2;color:red";
  FreePresentationProperties(props);
  int failures = 0;
  for (int64_t n = 1;; ++n) {
    SCOPED_TRACE(n);
    ASSERT_EQ(InitPresentationProperties(props), kOk);
    KernelFailAllocation(n);
    const Status status = Style(style);
    KernelFailAllocation(0);
    if (status == kOk) {
      EXPECT_EQ(Text(props.fontFamily), "XY");
      EXPECT_EQ(Text(props.fill.color.text), "g");
      EXPECT_EQ(props.strokeDashArray.count, 2);
      break;
    }
    FreePresentationProperties(props);
    ASSERT_EQ(status, kErrNoMemory);
    EXPECT_EQ(KernelLiveBlocksTagged(u"Common/MyStrtok"), 0);
    ++failures;
    ASSERT_LT(n, 100);
  }
  EXPECT_GE(failures, 9);
}

}  // namespace
}  // namespace svgflt
