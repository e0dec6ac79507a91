// The vector kernel's geometry: curves and text turned into point paths,
// and the rotate, scale and move operations on stored objects.
#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

#include "VkDocument.h"
#include "VkStore.h"
#include "VkText.h"

namespace vk {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// Appends points with their GDI kinds.
class PathSink {
 public:
  PathSink(std::vector<KernelPoint>& points, std::vector<uint8_t>& kinds)
      : points_(points), kinds_(kinds) {}

  void Add(double x, double y, uint8_t kind) {
    KernelPoint p{};
    p.x = x;
    p.y = y;
    points_.push_back(p);
    kinds_.push_back(kind);
  }
  void Add(const KernelPoint& p, uint8_t kind) { Add(p.x, p.y, kind); }
  void CloseFigure() {
    if (!kinds_.empty()) kinds_.back() |= kPtCloseFigure;
  }
  size_t Size() const { return points_.size(); }

 private:
  std::vector<KernelPoint>& points_;
  std::vector<uint8_t>& kinds_;
};

// Ellipse (rx, ry) about (cx, cy), turned counter-clockwise by `rotation`
// degrees; angles counter-clockwise in degrees, y up.
struct Ellipse {
  double cx, cy, rx, ry, cosR, sinR;

  Ellipse(double centreX, double centreY, double radiusX, double radiusY, double rotation)
      : cx(centreX), cy(centreY), rx(radiusX), ry(radiusY),
        cosR(std::cos(rotation * kDegree)), sinR(std::sin(rotation * kDegree)) {}

  // Point of the ellipse's own frame (u, v) placed in the plane.
  void Place(double u, double v, double* x, double* y) const {
    *x = cx + u * cosR - v * sinR;
    *y = cy + u * sinR + v * cosR;
  }
};

// Appends the arc from `start` over `extent` degrees as cubic pieces of at
// most 90 degrees each, after a move to its first point when `withMove`.
// Each piece uses the tangent length 4/3 tan(d/4), exact at both ends and
// within 0.03 % of the ellipse between them.
void AppendArc(PathSink& sink, const Ellipse& e, double start, double extent, bool withMove,
               uint8_t firstKind = kPtMoveTo) {
  extent = std::clamp(extent, -360.0, 360.0);
  const double a0 = start * kDegree;
  double x = 0, y = 0;
  e.Place(e.rx * std::cos(a0), e.ry * std::sin(a0), &x, &y);
  if (withMove) sink.Add(x, y, firstKind);
  if (extent == 0.0) return;
  const int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(extent) / 90.0 - 1e-9)));
  const double step = extent * kDegree / pieces;
  const double k = 4.0 / 3.0 * std::tan(step / 4.0);
  double a = a0;
  for (int i = 0; i < pieces; ++i) {
    const double b = (i + 1 == pieces) ? a0 + extent * kDegree : a + step;
    const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
    double px = 0, py = 0;
    e.Place(e.rx * (ca - k * sa), e.ry * (sa + k * ca), &px, &py);
    sink.Add(px, py, kPtBezierTo);
    e.Place(e.rx * (cb + k * sb), e.ry * (sb - k * cb), &px, &py);
    sink.Add(px, py, kPtBezierTo);
    e.Place(e.rx * cb, e.ry * sb, &px, &py);
    sink.Add(px, py, kPtBezierTo);
    a = b;
  }
}

// A closed ellipse: a move to angle 0 and four quarter arcs.
void AppendEllipse(PathSink& sink, const Ellipse& e) {
  AppendArc(sink, e, 0.0, 360.0, true);
  sink.CloseFigure();
}

