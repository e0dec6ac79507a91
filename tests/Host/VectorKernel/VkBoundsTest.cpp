// Bounds of the document and extents of its objects.
#include <algorithm>
#include <functional>

#include "VkTestDocument.h"

namespace vktest {
namespace {

using DocumentBounds = VkDocumentFixture;
using ObjectExtent = VkDocumentFixture;

void ExpectBox(const KernelPoint& lo, const KernelPoint& hi, double x0, double y0, double x1,
               double y1) {
  EXPECT_NEAR(lo.x, x0, 1e-9);
  EXPECT_NEAR(lo.y, y0, 1e-9);
  EXPECT_NEAR(hi.x, x1, 1e-9);
  EXPECT_NEAR(hi.y, y1, 1e-9);
}

TEST_F(DocumentBounds, GrowWithEveryObject) {
  KernelPoint lo{}, hi{};
  ASSERT_EQ(VectorGetExtent(&doc_, &lo, &hi), kVkOk);
  ExpectBox(lo, hi, 0, 0, 0, 0);

  struct Step {
    const char* what;
    std::function<void()> add;
    double x0, y0, x1, y1;
  };
  const Step steps[] = {
      {"line", [&] { AddLine(10, 20, 30, 5); }, 10, 5, 30, 20},
      {"circle", [&] { AddCircle(0, 0, 5); }, -5, -5, 30, 20},
      {"rect, corners reversed", [&] { AddRect(Pt(50, 40), Pt(40, 30)); }, -5, -5, 50, 40},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.add();
    ExpectBox(doc_.lowerBound, doc_.upperBound, step.x0, step.y0, step.x1, step.y1);
    ASSERT_EQ(VectorGetExtent(&doc_, &lo, &hi), kVkOk);
    ExpectBox(lo, hi, step.x0, step.y0, step.x1, step.y1);
  }
  // Text widens them by its box, which follows the font's metrics.
  const VectorObjectRef text = AddText(u"Hello", Pt(100, -10), 10);
  KernelPoint tlo{}, thi{};
  ASSERT_EQ(VectorGetObjectExtent(&doc_, text, &tlo, &thi), kVkOk);
  EXPECT_LT(tlo.y, -10);
  EXPECT_GT(thi.x, 110);
  ExpectBox(doc_.lowerBound, doc_.upperBound, -5, std::min(-5.0, tlo.y), std::max(50.0, thi.x),
            40);
}

TEST_F(DocumentBounds, ObjectsWithoutGeometryLeaveThemAlone) {
  auto empty = Made<VectorPathObject>(kVoPath);
  empty.h.flags = kVoFlagClipEnd;
  const VectorObjectRef ref = Add(kVoPath, &empty);
  AddText(u"", Pt(40, 40), 10);
  ExpectBox(doc_.lowerBound, doc_.upperBound, 0, 0, 0, 0);
  KernelPoint lo{}, hi{};
  EXPECT_EQ(VectorGetObjectExtent(&doc_, ref, &lo, &hi), kVkErrFailed);

  AddLine(-3, 4, 5, 6);
  ExpectBox(doc_.lowerBound, doc_.upperBound, -3, 4, 5, 6);
}

TEST_F(ObjectExtent, TextFollowsAlignmentAndEscapement) {
  // Position (0, 0), size 10. The box runs along the baseline over the
  // text's advance w, from the font's descent d below it to its ascent a
  // above it; alignment moves it along the baseline, escapement turns it.
  KernelPoint lo{}, hi{};
  ASSERT_EQ(VectorGetObjectExtent(&doc_, AddText(u"Hello", Pt(0, 0), 10), &lo, &hi), kVkOk);
  const double w = hi.x, a = hi.y, d = -lo.y;
  EXPECT_NEAR(lo.x, 0, 1e-9);
  EXPECT_GT(w, 15);
  EXPECT_LT(w, 40);
  EXPECT_GT(a, 5);
  EXPECT_GT(d, 0);
  EXPECT_LT(d, a);

  struct Case {
    const char* what;
    int32_t alignment, escapement;
    double x0, y0, x1, y1;
  };
  const Case cases[] = {
      {"end", kAlignEnd, 0, -w, -d, 0, a},
      {"middle", kAlignMiddle, 0, -w / 2, -d, w / 2, a},
      // The text stays on its baseline: the load side sets this bit on
      // ordinary runs whose position is the SVG baseline.
      {"middle, centring bit", kAlignMiddle | kAlignVerticalCentre, 0, -w / 2, -d, w / 2, a},
      {"turned 90 degrees", kAlignStart, 900, -a, 0, d, w},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const VectorObjectRef ref = AddText(u"Hello", Pt(0, 0), 10, c.alignment, c.escapement);
    ASSERT_EQ(VectorGetObjectExtent(&doc_, ref, &lo, &hi), kVkOk);
    ExpectBox(lo, hi, c.x0, c.y0, c.x1, c.y1);
  }

  // A surrogate pair is one character, not two broken halves.
  KernelPoint plo{}, phi{};
  ASSERT_EQ(VectorGetObjectExtent(&doc_, AddText(u"a", Pt(0, 0), 10), &lo, &hi), kVkOk);
  ASSERT_EQ(VectorGetObjectExtent(&doc_, AddText(u"a\U0001F600", Pt(0, 0), 10), &plo, &phi),
            kVkOk);
  EXPECT_GT(phi.x, hi.x);
  EXPECT_LT(phi.x, hi.x + 15);
}

TEST_F(ObjectExtent, CurvesRastersAndPolylines) {
  auto ellipse = Made<VectorEllipseObject>(kVoEllipse);
  ellipse.centre = Pt(1, 2);
  ellipse.rx = 10;
  ellipse.ry = 5;
  auto arc = Made<VectorArcObject>(kVoArc);
  arc.rx = 10;
  arc.ry = 5;
  arc.extent = 90;
  arc.rotation = 90;
  auto raster = Made<VectorRasterObject>(kVoRaster);
  raster.corner2 = Pt(100, -50);
  KernelPoint controls[4] = {Pt(0, 0), Pt(10, 30), Pt(20, -30), Pt(30, 0)};
  auto bezier = Made<VectorPolylineObject>(kVoBezier);
  bezier.count = 4;
  bezier.points = controls;

  struct Case {
    const char* what;
    int32_t type;
    const void* record;
    double x0, y0, x1, y1;
  };
  const Case cases[] = {
      {"ellipse", kVoEllipse, &ellipse, -9, -3, 11, 7},
      {"arc on a turned ellipse", kVoArc, &arc, -5, -10, 5, 10},
      {"raster corners", kVoRaster, &raster, 0, -50, 100, 0},
      {"Bezier control points", kVoBezier, &bezier, 0, -30, 30, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    KernelPoint lo{}, hi{};
    ASSERT_EQ(VectorGetObjectExtent(&doc_, Add(c.type, c.record), &lo, &hi), kVkOk);
    ExpectBox(lo, hi, c.x0, c.y0, c.x1, c.y1);
  }
  KernelPoint lo{}, hi{};
  EXPECT_EQ(VectorGetObjectExtent(&doc_, 99, &lo, &hi), kVkErrNoObject);
  EXPECT_EQ(VectorGetObjectExtent(&doc_, 1, nullptr, &hi), kVkErrArgument);
}

}  // namespace
}  // namespace vktest
