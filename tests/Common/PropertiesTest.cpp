#include "Common/Properties.h"

#include <gtest/gtest.h>

#include <cctype>
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

using P = PresentationProperties;
constexpr double kVersion11 = 1.1, kVersion10 = 1.0;

std::string Text(const char* text) { return text == nullptr ? "<null>" : text; }

// A record with its defaults, freed at the end; the tokenizer state starts
// and ends empty. The document gives style attributes an entity table.
class PropertiesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MyStrtokReset();
    ASSERT_EQ(InitPresentationProperties(props), kOk);
    ASSERT_EQ(InitPresentationProperties(child), kOk);
    document.version = kVersion11;
    document.xmlDocument = &xml;
  }
  void TearDown() override {
    FreePresentationProperties(props);
    FreePresentationProperties(child);
    MyStrtokReset();
  }
  void Reset() {
    FreePresentationProperties(props);
    ASSERT_EQ(InitPresentationProperties(props), kOk);
  }
  Status Apply(std::string_view name, const char* value, double version = kVersion11) {
    return ParseProperty(name, value, props, version);
  }
  Status Style(const char* text) { return ParseStyleAttribute(props, document, text); }

  // Applies a value that must be refused with `status` and change no byte of
  // the record (pointers included).
  void ExpectRefused(std::string_view name, const char* value, Status status) {
    SCOPED_TRACE(std::string(name) + ": '" + Text(value) + "'");
    const std::vector<unsigned char> before = Bytes();
    EXPECT_EQ(Apply(name, value), status);
    EXPECT_EQ(Bytes(), before);
  }
  std::vector<unsigned char> Bytes() const {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&props);
    return {bytes, bytes + sizeof props};
  }

  PresentationProperties props{}, child{};  // child: for inheritance from props
  AdvXMLParser::Document xml;
  SvgDocument document{};
};

TEST_F(PropertiesTest, KeywordsStoreTheirPositionWithoutRegardToCase) {
  const struct { const char* name; const char* value; int32_t P::*field; int32_t index; } kCases[] = {
      {"writing-mode", " TB ", &P::writingMode, 5}, {"unicode-bidi", "bidi-Override", &P::unicodeBidi, 2},
      {"dominant-baseline", "alphbetic", &P::dominantBaseline, 5}, {"font-weight", "900", &P::fontWeight, 12},
      {"dominant-baseline", "text-bottom", &P::dominantBaseline, 14}, {"fill-rule", "evenodd", &P::fillRule, 1},
      {"font-variant", "Small-Caps", &P::fontVariant, 1}, {"stroke-linecap", "square", &P::strokeLineCap, 2},
      {"display", "table-caption", &P::display, 15}, {"display", "none", &P::display, kDisplayNone},
      {"color-interpolation", "linearrgb", &P::colorInterpolation, 2},
      {"color-interpolation-filters", "auto", &P::colorInterpolationFilters, 0},
      {"shape-rendering", "geometricPrecision", &P::shapeRendering, 3},
  };
  for (const auto& c : kCases) {
    props.*c.field = -1;
    EXPECT_TRUE(Apply(c.name, c.value) == kOk && props.*c.field == c.index) << c.name << ": " << c.value;
    for (const char* bad : {"inherit", "bogus", "", "auto-x"}) ExpectRefused(c.name, bad, kErrBadValue);
    ExpectRefused(c.name, nullptr, kErrMissing);
  }
  // The usual spelling is not in the dominant-baseline table.
  ExpectRefused("dominant-baseline", "alphabetic", kErrBadValue);
  ExpectRefused("font-weight", "950", kErrBadValue);
}

