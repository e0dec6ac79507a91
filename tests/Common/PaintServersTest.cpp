#include "Common/PaintServers.h"

#include <gtest/gtest.h>

#include <string>

#include "Common/SvgDocument.h"
#include "SvgSnippetLoad.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

void ExpectLength(const SvgLength& length, double value, int32_t unit, int32_t isPercent) {
  EXPECT_EQ(length.value, value);
  EXPECT_EQ(length.unit, unit);
  EXPECT_EQ(length.isPercent, isPercent);
}

class PaintServers : public testing::SvgSnippetLoad {
 protected:
  LinearGradientRecord& Linear() { return First(kElemLinearGradient).data.linearGradient.own; }
  RadialGradientRecord& Radial() { return First(kElemRadialGradient).data.radialGradient.own; }
  PatternRecord& Pattern() { return First(kElemPattern).data.pattern.own; }
};

TEST_F(PaintServers, Defaults) {
  Loaded("<svg font-size='20'><defs><linearGradient/><radialGradient/><pattern/></defs></svg>");
  ExpectLength(Linear().x1, 0, kUnitPx, 1);
  ExpectLength(Linear().x2, 100, kUnitPx, 1);
  EXPECT_EQ(Linear().units, kObjectBoundingBox);
  EXPECT_EQ(Linear().spread, kSpreadPad);
  ExpectLength(Radial().fy, 0.5, kUnitNone, 0);
  ExpectLength(Radial().r, 50, kUnitNone, 1);
  ExpectLength(Pattern().y, 0, kUnitPx, 1);
  EXPECT_EQ(Pattern().patternUnits, kUserSpaceOnUse);
  // Inside a document the presentation block comes from the parent.
  EXPECT_EQ(CommonOf(First(kElemLinearGradient)).props.fontSize.value, 20.0);
}

TEST_F(PaintServers, GradientAndPatternValues) {
  Loaded("<svg version='1.1'><linearGradient id='g' x1='10' y2='50%' gradientUnits='userSpaceOnUse'"
         " gradientTransform='rotate(45)' xlink:href='#base' xml:base='b/' spreadMethod='repeat'"
         " color='red' stop-color='blue' fill='green'/><radialGradient spreadMethod=' REFLECT '/>"
         "<pattern x='1' width='8' height='4mm' patternUnits='objectBoundingBox' "
         "patternContentUnits='objectBoundingBox' viewBox='0 0 8 8' preserveAspectRatio='none' "
         "patternTransform='scale(2)' xlink:href='#p0' xml:space='preserve' fill='red' "
         "requiredFeatures='org.w3c.svg'><path d='M0 0'/></pattern></svg>");
  const LinearGradientRecord& gradient = Linear();
  ExpectLength(gradient.y2, 50, kUnitNone, 1);
  EXPECT_EQ(gradient.units, kUserSpaceOnUse);
  EXPECT_EQ(gradient.spread, kSpreadRepeat);
  EXPECT_STREQ(gradient.href, "base");
  const ElementCommon& common = CommonOf(First(kElemLinearGradient));
  EXPECT_STREQ(common.props.color.text, "red");
  EXPECT_EQ(common.props.fill.paintKind, kPaintNotGiven);  // not a gradient's property
  EXPECT_EQ(Radial().spread, kSpreadReflect);
  const PatternRecord& pattern = Pattern();
  ExpectLength(pattern.height, 4, kUnitMm, 0);
  EXPECT_EQ(pattern.patternContentUnits, kObjectBoundingBox);
  EXPECT_EQ(pattern.preserveAspectRatio.align, kAlignNone);
  EXPECT_STREQ(pattern.href, "p0");
  EXPECT_EQ(CommonOf(First(kElemPattern)).props.fill.paintKind, kPaintColor);
  EXPECT_EQ(First(kElemPath).renderFlag, 0);  // the pattern's path is not drawn on its own
  // The colour group needs version 1.1.
  Loaded("<svg version='1.0'><linearGradient color='red' stop-opacity='0.5'/></svg>");
  EXPECT_EQ(CommonOf(First(kElemLinearGradient)).props.color.text, nullptr);
  EXPECT_FLOAT_EQ(CommonOf(First(kElemLinearGradient)).props.stopOpacity, 0.5f);
}

