// The vector kernel's painter: draws a document's objects with cairo into
// the bitmap behind an imaging-kernel drawing context.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "VkDocument.h"
#include "VkPaintCoverage.h"

namespace vk {
namespace {

// Mapping of the document (y up) onto the device (y down): one uniform
// scale, the drawing centred in the paint rectangle.
struct View {
  double scale = 1;
  double tx = 0, ty = 0;

  void ToDevice(const KernelPoint& p, double* x, double* y) const {
    *x = tx + p.x * scale;
    *y = ty - p.y * scale;
  }
};

View MakeView(const VectorDocument& document, const Document& doc, const KernelRect& area) {
  const double w = area.right - area.left, h = area.bottom - area.top;
  const KernelPoint& lo = document.lowerBound;
  const KernelPoint& hi = document.upperBound;
  const double dw = hi.x - lo.x, dh = hi.y - lo.y;
  View v;
  if (dw > 0 && dh > 0) {
    v.scale = std::min(w / dw, h / dh);
  } else if (dw > 0) {
    v.scale = w / dw;
  } else if (dh > 0) {
    v.scale = h / dh;
  }
  if (!std::isfinite(v.scale) || v.scale <= 0) v.scale = 1;
  // The pan point shifts the picture in device pixels (right and down).
  v.tx = area.left + (w - std::max(dw, 0.0) * v.scale) / 2 - lo.x * v.scale + doc.pan.x;
  v.ty = area.top + (h - std::max(dh, 0.0) * v.scale) / 2 + hi.y * v.scale + doc.pan.y;
  return v;
}

void SetColour(cairo_t* cr, uint32_t colour) {
  cairo_set_source_rgb(cr, (colour & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0,
                       ((colour >> 16) & 0xFF) / 255.0);
}

void AddColourStop(cairo_pattern_t* p, double offset, uint32_t colour) {
  cairo_pattern_add_color_stop_rgb(p, offset, (colour & 0xFF) / 255.0,
                                   ((colour >> 8) & 0xFF) / 255.0,
                                   ((colour >> 16) & 0xFF) / 255.0);
}

// Path sink that lays segments into cairo's current path.
struct CairoPath {
  cairo_t* cr;
  void MoveTo(double x, double y) { cairo_move_to(cr, x, y); }
  void LineTo(double x, double y) { cairo_line_to(cr, x, y); }
  void CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
    cairo_curve_to(cr, x1, y1, x2, y2, x3, y3);
  }
  void Close() { cairo_close_path(cr); }
};

// Lays a point path (device coordinates) into `sink`.
template <typename Sink>
void AddPath(Sink& sink, const std::vector<KernelPoint>& pts, const std::vector<uint8_t>& kinds) {
  const size_t n = std::min(pts.size(), kinds.size());
  for (size_t i = 0; i < n; ++i) {
    const uint8_t kind = kinds[i];
    bool close = (kind & kPtCloseFigure) != 0;
    switch (kind & kPtMoveTo) {
      case kPtMoveTo:
        sink.MoveTo(pts[i].x, pts[i].y);
        break;
      case kPtLineTo:
        sink.LineTo(pts[i].x, pts[i].y);
        break;
      case kPtBezierTo:
        if (i + 2 < n) {
          sink.CurveTo(pts[i].x, pts[i].y, pts[i + 1].x, pts[i + 1].y, pts[i + 2].x,
                       pts[i + 2].y);
          close = close || ((kinds[i + 1] | kinds[i + 2]) & kPtCloseFigure) != 0;
          i += 2;
        } else {
          sink.LineTo(pts[i].x, pts[i].y);  // a cut-off curve ends straight
        }
        break;
      default:
        break;  // no segment kind: the point is skipped
    }
    if (close) sink.Close();
  }
}

// Pen width on the device. The load side stores half the SVG stroke width
// (half-widths below 1 become 1), so a pen of width w is drawn 2w wide and
// strokes come out as wide as the file asked; width 1 stands for thin
// strokes (SVG widths up to about 2) and stays 1. Width 0 is the thinnest
// line, and no line is drawn thinner than one device pixel.
double PenDeviceWidth(const VectorPen& pen, double scale) {
  const double units = pen.width <= 1 ? 1.0 : 2.0 * pen.width;
  const double device = pen.width <= 0 ? 1.0 : units * scale;
  return std::max(device, 1.0);
}

// Sets the pen as cairo's stroke state (device space); false for no pen.
bool ApplyPen(cairo_t* cr, const VectorPen& pen, double scale) {
  const uint32_t dash = pen.style & kPenStyleMask;
  if (dash == kPenNull) return false;
  const double w = PenDeviceWidth(pen, scale);
  cairo_set_line_width(cr, w);
  switch (pen.style & kPenCapMask) {
    case kPenCapSquare:
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
      break;
    case kPenCapFlat:
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
      break;
    default:
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
      break;
  }
  switch (pen.style & kPenJoinMask) {
    case kPenJoinBevel:
      cairo_set_line_join(cr, CAIRO_LINE_JOIN_BEVEL);
      break;
    case kPenJoinMiter:
      cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
      break;
    default:
      cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
      break;
  }
  cairo_set_miter_limit(cr, 4.0);
  // Dash patterns in multiples of the line width: dash 3, gap and dot 1.
  // Round and square caps grow each dash by the width, so the dash lengths
  // are shortened by it to keep the gaps open.
  const double capGrowth = (pen.style & kPenCapMask) == kPenCapFlat ? 0.0 : w;
  const double dashOn = std::max(3 * w - capGrowth, 0.0);
  const double dotOn = std::max(w - capGrowth, 0.0);
  const double gap = w + capGrowth;
  double pattern[6];
  int count = 0;
  switch (dash) {
    case kPenDash:
      pattern[0] = dashOn, pattern[1] = gap, count = 2;
      break;
    case kPenDot:
      pattern[0] = dotOn, pattern[1] = gap, count = 2;
      break;
    case kPenDashDot:
      pattern[0] = dashOn, pattern[1] = gap, pattern[2] = dotOn, pattern[3] = gap, count = 4;
      break;
    case kPenDashDotDot:
      pattern[0] = dashOn, pattern[1] = gap, pattern[2] = dotOn, pattern[3] = gap;
      pattern[4] = dotOn, pattern[5] = gap, count = 6;
      break;
    default:
      break;
  }
  cairo_set_dash(cr, pattern, count, 0);
  SetColour(cr, pen.colour);
  return true;
}

// An 8 x 8 device-pixel tile of a GDI hatch in `colour` on transparency.
cairo_pattern_t* HatchPattern(int32_t hatch, uint32_t colour) {
  constexpr int kTile = 8;
  cairo_surface_t* tile = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kTile, kTile);
  if (cairo_surface_status(tile) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(tile);
    return nullptr;
  }
  cairo_surface_flush(tile);
  unsigned char* data = cairo_image_surface_get_data(tile);
  const int stride = cairo_image_surface_get_stride(tile);
  const uint32_t argb = 0xFF000000u | ((colour & 0xFF) << 16) | (colour & 0xFF00) |
                        ((colour >> 16) & 0xFF);
  for (int y = 0; y < kTile; ++y) {
    for (int x = 0; x < kTile; ++x) {
      const bool horizontal = y == kTile - 1, vertical = x == kTile - 1;
      const bool forward = x == y, backward = x + y == kTile - 1;  // "\" and "/"
      bool on = false;
      switch (hatch) {
        case kHatchHorizontal: on = horizontal; break;
        case kHatchVertical: on = vertical; break;
        case kHatchForwardDiagonal: on = forward; break;
        case kHatchBackwardDiagonal: on = backward; break;
        case kHatchCross: on = horizontal || vertical; break;
        case kHatchDiagonalCross: on = forward || backward; break;
        default: on = horizontal; break;
      }
      const uint32_t value = on ? argb : 0u;
      std::memcpy(data + y * stride + x * 4, &value, 4);
    }
  }
  cairo_surface_mark_dirty(tile);
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(tile);
  cairo_surface_destroy(tile);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
  return pattern;
}

// Direction of a linear two-colour brush across the object's box, in
// screen terms (y down), from the first colour to the second:
// 0 left to right, 1 right to left, 2 top to bottom, 3 bottom to top,
// 4 top-left to bottom-right, 5 bottom-left to top-right,
// 6 top-right to bottom-left, 7 bottom-right to top-left.
// The gradient runs in the box's own unit square, as an SVG gradient in
// bounding-box units does, so diagonals join opposite corners.
void LinearEnds(int32_t code, double* x0, double* y0, double* x1, double* y1) {
  static constexpr double kEnds[8][4] = {
      {0, 0, 1, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}, {0, 1, 0, 0},
      {0, 0, 1, 1}, {0, 1, 1, 0}, {1, 0, 0, 1}, {1, 1, 0, 0}};
  const auto& e = kEnds[(code >= 0 && code < 8) ? code : 0];
  *x0 = e[0], *y0 = e[1], *x1 = e[2], *y1 = e[3];
}

enum : int32_t { kBrushCodeTranslucent = 29, kBrushCodeRadial = 30 };

// Sets the brush as cairo's source for the current (device-space) path;
// false when the brush paints nothing.
bool ApplyBrush(cairo_t* cr, const VectorBrush& brush) {
  const int32_t* w = brush.w;
  if (w[0] == kBrushTwoColour) {
    const auto first = static_cast<uint32_t>(w[2]), second = static_cast<uint32_t>(w[3]);
    if (w[5] == kBrushCodeTranslucent) {
      // The second colour already holds the colour lightened towards white.
      SetColour(cr, second);
      return true;
    }
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_fill_extents(cr, &x1, &y1, &x2, &y2);
    if (!(x2 - x1 > 0) || !(y2 - y1 > 0)) {
      SetColour(cr, first);
      return true;
    }
    cairo_pattern_t* pattern = nullptr;
    if (w[5] == kBrushCodeRadial) {
      // First colour at the centre, second on the ellipse inscribed in the box.
      pattern = cairo_pattern_create_radial(0.5, 0.5, 0, 0.5, 0.5, 0.5);
    } else {
      double a = 0, b = 0, c = 0, d = 0;
      LinearEnds(w[5], &a, &b, &c, &d);
      pattern = cairo_pattern_create_linear(a, b, c, d);
    }
    AddColourStop(pattern, 0, first);
    AddColourStop(pattern, 1, second);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    // Pattern space is the box's unit square.
    cairo_matrix_t m;
    cairo_matrix_init(&m, 1 / (x2 - x1), 0, 0, 1 / (y2 - y1), -x1 / (x2 - x1), -y1 / (y2 - y1));
    cairo_pattern_set_matrix(pattern, &m);
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern);
    return true;
  }
  const auto colour = static_cast<uint32_t>(w[3]);
  switch (w[2]) {
    case kBrushHollow:
      return false;
    case kBrushHatched: {
      cairo_pattern_t* pattern = HatchPattern(w[4], colour);
      if (!pattern) return false;
      cairo_set_source(cr, pattern);
      cairo_pattern_destroy(pattern);
      return true;
    }
    default:
      SetColour(cr, colour);
      return true;
  }
}

