// Outlines of every object type, and turning, scaling and moving stored
// objects.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "VkTestDocument.h"

namespace vktest {
namespace {

// A point path copied out of the kernel and released through it.
class PointPath {
 public:
  PointPath() = default;
  ~PointPath() { EXPECT_EQ(VectorFreeObject(&path_), kVkOk); }
  VectorPointPath* operator&() { return &path_; }
  int32_t Count() const { return path_.count; }
  const KernelPoint& At(int i) const { return path_.points[i]; }
  uint8_t Kind(int i) const { return path_.kinds[i]; }
  std::vector<int> Kinds() const { return std::vector<int>(path_.kinds, path_.kinds + path_.count); }

 private:
  VectorPointPath path_{};
};

void ExpectPoint(const KernelPoint& p, double x, double y) {
  EXPECT_NEAR(p.x, x, 1e-9);
  EXPECT_NEAR(p.y, y, 1e-9);
}

// Checks that every cubic of a move-then-curves path stays on the ellipse
// (cx, cy, rx, ry): the normalised radius within 0.1 % at quarter steps.
void ExpectOnEllipse(const PointPath& p, double cx, double cy, double rx, double ry) {
  for (int i = 1; i + 2 < p.Count(); i += 3) {
    ASSERT_EQ(p.Kind(i) & kPtMoveTo, kPtBezierTo);
    const KernelPoint &a = p.At(i - 1), &b = p.At(i), &c = p.At(i + 1), &d = p.At(i + 2);
    for (double t : {0.25, 0.5, 0.75}) {
      const double u = 1 - t, k0 = u * u * u, k1 = 3 * u * u * t, k2 = 3 * u * t * t, k3 = t * t * t;
      const double x = k0 * a.x + k1 * b.x + k2 * c.x + k3 * d.x, y = k0 * a.y + k1 * b.y + k2 * c.y + k3 * d.y;
      EXPECT_NEAR(std::hypot((x - cx) / rx, (y - cy) / ry), 1.0, 1e-3) << i << " " << t;
    }
  }
}

// An arc on the ellipse of radii 4 and 2 about (10, 20).
VectorArcObject Arc(double start, double extent, double rotation = 0) {
  auto arc = Made<VectorArcObject>(kVoArc);
  arc.centre = Pt(10, 20);
  arc.rx = 4;
  arc.ry = 2;
  arc.start = static_cast<float>(start);
  arc.extent = static_cast<float>(extent);
  arc.rotation = static_cast<float>(rotation);
  return arc;
}

TEST(VectorCopyObject, ArcsAreOpenCurvesOfAtMostNinetyDegreesFromStartToEnd) {
  struct Case { double start, extent, rotation, startX, startY, endX, endY; int pieces; };  // ends from the centre
  const Case cases[] = {
      {0, 90, 0, 4, 0, 0, 2, 1},   {0, -90, 0, 4, 0, 0, -2, 1}, {90, 90, 0, 0, 2, -4, 0, 1},
      {180, -90, 0, -4, 0, 0, 2, 1}, {0, 90, 90, 0, 4, -2, 0, 1},  // turned: the x radius points up
      {0, 91, 0, 4, 0, NAN, 0, 2}, {0, 270, 0, 4, 0, 0, -2, 3},  {0, 360, 0, 4, 0, 4, 0, 4},
      {0, -200, 0, 4, 0, NAN, 0, 3}, {0, 720, 0, 4, 0, NAN, 0, 4},  {30, 0, 0, NAN, 0, NAN, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << " over " << c.extent << " turned " << c.rotation);
    VectorArcObject arc = Arc(c.start, c.extent, c.rotation);
    PointPath p;
    ASSERT_EQ(VectorCopyObject(&arc, &p), kVkOk);
    ASSERT_EQ(p.Count(), 1 + 3 * c.pieces);
    EXPECT_EQ(p.Kind(0), kPtMoveTo);
    for (int i = 1; i < p.Count(); ++i) EXPECT_EQ(p.Kind(i), kPtBezierTo) << "open";
    if (!std::isnan(c.startX)) ExpectPoint(p.At(0), 10 + c.startX, 20 + c.startY);
    if (!std::isnan(c.endX)) ExpectPoint(p.At(p.Count() - 1), 10 + c.endX, 20 + c.endY);
    if (c.rotation == 0) ExpectOnEllipse(p, 10, 20, 4, 2);
  }
}

TEST(VectorCopyObject, ClosedShapesCloseAtTheirStart) {
  auto circle = Made<VectorCircleObject>(kVoCircle);
  circle.centre = Pt(-3, 5);
  circle.r = 7;
  auto ellipse = Made<VectorEllipseObject>(kVoEllipse);
  ellipse.centre = Pt(-3, 5);
  ellipse.rx = 7;
  ellipse.ry = 3;
  for (double ry : {7, 3}) {
    SCOPED_TRACE(ry);
    PointPath p;
    ASSERT_EQ(VectorCopyObject(ry == 7 ? static_cast<const void*>(&circle) : &ellipse, &p), kVkOk);
    EXPECT_EQ(p.Kinds(), (std::vector<int>{6, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4 | kPtCloseFigure}));
    ExpectPoint(p.At(0), 4, 5);
    ExpectPoint(p.At(3), -3, 5 + ry);  // the first quarter ends at the top
    ExpectPoint(p.At(12), 4, 5);
    ExpectOnEllipse(p, -3, 5, 7, ry);
  }
  auto pie = Made<VectorPieObject>(kVoPie);
  pie.rx = pie.ry = 10;
  pie.extent = 180;
  PointPath wedge;
  ASSERT_EQ(VectorCopyObject(&pie, &wedge), kVkOk);
  EXPECT_EQ(wedge.Kinds(), (std::vector<int>{kPtMoveTo, kPtLineTo, 4, 4, 4, 4, 4, 4 | kPtCloseFigure}));
  ExpectPoint(wedge.At(0), 0, 0);
  ExpectPoint(wedge.At(1), 10, 0);
  ExpectPoint(wedge.At(7), -10, 0);
}

TEST(VectorCopyObject, BeziersKeepTheirPointsAndSplinesRunThroughThem) {
  KernelPoint pts[7] = {Pt(0, 0), Pt(1, 2), Pt(3, 2), Pt(4, 0), Pt(5, -2), Pt(7, -2), Pt(8, 0)};
  for (int32_t type : {kVoPolyBezier, kVoClosedBezier, kVoSpline, kVoClosedSpline}) {
    SCOPED_TRACE(type);
    auto record = Made<VectorObjectDesc>(type);
    const bool closed = type == kVoClosedBezier || type == kVoClosedSpline;
    const bool spline = type == kVoSpline || type == kVoClosedSpline;
    (closed ? record.polygon.count : record.polyline.count) = spline ? 4 : 7;
    (closed ? record.polygon.points : record.polyline.points) = pts;
    PointPath p;
    ASSERT_EQ(VectorCopyObject(&record, &p), kVkOk);
    EXPECT_EQ((p.Kind(p.Count() - 1) & kPtCloseFigure) != 0, closed);
    if (!spline) continue;
    // One cubic per span, each ending on the next given point.
    const int spans = closed ? 4 : 3;
    ASSERT_EQ(p.Count(), 1 + 3 * spans);
    for (int s = 1; s <= spans; ++s) ExpectPoint(p.At(3 * s), pts[s % 4].x, pts[s % 4].y);
    // The tangent at an inner point is parallel to its neighbours' chord.
    const KernelPoint &in = p.At(2), &out = p.At(4);
    EXPECT_NEAR((out.y - in.y) * (pts[2].x - pts[0].x), (out.x - in.x) * (pts[2].y - pts[0].y), 1e-9);
  }
}

using Transforms = VkDocumentFixture;

int32_t StoredType(VectorDocument* doc, VectorObjectRef ref) {
  for (int32_t type = kVoPoint; type <= kVoClosedSpline; ++type) {
    if (Described(doc, ref, type).status == kVkOk) return type;
  }
  return 0;
}

TEST_F(Transforms, RotateTurnsAboutTheObjectsCentreKeepingTheTypeWherePossible) {
  const double d = 30 * std::sqrt(2.0) / 2;  // half-diagonal extent at 45 degrees
  struct Case { int32_t what; double degrees; int32_t type; double x0, y0, x1, y1; };
  const Case cases[] = {  // a 40 x 20 rectangle centred on (20, -10); a circle; a 10 x 2 ellipse
      {kVoRect, 90, kVoRect, 10, -30, 30, 10},  {kVoRect, 180, kVoRect, 0, -20, 40, 0},
      {kVoRect, -90, kVoRect, 10, -30, 30, 10}, {kVoRect, 45, kVoPolygon, 20 - d, -10 - d, 20 + d, -10 + d},
      {kVoCircle, 30, kVoCircle, 2, 2, 8, 8},   {kVoEllipse, 90, kVoEllipse, -2, -10, 2, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.what << " by " << c.degrees);
    auto ellipse = Made<VectorEllipseObject>(kVoEllipse);
    ellipse.rx = 10;
    ellipse.ry = 2;
    const VectorObjectRef ref = c.what == kVoRect ? AddRect(Pt(0, 0), Pt(40, -20))
                                : c.what == kVoCircle ? AddCircle(5, 5, 3) : Add(kVoEllipse, &ellipse);
    const VectorTriple angles{0, 0, c.degrees};
    ASSERT_EQ(VectorObjectRotate(&doc_, &angles, ref), kVkOk);
    ExpectExtent(ref, c.x0, c.y0, c.x1, c.y1);
    EXPECT_EQ(StoredType(&doc_, ref), c.type);
    if (c.what != kVoEllipse) continue;
    const VectorTriple odd{0, 0, 30};  // an odd angle keeps the shape as an outline
    ASSERT_EQ(VectorObjectRotate(&doc_, &odd, ref), kVkOk);
    EXPECT_EQ(StoredType(&doc_, ref), kVoPath);
  }
  const VectorObjectRef text = AddText(u"Hi", Pt(0, 0), 10, kAlignStart, 100);
  const VectorTriple third{0, 0, 30};
  ASSERT_EQ(VectorObjectRotate(&doc_, &third, text), kVkOk);
  EXPECT_EQ(Described(&doc_, text, kVoText)->text.escapement, 400);
}

TEST_F(Transforms, ScaleAboutTheCentreOrAGivenPoint) {
  const VectorObjectRef rect = AddRect(Pt(0, 0), Pt(40, -20));
  const VectorTriple twice{2, 2, 1}, half{0.5, 0.25, 1}, wide{3, 1, 1};
  const KernelPoint origin = Pt(0, 0);
  ASSERT_EQ(VectorObjectScale(&doc_, &twice, rect, nullptr), kVkOk);
  ExpectExtent(rect, -20, -30, 60, 10);
  ASSERT_EQ(VectorObjectScale(&doc_, &half, rect, &origin), kVkOk);
  ExpectExtent(rect, -10, -7.5, 30, 2.5);
  const VectorObjectRef circle = AddCircle(10, 10, 2);
  ASSERT_EQ(VectorObjectScale(&doc_, &twice, circle, nullptr), kVkOk);
  EXPECT_EQ(StoredType(&doc_, circle), kVoCircle);
  ASSERT_EQ(VectorObjectScale(&doc_, &wide, circle, nullptr), kVkOk);
  ExpectExtent(circle, -2, 6, 22, 14);
  EXPECT_EQ(StoredType(&doc_, circle), kVoEllipse);
  // Text grows with the vertical factor; its pen keeps its width.
  const VectorObjectRef text = AddText(u"Hi", Pt(0, 0), 10);
  ASSERT_EQ(VectorObjectScale(&doc_, &twice, text, &origin), kVkOk);
  Described stored(&doc_, text, kVoText);
  EXPECT_EQ(stored->text.fontSize, 20);
  EXPECT_EQ(stored->text.pen.width, 1);
  // Mirrored in x about the arc's centre: it starts on the left, its
  // outline read through the document's copy.
  VectorArcObject arc = Arc(0, 90);
  const VectorObjectRef arcRef = Add(kVoArc, &arc);
  const KernelPoint centre = Pt(10, 20);
  const VectorTriple mirror{-1, 1, 1};
  ASSERT_EQ(VectorObjectScale(&doc_, &mirror, arcRef, &centre), kVkOk);
  Described mirrored(&doc_, arcRef, kVoArc);
  PointPath after;
  ASSERT_EQ(VectorConvertToPath(&doc_, &mirrored.desc, &after), kVkOk);
  ASSERT_EQ(after.Count(), 4);
  ExpectPoint(after.At(0), 6, 20);
  ExpectPoint(after.At(3), 10, 22);
}

// A change of the newest object joins its new box to the bounds of the
// others; a change inside the bounds only adds its box; any other change
// measures all objects again.
TEST_F(Transforms, DocumentBoundsFollowMovedAndScaledObjects) {
  const VectorObjectRef outer = AddLine(0, 0, 100, 100), inner = AddCircle(50, 50, 5);
  const VectorTriple right{100, 0, 0}, left{-105, 0, 0}, tenth{0.1, 0.1, 1}, four{4, 4, 1}, up{0, 25, 0};
  ASSERT_EQ(VectorObjectMove(&doc_, &right, inner), kVkOk);
  ExpectExtent(inner, 145, 45, 155, 55);
  ExpectBox(doc_.lowerBound, doc_.upperBound, 0, 0, 155, 100);
  ASSERT_EQ(VectorObjectMove(&doc_, &left, inner), kVkOk);  // back inside: no longer the right edge
  ExpectBox(doc_.lowerBound, doc_.upperBound, 0, 0, 100, 100);
  ASSERT_EQ(VectorObjectScale(&doc_, &tenth, outer, nullptr), kVkOk);  // the edges close in
  ExpectBox(doc_.lowerBound, doc_.upperBound, 40, 45, 55, 55);
  ASSERT_EQ(VectorObjectScale(&doc_, &four, outer, nullptr), kVkOk);
  ExpectBox(doc_.lowerBound, doc_.upperBound, 30, 30, 70, 70);
  ASSERT_EQ(VectorObjectMove(&doc_, &up, inner), kVkOk);
  ExpectBox(doc_.lowerBound, doc_.upperBound, 30, 30, 70, 80);
}

}  // namespace
}  // namespace vktest