TEST_F(PaintServers, FocusFollowsTheCentreUnlessWrittenAfterIt) {
  const struct { const char* attributes; double fx, fy; } cases[] = {{"fx='0.1' cx='0.3'", 0.3, 0.5}, {"cx='0.3' fx='0.1'", 0.1, 0.5},
               {"cy='0.2' r='0.4'", 0.5, 0.2}, {"fy='0.9' cy='0.2' fx='0.7'", 0.7, 0.2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.attributes);
    Loaded(std::string("<svg><radialGradient ") + c.attributes + "/></svg>");
    EXPECT_EQ(Radial().fx.value, c.fx);
    EXPECT_EQ(Radial().fy.value, c.fy);
  }
}

TEST_F(PaintServers, RefusesRepeatsAndUnacceptedNamesOnly) {
  const std::pair<const char*, Status> cases[] = {  // inside <svg>, unless given
      {"<radialGradient fx='0' fx='1'/>", kErrDuplicateAttribute},
      {"<linearGradient stop-color='red' stop-color='blue'/>", kErrDuplicateAttribute},
      {"<svg version='1.0'><linearGradient xml:base='a'/></svg>", kErrBadLength},
      {"<radialGradient xmlns:foo='x'/>", kErrBadLength}, {"<linearGradient x1='1 0'/>", kErrBadLength},
      {"<linearGradient gradientUnits='page'/>", kErrBadValue},
      {"<radialGradient spreadMethod='mirror'/>", kErrBadValue},
      {"<linearGradient id=''/>", kErrMissing}, {"<stop offset='half'/>", kErrBadLength},
      {"<stop offset='1' offset='2'/>", kErrDuplicateAttribute}, {"<pattern viewBox='0 0 0 1'/>", kErrBadValue},
      {"<pattern onzoom='a' onzoom='b'/>", kErrDuplicateAttribute},
      // Unknown names outside the xml prefixes are ignored.
      {"<linearGradient foo='1' xlink:foo='2' xmlns='x' r='3'/><stop bar='1' xmlns:a='b'/>", kOk},
  };
  for (const auto& [body, status] : cases) {
    const std::string svg =
        std::string_view(body).substr(0, 4) == "<svg" ? body : "<svg>" + std::string(body) + "</svg>";
    EXPECT_EQ(Load(svg), status) << svg;
  }
}

TEST_F(PaintServers, StopsKeepTheOffsetAsWrittenAndTakeTheirColour) {
  Loaded("<svg><linearGradient stop-opacity='0.25'><stop offset='50%' stop-color='#f00'/>"
         "<stop offset='-1' style='stop-color:blue;stop-opacity:0.5' stop-color='red'/>"
         "<stop offset='5px'/></linearGradient></svg>");
  ExpectLength(Record(2).data.stop.own.offset, 50, kUnitNone, 1);
  ExpectLength(Record(3).data.stop.own.offset, -1, kUnitNone, 0);
  ExpectLength(Record(4).data.stop.own.offset, 5, kUnitPx, 0);
  const PresentationProperties& first = CommonOf(Record(2)).props;
  EXPECT_STREQ(first.stopColor.text, "#f00");
  EXPECT_FLOAT_EQ(first.stopOpacity, 0.25f);  // taken from the gradient
  const PresentationProperties& second = CommonOf(Record(3)).props;
  EXPECT_STREQ(second.stopColor.text, "blue");
  EXPECT_FLOAT_EQ(second.stopOpacity, 0.5f);
  EXPECT_STREQ(CommonOf(Record(4)).props.stopColor.text, "black");
}

}  // namespace
}  // namespace svgflt