bool FillsInterior(int32_t type) {
  switch (type) {
    case kVoRect:
    case kVoPolygon:
    case kVoEllipse:
    case kVoCircle:
    case kVoClosedBezier:
    case kVoPie:
    case kVoPath:
    case kVoText:
    case kVoClosedSpline:
      return true;
    default:
      return false;
  }
}

bool EvenOdd(const Object& o) {
  switch (o.type) {
    case kVoPolygon:
    case kVoClosedBezier:
    case kVoClosedSpline:
      return o.polyFillMode == kFillAlternate;
    case kVoPath:
    case kVoClip:
      return o.fillRule == kFillAlternate;
    default:
      return false;
  }
}

// The painter's state over one paint: cairo's context on the target surface,
// and the surface's pixels for the objects filled without cairo.
struct Painter {
  cairo_t* cr = nullptr;
  cairo_surface_t* surface = nullptr;
  View view;
  KernelRect area{};  // the surface's box on the device
  uint8_t* pixels = nullptr;
  int stride = 0;
  int clipDepth = 0;
  // Room for outlines, reused from object to object to save an allocation
  // per object.
  std::vector<KernelPoint> points;
  std::vector<uint8_t> kinds;
  CoverageFill coverage;
  // Who touched the pixels last, so that each side sees the other's work:
  // cairo flushes before direct writes and learns of them before it draws.
  bool cairoDrew = false;
  bool pixelsChanged = false;

