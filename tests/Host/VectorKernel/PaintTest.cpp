// The painter: fills, pens, brushes, clips, rasters and text on a bitmap.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
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
    if (Render(1, 1) == kVkErrUnsupported) GTEST_SKIP() << "built without the painter";
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
    int d = 0;
    for (int shift = 0; shift < 24; shift += 8) d = std::max(d, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return d;
  }
  // Pixels in x0..x1 by y0..y1 clearly away from white.
  int InkInBox(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) n += Distance(Pixel(x, y), kWhite) > 128;
    }
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
  EXPECT_EQ(VectorPaint(dc, nullptr, 1), kVkErrArgument);
  EXPECT_EQ(VectorPaint(dc, &uninitialised, 1), kVkErrArgument);
  EXPECT_EQ(DeleteBitmapDC(dc), kIkOk);
  DrawingContext* screen = GetScreenDC(0, __LINE__, u"tests/PaintTest");
  EXPECT_EQ(VectorPaint(screen, &doc_, 1), kVkErrUnsupported);
  EXPECT_EQ(ReleaseScreenDC(0, screen, __LINE__, u"tests/PaintTest"), kIkOk);
}

TEST_F(Paint, SolidHollowAndHiddenFillsAndAnOutlineInItsPen) {
  AddFilledRect(10, -10, 40, -40, kRed);
  AddFilledRect(60, -10, 90, -40, kGreen, kVoFlagHidden);
  auto hollow = Made<VectorRectObject>(kVoRect);
  hollow.corner1 = Pt(10, -60);
  hollow.corner2 = Pt(40, -90);
  hollow.pen.colour = kBlue;
  hollow.brush.w[2] = kBrushHollow;
  Add(kVoRect, &hollow);
  ASSERT_EQ(Render(), kVkOk);
  EXPECT_EQ(Pixel(25, 25), kRed);
  EXPECT_EQ(Pixel(5, 5), kWhite);
  EXPECT_EQ(Pixel(75, 25), kWhite) << "a hidden object is not painted";
  EXPECT_EQ(Pixel(25, 75), kWhite) << "a hollow brush leaves the inside";
  // The 1-unit outline at x = 10 is shared by the pixels on both sides, in blue.
  EXPECT_GT(Distance(Pixel(9, 75), kWhite) + Distance(Pixel(10, 75), kWhite), 200);
  EXPECT_EQ((Pixel(9, 75) | Pixel(10, 75)) >> 16, 0xFFu);
}

TEST_F(Paint, FillRulesOfASelfIntersectingStar) {
  // A five-pointed star drawn in one stroke: its centre pentagon is wound
  // twice, so even-odd leaves it empty and winding fills it.
  KernelPoint star[5];
  for (int i = 0; i < 5; ++i) star[i] = Pt(50 + 45 * std::cos(M_PI / 2 + i * 4 * M_PI / 5), -50 + 45 * std::sin(M_PI / 2 + i * 4 * M_PI / 5));
  uint8_t kinds[5] = {kPtMoveTo, kPtLineTo, kPtLineTo, kPtLineTo, kPtLineTo | kPtCloseFigure};
  struct Case { int32_t type, rule; uint32_t centre; };
  for (Case c : {Case{kVoPolygon, kFillAlternate, kWhite}, Case{kVoPolygon, kFillWinding, kRed},
                 Case{kVoPath, kFillAlternate, kWhite}, Case{kVoPath, kFillWinding, kRed}, Case{kVoPath, 0, kRed}}) {
    SCOPED_TRACE(testing::Message() << c.type << " rule " << c.rule);
    Reset();
    auto polygon = Made<VectorPolygonObject>(kVoPolygon);
    auto path = Made<VectorPathObject>(kVoPath);
    polygon.count = path.count = 5;
    polygon.points = path.points = star;
    polygon.fillMode = path.h.fillRule = c.rule;
    polygon.pen.style = path.pen.style = kPenNull;
    polygon.brush.w[3] = path.brush.w[3] = kRed;
    path.kinds = kinds;
    Add(c.type, c.type == kVoPolygon ? static_cast<const void*>(&polygon) : &path);
    ASSERT_EQ(Render(), kVkOk);
    EXPECT_EQ(Pixel(50, 50), c.centre);
    EXPECT_EQ(Pixel(50, 15), kRed) << "in the top arm";
    EXPECT_EQ(Pixel(2, 98), kWhite);
  }
}