// A move to the first point, then cubic pieces of three points each; a
// remainder of one or two points is drawn as straight lines.
void AppendPolyBezier(PathSink& sink, const std::vector<KernelPoint>& pts, bool closed) {
  if (pts.empty()) return;
  sink.Add(pts[0], kPtMoveTo);
  size_t i = 1;
  for (; i + 3 <= pts.size(); i += 3) {
    sink.Add(pts[i], kPtBezierTo);
    sink.Add(pts[i + 1], kPtBezierTo);
    sink.Add(pts[i + 2], kPtBezierTo);
  }
  for (; i < pts.size(); ++i) sink.Add(pts[i], kPtLineTo);
  if (closed) sink.CloseFigure();
}

// Uniform Catmull-Rom spline through the points, one cubic per span; the
// open form repeats its end points as their own neighbours.
void AppendSpline(PathSink& sink, const std::vector<KernelPoint>& pts, bool closed) {
  const size_t n = pts.size();
  if (n == 0) return;
  sink.Add(pts[0], kPtMoveTo);
  if (n == 1) return;
  const size_t spans = closed ? n : n - 1;
  auto at = [&](std::ptrdiff_t i) -> const KernelPoint& {
    const auto count = static_cast<std::ptrdiff_t>(n);
    if (closed) return pts[static_cast<size_t>(((i % count) + count) % count)];
    return pts[static_cast<size_t>(std::clamp<std::ptrdiff_t>(i, 0, count - 1))];
  };
  for (size_t s = 0; s < spans; ++s) {
    const auto i = static_cast<std::ptrdiff_t>(s);
    const KernelPoint& p0 = at(i - 1);
    const KernelPoint& p1 = at(i);
    const KernelPoint& p2 = at(i + 1);
    const KernelPoint& p3 = at(i + 2);
    sink.Add(p1.x + (p2.x - p0.x) / 6.0, p1.y + (p2.y - p0.y) / 6.0, kPtBezierTo);
    sink.Add(p2.x - (p3.x - p1.x) / 6.0, p2.y - (p3.y - p1.y) / 6.0, kPtBezierTo);
    sink.Add(p2, kPtBezierTo);
  }
  if (closed) sink.CloseFigure();
}

void AppendPolyline(PathSink& sink, const std::vector<KernelPoint>& pts, bool closed) {
  for (size_t i = 0; i < pts.size(); ++i) sink.Add(pts[i], i == 0 ? kPtMoveTo : kPtLineTo);
  if (closed && pts.size() > 1) sink.CloseFigure();
}

// Corners of a raster's box turned by its rotation about the box centre.
void RasterCorners(const Object& o, KernelPoint out[4]) {
  const double x1 = o.points[0].x, y1 = o.points[0].y;
  const double x2 = o.points[1].x, y2 = o.points[1].y;
  const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
  const double c = std::cos(o.rotation * kDegree), s = std::sin(o.rotation * kDegree);
  const double xs[4] = {x1, x2, x2, x1};
  const double ys[4] = {y1, y1, y2, y2};
  for (int i = 0; i < 4; ++i) {
    out[i] = KernelPoint{};
    out[i].x = cx + (xs[i] - cx) * c - (ys[i] - cy) * s;
    out[i].y = cy + (xs[i] - cx) * s + (ys[i] - cy) * c;
  }
}