  void BeforeCairo() {
    if (pixelsChanged) cairo_surface_mark_dirty(surface);
    pixelsChanged = false;
    cairoDrew = true;
  }
  void BeforeDirect() {
    if (cairoDrew) cairo_surface_flush(surface);
    cairoDrew = false;
    pixelsChanged = true;
  }
};

// The object's outline in device coordinates into the painter's point
// buffers. False when it has none.
bool DeviceOutline(Painter& p, const Object& o) {
  p.points.clear();
  p.kinds.clear();
  if (ObjectOutline(o, p.points, p.kinds) != kVkOk || p.points.empty()) return false;
  // A point that is not finite has no place on the device (and cairo's
  // fixed-point conversion of it is undefined): such an object is left out.
  for (const KernelPoint& pt : p.points) {
    if (!std::isfinite(pt.x) || !std::isfinite(pt.y)) return false;
  }
  // Mapped here rather than through cairo's matrix: one multiply-add per
  // coordinate instead of a matrix per object and per point.
  for (KernelPoint& pt : p.points) p.view.ToDevice(pt, &pt.x, &pt.y);
  return true;
}

// Lays the object's outline into cairo's path in device coordinates (the
// matrix stays the identity). False when it has no outline.
bool OutlinePath(Painter& p, const Object& o) {
  if (!DeviceOutline(p, o)) return false;
  cairo_new_path(p.cr);
  CairoPath path{p.cr};
  AddPath(path, p.points, p.kinds);
  return true;
}