TEST_F(Paint, UnclosedFilledFigureFillsAsClosedAndStrokesOpen) {
  KernelPoint pts[3] = {Pt(10, -90), Pt(50, -10), Pt(90, -90)};
  uint8_t kinds[3] = {kPtMoveTo, kPtLineTo, kPtLineTo};
  auto path = Made<VectorPathObject>(kVoPath);
  path.count = 3;
  path.points = pts;
  path.kinds = kinds;
  path.pen.width = 2;  // drawn 4 wide
  path.pen.colour = kBlue;
  path.brush.w[3] = kRed;
  Add(kVoPath, &path);
  ASSERT_EQ(Render(), kVkOk);
  EXPECT_EQ(Pixel(50, 70), kRed) << "filled as if closed";
  EXPECT_LE(Distance(Pixel(50, 87), kRed), 24) << "no stroke along the open side";
  EXPECT_LE(Distance(Pixel(30, 50), kBlue), 60) << "the drawn sides are stroked";
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

TEST_F(Paint, TwoColourBrushesRunBetweenTheirEndsOrOutFromTheCentre) {
  struct Case { int32_t code; int firstX, firstY, secondX, secondY; };  // device pixels near the two ends
  for (Case c : {Case{0, 12, 50, 88, 50}, Case{1, 88, 50, 12, 50}, Case{2, 50, 12, 50, 88}, Case{3, 50, 88, 50, 12},
                 Case{4, 12, 12, 88, 88}, Case{5, 12, 88, 88, 12}, Case{6, 88, 12, 12, 88}, Case{7, 88, 88, 12, 12},
                 Case{30, 50, 50, 12, 12}}) {
    SCOPED_TRACE(c.code);
    Reset();
    AddFilledRect(10, -10, 90, -90, 0, 0, {kBrushTwoColour, 2, kRed, kBlue, 255, c.code});
    ASSERT_EQ(Render(), kVkOk);
    EXPECT_LE(Distance(Pixel(c.firstX, c.firstY), kRed), 20) << std::hex << Pixel(c.firstX, c.firstY);
    EXPECT_LE(Distance(Pixel(c.secondX, c.secondY), kBlue), 20) << std::hex << Pixel(c.secondX, c.secondY);
    EXPECT_LE(Distance(Pixel(50, 50), c.code < 30 ? 0x800080 : kRed), 20) << "half way, or the first colour at the centre";
    EXPECT_EQ(Pixel(5, 5), kWhite);
  }
  Reset();
  AddFilledRect(10, -10, 90, -90, 0, 0, {kBrushTwoColour, 2, kWhite, 0x7F7FFF, 255, 29});
  ASSERT_EQ(Render(), kVkOk);
  EXPECT_EQ(Pixel(15, 15), 0x7F7FFFu) << "code 29: translucent, one colour";
  EXPECT_EQ(Pixel(50, 50), 0x7F7FFFu);
}

TEST_F(Paint, HatchedBrushDrawsLinesOnTransparency) {
  struct Case { int32_t hatch; int inkPer64; };  // hatch pixels in one 8 x 8 tile
  for (Case c : {Case{kHatchHorizontal, 8}, Case{kHatchVertical, 8}, Case{kHatchForwardDiagonal, 8},
                 Case{kHatchBackwardDiagonal, 8}, Case{kHatchCross, 15}, Case{kHatchDiagonalCross, 16}}) {
    SCOPED_TRACE(c.hatch);
    Reset();
    AddFilledRect(0, 0, 100, -100, kGreen);
    AddFilledRect(0, 0, 100, -100, 0, 0, {224, 0, kBrushHatched, kBlack, c.hatch});
    ASSERT_EQ(Render(), kVkOk);
    int black = 0, green = 0;
    for (int i = 0; i < 64; ++i) black += Pixel(40 + i % 8, 40 + i / 8) == kBlack, green += Pixel(40 + i % 8, 40 + i / 8) == kGreen;
    EXPECT_EQ(black, c.inkPer64);
    EXPECT_EQ(green, 64 - c.inkPer64) << "the background shows between the lines";
  }
}

TEST_F(Paint, ClipLimitsObjectsUntilItsEnd) {
  KernelPoint square[4] = {Pt(20, -20), Pt(40, -20), Pt(40, -40), Pt(20, -40)};
  uint8_t kinds[4] = {kPtMoveTo, kPtLineTo, kPtLineTo, kPtLineTo | kPtCloseFigure};
  const VectorPointPath outline{4, square, kinds};
  ASSERT_EQ(VectorSetClip(&doc_, &outline), kVkOk);
  AddFilledRect(0, 0, 100, -50, kRed);
  auto end = Made<VectorPathObject>(kVoPath);
  end.h.flags = kVoFlagClipEnd;
  Add(kVoPath, &end);
  AddFilledRect(0, -60, 100, -100, kBlue);
  ASSERT_EQ(Render(), kVkOk);
  EXPECT_EQ(Pixel(30, 30), kRed) << "inside the clip";
  EXPECT_EQ(Pixel(10, 10), kWhite) << "outside the clip";
  EXPECT_EQ(Pixel(60, 30), kWhite);
  EXPECT_EQ(Pixel(10, 80), kBlue) << "after the clip's end";
}

TEST_F(Paint, RasterFillsItsCornersAndTurns) {
  // 2 x 2 picture: red, green on top; blue, black below (B, G, R bytes).
  const VectorObjectRef ref = AddRaster(Pt(20, -20), Pt(60, -60), 2, 2, 24, {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0});
  // A quarter turn counter-clockwise brings the top-right corner to the top-left.
  const std::vector<uint32_t> upright{kRed, kGreen, kBlue, kBlack}, turned{kGreen, kBlack, kRed, kBlue};
  for (const std::vector<uint32_t>* corners : {&upright, &turned}) {
    ASSERT_EQ(Render(), kVkOk);
    EXPECT_EQ(std::vector<uint32_t>({Pixel(22, 22), Pixel(57, 22), Pixel(22, 57), Pixel(57, 57)}), *corners);
    EXPECT_EQ(Pixel(18, 40), kWhite);
    EXPECT_EQ(Pixel(62, 40), kWhite);
    const VectorTriple quarter{0, 0, 90};
    ASSERT_EQ(VectorObjectRotate(&doc_, &quarter, ref), kVkOk);
  }
}

TEST_F(Paint, RasterAlphaShowsWhatLiesBelowAndPalettesGiveTheirColours) {
  const struct { int32_t bitsPerPixel; std::vector<uint8_t> row; uint32_t flags; std::vector<uint32_t> palette; uint32_t right; } cases[] = {
      {32, {0, 0, 255, 255, 255, 0, 0, 0}, kVoFlagAlpha, {}, kGreen},  // opaque red, then clear
      {8, {1, 0}, 0, {kBlue, kRed}, kBlue}};                           // palette entries 1 and 0
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bitsPerPixel);
    Reset();
    AddFilledRect(0, 0, 100, -100, kGreen);
    AddRaster(Pt(0, 0), Pt(100, -100), 2, 1, c.bitsPerPixel, c.row, c.flags, c.palette);
    ASSERT_EQ(Render(), kVkOk);
    EXPECT_EQ(Pixel(10, 50), kRed);
    EXPECT_EQ(Pixel(90, 50), c.right);
  }
}

