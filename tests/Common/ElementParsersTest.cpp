#include "Common/ElementParsers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <string_view>

#include "Common/Parser/Reader.h"
#include "Common/SVGParsUtil.h"
#include "Common/SvgDocument.h"
#include "ImagingKernel/ImagingKernel.h"
#include "svgfilter/FilterStatus.h"
#include "support/KernelLeakGuard.h"

namespace svgflt {
namespace {

std::u16string Widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

Status LoadPath(const std::string& path, SvgDocument** out) {
  *out = nullptr;
  const int32_t file = KernelOpenFile(Widen(path).c_str(), kOpenBinary, kPermRead);
  if (file < 0) return kErrRead;
  Status status = CreateSvgDocument(out);
  if (status == kOk) status = LoadSvgFile(file, **out);
  KernelCloseFile(file);
  return status;
}

// Loads inline SVG snippets through LoadSvgFile; the document is freed in
// TearDown, where nothing may remain live.
class ElementLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    KernelFailAllocation(0);
    AdvXMLParser::ResetTextState();
    static std::atomic<int> serial{0};
    path_ = ::testing::TempDir() + "elementparsers_" + std::to_string(::getpid()) + "_" +
            std::to_string(serial++) + ".svg";
    before_ = testing::KernelSnapshot();
  }
  void TearDown() override {
    FreeSvgDocument(document_);
    document_ = nullptr;
    KernelFailAllocation(0);
    testing::ExpectNothingLiveSince(before_);
    std::remove(path_.c_str());
  }

  Status Load(std::string_view text) {
    FreeSvgDocument(document_);
    document_ = nullptr;
    {
      std::ofstream out(path_, std::ios::binary | std::ios::trunc);
      out << text;
    }
    return LoadPath(path_, &document_);
  }
  // Loads a snippet that must succeed.
  SvgDocument& Loaded(std::string_view text) {
    const Status status = Load(text);
    EXPECT_EQ(status, kOk) << StatusName(status) << " for " << text;
    return *document_;
  }
  ElementRecord& Record(int32_t index) const { return document_->records[index]; }
  const ElementCommon& Common(int32_t index) const { return CommonOf(Record(index)); }
  const PresentationProperties& Props(int32_t index) const { return Common(index).props; }

  std::string path_;
  SvgDocument* document_ = nullptr;
  KernelAccounting before_{};
};

struct StatusCase {
  std::string text;
  Status status;
};

// A rect with its required attributes and `attributes`.
std::string Rect(std::string_view attributes) {
  return "<svg><rect width='1' height='1' " + std::string(attributes) + "/></svg>";
}

class ElementAttributes : public ElementLoad {
 protected:
  void Expect(std::initializer_list<StatusCase> cases) {
    for (const StatusCase& c : cases) {
      SCOPED_TRACE(c.text);
      const Status status = Load(c.text);
      EXPECT_EQ(status, c.status) << StatusName(status);
    }
  }
};

// --- accepted, ignored and refused attributes ---------------------------------

TEST_F(ElementAttributes, CommonGroupsOnAShape) {
  Expect({
      {Rect("foo='1' bar:baz='2'"), kOk},
      {Rect("a:adobe-blending-mode-x='1'"), kOk},
      {Rect("xmlns:foo='u' xmlns='v'"), kOk},
      {Rect("xml:lang='en' xml:space='preserve' xml:base='a/'"), kOk},
      {"<svg><rect width='1' height='1' requiredFeatures='org.w3c.svg.static' "
       "requiredExtensions='x' systemLanguage='en, fr'/></svg>", kOk},
      {Rect("externalResourcesRequired='true'"), kOk},
      {"<svg><rect width='1' height='1' onclick='a()' onload='b()' fill='red' color='blue' "
       "opacity='0.5' font-size='12'/></svg>", kOk},
      {Rect("style='' style='fill:red'"), kOk},
      // Refused.
      {Rect("xml:foo='1'"), kErrBadLength},
      {Rect("xml:space='wide'"), kErrBadValue},
      {Rect("requiredFeatures='org.w3c.bogus'"), kErrBadValue},
      {Rect("externalResourcesRequired='maybe'"), kErrBadValue},
      {"<svg><rect width='1 px' height='1'/></svg>", kErrBadLength},
      {Rect("x='1e3'"), kErrBadLength},
      {Rect("fill-opacity='half'"), kErrBadValue},
  });
}