void PaintPoint(Painter& p, const Object& o) {
  if (o.points.empty() || (o.pen.style & kPenStyleMask) == kPenNull) return;
  double x = 0, y = 0;
  p.view.ToDevice(o.points[0], &x, &y);
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  p.BeforeCairo();
  cairo_new_path(p.cr);
  cairo_arc(p.cr, x, y, PenDeviceWidth(o.pen, p.view.scale) / 2, 0, 2 * std::numbers::pi);
  SetColour(p.cr, o.pen.colour);
  cairo_fill(p.cr);
}

// Adds a circle about (cx, cy) in device space as four quarter Beziers,
// counter-clockwise on the screen when `reverse`.
template <typename Sink>
void AddCircle(Sink& sink, double cx, double cy, double r, bool reverse) {
  constexpr double kQuarter = 0.5522847498307936;  // 4/3 (sqrt(2) - 1)
  const double k = r * kQuarter;
  const double s = reverse ? -1 : 1;
  sink.MoveTo(cx + r, cy);
  sink.CurveTo(cx + r, cy + s * k, cx + k, cy + s * r, cx, cy + s * r);
  sink.CurveTo(cx - k, cy + s * r, cx - r, cy + s * k, cx - r, cy);
  sink.CurveTo(cx - r, cy - s * k, cx - k, cy - s * r, cx, cy - s * r);
  sink.CurveTo(cx + k, cy - s * r, cx + r, cy - s * k, cx + r, cy);
  sink.Close();
}

