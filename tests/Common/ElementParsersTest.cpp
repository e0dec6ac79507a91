#include "Common/ElementParsers.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "Common/SVGParsUtil.h"
#include "Common/SvgDocument.h"
#include "SvgSnippetLoad.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

std::string Text(const char* text) { return text == nullptr ? "<null>" : text; }

// A rect with its required attributes and `attributes`.
std::string Rect(std::string_view attributes) { return "<rect width='1' height='1' " + std::string(attributes) + "/>"; }

class ElementLoad : public testing::SvgSnippetLoad {
 protected:
  const PresentationProperties& Props(int32_t index) const { return CommonOf(Record(index)).props; }
  std::string Fill(int32_t i) const {
    return Props(i).fill.paintKind != kPaintColor ? "<none>" : Text(Props(i).fill.color.text);
  }
};

TEST_F(ElementLoad, AcceptsIgnoresAndRefusesAttributes) {
  const std::pair<std::string, Status> kCases[] = {
      {Rect("foo='1' bar:baz='2' a:adobe-blending-mode-x='1' xmlns:foo='u' xmlns='v'"), kOk},
      {Rect("xml:lang='en' xml:space='preserve' xml:base='a/' requiredFeatures='org.w3c.svg.static' "
            "requiredExtensions='x' systemLanguage='en, fr' externalResourcesRequired='true'"), kOk},
      {Rect("onclick='a()' onload='b()' fill='red' color='blue' opacity='0.5' font-size='12' style=''"), kOk},
      {Rect("xml:foo='1'"), kErrBadLength}, {Rect("xml:space='wide'"), kErrBadValue},
      {Rect("requiredFeatures='org.w3c.bogus'"), kErrBadValue},
      {Rect("externalResourcesRequired='maybe'"), kErrBadValue},
      {"<rect width='1 px' height='1'/>", kErrBadLength}, {Rect("x='1e3'"), kErrBadLength},
      {Rect("fill-opacity='half'"), kErrBadValue},
      // Each attribute counts once; a second style attribute too.
      {Rect("x='1' x='2'"), kErrDuplicateAttribute}, {Rect("id='a' id='b'"), kErrDuplicateAttribute},
      {Rect("transform='scale(2)' transform='scale(3)'"), kErrDuplicateAttribute},
      {Rect("onclick='a' onclick='b'"), kErrDuplicateAttribute}, {Rect("fill='1' fill='2'"), kErrDuplicateAttribute},
      {Rect("style='fill:red' style='fill:blue'"), kErrDuplicateAttribute},
      {"<use xlink:href='#a' xlink:href='#b'/>", kErrDuplicateAttribute},
      {"<svg onzoom='a' onzoom='b'/>", kErrDuplicateAttribute},
      {"<desc style='a:b' style='c:d'/>", kErrDuplicateAttribute},
      {"<title style='a' style='b'/>", kOk},  // no style group on title
      // g ignores these prefixes before anything else, so repeats pass.
      {"<g i:x='1' adobe:y='2' a:z='3' r='4' count='5' onmouseup='a' onmouseup='b' requiredFeatures='bogus' "
       "font-size='20' text-anchor='middle' marker-end='url(#m)'/>", kOk},
      {"<svg d1p1:a='1' title:b='2' i:c='3' xmlns:x='y' transform='bogus' version='1.1' zoomAndPan='disable' "
       "contentScriptType='a' contentStyleType='b' xlink:title='t'/>", kOk},
      {"<svg zoomAndPan='sideways'/>", kErrBadValue}, {"<svg viewBox='0 0 0 10'/>", kErrBadValue},
      {"<path d='M0 0' i:a='1' a:b='2' pathLength='5' enable-background='new' font='x' title='t'/>"
       "<circle r='1' i:a='1' font='x'/><line i:a='1' font='x'/>", kOk},
      {"<image x='1' y='2' preserveAspectRatio='none' width='1' height='1' xlink:href='a.png' "
       "a:adobe-opacity-share='1' fill='red'/><svg x='1' y='2'/><use xlink:href='#a' y='1' width='2' height='3'/>",
       kOk},
      // Paint servers share the attribute walk: xml:space, style and events, document events included.
      {"<pattern onclick='a' onzoom='b' onzoom='c'/>", kErrDuplicateAttribute},
      {"<marker refX='1' refY='2' markerUnits='userSpaceOnUse' markerWidth='4' markerHeight='5' orient='auto' "
       "viewBox='0 0 1 1' class='ignored'/>", kOk},
      {"<marker orient='30grad'/><marker orient='sideways'/>", kErrBadValue},
      {"<clipPath clipPathUnits='pixels'/>", kErrBadValue},
      {"<symbol viewBox='0 0 5 5' preserveAspectRatio='xMinYMax slice'/>", kOk},
      {"<a xlink:href='http://x' xlink:show='new' target='_blank' name='n'/>", kOk},
      {"<div/><p/><span class='c'/><region/><br xml:base='x' id='b'/><solidColor style='x:y'/>", kOk},
      {"<color-profile name='p' local='l' rendering-intent='saturation'/>", kOk},
      {"<color-profile name='p' rendering-intent='vivid'/>", kErrBadValue}, {"<br xml:lang='en'/>", kErrBadLength},
      // xml:base came with version 1.1.
      {"<svg version='1.0'><rect xml:base='a' width='1' height='1'/></svg>", kErrBadLength},
      {"<svg version='1.0'><rect xml:lang='en' width='1' height='1'/></svg>", kOk},
      // Required attributes; an attribute fault that stops the walk is reported first.
      {"<rect height='10'/>", kErrRequiredAttribute}, {"<ellipse rx='1'/>", kErrRequiredAttribute},
      {"<path/>", kErrRequiredAttribute}, {"<path d=''/>", kOk},
      {"<image width='1' height='1'/>", kErrRequiredAttribute},
      {"<image xlink:href='a.png' width='1'/>", kErrRequiredAttribute},
      {"<color-profile local='x'/>", kErrRequiredAttribute},
      {"<style/>", kOk},  // "type" is not required
      {"<style type='text/plain'/>", kErrBadValue},
      {"<polyline points='0,0 10-20'/>", kOk}, {"<polygon points='0 0 1'/>", kErrOddPointCount},
      {"<polyline points=',0 0'/>", kErrMisplacedComma}, {"<polyline points='0 0 1 z'/>", kErrBadValue},
  };
  for (const auto& [text, status] : kCases) {
    EXPECT_EQ(Load(text.starts_with("<svg") ? text : "<svg>" + text + "</svg>"), status) << text;
  }
}