TEST_F(PropertiesTest, LengthsAndKeywordLengths) {
  for (const auto& [name, field] : {std::pair{"font-size", &P::fontSize}, {"stroke-width", &P::strokeWidth},
                                    {"stroke-dashoffset", &P::strokeDashoffset}}) {
    EXPECT_EQ(Apply(name, "12.5PX"), kOk);
    EXPECT_TRUE((props.*field).unit == kUnitPx && (props.*field).value == 12.5 && !(props.*field).isPercent) << name;
    EXPECT_EQ(Apply(name, "50%"), kOk);
    EXPECT_TRUE((props.*field).unit == kUnitNone && (props.*field).isPercent == 1) << name;
    for (const char* bad : {"inherit", "10 px", "1e3px", "+5"}) ExpectRefused(name, bad, kErrBadLength);
  }
  const struct { const char *name, *keyword, *otherKeyword; KeywordLength P::*field; } kCases[] = {
      {"kerning", "AUTO", "normal", &P::kerning}, {"letter-spacing", "Normal", "auto", &P::letterSpacing},
      {"word-spacing", "normal", "auto", &P::wordSpacing}, {"left", "auto", "normal", &P::left}};
  for (const auto& c : kCases) {
    const KeywordLength& value = props.*c.field;
    EXPECT_TRUE(Apply(c.name, c.keyword) == kOk && value.isKeyword == 1) << c.name;
    EXPECT_EQ(Apply(c.name, "3mm"), kOk);
    EXPECT_TRUE(value.isKeyword == 0 && value.length.unit == kUnitMm && value.length.value == 3) << c.name;
    for (const char* bad : {"inherit", c.otherKeyword, "3 mm"}) ExpectRefused(c.name, bad, kErrBadLength);
  }
}

TEST_F(PropertiesTest, OpacitiesAreStoredAsWrittenWithoutClamping) {
  for (const auto& [name, field] : {std::pair{"opacity", &P::opacity}, {"fill-opacity", &P::fillOpacity},
                                    {"stroke-opacity", &P::strokeOpacity}, {"stop-opacity", &P::stopOpacity}}) {
    for (const auto& [text, value] : {std::pair{" 0.25 ", 0.25f}, {"2", 2.0f}, {"-.5", -0.5f}}) {
      EXPECT_TRUE(Apply(name, text) == kOk && props.*field == value) << name << ": " << text;
    }
    for (const char* bad : {"inherit", "50%", "1e2", "", "0.5.1"}) ExpectRefused(name, bad, kErrBadValue);
  }
}

// Values applied in order; each row checks what the record holds afterwards.
TEST_F(PropertiesTest, SingleValueProperties) {
  using C = const P&;
  const struct { const char *name, *value; bool (*holds)(C); double version = kVersion11; } kAccepted[] = {
      {"baseline-shift", "SUPER", [](C p) { return p.baselineShift.keyword == 2; }},
      {"baseline-shift", "-4px",
       [](C p) { return p.baselineShift.keyword == kBaselineShiftNotKeyword && p.baselineShift.length.value == -4; }},
      {"glyph-orientation-vertical", "Auto", [](C p) { return p.glyphOrientationVertical.isAuto == 1; }},
      {"glyph-orientation-vertical", "90",
       [](C p) { return !p.glyphOrientationVertical.isAuto && p.glyphOrientationVertical.angle.value == 90; }},
      {"glyph-orientation-horizontal", "1.5rad", [](C p) {
         return p.glyphOrientationHorizontal.value == 1.5 && p.glyphOrientationHorizontal.unit == kAngleRad; }},
      {"stroke-miterlimit", "4.5", [](C p) { return p.strokeMiterLimit == 4.5; }},
      {"font-size-adjust", "0.58", [](C p) { return p.fontSizeAdjust.value == 0.58 && p.fontSizeAdjust.isNone == 0; }},
      {"font-size-adjust", "NONE", [](C p) { return p.fontSizeAdjust.isNone == 1; }},
      {"color", "rgb(1,2,3)", [](C p) { return p.color.colorForm == kColorFormRgb && p.color.blue.value == 3; }},
      {"stop-color", "#123456",
       [](C p) { return p.stopColor.colorForm == kColorFormHex && Text(p.stopColor.text) == "#123456"; }},
      {"color-profile", "url(#p1)",
       [](C p) { return p.colorProfile.kind == kColorProfileReference && Text(p.colorProfile.text) == "p1"; }},
      {"color-profile", "SRGB", [](C p) {
         return p.colorProfile.kind == kColorProfileKeyword && p.colorProfile.keyword == 1 &&
                p.colorProfile.text == nullptr; }},
      {"color-profile", " myProfile ",
       [](C p) { return p.colorProfile.kind == kColorProfileName && Text(p.colorProfile.text) == "myProfile"; }},
      {"font", " bold 12px Arial ",
       [](C p) { return p.font.kind == kFontText && Text(p.font.text) == "bold 12px Arial"; }},
      {"font", "Status-Bar",
       [](C p) { return p.font.kind == kFontSystem && p.font.keyword == 5 && p.font.text == nullptr; }},
      {"FILL", "blue", [](C p) { return Text(p.fill.color.text) == "blue"; }},  // names ignore case
      // The filter colour space needs version 1.1.
      {"color-interpolation-filters", "linearRGB", [](C p) { return p.colorInterpolationFilters == 0; }, kVersion10},
      {"color-interpolation-filters", "linearRGB", [](C p) { return p.colorInterpolationFilters == 2; }},
  };
  EXPECT_EQ(props.font.kind, kFontNotGiven);
  for (const auto& c : kAccepted) EXPECT_TRUE(Apply(c.name, c.value, c.version) == kOk && c.holds(props)) << c.name;
  // "auto" belongs to the vertical orientation only.
  const struct { const char *name, *value; Status status; } kRefused[] = {
      {"baseline-shift", "inherit", kErrBadLength}, {"glyph-orientation-horizontal", "auto", kErrBadValue},
      {"glyph-orientation-vertical", "90 turns", kErrBadValue}, {"stroke-miterlimit", "none", kErrBadValue},
      {"font-size-adjust", "inherit", kErrBadValue}, {"color-profile", "  ", kErrBadValue},
      {"font", "", kErrBadValue}, {"font-family", " ", kErrBadValue}};
  for (const auto& c : kRefused) ExpectRefused(c.name, c.value, c.status);
}

