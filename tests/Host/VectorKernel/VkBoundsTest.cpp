// Bounds of the document and extents of its objects.
#include <algorithm>
#include <functional>

#include "VkTestDocument.h"

namespace vktest {
namespace {

using Bounds = VkDocumentFixture;

TEST_F(Bounds, GrowWithEveryObjectButNotWithObjectsWithoutGeometry) {
  KernelPoint lo{}, hi{};
  auto empty = Made<VectorPathObject>(kVoPath);
  empty.h.flags = kVoFlagClipEnd;
  EXPECT_EQ(VectorGetObjectExtent(&doc_, Add(kVoPath, &empty), &lo, &hi), kVkErrFailed);
  AddText(u"", Pt(40, 40), 10);
  struct Step { std::function<void()> add; double x0, y0, x1, y1; };
  const Step steps[] = {
      {[] {}, 0, 0, 0, 0},
      {[&] { AddLine(10, 20, 30, 5); }, 10, 5, 30, 20},
      {[&] { AddCircle(0, 0, 5); }, -5, -5, 30, 20},
      {[&] { AddRect(Pt(50, 40), Pt(40, 30)); }, -5, -5, 50, 40},  // corners reversed
  };
  for (const Step& step : steps) {
    step.add();
    ExpectBox(doc_.lowerBound, doc_.upperBound, step.x0, step.y0, step.x1, step.y1);
    ASSERT_EQ(VectorGetExtent(&doc_, &lo, &hi), kVkOk);
    ExpectBox(lo, hi, step.x0, step.y0, step.x1, step.y1);
  }
  ASSERT_EQ(VectorGetObjectExtent(&doc_, AddText(u"Hello", Pt(100, -10), 10), &lo, &hi), kVkOk);
  ExpectBox(doc_.lowerBound, doc_.upperBound, -5, std::min(-5.0, lo.y), std::max(50.0, hi.x), 40);
}

// A clip shows only what lies inside it, so the objects after it add only
// that part of their box, until the clip is ended; clips nest.
TEST_F(Bounds, ObjectsUnderAClipAddOnlyTheirPartInsideIt) {
  KernelPoint outer[3] = {Pt(0, 0), Pt(100, 0), Pt(100, 100)}, inner[3] = {Pt(80, 60), Pt(300, 60), Pt(300, 90)};
  uint8_t kinds[3] = {kPtMoveTo, kPtLineTo, kPtLineTo | kPtCloseFigure};
  const VectorPointPath outerClip{3, outer, kinds}, innerClip{3, inner, kinds}, emptyClip{0, nullptr, nullptr};
  auto end = Made<VectorPathObject>(kVoPath);
  end.h.flags = kVoFlagClipEnd;
  AddLine(10, 10, 20, 20);
  ASSERT_EQ(VectorSetClip(&doc_, &outerClip), kVkOk);
  const VectorObjectRef cut = AddRect(Pt(50, 50), Pt(500, 500));
  ExpectBox(doc_.lowerBound, doc_.upperBound, 10, 10, 100, 100);
  ASSERT_EQ(VectorSetClip(&doc_, &innerClip), kVkOk);  // cut by the outer clip: x 80..100
  AddCircle(-400, 90, 1000);
  ExpectBox(doc_.lowerBound, doc_.upperBound, 10, 10, 100, 100);
  Add(kVoPath, &end);
  Add(kVoPath, &end);
  ASSERT_EQ(VectorSetClip(&doc_, &emptyClip), kVkOk);  // hides everything after it
  AddLine(-500, -500, 900, 900);
  Add(kVoPath, &end);
  ExpectBox(doc_.lowerBound, doc_.upperBound, 10, 10, 100, 100);
  AddLine(0, 0, 150, 5);
  ExpectBox(doc_.lowerBound, doc_.upperBound, 0, 0, 150, 100);
  // Moving an object that is not the newest measures all again, each in
  // its own clip.
  const VectorTriple away{-1000, -1000, 0};
  ASSERT_EQ(VectorObjectMove(&doc_, &away, cut), kVkOk);
  ExpectBox(doc_.lowerBound, doc_.upperBound, 0, 0, 150, 90);
}

TEST_F(Bounds, TextFollowsAlignmentAndEscapement) {
  // Position (0, 0), size 10. The box runs along the baseline over the
  // text's advance w, from the font's descent d below it to its ascent a
  // above it; alignment moves it along the baseline, escapement turns it.
  KernelPoint lo{}, hi{};
  ASSERT_EQ(VectorGetObjectExtent(&doc_, AddText(u"Hello", Pt(0, 0), 10), &lo, &hi), kVkOk);
  const double w = hi.x, a = hi.y, d = -lo.y;
  EXPECT_NEAR(lo.x, 0, 1e-9);
  EXPECT_TRUE(w > 15 && w < 40 && a > 5 && d > 0 && d < a) << w << " " << a << " " << d;
  struct Case { int32_t alignment, escapement; double x0, y0, x1, y1; };
  const Case cases[] = {
      {kAlignEnd, 0, -w, -d, 0, a},
      {kAlignMiddle, 0, -w / 2, -d, w / 2, a},
      // The text stays on its baseline: the load side sets this bit on
      // ordinary runs whose position is the SVG baseline.
      {kAlignMiddle | kAlignVerticalCentre, 0, -w / 2, -d, w / 2, a},
      {kAlignStart, 900, -a, 0, d, w},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.alignment << " turned " << c.escapement);
    ExpectExtent(AddText(u"Hello", Pt(0, 0), 10, c.alignment, c.escapement), c.x0, c.y0, c.x1, c.y1);
  }
  // A surrogate pair is one character, not two broken halves.
  KernelPoint plo{}, phi{};
  ASSERT_EQ(VectorGetObjectExtent(&doc_, AddText(u"a", Pt(0, 0), 10), &lo, &hi), kVkOk);
  ASSERT_EQ(VectorGetObjectExtent(&doc_, AddText(u"a\U0001F600", Pt(0, 0), 10), &plo, &phi), kVkOk);
  EXPECT_TRUE(phi.x > hi.x && phi.x < hi.x + 15) << hi.x << " " << phi.x;
}

TEST_F(Bounds, OfCurvesRastersAndPolylines) {
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
  struct Case { int32_t type; const void* record; double x0, y0, x1, y1; };
  for (const Case& c : {Case{kVoEllipse, &ellipse, -9, -3, 11, 7}, Case{kVoArc, &arc, -5, -10, 5, 10},
                        Case{kVoRaster, &raster, 0, -50, 100, 0}, Case{kVoBezier, &bezier, 0, -30, 30, 30}}) {
    SCOPED_TRACE(c.type);
    ExpectExtent(Add(c.type, c.record), c.x0, c.y0, c.x1, c.y1);
  }
  KernelPoint lo{}, hi{};
  EXPECT_EQ(VectorGetObjectExtent(&doc_, 99, &lo, &hi), kVkErrNoObject);
  EXPECT_EQ(VectorGetObjectExtent(&doc_, 1, nullptr, &hi), kVkErrArgument);
}

}  // namespace
}  // namespace vktest