TEST_F(ElementLoad, StoresTheCommonGroupsAndShapeGeometry) {
  Loaded("<svg><rect id=' r1 ' xml:lang='en' xml:space='preserve' requiredFeatures='org.w3c.svg org.w3c.dom.svg.all' "
         "systemLanguage='en ,  fr' requiredExtensions='x' externalResourcesRequired='TRUE' "
         "transform='translate(3 4)' class='c' onclick='x' x='1' y='2cm' width='50%' height='4'/>"
         "<circle cx='5' r='6mm'/><ellipse rx='7' ry='8'/><line x2='9' y2='10'/>"
         "<polygon points='0 0 1 1 2 0'/><path d='M0 0 L10 10 E 5 5' pathLength='100'/></svg>");
  const ElementCommon& common = CommonOf(Record(1));
  EXPECT_TRUE(Text(common.id) == "r1" && FindId(*document_, "r1") == 1);
  EXPECT_TRUE(Text(common.xmlLang) == "en" && common.xmlSpace == 1 && Text(common.systemLanguage) == "en fr");
  EXPECT_TRUE(common.requiredFeatures == ((1u << 0) | (1u << 10)) && common.eventsGiven == 1u << 3);
  EXPECT_TRUE(common.requiredExtensionsSeen == 1 && common.externalResourcesRequired == 1 && common.classSeen == 1);
  ASSERT_NE(common.transform.first, nullptr);
  EXPECT_TRUE(common.transform.first->kind == kTransformTranslate && common.transform.first->params.translate.ty == 4);

  const RectData& rect = Record(1).data.rect;
  EXPECT_TRUE(rect.x.unit == kUnitNone && rect.y.unit == kUnitCm && rect.width.isPercent && rect.width.value == 50);
  EXPECT_TRUE(rect.rx.unit == kUnitPx && rect.rx.value == 0);  // untouched default
  // The centre defaults to 0.
  EXPECT_TRUE(Record(2).data.circle.cy.unit == kUnitPx && Record(2).data.circle.r.unit == kUnitMm);
  EXPECT_TRUE(Record(3).data.ellipse.ry.value == 8 && Record(4).data.line.x1.value == 0 &&
              Record(4).data.line.y2.value == 10 && Record(5).data.poly.points.count == 3);
  // Path data with a fault keeps the segments before it.
  const PathData& path = Record(6).data.path;
  ASSERT_EQ(path.d.count, 2);
  EXPECT_TRUE(path.d.segments[1].type == kSegmentLine && path.pathLength.value == 100);
  // A rect's xml:space does not reach the document; an svg's does.
  EXPECT_EQ(document_->preserveAll, 0);
  EXPECT_EQ(Loaded("<svg xml:space='preserve'/>").preserveAll, 1);
}