int32_t AppendOutline(const Object& o, PathSink& sink) {
  const std::vector<KernelPoint>& pts = o.points;
  switch (o.type) {
    case kVoPoint:
      if (!pts.empty()) sink.Add(pts[0], kPtMoveTo);
      return kVkOk;
    case kVoLine:
    case kVoPolyline:
      AppendPolyline(sink, pts, false);
      return kVkOk;
    case kVoPolygon:
      AppendPolyline(sink, pts, true);
      return kVkOk;
    case kVoRect: {
      if (pts.size() < 2) return kVkErrArgument;
      const double x1 = pts[0].x, y1 = pts[0].y, x2 = pts[1].x, y2 = pts[1].y;
      // Five points, the last one back at the start and closing the figure.
      sink.Add(x1, y1, kPtMoveTo);
      sink.Add(x2, y1, kPtLineTo);
      sink.Add(x2, y2, kPtLineTo);
      sink.Add(x1, y2, kPtLineTo);
      sink.Add(x1, y1, kPtLineTo | kPtCloseFigure);
      return kVkOk;
    }
    case kVoBezier:
    case kVoPolyBezier:
      AppendPolyBezier(sink, pts, false);
      return kVkOk;
    case kVoClosedBezier:
      AppendPolyBezier(sink, pts, true);
      return kVkOk;
    case kVoSpline:
      AppendSpline(sink, pts, false);
      return kVkOk;
    case kVoClosedSpline:
      AppendSpline(sink, pts, true);
      return kVkOk;
    case kVoEllipse:
    case kVoCircle:
      if (pts.empty()) return kVkErrArgument;
      AppendEllipse(sink, Ellipse(pts[0].x, pts[0].y, o.rx, o.type == kVoCircle ? o.rx : o.ry,
                                  o.type == kVoCircle ? 0.0 : o.rotation));
      return kVkOk;
    case kVoArc:
      if (pts.empty()) return kVkErrArgument;
      AppendArc(sink, Ellipse(pts[0].x, pts[0].y, o.rx, o.ry, o.rotation), o.start, o.extent,
                true);
      return kVkOk;
    case kVoPie: {
      if (pts.empty()) return kVkErrArgument;
      const Ellipse e(pts[0].x, pts[0].y, o.rx, o.ry, o.rotation);
      if (std::fabs(o.extent) >= 360.0) {
        // A full turn is the whole ellipse, without a radius drawn in it.
        AppendArc(sink, e, o.start, o.extent, true);
      } else {
        sink.Add(pts[0], kPtMoveTo);
        AppendArc(sink, e, o.start, o.extent, true, kPtLineTo);
      }
      sink.CloseFigure();
      return kVkOk;
    }
    case kVoPath:
    case kVoClip:
      for (size_t i = 0; i < pts.size(); ++i) {
        sink.Add(pts[i], i < o.kinds.size() ? o.kinds[i] : static_cast<uint8_t>(kPtLineTo));
      }
      return kVkOk;
    case kVoRaster: {
      if (pts.size() < 2) return kVkErrArgument;
      KernelPoint corners[4];
      RasterCorners(o, corners);
      for (int i = 0; i < 4; ++i) sink.Add(corners[i], i == 0 ? kPtMoveTo : kPtLineTo);
      sink.CloseFigure();
      return kVkOk;
    }
    default:
      return kVkErrUnsupported;
  }
}

// Copies `count` points of a record, refusing a negative count or a
// missing array.
bool CopyPoints(int32_t count, const KernelPoint* points, std::vector<KernelPoint>& out) {
  if (count < 0 || (count > 0 && !points)) return false;
  out.assign(points, points + count);
  return true;
}

