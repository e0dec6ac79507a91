// The painter: fills, pens, brushes, clips, rasters and text on a bitmap.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "VkTestDocument.h"

namespace vktest {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kBlack = 0;  // 0x00BBGGRR

// A document whose drawing spans (0, 0)-(100, -100) painted into a 100 x 100
// bitmap: device pixel (x, y) is document point (x, -y), scale 1.
class Paint : public VkDocumentFixture {
 protected:
  void SetUp() override {
    VkDocumentFixture::SetUp();
    Reset();
    if (Render(1, 1, 24, {0, 0, 1, 1}) == kVkErrUnsupported) GTEST_SKIP() << "built without the painter";
  }
  void TearDown() override {
    EXPECT_EQ(FreeBitmap(&bitmap_), kIkOk);
    VkDocumentFixture::TearDown();
  }
  // An empty document again, with an invisible frame that fixes the drawing's bounds.
  void Reset(bool frame = true) {
    ASSERT_EQ(VectorFree(&doc_), kVkOk);
    ASSERT_EQ(VectorInit(&doc_), kVkOk);
    if (frame) AddFilledRect(0, 0, 100, -100, 0, 0, {224, 0, kBrushHollow});
  }
  // Paints the document into `paint` of a fresh white bitmap; the status.
  int32_t Render(int32_t width = 100, int32_t height = 100, int32_t bitsPerPixel = 24,
                 KernelRect paint = {0, 0, 100, 100}) {
    EXPECT_EQ(FreeBitmap(&bitmap_), kIkOk);
    EXPECT_EQ(InitBitmap(&bitmap_, sizeof(BitmapRecord), width, height, bitsPerPixel), kIkOk);
    EXPECT_EQ(AllocateBitmap(&bitmap_, 1), kIkOk);
    EXPECT_EQ(FillBitmap(&bitmap_, kWhite), kIkOk);
    DrawingContext* dc = CreateBitmapDC(&bitmap_);
    doc_.paintRect = paint;
    const int32_t status = VectorPaint(dc, &doc_, 1);
    EXPECT_EQ(DeleteBitmapDC(dc), kIkOk);
    return status;
  }
  // Colour of a device pixel as 0x00BBGGRR.
  uint32_t Pixel(int x, int y) const {
    const uint8_t* p = bitmap_.bits + y * bitmap_.bytesPerRow + x * (bitmap_.bitsPerPixel / 8);
    return p[2] | (p[1] << 8) | (p[0] << 16);
  }
  // Largest difference of one channel between two colours.
  static int Distance(uint32_t a, uint32_t b) {
    auto channel = [&](int shift) { return std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)); };
    return std::max({channel(0), channel(8), channel(16)});
  }
  // Pixels in x0..x1 by y0..y1 clearly away from white.
  int InkInBox(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int i = 0; i < (x1 - x0) * (y1 - y0); ++i) n += Distance(Pixel(x0 + i % (x1 - x0), y0 + i / (x1 - x0)), kWhite) > 128;
    return n;
  }
  // A rectangle without outline, filled with `brush` (or the colour when the brush is empty).
  VectorObjectRef AddFilledRect(double x0, double y0, double x1, double y1, uint32_t colour, uint32_t flags = 0,
                                std::vector<int32_t> brush = {}) {
    auto rect = Made<VectorRectObject>(kVoRect);
    rect.corner1 = Pt(x0, y0);
    rect.corner2 = Pt(x1, y1);
    rect.pen.style = kPenNull;
    rect.brush.w[3] = static_cast<int32_t>(colour);
    std::copy(brush.begin(), brush.end(), rect.brush.w);
    rect.h.flags = flags;
    return Add(kVoRect, &rect);
  }
  // A raster over a-b of width x height pixels from `rows` (top first,
  // unpadded), with `palette` when given; the picture is copied.
  VectorObjectRef AddRaster(KernelPoint a, KernelPoint b, int32_t width, int32_t height, int32_t bitsPerPixel,
                            const std::vector<uint8_t>& rows, uint32_t flags = 0, std::vector<uint32_t> palette = {}) {
    auto raster = Made<VectorRasterObject>(kVoRaster);
    raster.corner1 = a;
    raster.corner2 = b;
    raster.h.flags = flags;
    EXPECT_EQ(InitBitmap(&raster.bitmap, sizeof(BitmapRecord), width, height, bitsPerPixel), kIkOk);
    EXPECT_EQ(SetBitmapPalette(&raster.bitmap, static_cast<int32_t>(palette.size()), palette.data()), kIkOk);
    EXPECT_EQ(AllocateBitmap(&raster.bitmap, 1), kIkOk);
    const size_t rowBytes = rows.size() / height;
    for (int32_t y = 0; y < height; ++y) {
      std::memcpy(raster.bitmap.bits + y * raster.bitmap.bytesPerRow, rows.data() + y * rowBytes, rowBytes);
    }
    const VectorObjectRef ref = Add(kVoRaster, &raster);
    EXPECT_EQ(FreeBitmap(&raster.bitmap), kIkOk);
    return ref;
  }

  BitmapRecord bitmap_{};
};

