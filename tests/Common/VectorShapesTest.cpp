#include "Common/VectorShapes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "Common/VectorConvertFixture.h"

namespace svgflt::testing {
namespace {

constexpr double kEps = 1e-9;

std::string Svg(const std::string& body) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\">" + body +
         "</svg>";
}

// Converts one element directly with a context that the test adjusts.
class ShapeConvert : public VectorConvert {
 protected:
  Status ConvertFirst(const std::string& body, int32_t type,
                      const std::function<void(ConversionContext&)>& adjust = {}) {
    const Status loaded = Load(Svg(body));
    EXPECT_EQ(loaded, kOk);
    if (loaded != kOk) return loaded;
    NewVector();
    ConversionContext context;
    Status status = InitConversionContext(context, &vector_);
    EXPECT_EQ(status, kOk);
    context.referenceWidth = context.referenceHeight = 100;
    if (adjust) adjust(context);
    int32_t index = -1;
    for (int32_t i = 0; i < document_->recordCount && index < 0; ++i) {
      if (document_->records[i].elementType == type) index = i;
    }
    EXPECT_GE(index, 0);
    if (status == kOk) status = ConvertShape(context, *document_, index);
    pairs_.clear();
    const auto* entries = reinterpret_cast<const ElementObject*>(context.objects.data);
    for (int32_t i = 0; i < context.objects.count; ++i) pairs_.push_back(entries[i]);
    elementIndex_ = index;
    FreeConversionContext(context);
    Enumerate();
    return status;
  }
  // The only object made; fails the test when there is not exactly one.
  VectorObjectHandle Only() {
    EXPECT_EQ(objects_.size(), 1u);
    return objects_.empty() ? VectorObjectHandle{0, 0} : objects_[0];
  }

