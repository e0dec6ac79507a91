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
  PointPath(const PointPath&) = delete;
  PointPath& operator=(const PointPath&) = delete;

  VectorPointPath* operator&() { return &path_; }
  int32_t Count() const { return path_.count; }
  const KernelPoint& At(int i) const { return path_.points[i]; }
  uint8_t Kind(int i) const { return path_.kinds[i]; }
  std::vector<int> Kinds() const { return std::vector<int>(path_.kinds, path_.kinds + path_.count); }

 private:
  VectorPointPath path_{};
};

// Point on the cubic starting at `p0` whose other three points start at `i`.
KernelPoint CubicAt(const KernelPoint& p0, const PointPath& p, int i, double t) {
  const double u = 1 - t;
  const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
  return Pt(a * p0.x + b * p.At(i).x + c * p.At(i + 1).x + d * p.At(i + 2).x,
            a * p0.y + b * p.At(i).y + c * p.At(i + 1).y + d * p.At(i + 2).y);
}

void ExpectPoint(const KernelPoint& p, double x, double y) {
  EXPECT_NEAR(p.x, x, 1e-9);
  EXPECT_NEAR(p.y, y, 1e-9);
}

// Checks that every cubic of a move-then-curves path stays on the ellipse
// (cx, cy, rx, ry): the normalised radius within 0.1 % at quarter steps.
void ExpectOnEllipse(const PointPath& p, int first, double cx, double cy, double rx, double ry) {
  KernelPoint start = p.At(first);
  for (int i = first + 1; i + 2 < p.Count() + 0; i += 3) {
    ASSERT_EQ(p.Kind(i) & kPtMoveTo, kPtBezierTo);
    for (double t : {0.25, 0.5, 0.75, 1.0}) {
      const KernelPoint q = CubicAt(start, p, i, t);
      EXPECT_NEAR(std::hypot((q.x - cx) / rx, (q.y - cy) / ry), 1.0, 1e-3) << i << " " << t;
    }
    start = p.At(i + 2);
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

TEST(VectorCopyObject, QuarterArcIsOneCurveFromItsStartToItsEnd) {
  struct Case {
    double start, extent, rotation;
    double startX, startY, endX, endY;  // relative to the centre
  };
  const Case cases[] = {{0, 90, 0, 4, 0, 0, 2},     {0, -90, 0, 4, 0, 0, -2},
                        {90, 90, 0, 0, 2, -4, 0},   {180, -90, 0, -4, 0, 0, 2},
                        {-90, 90, 0, 0, -2, 4, 0},
                        // turned: the x radius points up, the y radius left
                        {0, 90, 90, 0, 4, -2, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << " over " << c.extent << " turned " << c.rotation);
    VectorArcObject arc = Arc(c.start, c.extent, c.rotation);
    PointPath p;
    ASSERT_EQ(VectorCopyObject(&arc, &p), kVkOk);
    EXPECT_EQ(p.Kinds(), (std::vector<int>{kPtMoveTo, kPtBezierTo, kPtBezierTo, kPtBezierTo}));
    ASSERT_EQ(p.Count(), 4);
    ExpectPoint(p.At(0), 10 + c.startX, 20 + c.startY);
    ExpectPoint(p.At(3), 10 + c.endX, 20 + c.endY);
    if (c.rotation == 0) ExpectOnEllipse(p, 0, 10, 20, 4, 2);
  }
}

TEST(VectorCopyObject, ArcsSplitIntoPiecesOfAtMostNinetyDegrees) {
  struct Case {
    double extent;
    int pieces;
  };
  const Case cases[] = {{45, 1}, {90, 1}, {91, 2}, {180, 2}, {270, 3}, {360, 4},
                        {-200, 3}, {720, 4}, {0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extent);
    VectorArcObject arc = Arc(30, c.extent);
    PointPath p;
    ASSERT_EQ(VectorCopyObject(&arc, &p), kVkOk);
    EXPECT_EQ(p.Count(), 1 + 3 * c.pieces);
    EXPECT_EQ(p.Kind(0), kPtMoveTo);
    for (int i = 0; i < p.Count(); ++i) EXPECT_EQ(p.Kind(i) & kPtCloseFigure, 0) << "open";
    ExpectOnEllipse(p, 0, 10, 20, 4, 2);
  }
}

TEST(VectorCopyObject, CirclesAndEllipsesAreFourClosedQuarters) {
  auto circle = Made<VectorCircleObject>(kVoCircle);
  circle.centre = Pt(-3, 5);
  circle.r = 7;
  auto ellipse = Made<VectorEllipseObject>(kVoEllipse);
  ellipse.centre = Pt(-3, 5);
  ellipse.rx = 7;
  ellipse.ry = 3;
  const struct {
    const char* what;
    const void* record;
    double ry;
  } cases[] = {{"circle", &circle, 7}, {"ellipse", &ellipse, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PointPath p;
    ASSERT_EQ(VectorCopyObject(c.record, &p), kVkOk);
    ASSERT_EQ(p.Count(), 13);
    EXPECT_EQ(p.Kind(0), kPtMoveTo);
    for (int i = 1; i < 12; ++i) EXPECT_EQ(p.Kind(i), kPtBezierTo);
    EXPECT_EQ(p.Kind(12), kPtBezierTo | kPtCloseFigure);
    ExpectPoint(p.At(0), 4, 5);
    ExpectPoint(p.At(12), 4, 5);
    ExpectPoint(p.At(3), -3, 5 + c.ry);  // the first quarter ends at the top
    ExpectOnEllipse(p, 0, -3, 5, 7, c.ry);
  }
}

TEST(VectorCopyObject, PieRunsFromTheCentreAndCloses) {
  auto pie = Made<VectorPieObject>(kVoPie);
  pie.centre = Pt(0, 0);
  pie.rx = pie.ry = 10;
  pie.start = 0;
  pie.extent = 180;
  PointPath p;
  ASSERT_EQ(VectorCopyObject(&pie, &p), kVkOk);
  ASSERT_EQ(p.Count(), 8);
  EXPECT_EQ(p.Kinds(), (std::vector<int>{kPtMoveTo, kPtLineTo, 4, 4, 4, 4, 4,
                                         kPtBezierTo | kPtCloseFigure}));
  ExpectPoint(p.At(0), 0, 0);
  ExpectPoint(p.At(1), 10, 0);
  ExpectPoint(p.At(7), -10, 0);
}

// A record of a point-list type holding `count` of `points`.
VectorObjectDesc PointList(int32_t type, int32_t count, KernelPoint* points) {
  auto record = Made<VectorObjectDesc>(type);
  const bool closed = type == kVoPolygon || type == kVoClosedBezier || type == kVoClosedSpline;
  (closed ? record.polygon.count : record.polyline.count) = count;
  (closed ? record.polygon.points : record.polyline.points) = points;
  return record;
}

TEST(VectorCopyObject, BezierKindsAndSplinesThroughTheirPoints) {
  KernelPoint pts[7] = {Pt(0, 0), Pt(1, 2), Pt(3, 2), Pt(4, 0), Pt(5, -2), Pt(7, -2), Pt(8, 0)};
  for (int32_t type : {kVoPolyBezier, kVoClosedBezier}) {
    SCOPED_TRACE(type);
    const VectorObjectDesc record = PointList(type, 7, pts);
    PointPath p;
    ASSERT_EQ(VectorCopyObject(&record, &p), kVkOk);
    EXPECT_EQ(p.Kinds(), (std::vector<int>{6, 4, 4, 4, 4, 4, type == kVoPolyBezier ? 4 : 4 | kPtCloseFigure}));
    EXPECT_EQ(p.At(6).x, 8);
  }
  // Splines: one cubic per span, each ending on the next given point.
  for (int32_t type : {kVoSpline, kVoClosedSpline}) {
    SCOPED_TRACE(type);
    const VectorObjectDesc record = PointList(type, 4, pts);
    PointPath p;
    ASSERT_EQ(VectorCopyObject(&record, &p), kVkOk);
    const int spans = type == kVoSpline ? 3 : 4;
    ASSERT_EQ(p.Count(), 1 + 3 * spans);
    for (int s = 0; s < spans; ++s) ExpectPoint(p.At(3 * (s + 1)), pts[(s + 1) % 4].x, pts[(s + 1) % 4].y);
    EXPECT_EQ((p.Kind(p.Count() - 1) & kPtCloseFigure) != 0, type == kVoClosedSpline);
    // The tangent at an inner point is parallel to its neighbours' chord.
    const KernelPoint& in = p.At(2);
    const KernelPoint& out = p.At(4);
    EXPECT_NEAR((out.y - in.y) * (pts[2].x - pts[0].x), (out.x - in.x) * (pts[2].y - pts[0].y),
                1e-9);
  }
}

TEST(VectorCopyObject, RectangleIsFivePointsClosingAtTheStart) {
  auto rect = Made<VectorRectObject>(kVoRect);
  rect.corner1 = Pt(1, 2);
  rect.corner2 = Pt(5, -6);
  PointPath p;
  ASSERT_EQ(VectorCopyObject(&rect, &p), kVkOk);
  EXPECT_EQ(p.Kinds(), (std::vector<int>{6, 2, 2, 2, 3}));
  ExpectPoint(p.At(4), 1, 2);
  ExpectPoint(p.At(2), 5, -6);
}

TEST(VectorCopyObject, TextGivesGlyphOutlines) {
  auto text = Made<VectorTextObject>(kVoText);
  text.text = u"Ab";
  text.position = Pt(100, 50);
  text.fontSize = 10;
  PointPath p;
  const int32_t status = VectorCopyObject(&text, &p);
  if (status == kVkErrUnsupported) GTEST_SKIP() << "built without the font engine";
  ASSERT_EQ(status, kVkOk);
  ASSERT_GT(p.Count(), 10);
  EXPECT_EQ(p.Kind(0), kPtMoveTo);
  int closed = 0;
  for (int i = 0; i < p.Count(); ++i) {
    closed += (p.Kind(i) & kPtCloseFigure) != 0;
    // Inside a generous box: two letters of 10 units from the baseline start.
    EXPECT_GE(p.At(i).x, 99);
    EXPECT_LE(p.At(i).x, 115);
    EXPECT_GE(p.At(i).y, 47);
    EXPECT_LE(p.At(i).y, 60);
  }
  EXPECT_GE(closed, 3) << "A has two contours, b two";

  // Right-aligned and turned a quarter counter-clockwise: the text ends at
  // the anchor and runs upwards to it.
  text.alignment = kAlignEnd;
  text.escapement = 900;
  PointPath turned;
  ASSERT_EQ(VectorCopyObject(&text, &turned), kVkOk);
  ASSERT_EQ(turned.Count(), p.Count());
  for (int i = 0; i < turned.Count(); ++i) {
    EXPECT_LE(turned.At(i).y, 50.5);
    EXPECT_GE(turned.At(i).y, 35);
    EXPECT_GE(turned.At(i).x, 90);
    EXPECT_LE(turned.At(i).x, 103);
  }
}

TEST(VectorCopyObject, LongTextKeepsEveryGlyphAndEmptyTextGivesAnEmptyPath) {
  // Far from the origin and long: every glyph must still be outlined.
  const std::u16string line(60, u'm');
  auto text = Made<VectorTextObject>(kVoText);
  text.text = u"";
  text.fontSize = 10;
  PointPath empty;
  const int32_t status = VectorCopyObject(&text, &empty);
  if (status == kVkErrUnsupported) GTEST_SKIP() << "built without the font engine";
  EXPECT_EQ(status, kVkOk);
  EXPECT_EQ(empty.Count(), 0);
  text.text = line.c_str();
  text.position = Pt(-5000, 3000);
  PointPath p;
  ASSERT_EQ(VectorCopyObject(&text, &p), kVkOk);
  int figures = 0;
  double right = -1e9;
  for (int i = 0; i < p.Count(); ++i) {
    figures += p.Kind(i) == kPtMoveTo;
    right = std::max(right, p.At(i).x);
  }
  EXPECT_EQ(figures, 60) << "one contour per m";
  EXPECT_GT(right, -5000 + 59 * 5.0) << "an m is wider than half its size";
}

TEST(VectorCopyObject, RejectsBadArgumentsAndObjectsWithoutOutline) {
  auto circle = Made<VectorCircleObject>(kVoCircle);
  VectorPointPath path{};
  EXPECT_EQ(VectorCopyObject(nullptr, &path), kVkErrArgument);
  EXPECT_EQ(VectorCopyObject(&circle, nullptr), kVkErrArgument);
  auto group = Made<VectorGroupObject>(kVoGroupObject);
  EXPECT_EQ(VectorCopyObject(&group, &path), kVkErrUnsupported);
  EXPECT_EQ(path.count, 0);
  auto broken = Made<VectorPolylineObject>(kVoPolyBezier);
  broken.count = 4;  // and no points
  EXPECT_EQ(VectorCopyObject(&broken, &path), kVkErrArgument);
  broken.count = -1;
  EXPECT_EQ(VectorCopyObject(&broken, &path), kVkErrArgument);
  EXPECT_EQ(VectorFreeObject(nullptr), kVkErrArgument);
}

using ConvertToPath = VkDocumentFixture;
using Transforms = VkDocumentFixture;

TEST_F(ConvertToPath, UsesTheStoredObjectBehindADescription) {
  VectorArcObject arc = Arc(0, 90);
  const VectorObjectRef ref = Add(kVoArc, &arc);
  const VectorTriple turn{0, 0, 90};
  ASSERT_EQ(VectorObjectRotate(&doc_, &turn, ref), kVkOk);
  Described stored(&doc_, ref, kVoArc);
  ASSERT_EQ(stored.status, kVkOk);
  PointPath p;
  ASSERT_EQ(VectorConvertToPath(&doc_, &stored.desc, &p), kVkOk);
  ASSERT_EQ(p.Count(), 4);
  // The arc's x radius turned to point straight up from its centre.
  ExpectPoint(p.At(0), stored->arc.centre.x, stored->arc.centre.y + 4);
  VectorPointPath none{};
  EXPECT_EQ(VectorConvertToPath(nullptr, &stored.desc, &none), kVkErrArgument);
  EXPECT_EQ(VectorConvertToPath(&doc_, nullptr, &none), kVkErrArgument);
}

void ExpectExtent(VectorDocument* doc, VectorObjectRef ref, double x0, double y0, double x1,
                  double y1) {
  KernelPoint lo{}, hi{};
  ASSERT_EQ(VectorGetObjectExtent(doc, ref, &lo, &hi), kVkOk);
  ExpectPoint(lo, x0, y0);
  ExpectPoint(hi, x1, y1);
}

int32_t StoredType(VectorDocument* doc, VectorObjectRef ref) {
  for (int32_t type = kVoPoint; type <= kVoClosedSpline; ++type) {
    if (Described(doc, ref, type).status == kVkOk) return type;
  }
  return 0;
}

TEST_F(Transforms, RotateTurnsAboutTheObjectsCentre) {
  struct Case {
    const char* what;
    double degrees;
    int32_t type;  // stored afterwards
    double x0, y0, x1, y1;
  };
  // A 40 x 20 rectangle centred on (20, -10).
  const double d = 30 * std::sqrt(2.0) / 2;  // half-diagonal extent at 45 degrees
  const Case cases[] = {
      {"quarter turn", 90, kVoRect, 10, -30, 30, 10},
      {"half turn", 180, kVoRect, 0, -20, 40, 0},
      {"minus a quarter", -90, kVoRect, 10, -30, 30, 10},
      {"45 degrees becomes a polygon", 45, kVoPolygon, 20 - d, -10 - d, 20 + d, -10 + d},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const VectorObjectRef ref = AddRect(Pt(0, 0), Pt(40, -20));
    const VectorTriple angles{0, 0, c.degrees};
    ASSERT_EQ(VectorObjectRotate(&doc_, &angles, ref), kVkOk);
    ExpectExtent(&doc_, ref, c.x0, c.y0, c.x1, c.y1);
    EXPECT_EQ(StoredType(&doc_, ref), c.type);
  }
}

TEST_F(Transforms, RotateKeepsCirclesAndTurnsEllipsesAndText) {
  const VectorObjectRef circle = AddCircle(5, 5, 3);
  const VectorTriple third{0, 0, 30};
  ASSERT_EQ(VectorObjectRotate(&doc_, &third, circle), kVkOk);
  ExpectExtent(&doc_, circle, 2, 2, 8, 8);
  EXPECT_EQ(StoredType(&doc_, circle), kVoCircle);

  auto ellipse = Made<VectorEllipseObject>(kVoEllipse);
  ellipse.rx = 10;
  ellipse.ry = 2;
  const VectorObjectRef ref = Add(kVoEllipse, &ellipse);
  const VectorTriple quarter{0, 0, 90};
  ASSERT_EQ(VectorObjectRotate(&doc_, &quarter, ref), kVkOk);
  ExpectExtent(&doc_, ref, -2, -10, 2, 10);
  EXPECT_EQ(StoredType(&doc_, ref), kVoEllipse);
  // An odd angle keeps the shape as an outline.
  ASSERT_EQ(VectorObjectRotate(&doc_, &third, ref), kVkOk);
  EXPECT_EQ(StoredType(&doc_, ref), kVoPath);

  const VectorObjectRef text = AddText(u"Hi", Pt(0, 0), 10, kAlignStart, 100);
  ASSERT_EQ(VectorObjectRotate(&doc_, &third, text), kVkOk);
  EXPECT_EQ(Described(&doc_, text, kVoText)->text.escapement, 400);
}

TEST_F(Transforms, ScaleAboutTheCentreOrAGivenPoint) {
  const VectorObjectRef rect = AddRect(Pt(0, 0), Pt(40, -20));
  const VectorTriple twice{2, 2, 1};
  ASSERT_EQ(VectorObjectScale(&doc_, &twice, rect, nullptr), kVkOk);
  ExpectExtent(&doc_, rect, -20, -30, 60, 10);
  const KernelPoint origin = Pt(0, 0);
  const VectorTriple half{0.5, 0.25, 1};
  ASSERT_EQ(VectorObjectScale(&doc_, &half, rect, &origin), kVkOk);
  ExpectExtent(&doc_, rect, -10, -7.5, 30, 2.5);

  const VectorObjectRef circle = AddCircle(10, 10, 2);
  ASSERT_EQ(VectorObjectScale(&doc_, &twice, circle, nullptr), kVkOk);
  ExpectExtent(&doc_, circle, 6, 6, 14, 14);
  EXPECT_EQ(StoredType(&doc_, circle), kVoCircle);
  const VectorTriple wide{3, 1, 1};
  ASSERT_EQ(VectorObjectScale(&doc_, &wide, circle, nullptr), kVkOk);
  ExpectExtent(&doc_, circle, -2, 6, 22, 14);
  EXPECT_EQ(StoredType(&doc_, circle), kVoEllipse);

  // Text grows with the vertical factor; its pen keeps its width.
  const VectorObjectRef text = AddText(u"Hi", Pt(0, 0), 10);
  ASSERT_EQ(VectorObjectScale(&doc_, &twice, text, &origin), kVkOk);
  Described stored(&doc_, text, kVoText);
  EXPECT_EQ(stored->text.fontSize, 20);
  EXPECT_EQ(stored->text.pen.width, 1);
  EXPECT_EQ(stored->text.position.x, 0);
}

TEST_F(Transforms, MirroredArcKeepsItsPoints) {
  VectorArcObject arc = Arc(0, 90);
  const VectorObjectRef ref = Add(kVoArc, &arc);
  PointPath before;
  ASSERT_EQ(VectorCopyObject(&arc, &before), kVkOk);
  const KernelPoint centre = Pt(10, 20);
  const VectorTriple mirror{-1, 1, 1};
  ASSERT_EQ(VectorObjectScale(&doc_, &mirror, ref, &centre), kVkOk);
  Described mirrored(&doc_, ref, kVoArc);
  PointPath after;
  ASSERT_EQ(VectorConvertToPath(&doc_, &mirrored.desc, &after), kVkOk);
  ASSERT_EQ(after.Count(), 4);
  // Mirrored in x about the centre: ends at the same top point, starts
  // on the left.
  ExpectPoint(after.At(0), 6, 20);
  ExpectPoint(after.At(3), before.At(3).x, before.At(3).y);
}

TEST_F(Transforms, MoveShiftsObjectAndDocumentBounds) {
  const VectorObjectRef line = AddLine(0, 0, 10, 5);
  const VectorObjectRef circle = AddCircle(0, 0, 1);
  const VectorTriple offset{100, -50, 0};
  ASSERT_EQ(VectorObjectMove(&doc_, &offset, circle), kVkOk);
  ExpectExtent(&doc_, circle, 99, -51, 101, -49);
  ExpectExtent(&doc_, line, 0, 0, 10, 5);
  ExpectPoint(doc_.lowerBound, 0, -51);
  ExpectPoint(doc_.upperBound, 101, 5);
}

TEST_F(Transforms, DocumentBoundsGrowAndShrinkWithTheObjects) {
  const VectorObjectRef outer = AddLine(0, 0, 100, 100);
  const VectorObjectRef inner = AddCircle(50, 50, 5);
  // An inner object moved past the edge widens the bounds.
  const VectorTriple right{100, 0, 0};
  ASSERT_EQ(VectorObjectMove(&doc_, &right, inner), kVkOk);
  ExpectPoint(doc_.lowerBound, 0, 0);
  ExpectPoint(doc_.upperBound, 155, 100);
  // The object that set the edges shrinks: the bounds close in on what is left.
  const VectorTriple tenth{0.1, 0.1, 1};
  ASSERT_EQ(VectorObjectScale(&doc_, &tenth, outer, nullptr), kVkOk);
  ExpectPoint(doc_.lowerBound, 45, 45);
  ExpectPoint(doc_.upperBound, 155, 55);
}

TEST_F(Transforms, ChangesOfTheNewestObjectJoinTheOtherObjectsBounds) {
  const VectorObjectRef first = AddLine(0, 0, 10, 10);
  const VectorObjectRef newest = AddCircle(20, 5, 1);
  // Moved back inside, the newest object no longer holds the right edge.
  const VectorTriple left{-15, 0, 0};
  ASSERT_EQ(VectorObjectMove(&doc_, &left, newest), kVkOk);
  ExpectPoint(doc_.lowerBound, 0, 0);
  ExpectPoint(doc_.upperBound, 10, 10);
  // After an older object changed, the newest one's change still sees it.
  const VectorTriple twice{2, 2, 1};
  ASSERT_EQ(VectorObjectScale(&doc_, &twice, first, nullptr), kVkOk);
  const VectorTriple up{0, 25, 0};
  ASSERT_EQ(VectorObjectMove(&doc_, &up, newest), kVkOk);
  ExpectPoint(doc_.lowerBound, -5, -5);
  ExpectPoint(doc_.upperBound, 15, 31);
}

TEST_F(Transforms, RejectBadArguments) {
  const VectorObjectRef line = AddLine(0, 0, 10, 5);
  const VectorTriple t{1, 1, 1};
  EXPECT_EQ(VectorObjectRotate(&doc_, nullptr, line), kVkErrArgument);
  EXPECT_EQ(VectorObjectScale(&doc_, nullptr, line, nullptr), kVkErrArgument);
  EXPECT_EQ(VectorObjectMove(&doc_, nullptr, line), kVkErrArgument);
  EXPECT_EQ(VectorObjectRotate(&doc_, &t, line + 5), kVkErrNoObject);
  EXPECT_EQ(VectorObjectScale(&doc_, &t, line + 5, nullptr), kVkErrNoObject);
  EXPECT_EQ(VectorObjectMove(&doc_, &t, line + 5), kVkErrNoObject);
  EXPECT_EQ(VectorObjectMove(nullptr, &t, line), kVkErrArgument);
  const VectorTriple bad{NAN, 1, 1};
  EXPECT_EQ(VectorObjectMove(&doc_, &bad, line), kVkErrArgument);
  ExpectExtent(&doc_, line, 0, 0, 10, 5);
}

}  // namespace
}  // namespace vktest