// The geometry of an object record in the stored form (what the outline
// needs; pens and brushes are copied where the record has them).
int32_t ObjectFromRecord(const void* record, Object& o) {
  const auto* h = static_cast<const VectorObjectHeader*>(record);
  o.type = h->type;
  o.flags = h->flags;
  o.fillRule = h->fillRule;
  const auto* d = static_cast<const VectorObjectDesc*>(record);
  switch (h->type) {
    case kVoPoint:
      o.points = {d->point.point};
      return kVkOk;
    case kVoLine:
      o.points = {d->line.from, d->line.to};
      return kVkOk;
    case kVoRect:
      o.points = {d->rect.corner1, d->rect.corner2};
      return kVkOk;
    case kVoPolyline:
    case kVoBezier:
    case kVoPolyBezier:
    case kVoSpline:
      return CopyPoints(d->polyline.count, d->polyline.points, o.points) ? kVkOk
                                                                          : kVkErrArgument;
    case kVoPolygon:
    case kVoClosedBezier:
    case kVoClosedSpline:
      o.polyFillMode = d->polygon.fillMode;
      return CopyPoints(d->polygon.count, d->polygon.points, o.points) ? kVkOk
                                                                        : kVkErrArgument;
    case kVoEllipse:
      o.points = {d->ellipse.centre};
      o.rx = d->ellipse.rx;
      o.ry = d->ellipse.ry;
      return kVkOk;
    case kVoCircle:
      o.points = {d->circle.centre};
      o.rx = o.ry = d->circle.r;
      return kVkOk;
    case kVoArc:
      o.points = {d->arc.centre};
      o.rx = d->arc.rx;
      o.ry = d->arc.ry;
      o.start = d->arc.start;
      o.extent = d->arc.extent;
      o.rotation = d->arc.rotation;
      return kVkOk;
    case kVoPie:
      o.points = {d->pie.centre};
      o.rx = d->pie.rx;
      o.ry = d->pie.ry;
      o.start = d->pie.start;
      o.extent = d->pie.extent;
      o.rotation = d->pie.rotation;
      return kVkOk;
    case kVoPath:
      if (!CopyPoints(d->path.count, d->path.points, o.points)) return kVkErrArgument;
      if (d->path.count > 0 && !d->path.kinds) return kVkErrArgument;
      o.kinds.assign(d->path.kinds, d->path.kinds + d->path.count);
      return kVkOk;
    case kVoClip:
      if (!CopyPoints(d->clip.count, d->clip.points, o.points)) return kVkErrArgument;
      if (d->clip.count > 0 && !d->clip.kinds) return kVkErrArgument;
      o.kinds.assign(d->clip.kinds, d->clip.kinds + d->clip.count);
      return kVkOk;
    case kVoText: {
      const VectorTextObject& t = d->text;
      o.points = {t.position};
      if (t.text) o.text = t.text;
      o.fontSize = t.fontSize;
      o.alignment = t.alignment;
      o.escapement = t.escapement;
      o.font = t.font;
      o.pen = t.pen;
      o.brush = t.brush;
      o.hasPen = o.hasBrush = true;
      return kVkOk;
    }
    case kVoRaster:
      o.points = {d->raster.corner1, d->raster.corner2};
      return kVkOk;
    default:
      return kVkErrUnsupported;
  }
}

// Hands a built path to the caller in arrays that VectorFreeObject releases.
int32_t FillPointPath(const std::vector<KernelPoint>& points, const std::vector<uint8_t>& kinds,
                      VectorPointPath* path) {
  *path = VectorPointPath{};
  if (points.empty()) return kVkOk;
  auto* p = new (std::nothrow) KernelPoint[points.size()];
  auto* k = new (std::nothrow) uint8_t[points.size()];
  if (!p || !k) {
    delete[] p;
    delete[] k;
    return kVkErrNoMemory;
  }
  std::copy(points.begin(), points.end(), p);
  std::copy(kinds.begin(), kinds.end(), k);
  path->count = static_cast<int32_t>(points.size());
  path->points = p;
  path->kinds = k;
  return kVkOk;
}

int32_t CopyOutline(const Object& o, VectorPointPath* path) {
  try {
    std::vector<KernelPoint> points;
    std::vector<uint8_t> kinds;
    const int32_t status = ObjectOutline(o, points, kinds);
    if (status != kVkOk) return status;
    return FillPointPath(points, kinds, path);
  } catch (const std::bad_alloc&) {
    return kVkErrNoMemory;
  }
}

// Angle in degrees brought into [0, 360).
double NormalisedDegrees(double a) {
  a = std::fmod(a, 360.0);
  if (a < 0) a += 360.0;
  return a;
}

// Number of quarter turns when `a` is a whole multiple of 90 degrees, else -1.
int QuarterTurns(double a) {
  const double q = NormalisedDegrees(a) / 90.0;
  const double r = std::round(q);
  if (std::fabs(q - r) > 1e-9) return -1;
  return static_cast<int>(r) % 4;
}

