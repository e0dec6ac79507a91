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

VectorArcObject Arc(double start, double extent, double rotation = 0) {
  VectorArcObject arc{};
  EXPECT_EQ(VectorInitObject(&arc, kVoArc), kVkOk);
  arc.centre = Pt(10, 20);
  arc.rx = 4;
  arc.ry = 2;
  arc.start = static_cast<float>(start);
  arc.extent = static_cast<float>(extent);
  arc.rotation = static_cast<float>(rotation);
  return arc;
}

TEST(VectorCopyObject, QuarterArcIsOneCurveEndingAtItsEnd) {
  struct Case {
    double start, extent;
    double endX, endY;  // relative to the centre, radii 4 and 2
  };
  const Case cases[] = {
      {0, 90, 0, 2}, {0, -90, 0, -2}, {90, 90, -4, 0}, {180, -90, 0, 2}, {-90, 90, 4, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << " over " << c.extent);
    VectorArcObject arc = Arc(c.start, c.extent);
    PointPath p;
    ASSERT_EQ(VectorCopyObject(&arc, &p), kVkOk);
    ASSERT_EQ(p.Count(), 4);
    EXPECT_EQ(p.Kinds(), (std::vector<int>{kPtMoveTo, kPtBezierTo, kPtBezierTo, kPtBezierTo}));
    const double a = c.start * M_PI / 180;
    EXPECT_NEAR(p.At(0).x, 10 + 4 * std::cos(a), 1e-9);
    EXPECT_NEAR(p.At(0).y, 20 + 2 * std::sin(a), 1e-9);
    EXPECT_NEAR(p.At(3).x, 10 + c.endX, 1e-9);
    EXPECT_NEAR(p.At(3).y, 20 + c.endY, 1e-9);
    ExpectOnEllipse(p, 0, 10, 20, 4, 2);
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

TEST(VectorCopyObject, TurnedArcTurnsAboutItsCentre) {
  VectorArcObject arc = Arc(0, 90, 90);
  PointPath p;
  ASSERT_EQ(VectorCopyObject(&arc, &p), kVkOk);
  ASSERT_EQ(p.Count(), 4);
  // The x radius now points up, the y radius left.
  EXPECT_NEAR(p.At(0).x, 10, 1e-9);
  EXPECT_NEAR(p.At(0).y, 24, 1e-9);
  EXPECT_NEAR(p.At(3).x, 8, 1e-9);
  EXPECT_NEAR(p.At(3).y, 20, 1e-9);
}

TEST(VectorCopyObject, CirclesAndEllipsesAreFourClosedQuarters) {
  VectorCircleObject circle{};
  ASSERT_EQ(VectorInitObject(&circle, kVoCircle), kVkOk);
  circle.centre = Pt(-3, 5);
  circle.r = 7;
  VectorEllipseObject ellipse{};
  ASSERT_EQ(VectorInitObject(&ellipse, kVoEllipse), kVkOk);
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
    EXPECT_NEAR(p.At(0).x, 4, 1e-9);
    EXPECT_NEAR(p.At(0).y, 5, 1e-9);
    EXPECT_NEAR(p.At(12).x, p.At(0).x, 1e-9);
    EXPECT_NEAR(p.At(12).y, p.At(0).y, 1e-9);
    EXPECT_NEAR(p.At(3).y, 5 + c.ry, 1e-9) << "the first quarter ends at the top";
    ExpectOnEllipse(p, 0, -3, 5, 7, c.ry);
  }
}

TEST(VectorCopyObject, PieRunsFromTheCentreAndCloses) {
  VectorPieObject pie{};
  ASSERT_EQ(VectorInitObject(&pie, kVoPie), kVkOk);
  pie.centre = Pt(0, 0);
  pie.rx = pie.ry = 10;
  pie.start = 0;
  pie.extent = 180;
  PointPath p;
  ASSERT_EQ(VectorCopyObject(&pie, &p), kVkOk);
  ASSERT_EQ(p.Count(), 8);
  EXPECT_EQ(p.Kinds(), (std::vector<int>{kPtMoveTo, kPtLineTo, 4, 4, 4, 4, 4,
                                         kPtBezierTo | kPtCloseFigure}));
  EXPECT_NEAR(p.At(0).x, 0, 1e-12);
  EXPECT_NEAR(p.At(1).x, 10, 1e-12);
  EXPECT_NEAR(p.At(7).x, -10, 1e-9);
  EXPECT_NEAR(p.At(7).y, 0, 1e-9);
}

TEST(VectorCopyObject, BezierKindsAndSplinesThroughTheirPoints) {
  KernelPoint pts[7] = {Pt(0, 0), Pt(1, 2), Pt(3, 2), Pt(4, 0), Pt(5, -2), Pt(7, -2), Pt(8, 0)};
  VectorPolylineObject open{};
  ASSERT_EQ(VectorInitObject(&open, kVoPolyBezier), kVkOk);
  open.count = 7;
  open.points = pts;
  {
    PointPath p;
    ASSERT_EQ(VectorCopyObject(&open, &p), kVkOk);
    EXPECT_EQ(p.Kinds(), (std::vector<int>{6, 4, 4, 4, 4, 4, 4}));
    EXPECT_EQ(p.At(6).x, 8);
  }
  VectorPolygonObject closed{};
  ASSERT_EQ(VectorInitObject(&closed, kVoClosedBezier), kVkOk);
  closed.count = 7;
  closed.points = pts;
  {
    PointPath p;
    ASSERT_EQ(VectorCopyObject(&closed, &p), kVkOk);
    EXPECT_EQ(p.Kinds(), (std::vector<int>{6, 4, 4, 4, 4, 4, 4 | kPtCloseFigure}));
  }
  // Splines: one cubic per span, each ending on the next given point.
  for (int32_t type : {kVoSpline, kVoClosedSpline}) {
    SCOPED_TRACE(type);
    VectorPolygonObject spline{};
    VectorPolylineObject openSpline{};
    const void* record = nullptr;
    if (type == kVoSpline) {
      ASSERT_EQ(VectorInitObject(&openSpline, type), kVkOk);
      openSpline.count = 4;
      openSpline.points = pts;
      record = &openSpline;
    } else {
      ASSERT_EQ(VectorInitObject(&spline, type), kVkOk);
      spline.count = 4;
      spline.points = pts;
      record = &spline;
    }
    PointPath p;
    ASSERT_EQ(VectorCopyObject(record, &p), kVkOk);
    const int spans = type == kVoSpline ? 3 : 4;
    ASSERT_EQ(p.Count(), 1 + 3 * spans);
    for (int s = 0; s < spans; ++s) {
      const KernelPoint& end = p.At(3 * (s + 1));
      EXPECT_EQ(end.x, pts[(s + 1) % 4].x);
      EXPECT_EQ(end.y, pts[(s + 1) % 4].y);
    }
    EXPECT_EQ((p.Kind(p.Count() - 1) & kPtCloseFigure) != 0, type == kVoClosedSpline);
    // The tangent at an inner point is parallel to its neighbours' chord.
    const KernelPoint& in = p.At(2);
    const KernelPoint& out = p.At(4);
    EXPECT_NEAR((out.y - in.y) * (pts[2].x - pts[0].x), (out.x - in.x) * (pts[2].y - pts[0].y),
                1e-9);
  }
}

TEST(VectorCopyObject, RectangleIsFivePointsClosingAtTheStart) {
  VectorRectObject rect{};
  ASSERT_EQ(VectorInitObject(&rect, kVoRect), kVkOk);
  rect.corner1 = Pt(1, 2);
  rect.corner2 = Pt(5, -6);
  PointPath p;
  ASSERT_EQ(VectorCopyObject(&rect, &p), kVkOk);
  EXPECT_EQ(p.Kinds(), (std::vector<int>{6, 2, 2, 2, 3}));
  EXPECT_EQ(p.At(4).x, 1);
  EXPECT_EQ(p.At(4).y, 2);
  EXPECT_EQ(p.At(2).x, 5);
  EXPECT_EQ(p.At(2).y, -6);
}

TEST(VectorCopyObject, TextGivesGlyphOutlines) {
  VectorTextObject text{};
  ASSERT_EQ(VectorInitObject(&text, kVoText), kVkOk);
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

TEST(VectorCopyObject, LongTextKeepsEveryGlyph) {
  // Far from the origin and long: every glyph must still be outlined.
  const std::u16string line(60, u'm');
  VectorTextObject text{};
  ASSERT_EQ(VectorInitObject(&text, kVoText), kVkOk);
  text.text = line.c_str();
  text.position = Pt(-5000, 3000);
  text.fontSize = 10;
  PointPath p;
  const int32_t status = VectorCopyObject(&text, &p);
  if (status == kVkErrUnsupported) GTEST_SKIP() << "built without the font engine";
  ASSERT_EQ(status, kVkOk);
  int figures = 0;
  double right = -1e9;
  for (int i = 0; i < p.Count(); ++i) {
    figures += p.Kind(i) == kPtMoveTo;
    right = std::max(right, p.At(i).x);
  }
  EXPECT_EQ(figures, 60) << "one contour per m";
  EXPECT_GT(right, -5000 + 59 * 5.0) << "an m is wider than half its size";
}

TEST(VectorCopyObject, EmptyTextGivesAnEmptyPath) {
  VectorTextObject text{};
  ASSERT_EQ(VectorInitObject(&text, kVoText), kVkOk);
  text.text = u"";
  text.fontSize = 10;
  PointPath p;
  const int32_t status = VectorCopyObject(&text, &p);
  if (status == kVkErrUnsupported) GTEST_SKIP() << "built without the font engine";
  EXPECT_EQ(status, kVkOk);
  EXPECT_EQ(p.Count(), 0);
}

TEST(VectorCopyObject, RejectsBadArgumentsAndObjectsWithoutOutline) {
  VectorCircleObject circle{};
  ASSERT_EQ(VectorInitObject(&circle, kVoCircle), kVkOk);
  VectorPointPath path{};
  EXPECT_EQ(VectorCopyObject(nullptr, &path), kVkErrArgument);
  EXPECT_EQ(VectorCopyObject(&circle, nullptr), kVkErrArgument);
  VectorGroupObject group{};
  ASSERT_EQ(VectorInitObject(&group, kVoGroupObject), kVkOk);
  EXPECT_EQ(VectorCopyObject(&group, &path), kVkErrUnsupported);
  EXPECT_EQ(path.count, 0);
  VectorPolylineObject broken{};
  ASSERT_EQ(VectorInitObject(&broken, kVoPolyBezier), kVkOk);
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
  VectorObjectRef ref = 0;
  ASSERT_EQ(VectorAddObject(&doc_, 0, kVoArc, &arc, &ref), kVkOk);
  const VectorTriple turn{0, 0, 90};
  ASSERT_EQ(VectorObjectRotate(&doc_, &turn, ref), kVkOk);
  VectorObjectDesc desc{};
  const VectorObjectHandle handle{ref, kVoArc};
  ASSERT_EQ(VectorGetObject(&doc_, &handle, kVoArc, &desc), kVkOk);
  PointPath p;
  ASSERT_EQ(VectorConvertToPath(&doc_, &desc, &p), kVkOk);
  ASSERT_EQ(p.Count(), 4);
  // The arc's x radius turned to point straight up from its centre.
  const KernelPoint centre = desc.arc.centre;
  EXPECT_NEAR(p.At(0).x, centre.x, 1e-9);
  EXPECT_NEAR(p.At(0).y, centre.y + 4, 1e-9);
  EXPECT_EQ(VectorFreeObjectData(kVoArc, &desc), kVkOk);

  VectorPointPath none{};
  EXPECT_EQ(VectorConvertToPath(nullptr, &desc, &none), kVkErrArgument);
  EXPECT_EQ(VectorConvertToPath(&doc_, nullptr, &none), kVkErrArgument);
}

void ExpectExtent(VectorDocument* doc, VectorObjectRef ref, double x0, double y0, double x1,
                  double y1) {
  KernelPoint lo{}, hi{};
  ASSERT_EQ(VectorGetObjectExtent(doc, ref, &lo, &hi), kVkOk);
  EXPECT_NEAR(lo.x, x0, 1e-9);
  EXPECT_NEAR(lo.y, y0, 1e-9);
  EXPECT_NEAR(hi.x, x1, 1e-9);
  EXPECT_NEAR(hi.y, y1, 1e-9);
}

int32_t StoredType(VectorDocument* doc, VectorObjectRef ref) {
  VectorObjectDesc desc{};
  for (int32_t type = kVoPoint; type <= kVoClosedSpline; ++type) {
    const VectorObjectHandle handle{ref, type};
    if (VectorGetObject(doc, &handle, type, &desc) == kVkOk) {
      EXPECT_EQ(VectorFreeObjectData(type, &desc), kVkOk);
      return type;
    }
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

  VectorEllipseObject ellipse{};
  ASSERT_EQ(VectorInitObject(&ellipse, kVoEllipse), kVkOk);
  ellipse.centre = Pt(0, 0);
  ellipse.rx = 10;
  ellipse.ry = 2;
  VectorObjectRef ref = 0;
  ASSERT_EQ(VectorAddObject(&doc_, 0, kVoEllipse, &ellipse, &ref), kVkOk);
  const VectorTriple quarter{0, 0, 90};
  ASSERT_EQ(VectorObjectRotate(&doc_, &quarter, ref), kVkOk);
  ExpectExtent(&doc_, ref, -2, -10, 2, 10);
  EXPECT_EQ(StoredType(&doc_, ref), kVoEllipse);
  // An odd angle keeps the shape as an outline.
  ASSERT_EQ(VectorObjectRotate(&doc_, &third, ref), kVkOk);
  EXPECT_EQ(StoredType(&doc_, ref), kVoPath);

  const VectorObjectRef text = AddText(u"Hi", Pt(0, 0), 10, kAlignStart, 100);
  ASSERT_EQ(VectorObjectRotate(&doc_, &third, text), kVkOk);
  VectorObjectDesc desc{};
  const VectorObjectHandle handle{text, kVoText};
  ASSERT_EQ(VectorGetObject(&doc_, &handle, kVoText, &desc), kVkOk);
  EXPECT_EQ(desc.text.escapement, 400);
  EXPECT_EQ(VectorFreeObjectData(kVoText, &desc), kVkOk);
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
  VectorObjectDesc desc{};
  const VectorObjectHandle handle{text, kVoText};
  ASSERT_EQ(VectorGetObject(&doc_, &handle, kVoText, &desc), kVkOk);
  EXPECT_EQ(desc.text.fontSize, 20);
  EXPECT_EQ(desc.text.pen.width, 1);
  EXPECT_EQ(desc.text.position.x, 0);
  EXPECT_EQ(VectorFreeObjectData(kVoText, &desc), kVkOk);
}

TEST_F(Transforms, MirroredArcKeepsItsPoints) {
  VectorArcObject arc = Arc(0, 90);
  VectorObjectRef ref = 0;
  ASSERT_EQ(VectorAddObject(&doc_, 0, kVoArc, &arc, &ref), kVkOk);
  PointPath before;
  ASSERT_EQ(VectorCopyObject(&arc, &before), kVkOk);
  const KernelPoint centre = Pt(10, 20);
  const VectorTriple mirror{-1, 1, 1};
  ASSERT_EQ(VectorObjectScale(&doc_, &mirror, ref, &centre), kVkOk);
  VectorObjectDesc desc{};
  const VectorObjectHandle handle{ref, kVoArc};
  ASSERT_EQ(VectorGetObject(&doc_, &handle, kVoArc, &desc), kVkOk);
  PointPath after;
  ASSERT_EQ(VectorConvertToPath(&doc_, &desc, &after), kVkOk);
  EXPECT_EQ(VectorFreeObjectData(kVoArc, &desc), kVkOk);
  ASSERT_EQ(after.Count(), 4);
  // Mirrored in x about the centre: ends at the same top point, starts
  // on the left.
  EXPECT_NEAR(after.At(0).x, 6, 1e-6);
  EXPECT_NEAR(after.At(0).y, 20, 1e-6);
  EXPECT_NEAR(after.At(3).x, before.At(3).x, 1e-6);
  EXPECT_NEAR(after.At(3).y, before.At(3).y, 1e-6);
}

TEST_F(Transforms, MoveShiftsObjectAndDocumentBounds) {
  const VectorObjectRef line = AddLine(0, 0, 10, 5);
  const VectorObjectRef circle = AddCircle(0, 0, 1);
  const VectorTriple offset{100, -50, 0};
  ASSERT_EQ(VectorObjectMove(&doc_, &offset, circle), kVkOk);
  ExpectExtent(&doc_, circle, 99, -51, 101, -49);
  ExpectExtent(&doc_, line, 0, 0, 10, 5);
  EXPECT_NEAR(doc_.lowerBound.y, -51, 1e-9);
  EXPECT_NEAR(doc_.upperBound.x, 101, 1e-9);
}

TEST_F(Transforms, DocumentBoundsGrowAndShrinkWithTheObjects) {
  const VectorObjectRef outer = AddLine(0, 0, 100, 100);
  const VectorObjectRef inner = AddCircle(50, 50, 5);
  // An inner object moved past the edge widens the bounds.
  const VectorTriple right{100, 0, 0};
  ASSERT_EQ(VectorObjectMove(&doc_, &right, inner), kVkOk);
  EXPECT_NEAR(doc_.lowerBound.x, 0, 1e-9);
  EXPECT_NEAR(doc_.upperBound.x, 155, 1e-9);
  EXPECT_NEAR(doc_.upperBound.y, 100, 1e-9);
  // The object that set the edges shrinks: the bounds close in on what is left.
  const VectorTriple tenth{0.1, 0.1, 1};
  ASSERT_EQ(VectorObjectScale(&doc_, &tenth, outer, nullptr), kVkOk);
  EXPECT_NEAR(doc_.lowerBound.x, 45, 1e-9);
  EXPECT_NEAR(doc_.lowerBound.y, 45, 1e-9);
  EXPECT_NEAR(doc_.upperBound.x, 155, 1e-9);
  EXPECT_NEAR(doc_.upperBound.y, 55, 1e-9);
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