TEST_F(ElementAttributes, RepeatedAttributesAndASecondStyle) {
  Expect({
      {Rect("x='1' x='2'"), kErrDuplicateAttribute},
      {Rect("id='a' id='b'"), kErrDuplicateAttribute},
      {Rect("xml:lang='a' xml:lang='b'"), kErrDuplicateAttribute},
      {Rect("xml:base='a' xml:base='b'"), kErrDuplicateAttribute},
      {Rect("requiredFeatures='' requiredFeatures=''"), kErrDuplicateAttribute},
      {Rect("requiredExtensions='a' requiredExtensions='b'"), kErrDuplicateAttribute},
      {Rect("transform='scale(2)' transform='scale(3)'"), kErrDuplicateAttribute},
      {Rect("onclick='a' onclick='b'"), kErrDuplicateAttribute},
      {Rect("fill='red' fill='blue'"), kErrDuplicateAttribute},
      {Rect("style='fill:red' style='fill:blue'"), kErrDuplicateAttribute},
      {"<svg><use xlink:href='#a' xlink:href='#b'/></svg>", kErrDuplicateAttribute},
      {"<svg xmlns='a' xmlns='b'/>", kErrDuplicateAttribute},
      {"<svg onzoom='a' onzoom='b'/>", kErrDuplicateAttribute},
      {"<svg><a xmlns:xlink='u' xmlns:xlink='v'/></svg>", kErrDuplicateAttribute},
      {"<svg><g keyfield='1' keyfield='2'/></svg>", kErrDuplicateAttribute},
      {"<svg><desc style='a:b' style='c:d'/></svg>", kErrDuplicateAttribute},
  });
}

TEST_F(ElementAttributes, ElementSpecificNames) {
  Expect({
      // g ignores these prefixes before anything else, so repeats pass.
      {"<svg><g i:x='1' adobe:y='2' a:z='3' r='4' count='5' onmouseup='a' onmouseup='b' "
       "requiredFeatures='bogus'/></svg>", kOk},
      {"<svg><g font-size='20' text-anchor='middle' marker-end='url(#m)'/></svg>", kOk},
      {"<svg d1p1:a='1' title:b='2' i:c='3' xmlns:x='y' transform='bogus' version='1.1' "
       "zoomAndPan='disable' contentScriptType='a' contentStyleType='b' xlink:title='t'/>", kOk},
      {"<svg zoomAndPan='sideways'/>", kErrBadValue},
      {"<svg viewBox='0 0 0 10'/>", kErrBadValue},
      {"<svg><path d='M0 0' i:a='1' a:b='2' pathLength='5' enable-background='new' font='x' "
       "title='t'/></svg>", kOk},
      {"<svg><circle r='1' i:a='1' font='x'/></svg>", kOk},
      {"<svg><line i:a='1' font='x'/></svg>", kOk},
      {"<svg><image width='1' height='1' xlink:href='a.png' a:adobe-opacity-share='1' "
       "fill='red'/></svg>", kOk},
      {"<svg><marker refX='1' refY='2' markerUnits='userSpaceOnUse' markerWidth='4' "
       "markerHeight='5' orient='auto' viewBox='0 0 1 1' class='ignored'/></svg>", kOk},
      {"<svg><marker orient='30grad'/><marker orient='sideways'/></svg>", kErrBadValue},
      {"<svg><clipPath clipPathUnits='objectBoundingBox'/></svg>", kOk},
      {"<svg><clipPath clipPathUnits='pixels'/></svg>", kErrBadValue},
      {"<svg><symbol viewBox='0 0 5 5' preserveAspectRatio='xMinYMax slice'/></svg>", kOk},
      {"<svg><a xlink:href='http://x' xlink:show='new' target='_blank' name='n'/></svg>", kOk},
      {"<svg><div/><p/><span class='c'/><region/><br/><solidColor style='x:y'/></svg>", kOk},
      {"<svg><title style='a' style='b'/></svg>", kOk},  // no style group on title
      {"<svg><color-profile name='p' local='l' rendering-intent='saturation'/></svg>", kOk},
      {"<svg><color-profile name='p' rendering-intent='vivid'/></svg>", kErrBadValue},
      {"<svg><br xml:lang='en'/></svg>", kErrBadLength},
      {"<svg><solidColor xml:space='preserve'/></svg>", kErrBadLength},
      {"<svg><color-profile name='p' xml:lang='en'/></svg>", kErrBadLength},
      {"<svg><br xml:base='x' id='b'/></svg>", kOk},
      {Rect("xml:base='a'"), kOk},
      {"<svg version='1.0'><rect xml:base='a' width='1' height='1'/></svg>", kErrBadLength},
      {"<svg version='1.0'><style xml:base='a'/></svg>", kErrBadLength},
      {"<svg version='1.0'><rect xml:lang='en' width='1' height='1'/></svg>", kOk},
  });
}

