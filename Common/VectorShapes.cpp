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
                  const SvgMatrix* m) {
  if (buffer.count < 2) return kOk;
  VectorPathObject paint;
  Status status = VectorInitObject(&paint, kVoPath);
  if (status != kOk) return status;
  FillPaint(context, paint.h, &paint.pen, &paint.brush);
  return EmitPointPath(context, elementIndex, buffer.points, buffer.kinds, buffer.count, m,
                       paint.pen, paint.brush, paint.h.flags);
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

// The rectangle's geometry in pixels; false when it has no area and is not
// drawn.
struct RectGeometry {
  double x, top, w, h, rx, ry;
};

bool RectGeometryOf(const ConversionContext& context, const RectData& rect, RectGeometry* out) {
  const double x = LengthToPixels(context, rect.x, LengthAxis::kHorizontal);
  const double y = LengthToPixels(context, rect.y, LengthAxis::kVertical);
  const double w = LengthToPixels(context, rect.width, LengthAxis::kHorizontal);
  const double h = LengthToPixels(context, rect.height, LengthAxis::kVertical);
  if (!(w > 0.0) || !(h > 0.0)) return false;
  const double rx = LengthToPixels(context, rect.rx, LengthAxis::kOther);
  const double ry = LengthToPixels(context, rect.ry, LengthAxis::kOther);
  *out = RectGeometry{x, context.originY - y, w, h, std::clamp(rx, 0.0, w / 2),
                      std::clamp(ry, 0.0, h / 2)};
  return true;
}

// The rectangle as a closed figure: four edges and, with rounded corners,
// four quarter arcs about the corners' inner points.
Status AppendRectFigure(PointPathBuffer& buffer, const RectGeometry& r) {
  const double right = r.x + r.w;
  const double bottom = r.top - r.h;
  Status status = kOk;
  if (r.rx == 0.0 && r.ry == 0.0) {
    status = AppendPathPoint(buffer, r.x, r.top, kPtMoveTo);
    if (status == kOk) status = AppendPathPoint(buffer, right, r.top, kPtLineTo);
    if (status == kOk) status = AppendPathPoint(buffer, right, bottom, kPtLineTo);
    if (status == kOk) status = AppendPathPoint(buffer, r.x, bottom, kPtLineTo);
    if (status == kOk) status = AppendPathPoint(buffer, r.x, r.top, kPtLineTo | kPtCloseFigure);
    return status;
  }
  status = AppendPathPoint(buffer, r.x + r.rx, r.top, kPtMoveTo);
  if (status == kOk) status = AppendPathPoint(buffer, right - r.rx, r.top, kPtLineTo);
  if (status == kOk)
    status = AppendArcBeziers(buffer, right - r.rx, r.top - r.ry, r.rx, r.ry, -90.0, 90.0, 0.0);
  if (status == kOk) status = AppendPathPoint(buffer, right, bottom + r.ry, kPtLineTo);
  if (status == kOk)
    status = AppendArcBeziers(buffer, right - r.rx, bottom + r.ry, r.rx, r.ry, 0.0, 90.0, 0.0);
  if (status == kOk) status = AppendPathPoint(buffer, r.x + r.rx, bottom, kPtLineTo);
  if (status == kOk)
    status = AppendArcBeziers(buffer, r.x + r.rx, bottom + r.ry, r.rx, r.ry, -270.0, 90.0, 0.0);
  if (status == kOk) status = AppendPathPoint(buffer, r.x, r.top - r.ry, kPtLineTo);
  if (status == kOk)
    status = AppendArcBeziers(buffer, r.x + r.rx, r.top - r.ry, r.rx, r.ry, 180.0, 90.0, 0.0);
  if (status == kOk) buffer.kinds[buffer.count - 1] |= kPtCloseFigure;
  return status;
}

Status ConvertRect(ConversionContext& context, int32_t index, const RectData& rect,
                   const SvgMatrix* m) {
  RectGeometry r{};
  if (!RectGeometryOf(context, rect, &r)) return kOk;  // no area, nothing drawn
  const double bottom = r.top - r.h;
  if (r.rx == 0.0 && r.ry == 0.0) {
    VectorRectObject record;
    Status status = VectorInitObject(&record, kVoRect);
    if (status != kOk) return status;
    FillPaint(context, record.h, &record.pen, &record.brush);
    if (m == nullptr) {
      record.corner1 = Point(r.x, r.top);
      record.corner2 = Point(r.x + r.w, bottom);
      return AddElementObject(context, index, kVoRect, &record);
    }
    KernelPoint corners[4] = {Point(r.x, r.top), Point(r.x + r.w, r.top),
                              Point(r.x + r.w, bottom), Point(r.x, bottom)};
    TransformPoints(*m, context.originY, corners, 4);
    VectorPolygonObject polygon;
    status = VectorInitObject(&polygon, kVoPolygon);
    if (status != kOk) return status;
    polygon.h.flags = record.h.flags;
    polygon.pen = record.pen;
    polygon.brush = record.brush;
    ScalePen(context, *m, polygon.pen);
    polygon.count = 4;
    polygon.points = corners;
    polygon.fillMode = context.fillRule;
    return AddElementObject(context, index, kVoPolygon, &polygon);
  }
  PointPathBuffer buffer{};
  Status status = AppendRectFigure(buffer, r);
  if (status == kOk) status = EmitBuffer(context, index, buffer, m);
  FreePathBuffer(buffer);
  return status;
}

// Circle and ellipse geometry in pixels: centre placed, y up; false when a
// radius is not positive and nothing is drawn.
bool CircleRecordOf(const ConversionContext& context, const CircleData& circle,
                    VectorCircleObject* record) {
  const double cx = LengthToPixels(context, circle.cx, LengthAxis::kHorizontal);
  const double cy = LengthToPixels(context, circle.cy, LengthAxis::kVertical);
  const double r = LengthToPixels(context, circle.r, LengthAxis::kOther);
  if (!(r > 0.0)) return false;
  record->centre = Point(cx, context.originY - cy);
  record->r = r;
  return true;
}

bool EllipseRecordOf(const ConversionContext& context, const EllipseData& ellipse,
                     VectorEllipseObject* record) {
  const double cx = LengthToPixels(context, ellipse.cx, LengthAxis::kHorizontal);
  const double cy = LengthToPixels(context, ellipse.cy, LengthAxis::kVertical);
  const double rx = LengthToPixels(context, ellipse.rx, LengthAxis::kHorizontal);
  const double ry = LengthToPixels(context, ellipse.ry, LengthAxis::kVertical);
  if (!(rx > 0.0) || !(ry > 0.0)) return false;
  record->centre = Point(cx, context.originY - cy);
  record->rx = rx;
  record->ry = ry;
  return true;
}

template <typename Record>
Status AddCurvedRecord(ConversionContext& context, int32_t index, Record& record,
                       int32_t type, const SvgMatrix* m) {
  FillPaint(context, record.h, &record.pen, &record.brush);
  if (m == nullptr) return AddElementObject(context, index, type, &record);
  return EmitCurvedRecord(context, index, &record, *m, record.pen, record.brush, record.h.flags);
}

Status ConvertCircle(ConversionContext& context, int32_t index, const CircleData& circle,
                     const SvgMatrix* m) {
  VectorCircleObject record;
  Status status = VectorInitObject(&record, kVoCircle);
  if (status != kOk || !CircleRecordOf(context, circle, &record)) return status;
  return AddCurvedRecord(context, index, record, kVoCircle, m);
}

Status ConvertEllipse(ConversionContext& context, int32_t index, const EllipseData& ellipse,
                      const SvgMatrix* m) {
  VectorEllipseObject record;
  Status status = VectorInitObject(&record, kVoEllipse);
  if (status != kOk || !EllipseRecordOf(context, ellipse, &record)) return status;
  return AddCurvedRecord(context, index, record, kVoEllipse, m);
}

Status ConvertLine(ConversionContext& context, int32_t index, const LineData& line,
                   const SvgMatrix* m) {
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
  if (m != nullptr) {
    TransformPoint(*m, context.originY, record.from);
    TransformPoint(*m, context.originY, record.to);
    ScalePen(context, *m, record.pen);
  }
  return AddElementObject(context, index, kVoLine, &record);
}

Status ConvertPoly(ConversionContext& context, int32_t index, const PolyData& poly,
                   int32_t elementType, const SvgMatrix* m) {
  const int32_t count = poly.points.count;
  if (count < 1 || poly.points.points == nullptr) return kOk;
  KernelBlock<KernelPoint> points(SVGFLT_ALLOC(KernelPoint, static_cast<std::size_t>(count)));
  if (!points) return kErrNoMemory;
  for (int32_t i = 0; i < count; ++i) {
    points[i] = Point(poly.points.points[i].x, context.originY - poly.points.points[i].y);
  }
  if (m != nullptr) TransformPoints(*m, context.originY, points.get(), count);

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
    if (m != nullptr) ScalePen(context, *m, record.pen);
    record.count = count;
    record.points = points.get();
    record.fillMode = context.fillRule;
    return AddElementObject(context, index, kVoPolygon, &record);
  }
  VectorPolylineObject record;
  Status status = VectorInitObject(&record, kVoPolyline);
  if (status != kOk) return status;
  FillPaint(context, record.h, &record.pen, nullptr);
  if (m != nullptr) ScalePen(context, *m, record.pen);
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

// Appends the path data's figures, placed with y up, to the buffer.
Status AppendPathFigures(ConversionContext& context, const PathData& path,
                         PointPathBuffer& buffer) {
  const PathSegmentList& list = path.d;
  if (list.count < 1 || list.segments == nullptr) return kOk;
  const double origin = context.originY;
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
  return status;
}

Status ConvertPath(ConversionContext& context, int32_t index, const PathData& path,
                   const SvgMatrix* m) {
  PointPathBuffer buffer{};
  Status status = AppendPathFigures(context, path, buffer);
  if (status == kOk) status = EmitBuffer(context, index, buffer, m);
  FreePathBuffer(buffer);
  return status;
}

// Grows [lo, hi] by the extremes of the cubic from p0 over c1, c2 to p3
// on one axis: the ends and the roots of its derivative inside (0, 1).
void AddCubicRange(double p0, double c1, double c2, double p3, double& lo, double& hi) {
  const auto add = [&lo, &hi](double v) {
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  };
  add(p0);
  add(p3);
  // B'(t)/3 = a t^2 + b t + c
  const double a = -p0 + 3 * c1 - 3 * c2 + p3;
  const double b = 2 * (p0 - 2 * c1 + c2);
  const double c = c1 - p0;
  const auto at = [&](double t) {
    const double u = 1 - t;
    return u * u * u * p0 + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * p3;
  };
  double roots[2];
  int32_t count = 0;
  if (std::fabs(a) < 1e-12) {
    if (std::fabs(b) > 1e-12) roots[count++] = -c / b;
  } else {
    const double disc = b * b - 4 * a * c;
    if (disc >= 0) {
      const double root = std::sqrt(disc);
      roots[count++] = (-b + root) / (2 * a);
      roots[count++] = (-b - root) / (2 * a);
    }
  }
  for (int32_t i = 0; i < count; ++i) {
    if (roots[i] > 0 && roots[i] < 1) add(at(roots[i]));
  }
}

// The bounds of a placed point path, Bezier pieces by their curves rather
// than their control points. False for an empty path.
bool PointPathBounds(const PointPathBuffer& buffer, double* left, double* right, double* low,
                     double* high) {
  if (buffer.count < 1) return false;
  double x0 = buffer.points[0].x, x1 = x0, y0 = buffer.points[0].y, y1 = y0;
  for (int32_t i = 1; i < buffer.count; ++i) {
    const KernelPoint& p = buffer.points[i];
    const bool cubic = (buffer.kinds[i] & ~kPtCloseFigure) == kPtBezierTo && i + 2 < buffer.count;
    if (cubic) {
      const KernelPoint& from = buffer.points[i - 1];
      const KernelPoint& c2 = buffer.points[i + 1];
      const KernelPoint& to = buffer.points[i + 2];
      AddCubicRange(from.x, p.x, c2.x, to.x, x0, x1);
      AddCubicRange(from.y, p.y, c2.y, to.y, y0, y1);
      i += 2;
      continue;
    }
    x0 = std::min(x0, p.x);
    x1 = std::max(x1, p.x);
    y0 = std::min(y0, p.y);
    y1 = std::max(y1, p.y);
  }
  *left = x0;
  *right = x1;
  *low = y0;
  *high = y1;
  return true;
}

// The shape's figures, placed with y up and not transformed, appended to
// the buffer; circles and ellipses as the kernel's Bezier outline.
Status AppendShapeFigures(ConversionContext& context, const ElementRecord& record,
                          PointPathBuffer& buffer) {
  const auto appendCurved = [&buffer](const void* curved) {
    VectorPointPath path{};
    Status status = VectorCopyObject(curved, &path);
    for (int32_t i = 0; status == kOk && i < path.count; ++i) {
      status = AppendPathPoint(buffer, path.points[i].x, path.points[i].y, path.kinds[i]);
    }
    (void)VectorFreeObject(&path);
    return status;
  };
  switch (record.elementType) {
    case kElemPath: return AppendPathFigures(context, record.data.path, buffer);
    case kElemRect: {
      RectGeometry r{};
      return RectGeometryOf(context, record.data.rect, &r) ? AppendRectFigure(buffer, r) : kOk;
    }
    case kElemCircle: {
      VectorCircleObject curved;
      Status status = VectorInitObject(&curved, kVoCircle);
      if (status != kOk || !CircleRecordOf(context, record.data.circle, &curved)) return status;
      return appendCurved(&curved);
    }
    case kElemEllipse: {
      VectorEllipseObject curved;
      Status status = VectorInitObject(&curved, kVoEllipse);
      if (status != kOk || !EllipseRecordOf(context, record.data.ellipse, &curved)) return status;
      return appendCurved(&curved);
    }
    case kElemLine: {
      const LineData& line = record.data.line;
      const double origin = context.originY;
      Status status = AppendPathPoint(
          buffer, LengthToPixels(context, line.x1, LengthAxis::kHorizontal),
          origin - LengthToPixels(context, line.y1, LengthAxis::kVertical), kPtMoveTo);
      if (status != kOk) return status;
      return AppendPathPoint(buffer, LengthToPixels(context, line.x2, LengthAxis::kHorizontal),
                             origin - LengthToPixels(context, line.y2, LengthAxis::kVertical),
                             kPtLineTo);
    }
    case kElemPolyline:
    case kElemPolygon: {
      const PointList& points = record.data.poly.points;
      Status status = kOk;
      for (int32_t i = 0; status == kOk && points.points != nullptr && i < points.count; ++i) {
        status = AppendPathPoint(buffer, points.points[i].x, context.originY - points.points[i].y,
                                 i == 0 ? kPtMoveTo : kPtLineTo);
      }
      if (status == kOk && buffer.count > 0) buffer.kinds[buffer.count - 1] |= kPtCloseFigure;
      return status;
    }
    default: return kOk;
  }
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
  SvgMatrix matrix{};
  const bool baked = BakedMatrix(context, CommonOf(record).transform, &matrix);
  const SvgMatrix* m = baked ? &matrix : nullptr;
  context.lastObject = 0;
  Status status = kOk;
  switch (record.elementType) {
    case kElemPath: status = ConvertPath(context, elementIndex, record.data.path, m); break;
    case kElemRect: status = ConvertRect(context, elementIndex, record.data.rect, m); break;
    case kElemCircle: status = ConvertCircle(context, elementIndex, record.data.circle, m); break;
    case kElemEllipse:
      status = ConvertEllipse(context, elementIndex, record.data.ellipse, m);
      break;
    case kElemLine: status = ConvertLine(context, elementIndex, record.data.line, m); break;
    case kElemPolyline:
    case kElemPolygon:
      status = ConvertPoly(context, elementIndex, record.data.poly, record.elementType, m);
      break;
    default: return kOk;
  }
  if (status == kOk && !baked && context.lastObject != 0) {
    status = ApplyElementTransform(context, CommonOf(record).transform, context.lastObject);
  }
  return status;
}

Status AppendShapeOutline(ConversionContext& context, const ElementRecord& record,
                          const SvgMatrix& matrix, PointPathBuffer& outline) {
  const int32_t first = outline.count;
  const Status status = AppendShapeFigures(context, record, outline);
  if (status == kOk) TransformPoints(matrix, context.originY, outline.points + first,
                                     outline.count - first);
  return status;
}

Status ShapeBounds(ConversionContext& context, const ElementRecord& record, BoundingBox* box,
                   bool* found) {
  *found = false;
  PointPathBuffer buffer{};
  Status status = AppendShapeFigures(context, record, buffer);
  double left = 0, right = 0, low = 0, high = 0;
  if (status == kOk && PointPathBounds(buffer, &left, &right, &low, &high)) {
    // Back to SVG's y down.
    *box = BoundingBox{left, context.originY - high, right - left, high - low};
    *found = true;
  }
  FreePathBuffer(buffer);
  return status;
}

}  // namespace svgflt
