// Shapes and paths to vector-kernel objects.
#include "Common/VectorShapes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "Common/KernelMemory.h"
#include "Common/Stack.h"
#include "VectorKernel/VectorKernel.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/ShapesUtil";
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kPi = 3.14159265358979323846;

bool IsIdentity(const SvgMatrix& m) {
  return m.a == 1.0 && m.b == 0.0 && m.c == 0.0 && m.d == 1.0 && m.e == 0.0 && m.f == 0.0;
}

// The matrix in force for the element's content: the expansion's placement
// while a `use` is expanded, else the group stack's top, else the root's.
SvgMatrix InheritedMatrix(const ConversionContext& context) {
  if (context.hasContentMatrix != 0) return context.contentMatrix;
  if (context.stack != nullptr) return context.stack->matrix;
  return context.matrix;
}

// The matrix entries of the element's list folded in order; other kinds are
// applied to the object afterwards through the kernel.
SvgMatrix MatrixEntries(const SvgMatrix& start, const TransformList& list) {
  SvgMatrix m = start;
  for (const TransformStep* step = list.first; step != nullptr; step = step->next) {
    if (step->kind == kTransformMatrix) m = MultiplyMatrix(m, step->params.matrix);
  }
  return m;
}

// Chooses between adding the object as it is and baking a matrix into its
// points. The inherited matrix is composed with the element's own matrix
// entries, so a shape written with matrix(...) inside a transformed group
// or a scaled viewBox keeps both.
bool NeedsEmitter(const ConversionContext& context, const ElementCommon& common,
                  SvgMatrix* matrix) {
  const SvgMatrix inherited = InheritedMatrix(context);
  const bool firstIsMatrix =
      common.transform.first != nullptr && common.transform.first->kind == kTransformMatrix;
  if (!firstIsMatrix && IsIdentity(inherited)) return false;
  *matrix = MatrixEntries(inherited, common.transform);
  return true;
}

// x' = x*a - y*c + e, y' = (origin - f) + (y*d - x*b), for points already
// placed with y up.
void TransformPoint(const SvgMatrix& m, double origin, KernelPoint& p) {
  const double x = p.x;
  const double y = p.y;
  p.x = x * m.a - y * m.c + m.e;
  p.y = (origin - m.f) + (y * m.d - x * m.b);
  p.z = 0.0;
}

void TransformPoints(const SvgMatrix& m, double origin, KernelPoint* points, int32_t count) {
  for (int32_t i = 0; i < count; ++i) TransformPoint(m, origin, points[i]);
}

KernelPoint Point(double x, double y) {
  KernelPoint p{};
  p.x = x;
  p.y = y;
  return p;
}

// Pen and brush of the context; hidden when painting is disabled or the
// element only feeds a clip.
void FillPaint(const ConversionContext& context, VectorObjectHeader& header, VectorPen* pen,
               VectorBrush* brush) {
  if (pen != nullptr) *pen = context.pen;
  if (brush != nullptr) *brush = context.brush;
  if (context.paintEnabled == 0 || context.paintEnabled2 == 0 || context.clipContent != 0) {
    header.flags = kVoFlagHidden;
  }
}

void ScalePen(const ConversionContext& context, const SvgMatrix& m, VectorPen& pen) {
  // The length of the transformed x axis, so a rotation keeps the width.
  const double scale = std::hypot(m.a, m.b);
  if (scale > 0.0) {
    const double width = context.penWidth > 0.0 ? context.penWidth : pen.width;
    pen.width = ScaledPenWidth(scale, width);
  }
}

// Adds a point path (already placed) as a type-13 object, transformed by
// `matrix` when given.
Status EmitPointPath(ConversionContext& context, int32_t elementIndex, KernelPoint* points,
                     uint8_t* kinds, int32_t count, const SvgMatrix* matrix,
                     const VectorPen& pen, const VectorBrush& brush, uint32_t flags) {
  VectorPathObject record;
  Status status = VectorInitObject(&record, kVoPath);
  if (status != kOk) return status;
  record.pen = pen;
  record.brush = brush;
  record.h.flags = flags;
  record.h.fillRule = context.fillRule;
  if (matrix != nullptr) {
    TransformPoints(*matrix, context.originY, points, count);
    ScalePen(context, *matrix, record.pen);
  }
  record.count = count;
  record.points = points;
  record.kinds = kinds;
  return AddElementObject(context, elementIndex, kVoPath, &record);
}