// A solid pen around a circle covers the ring between two circles half the
// pen width either side of it (a closed smooth outline has no caps, and its
// joins lie on the ring), so the ring is filled instead of stroking: the
// same pixels at a fraction of the stroker's cost, which matters when a
// drawing has thousands of small outlined dots.
struct CircleRing {
  double cx = 0, cy = 0, r = 0, half = 0;

  // False when the object is not a circle with a solid pen.
  bool Of(const View& view, const Object& o) {
    if (o.type != kVoCircle || o.points.empty() || !o.hasPen ||
        (o.pen.style & kPenStyleMask) != kPenSolid) {
      return false;
    }
    view.ToDevice(o.points[0], &cx, &cy);
    r = std::fabs(o.rx) * view.scale;
    half = PenDeviceWidth(o.pen, view.scale) / 2;
    return r > 0 && std::isfinite(r) && std::isfinite(cx) && std::isfinite(cy);
  }
  template <typename Sink>
  void AddTo(Sink& sink) const {
    AddCircle(sink, cx, cy, r + half, false);
    if (r > half) AddCircle(sink, cx, cy, r - half, true);
  }
};

// Largest device box (in pixels) a shape may cover to be filled without
// cairo; larger shapes go to cairo, whose spans handle wide interiors well.
constexpr double kMaxDirectBox = 256.0 * 256.0;

