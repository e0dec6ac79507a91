// The painter's own anti-aliased fill for small simple shapes: the exact
// area each pixel has inside an outline, blended in one solid colour
// straight into 32-bit pixels. Drawings of many thousands of dots and boxes
// spend most of their paint time in the general rasteriser's set-up per
// object; this costs a few pixels' work per object instead.
#pragma once

#include <cstdint>
#include <vector>

namespace vk {

class CoverageFill {
 public:
  // Starts an outline clipped to the device box [left, right) x [top, bottom).
  void Begin(int left, int top, int right, int bottom);
  void MoveTo(double x, double y);
  void LineTo(double x, double y);
  // A cubic Bezier from the current point, flattened to within a tenth of
  // a pixel.
  void CurveTo(double x1, double y1, double x2, double y2, double x3, double y3);
  void Close();

  // Blends `rgb` (0xRRGGBB) over the pixels the outline covers, as an
  // opaque source over 32-bit pixels (premultiplied ARGB or xRGB) of the
  // device box, `pixels` being the box's top-left pixel. Coverage is the
  // winding number's magnitude, capped at one: exact for outlines that do
  // not cross themselves (rings wound in opposite directions included).
  void Paint(uint8_t* pixels, int stride, uint32_t rgb);

 private:
  struct Edge {
    double x0, y0, x1, y1;
  };
  void AddEdge(double x0, double y0, double x1, double y1);
  void Accumulate(const Edge& e, int boxLeft, int boxTop, int width, int height);

  int left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
  double startX_ = 0, startY_ = 0, lastX_ = 0, lastY_ = 0;
  bool open_ = false;
  double minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
  std::vector<Edge> edges_;
  std::vector<float> cells_;  // per row: coverage changes from pixel to pixel
};

}  // namespace vk