Status EmitBuffer(ConversionContext& context, int32_t elementIndex, PointPathBuffer& buffer,
                  const ElementCommon& common) {
  if (buffer.count < 2) return kOk;
  VectorPathObject paint;
  Status status = VectorInitObject(&paint, kVoPath);
  if (status != kOk) return status;
  FillPaint(context, paint.h, &paint.pen, &paint.brush);
  SvgMatrix m{};
  const bool emit = NeedsEmitter(context, common, &m);
  return EmitPointPath(context, elementIndex, buffer.points, buffer.kinds, buffer.count,
                       emit ? &m : nullptr, paint.pen, paint.brush, paint.h.flags);
}

// A circle or ellipse record through the emitter: the kernel's point path,
// transformed, as a type-13 object.
Status EmitCurvedRecord(ConversionContext& context, int32_t elementIndex, const void* record,
                        const SvgMatrix& m, const VectorPen& pen, const VectorBrush& brush,
                        uint32_t flags) {
  VectorPointPath path{};
  Status status = VectorCopyObject(record, &path);
  if (status == kOk && path.count > 0) {
    status = EmitPointPath(context, elementIndex, path.points, path.kinds, path.count, &m, pen,
                           brush, flags);
  }
  (void)VectorFreeObject(&path);
  return status;
}

Status ConvertRect(ConversionContext& context, int32_t index, const RectData& rect) {
  const double x = LengthToPixels(context, rect.x, LengthAxis::kHorizontal);
  const double y = LengthToPixels(context, rect.y, LengthAxis::kVertical);
  const double w = LengthToPixels(context, rect.width, LengthAxis::kHorizontal);
  const double h = LengthToPixels(context, rect.height, LengthAxis::kVertical);
  double rx = LengthToPixels(context, rect.rx, LengthAxis::kOther);
  double ry = LengthToPixels(context, rect.ry, LengthAxis::kOther);
  // A rectangle without area is not drawn.
  if (!(w > 0.0) || !(h > 0.0)) return kOk;
  const double top = context.originY - y;
  const double bottom = top - h;

  if (rx == 0.0 && ry == 0.0) {
    VectorRectObject record;
    Status status = VectorInitObject(&record, kVoRect);
    if (status != kOk) return status;
    FillPaint(context, record.h, &record.pen, &record.brush);
    SvgMatrix m{};
    if (!NeedsEmitter(context, rect.common, &m)) {
      record.corner1 = Point(x, top);
      record.corner2 = Point(x + w, bottom);
      return AddElementObject(context, index, kVoRect, &record);
    }
    KernelPoint corners[4] = {Point(x, top), Point(x + w, top), Point(x + w, bottom),
                              Point(x, bottom)};
    TransformPoints(m, context.originY, corners, 4);
    VectorPolygonObject polygon;
    status = VectorInitObject(&polygon, kVoPolygon);
    if (status != kOk) return status;
    polygon.h.flags = record.h.flags;
    polygon.pen = record.pen;
    polygon.brush = record.brush;
    ScalePen(context, m, polygon.pen);
    polygon.count = 4;
    polygon.points = corners;
    polygon.fillMode = context.fillRule;
    return AddElementObject(context, index, kVoPolygon, &polygon);
  }

  rx = std::clamp(rx, 0.0, w / 2);
  ry = std::clamp(ry, 0.0, h / 2);
  PointPathBuffer buffer{};
  // Four edges and four quarter arcs about the corners' inner points.
  Status status = AppendPathPoint(buffer, x + rx, top, kPtMoveTo);
  if (status == kOk) status = AppendPathPoint(buffer, x + w - rx, top, kPtLineTo);
  if (status == kOk)
    status = AppendArcBeziers(buffer, x + w - rx, top - ry, rx, ry, -90.0, 90.0, 0.0);
  if (status == kOk) status = AppendPathPoint(buffer, x + w, bottom + ry, kPtLineTo);
  if (status == kOk)
    status = AppendArcBeziers(buffer, x + w - rx, bottom + ry, rx, ry, 0.0, 90.0, 0.0);
  if (status == kOk) status = AppendPathPoint(buffer, x + rx, bottom, kPtLineTo);
  if (status == kOk)
    status = AppendArcBeziers(buffer, x + rx, bottom + ry, rx, ry, -270.0, 90.0, 0.0);
  if (status == kOk) status = AppendPathPoint(buffer, x, top - ry, kPtLineTo);
  if (status == kOk)
    status = AppendArcBeziers(buffer, x + rx, top - ry, rx, ry, 180.0, 90.0, 0.0);
  if (status == kOk) {
    buffer.kinds[buffer.count - 1] |= kPtCloseFigure;
    status = EmitBuffer(context, index, buffer, rect.common);
  }
  FreePathBuffer(buffer);
  return status;
}