TEST_F(Paint, RejectsMissingArgumentsAndTheScreen) {
  ASSERT_EQ(Render(), kVkOk);
  DrawingContext* dc = CreateBitmapDC(&bitmap_);
  VectorDocument uninitialised{};
  EXPECT_EQ(VectorPaint(nullptr, &doc_, 1), kVkErrArgument);
  EXPECT_EQ(VectorPaint(dc, &uninitialised, 1), kVkErrArgument);
  EXPECT_EQ(DeleteBitmapDC(dc), kIkOk);
  DrawingContext* screen = GetScreenDC(0, 1, u"tests/PaintTest");
  EXPECT_EQ(VectorPaint(screen, &doc_, 1), kVkErrUnsupported);
  EXPECT_EQ(ReleaseScreenDC(0, screen, 2, u"tests/PaintTest"), kIkOk);
}

// Each scene is painted over the frame; each probe is a device pixel, its
// colour and the largest channel difference allowed (0: exact).
TEST_F(Paint, ScenesGiveTheirColoursWhereProbed) {
  struct Probe { int x, y; uint32_t colour; int tolerance; };
  struct Scene { std::string what; std::function<void()> build; std::vector<Probe> probes; };
  // A five-pointed star drawn in one stroke: its centre pentagon is wound
  // twice, so even-odd leaves it empty and winding fills it.
  KernelPoint star[5];
  for (int i = 0; i < 5; ++i) star[i] = Pt(50 + 45 * std::cos(M_PI / 2 + i * 4 * M_PI / 5), -50 + 45 * std::sin(M_PI / 2 + i * 4 * M_PI / 5));
  uint8_t kinds[5] = {kPtMoveTo, kPtLineTo, kPtLineTo, kPtLineTo, kPtLineTo | kPtCloseFigure};
  auto starScene = [&](int32_t type, int32_t rule, uint32_t centre) {
    return Scene{"star " + std::to_string(type) + " rule " + std::to_string(rule), [&, type, rule] {
      auto polygon = Made<VectorPolygonObject>(kVoPolygon);
      auto path = Made<VectorPathObject>(kVoPath);
      polygon.count = path.count = 5;
      polygon.points = path.points = star;
      polygon.fillMode = path.h.fillRule = rule;
      polygon.pen.style = path.pen.style = kPenNull;
      polygon.brush.w[3] = path.brush.w[3] = kRed;
      path.kinds = kinds;
      Add(type, type == kVoPolygon ? static_cast<const void*>(&polygon) : &path);
    }, {{50, 50, centre, 0}, {50, 15, kRed, 0}, {2, 98, kWhite, 0}}};  // centre, top arm, outside
  };
  auto twoColour = [&](int32_t code, std::vector<Probe> probes) {
    return Scene{"two colours " + std::to_string(code),
                 [this, code] { AddFilledRect(10, -10, 90, -90, 0, 0, {kBrushTwoColour, 2, kRed, kBlue, 255, code}); },
                 probes};
  };
  // A 2 x 2 picture: red, green on top; blue, black below (B, G, R bytes).
  const std::vector<uint8_t> picture = {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0};
  const std::vector<Scene> scenes = {
      {"solid, hidden and hollow fills, the outline in its pen", [&] {
         AddFilledRect(10, -10, 40, -40, kRed);
         AddFilledRect(60, -10, 90, -40, kGreen, kVoFlagHidden);
         auto hollow = Made<VectorRectObject>(kVoRect);
         hollow.corner1 = Pt(10, -60);
         hollow.corner2 = Pt(40, -90);
         hollow.pen.colour = kBlue;
         hollow.pen.width = 2;  // drawn 4 wide over x = 8 to 12
         hollow.brush.w[2] = kBrushHollow;
         Add(kVoRect, &hollow);
       }, {{25, 25, kRed, 0}, {5, 5, kWhite, 0}, {75, 25, kWhite, 0}, {25, 75, kWhite, 0}, {10, 75, kBlue, 0}}},
      {"circles: the pen a ring round the fill, one cut by the bitmap's edge", [&] {
         for (auto [x, y, fill] : {std::tuple{50.0, -50.0, kRed}, std::tuple{0.0, -20.0, kGreen}}) {
           auto circle = Made<VectorCircleObject>(kVoCircle);
           circle.centre = Pt(x, y);
           circle.r = fill == kRed ? 20 : 10;
           circle.pen.width = 2;  // drawn 4 wide: radius 18 to 22
           circle.pen.colour = kBlue;
           circle.brush.w[3] = static_cast<int32_t>(fill);
           Add(kVoCircle, &circle);
         }
         doc_.lowerBound = Pt(0, -100);  // the frame's bounds, so that the cut circle stays cut
         doc_.upperBound = Pt(100, 0);
       }, {{50, 50, kRed, 0}, {70, 50, kBlue, 0}, {50, 31, kBlue, 0}, {50, 26, kWhite, 0}, {3, 20, kGreen, 0}, {14, 20, kWhite, 0}}},
      starScene(kVoPolygon, kFillAlternate, kWhite), starScene(kVoPolygon, kFillWinding, kRed),
      starScene(kVoPath, kFillAlternate, kWhite), starScene(kVoPath, kFillWinding, kRed), starScene(kVoPath, 0, kRed),
      {"an unclosed filled figure fills as closed and strokes open", [&] {
         KernelPoint pts[3] = {Pt(10, -90), Pt(50, -10), Pt(90, -90)};
         auto path = Made<VectorPathObject>(kVoPath);
         path.count = 3;
         path.points = pts;
         path.kinds = kinds;  // move, line, line
         path.pen.width = 2;
         path.pen.colour = kBlue;
         path.brush.w[3] = kRed;
         Add(kVoPath, &path);
       }, {{50, 70, kRed, 0}, {50, 87, kRed, 24}, {30, 50, kBlue, 60}}},
      {"a clip limits the objects up to its end", [&] {
         KernelPoint square[4] = {Pt(20, -20), Pt(40, -20), Pt(40, -40), Pt(20, -40)};
         uint8_t closed[4] = {kPtMoveTo, kPtLineTo, kPtLineTo, kPtLineTo | kPtCloseFigure};
         const VectorPointPath outline{4, square, closed};
         ASSERT_EQ(VectorSetClip(&doc_, &outline), kVkOk);
         AddFilledRect(0, 0, 100, -50, kRed);
         auto end = Made<VectorPathObject>(kVoPath);
         end.h.flags = kVoFlagClipEnd;
         Add(kVoPath, &end);
         AddFilledRect(0, -60, 100, -100, kBlue);
       }, {{30, 30, kRed, 0}, {10, 10, kWhite, 0}, {60, 30, kWhite, 0}, {10, 80, kBlue, 0}}},
      {"a raster fills its corners", [&] { AddRaster(Pt(20, -20), Pt(60, -60), 2, 2, 24, picture); },
       {{22, 22, kRed, 0}, {57, 22, kGreen, 0}, {22, 57, kBlue, 0}, {57, 57, kBlack, 0}, {18, 40, kWhite, 0}, {62, 40, kWhite, 0}}},
      {"raster alpha shows what lies below", [&] {
         AddFilledRect(0, 0, 100, -100, kGreen);
         AddRaster(Pt(0, 0), Pt(100, -100), 2, 1, 32, {0, 0, 255, 255, 255, 0, 0, 0}, kVoFlagAlpha);
       }, {{10, 50, kRed, 0}, {90, 50, kGreen, 0}}},
      {"palette entries 1 and 0", [&] { AddRaster(Pt(0, 0), Pt(100, -100), 2, 1, 8, {1, 0}, 0, {kBlue, kRed}); },
       {{10, 50, kRed, 0}, {90, 50, kBlue, 0}}},
      // Linear brushes run from the first colour to the second, half way at the centre.
      twoColour(0, {{12, 50, kRed, 20}, {88, 50, kBlue, 20}, {50, 50, 0x800080, 20}, {5, 5, kWhite, 0}}),
      twoColour(1, {{88, 50, kRed, 20}, {12, 50, kBlue, 20}, {50, 50, 0x800080, 20}}),
      twoColour(2, {{50, 12, kRed, 20}, {50, 88, kBlue, 20}, {50, 50, 0x800080, 20}}),
      twoColour(4, {{12, 12, kRed, 20}, {88, 88, kBlue, 20}, {50, 50, 0x800080, 20}}),
      twoColour(29, {{15, 15, kBlue, 0}, {50, 50, kBlue, 0}}),  // translucent: the second colour only
      twoColour(30, {{50, 50, kRed, 8}, {50, 11, kBlue, 16}, {12, 12, kBlue, 2}}),  // radial: out from the centre
  };
  for (const Scene& scene : scenes) {
    SCOPED_TRACE(scene.what);
    Reset();
    scene.build();
    ASSERT_EQ(Render(), kVkOk);
    for (const Probe& p : scene.probes) {
      EXPECT_LE(Distance(Pixel(p.x, p.y), p.colour), p.tolerance) << p.x << "," << p.y << ": " << std::hex << Pixel(p.x, p.y);
    }
  }
}