  std::vector<ElementObject> pairs_;
  int32_t elementIndex_ = -1;
};

// --- rectangles, circles, ellipses, lines -----------------------------------

TEST_F(ShapeConvert, RectWithMatrixBecomesAFourPointPolygon) {
  ASSERT_EQ(ConvertFirst("<rect x=\"10\" y=\"20\" width=\"30\" height=\"40\" "
                         "transform=\"matrix(1 0 0 1 5 5)\"/>",
                         kElemRect),
            kOk);
  const VectorObjectHandle handle = Only();
  ASSERT_EQ(handle.type, kVoPolygon);
  StoredObject p(&vector_, handle);
  ASSERT_EQ(p->polygon.count, 4);
  const double expected[4][2] = {{15, -25}, {45, -25}, {45, -65}, {15, -65}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_DOUBLE_EQ(p->polygon.points[i].x, expected[i][0]) << i;
    EXPECT_DOUBLE_EQ(p->polygon.points[i].y, expected[i][1]) << i;
  }
}

TEST_F(ShapeConvert, DegenerateShapesAddNothing) {
  const struct {
    const char* body;
    int32_t type;
  } cases[] = {
      {"<rect width=\"0\" height=\"5\"/>", kElemRect},
      {"<circle r=\"0\"/>", kElemCircle},
      {"<ellipse rx=\"5\" ry=\"0\"/>", kElemEllipse},
      {"<line x1=\"3\" y1=\"3\" x2=\"3\" y2=\"3\"/>", kElemLine},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    ASSERT_EQ(ConvertFirst(c.body, c.type), kOk);
    EXPECT_TRUE(objects_.empty());
    EXPECT_TRUE(pairs_.empty());
  }
}

TEST_F(ShapeConvert, CircleAndEllipseKeepTheirKernelTypes) {
  ASSERT_EQ(ConvertFirst("<circle r=\"5\"/>", kElemCircle), kOk);
  {
    StoredObject c(&vector_, Only());
    ASSERT_EQ(c.type(), kVoCircle);
    EXPECT_DOUBLE_EQ(c->circle.r, 5);
    EXPECT_DOUBLE_EQ(c->circle.centre.x, 0);
    EXPECT_DOUBLE_EQ(c->circle.centre.y, 0);
  }
  ASSERT_EQ(ConvertFirst("<ellipse cx=\"3\" cy=\"4\" rx=\"5\" ry=\"6\"/>", kElemEllipse), kOk);
  StoredObject e(&vector_, Only());
  ASSERT_EQ(e.type(), kVoEllipse);
  EXPECT_DOUBLE_EQ(e->ellipse.centre.y, -4);
  EXPECT_DOUBLE_EQ(e->ellipse.rx, 5);
  EXPECT_DOUBLE_EQ(e->ellipse.ry, 6);
}

TEST_F(ShapeConvert, CircleThroughTheEmitterBecomesAPointPath) {
  ASSERT_EQ(ConvertFirst("<circle cx=\"1\" cy=\"1\" r=\"2\" transform=\"matrix(2 0 0 2 10 0)\"/>",
                         kElemCircle),
            kOk);
  StoredObject path(&vector_, Only());
  ASSERT_EQ(path.type(), kVoPath);
  ASSERT_EQ(path->path.count, 13);
  EXPECT_EQ(path->path.kinds[0], kPtMoveTo);
  // Angle 0 of the circle: (3, -1) placed, mapped to (16, -2).
  EXPECT_NEAR(path->path.points[0].x, 16, kEps);
  EXPECT_NEAR(path->path.points[0].y, -2, kEps);
}

TEST_F(ShapeConvert, LineIsPairedWithItsElement) {
  ASSERT_EQ(ConvertFirst("<line x1=\"1\" y1=\"2\" x2=\"3\" y2=\"4\"/>", kElemLine), kOk);
  StoredObject line(&vector_, Only());
  ASSERT_EQ(line.type(), kVoLine);
  EXPECT_DOUBLE_EQ(line->line.from.y, -2);
  EXPECT_DOUBLE_EQ(line->line.to.x, 3);
  ASSERT_EQ(pairs_.size(), 1u);
  EXPECT_EQ(pairs_[0].elementIndex, elementIndex_);
  EXPECT_EQ(pairs_[0].object, line->h.id);
}

TEST_F(ShapeConvert, DisabledPaintHidesTheObject) {
  for (int flag = 0; flag < 2; ++flag) {
    SCOPED_TRACE(flag);
    ASSERT_EQ(ConvertFirst("<rect width=\"1\" height=\"1\"/>", kElemRect,
                           [&](ConversionContext& c) {
                             (flag == 0 ? c.paintEnabled : c.paintEnabled2) = 0;
                           }),
              kOk);
    StoredObject rect(&vector_, Only());
    EXPECT_EQ(rect->h.flags, static_cast<uint32_t>(kVoFlagHidden));
  }
}

// --- polylines and polygons --------------------------------------------------

TEST_F(ShapeConvert, PolylineWithSolidFillIsAPolygon) {
  struct Case {
    const char* points;
    int32_t brushStyle;
    int32_t type;
  };
  const Case cases[] = {
      {"0,0 10,0 10,10", kBrushSolid, kVoPolygon},
      {"0,0 10,0 10,10", kBrushHollow, kVoPolyline},
      {"0,0 10,0", kBrushSolid, kVoPolyline},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.points << " brush " << c.brushStyle);
    ASSERT_EQ(ConvertFirst(std::string("<polyline points=\"") + c.points + "\"/>", kElemPolyline,
                           [&](ConversionContext& context) { context.brush.w[2] = c.brushStyle; }),
              kOk);
    StoredObject o(&vector_, Only());
    EXPECT_EQ(o.type(), c.type);
  }
}

TEST_F(ShapeConvert, PolygonTakesTheContextFillRule) {
  for (const int32_t rule : {kFillWinding, kFillAlternate}) {
    SCOPED_TRACE(rule);
    ASSERT_EQ(ConvertFirst("<polygon points=\"0,0 10,0 10,10\"/>", kElemPolygon,
                           [&](ConversionContext& c) { c.fillRule = rule; }),
              kOk);
    StoredObject p(&vector_, Only());
    ASSERT_EQ(p.type(), kVoPolygon);
    EXPECT_EQ(p->polygon.fillMode, rule);
    ASSERT_EQ(p->polygon.count, 3);
    EXPECT_DOUBLE_EQ(p->polygon.points[2].y, -10);
  }
}

// --- pen width under a matrix ---------------------------------------------------

TEST(ScaledPenWidth, TruncatesButKeepsThinLinesVisible) {
  struct Case {
    double scale, width;
    int32_t expected;
  };
  const Case cases[] = {{1, 0.4, 1},  {1, 2.7, 2},   {1, 0, 0},
                        {2, 0.4, 1},  {0.25, 2, 1},  {10, 1.05, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.scale << " x " << c.width);
    EXPECT_EQ(ScaledPenWidth(c.scale, c.width), c.expected);
  }
}