// Colour word (0x00BBGGRR) as 0xRRGGBB.
uint32_t DeviceRgb(uint32_t colour) {
  return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

// Paints a rectangle, circle or ellipse (outlines that never cross
// themselves) in a solid colour, with no pen or a solid pen round a circle,
// outside any clip, and small on the device, through the coverage fill,
// from the device outline in the painter's buffers. False, with nothing
// drawn, for any other object.
bool PaintDirect(Painter& p, const Object& o) {
  if (p.clipDepth != 0 || (o.type != kVoRect && o.type != kVoCircle && o.type != kVoEllipse)) {
    return false;
  }
  const int32_t* w = o.brush.w;
  // Gradients and hatches are left to cairo.
  if (o.hasBrush && (w[0] == kBrushTwoColour || w[2] == kBrushHatched)) return false;
  const bool fill = o.hasBrush && w[2] != kBrushHollow;
  CircleRing ring;
  const bool pen = o.hasPen && (o.pen.style & kPenStyleMask) != kPenNull;
  if (pen && !ring.Of(p.view, o)) return false;
  if (!fill && !pen) return true;  // nothing to paint
  double x0 = p.points[0].x, y0 = p.points[0].y, x1 = x0, y1 = y0;
  for (const KernelPoint& pt : p.points) {
    x0 = std::min(x0, pt.x), x1 = std::max(x1, pt.x);
    y0 = std::min(y0, pt.y), y1 = std::max(y1, pt.y);
  }
  const double grow = pen ? ring.half + 1 : 1;
  if (!((x1 - x0 + 2 * grow) * (y1 - y0 + 2 * grow) <= kMaxDirectBox)) return false;
  p.BeforeDirect();
  if (fill) {
    p.coverage.Begin(p.area.left, p.area.top, p.area.right, p.area.bottom);
    AddPath(p.coverage, p.points, p.kinds);
    p.coverage.Paint(p.pixels, p.stride, DeviceRgb(static_cast<uint32_t>(w[3])));
  }
  if (pen) {
    p.coverage.Begin(p.area.left, p.area.top, p.area.right, p.area.bottom);
    ring.AddTo(p.coverage);
    p.coverage.Paint(p.pixels, p.stride, DeviceRgb(o.pen.colour));
  }
  return true;
}

void PaintShape(Painter& p, const Object& o) {
  if (!DeviceOutline(p, o) || PaintDirect(p, o)) return;
  p.BeforeCairo();
  cairo_t* cr = p.cr;
  cairo_new_path(cr);
  CairoPath outline{cr};
  AddPath(outline, p.points, p.kinds);
  if (o.hasBrush && FillsInterior(o.type)) {
    cairo_set_fill_rule(cr, EvenOdd(o) ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    if (ApplyBrush(cr, o.brush)) cairo_fill_preserve(cr);
  }
  CircleRing ring;
  if (o.hasPen && ring.Of(p.view, o)) {
    cairo_new_path(cr);
    CairoPath path{cr};
    ring.AddTo(path);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    SetColour(cr, o.pen.colour);
    cairo_fill(cr);
  } else if (o.hasPen && ApplyPen(cr, o.pen, p.view.scale)) {
    cairo_stroke_preserve(cr);
  }
  cairo_new_path(cr);
}

uint32_t PaletteColour(const BitmapRecord& b, unsigned index) {
  if (b.palette && static_cast<int32_t>(index) < b.paletteCount) return b.palette[index];
  // Without a palette the indices read as a grey ramp.
  const unsigned levels = (1u << b.bitsPerPixel) - 1;
  const unsigned g = levels ? index * 255 / levels : 0;
  return g | (g << 8) | (g << 16);
}

// The bitmap as a premultiplied ARGB surface; null for an empty or
// unsupported bitmap. Rows are top-down.
cairo_surface_t* BitmapSurface(const BitmapRecord& b, bool useAlpha) {
  if (!b.bits || b.width <= 0 || b.height <= 0) return nullptr;
  const int bpp = b.bitsPerPixel;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return nullptr;
  if (static_cast<int64_t>(b.bytesPerRow) * 8 < static_cast<int64_t>(b.width) * bpp) {
    return nullptr;
  }
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, b.width, b.height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return nullptr;
  }
  cairo_surface_flush(s);
  unsigned char* out = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < b.height; ++y) {
    const uint8_t* row = b.bits + static_cast<size_t>(y) * static_cast<size_t>(b.bytesPerRow);
    auto* dst = reinterpret_cast<uint32_t*>(out + static_cast<size_t>(y) * stride);
    for (int x = 0; x < b.width; ++x) {
      uint32_t r = 0, g = 0, bl = 0, a = 255;
      if (bpp >= 24) {
        const uint8_t* p = row + static_cast<size_t>(x) * (bpp / 8);
        bl = p[0], g = p[1], r = p[2];
        if (bpp == 32 && useAlpha) a = p[3];
      } else {
        unsigned index = 0;
        if (bpp == 8) {
          index = row[x];
        } else if (bpp == 4) {
          index = (row[x / 2] >> ((x % 2) ? 0 : 4)) & 0x0F;
        } else {
          index = (row[x / 8] >> (7 - x % 8)) & 1;
        }
        const uint32_t c = PaletteColour(b, index);
        r = c & 0xFF, g = (c >> 8) & 0xFF, bl = (c >> 16) & 0xFF;
      }
      r = (r * a + 127) / 255, g = (g * a + 127) / 255, bl = (bl * a + 127) / 255;
      dst[x] = (a << 24) | (r << 16) | (g << 8) | bl;
    }
  }
  cairo_surface_mark_dirty(s);
  return s;
}

// The bitmap scaled into the box of its two corners and turned by the
// object's rotation (counter-clockwise, y up) about the box centre.
void PaintRaster(cairo_t* cr, const View& view, const Object& o) {
  if (!o.rare || !o.rare->hasBitmap || o.points.size() < 2) return;
  const BitmapRecord& bitmap = o.rare->bitmap;
  cairo_surface_t* image =
      BitmapSurface(bitmap, bitmap.bitsPerPixel == 32 && (o.flags & kVoFlagAlpha) != 0);
  if (!image) return;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  view.ToDevice(o.points[0], &x1, &y1);
  view.ToDevice(o.points[1], &x2, &y2);
  const double bw = std::fabs(x2 - x1), bh = std::fabs(y2 - y1);
  if (bw > 0 && bh > 0 && std::isfinite(bw) && std::isfinite(bh) && std::isfinite(x1) &&
      std::isfinite(y1) && std::isfinite(o.rotation)) {
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_translate(cr, (x1 + x2) / 2, (y1 + y2) / 2);
    cairo_rotate(cr, -o.rotation * std::numbers::pi / 180.0);
    cairo_translate(cr, -bw / 2, -bh / 2);
    cairo_scale(cr, bw / bitmap.width, bh / bitmap.height);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_pattern_t* pattern = cairo_get_source(cr);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
    cairo_new_path(cr);
    cairo_rectangle(cr, 0, 0, bitmap.width, bitmap.height);
    cairo_fill(cr);
    cairo_restore(cr);
  }
  cairo_surface_destroy(image);
}

