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
    const Status loaded = Load(Svg(body));  // the callers expect kOk
    if (loaded != kOk) return loaded;
    NewVector();
    ConversionContext context;
    Status status = InitConversionContext(context, &vector_);
    EXPECT_EQ(status, kOk);
    context.referenceWidth = context.referenceHeight = 100;
    if (adjust) adjust(context);
    int32_t index = 0;
    while (index < document_->recordCount && document_->records[index].elementType != type) ++index;
    EXPECT_LT(index, document_->recordCount);
    if (status == kOk) status = ConvertShape(context, *document_, index);
    const auto* entries = reinterpret_cast<const ElementObject*>(context.objects.data);
    pairs_.assign(entries, entries + context.objects.count);
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

// --- shapes -------------------------------------------------------------------

// The kernel object each shape becomes (none for degenerate geometry), its
// placed extent (y up), its point count where it has points, and the pair
// of element and object in the context's list.
TEST_F(ShapeConvert, ShapesBecomeKernelObjects) {
  struct Case {
    const char* body;
    int32_t element, type, points;
    double left, bottom, right, top;
    int32_t brushStyle = kBrushSolid;
    int32_t fillRule = kFillWinding;
  };
  const Case cases[] = {
      {"<rect x=\"10\" y=\"20\" width=\"30\" height=\"40\" transform=\"matrix(1 0 0 1 5 5)\"/>",
       kElemRect, kVoPolygon, 4, 15, -65, 45, -25},
      {"<rect x=\"10\" y=\"20\" width=\"30\" height=\"40\" rx=\"5\"/>", kElemRect, kVoPath,
       17, 10, -60, 40, -20},
      {"<circle r=\"5\"/>", kElemCircle, kVoCircle, -1, -5, -5, 5, 5},
      {"<circle cx=\"1\" cy=\"1\" r=\"2\" transform=\"matrix(2 0 0 2 10 0)\"/>", kElemCircle,
       kVoPath, 13, 8, -6, 16, 2},
      {"<ellipse cx=\"3\" cy=\"4\" rx=\"5\" ry=\"6\"/>", kElemEllipse, kVoEllipse, -1, -2, -10,
       8, 2},
      {"<line x1=\"1\" y1=\"2\" x2=\"3\" y2=\"4\"/>", kElemLine, kVoLine, -1, 1, -4, 3, -2},
      {"<polyline points=\"0,0 10,0 10,10\"/>", kElemPolyline, kVoPolygon, 3, 0, -10, 10, 0},
      {"<polyline points=\"0,0 10,0 10,10\"/>", kElemPolyline, kVoPolyline, 3, 0, -10, 10, 0,
       kBrushHollow},
      {"<polygon points=\"0,0 10,0 10,10\"/>", kElemPolygon, kVoPolygon, 3, 0, -10, 10, 0,
       kBrushSolid, kFillAlternate},
      {"<rect width=\"0\" height=\"5\"/>", kElemRect, -1, 0, 0, 0, 0, 0},
      {"<line x1=\"3\" y1=\"3\" x2=\"3\" y2=\"3\"/>", kElemLine, -1, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.body << " brush " << c.brushStyle);
    ASSERT_EQ(ConvertFirst(c.body, c.element, [&](ConversionContext& context) {
                context.brush.w[2] = c.brushStyle;
                context.fillRule = c.fillRule;
              }),
              kOk);
    if (c.type < 0) {
      EXPECT_TRUE(objects_.empty());
      EXPECT_TRUE(pairs_.empty());
      continue;
    }
    StoredObject o(&vector_, Only());
    ASSERT_EQ(o.type(), c.type);
    KernelPoint lower{}, upper{};
    ASSERT_EQ(VectorGetObjectExtent(&vector_, o->h.id, &lower, &upper), kVkOk);
    // Curves are bounded by their control points.
    EXPECT_NEAR(lower.x, c.left, 0.1);
    EXPECT_NEAR(lower.y, c.bottom, 0.1);
    EXPECT_NEAR(upper.x, c.right, 0.1);
    EXPECT_NEAR(upper.y, c.top, 0.1);
    EXPECT_TRUE(c.type != kVoPath || (o->path.count == c.points && o->path.kinds[0] == kPtMoveTo));
    EXPECT_TRUE(c.type != kVoPolyline || o->polyline.count == c.points);
    if (c.type == kVoPolygon) {
      EXPECT_EQ(o->polygon.count, c.points);
      EXPECT_EQ(o->polygon.fillMode, c.fillRule);
    }
    ASSERT_EQ(pairs_.size(), 1u);
    EXPECT_EQ(pairs_[0].elementIndex, elementIndex_);
    EXPECT_EQ(pairs_[0].object, o->h.id);
  }
}