TEST_F(ElementLoad, DerivesRectCornerRadii) {
  const struct {
    const char* attributes;
    double rx, ry;
  } kCases[] = {{"width='10' height='4' rx='3'", 3, 2}, {"width='10' height='4' ry='1'", 1, 1},
                {"width='10' height='4' ry='9'", 5, 2}, {"width='10' height='40' rx='1' ry='2'", 1, 2},
                {"width='10' height='4'", 0, 0}};
  for (const auto& c : kCases) {
    Loaded(std::string("<svg><rect ") + c.attributes + "/></svg>");
    EXPECT_TRUE(Record(1).data.rect.rx.value == c.rx && Record(1).data.rect.ry.value == c.ry) << c.attributes;
  }
}

TEST_F(ElementLoad, SvgSizeFallsBackToTheViewBox) {
  const struct { const char* text; SvgLength width, height; } kCases[] = {
      {"<svg viewBox='0 0 40 30'/>", {kUnitNone, 40, 0}, {kUnitNone, 30, 0}},
      {"<svg width='80' viewBox='0 0 40 30'/>", {kUnitNone, 80, 0}, {kUnitNone, 60, 0}},
      {"<svg height='3cm' viewBox='0 0 40 30'/>", {kUnitCm, 4, 0}, {kUnitCm, 3, 0}},
      {"<svg width='50%' viewBox='0 0 40 30'/>", {kUnitNone, 50, 1}, {kUnitNone, 30, 0}},
      {"<svg/>", {kUnitNone, 100, 1}, {kUnitNone, 100, 1}},
      {"<svg width='7in' height='5'/>", {kUnitIn, 7, 0}, {kUnitNone, 5, 0}},
  };
  for (const auto& c : kCases) {
    Loaded(c.text);
    const SvgElementData& svg = Record(0).data.svg;
    for (const auto& [got, want] : {std::pair{svg.width, c.width}, {svg.height, c.height}}) {
      EXPECT_TRUE(got.unit == want.unit && got.value == want.value && got.isPercent == want.isPercent) << c.text;
    }
  }
  // Only the root: an inner svg keeps 100% of its parent's viewport.
  Loaded("<svg viewBox='0 0 40 30'><svg viewBox='0 0 4 3'/></svg>");
  const SvgElementData& inner = Record(1).data.svg;
  EXPECT_TRUE(inner.widthGiven == 0 && inner.width.isPercent == 1 && inner.hasViewBox == 1 && inner.viewBox.width == 4);
  EXPECT_EQ(Record(0).data.svg.widthGiven, 0);
  EXPECT_EQ(Loaded("<svg version='1.0'/>").version, 1.0);
  Loaded("<svg preserveAspectRatio='none' zoomAndPan='disable'/>");
  EXPECT_TRUE(Record(0).data.svg.preserveAspectRatio.align == kAlignNone && Record(0).data.svg.zoomAndPan == 0);
}