TEST_F(ElementAttributes, RequiredAttributes) {
  Expect({
      {"<svg><rect width='10'/></svg>", kErrRequiredAttribute},
      {"<svg><rect height='10'/></svg>", kErrRequiredAttribute},
      {"<svg><circle cx='1'/></svg>", kErrRequiredAttribute},
      {"<svg><ellipse rx='1'/></svg>", kErrRequiredAttribute},
      {"<svg><ellipse rx='1' ry='1'/></svg>", kOk},
      {"<svg><path/></svg>", kErrRequiredAttribute},
      {"<svg><path d=''/></svg>", kOk},
      {"<svg><image width='1' height='1'/></svg>", kErrRequiredAttribute},
      {"<svg><image xlink:href='a.png' width='1'/></svg>", kErrRequiredAttribute},
      {"<svg><color-profile local='x'/></svg>", kErrRequiredAttribute},
      // An attribute fault that stops the walk is reported first.
      {"<svg><rect x='1' x='2'/></svg>", kErrDuplicateAttribute},
      {"<svg><style/></svg>", kOk},  // "type" is not required
      {"<svg><style type='text/plain'/></svg>", kErrBadValue},
      {"<svg><polyline points='0,0 10-20'/></svg>", kOk},
      {"<svg><polygon points='0 0 1'/></svg>", kErrOddPointCount},
      {"<svg><polyline points=',0 0'/></svg>", kErrMisplacedComma},
      {"<svg><polyline points='0 0 1 z'/></svg>", kErrBadValue},
  });
}

// --- stored values -------------------------------------------------------------