// Cosine and sine of a rotation, exact for quarter turns so that
// axis-aligned shapes stay axis-aligned.
void RotationOf(double degrees, double* c, double* s) {
  static constexpr double kCos[4] = {1, 0, -1, 0};
  static constexpr double kSin[4] = {0, 1, 0, -1};
  const int q = QuarterTurns(degrees);
  if (q >= 0) {
    *c = kCos[q];
    *s = kSin[q];
  } else {
    *c = std::cos(degrees * kDegree);
    *s = std::sin(degrees * kDegree);
  }
}

void RotatePoints(std::vector<KernelPoint>& pts, double cx, double cy, double c, double s) {
  for (KernelPoint& p : pts) {
    const double dx = p.x - cx, dy = p.y - cy;
    p.x = cx + dx * c - dy * s;
    p.y = cy + dx * s + dy * c;
  }
}

// Replaces a curved object by its point path (type 13), keeping its paint.
// Used where the kernel has no field for the result, such as an ellipse
// turned by an odd angle: the outline paints and saves exactly.
int32_t BecomePath(Object& o) {
  std::vector<KernelPoint> points;
  std::vector<uint8_t> kinds;
  const int32_t status = ObjectOutline(o, points, kinds);
  if (status != kVkOk) return status;
  o.points = std::move(points);
  o.kinds = std::move(kinds);
  o.type = kVoPath;
  o.fillRule = kFillWinding;
  o.rotation = o.start = o.extent = 0;
  return kVkOk;
}

int32_t RotateObject(Object& o, double degrees) {
  KernelPoint lower{}, upper{};
  if (!ObjectBounds(o, &lower, &upper)) return kVkOk;  // nothing to turn
  const double cx = (lower.x + upper.x) / 2, cy = (lower.y + upper.y) / 2;
  double c = 0, s = 0;
  RotationOf(degrees, &c, &s);
  const int quarters = QuarterTurns(degrees);
  switch (o.type) {
    case kVoRect:
      if (quarters < 0 && o.points.size() >= 2) {
        // A turned rectangle is no longer two corners: keep its four.
        const KernelPoint a = o.points[0], b = o.points[1];
        o.points.assign(4, KernelPoint{});
        o.points[0].x = a.x, o.points[0].y = a.y;
        o.points[1].x = b.x, o.points[1].y = a.y;
        o.points[2].x = b.x, o.points[2].y = b.y;
        o.points[3].x = a.x, o.points[3].y = b.y;
        o.type = kVoPolygon;
        o.polyFillMode = kFillWinding;
      }
      RotatePoints(o.points, cx, cy, c, s);
      return kVkOk;
    case kVoEllipse:
      if (quarters < 0 || o.rotation != 0.0) {
        // An ellipse record has no rotation field that a reader would see.
        const int32_t status = BecomePath(o);
        if (status != kVkOk) return status;
      } else if (quarters % 2 == 1) {
        std::swap(o.rx, o.ry);
      }
      RotatePoints(o.points, cx, cy, c, s);
      return kVkOk;
    case kVoArc:
    case kVoPie:
      RotatePoints(o.points, cx, cy, c, s);
      o.rotation = NormalisedDegrees(o.rotation + degrees);
      return kVkOk;
    case kVoText: {
      RotatePoints(o.points, cx, cy, c, s);
      const long tenths = std::lround(degrees * 10.0);
      o.escapement = static_cast<int32_t>((o.escapement + tenths) % 3600);
      return kVkOk;
    }
    case kVoRaster:
      // The box stays; the bitmap is painted turned about its centre.
      o.rotation = NormalisedDegrees(o.rotation + degrees);
      return kVkOk;
    case kVoGroupObject:
      return kVkOk;
    default:
      RotatePoints(o.points, cx, cy, c, s);
      return kVkOk;
  }
}

void ScalePoints(std::vector<KernelPoint>& pts, double cx, double cy, double sx, double sy) {
  for (KernelPoint& p : pts) {
    p.x = cx + (p.x - cx) * sx;
    p.y = cy + (p.y - cy) * sy;
  }
}