TEST_F(ElementLoad, StoresReferencesImagesMarkersSymbolsAndProfiles) {
  Loaded("<svg><use xlink:href='#shape' x='2'/><image width='1' height='1' xlink:href='data:;base64,AAEC/w=='/>"
         "<image width='1' height='1' xlink:href='#pic'/><a xlink:href='http://example.com/' name='n'/>"
         "<marker orient='auto' markerUnits='userSpaceOnUse'/><marker orient='90'/><symbol viewBox='1 2 3 4'/>"
         "<color-profile name='cp' rendering-intent='perceptual'/><clipPath clipPathUnits='objectBoundingBox'/></svg>");
  EXPECT_TRUE(Text(Record(1).data.use.href) == "shape" && Record(1).data.use.width.value == 0);  // not given
  const ImageSource& data = Record(2).data.image.source;
  ASSERT_EQ(data.dataSize, 4);
  EXPECT_TRUE(data.data[0] == 0 && data.data[2] == 2 && data.data[3] == 0xFF && data.href == nullptr);
  EXPECT_STREQ(Record(3).data.image.source.href, "pic");
  const MarkerData& marker = Record(5).data.marker;
  EXPECT_TRUE(marker.orientAuto == 1 && marker.markerUnits == 1 && marker.markerWidth.value == 3);
  EXPECT_TRUE(Record(6).data.marker.orientAuto == 0 && Record(6).data.marker.orient.value == 90);
  EXPECT_EQ(Record(9).data.clipPath.clipPathUnits, 1);
}

TEST_F(ElementLoad, CascadeTypeRuleClassRulesStyleAttribute) {
  for (const std::string& text : {Rect("style='fill:blue' fill='red'"), Rect("fill='red' style='fill:blue'")}) {
    Loaded("<svg>" + text + "</svg>");
    EXPECT_EQ(Fill(1), "blue") << text;
  }
  Loaded("<svg><rect width='1' height='1'/><style>rect{fill:red}</style>"
         "<style type='text/css'>rect{fill:red;stroke-width:1} .c{fill:green;opacity:.5} rect.c{stroke-width:4}</style>"
         "<rect class='c' style='opacity:0.25' fill='yellow' width='1' height='1'/>"
         "<rect width='1' height='1'/><circle class='c' r='1' fill='yellow'/></svg>");
  // Rules reach only elements after the sheet; the untyped sheet added no rule.
  EXPECT_EQ(Fill(1), "<none>");
  // The rect: the type rule beats the attribute, rect.c beats the type
  // rule (and replaces .c), the style attribute beats both.
  EXPECT_TRUE(Fill(4) == "red" && Props(4).strokeWidth.value == 4 && Props(4).opacity == 0.25f);
  EXPECT_TRUE(Fill(5) == "red" && Props(5).strokeWidth.value == 1);  // type rule alone
  // The circle: .c over its fill attribute; no rect rule.
  EXPECT_TRUE(Fill(6) == "green" && Props(6).opacity == 0.5f && Props(6).strokeWidth.isPercent == kLengthNotGiven);
}

TEST_F(ElementLoad, InheritanceAndPresentationGroupsByElementKind) {
  Loaded("<svg font-size='20'><g fill='red' opacity='0.5' display='none' font-family='Serif'>"
         "<rect width='1' height='1'/></g></svg>");
  const PresentationProperties& rect = Props(2);
  EXPECT_TRUE(rect.fill.paintKind == kPaintNotGiven && rect.opacity == 1.0f && rect.display == kDisplayNone);
  EXPECT_TRUE(rect.fontSize.value == 20 && Text(rect.fontFamily) == "Serif" && Fill(1) == "red");
  // A rect takes the colour, fill-and-stroke and graphics groups only; g
  // and svg take every property; an image has no fill and stroke.
  Loaded("<svg><rect font-size='30' stroke='red' visibility='hidden' width='1' height='1'/>"
         "<g font-size='30'/><image fill='red' display='none' xlink:href='a' width='1' height='1'/></svg>");
  EXPECT_TRUE(Props(1).fontSize.value == 12 && Props(1).stroke.paintKind == kPaintColor &&
              Props(1).visibility == kVisibilityHidden);
  EXPECT_EQ(Props(2).fontSize.value, 30.0);
  EXPECT_TRUE(Props(3).fill.paintKind == kPaintNotGiven && Props(3).display == kDisplayNone);
}

}  // namespace
}  // namespace svgflt