Status ConvertCircle(ConversionContext& context, int32_t index, const CircleData& circle) {
  const double cx = LengthToPixels(context, circle.cx, LengthAxis::kHorizontal);
  const double cy = LengthToPixels(context, circle.cy, LengthAxis::kVertical);
  const double r = LengthToPixels(context, circle.r, LengthAxis::kOther);
  if (!(r > 0.0)) return kOk;  // no radius, nothing drawn
  VectorCircleObject record;
  Status status = VectorInitObject(&record, kVoCircle);
  if (status != kOk) return status;
  FillPaint(context, record.h, &record.pen, &record.brush);
  record.centre = Point(cx, context.originY - cy);
  record.r = r;
  SvgMatrix m{};
  if (!NeedsEmitter(context, circle.common, &m)) {
    return AddElementObject(context, index, kVoCircle, &record);
  }
  return EmitCurvedRecord(context, index, &record, m, record.pen, record.brush, record.h.flags);
}

Status ConvertEllipse(ConversionContext& context, int32_t index, const EllipseData& ellipse) {
  const double cx = LengthToPixels(context, ellipse.cx, LengthAxis::kHorizontal);
  const double cy = LengthToPixels(context, ellipse.cy, LengthAxis::kVertical);
  const double rx = LengthToPixels(context, ellipse.rx, LengthAxis::kHorizontal);
  const double ry = LengthToPixels(context, ellipse.ry, LengthAxis::kVertical);
  if (!(rx > 0.0) || !(ry > 0.0)) return kOk;
  VectorEllipseObject record;
  Status status = VectorInitObject(&record, kVoEllipse);
  if (status != kOk) return status;
  FillPaint(context, record.h, &record.pen, &record.brush);
  record.centre = Point(cx, context.originY - cy);
  record.rx = rx;
  record.ry = ry;
  SvgMatrix m{};
  if (!NeedsEmitter(context, ellipse.common, &m)) {
    return AddElementObject(context, index, kVoEllipse, &record);
  }
  return EmitCurvedRecord(context, index, &record, m, record.pen, record.brush, record.h.flags);
}

Status ConvertLine(ConversionContext& context, int32_t index, const LineData& line) {
  const double x1 = LengthToPixels(context, line.x1, LengthAxis::kHorizontal);
  const double y1 = LengthToPixels(context, line.y1, LengthAxis::kVertical);
  const double x2 = LengthToPixels(context, line.x2, LengthAxis::kHorizontal);
  const double y2 = LengthToPixels(context, line.y2, LengthAxis::kVertical);
  if (x1 == x2 && y1 == y2) return kOk;
  VectorLineObject record;
  Status status = VectorInitObject(&record, kVoLine);
  if (status != kOk) return status;
  FillPaint(context, record.h, &record.pen, nullptr);
  record.from = Point(x1, context.originY - y1);
  record.to = Point(x2, context.originY - y2);
  SvgMatrix m{};
  if (NeedsEmitter(context, line.common, &m)) {
    TransformPoint(m, context.originY, record.from);
    TransformPoint(m, context.originY, record.to);
    ScalePen(context, m, record.pen);
  }
  return AddElementObject(context, index, kVoLine, &record);
}