TEST_F(ShapeConvert, EmitterScalesThePenWidth) {
  struct Case {
    const char* transform;
    double penWidth;
    int32_t expected;
  };
  const Case cases[] = {{"matrix(3 0 0 3 0 0)", 2.7, 8},
                        {"matrix(0 1 -1 0 0 0)", 2.7, 2}};  // a quarter turn keeps the width
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.transform << " " << c.penWidth);
    ASSERT_EQ(ConvertFirst(std::string("<rect width=\"4\" height=\"4\" transform=\"") +
                               c.transform + "\"/>",
                           kElemRect, [&](ConversionContext& context) {
                             context.penWidth = c.penWidth;
                           }),
              kOk);
    StoredObject p(&vector_, Only());
    ASSERT_EQ(p.type(), kVoPolygon);
    EXPECT_EQ(p->polygon.pen.width, c.expected);
  }
}

// --- arcs to Beziers -----------------------------------------------------------

class ArcBeziers : public ::testing::Test {
 protected:
  void TearDown() override { FreePathBuffer(buffer_); }
  PointPathBuffer buffer_{};
};

TEST_F(ArcBeziers, QuarterArcIsOneCubicEndingOnTheArc) {
  ASSERT_EQ(AppendArcBeziers(buffer_, 5, 5, 1, 1, 0, 90, 0), kOk);
  ASSERT_EQ(buffer_.count, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(buffer_.kinds[i], kPtBezierTo);
  EXPECT_NEAR(buffer_.points[2].x, 5, kEps);
  EXPECT_NEAR(buffer_.points[2].y, 4, kEps);
  // The cubic passes through the arc at a quarter of its parameter.
  const KernelPoint p0{6, 5, 0, 0};
  const KernelPoint* c = buffer_.points;
  const double t = 0.25, u = 0.75;
  const double x = u * u * u * p0.x + 3 * u * u * t * c[0].x + 3 * u * t * t * c[1].x +
                   t * t * t * c[2].x;
  const double y = u * u * u * p0.y + 3 * u * u * t * c[0].y + 3 * u * t * t * c[1].y +
                   t * t * t * c[2].y;
  const double a = 22.5 * 3.14159265358979323846 / 180;
  EXPECT_NEAR(x, 5 + std::cos(a), 1e-12);
  EXPECT_NEAR(y, 5 - std::sin(a), 1e-12);
}

TEST_F(ArcBeziers, FullTurnIsFourPiecesOfThreePoints) {
  ASSERT_EQ(AppendArcBeziers(buffer_, 0, 0, 2, 1, 0, 360, 0), kOk);
  ASSERT_EQ(buffer_.count, 12);
  EXPECT_NEAR(buffer_.points[11].x, 2, kEps);
  EXPECT_NEAR(buffer_.points[11].y, 0, kEps);
  EXPECT_NEAR(buffer_.points[5].x, -2, kEps);  // half way round
}

TEST_F(ArcBeziers, StartAngleIsNormalised) {
  PointPathBuffer other{};
  ASSERT_EQ(AppendArcBeziers(buffer_, 0, 0, 1, 1, -270, 90, 0), kOk);
  ASSERT_EQ(AppendArcBeziers(other, 0, 0, 1, 1, 90, 90, 0), kOk);
  ASSERT_EQ(buffer_.count, other.count);
  for (int i = 0; i < buffer_.count; ++i) {
    EXPECT_NEAR(buffer_.points[i].x, other.points[i].x, kEps);
    EXPECT_NEAR(buffer_.points[i].y, other.points[i].y, kEps);
  }
  FreePathBuffer(other);
}

TEST_F(ArcBeziers, RotationIsTruncatedToWholeDegrees) {
  PointPathBuffer plain{};
  ASSERT_EQ(AppendArcBeziers(plain, 1, 1, 2, 1, 0, 90, 0), kOk);
  ASSERT_EQ(AppendArcBeziers(buffer_, 1, 1, 2, 1, 0, 90, 0.5), kOk);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(buffer_.points[i].x, plain.points[i].x, kEps);
  FreePathBuffer(buffer_);
  ASSERT_EQ(AppendArcBeziers(buffer_, 1, 1, 2, 1, 0, 90, 30.9), kOk);
  const double a = 30 * 3.14159265358979323846 / 180;
  for (int i = 0; i < 3; ++i) {
    const double dx = plain.points[i].x - 1, dy = plain.points[i].y - 1;
    EXPECT_NEAR(buffer_.points[i].x, 1 + dx * std::cos(a) - dy * std::sin(a), kEps) << i;
    EXPECT_NEAR(buffer_.points[i].y, 1 + dx * std::sin(a) + dy * std::cos(a), kEps) << i;
  }
  FreePathBuffer(plain);
}

TEST_F(ArcBeziers, NegativeSweepIsReversed) {
  PointPathBuffer forward{};
  ASSERT_EQ(AppendArcBeziers(forward, 0, 0, 1, 1, 0, 90, 0), kOk);
  ASSERT_EQ(AppendArcBeziers(buffer_, 0, 0, 1, 1, 90, -90, 0), kOk);
  ASSERT_EQ(buffer_.count, 3);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(buffer_.points[i].x, forward.points[2 - i].x, kEps);
  FreePathBuffer(forward);
}

TEST_F(ShapeConvert, RoundedRectIsAClosedOutlineOfEdgesAndQuarterArcs) {
  ASSERT_EQ(ConvertFirst("<rect x=\"10\" y=\"20\" width=\"30\" height=\"40\" rx=\"5\"/>",
                         kElemRect),
            kOk);
  StoredObject path(&vector_, Only());
  ASSERT_EQ(path.type(), kVoPath);
  ASSERT_EQ(path->path.count, 1 + 4 * (1 + 3));
  const KernelPoint* p = path->path.points;
  const uint8_t* k = path->path.kinds;
  EXPECT_EQ(k[0], kPtMoveTo);
  EXPECT_DOUBLE_EQ(p[0].x, 15);
  EXPECT_DOUBLE_EQ(p[0].y, -20);
  EXPECT_EQ(k[1], kPtLineTo);
  EXPECT_DOUBLE_EQ(p[1].x, 35);
  // Ends of the four arcs: right side, bottom, left side, back at the start.
  const double ends[4][2] = {{40, -25}, {35, -60}, {10, -55}, {15, -20}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(p[4 + 4 * i].x, ends[i][0], kEps) << i;
    EXPECT_NEAR(p[4 + 4 * i].y, ends[i][1], kEps) << i;
  }
  EXPECT_EQ(k[16], kPtBezierTo | kPtCloseFigure);
}

// --- paths ---------------------------------------------------------------------

class PathConvert : public ShapeConvert {
 protected:
  // Converts a path and returns its points (placed) and kinds.
  void Path(const std::string& d) {
    points_.clear();
    kinds_.clear();
    ASSERT_EQ(ConvertFirst("<path d=\"" + d + "\"/>", kElemPath), kOk);
    ASSERT_EQ(objects_.size(), 1u);
    StoredObject path(&vector_, objects_[0]);
    ASSERT_EQ(path.type(), kVoPath);
    for (int32_t i = 0; i < path->path.count; ++i) {
      points_.push_back(path->path.points[i]);
      kinds_.push_back(path->path.kinds[i]);
    }
  }
  void ExpectPoint(size_t i, double x, double y, double eps = kEps) {
    ASSERT_LT(i, points_.size());
    EXPECT_NEAR(points_[i].x, x, eps) << "point " << i;
    EXPECT_NEAR(points_[i].y, y, eps) << "point " << i;
  }
  std::vector<KernelPoint> points_;
  std::vector<uint8_t> kinds_;
};

// Point kinds and chosen points (placed, y up) of converted path data.
TEST_F(PathConvert, SegmentsBecomePoints) {
  struct Point {
    size_t index;
    double x, y;
  };
  const struct {
    const char* d;
    std::vector<uint8_t> kinds;
    std::vector<Point> points;
  } cases[] = {
      {"M10 10 H20 V20 L10 20 Z", {6, 2, 2, 2, 3}, {{1, 20, -10}, {2, 20, -20}, {4, 10, -10}}},
      // After a close, a relative command starts at the sub-path's start.
      {"M10 10 l10 0 l0 10 z l5 5", {6, 2, 2, 3, 6, 2}, {{4, 10, -10}, {5, 15, -15}}},
      // S reflects the previous cubic's second control, after anything
      // else it starts at the current point.
      {"M0 0 C10 0 20 10 20 20 S30 40 40 40 s10 0 10 10", {6, 4, 4, 4, 4, 4, 4, 4, 4, 4},
       {{4, 20, -30}, {6, 40, -40}, {7, 50, -40}, {9, 50, -50}}},
      {"M0 0 L10 0 S20 10 30 0", {6, 2, 4, 4, 4}, {{2, 10, 0}}},
      // Quadratics are raised to cubics; T reflects (10, 10) about (20, 0).
      {"M0 0 Q10 10 20 0 T40 0", {6, 4, 4, 4, 4, 4, 4},
       {{1, 20.0 / 3, -20.0 / 3}, {2, 10 + 10.0 / 3, -(10 - 10.0 / 3)}, {3, 20, 0},
        {4, 20 + 2.0 / 3 * 10, 2.0 / 3 * 10}, {6, 40, 0}}},
      {"M0 0 A0 5 0 0 1 10 10", {6, 2}, {{1, 10, -10}}},  // a zero radius draws a line
      {"M0 0 L10 0 L10 10", {6, 2, 2}, {}},                 // open and filled: one object
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.d);
    Path(c.d);
    EXPECT_EQ(kinds_, c.kinds);
    for (const Point& p : c.points) ExpectPoint(p.index, p.x, p.y);
  }
}

