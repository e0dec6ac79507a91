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
      // "Hello": 5 x 0.6 x 10 wide, 8 above and 2 below the baseline.
      {"text", [&] { AddText(u"Hello", Pt(100, -10), 10); }, -5, -12, 130, 40},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.add();
    ExpectBox(doc_.lowerBound, doc_.upperBound, step.x0, step.y0, step.x1, step.y1);
    ASSERT_EQ(VectorGetExtent(&doc_, &lo, &hi), kVkOk);
    ExpectBox(lo, hi, step.x0, step.y0, step.x1, step.y1);
  }
}

TEST_F(DocumentBounds, ObjectsWithoutGeometryLeaveThemAlone) {
  VectorPathObject empty{};
  ASSERT_EQ(VectorInitObject(&empty, kVoPath), kVkOk);
  empty.h.flags = kVoFlagClipEnd;
  VectorObjectRef ref = 0;
  ASSERT_EQ(VectorAddObject(&doc_, 0, kVoPath, &empty, &ref), kVkOk);
  AddText(u"", Pt(40, 40), 10);
  ExpectBox(doc_.lowerBound, doc_.upperBound, 0, 0, 0, 0);
  KernelPoint lo{}, hi{};
  EXPECT_EQ(VectorGetObjectExtent(&doc_, ref, &lo, &hi), kVkErrFailed);

  AddLine(-3, 4, 5, 6);
  ExpectBox(doc_.lowerBound, doc_.upperBound, -3, 4, 5, 6);
}

TEST_F(ObjectExtent, TextFollowsAlignmentAndEscapement) {
  struct Case {
    const char* what;
    const char16_t* text;
    int32_t alignment, escapement;
    double x0, y0, x1, y1;
  };
  // Position (0, 0), size 10: 6 units per character, ascent 8, descent 2.
  const Case cases[] = {
      {"start", u"Hello", kAlignStart, 0, 0, -2, 30, 8},
      {"end", u"Hello", kAlignEnd, 0, -30, -2, 0, 8},
      {"middle", u"Hello", kAlignMiddle, 0, -15, -2, 15, 8},
      {"middle, centred", u"Hello", kAlignMiddle | kAlignVerticalCentre, 0, -15, -5, 15, 5},
      {"turned 90 degrees", u"Hello", kAlignStart, 900, -8, 0, 2, 30},
      {"surrogate pair is one character", u"a\U0001F600", kAlignStart, 0, 0, -2, 12, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const VectorObjectRef ref = AddText(c.text, Pt(0, 0), 10, c.alignment, c.escapement);
    KernelPoint lo{}, hi{};
    ASSERT_EQ(VectorGetObjectExtent(&doc_, ref, &lo, &hi), kVkOk);
    ExpectBox(lo, hi, c.x0, c.y0, c.x1, c.y1);
  }
}

TEST_F(ObjectExtent, CurvesRastersAndPolylines) {
  VectorEllipseObject ellipse{};
  ASSERT_EQ(VectorInitObject(&ellipse, kVoEllipse), kVkOk);
  ellipse.centre = Pt(1, 2);
  ellipse.rx = 10;
  ellipse.ry = 5;
  VectorArcObject arc{};
  ASSERT_EQ(VectorInitObject(&arc, kVoArc), kVkOk);
  arc.centre = Pt(0, 0);
  arc.rx = 10;
  arc.ry = 5;
  arc.start = 0;
  arc.extent = 90;
  arc.rotation = 90;
  VectorRasterObject raster{};
  ASSERT_EQ(VectorInitObject(&raster, kVoRaster), kVkOk);
  raster.corner1 = Pt(0, 0);
  raster.corner2 = Pt(100, -50);
  KernelPoint controls[4] = {Pt(0, 0), Pt(10, 30), Pt(20, -30), Pt(30, 0)};
  VectorPolylineObject bezier{};
  ASSERT_EQ(VectorInitObject(&bezier, kVoBezier), kVkOk);
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
    VectorObjectRef ref = 0;
    ASSERT_EQ(VectorAddObject(&doc_, 0, c.type, c.record, &ref), kVkOk);
    KernelPoint lo{}, hi{};
    ASSERT_EQ(VectorGetObjectExtent(&doc_, ref, &lo, &hi), kVkOk);
    ExpectBox(lo, hi, c.x0, c.y0, c.x1, c.y1);
  }
}

TEST_F(ObjectExtent, RejectsUnknownObjectsAndMissingOutputs) {
  const VectorObjectRef ref = AddLine(0, 0, 1, 1);
  KernelPoint lo{}, hi{};
  EXPECT_EQ(VectorGetObjectExtent(&doc_, ref + 1, &lo, &hi), kVkErrNoObject);
  EXPECT_EQ(VectorGetObjectExtent(&doc_, ref, nullptr, &hi), kVkErrArgument);
}

}  // namespace
}  // namespace vktest