Status ConvertPoly(ConversionContext& context, int32_t index, const PolyData& poly,
                   int32_t elementType) {
  const int32_t count = poly.points.count;
  if (count < 1 || poly.points.points == nullptr) return kOk;
  KernelBlock<KernelPoint> points(SVGFLT_ALLOC(KernelPoint, static_cast<std::size_t>(count)));
  if (!points) return kErrNoMemory;
  for (int32_t i = 0; i < count; ++i) {
    points[i] = Point(poly.points.points[i].x, context.originY - poly.points.points[i].y);
  }
  SvgMatrix m{};
  const bool emit = NeedsEmitter(context, poly.common, &m);
  if (emit) TransformPoints(m, context.originY, points.get(), count);

  bool asPolygon = elementType == kElemPolygon;
  if (!asPolygon) {
    // A polyline with a solid fill and an area is filled like a polygon.
    VectorPenValues penValues{};
    VectorBrushValues brushValues{};
    Status status = VectorGetPen(&context.pen, &penValues);
    if (status == kOk) status = VectorGetBrush(&context.brush, &brushValues);
    if (status != kOk) return status;
    asPolygon = brushValues.style == kBrushSolid && count > 2;
  }
  if (asPolygon) {
    VectorPolygonObject record;
    Status status = VectorInitObject(&record, kVoPolygon);
    if (status != kOk) return status;
    FillPaint(context, record.h, &record.pen, &record.brush);
    if (emit) ScalePen(context, m, record.pen);
    record.count = count;
    record.points = points.get();
    record.fillMode = context.fillRule;
    return AddElementObject(context, index, kVoPolygon, &record);
  }
  VectorPolylineObject record;
  Status status = VectorInitObject(&record, kVoPolyline);
  if (status != kOk) return status;
  FillPaint(context, record.h, &record.pen, nullptr);
  if (emit) ScalePen(context, m, record.pen);
  record.count = count;
  record.points = points.get();
  return AddElementObject(context, index, kVoPolyline, &record);
}

// --- path -------------------------------------------------------------------

struct PathCursor {
  double x = 0, y = 0;            // current point, SVG coordinates
  double startX = 0, startY = 0;  // start of the sub-path
  double controlX = 0, controlY = 0;
  int32_t lastType = -1;  // type of the previous segment, for smooth curves
  bool closed = false;    // the sub-path was just closed
};

