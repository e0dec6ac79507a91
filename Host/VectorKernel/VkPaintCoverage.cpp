// Exact-area coverage: every edge adds, to each pixel row it crosses, the
// change of covered area from one pixel to the next; a running sum along the
// row then gives each pixel's covered fraction.
#include "VkPaintCoverage.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

namespace vk {
namespace {

// Flattening tolerance of curves, in device pixels.
constexpr double kTolerance = 0.1;
constexpr int kMaxCurvePieces = 1000;

// Adds one piece of an edge lying within a pixel row: it runs between xa
// and xb (either way round) over a height `d` (signed by direction). Each
// pixel the piece touches gets the area right of the piece within it; the
// pixels right of it get the whole height.
void AddPiece(float* row, int width, double xa, double xb, double d) {
  xa = std::clamp(xa, 0.0, static_cast<double>(width));
  xb = std::clamp(xb, 0.0, static_cast<double>(width));
  if (xa > xb) std::swap(xa, xb);
  const int first = static_cast<int>(xa);
  if (xb <= first + 1) {
    const double mid = (xa + xb) / 2 - first;
    row[first] += static_cast<float>(d * (1 - mid));
    row[first + 1] += static_cast<float>(d * mid);
    return;
  }
  const double perX = d / (xb - xa);
  for (double xs = xa; xs < xb;) {
    const int cell = static_cast<int>(xs);
    const double xe = std::min(xb, cell + 1.0);
    const double h = (xe - xs) * perX;
    const double mid = (xs + xe) / 2 - cell;
    row[cell] += static_cast<float>(h * (1 - mid));
    row[cell + 1] += static_cast<float>(h * mid);
    xs = xe;
  }
}

// a * b / 255, rounded, for bytes.
uint32_t MulDiv255(uint32_t a, uint32_t b) {
  const uint32_t t = a * b + 128;
  return (t + (t >> 8)) >> 8;
}

}  // namespace

void CoverageFill::Begin(int left, int top, int right, int bottom) {
  left_ = left, top_ = top, right_ = right, bottom_ = bottom;
  open_ = false;
  edges_.clear();
  minX_ = minY_ = std::numeric_limits<double>::infinity();
  maxX_ = maxY_ = -std::numeric_limits<double>::infinity();
}

void CoverageFill::MoveTo(double x, double y) {
  Close();
  startX_ = lastX_ = x;
  startY_ = lastY_ = y;
  open_ = true;
}

void CoverageFill::LineTo(double x, double y) {
  if (!open_) {
    MoveTo(x, y);
    return;
  }
  AddEdge(lastX_, lastY_, x, y);
  lastX_ = x;
  lastY_ = y;
}

void CoverageFill::CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  if (!open_) MoveTo(x1, y1);
  const double x0 = lastX_, y0 = lastY_;
  // The polyline of n pieces stays within 3/4 of the larger second
  // difference over n squared of the curve.
  const double ax = x0 - 2 * x1 + x2, ay = y0 - 2 * y1 + y2;
  const double bx = x1 - 2 * x2 + x3, by = y1 - 2 * y2 + y3;
  const double dd = std::sqrt(std::max(ax * ax + ay * ay, bx * bx + by * by));
  const int n = static_cast<int>(
      std::clamp(std::ceil(std::sqrt(0.75 * dd / kTolerance)), 1.0, double{kMaxCurvePieces}));
  for (int i = 1; i < n; ++i) {
    const double t = static_cast<double>(i) / n, u = 1 - t;
    const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, e = t * t * t;
    LineTo(a * x0 + b * x1 + c * x2 + e * x3, a * y0 + b * y1 + c * y2 + e * y3);
  }
  LineTo(x3, y3);
}

void CoverageFill::Close() {
  if (!open_) return;
  AddEdge(lastX_, lastY_, startX_, startY_);
  lastX_ = startX_;
  lastY_ = startY_;
  open_ = false;
}