// Scales an ellipse-based object (7, 10, 12) whose frame may be turned and
// mirrored; false when the result is no longer such an ellipse.
bool ScaleEllipseFrame(Object& o, double sx, double sy) {
  const double ax = std::fabs(sx), ay = std::fabs(sy);
  const int quarters = QuarterTurns(o.rotation);
  if (quarters == 0 || quarters == 2) {
    o.rx *= ax;
    o.ry *= ay;
  } else if (quarters == 1 || quarters == 3) {
    o.rx *= ay;
    o.ry *= ax;
  } else if (ax == ay) {
    o.rx *= ax;
    o.ry *= ax;
  } else {
    return false;
  }
  // A mirror maps the angle t to 180 - t (in x) or -t (in y), turns the
  // frame the other way and reverses the direction of travel.
  if (sx < 0) {
    o.start = 180.0 - o.start;
    o.extent = -o.extent;
    o.rotation = NormalisedDegrees(-o.rotation);
  }
  if (sy < 0) {
    o.start = -o.start;
    o.extent = -o.extent;
    o.rotation = NormalisedDegrees(-o.rotation);
  }
  o.start = NormalisedDegrees(o.start);
  return true;
}

int32_t ScaleObject(Object& o, double sx, double sy, const KernelPoint* centre) {
  double cx = 0, cy = 0;
  if (centre) {
    cx = centre->x;
    cy = centre->y;
  } else {
    KernelPoint lower{}, upper{};
    if (!ObjectBounds(o, &lower, &upper)) return kVkOk;
    cx = (lower.x + upper.x) / 2;
    cy = (lower.y + upper.y) / 2;
  }
  switch (o.type) {
    case kVoCircle:
      if (std::fabs(sx) != std::fabs(sy)) {
        o.type = kVoEllipse;
        o.ry = o.rx;
        o.rx *= std::fabs(sx);
        o.ry *= std::fabs(sy);
      } else {
        o.rx *= std::fabs(sx);
        o.ry = o.rx;
      }
      break;
    case kVoEllipse:
    case kVoArc:
    case kVoPie:
      if (!ScaleEllipseFrame(o, sx, sy)) {
        const int32_t status = BecomePath(o);
        if (status != kVkOk) return status;
      }
      break;
    case kVoText:
      // Font sizes are heights: they follow the vertical factor.
      o.fontSize *= std::fabs(sy);
      o.font.height = static_cast<int32_t>(std::lround(o.font.height * std::fabs(sy)));
      break;
    case kVoGroupObject:
      return kVkOk;
    default:
      break;
  }
  ScalePoints(o.points, cx, cy, sx, sy);
  return kVkOk;
}

// The document's bounds after `o` changed from the box (lo, hi). When that
// box lay strictly inside the bounds, no other object can have set them
// there, so the bounds only grow by the new box; otherwise all objects are
// measured again.
void RefreshBounds(VectorDocument* document, Document& doc, bool hadBox, const KernelPoint& lo,
                   const KernelPoint& hi, const Object& o) {
  const KernelPoint& dl = document->lowerBound;
  const KernelPoint& du = document->upperBound;
  // With clips in the document the object's clip context is not known here.
  const bool inside = hadBox && doc.hasBounds && doc.clipObjects == 0 && lo.x > dl.x &&
                      lo.y > dl.y && hi.x < du.x && hi.y < du.y;
  if (inside) {
    AddObjectBounds(document, doc, o);
  } else {
    UpdateBounds(document);
  }
}