TEST_F(Paint, TextInksItsBoxOnly) {
  auto text = Made<VectorTextObject>(kVoText);
  text.text = u"Hello";
  text.position = Pt(10, -60);
  text.fontSize = 20;
  text.brush.w[3] = kBlack;
  text.pen.style = kPenNull;
  KernelPoint lo{}, hi{};
  ASSERT_EQ(VectorGetObjectExtent(&doc_, Add(kVoText, &text), &lo, &hi), kVkOk);
  ASSERT_EQ(Render(), kVkOk);
  const int inside = InkInBox(int(std::floor(lo.x)), int(std::floor(-hi.y)), int(std::ceil(hi.x)), int(std::ceil(-lo.y)));
  EXPECT_GT(inside, 40);
  EXPECT_EQ(InkInBox(0, 0, 100, 100), inside) << "no ink outside the text's box";
  EXPECT_GT(InkInBox(0, 45, 100, 60), inside / 2) << "most of it above the baseline";
}

TEST_F(Paint, BrokenObjectDoesNotStopThePicture) {
  KernelPoint broken[3] = {Pt(10, -10), Pt(NAN, -50), Pt(90, -90)};
  auto polygon = Made<VectorPolygonObject>(kVoPolygon);
  polygon.count = 3;
  polygon.points = broken;
  Add(kVoPolygon, &polygon);
  auto point = Made<VectorPointObject>(kVoPoint);
  point.point = Pt(INFINITY, 0);
  Add(kVoPoint, &point);
  AddFilledRect(40, -40, 60, -60, kRed);
  doc_.lowerBound = Pt(0, -100);  // the broken points spoil the bounds: paint the frame's
  doc_.upperBound = Pt(100, 0);
  ASSERT_EQ(Render(), kVkOk);
  EXPECT_EQ(Pixel(50, 50), kRed);
}

TEST_F(Paint, StaysInsideThePaintRectangleKeepsTheAspectAndFollowsThePan) {
  // A drawing twice as wide as high, filled edge to edge, painted into the
  // middle 80 x 80 of a 100 x 100 bitmap: scale 0.4, 80 x 40, rows 30 to 70.
  Reset(false);
  AddFilledRect(0, 0, 200, -100, kRed);
  ASSERT_EQ(Render(100, 100, 32, {10, 10, 90, 90}), kVkOk);
  const int red[][2] = {{12, 32}, {88, 68}}, white[][2] = {{50, 27}, {50, 73}, {5, 50}, {95, 50}};
  for (const auto& p : red) EXPECT_EQ(Pixel(p[0], p[1]), kRed) << p[0] << "," << p[1];
  for (const auto& p : white) EXPECT_EQ(Pixel(p[0], p[1]), kWhite) << p[0] << "," << p[1];
  EXPECT_EQ(bitmap_.bits[(50 * bitmap_.bytesPerRow) + 50 * 4 + 3], 0xFF) << "alpha kept";

  Reset();
  AddFilledRect(0, 0, 50, -100, kRed);
  const KernelPoint pan = Pt(20, 0);
  ASSERT_EQ(VectorSetPan(&doc_, &pan), kVkOk);
  ASSERT_EQ(Render(), kVkOk);
  const uint32_t panned[][2] = {{10, kWhite}, {25, kRed}, {65, kRed}, {75, kWhite}};
  for (const auto& p : panned) EXPECT_EQ(Pixel(int(p[0]), 50), p[1]) << p[0];
}

}  // namespace
}  // namespace vktest