void CoverageFill::AddEdge(double x0, double y0, double x1, double y1) {
  minX_ = std::min({minX_, x0, x1});
  maxX_ = std::max({maxX_, x0, x1});
  minY_ = std::min({minY_, y0, y1});
  maxY_ = std::max({maxY_, y0, y1});
  if (y0 != y1) edges_.push_back({x0, y0, x1, y1});
}

void CoverageFill::Accumulate(const Edge& e, int boxLeft, int boxTop, int width, int height) {
  double x0 = e.x0 - boxLeft, y0 = e.y0 - boxTop, x1 = e.x1 - boxLeft, y1 = e.y1 - boxTop;
  double sign = 1;
  if (y0 > y1) {
    std::swap(x0, x1);
    std::swap(y0, y1);
    sign = -1;
  }
  const double ya = std::max(y0, 0.0), yb = std::min(y1, static_cast<double>(height));
  if (!(ya < yb)) return;
  const double dxdy = (x1 - x0) / (y1 - y0);
  double x = x0 + (ya - y0) * dxdy;
  for (int row = static_cast<int>(ya); row < yb; ++row) {
    const double top = std::max(ya, static_cast<double>(row));
    const double bottom = std::min(yb, row + 1.0);
    const double next = x0 + (bottom - y0) * dxdy;
    AddPiece(&cells_[static_cast<size_t>(row) * static_cast<size_t>(width + 2)], width, x, next,
             (bottom - top) * sign);
    x = next;
  }
}

void CoverageFill::Paint(uint8_t* pixels, int stride, uint32_t rgb) {
  Close();
  if (edges_.empty()) return;
  const int boxLeft = std::max(left_, static_cast<int>(std::max(std::floor(minX_), -1e9)));
  const int boxTop = std::max(top_, static_cast<int>(std::max(std::floor(minY_), -1e9)));
  const int boxRight = std::min(right_, static_cast<int>(std::min(std::ceil(maxX_), 1e9)));
  const int boxBottom = std::min(bottom_, static_cast<int>(std::min(std::ceil(maxY_), 1e9)));
  if (boxRight <= boxLeft || boxBottom <= boxTop) return;
  const int width = boxRight - boxLeft, height = boxBottom - boxTop;
  const size_t cells = static_cast<size_t>(width + 2) * static_cast<size_t>(height);
  if (cells_.size() < cells) cells_.resize(cells, 0.0f);
  for (const Edge& e : edges_) Accumulate(e, boxLeft, boxTop, width, height);

  const uint32_t source[4] = {rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF, 0xFF};
  const uint32_t opaque = 0xFF000000u | rgb;
  for (int y = 0; y < height; ++y) {
    float* row = &cells_[static_cast<size_t>(y) * static_cast<size_t>(width + 2)];
    uint8_t* line = pixels + static_cast<std::ptrdiff_t>(boxTop - top_ + y) * stride;
    auto* out = reinterpret_cast<uint32_t*>(line) + (boxLeft - left_);
    float sum = 0;
    for (int x = 0; x < width; ++x) {
      sum += row[x];
      row[x] = 0;
      const float cover = std::min(std::fabs(sum), 1.0f);
      const auto alpha = static_cast<uint32_t>(cover * 255.0f + 0.5f);
      if (alpha == 0) continue;
      if (alpha == 255) {
        out[x] = opaque;
        continue;
      }
      // An opaque source over the pixel by the covered fraction, channel by
      // channel (premultiplied pixels stay premultiplied).
      const uint32_t pixel = out[x];
      uint32_t blended = 0;
      for (int c = 0; c < 4; ++c) {
        const uint32_t d = (pixel >> (8 * c)) & 0xFF;
        blended |= (MulDiv255(source[c], alpha) + MulDiv255(d, 255 - alpha)) << (8 * c);
      }
      out[x] = blended;
    }
    row[width] = row[width + 1] = 0;
  }
}

}  // namespace vk