// Converts the endpoint form of an SVG arc into the kernel's centre form and
// appends its Bezier points (without the start point) to the buffer.
Status AppendPathArc(ConversionContext& context, PointPathBuffer& buffer, const PathCursor& at,
                     const PathArcParams& arc, double endX, double endY) {
  double rx = std::fabs(arc.rx);
  double ry = std::fabs(arc.ry);
  const double phi = arc.rotation * kDegToRad;
  const double cosPhi = std::cos(phi);
  const double sinPhi = std::sin(phi);
  const double dx = (at.x - endX) / 2;
  const double dy = (at.y - endY) / 2;
  const double x1 = cosPhi * dx + sinPhi * dy;
  const double y1 = -sinPhi * dx + cosPhi * dy;
  const double lambda = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
  if (lambda > 1.0) {
    const double root = std::sqrt(lambda);
    rx *= root;
    ry *= root;
  }
  const double numerator = rx * rx * ry * ry - rx * rx * y1 * y1 - ry * ry * x1 * x1;
  const double denominator = rx * rx * y1 * y1 + ry * ry * x1 * x1;
  double factor = denominator > 0.0 ? std::sqrt(std::max(0.0, numerator / denominator)) : 0.0;
  if (arc.largeArc == arc.sweep) factor = -factor;
  const double cxp = factor * rx * y1 / ry;
  const double cyp = -factor * ry * x1 / rx;
  const double cx = cosPhi * cxp - sinPhi * cyp + (at.x + endX) / 2;
  const double cy = sinPhi * cxp + cosPhi * cyp + (at.y + endY) / 2;

  auto angle = [](double ux, double uy, double vx, double vy) {
    const double dot = ux * vx + uy * vy;
    const double len = std::sqrt((ux * ux + uy * uy) * (vx * vx + vy * vy));
    double a = len > 0.0 ? std::acos(std::clamp(dot / len, -1.0, 1.0)) : 0.0;
    if (ux * vy - uy * vx < 0.0) a = -a;
    return a;
  };
  const double ux = (x1 - cxp) / rx;
  const double uy = (y1 - cyp) / ry;
  const double vx = (-x1 - cxp) / rx;
  const double vy = (-y1 - cyp) / ry;
  const double theta1 = angle(1.0, 0.0, ux, uy);
  double delta = angle(ux, uy, vx, vy);
  if (arc.sweep == 0 && delta > 0.0) delta -= 2 * kPi;
  if (arc.sweep != 0 && delta < 0.0) delta += 2 * kPi;

  // The kernel's y axis points up: angles and the turn change sign.
  VectorArcObject record;
  Status status = VectorInitObject(&record, kVoArc);
  if (status != kOk) return status;
  record.centre = Point(cx, context.originY - cy);
  record.rx = rx;
  record.ry = ry;
  record.start = static_cast<float>(-theta1 / kDegToRad);
  record.extent = static_cast<float>(-delta / kDegToRad);
  record.rotation = static_cast<float>(-arc.rotation);
  VectorPointPath path{};
  status = VectorCopyObject(&record, &path);
  // The kernel's path starts with a move to the arc's first point, which is
  // the current point already.
  for (int32_t i = 1; status == kOk && i < path.count; ++i) {
    status = AppendPathPoint(buffer, path.points[i].x, path.points[i].y,
                             static_cast<uint8_t>(path.kinds[i] & ~kPtCloseFigure));
  }
  (void)VectorFreeObject(&path);
  if (status == kOk && buffer.count > 0) {
    // End exactly where the file says, whatever the float angles rounded.
    buffer.points[buffer.count - 1].x = endX;
    buffer.points[buffer.count - 1].y = context.originY - endY;
  }
  return status;
}