TEST_F(PropertiesTest, DashArrayIsNoneOrAListOfLengths) {
  EXPECT_EQ(Apply("stroke-dasharray", "5, 3 2px\t10%"), kOk);
  ASSERT_TRUE(props.strokeDashArray.kind == kDashList && props.strokeDashArray.count == 4);
  const SvgLength* lengths = props.strokeDashArray.lengths;
  EXPECT_TRUE(lengths[0].value == 5 && lengths[0].unit == kUnitNone && lengths[1].value == 3 &&
              lengths[2].unit == kUnitPx && lengths[3].isPercent == 1);
  for (const char* bad : {"5,x,3", "inherit"}) ExpectRefused("stroke-dasharray", bad, kErrBadLength);
  for (const char* bad : {" , ,", ""}) ExpectRefused("stroke-dasharray", bad, kErrBadValue);
  EXPECT_EQ(Apply("stroke-dasharray", "None"), kOk);
  EXPECT_TRUE(props.strokeDashArray.kind == kDashNone && props.strokeDashArray.count == 0 &&
              props.strokeDashArray.lengths == nullptr);
}

TEST_F(PropertiesTest, PaintsTakeEveryFormAndKeepInheritAsAName) {
  const struct { const char* value; int32_t kind; const char* text; } kCases[] = {
      {"red", kPaintColor, "red"}, {"NONE", kPaintNone, "<null>"}, {"currentcolor", kPaintCurrentColor, "<null>"},
      {"url(#grad) red", kPaintServer, "grad"}, {"#0f0", kPaintColor, "#0f0"}, {"inherit", kPaintColor, "inherit"}};
  for (const auto& [name, field] : {std::pair{"fill", &P::fill}, {"stroke", &P::stroke}}) {
    for (const auto& c : kCases) {
      EXPECT_TRUE(Apply(name, c.value) == kOk && (props.*field).paintKind == c.kind &&
                  Text((props.*field).color.text) == c.text) << name << ": " << c.value;
    }
  }
  ExpectRefused("fill", nullptr, kErrMissing);
}