// Runs a change of one object and brings the document's bounds up to date.
template <typename Change>
int32_t ChangeObject(VectorDocument* document, VectorObjectRef id, Change change) {
  Document* doc = Impl(document);
  if (!doc) return kVkErrArgument;
  Object* o = FindObject(*doc, id);
  if (!o) return kVkErrNoObject;
  try {
    // The newest object: its new box joins the bounds of all the others.
    // (A changed clip outline changes what the objects after it show.)
    if (id == doc->newest && o->type != kVoClip && BoundsAsKernelSet(*document, *doc)) {
      const int32_t status = change(*o);
      document->lowerBound = doc->withoutNewest.lower;
      document->upperBound = doc->withoutNewest.upper;
      doc->hasBounds = doc->withoutNewest.any;
      doc->kernelBounds = doc->withoutNewest;
      AddObjectBounds(document, *doc, *o);
      return status;
    }
    doc->newest = 0;  // the bounds without it no longer hold
    KernelPoint lo{}, hi{};
    const bool hadBox = ObjectBounds(*o, &lo, &hi);
    const int32_t status = change(*o);
    RefreshBounds(document, *doc, hadBox, lo, hi, *o);
    return status;
  } catch (const std::bad_alloc&) {
    doc->newest = 0;
    UpdateBounds(document);
    return kVkErrNoMemory;
  }
}

}  // namespace

int32_t ObjectOutline(const Object& object, std::vector<KernelPoint>& points,
                      std::vector<uint8_t>& kinds) {
  if (object.type == kVoText) return TextOutline(object, points, kinds);
  PathSink sink(points, kinds);
  return AppendOutline(object, sink);
}

}  // namespace vk

extern "C" {

VK_API int32_t VectorCopyObject(const void* record, VectorPointPath* path) {
  if (!record || !path) return kVkErrArgument;
  *path = VectorPointPath{};
  try {
    vk::Object o;
    const int32_t status = vk::ObjectFromRecord(record, o);
    if (status != kVkOk) return status;
    return vk::CopyOutline(o, path);
  } catch (const std::bad_alloc&) {
    return kVkErrNoMemory;
  }
}

VK_API int32_t VectorFreeObject(VectorPointPath* path) {
  if (!path) return kVkErrArgument;
  delete[] path->points;
  delete[] path->kinds;
  *path = VectorPointPath{};
  return kVkOk;
}

VK_API int32_t VectorConvertToPath(VectorDocument* document, const void* record,
                                   VectorPointPath* path) {
  vk::Document* doc = vk::Impl(document);
  if (!doc || !record || !path) return kVkErrArgument;
  *path = VectorPointPath{};
  // A description names its stored object, which also carries what the
  // record has no field for (an arc's or ellipse's turn).
  const auto* h = static_cast<const VectorObjectHeader*>(record);
  const vk::Object* stored = vk::FindObject(*doc, h->id);
  if (stored && stored->type == h->type) return vk::CopyOutline(*stored, path);
  return VectorCopyObject(record, path);
}

VK_API int32_t VectorObjectRotate(VectorDocument* document, const VectorTriple* angles,
                                  VectorObjectRef object) {
  if (!angles) return kVkErrArgument;
  if (!std::isfinite(angles->z)) return kVkErrArgument;
  return vk::ChangeObject(document, object,
                          [&](vk::Object& o) { return vk::RotateObject(o, angles->z); });
}

VK_API int32_t VectorObjectScale(VectorDocument* document, const VectorTriple* factors,
                                 VectorObjectRef object, const KernelPoint* centre) {
  if (!factors) return kVkErrArgument;
  if (!std::isfinite(factors->x) || !std::isfinite(factors->y)) return kVkErrArgument;
  return vk::ChangeObject(document, object, [&](vk::Object& o) {
    return vk::ScaleObject(o, factors->x, factors->y, centre);
  });
}

VK_API int32_t VectorObjectMove(VectorDocument* document, const VectorTriple* offset,
                                VectorObjectRef object) {
  if (!offset) return kVkErrArgument;
  if (!std::isfinite(offset->x) || !std::isfinite(offset->y)) return kVkErrArgument;
  return vk::ChangeObject(document, object, [&](vk::Object& o) {
    // Every stored point is a position (corners, centres, text anchors).
    for (KernelPoint& p : o.points) {
      p.x += offset->x;
      p.y += offset->y;
    }
    return kVkOk;
  });
}

}  // extern "C"