// A 32-bit bitmap pixel (B, G, R, A) as premultiplied ARGB.
uint32_t Premultiplied(const uint8_t* p) {
  const uint32_t a = p[3];
  const uint32_t r = (p[2] * a + 127) / 255, g = (p[1] * a + 127) / 255,
                 b = (p[0] * a + 127) / 255;
  return (a << 24) | (r << 16) | (g << 8) | b;
}

// Copies the paint area of a 24- or 32-bit bitmap into the surface, or
// back. A 24-bit bitmap has no alpha, so its surface is RGB24 and the pixels
// only change byte order; a 32-bit one goes through a premultiplied ARGB32
// surface.
void CopyIn(const BitmapRecord& b, const KernelRect& area, cairo_surface_t* s) {
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  const int bytes = b.bitsPerPixel / 8;
  for (int y = area.top; y < area.bottom; ++y) {
    const uint8_t* src = b.bits + static_cast<size_t>(y) * static_cast<size_t>(b.bytesPerRow) +
                         static_cast<size_t>(area.left) * bytes;
    auto* dst = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y - area.top) * stride);
    const int width = area.right - area.left;
    if (bytes == 3) {
      for (int x = 0; x < width; ++x, src += 3) {
        dst[x] = 0xFF000000u | (uint32_t{src[2]} << 16) | (uint32_t{src[1]} << 8) | src[0];
      }
    } else {
      for (int x = 0; x < width; ++x, src += 4) dst[x] = Premultiplied(src);
    }
  }
  cairo_surface_mark_dirty(s);
}

void CopyOut(cairo_surface_t* s, const KernelRect& area, BitmapRecord& b) {
  cairo_surface_flush(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  const int bytes = b.bitsPerPixel / 8;
  const int width = area.right - area.left;
  for (int y = area.top; y < area.bottom; ++y) {
    uint8_t* p = b.bits + static_cast<size_t>(y) * static_cast<size_t>(b.bytesPerRow) +
                 static_cast<size_t>(area.left) * bytes;
    const auto* src =
        reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y - area.top) * stride);
    if (bytes == 3) {
      for (int x = 0; x < width; ++x, p += 3) {
        const uint32_t v = src[x];
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        p[2] = static_cast<uint8_t>(v >> 16);
      }
      continue;
    }
    for (int x = 0; x < width; ++x, p += 4) {
      const uint32_t v = src[x];
      // Pixels left untouched keep their bytes, colour under zero alpha too.
      if (v == Premultiplied(p)) continue;
      const uint32_t a = v >> 24;
      uint32_t r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, bl = v & 0xFF;
      if (a != 0 && a != 255) {
        r = std::min(255u, (r * 255 + a / 2) / a);
        g = std::min(255u, (g * 255 + a / 2) / a);
        bl = std::min(255u, (bl * 255 + a / 2) / a);
      }
      p[0] = static_cast<uint8_t>(bl);
      p[1] = static_cast<uint8_t>(g);
      p[2] = static_cast<uint8_t>(r);
      p[3] = static_cast<uint8_t>(a);
    }
  }
}

bool LayerVisible(const Document& doc, VectorLayerRef layer) {
  for (const Layer& l : doc.layers) {
    if (l.id == layer) return l.visible != 0;
  }
  return true;
}