Status ConvertPath(ConversionContext& context, int32_t index, const PathData& path) {
  const PathSegmentList& list = path.d;
  if (list.count < 1 || list.segments == nullptr) return kOk;
  const double origin = context.originY;
  PointPathBuffer buffer{};
  PathCursor at;
  Status status = kOk;
  auto add = [&](double x, double y, uint8_t kind) {
    return AppendPathPoint(buffer, x, origin - y, kind);
  };
  for (int32_t i = 0; i < list.count && status == kOk; ++i) {
    const PathSegment& segment = list.segments[i];
    const double baseX = segment.relative != 0 ? at.x : 0.0;
    const double baseY = segment.relative != 0 ? at.y : 0.0;
    // After a close, drawing goes on from the sub-path's start as a new
    // figure.
    if (at.closed && segment.type != kSegmentMove && segment.type != kSegmentClose) {
      status = add(at.x, at.y, kPtMoveTo);
      if (status != kOk) break;
      at.closed = false;
    }
    switch (segment.type) {
      case kSegmentMove: {
        at.x = baseX + segment.params.move.x;
        at.y = baseY + segment.params.move.y;
        status = add(at.x, at.y, kPtMoveTo);
        at.startX = at.controlX = at.x;
        at.startY = at.controlY = at.y;
        at.closed = false;
        break;
      }
      case kSegmentLine: {
        const PathLineParams& p = segment.params.line;
        const double x = p.vertical != 0 ? at.x : baseX + p.x;
        const double y = p.horizontal != 0 ? at.y : baseY + p.y;
        status = add(x, y, kPtLineTo);
        at.x = at.controlX = x;
        at.y = at.controlY = y;
        break;
      }
      case kSegmentCubic: {
        const PathCubicParams& p = segment.params.cubic;
        double c1x = baseX + p.x1;
        double c1y = baseY + p.y1;
        if (p.smooth != 0) {
          // Reflect the previous curve's second control; after anything
          // but a cubic the first control is the current point.
          const bool afterCubic = at.lastType == kSegmentCubic;
          c1x = afterCubic ? 2 * at.x - at.controlX : at.x;
          c1y = afterCubic ? 2 * at.y - at.controlY : at.y;
        }
        const double c2x = baseX + p.x2;
        const double c2y = baseY + p.y2;
        const double ex = baseX + p.x;
        const double ey = baseY + p.y;
        status = add(c1x, c1y, kPtBezierTo);
        if (status == kOk) status = add(c2x, c2y, kPtBezierTo);
        if (status == kOk) status = add(ex, ey, kPtBezierTo);
        at.controlX = c2x;
        at.controlY = c2y;
        at.x = ex;
        at.y = ey;
        break;
      }
      case kSegmentQuadratic: {
        const PathQuadraticParams& p = segment.params.quadratic;
        double qx = baseX + p.x1;
        double qy = baseY + p.y1;
        if (p.smooth != 0) {
          const bool afterQuadratic = at.lastType == kSegmentQuadratic;
          qx = afterQuadratic ? 2 * at.x - at.controlX : at.x;
          qy = afterQuadratic ? 2 * at.y - at.controlY : at.y;
        }
        const double ex = baseX + p.x;
        const double ey = baseY + p.y;
        // Raised to a cubic from the current point.
        status = add(at.x + 2.0 / 3.0 * (qx - at.x), at.y + 2.0 / 3.0 * (qy - at.y), kPtBezierTo);
        if (status == kOk) status = add(qx + (ex - qx) / 3.0, qy + (ey - qy) / 3.0, kPtBezierTo);
        if (status == kOk) status = add(ex, ey, kPtBezierTo);
        at.controlX = qx;
        at.controlY = qy;
        at.x = ex;
        at.y = ey;
        break;
      }
      case kSegmentArc: {
        const PathArcParams& p = segment.params.arc;
        const double ex = baseX + p.x;
        const double ey = baseY + p.y;
        if (ex == at.x && ey == at.y) break;  // same end point: no arc
        if (p.rx == 0.0 || p.ry == 0.0) {
          status = add(ex, ey, kPtLineTo);
        } else {
          if (buffer.count == 0) status = add(at.x, at.y, kPtMoveTo);
          if (status == kOk) status = AppendPathArc(context, buffer, at, p, ex, ey);
        }
        at.x = at.controlX = ex;
        at.y = at.controlY = ey;
        break;
      }
      case kSegmentClose: {
        if (at.closed || buffer.count == 0) break;
        status = add(at.startX, at.startY, kPtLineTo);
        if (status == kOk) buffer.kinds[buffer.count - 1] |= kPtCloseFigure;
        // The current point goes back to the sub-path's start.
        at.x = at.controlX = at.startX;
        at.y = at.controlY = at.startY;
        at.closed = true;
        break;
      }
      default:
        break;
    }
    at.lastType = segment.type;
  }
  if (status == kOk) status = EmitBuffer(context, index, buffer, path.common);
  FreePathBuffer(buffer);
  return status;
}

}  // namespace

Status AppendPathPoint(PointPathBuffer& buffer, double x, double y, uint8_t kind) {
  if (buffer.count == buffer.capacity) {
    if (buffer.capacity > std::numeric_limits<int32_t>::max() / 2 - 16) return kErrNoMemory;
    const int32_t capacity = buffer.capacity == 0 ? 32 : buffer.capacity * 2;
    KernelPoint* points = SVGFLT_GROW(KernelPoint, buffer.points,
                                      static_cast<std::size_t>(buffer.capacity),
                                      static_cast<std::size_t>(capacity));
    if (points == nullptr) return kErrNoMemory;
    buffer.points = points;
    uint8_t* kinds = SVGFLT_GROW(uint8_t, buffer.kinds, static_cast<std::size_t>(buffer.capacity),
                                 static_cast<std::size_t>(capacity));
    if (kinds == nullptr) return kErrNoMemory;  // points grew; capacity stays the smaller
    buffer.kinds = kinds;
    buffer.capacity = capacity;
  }
  buffer.points[buffer.count] = Point(x, y);
  buffer.kinds[buffer.count] = kind;
  ++buffer.count;
  return kOk;
}