TEST_F(PropertiesTest, ReferencesAreNoneOrUrl) {
  // The clip path and the markers are records of different types with the same members.
  auto check = [this](const char* name, auto field) {
    EXPECT_TRUE(Apply(name, " URL(#shape) ") == kOk && (props.*field).kind == kReferenceUrl &&
                Text((props.*field).id) == "shape") << name;
    for (const char* bad : {"#shape", "url(shape)", "url(#shape", "inherit"}) ExpectRefused(name, bad, kErrBadValue);
    EXPECT_TRUE(Apply(name, "none") == kOk && (props.*field).kind == kReferenceNone && !(props.*field).id) << name;
  };
  check("clip-path", &P::clipPath);
  check("marker", &P::marker);
  check("marker-end", &P::markerEnd);
}

TEST_F(PropertiesTest, NamesWithoutEffectAreAcceptedAndChangeNothing) {
  for (const char* name : {"clip", "flood-color", "filter", "margin-top", "no-such-property", ""}) {
    ExpectRefused(name, "%%%", kOk);
  }
}

// Each style attribute applied to fresh properties: the fill and stroke it leaves.
TEST_F(PropertiesTest, StyleAttributeDeclarationsAndEntityReferences) {
  xml.entities["st0"] = "fill:red";
  xml.entities["a"] = "&b;fill:red";  // the replacement is not expanded again
  xml.entities["b"] = "stroke:blue";
  const struct { const char *style, *fill, *stroke = "<none>"; } kCases[] = {
      {"fill : red ; ", "red"}, {";;  ;fill:red;;", "red"}, {"\tfill\n:\r\nr e d", "red"}, {"FILL:Red", "Red"},
      {"f i l l:red", "red"}, {"fill:rgb( 1 , 2 , 3 )", "<null>"}, {"", "<none>"}, {" ; ;", "<none>"},
      {nullptr, "<none>"}, {"fill:red;fill:blue", "blue"}, {"no colon here;stroke:blue", "<none>", "blue"},
      {"fill:inherit;margin-top:5px;stroke:red", "inherit", "red"}, {"&st0;stroke:blue", "red", "blue"},
      {"&nothing;stroke:blue", "<none>", "blue"}, {"&a;", "red"},
      // An entity reference with a value is an ordinary (unknown) declaration.
      {"&st0:x;stroke:black", "<none>", "black"},
  };
  auto paint = [](const SvgPaint& p) { return p.paintKind == kPaintNotGiven ? "<none>" : Text(p.color.text); };
  for (const auto& c : kCases) {
    Reset();
    EXPECT_TRUE(Style(c.style) == kOk && paint(props.fill) == c.fill && paint(props.stroke) == c.stroke)
        << Text(c.style) << ": " << paint(props.fill) << ", " << paint(props.stroke);
  }
  // Without an entity table the reference is skipped.
  document.xmlDocument = nullptr;
  EXPECT_TRUE(Style("&st0;fill:green") == kOk && Text(props.fill.color.text) == "green");
  EXPECT_TRUE(KernelLiveBlocksTagged(u"Common/MyStrtok") == 0 && MyStrtok(nullptr, ";") == nullptr);
}