// Paints every object in insertion order. A clip object (16) clips what
// follows until a type-13 object flagged as clip end; clips nest.
void PaintObjects(Painter& p, const Document& doc) {
  cairo_t* cr = p.cr;
  for (const Object& o : doc.objects) {
    if (o.type == kVoClip) {
      p.BeforeCairo();
      cairo_save(cr);
      ++p.clipDepth;
      if (OutlinePath(p, o)) {
        cairo_set_fill_rule(cr, EvenOdd(o) ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        cairo_clip(cr);
      } else {
        // An empty outline leaves nothing visible.
        cairo_new_path(cr);
        cairo_rectangle(cr, 0, 0, 0, 0);
        cairo_clip(cr);
      }
      continue;
    }
    if (o.type == kVoPath && (o.flags & kVoFlagClipEnd) != 0) {
      if (p.clipDepth > 0) {
        cairo_restore(cr);
        --p.clipDepth;
      }
      continue;
    }
    if ((o.flags & kVoFlagHidden) != 0 || !LayerVisible(doc, o.layer)) continue;
    switch (o.type) {
      case kVoPoint:
        PaintPoint(p, o);
        break;
      case kVoRaster:
        p.BeforeCairo();
        PaintRaster(cr, p.view, o);
        break;
      case kVoGroupObject:
        break;
      default:
        PaintShape(p, o);
        break;
    }
  }
  for (; p.clipDepth > 0; --p.clipDepth) cairo_restore(cr);
  p.BeforeCairo();
}

}  // namespace
}  // namespace vk

extern "C" {

// The document's paint option word selects a paint quality on the host;
// this painter always draws anti-aliased, so it has no visible effect.
VK_API int32_t VectorPaint(DrawingContext* context, VectorDocument* document, int32_t /*flag*/) {
  vk::Document* doc = vk::Impl(document);
  if (!doc || !context) return kVkErrArgument;
  BitmapRecord* bitmap = DrawingContextBitmap(context);
  if (!bitmap) return kVkErrUnsupported;  // the screen has no pixels to paint here
  if (!bitmap->bits) return kVkErrFailed;
  if (bitmap->bitsPerPixel != 24 && bitmap->bitsPerPixel != 32) return kVkErrUnsupported;
  if (static_cast<int64_t>(bitmap->bytesPerRow) * 8 <
      static_cast<int64_t>(bitmap->width) * bitmap->bitsPerPixel) {
    return kVkErrArgument;
  }

  KernelRect area = document->paintRect;
  area.left = std::max(area.left, 0);
  area.top = std::max(area.top, 0);
  area.right = std::min(area.right, bitmap->width);
  area.bottom = std::min(area.bottom, bitmap->height);
  if (area.right <= area.left || area.bottom <= area.top) return kVkOk;

  cairo_surface_t* surface = cairo_image_surface_create(
      bitmap->bitsPerPixel == 24 ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32,
      area.right - area.left, area.bottom - area.top);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return kVkErrNoMemory;
  }
  vk::CopyIn(*bitmap, area, surface);
  // Device coordinates are the bitmap's own: the surface starts at the
  // paint rectangle's corner.
  cairo_surface_set_device_offset(surface, -area.left, -area.top);
  cairo_t* cr = cairo_create(surface);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GOOD);
  int32_t status = kVkOk;
  try {
    vk::Painter painter;
    painter.cr = cr;
    painter.surface = surface;
    painter.view = vk::MakeView(*document, *doc, document->paintRect);
    painter.area = area;
    painter.pixels = cairo_image_surface_get_data(surface);
    painter.stride = cairo_image_surface_get_stride(surface);
    vk::PaintObjects(painter, *doc);
  } catch (const std::bad_alloc&) {
    status = kVkErrNoMemory;
  }
  if (cairo_status(cr) == CAIRO_STATUS_NO_MEMORY) status = kVkErrNoMemory;
  cairo_destroy(cr);
  if (status == kVkOk) vk::CopyOut(surface, area, *bitmap);
  cairo_surface_destroy(surface);
  return status;
}

}  // extern "C"