TEST_F(PathConvert, ArcFlagsChooseTheArc) {
  struct Case {
    const char* d;
    size_t points;        // move + 3 per quarter
    double midX, midY;    // the point after the first piece
  };
  const Case cases[] = {
      // Half circles above and below the chord from (0,0) to (20,0).
      {"M0 0 A10 10 0 0 1 20 0", 7, 10, 10},
      {"M0 0 A10 10 0 0 0 20 0", 7, 10, -10},
      // Radii too small are scaled up to the half circle.
      {"M0 0 A1 1 0 0 1 20 0", 7, 10, 10},
      // Quarter and three-quarter circles about (10, 0) or (0, 10).
      {"M0 0 A10 10 0 0 1 10 10", 4, 10, -10},
      {"M0 0 A10 10 0 1 1 10 10", 10, 10, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.d);
    Path(c.d);
    ASSERT_EQ(points_.size(), c.points);
    EXPECT_EQ(kinds_[0], kPtMoveTo);
    for (size_t i = 1; i < kinds_.size(); ++i) EXPECT_EQ(kinds_[i], kPtBezierTo) << i;
    ExpectPoint(3, c.midX, c.midY, 1e-4);
  }
}

TEST_F(PathConvert, ArcEndsExactlyAtItsEndPoint) {
  Path("M3 7 a13 9 25 1 0 17 -11");
  ASSERT_FALSE(points_.empty());
  ExpectPoint(points_.size() - 1, 20, 4);
}