void FreePathBuffer(PointPathBuffer& buffer) {
  KernelRelease(buffer.points);
  KernelRelease(buffer.kinds);
  buffer = PointPathBuffer{};
}

Status AppendArcBeziers(PointPathBuffer& buffer, double cx, double cy, double rx, double ry,
                        double start, double sweep, double rotation) {
  while (start < 0.0) start += 360.0;
  while (start > 360.0) start -= 360.0;
  double low = sweep > 0.0 ? start : start + sweep;
  const double range = std::min(std::fabs(sweep), 360.0);
  const int32_t first = buffer.count;
  if (range > 0.0) {
    const int32_t pieces = std::min(4, static_cast<int32_t>(std::ceil(range / 90.0)));
    const double step = range / pieces;
    auto arcPoint = [&](double degrees) {
      const double t = degrees * kDegToRad;
      return Point(cx + rx * std::cos(t), cy - ry * std::sin(t));
    };
    KernelPoint p0 = arcPoint(low);
    for (int32_t i = 0; i < pieces; ++i) {
      const double a0 = low + step * i;
      const KernelPoint p3 = arcPoint(a0 + step);
      const KernelPoint q1 = arcPoint(a0 + step / 4);
      const KernelPoint q2 = arcPoint(a0 + 3 * step / 4);
      // The cubic through Q1 at t = 1/4 and Q2 at t = 3/4.
      const double c2x = (192 * q2.x + 24 * p0.x - 80 * p3.x - 64 * q1.x) / 72;
      const double c2y = (192 * q2.y + 24 * p0.y - 80 * p3.y - 64 * q1.y) / 72;
      const double c1x = (64 * q1.x - 27 * p0.x - 9 * c2x - p3.x) / 27;
      const double c1y = (64 * q1.y - 27 * p0.y - 9 * c2y - p3.y) / 27;
      Status status = AppendPathPoint(buffer, c1x, c1y, kPtBezierTo);
      if (status == kOk) status = AppendPathPoint(buffer, c2x, c2y, kPtBezierTo);
      if (status == kOk) status = AppendPathPoint(buffer, p3.x, p3.y, kPtBezierTo);
      if (status != kOk) return status;
      p0 = p3;
    }
  }
  if (sweep < -1.0) std::reverse(buffer.points + first, buffer.points + buffer.count);
  while (rotation < 0.0) rotation += 360.0;
  while (rotation >= 360.0) rotation -= 360.0;
  const double degrees = std::trunc(rotation);
  if (degrees != 0.0) {
    const double c = std::cos(degrees * kDegToRad);
    const double s = std::sin(degrees * kDegToRad);
    for (int32_t i = first; i < buffer.count; ++i) {
      const double dx = buffer.points[i].x - cx;
      const double dy = buffer.points[i].y - cy;
      buffer.points[i].x = cx + dx * c - dy * s;
      buffer.points[i].y = cy + dx * s + dy * c;
    }
  }
  return kOk;
}

int32_t ScaledPenWidth(double scale, double width) {
  const double product = scale * width;
  if (product > 0.0 && product < 1.0) return 1;
  if (!(product < 2147483647.0)) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(std::trunc(product));
}

Status ConvertShape(ConversionContext& context, SvgDocument& document, int32_t elementIndex) {
  const ElementRecord& record = document.records[elementIndex];
  switch (record.elementType) {
    case kElemPath: return ConvertPath(context, elementIndex, record.data.path);
    case kElemRect: return ConvertRect(context, elementIndex, record.data.rect);
    case kElemCircle: return ConvertCircle(context, elementIndex, record.data.circle);
    case kElemEllipse: return ConvertEllipse(context, elementIndex, record.data.ellipse);
    case kElemLine: return ConvertLine(context, elementIndex, record.data.line);
    case kElemPolyline:
    case kElemPolygon:
      return ConvertPoly(context, elementIndex, record.data.poly, record.elementType);
    default: return kOk;
  }
}

}  // namespace svgflt