TEST_F(Paint, PensDrawTwiceTheStoredHalfWidthOrDashesOrNothing) {
  struct Case { int32_t width; uint32_t style; int drawn, runs; };  // drawn: pixels across the line at scale 1
  for (Case c : {Case{0, kPenSolid, 1, 1}, Case{1, kPenSolid, 1, 1}, Case{2, kPenSolid, 4, 1}, Case{5, kPenSolid, 10, 1},
                 Case{3, kPenDash, 6, 4}, Case{3, kPenNull, 0, 0}}) {
    SCOPED_TRACE(testing::Message() << c.width << " style " << c.style);
    Reset();
    auto line = Made<VectorLineObject>(kVoLine);
    line.from = Pt(10, -50);  // on a pixel boundary, so an even width covers whole pixels
    line.to = Pt(90, -50);
    line.pen.width = c.width;
    line.pen.style = c.style | (c.style == kPenNull ? 0 : kPenCapFlat);
    Add(kVoLine, &line);
    ASSERT_EQ(Render(), kVkOk);
    EXPECT_NEAR(InkInBox(c.style == kPenDash ? 12 : 50, 0, c.style == kPenDash ? 13 : 51, 100), c.drawn, c.drawn > 0);
    EXPECT_EQ(InkInBox(5, 0, 6, 100), 0) << "flat caps end at the line's end";
    // Dashes 18 on and 6 off at width 6: count ink runs along the line.
    int runs = 0;
    for (int x = 1; x < 100; ++x) runs += InkInBox(x, 40, x + 1, 60) > 0 && InkInBox(x - 1, 40, x, 60) == 0;
    EXPECT_NEAR(runs, c.runs, 1);
  }
}

TEST_F(Paint, StaysInsideThePaintRectangleAndKeepsTheAspect) {
  // A drawing twice as wide as high, filled edge to edge, painted into the
  // middle 80 x 80 of a 100 x 100 bitmap: scale 0.4, 80 x 40, rows 30 to 70.
  Reset(false);
  AddFilledRect(0, 0, 200, -100, kRed);
  ASSERT_EQ(Render(100, 100, 32, {10, 10, 90, 90}), kVkOk);
  const int red[][2] = {{12, 32}, {88, 68}}, white[][2] = {{50, 27}, {50, 73}, {5, 50}, {95, 50}};
  for (const auto& p : red) EXPECT_EQ(Pixel(p[0], p[1]), kRed) << p[0] << "," << p[1];
  for (const auto& p : white) EXPECT_EQ(Pixel(p[0], p[1]), kWhite) << p[0] << "," << p[1];
  EXPECT_EQ(bitmap_.bits[(50 * bitmap_.bytesPerRow) + 50 * 4 + 3], 0xFF) << "alpha kept";
}

}  // namespace
}  // namespace vktest
