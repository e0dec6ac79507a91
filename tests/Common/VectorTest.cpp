#include "Common/Vector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "Common/VectorConvertFixture.h"

namespace svgflt {

namespace testing {
namespace {

constexpr char kHead[] =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
    "width=\"200\" height=\"100\">";

std::string Svg(const std::string& body) { return std::string(kHead) + body + "</svg>"; }

// --- lengths ----------------------------------------------------------------

// Horizontal lengths at 96 dpi, vertical ones at 72 dpi.
TEST(Lengths, UnitsAtScreenResolution) {
  struct Case {
    int32_t unit;
    double value, horizontal, vertical;
  };
  const Case cases[] = {
      {kUnitIn, 1, 96, 72},        {kUnitPc, 1, 16, 12},     {kUnitPt, 1, 96.0 / 72, 1},
      {kUnitCm, 2.54, 96, 72},     {kUnitMm, 25.4, 96, 72},  {kUnitPx, 7.5, 7.5, 7.5},
      {kUnitNone, 3, 3, 3},        {kUnitEm, 2, 32, 24},     {kUnitEx, 2, 12, 12},
  };
  ConversionContext context{};
  context.dpiX = 96;
  context.dpiY = 72;
  context.fontSize = 12;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "unit " << c.unit << " value " << c.value);
    const SvgLength length{c.unit, c.value, 0};
    EXPECT_NEAR(LengthToPixels(context, length, LengthAxis::kHorizontal), c.horizontal, 1e-9);
    EXPECT_NEAR(LengthToPixels(context, length, LengthAxis::kVertical), c.vertical, 1e-9);
  }
}

// --- walk -------------------------------------------------------------------

using ConvertDriver = VectorConvert;

// Directly nested groups share the outermost kernel group, which one group
// object closes; siblings and groups inside links get their own; defs and
// symbol content is left out.
TEST_F(ConvertDriver, GroupsShareOnlyWhenDirectlyNested) {
  ASSERT_EQ(Convert(Svg("<defs><rect width=\"1\" height=\"1\"/><g><circle r=\"2\"/></g></defs>"
                        "<symbol id=\"s\"><circle r=\"3\"/></symbol>"
                        "<g><g><rect width=\"1\" height=\"1\"/></g><circle r=\"1\"/>"
                        "<a xlink:href=\"h\"><g><line x2=\"1\"/></g></a></g>"
                        "<g><polyline points=\"0,0 1,1\"/></g><ellipse rx=\"1\" ry=\"2\"/>")),
            kOk);
  const auto drawn = Drawn();
  ASSERT_EQ(drawn.size(), 5u);
  std::vector<int32_t> groups;
  for (const auto& h : drawn) groups.push_back(StoredObject(&vector_, h)->h.group);
  // rect and circle share; the line in the link and the polyline have
  // their own; the ellipse is outside.
  EXPECT_EQ(groups, (std::vector<int32_t>{groups[0], groups[0], groups[2], groups[3], 0}));
  EXPECT_EQ(std::set<int32_t>({0, groups[0], groups[2], groups[3]}).size(), 4u);
  EXPECT_EQ(LinkOf(drawn[2].id), u"h");
  const auto closing = OfType(kVoGroupObject);
  ASSERT_EQ(closing.size(), 2u);
  StoredObject first(&vector_, closing[0]);
  EXPECT_EQ(first->groupObject.group, groups[0]);
  EXPECT_NE(first->groupObject.groupFlags & 0x100u, 0u);
  EXPECT_DOUBLE_EQ(first->groupObject.scale[2], 1.0);
}

// Where a browser puts rect 10,20 30x40 (y up in the kernel): the list's
// last step acts first, rotations turn about the origin or their own
// centre, skews shear, and the element's own list acts before the transforms
// of its groups, links, uses and symbols.
TEST_F(ConvertDriver, ElementTransformListsPlaceTheObjectAsSvgDoes) {
  struct Case {
    const char* before;
    const char* transform;
    const char* after;
    double left, top, right, bottom;  // placed bounds, SVG coordinates
    const char* root = "";            // the root's attributes, if not the usual
  };
  const Case cases[] = {
      {"", "", "", 10, 20, 40, 60},
      {"", "translate(100,0) scale(2)", "", 120, 40, 180, 120},
      {"", "rotate(90 50 50)", "", 40, 10, 80, 40},
      {"", "skewX(45)", "", 30, 20, 100, 60},
      {"<g transform=\"translate(100,10) scale(2)\">", "", "</g>", 120, 50, 180, 130},
      {"<defs><symbol id=\"s\" viewBox=\"0 0 100 100\">", "", "</symbol></defs><use "
       "xlink:href=\"#s\" x=\"5\" y=\"5\" width=\"50\" height=\"50\"/>", 10, 15, 25, 35},
      {"<defs><g id=\"p\" transform=\"translate(1,0)\">", "", "</g></defs><use xlink:href="
       "\"#p\" x=\"10\"/><use xlink:href=\"#missing\"/>", 21, 20, 51, 60},
      {"<g transform=\"rotate(90)\">", "translate(10,0)", "</g>", -60, 20, -20, 50},
      {"<defs>", "translate(10,0)",
       "</defs><use xlink:href=\"#r\" x=\"1\" transform=\"scale(2)\"/>", 42, 40, 102, 120},
      {"<svg x=\"5\" y=\"6\" width=\"50\" height=\"50\" viewBox=\"0 0 100 100\">",
       "translate(10,0)", "</svg>", 15, 16, 30, 36},
      // The root's viewBox mapped onto its viewport.
      {"", "", "", 60, 20, 90, 60, "width=\"200\" height=\"100\" viewBox=\"0 0 100 100\""},
      {"", "", "", 20, 20, 80, 60,
       "width=\"200\" height=\"100\" viewBox=\"0 0 100 100\" preserveAspectRatio=\"none\""},
      {"", "", "", 0, 10, 30, 50, "width=\"100\" height=\"100\" viewBox=\"10 10 100 100\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.root << c.before << c.transform << c.after);
    const std::string body = std::string(c.before) +
                             "<rect id=\"r\" x=\"10\" y=\"20\" width=\"30\" height=\"40\" "
                             "transform=\"" + c.transform + "\"/>" + c.after;
    ASSERT_EQ(Convert(c.root[0] == 0 ? Svg(body)
                                     : std::string("<svg xmlns=\"http://www.w3.org/2000/svg\" ") +
                                           c.root + ">" + body + "</svg>"),
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

// Percentages refer to the innermost viewport: 50% of x and y in it, then
// 50% of x after it.
TEST_F(ConvertDriver, PercentagesReferToTheInnermostViewport) {
  const struct {
    const char* size;
    const char* inner;
    double x, y, xAfter;
  } cases[] = {{"width=\"199\" height=\"100\"", "", 50, -50, 50},  // 199 div 100 = 1
               {"width=\"4in\" height=\"2in\"", "", 150, -50, 150},  // 384 by 192 pixels
               {"width=\"200\" height=\"100\"", "<svg width=\"400\" height=\"300\">", 200, -150,
                100}};
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

// --- use --------------------------------------------------------------------

TEST_F(ConvertDriver, UseDrawsTextAtItsPosition) {
  ASSERT_EQ(Convert(Svg("<defs><text id=\"t\" x=\"1\" y=\"2\">a<tspan>b</tspan></text></defs>"
                        "<use xlink:href=\"#t\" x=\"10\"/>")),
            kOk);
  ASSERT_EQ(OfType(kVoText).size(), 2u);
  StoredObject first(&vector_, OfType(kVoText)[0]);
  EXPECT_DOUBLE_EQ(first->text.position.x, 11);
  EXPECT_DOUBLE_EQ(first->text.position.y, -2);
}

// A chain of `levels` groups in defs, each using the one below, the bottom
// one holding a circle; the top one used once.
std::string UseChain(int levels) {
  std::string body = "<defs><circle id=\"g0\" r=\"1\"/>";
  for (int i = 1; i <= levels; ++i)
    body += "<g id=\"g" + std::to_string(i) + "\"><use xlink:href=\"#g" + std::to_string(i - 1) +
            "\"/></g>";
  return Svg(body + "</defs><use xlink:href=\"#g" + std::to_string(levels) + "\"/>");
}

TEST_F(ConvertDriver, NestedUseIsFollowedUpToTheDepthLimit) {
  ASSERT_EQ(Convert(UseChain(kMaxUseDepth - 1)), kOk);  // kMaxUseDepth uses deep
  EXPECT_EQ(Drawn().size(), 1u);
  ASSERT_EQ(Convert(UseChain(kMaxUseDepth)), kOk);
  EXPECT_EQ(Drawn().size(), 0u);
}

// --- clips ------------------------------------------------------------------

// The clip (a rectangle as five points), the clipped shape and the clip
// end, then the next shape unclipped.
TEST_F(ConvertDriver, ClipWrapsTheClippedShape) {
  ASSERT_EQ(Convert(Svg("<defs><clipPath id=\"c\"><rect x=\"1\" y=\"2\" width=\"3\" "
                        "height=\"4\"/></clipPath></defs>"
                        "<circle r=\"5\" clip-path=\"url(#c)\"/><ellipse rx=\"1\" ry=\"1\"/>")),
            kOk);
  std::vector<int32_t> types;
  for (const auto& h : objects_) types.push_back(h.type);
  ASSERT_EQ(types, (std::vector<int32_t>{kVoClip, kVoCircle, kVoPath, kVoEllipse}));
  StoredObject end(&vector_, objects_[2]);
  EXPECT_EQ(end->h.flags & kVoFlagClipEnd, static_cast<uint32_t>(kVoFlagClipEnd));
  EXPECT_EQ(end->path.pen.style, 0u);
  VectorState state{};
  ASSERT_EQ(VectorGetState(&vector_, &state), kVkOk);
  EXPECT_EQ(state.clipMode, 5);
}

// Clips set before the first drawn object: how many (they intersect), the
// point count and bounds (y down) of the outermost one, and its figures
// turned clockwise (holes of an even-odd child; all others are positive so
// that children add up under the nonzero rule). R is rect 10,20 100x50
// clipped by c, C the rectangle c of most rows.
TEST_F(ConvertDriver, ClipOutlinesLieInTheClippedElementsSpace) {
  struct Case {
    const char* clip;  // attributes and content of c
    const char* body;
    size_t clips;
    int32_t count;
    double left, top, right, bottom;
    int32_t holes = 0;  // -1: a viewport's rectangle, either way round
  };
#define R "<rect x=\"10\" y=\"20\" width=\"100\" height=\"50\" clip-path=\"url(#c)\""
#define C "><rect x=\"1\" y=\"2\" width=\"3\" height=\"4\"/>"
  const Case cases[] = {
      {C, R "/>", 1, 5, 1, 2, 4, 6},
      {"clip-rule=\"evenodd\"><path d=\"M0 0 H30 V30 H0 Z M10 10 H20 V20 H10 Z\"/>", R "/>", 1, 8,
       0, 0, 30, 30, 1},
      {"clipPathUnits=\"objectBoundingBox\"><rect x=\"0.2\" y=\"0.2\" width=\"0.6\" "
       "height=\"0.6\"/>", R "/>", 1, 5, 30, 30, 90, 60},
      {"transform=\"translate(5,0)\"><rect width=\"3\" height=\"4\" transform=\"scale(2)\"/>",
       R " transform=\"translate(0,7)\"/>", 1, 5, 5, 7, 11, 15},
      {"><circle cx=\"50\" cy=\"50\" r=\"10\"/>", R "/>", 1, 13, 40, 40, 60, 60},
      {"><rect width=\"3\" height=\"4\"/><path d=\"M10 10 V20 H20 Z\"/>", R "/>", 1, 9, 0, 0, 20, 20},
      {"><use xlink:href=\"#p\" x=\"5\"/>", R "/>", 1, 4, 15, 10, 25, 20},
      {">", R "/>", 1, 0, 0, 0, 0, 0},
      // Groups and uses clip all their content in their own space.
      {C, "<g clip-path=\"url(#c)\" transform=\"translate(5,0)\"><g><rect width=\"9\" "
       "height=\"9\" transform=\"translate(0,10)\"/></g></g>", 1, 5, 6, 2, 9, 6},
      {C, "<g clip-path=\"url(#b)\"><rect width=\"10\" height=\"10\" transform=\"scale(2)\"/>"
       "<rect x=\"10\" y=\"20\" width=\"100\" height=\"50\"/><rect x=\"-50\" width=\"9\" "
       "height=\"9\" display=\"none\"/></g>", 1, 5, 22, 14, 88, 56},
      {C, "<g clip-path=\"url(#c)\"><rect width=\"9\" height=\"9\" clip-path=\"url(#d)\"/></g>", 2,
       5, 1, 2, 4, 6},
      {C, "<use xlink:href=\"#r\" x=\"5\" clip-path=\"url(#c)\"/>", 1, 5, 6, 2, 9, 6},
      // Text in bounding-box units: its box is the kernel's layout's (left > right: any).
      {C, "<text x=\"10\" y=\"50\" clip-path=\"url(#b)\">Hi</text>", 1, 5, 1, 0, 0, 0},
      {C, "<svg x=\"5\" y=\"6\" width=\"50\" height=\"40\"><svg x=\"1\" width=\"9\" height=\"9\">"
       "<circle r=\"90\"/></svg></svg>", 2, 5, 5, 6, 55, 46, -1},
      // A clipPath clipped itself; one that refers to itself.
      {C, "<rect width=\"9\" height=\"9\" clip-path=\"url(#e)\"/>", 2, 5, 1, 2, 4, 6},
      {C, "<rect width=\"9\" height=\"9\" clip-path=\"url(#g)\"/>", 1, 5, 1, 2, 4, 6},
      {C, "<g id=\"x\"/><rect width=\"9\" height=\"9\" clip-path=\"url(#x)\"/>", 0, 0, 0, 0, 0, 0},
      {C, "<rect width=\"9\" height=\"9\" clip-path=\"url(#none)\"/>", 0, 0, 0, 0, 0, 0},
  };
#undef R
#undef C
  const std::string defs =
      "<defs><rect id=\"r\" width=\"9\" height=\"9\"/><path id=\"p\" d=\"M10 10 V20 H20 Z\"/>"
      "<clipPath id=\"b\" clipPathUnits=\"objectBoundingBox\"><rect x=\"0.2\" y=\"0.2\" "
      "width=\"0.6\" height=\"0.6\"/></clipPath>"
      "<clipPath id=\"d\"><rect width=\"2\" height=\"2\"/></clipPath>"
      "<clipPath id=\"e\" clip-path=\"url(#d)\"><rect x=\"1\" y=\"2\" width=\"3\" height=\"4\"/>"
      "</clipPath><clipPath id=\"g\" clip-path=\"url(#g)\"><rect x=\"1\" y=\"2\" width=\"3\" "
      "height=\"4\"/></clipPath><clipPath id=\"c\" ";
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.clip << " " << c.body);
    ASSERT_EQ(Convert(Svg(defs + c.clip + "</clipPath></defs>" + c.body)), kOk);
    size_t clips = 0;
    while (clips < objects_.size() && objects_[clips].type == kVoClip) ++clips;
    EXPECT_EQ(clips, c.clips);
    if (clips == 0 || c.clips == 0) continue;
    StoredObject clip(&vector_, objects_[0]);
    ASSERT_EQ(clip->clip.count, c.count);
    if (c.count == 0 || c.left > c.right) continue;
    double left = 1e9, right = -1e9, top = 1e9, bottom = -1e9, area = 0;
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
    EXPECT_TRUE(c.holes < 0 || holes == c.holes) << holes;
    EXPECT_NEAR(left, c.left, 1e-6);
    EXPECT_NEAR(right, c.right, 1e-6);
    EXPECT_NEAR(top, c.top, 1e-6);
    EXPECT_NEAR(bottom, c.bottom, 1e-6);
  }
}

// --- failures ------------------------------------------------

// The whole-filter fault sweeps have no clips or nested links: those are
// swept here.
TEST_F(ConvertDriver, EveryAllocationFailureIsReportedWithoutLeaks) {
  ASSERT_EQ(Load(Svg("<defs><clipPath id=\"c\" clip-rule=\"evenodd\"><rect width=\"3\" "
                     "height=\"4\"/></clipPath>"
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