TEST_F(PropertiesTest, StyleAttributeValuesLoseTheirSpacesExceptTheFontFamily) {
  xml.entities["font"] = "font-family : Times New Roman ;font-size:\t9";
  EXPECT_EQ(Style("font-family:Times New Roman;font-size : 14 px"), kOk);
  EXPECT_EQ(Text(props.fontFamily), "Times New Roman");
  EXPECT_TRUE(props.fontSize.value == 14 && props.fontSize.unit == kUnitPx);  // "14 px" reads as "14px"
  EXPECT_TRUE(Style("FONT-FAMILY: Courier\tNew") == kOk && Text(props.fontFamily) == "CourierNew");
  // A failed declaration only loses itself.
  EXPECT_EQ(Style("font-size:20;font-size:inherit;opacity:x;stroke-width:2;&font;opacity:0.5"), kOk);
  EXPECT_TRUE(Text(props.fontFamily) == "TimesNewRoman" && props.fontSize.value == 9 && props.strokeWidth.value == 2 &&
              props.opacity == 0.5f);
  EXPECT_EQ(ParseStyleEntity(props, "fill : red ; font-family: A B", kVersion11), kOk);
  EXPECT_TRUE(Text(props.fill.color.text) == "red" && Text(props.fontFamily) == "AB");
  EXPECT_EQ(ParseStyleEntity(props, nullptr, kVersion11), kErrMissing);
  // Declarations are cut at 255 characters; a name cut so matches nothing.
  EXPECT_EQ(Style(("font-family:" + std::string(300, 'a') + ";stroke:red").c_str()), kOk);
  EXPECT_EQ(Text(props.fontFamily), std::string(255, 'a'));
  EXPECT_EQ(Style((std::string(250, 'x') + "-fill-opacity:0.5;stroke:blue").c_str()), kOk);
  EXPECT_TRUE(props.fillOpacity == kOpacityNotGiven && Text(props.stroke.color.text) == "blue");
  EXPECT_EQ(Style(("font-family:" + std::string(255, 'b')).c_str()), kOk);
  EXPECT_EQ(Text(props.fontFamily), std::string(255, 'b'));
}

using GroupParser = Status (*)(PropertyMasks&, P&, std::string_view, const char*, double);
struct GroupCase { GroupParser parse; std::vector<std::pair<const char*, const char*>> names; };  // name, valid value
// Each group with some of its names.
const std::vector<GroupCase>& Groups() {
  static const std::vector<GroupCase> groups = {
      {ParseFontAttribute, {{"font-family", "Arial"}, {"font-size", "10"}, {"font-size-adjust", "none"}}},
      {ParseTextAttribute, {{"alignment-baseline", "middle"}, {"kerning", "2"}, {"word-spacing", "normal"}}},
      {ParsePaintAttribute, {{"fill", "red"}, {"stroke-dasharray", "1 2"}, {"stroke-width", "2"}}},
      {ParseVisualAttribute, {{"clip-path", "url(#c)"}, {"display", "none"}, {"visibility", "hidden"}}},
      {ParseColorAttribute, {{"color", "red"}, {"color-interpolation", "linearRGB"}, {"color-rendering", "auto"}}},
      {ParseMarkerAttribute, {{"marker-start", "url(#a)"}, {"marker-end", "url(#b)"}, {"marker", "url(#c)"}}},
      {ParseStopAttribute, {{"stop-color", "red"}, {"stop-opacity", "0.5"}}},
      {ParseClipAttribute, {{"clip", "auto"}, {"overflow", "hidden"}}},
      {ParseWritingModeAttribute, {{"writing-mode", "tb"}}}, {ParseLightingColorAttribute, {{"lighting-color", "red"}}},
      {ParseColorProfileAttribute, {{"color-profile", "sRGB"}}},
      {ParseColorInterpolationFiltersAttribute, {{"color-interpolation-filters", "sRGB"}}},
      {ParseFloodAttribute, {{"flood-color", "red"}, {"flood-opacity", "0.5"}}},
      {ParseEnableBackgroundAttribute, {{"enable-background", "new"}}},
  };
  return groups;
}

