#include "Common/Vector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "Common/VectorConvertFixture.h"
#include "Common/svg.h"

namespace svgflt {

namespace testing {
namespace {

constexpr char kHead[] =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
    "width=\"200\" height=\"100\">";

std::string Svg(const std::string& body) { return std::string(kHead) + body + "</svg>"; }

// --- lengths ----------------------------------------------------------------

class Lengths : public ::testing::Test {
 protected:
  ConversionContext context_ = [] {
    ConversionContext c{};
    c.dpiX = c.dpiY = 96;
    c.fontSize = 12;
    c.referenceWidth = 199;
    c.referenceHeight = 300;
    return c;
  }();
};

TEST_F(Lengths, UnitsAtScreenResolution) {
  struct Case {
    int32_t unit;
    double value;
    double pixels;
  };
  const Case cases[] = {
      {kUnitIn, 1, 96},      {kUnitPc, 1, 16},         {kUnitPt, 1, 96.0 / 72},
      {kUnitCm, 2.54, 96},   {kUnitMm, 25.4, 96},      {kUnitPx, 7.5, 7.5},
      {kUnitNone, 3, 3},     {kUnitEm, 2, 32},         {kUnitEx, 2, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "unit " << c.unit << " value " << c.value);
    const SvgLength length{c.unit, c.value, 0};
    EXPECT_NEAR(LengthToPixels(context_, length, LengthAxis::kHorizontal), c.pixels, 1e-9);
    EXPECT_NEAR(LengthToPixels(context_, length, LengthAxis::kVertical), c.pixels, 1e-9);
  }
}

TEST_F(Lengths, VerticalUnitsUseTheVerticalResolution) {
  context_.dpiY = 72;
  EXPECT_DOUBLE_EQ(LengthToPixels(context_, {kUnitIn, 1, 0}, LengthAxis::kVertical), 72);
  EXPECT_DOUBLE_EQ(LengthToPixels(context_, {kUnitIn, 1, 0}, LengthAxis::kHorizontal), 96);
}

TEST_F(Lengths, PercentagesDivideTheReferenceAsIntegers) {
  const SvgLength half{kUnitNone, 50, 1};
  EXPECT_DOUBLE_EQ(LengthToPixels(context_, half, LengthAxis::kHorizontal), 50);  // 199 div 100
  EXPECT_DOUBLE_EQ(LengthToPixels(context_, half, LengthAxis::kVertical), 150);
  const double diagonal = std::sqrt(199.0 * 199 + 300.0 * 300) / 100 / std::sqrt(2.0) * 50;
  EXPECT_NEAR(LengthToPixels(context_, half, LengthAxis::kOther), diagonal, 1e-9);
}

// --- walk -------------------------------------------------------------------

using ConvertDriver = VectorConvert;

TEST_F(ConvertDriver, RectIsPlacedWithYUp) {
  ASSERT_EQ(Convert(Svg("<rect x=\"10\" y=\"20\" width=\"30\" height=\"40\"/>")), kOk);
  ASSERT_EQ(OfType(kVoRect).size(), 1u);
  StoredObject rect(&vector_, OfType(kVoRect)[0]);
  ASSERT_EQ(rect.status(), kVkOk);
  EXPECT_DOUBLE_EQ(rect->rect.corner1.x, 10);
  EXPECT_DOUBLE_EQ(rect->rect.corner1.y, -20);
  EXPECT_DOUBLE_EQ(rect->rect.corner2.x, 40);
  EXPECT_DOUBLE_EQ(rect->rect.corner2.y, -60);
  EXPECT_EQ(rect->h.group, 0);
}

TEST_F(ConvertDriver, DefsAndSymbolContentIsNotDrawn) {
  ASSERT_EQ(Convert(Svg("<defs><rect width=\"1\" height=\"1\"/><g><circle r=\"2\"/></g></defs>"
                        "<symbol id=\"s\"><circle r=\"3\"/><g><rect width=\"2\" height=\"2\"/>"
                        "</g></symbol><ellipse rx=\"4\" ry=\"5\"/>")),
            kOk);
  ASSERT_EQ(Drawn().size(), 1u);
  EXPECT_EQ(Drawn()[0].type, kVoEllipse);
}

TEST_F(ConvertDriver, NestedGroupsShareTheOutermostKernelGroup) {
  ASSERT_EQ(Convert(Svg("<g><g><rect width=\"1\" height=\"1\"/></g><circle r=\"1\"/></g>"
                        "<ellipse rx=\"1\" ry=\"2\"/>")),
            kOk);
  StoredObject rect(&vector_, OfType(kVoRect).at(0));
  StoredObject circle(&vector_, OfType(kVoCircle).at(0));
  StoredObject ellipse(&vector_, OfType(kVoEllipse).at(0));
  EXPECT_NE(rect->h.group, 0);
  EXPECT_EQ(circle->h.group, rect->h.group);
  EXPECT_EQ(ellipse->h.group, 0);
  // One group object closes the outermost group, before the ellipse.
  ASSERT_EQ(OfType(kVoGroupObject).size(), 1u);
  StoredObject closing(&vector_, OfType(kVoGroupObject)[0]);
  EXPECT_EQ(closing->groupObject.group, rect->h.group);
  EXPECT_NE(closing->groupObject.groupFlags & 0x100u, 0u);
  EXPECT_DOUBLE_EQ(closing->groupObject.scale[2], 1.0);
}

TEST_F(ConvertDriver, SiblingGroupsGetGroupsOfTheirOwn) {
  ASSERT_EQ(Convert(Svg("<g><rect width=\"1\" height=\"1\"/></g><g><circle r=\"1\"/></g>")), kOk);
  StoredObject rect(&vector_, OfType(kVoRect).at(0));
  StoredObject circle(&vector_, OfType(kVoCircle).at(0));
  EXPECT_NE(rect->h.group, 0);
  EXPECT_NE(circle->h.group, 0);
  EXPECT_NE(circle->h.group, rect->h.group);
}

TEST_F(ConvertDriver, GroupTransformIsBakedIntoThePoints) {
  ASSERT_EQ(Convert(Svg("<g transform=\"translate(100,10) scale(2)\">"
                        "<rect x=\"1\" y=\"2\" width=\"3\" height=\"4\"/></g>")),
            kOk);
  ASSERT_EQ(OfType(kVoPolygon).size(), 1u);
  StoredObject polygon(&vector_, OfType(kVoPolygon)[0]);
  ASSERT_EQ(polygon->polygon.count, 4);
  EXPECT_DOUBLE_EQ(polygon->polygon.points[0].x, 102);
  EXPECT_DOUBLE_EQ(polygon->polygon.points[0].y, -14);
  EXPECT_DOUBLE_EQ(polygon->polygon.points[2].x, 108);
  EXPECT_DOUBLE_EQ(polygon->polygon.points[2].y, -22);
}

TEST_F(ConvertDriver, ElementScaleActsAboutTheUserSpaceOrigin) {
  ASSERT_EQ(Convert(Svg("<circle cx=\"10\" cy=\"10\" r=\"2\" transform=\"scale(3)\"/>")), kOk);
  StoredObject circle(&vector_, OfType(kVoCircle).at(0));
  EXPECT_DOUBLE_EQ(circle->circle.centre.x, 30);
  EXPECT_DOUBLE_EQ(circle->circle.centre.y, -30);
  EXPECT_DOUBLE_EQ(circle->circle.r, 6);
}

// Where a browser puts rect 10,20 30x40: the list's last step acts first,
// rotations turn about the origin or their own centre, skews shear, and the
// element's own list acts before the transforms of its groups or its use.
TEST_F(ConvertDriver, ElementTransformListsPlaceTheObjectAsSvgDoes) {
  struct Case {
    const char* before;
    const char* transform;
    const char* after;
    double left, top, right, bottom;  // placed bounds, SVG coordinates
  };
  const Case cases[] = {
      {"", "translate(5,7)", "", 15, 27, 45, 67},
      {"", "translate(100,0) scale(2)", "", 120, 40, 180, 120},
      {"", "scale(2) translate(10,0)", "", 40, 40, 100, 120},
      {"", "rotate(90)", "", -60, 10, -20, 40},
      {"", "rotate(90 50 50)", "", 40, 10, 80, 40},
      {"", "translate(5) rotate(180 25 40)", "", 15, 20, 45, 60},
      {"", "skewX(45)", "", 30, 20, 100, 60},
      {"", "skewY(45)", "", 10, 30, 40, 100},
      {"", "scale(2,1)", "", 20, 20, 80, 60},
      {"<g transform=\"scale(2)\">", "translate(10,0)", "</g>", 40, 40, 100, 120},
      {"<g transform=\"scale(0.5)\">", "skewY(45)", "</g>", 5, 15, 20, 50},
      {"<g transform=\"rotate(90)\">", "translate(10,0)", "</g>", -60, 20, -20, 50},
      {"<defs>", "translate(10,0)",
       "</defs><use xlink:href=\"#r\" x=\"1\" transform=\"scale(2)\"/>", 42, 40, 102, 120},
      {"<svg x=\"5\" y=\"6\" width=\"50\" height=\"50\" viewBox=\"0 0 100 100\">",
       "translate(10,0)", "</svg>", 15, 16, 30, 36},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.before << c.transform << c.after);
    ASSERT_EQ(Convert(Svg(std::string(c.before) +
                          "<rect id=\"r\" x=\"10\" y=\"20\" width=\"30\" height=\"40\" "
                          "transform=\"" +
                          c.transform + "\"/>" + c.after)),
              kOk);
    KernelPoint lower{}, upper{};
    ASSERT_EQ(Drawn().size(), 1u);
    ASSERT_EQ(VectorGetObjectExtent(&vector_, Drawn()[0].id, &lower, &upper), kVkOk);
    // Group rotations fold in single precision.
    EXPECT_NEAR(lower.x, c.left, 1e-5);
    EXPECT_NEAR(upper.x, c.right, 1e-5);
    EXPECT_NEAR(-upper.y, c.top, 1e-5);
    EXPECT_NEAR(-lower.y, c.bottom, 1e-5);
  }
}

// --- viewport ---------------------------------------------------------------

TEST_F(ConvertDriver, ViewBoxOfTheViewportSizeLeavesShapesAsWritten) {
  ASSERT_EQ(Convert("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 50 50\">"
                    "<rect x=\"1\" y=\"2\" width=\"3\" height=\"4\"/></svg>"),
            kOk);
  ASSERT_EQ(OfType(kVoRect).size(), 1u);
  StoredObject rect(&vector_, OfType(kVoRect)[0]);
  EXPECT_DOUBLE_EQ(rect->rect.corner1.y, -2);
}

TEST_F(ConvertDriver, ViewBoxIsMappedOntoTheViewport) {
  struct Case {
    const char* attributes;
    double x0, y0, x1, y1;  // placed corners of rect 10,10 10x10
  };
  const Case cases[] = {
      {"width=\"200\" height=\"200\" viewBox=\"0 0 100 100\"", 20, -20, 40, -40},
      {"width=\"200\" height=\"100\" viewBox=\"0 0 100 100\"", 60, -10, 70, -20},  // xMidYMid
      {"width=\"200\" height=\"100\" viewBox=\"0 0 100 100\" "
       "preserveAspectRatio=\"none\"",
       20, -10, 40, -20},
      {"width=\"100\" height=\"100\" viewBox=\"10 10 100 100\"", 0, 0, 10, -10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    ASSERT_EQ(Convert(std::string("<svg xmlns=\"http://www.w3.org/2000/svg\" ") + c.attributes +
                      "><rect x=\"10\" y=\"10\" width=\"10\" height=\"10\"/></svg>"),
              kOk);
    ASSERT_EQ(OfType(kVoPolygon).size(), 1u);
    StoredObject p(&vector_, OfType(kVoPolygon)[0]);
    EXPECT_NEAR(p->polygon.points[0].x, c.x0, 1e-9);
    EXPECT_NEAR(p->polygon.points[0].y, c.y0, 1e-9);
    EXPECT_NEAR(p->polygon.points[2].x, c.x1, 1e-9);
    EXPECT_NEAR(p->polygon.points[2].y, c.y1, 1e-9);
  }
}

// Percentages take whole hundredths of the root viewport, in pixels.
// Percentages refer to the innermost viewport: 50% of x and y in it, then
// 50% of x after it.
TEST_F(ConvertDriver, PercentagesReferToTheInnermostViewport) {
  const struct {
    const char* size;
    const char* inner;
    double x, y, xAfter;
  } cases[] = {{"width=\"199\" height=\"100\"", "", 50, -50, 50},  // 199 div 100 = 1
               {"width=\"4in\" height=\"2in\"", "", 150, -50, 150},  // 384 by 192 pixels
               {"width=\"200\" height=\"100\"", "<svg width=\"400\" height=\"300\">", 200, -150, 100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.inner);
    const std::string rect = "<rect x=\"50%\" y=\"50%\" width=\"1\" height=\"1\"/>";
    ASSERT_EQ(Convert(std::string("<svg xmlns=\"http://www.w3.org/2000/svg\" ") + c.size + ">" +
                      c.inner + rect + (c.inner[0] != 0 ? "</svg>" : "") + rect + "</svg>"),
              kOk);
    ASSERT_EQ(OfType(kVoRect).size(), 2u);
    StoredObject first(&vector_, OfType(kVoRect)[0]);
    StoredObject after(&vector_, OfType(kVoRect)[1]);
    EXPECT_DOUBLE_EQ(first->rect.corner1.x, c.x);
    EXPECT_DOUBLE_EQ(first->rect.corner1.y, c.y);
    EXPECT_DOUBLE_EQ(after->rect.corner1.x, c.xAfter);
  }
}

// --- links ------------------------------------------------------------------

// The link each drawn object carries, in drawing order ("" for none).
TEST_F(ConvertDriver, LinksReachTheObjectsTheyCover) {
  const struct {
    std::string body;
    std::vector<std::u16string> links;
  } cases[] = {
      {"<a xlink:href=\"http://x/one\"><rect width=\"1\" height=\"1\"/><circle r=\"1\"/>"
       "<line x2=\"5\"/></a><ellipse rx=\"1\" ry=\"1\"/>",
       {u"http://x/one", u"http://x/one", u"http://x/one", u""}},
      // A nested link takes over for its content; the outer one resumes.
      {"<a xlink:href=\"outer\"><rect width=\"1\" height=\"1\"/><a xlink:href=\"inner\">"
       "<circle r=\"1\"/><g><circle r=\"2\"/></g></a><ellipse rx=\"1\" ry=\"1\"/></a>"
       "<line x2=\"3\"/>",
       {u"outer", u"inner", u"inner", u"outer", u""}},
      {"<a xlink:href=\"" + std::string(300, 'h') + "\"><rect width=\"1\" height=\"1\"/></a>",
       {std::u16string(259, u'h')}},
      {"<a xlink:href=\"caf\xC3\xA9\"><rect width=\"1\" height=\"1\"/></a>", {u"caf\u00E9"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body.substr(0, 60));
    ASSERT_EQ(Convert(Svg(c.body)), kOk);
    const auto drawn = Drawn();
    ASSERT_EQ(drawn.size(), c.links.size());
    for (size_t i = 0; i < drawn.size(); ++i) EXPECT_EQ(LinkOf(drawn[i].id), c.links[i]) << i;
  }
}

TEST_F(ConvertDriver, GroupInsideALinkOpensItsGroup) {
  ASSERT_EQ(Convert(Svg("<g><a xlink:href=\"h\"><g><rect width=\"1\" height=\"1\"/></g></a>"
                        "<circle r=\"1\"/></g><ellipse rx=\"1\" ry=\"1\"/>")),
            kOk);
  StoredObject rect(&vector_, OfType(kVoRect).at(0));
  StoredObject circle(&vector_, OfType(kVoCircle).at(0));
  StoredObject ellipse(&vector_, OfType(kVoEllipse).at(0));
  EXPECT_NE(rect->h.group, 0);
  EXPECT_NE(circle->h.group, 0);
  EXPECT_NE(rect->h.group, circle->h.group);
  EXPECT_EQ(ellipse->h.group, 0);
  EXPECT_EQ(LinkOf(rect->h.id), u"h");
  EXPECT_EQ(LinkOf(circle->h.id), u"");
}

TEST_F(ConvertDriver, LinkTransformAppliesToItsContentOnly) {
  ASSERT_EQ(Convert(Svg("<a xlink:href=\"h\" transform=\"translate(10,0)\">"
                        "<rect width=\"1\" height=\"1\"/></a><rect width=\"2\" height=\"2\"/>")),
            kOk);
  ASSERT_EQ(OfType(kVoPolygon).size(), 1u);
  StoredObject moved(&vector_, OfType(kVoPolygon)[0]);
  EXPECT_DOUBLE_EQ(moved->polygon.points[0].x, 10);
  ASSERT_EQ(OfType(kVoRect).size(), 1u);
  StoredObject plain(&vector_, OfType(kVoRect)[0]);
  EXPECT_DOUBLE_EQ(plain->rect.corner1.x, 0);
}

// --- use --------------------------------------------------------------------

TEST_F(ConvertDriver, UseOfASymbolIsScaledFromItsViewBox) {
  ASSERT_EQ(Convert(Svg("<defs><symbol id=\"s\" viewBox=\"0 0 10 10\">"
                        "<rect width=\"10\" height=\"10\"/></symbol></defs>"
                        "<use xlink:href=\"#s\" x=\"5\" y=\"5\" width=\"20\" height=\"20\"/>")),
            kOk);
  ASSERT_EQ(Drawn().size(), 1u);
  StoredObject p(&vector_, OfType(kVoPolygon).at(0));
  ASSERT_EQ(p->polygon.count, 4);
  EXPECT_NEAR(p->polygon.points[0].x, 5, 1e-9);
  EXPECT_NEAR(p->polygon.points[0].y, -5, 1e-9);
  EXPECT_NEAR(p->polygon.points[2].x, 25, 1e-9);
  EXPECT_NEAR(p->polygon.points[2].y, -25, 1e-9);
}

TEST_F(ConvertDriver, UseOfAGroupDrawsItsChildrenAtTheUsePosition) {
  ASSERT_EQ(Convert(Svg("<defs><g id=\"pair\" transform=\"translate(1,0)\">"
                        "<circle cx=\"1\" cy=\"1\" r=\"1\"/><circle cx=\"5\" cy=\"1\" r=\"1\"/>"
                        "</g></defs><use xlink:href=\"#pair\" x=\"10\"/>"
                        "<use xlink:href=\"#missing\"/>")),
            kOk);
  const auto paths = OfType(kVoPath);
  ASSERT_EQ(paths.size(), 2u);
  StoredObject first(&vector_, paths[0]);
  double minX = 1e9;
  for (int32_t i = 0; i < first->path.count; ++i) minX = std::min(minX, first->path.points[i].x);
  EXPECT_NEAR(minX, 11, 1e-6);
  EXPECT_NE(first->h.group, 0);
}

TEST_F(ConvertDriver, UseDrawsTextAtItsPosition) {
  ASSERT_EQ(Convert(Svg("<defs><text id=\"t\" x=\"1\" y=\"2\">a<tspan>b</tspan></text></defs>"
                        "<use xlink:href=\"#t\" x=\"10\"/>")),
            kOk);
  const auto texts = OfType(kVoText);
  ASSERT_EQ(texts.size(), 2u);
  StoredObject first(&vector_, texts[0]);
  EXPECT_DOUBLE_EQ(first->text.position.x, 11);
  EXPECT_DOUBLE_EQ(first->text.position.y, -2);
}

TEST_F(ConvertDriver, SelfReferencingUseStops) {
  ASSERT_EQ(Convert(Svg("<g id=\"a\"><rect width=\"1\" height=\"1\"/>"
                        "<use xlink:href=\"#a\"/></g><use xlink:href=\"#u\" id=\"u\"/>")),
            kOk);
  EXPECT_EQ(Drawn().size(), 1u);
}

// A chain of `levels` groups in defs, each using the one below, the bottom
// one holding a circle; the top one used once.
std::string UseChain(int levels) {
  std::string body = "<defs><circle id=\"g0\" r=\"1\"/>";
  for (int i = 1; i <= levels; ++i) {
    body += "<g id=\"g" + std::to_string(i) + "\"><use xlink:href=\"#g" + std::to_string(i - 1) +
            "\"/></g>";
  }
  return Svg(body + "</defs><use xlink:href=\"#g" + std::to_string(levels) + "\"/>");
}

TEST_F(ConvertDriver, NestedUseIsFollowedUpToTheDepthLimit) {
  ASSERT_EQ(Convert(UseChain(kMaxUseDepth - 1)), kOk);  // kMaxUseDepth uses deep
  EXPECT_EQ(Drawn().size(), 1u);
  ASSERT_EQ(Convert(UseChain(kMaxUseDepth)), kOk);
  EXPECT_EQ(Drawn().size(), 0u);
}

// Each level uses the level below ten times.
std::string UseFan(int levels) {
  std::string body = "<defs><line id=\"f0\" x2=\"1\"/>";
  for (int i = 1; i <= levels; ++i) {
    body += "<g id=\"f" + std::to_string(i) + "\">";
    for (int k = 0; k < 10; ++k) body += "<use xlink:href=\"#f" + std::to_string(i - 1) + "\"/>";
    body += "</g>";
  }
  return Svg(body + "</defs><use xlink:href=\"#f" + std::to_string(levels) + "\"/>");
}

TEST_F(ConvertDriver, UseExpansionStopsAtTheObjectBudget) {
  ASSERT_EQ(Convert(UseFan(3)), kOk);
  EXPECT_EQ(OfType(kVoLine).size(), 1000u);
  ASSERT_EQ(Convert(UseFan(6)), kOk);  // a million lines asked for
  EXPECT_EQ(OfType(kVoLine).size(), static_cast<size_t>(kUseObjectBudget));
}

// --- clips ------------------------------------------------------------------

TEST_F(ConvertDriver, ClipOfARectangleWrapsTheClippedShape) {
  ASSERT_EQ(Convert(Svg("<defs><clipPath id=\"c\"><rect x=\"1\" y=\"2\" width=\"3\" "
                        "height=\"4\"/></clipPath></defs>"
                        "<circle r=\"5\" clip-path=\"url(#c)\"/><ellipse rx=\"1\" ry=\"1\"/>")),
            kOk);
  ASSERT_EQ(objects_.size(), 4u);
  ASSERT_EQ(objects_[0].type, kVoClip);
  StoredObject clip(&vector_, objects_[0]);
  ASSERT_EQ(clip->clip.count, 5);
  const uint8_t kinds[] = {6, 2, 2, 2, 3};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(clip->clip.kinds[i], kinds[i]) << i;
  EXPECT_EQ(objects_[1].type, kVoCircle);
  ASSERT_EQ(objects_[2].type, kVoPath);
  StoredObject end(&vector_, objects_[2]);
  EXPECT_EQ(end->h.flags & kVoFlagClipEnd, static_cast<uint32_t>(kVoFlagClipEnd));
  EXPECT_EQ(end->path.pen.style, 0u);
  EXPECT_EQ(objects_[3].type, kVoEllipse);
  VectorState state{};
  ASSERT_EQ(VectorGetState(&vector_, &state), kVkOk);
  EXPECT_EQ(state.clipMode, 5);
}

// The clip outline of rect 10,20 100x50 through clip paths: its bounds, y
// down, and the orientation of every figure (positive, so that children add
// up under the nonzero rule, but for the holes of an even-odd child).
TEST_F(ConvertDriver, ClipOutlineLiesInTheClippedElementsSpace) {
  struct Case {
    const char* clipAttributes;
    const char* content;
    const char* rectAttributes;
    int32_t count;
    double left, top, right, bottom;
    int32_t holes = 0;
  };
  const Case cases[] = {
      {"", "<rect x=\"1\" y=\"2\" width=\"3\" height=\"4\"/>", "", 5, 1, 2, 4, 6},
      {"clip-rule=\"evenodd\"", "<path d=\"M0 0 H30 V30 H0 Z M10 10 H20 V20 H10 Z\"/>", "", 8,
       0, 0, 30, 30, 1},
      {"clipPathUnits=\"objectBoundingBox\"",
       "<rect x=\"0.2\" y=\"0.2\" width=\"0.6\" height=\"0.6\"/>", "", 5, 30, 30, 90, 60},
      {"transform=\"translate(5,0)\"", "<rect width=\"3\" height=\"4\" transform=\"scale(2)\"/>",
       "transform=\"translate(0,7)\"", 5, 5, 7, 11, 15},
      {"", "<rect x=\"40\" y=\"40\" width=\"20\" height=\"20\"/>", "transform=\"skewX(45)\"",
       5, 80, 40, 120, 60},
      {"", "<circle cx=\"50\" cy=\"50\" r=\"10\"/>", "", 13, 40, 40, 60, 60},
      {"", "<rect width=\"3\" height=\"4\"/><path d=\"M10 10 V20 H20 Z\"/>", "", 9, 0, 0, 20,
       20},
      {"", "<use xlink:href=\"#p\" x=\"5\"/>", "", 4, 15, 10, 25, 20},
      {"", "<rect width=\"3\" height=\"4\" display=\"none\"/>", "", 0, 0, 0, 0, 0},
      {"", "", "", 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.clipAttributes << " " << c.content << " "
                                      << c.rectAttributes);
    ASSERT_EQ(Convert(Svg(std::string("<defs><path id=\"p\" d=\"M10 10 V20 H20 Z\"/>"
                                      "<clipPath id=\"c\" ") +
                          c.clipAttributes + ">" + c.content +
                          "</clipPath></defs><rect x=\"10\" y=\"20\" width=\"100\" "
                          "height=\"50\" clip-path=\"url(#c)\" " +
                          c.rectAttributes + "/>")),
              kOk);
    ASSERT_EQ(OfType(kVoClip).size(), 1u);
    StoredObject clip(&vector_, OfType(kVoClip)[0]);
    ASSERT_EQ(clip->clip.count, c.count);
    if (c.count == 0) continue;
    double left = 1e9, right = -1e9, top = 1e9, bottom = -1e9;
    double area = 0;
    int32_t start = 0, holes = 0;
    for (int32_t i = 0; i < c.count; ++i) {
      const KernelPoint& p = clip->clip.points[i];
      left = std::min(left, p.x);
      right = std::max(right, p.x);
      top = std::min(top, -p.y);
      bottom = std::max(bottom, -p.y);
      const bool last = i + 1 == c.count || clip->clip.kinds[i + 1] == kPtMoveTo;
      const KernelPoint& q = clip->clip.points[last ? start : i + 1];
      area += p.x * q.y - q.x * p.y;
      if (last) {
        holes += area < 0 ? 1 : 0;
        area = 0;
        start = i + 1;
      }
    }
    EXPECT_EQ(holes, c.holes);
    EXPECT_NEAR(left, c.left, 1e-6);
    EXPECT_NEAR(right, c.right, 1e-6);
    EXPECT_NEAR(top, c.top, 1e-6);
    EXPECT_NEAR(bottom, c.bottom, 1e-6);
  }
}

TEST_F(ConvertDriver, InnerSvgClipsItsContentToItsViewport) {
  ASSERT_EQ(Convert(Svg("<svg x=\"5\" y=\"6\" width=\"50\" height=\"40\"><svg x=\"1\" "
                        "width=\"9\" height=\"9\"><circle r=\"90\"/></svg></svg>"
                        "<rect width=\"1\" height=\"1\"/>")),
            kOk);
  // Both viewports' rectangles, the circle (moved, so a point path), two
  // clip ends, then the rect outside them.
  ASSERT_EQ(objects_.size(), 6u);
  const int32_t types[] = {kVoClip, kVoClip, kVoPath, kVoPath, kVoPath, kVoRect};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(objects_[i].type, types[i]) << i;
  EXPECT_EQ(Drawn().size(), 2u);
  StoredObject inner(&vector_, objects_[1]);
  ASSERT_EQ(inner->clip.count, 5);
  EXPECT_DOUBLE_EQ(inner->clip.points[0].x, 6);
  EXPECT_DOUBLE_EQ(inner->clip.points[2].x, 15);
  EXPECT_DOUBLE_EQ(inner->clip.points[2].y, -15);
}

// Clips set before the first drawn object: how many (they intersect), and
// the bounds of the outermost, y down. Clips of groups and uses hold for
// all their content in their own space; clipPath elements and their only
// child may be clipped in turn.
TEST_F(ConvertDriver, ClipsOfScopesAndClipPathsIntersect) {
  struct Case {
    const char* body;
    size_t clips;
    double left, top, right, bottom;
  };
#define RECT "<rect x=\"10\" y=\"20\" width=\"100\" height=\"50\"/>"
  const Case cases[] = {
      {"<g clip-path=\"url(#c)\" transform=\"translate(5,0)\"><g><rect width=\"9\" "
       "height=\"9\" transform=\"translate(0,10)\"/></g></g>", 1, 6, 2, 9, 6},
      {"<g clip-path=\"url(#b)\"><rect width=\"10\" height=\"10\" transform=\"scale(2)\"/>"
       RECT "<rect x=\"-50\" width=\"9\" height=\"9\" display=\"none\"/></g>", 1, 22, 14, 88, 56},
      {"<g clip-path=\"url(#c)\"><rect width=\"9\" height=\"9\" clip-path=\"url(#d)\"/></g>",
       2, 1, 2, 4, 6},
      {"<use xlink:href=\"#r\" x=\"5\" clip-path=\"url(#c)\"/>", 1, 6, 2, 9, 6},
      {"<rect width=\"9\" height=\"9\" clip-path=\"url(#e)\"/>", 2, 1, 2, 4, 6},
      {"<rect width=\"9\" height=\"9\" clip-path=\"url(#f)\"/>", 2, 1, 2, 4, 6},
      {"<rect width=\"9\" height=\"9\" clip-path=\"url(#g)\"/>", 1, 1, 2, 4, 6},
      {"<g id=\"x\"/><rect width=\"9\" height=\"9\" clip-path=\"url(#x)\"/>" RECT, 0, 0, 0, 0, 0},
      {"<rect width=\"9\" height=\"9\" clip-path=\"url(#none)\"/>", 0, 0, 0, 0, 0},
  };
#undef RECT
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    ASSERT_EQ(Convert(Svg(
                  std::string("<defs><rect id=\"r\" width=\"9\" height=\"9\"/>"
                  "<clipPath id=\"c\"><rect x=\"1\" y=\"2\" width=\"3\" height=\"4\"/></clipPath>"
                  "<clipPath id=\"b\" clipPathUnits=\"objectBoundingBox\"><rect x=\"0.2\" "
                  "y=\"0.2\" width=\"0.6\" height=\"0.6\"/></clipPath>"
                  "<clipPath id=\"d\"><rect width=\"2\" height=\"2\"/></clipPath>"
                  "<clipPath id=\"e\" clip-path=\"url(#d)\"><rect x=\"1\" y=\"2\" width=\"3\" "
                  "height=\"4\"/></clipPath>"
                  "<clipPath id=\"f\"><rect x=\"1\" y=\"2\" width=\"3\" height=\"4\" "
                  "clip-path=\"url(#d)\"/></clipPath>"
                  "<clipPath id=\"g\" clip-path=\"url(#g)\"><rect x=\"1\" y=\"2\" width=\"3\" "
                  "height=\"4\"/></clipPath></defs>") +
                  c.body)),
              kOk);
    size_t clips = 0;
    while (clips < objects_.size() && objects_[clips].type == kVoClip) ++clips;
    EXPECT_EQ(clips, c.clips);
    if (clips == 0) continue;
    StoredObject clip(&vector_, objects_[0]);
    double left = 1e9, right = -1e9, top = 1e9, bottom = -1e9;
    for (int32_t i = 0; i < clip->clip.count; ++i) {
      left = std::min(left, clip->clip.points[i].x);
      right = std::max(right, clip->clip.points[i].x);
      top = std::min(top, -clip->clip.points[i].y);
      bottom = std::max(bottom, -clip->clip.points[i].y);
    }
    EXPECT_NEAR(left, c.left, 1e-6);
    EXPECT_NEAR(top, c.top, 1e-6);
    EXPECT_NEAR(right, c.right, 1e-6);
    EXPECT_NEAR(bottom, c.bottom, 1e-6);
  }
}

// --- failures ------------------------------------------------

TEST_F(ConvertDriver, NullDocumentIsRejected) {
  ASSERT_EQ(Load(Svg("")), kOk);
  EXPECT_EQ(ConvertDocument(nullptr, *document_, nullptr, nullptr), kErrMissing);
}

// The whole-filter fault sweeps have no clips or nested links: those are
// swept here.
TEST_F(ConvertDriver, EveryAllocationFailureIsReportedWithoutLeaks) {
  ASSERT_EQ(Load(Svg("<defs><clipPath id=\"c\" clip-rule=\"evenodd\"><rect width=\"3\" height=\"4\"/></clipPath>"
                     "</defs><a xlink:href=\"outer\"><a xlink:href=\"inner\"><path d=\"M0 0 "
                     "L5 5\"/></a></a><polygon points=\"0,0 4,0 4,4\" clip-path=\"url(#c)\"/>")),
            kOk);
  int failures = 0;
  for (int64_t n = 1; n < 200; ++n) {
    SCOPED_TRACE(n);
    const KernelAccounting before = KernelSnapshot();
    NewVector();
    KernelFailAllocation(n);
    const Status status = ConvertDocument(&vector_, *document_, nullptr, nullptr);
    KernelFailAllocation(0);
    FreeVector();
    ExpectNothingLiveSince(before);
    if (status == kOk) break;
    EXPECT_EQ(status, kErrNoMemory);
    ++failures;
  }
  EXPECT_GT(failures, 3);
}

}  // namespace
}  // namespace testing
}  // namespace svgflt