// --- pen width under a matrix ---------------------------------------------------

// The emitter scales the pen width by the matrix: truncated, but thin lines
// stay visible; a quarter turn keeps the width.
TEST_F(ShapeConvert, EmitterScalesThePenWidth) {
  struct Case {
    const char* transform;
    double penWidth;
    int32_t expected;
  };
  const Case cases[] = {{"matrix(3 0 0 3 0 0)", 2.7, 8}, {"matrix(0 1 -1 0 0 0)", 2.7, 2},
                        {"matrix(0.25 0 0 0.25 0 0)", 2, 1}, {"matrix(10 0 0 10 0 0)", 1.05, 10}};
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

TEST_F(ArcBeziers, QuarterArcIsOneCubicOnTheArcAndFullTurnsFour) {
  ASSERT_EQ(AppendArcBeziers(buffer_, 5, 5, 1, 1, 0, 90, 0), kOk);
  ASSERT_EQ(buffer_.count, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(buffer_.kinds[i], kPtBezierTo);
  EXPECT_NEAR(buffer_.points[2].x, 5, kEps);
  EXPECT_NEAR(buffer_.points[2].y, 4, kEps);
  // The cubic passes through the arc at a quarter of its parameter.
  const KernelPoint* c = buffer_.points;  // from (6, 5)
  const double a = 22.5 * 3.14159265358979323846 / 180;
  EXPECT_NEAR((27 * 6 + 27 * c[0].x + 9 * c[1].x + c[2].x) / 64, 5 + std::cos(a), 1e-12);
  EXPECT_NEAR((27 * 5 + 27 * c[0].y + 9 * c[1].y + c[2].y) / 64, 5 - std::sin(a), 1e-12);
  // A full turn is four pieces.
  FreePathBuffer(buffer_);
  ASSERT_EQ(AppendArcBeziers(buffer_, 0, 0, 2, 1, 0, 360, 0), kOk);
  ASSERT_EQ(buffer_.count, 12);
  EXPECT_NEAR(buffer_.points[11].x, 2, kEps);
  EXPECT_NEAR(buffer_.points[5].x, -2, kEps);  // half way round
}

// --- paths ---------------------------------------------------------------------

class PathConvert : public ShapeConvert {
 protected:
  // Converts a path and keeps its points (placed) and kinds.
  void Path(const std::string& d) {
    ASSERT_EQ(ConvertFirst("<path d=\"" + d + "\"/>", kElemPath), kOk);
    StoredObject path(&vector_, Only());
    ASSERT_EQ(path.type(), kVoPath);
    points_.assign(path->path.points, path->path.points + path->path.count);
    kinds_.assign(path->path.kinds, path->path.kinds + path->path.count);
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
      // Arcs: the flags choose the half circle above or below the chord, radii
      // too small are scaled up, and each arc ends exactly at its end point.
      {"M0 0 A10 10 0 0 1 20 0", {6, 4, 4, 4, 4, 4, 4}, {{3, 10, 10}, {6, 20, 0}}},
      {"M0 0 A10 10 0 0 0 20 0", {6, 4, 4, 4, 4, 4, 4}, {{3, 10, -10}, {6, 20, 0}}},
      {"M0 0 A1 1 0 0 1 20 0", {6, 4, 4, 4, 4, 4, 4}, {{3, 10, 10}, {6, 20, 0}}},
      {"M0 0 A10 10 0 0 1 10 10", {6, 4, 4, 4}, {{3, 10, -10}}},
      {"M0 0 A10 10 0 1 1 10 10", {6, 4, 4, 4, 4, 4, 4, 4, 4, 4}, {{3, 10, 10}, {9, 10, -10}}},
      {"M3 7 a13 9 25 1 0 17 -11", {6, 4, 4, 4, 4, 4, 4}, {{6, 20, 4}}},
      {"M0 0 A0 5 0 0 1 10 10", {6, 2}, {{1, 10, -10}}},  // a zero radius draws a line
      {"M0 0 L10 0 L10 10", {6, 2, 2}, {}},                 // open and filled: one object
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.d);
    Path(c.d);
    EXPECT_EQ(kinds_, c.kinds);
    for (const Point& p : c.points) {
      ASSERT_LT(p.index, points_.size());
      EXPECT_NEAR(points_[p.index].x, p.x, 1e-6) << p.index;
      EXPECT_NEAR(points_[p.index].y, p.y, 1e-6) << p.index;
    }
  }
}

}  // namespace
}  // namespace svgflt::testing