// Each group takes its own names once, directly and through the dispatch,
// refuses the names of the other groups and other case, and a repeated or
// refused name changes nothing.
TEST_F(PropertiesTest, EachAttributeGroupOwnsItsNamesOnce) {
  PropertyMasks dispatched{};
  for (const GroupCase& group : Groups()) {
    PropertyMasks masks{};
    for (const GroupCase& other : Groups()) {
      for (const auto& [name, value] : other.names) {
        const bool own = &group == &other;
        EXPECT_TRUE(!own || (group.parse(masks, props, name, value, kVersion11) == kOk &&
                             ParsePresentationAttribute(dispatched, props, name, value, kVersion11) == kOk)) << name;
        const std::vector<unsigned char> before = Bytes();
        EXPECT_EQ(group.parse(masks, props, name, value, kVersion11), own ? kErrDuplicateAttribute : kErrBadLength)
            << name;
        EXPECT_TRUE(!own || ParsePresentationAttribute(dispatched, props, name, value, kVersion11) ==
                                kErrDuplicateAttribute) << name;
        EXPECT_EQ(Bytes(), before) << name;
      }
    }
    std::string upper = group.names.front().first;
    for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    PropertyMasks fresh{};
    EXPECT_EQ(group.parse(fresh, props, upper, group.names.front().second, kVersion11), kErrBadLength);
  }
  EXPECT_TRUE(Text(props.stopColor.text) == "red" && props.colorInterpolation == 2 &&
              Text(props.fill.color.text) == "red" && props.fontSize.value == 10 && props.display == kDisplayNone &&
              Text(props.markerEnd.id) == "b" && props.stopOpacity == 0.5f && props.writingMode == 5);
  for (const char* name : {"x", "style", "Fill", "font", "top", "margin-top", "onclick"}) {
    EXPECT_EQ(ParsePresentationAttribute(dispatched, props, name, "1", kVersion11), kErrBadLength) << name;
  }
}

// A bad value counts as given, so a second one is refused; other names stay
// free. A value left at its default by an older version counts as given too.
TEST_F(PropertiesTest, BadAttributeValueStillCountsAsGiven) {
  PropertyMasks masks{};
  const struct { GroupParser parse; const char *name, *value; double version; Status status; } kSteps[] = {
      {ParsePaintAttribute, "fill-opacity", "half", kVersion11, kErrBadValue},
      {ParsePaintAttribute, "fill-opacity", "0.5", kVersion11, kErrDuplicateAttribute},
      {ParsePaintAttribute, "stroke-width", "1 px", kVersion11, kErrBadLength},
      {ParsePaintAttribute, "stroke-width", "1", kVersion11, kErrDuplicateAttribute},
      {ParsePaintAttribute, "stroke-opacity", "0.5", kVersion11, kOk},
      {ParseColorInterpolationFiltersAttribute, "color-interpolation-filters", "linearRGB", kVersion10, kOk},
      {ParseColorInterpolationFiltersAttribute, "color-interpolation-filters", "linearRGB", kVersion11,
       kErrDuplicateAttribute}};
  for (const auto& c : kSteps) EXPECT_EQ(c.parse(masks, props, c.name, c.value, c.version), c.status) << c.name;
  EXPECT_TRUE(props.fillOpacity == kOpacityNotGiven && props.strokeWidth.isPercent == kLengthNotGiven &&
              props.colorInterpolationFilters == 0);
}

TEST_F(PropertiesTest, InheritedReferencesAndStringsAreIndependentCopies) {
  child.clipPath.kind = kReferenceNone;
  ASSERT_EQ(InheritPresentationProperties(child, props), kOk);
  EXPECT_EQ(child.clipPath.id, nullptr);  // copied only when the parent has one
  ASSERT_EQ(Style("font-family:Arial;color:red;marker-end:url(#m);clip-path:url(#c);stop-color:green;marker:none"),
            kOk);
  ASSERT_EQ(InheritPresentationProperties(child, props), kOk);
  // The parent's strings go away; the child's stay readable.
  FreePresentationProperties(props);
  EXPECT_TRUE(Text(child.fontFamily) == "Arial" && Text(child.color.text) == "red");
  EXPECT_TRUE(child.markerEnd.kind == kReferenceUrl && Text(child.markerEnd.id) == "m");
  EXPECT_TRUE(child.clipPath.kind == kReferenceUrl && Text(child.clipPath.id) == "c");
  EXPECT_TRUE(child.marker.kind == kReferenceNone && child.markerStart.kind == kReferenceNotGiven);
  EXPECT_EQ(Text(child.stopColor.text), "green");
  // Inheriting twice replaces the strings without leaking the first copies.
  ASSERT_EQ(InitPresentationProperties(props), kOk);
  ASSERT_EQ(InheritPresentationProperties(child, props), kOk);
  EXPECT_TRUE(child.fontFamily == nullptr && Text(child.stopColor.text) == "black");
}

}  // namespace
}  // namespace svgflt