TEST_F(ElementLoad, StoresTheCommonGroups) {
  Loaded("<svg><rect id=' r1 ' xml:lang='en' xml:space='preserve' "
         "requiredFeatures='org.w3c.svg org.w3c.dom.svg.all' systemLanguage='en ,  fr' "
         "requiredExtensions='x' externalResourcesRequired='TRUE' transform='translate(3 4)' "
         "class='c' onclick='x' width='1' height='1'/></svg>");
  const ElementCommon& common = Common(1);
  EXPECT_EQ(Record(1).elementType, kElemRect);
  EXPECT_STREQ(common.id, "r1");
  EXPECT_EQ(FindId(*document_, "r1"), 1);
  EXPECT_STREQ(common.xmlLang, "en");
  EXPECT_EQ(common.xmlSpace, 1);
  EXPECT_EQ(common.requiredFeatures, (1u << 0) | (1u << 10));
  EXPECT_STREQ(common.systemLanguage, "en fr");
  EXPECT_EQ(common.requiredExtensionsSeen, 1);
  EXPECT_EQ(common.externalResourcesRequired, 1);
  ASSERT_NE(common.transform.first, nullptr);
  EXPECT_EQ(common.transform.first->kind, kTransformTranslate);
  EXPECT_EQ(common.transform.first->params.translate.ty, 4.0);
  EXPECT_EQ(common.classSeen, 1);
  EXPECT_EQ(common.eventsGiven, 1u << 3);
  // A rect's xml:space does not reach the document; an svg's does.
  EXPECT_EQ(document_->preserveAll, 0);
  Loaded("<svg xml:space='preserve'/>");
  EXPECT_EQ(document_->preserveAll, 1);
}

TEST_F(ElementLoad, StoresShapeGeometry) {
  Loaded("<svg><rect x='1' y='2cm' width='50%' height='4'/>"
         "<circle cx='5' r='6mm'/><ellipse rx='7' ry='8'/><line x2='9' y2='10'/>"
         "<polygon points='0 0 1 1 2 0'/><path d='M0 0 L10 10 E 5 5' pathLength='100'/></svg>");
  const RectData& rect = Record(1).data.rect;
  EXPECT_EQ(rect.x.unit, kUnitNone);
  EXPECT_EQ(rect.y.unit, kUnitCm);
  EXPECT_EQ(rect.width.isPercent, 1);
  EXPECT_EQ(rect.width.value, 50.0);
  EXPECT_EQ(rect.rx.unit, kUnitPx);  // untouched default
  EXPECT_EQ(rect.rx.value, 0.0);
  const CircleData& circle = Record(2).data.circle;
  EXPECT_EQ(circle.cy.unit, kUnitPx);  // the centre defaults to 0
  EXPECT_EQ(circle.r.unit, kUnitMm);
  EXPECT_EQ(Record(3).data.ellipse.ry.value, 8.0);
  EXPECT_EQ(Record(4).data.line.x1.value, 0.0);
  EXPECT_EQ(Record(4).data.line.y2.value, 10.0);
  EXPECT_EQ(Record(5).elementType, kElemPolygon);
  EXPECT_EQ(Record(5).data.poly.points.count, 3);
  // Path data with a fault keeps the segments before it.
  const PathData& path = Record(6).data.path;
  ASSERT_EQ(path.d.count, 2);
  EXPECT_EQ(path.d.segments[1].type, kSegmentLine);
  EXPECT_EQ(path.pathLength.value, 100.0);
}