TEST_F(ShapeConvert, EveryAllocationFailureOfAShapeIsReported) {
  const std::string body =
      "<path d=\"M0 0 L1 1 L2 2 L3 3 L4 4 L5 5 L6 6 L7 7 L8 8 L9 9 L10 10 L11 11 L12 12 L13 13 "
      "L14 14 L15 15 L16 16 L17 17 L18 18 L19 19 L20 20 L21 21 L22 22 L23 23 L24 24 L25 25 "
      "L26 26 L27 27 L28 28 L29 29 L30 30 L31 31 L32 32 A5 5 0 0 1 40 40 Z\"/>";
  ASSERT_EQ(Load(Svg(body)), kOk);
  int failures = 0;
  for (int64_t n = 1; n < 50; ++n) {
    SCOPED_TRACE(n);
    const KernelAccounting before = KernelSnapshot();
    NewVector();
    ConversionContext context;
    ASSERT_EQ(InitConversionContext(context, &vector_), kOk);
    KernelFailAllocation(n);
    const Status status = ConvertShape(context, *document_, 1);
    KernelFailAllocation(0);
    FreeConversionContext(context);
    FreeVector();
    ExpectNothingLiveSince(before);
    if (status == kOk) break;
    EXPECT_EQ(status, kErrNoMemory);
    ++failures;
  }
  EXPECT_GE(failures, 3);
}

}  // namespace
}  // namespace svgflt::testing