TEST_F(ElementLoad, DerivesRectCornerRadii) {
  struct Case {
    const char* attributes;
    double rx;
    double ry;
  };
  const Case cases[] = {
      {"width='10' height='4' rx='3'", 3, 2},
      {"width='10' height='4' ry='1'", 1, 1},
      {"width='10' height='4' ry='9'", 5, 2},
      {"width='10' height='40' rx='1' ry='2'", 1, 2},
      {"width='10' height='4'", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    Loaded(std::string("<svg><rect ") + c.attributes + "/></svg>");
    EXPECT_EQ(Record(1).data.rect.rx.value, c.rx);
    EXPECT_EQ(Record(1).data.rect.ry.value, c.ry);
  }
}

TEST_F(ElementLoad, SvgSizeFallsBackToTheViewBox) {
  struct Case {
    const char* text;
    SvgLength width;
    SvgLength height;
  };
  const Case cases[] = {
      {"<svg viewBox='0 0 40 30'/>", {kUnitNone, 40, 0}, {kUnitNone, 30, 0}},
      {"<svg width='80' viewBox='0 0 40 30'/>", {kUnitNone, 80, 0}, {kUnitNone, 60, 0}},
      {"<svg height='3cm' viewBox='0 0 40 30'/>", {kUnitCm, 4, 0}, {kUnitCm, 3, 0}},
      {"<svg width='50%' viewBox='0 0 40 30'/>", {kUnitNone, 50, 1}, {kUnitNone, 30, 0}},
      {"<svg/>", {kUnitNone, 100, 1}, {kUnitNone, 100, 1}},
      {"<svg width='7in' height='5'/>", {kUnitIn, 7, 0}, {kUnitNone, 5, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Loaded(c.text);
    const SvgElementData& svg = Record(0).data.svg;
    EXPECT_EQ(svg.width.unit, c.width.unit);
    EXPECT_DOUBLE_EQ(svg.width.value, c.width.value);
    EXPECT_EQ(svg.width.isPercent, c.width.isPercent);
    EXPECT_EQ(svg.height.unit, c.height.unit);
    EXPECT_DOUBLE_EQ(svg.height.value, c.height.value);
    EXPECT_EQ(svg.height.isPercent, c.height.isPercent);
  }
  // Only the root: an inner svg keeps 100% of its parent's viewport.
  Loaded("<svg viewBox='0 0 40 30'><svg viewBox='0 0 4 3'/></svg>");
  const SvgElementData& inner = Record(1).data.svg;
  EXPECT_EQ(inner.widthGiven, 0);
  EXPECT_EQ(inner.width.isPercent, 1);
  EXPECT_EQ(inner.hasViewBox, 1);
  EXPECT_EQ(inner.viewBox.width, 4.0);
  EXPECT_EQ(Record(0).data.svg.widthGiven, 0);
}

TEST_F(ElementLoad, SvgVersionAndDefaults) {
  Loaded("<svg version='1.0'/>");
  EXPECT_EQ(document_->version, 1.0);
  EXPECT_EQ(Record(0).data.svg.preserveAspectRatio.align, kAlignXMidYMid);
  EXPECT_EQ(Record(0).data.svg.zoomAndPan, kZoomAndPanMagnify);
  Loaded("<svg preserveAspectRatio='none' zoomAndPan='disable'/>");
  EXPECT_EQ(document_->version, 1.1);
  EXPECT_EQ(Record(0).data.svg.preserveAspectRatio.align, kAlignNone);
  EXPECT_EQ(Record(0).data.svg.zoomAndPan, 0);
}

TEST_F(ElementLoad, StoresReferencesAndImageData) {
  Loaded("<svg><use xlink:href='#shape' x='2'/>"
         "<image width='1' height='1' xlink:href='data:image/png;base64,AAEC/w=='/>"
         "<image width='1' height='1' xlink:href='#pic'/>"
         "<a xlink:href='http://example.com/' name='n'/></svg>");
  EXPECT_STREQ(Record(1).data.use.href, "shape");
  EXPECT_EQ(Record(1).data.use.width.value, 0.0);  // not given
  const ImageSource& data = Record(2).data.image.source;
  ASSERT_EQ(data.dataSize, 4);
  EXPECT_EQ(data.data[0], 0);
  EXPECT_EQ(data.data[2], 2);
  EXPECT_EQ(data.data[3], 0xFF);
  EXPECT_EQ(data.href, nullptr);
  EXPECT_STREQ(Record(3).data.image.source.href, "pic");
  EXPECT_STREQ(Record(4).data.anchor.href, "http://example.com/");
  EXPECT_STREQ(Record(4).data.anchor.name, "n");
}

TEST_F(ElementLoad, StoresMarkerSymbolAndProfileValues) {
  Loaded("<svg><marker orient='auto' markerUnits='userSpaceOnUse'/><marker orient='90'/>"
         "<symbol viewBox='1 2 3 4'/><color-profile name='cp' rendering-intent='perceptual'/>"
         "<clipPath clipPathUnits='objectBoundingBox'/></svg>");
  EXPECT_EQ(Record(1).data.marker.orientAuto, 1);
  EXPECT_EQ(Record(1).data.marker.markerUnits, 1);
  EXPECT_EQ(Record(1).data.marker.markerWidth.value, 3.0);
  EXPECT_EQ(Record(2).data.marker.orientAuto, 0);
  EXPECT_EQ(Record(2).data.marker.orient.value, 90.0);
  EXPECT_EQ(Record(3).data.symbol.hasViewBox, 1);
  EXPECT_EQ(Record(3).data.symbol.viewBox.y, 2.0);
  EXPECT_STREQ(Record(4).data.colorProfile.name, "cp");
  EXPECT_EQ(Record(4).data.colorProfile.renderingIntent, 1);
  EXPECT_EQ(Record(5).data.clipPath.clipPathUnits, 1);
}

// --- presentation: cascade and inheritance -------------------------------------

bool FillIs(const PresentationProperties& props, const char* name) {
  return props.fill.paintKind == kPaintColor && props.fill.color.text != nullptr &&
         std::string_view(props.fill.color.text) == name;
}

TEST_F(ElementLoad, StyleAttributeWinsOverAttributesInAnyOrder) {
  for (const std::string& text :
       {Rect("style='fill:blue' fill='red'"),
        Rect("fill='red' style='fill:blue'")}) {
    SCOPED_TRACE(text);
    Loaded(text);
    EXPECT_TRUE(FillIs(Props(1), "blue"));
  }
}

TEST_F(ElementLoad, AppliesTypeRuleThenClassRulesThenStyle) {
  Loaded("<svg><style type='text/css'>rect{fill:red;stroke-width:1} .c{fill:green;opacity:0.5}"
         " rect.c{stroke-width:4}</style>"
         "<rect class='c' style='opacity:0.25' fill='yellow' width='1' height='1'/>"
         "<rect width='1' height='1'/><circle class='c' r='1' fill='yellow'/></svg>");
  // The rect: the type rule beats the attribute, rect.c beats the type
  // rule (and replaces .c), the style attribute beats both.
  EXPECT_TRUE(FillIs(Props(2), "red"));
  EXPECT_EQ(Props(2).strokeWidth.value, 4.0);
  EXPECT_FLOAT_EQ(Props(2).opacity, 0.25f);
  EXPECT_TRUE(FillIs(Props(3), "red"));  // type rule alone
  EXPECT_EQ(Props(3).strokeWidth.value, 1.0);
  // The circle: .c over its fill attribute; no rect rule.
  EXPECT_TRUE(FillIs(Props(4), "green"));
  EXPECT_FLOAT_EQ(Props(4).opacity, 0.5f);
  EXPECT_EQ(Props(4).strokeWidth.isPercent, kLengthNotGiven);
}

TEST_F(ElementLoad, RulesReachOnlyElementsAfterTheSheet) {
  Loaded("<svg><rect width='1' height='1'/><style>rect{fill:red}</style>"
         "<style type='text/css'>rect{fill:blue}</style><rect width='1' height='1'/></svg>");
  EXPECT_EQ(Props(1).fill.paintKind, kPaintNotGiven);
  EXPECT_TRUE(FillIs(Props(4), "blue"));  // the untyped sheet added no rule
}

TEST_F(ElementLoad, InheritsTheInheritableProperties) {
  Loaded("<svg font-size='20'><g fill='red' opacity='0.5' display='none' font-family='Serif'>"
         "<rect width='1' height='1'/></g></svg>");
  EXPECT_EQ(Props(0).fontSize.value, 20.0);
  const PresentationProperties& rect = Props(2);
  EXPECT_EQ(rect.fill.paintKind, kPaintNotGiven);
  EXPECT_FLOAT_EQ(rect.opacity, 1.0f);
  EXPECT_EQ(rect.display, kDisplayNone);
  EXPECT_EQ(rect.fontSize.value, 20.0);
  EXPECT_STREQ(rect.fontFamily, "Serif");
  EXPECT_TRUE(FillIs(Props(1), "red"));
}

TEST_F(ElementLoad, PresentationGroupsByElementKind) {
  // A rect takes the colour, fill-and-stroke and graphics groups only; g
  // and svg take every property; an image has no fill and stroke.
  Loaded("<svg><rect font-size='30' stroke='red' visibility='hidden' width='1' height='1'/>"
         "<g font-size='30'/><image fill='red' display='none' xlink:href='a' width='1' "
         "height='1'/></svg>");
  EXPECT_EQ(Props(1).fontSize.value, 12.0);
  EXPECT_EQ(Props(1).stroke.paintKind, kPaintColor);
  EXPECT_EQ(Props(1).visibility, kVisibilityHidden);
  EXPECT_EQ(Props(2).fontSize.value, 30.0);
  EXPECT_EQ(Props(3).fill.paintKind, kPaintNotGiven);
  EXPECT_EQ(Props(3).display, kDisplayNone);
}

// --- memory ----------------------------------------------------------------------

TEST_F(ElementLoad, EveryFailedAllocationEndsCleanly) {
  const std::string rich =
      "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 10 10' xml:space='preserve' "
      "id='root' font-family='Sans'>"
      "<style type='text/css'>.a{fill:red} rect{stroke:blue}</style>"
      "<defs><linearGradient id='lg'/><marker id='m' orient='auto'/>"
      "<symbol id='s' viewBox='0 0 1 1'><path d='M0 0 L1 1 Z'/></symbol></defs>"
      "<g id='g1' class='a b' transform='rotate(30) scale(2)' fill='red' systemLanguage='en'>"
      "<rect class='a' style='stroke-dasharray:1 2' x='1' width='2' height='3' rx='1' "
      "xml:lang='en' xml:base='b/'/>"
      "<circle r='2'/><ellipse rx='1' ry='2'/><line x2='3'/>"
      "<polyline points='0 0 1 1 2 2 3 3 4 4 5 5'/><polygon points='0 0 1 0 1 1'/>"
      "<path id='p' d='M0 0 C1 1 2 2 3 3 S4 4 5 5 Q6 6 7 7 T8 8 A1 1 0 0 1 9 9 z'/>"
      "</g><use xlink:href='#s' width='5'/>"
      "<image width='1' height='1' xlink:href='data:image/png;base64,AAECAw=='/>"
      "<a xlink:href='x' name='n'><text>t</text></a><clipPath id='c'><rect width='1' "
      "height='1'/></clipPath><color-profile name='p' local='l'/></svg>";
  const KernelAccounting clean = testing::KernelSnapshot();
  ASSERT_EQ(Load(rich), kOk);
  FreeSvgDocument(document_);
  document_ = nullptr;
  SvgDocument* document = nullptr;
  const int64_t allocations = testing::KernelSnapshot().totalAllocations - clean.totalAllocations;
  ASSERT_GT(allocations, 50);

  std::map<Status, int> outcomes;
  for (int64_t n = 1; n <= allocations + 1; ++n) {
    SCOPED_TRACE(n);
    const KernelAccounting start = testing::KernelSnapshot();
    KernelFailAllocation(n);
    const Status status = LoadPath(path_, &document);
    KernelFailAllocation(0);
    FreeSvgDocument(document);
    document = nullptr;
    testing::ExpectNothingLiveSince(start);
    ++outcomes[status];
    if (n > allocations) {
      EXPECT_EQ(status, kOk);
    } else {
      // The reader reports an allocation it cannot make as a syntax fault.
      EXPECT_TRUE(status == kErrNoMemory || status == kErrNotSvg) << status;
    }
  }
  EXPECT_GT(outcomes[kErrNoMemory], 40);
}

}  // namespace
}  // namespace svgflt
