#include "Common/SVGWriter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "Common/WriterTestSupport.h"

namespace svgflt {
namespace {

using writertest::ExpectGolden;
using writertest::ObjectsOf;
using writertest::Pt;

class WriteObjectTest : public writertest::WriterFixture {
 protected:
  void AddLineWithPen(double y, std::uint32_t style, std::int32_t width, std::uint32_t colour = 0) {
    auto line = Init<VectorLineObject>(kVoLine);
    line.from = Pt(0, y);
    line.to = Pt(100, y);
    line.pen.style = style;
    line.pen.width = width;
    line.pen.colour = colour;
    Add(kVoLine, line);
  }
  void AddPath(std::vector<KernelPoint> points, std::vector<std::uint8_t> kinds) {
    auto path = Init<VectorPathObject>(kVoPath);
    path.count = static_cast<std::int32_t>(points.size());
    path.points = points.data();
    path.kinds = kinds.data();
    Add(kVoPath, path);
  }
  void AddRaster(double x0, double y0, double x1, double y1) {
    auto raster = Init<VectorRasterObject>(kVoRaster);
    raster.corner1 = Pt(x0, y0);
    raster.corner2 = Pt(x1, y1);
    Add(kVoRaster, raster);
  }
  void AddText(const char16_t* text, KernelPoint at, double size, std::int32_t alignment,
               const char16_t* face, std::int32_t weight, std::int32_t escapement,
               bool italic = false, bool underline = false, std::uint32_t penStyle = kPenSolid) {
    auto record = Init<VectorTextObject>(kVoText);
    record.text = text;
    record.position = at;
    record.fontSize = size;
    record.alignment = alignment;
    record.font.weight = weight;
    record.font.escapement = escapement;
    record.font.italic = italic ? 1 : 0;
    record.font.underline = underline ? 1 : 0;
    if (face != nullptr) std::memcpy(record.font.faceName, face, std::char_traits<char16_t>::length(face) * 2);
    record.brush.w[3] = 0;  // black
    record.pen.style = penStyle;
    Add(kVoText, record);
  }
  // The one element a single-object document saves to.
  std::string Element() { return ObjectsOf(Saved()); }
};

TEST_F(WriteObjectTest, ShapesOfEveryDirectKind) {
  auto point = Init<VectorPointObject>(kVoPoint);
  point.point = Pt(10, 20);
  Add(kVoPoint, point);
  auto line = Init<VectorLineObject>(kVoLine);
  line.from = Pt(0, 0);
  line.to = Pt(100, 50);
  Add(kVoLine, line);
  auto rect = Init<VectorRectObject>(kVoRect);
  rect.corner1 = Pt(120, 80);
  rect.corner2 = Pt(20, 10);
  Add(kVoRect, rect);
  KernelPoint open[3] = {Pt(0, 0), Pt(50, 25), Pt(100, 0)};
  auto polyline = Init<VectorPolylineObject>(kVoPolyline);
  polyline.count = 3;
  polyline.points = open;
  Add(kVoPolyline, polyline);
  KernelPoint curve[4] = {Pt(0, 0), Pt(10, 40), Pt(30, 40), Pt(40, 0)};
  auto bezier = Init<VectorPolylineObject>(kVoBezier);
  bezier.count = 4;
  bezier.points = curve;
  Add(kVoBezier, bezier);
  KernelPoint triangle[3] = {Pt(10, 10), Pt(60, 10), Pt(35, 60)};
  KernelPoint other[3] = {Pt(110, 10), Pt(160, 10), Pt(135, 60)};
  for (const std::int32_t mode : {kFillAlternate, kFillWinding}) {
    auto polygon = Init<VectorPolygonObject>(kVoPolygon);
    polygon.count = 3;
    polygon.points = mode == kFillAlternate ? triangle : other;
    polygon.fillMode = mode;
    polygon.brush.w[3] = 0x000080FF;  // orange
    Add(kVoPolygon, polygon);
  }
  auto ellipse = Init<VectorEllipseObject>(kVoEllipse);
  ellipse.centre = Pt(150, 50);
  ellipse.rx = -30;  // radii are written as magnitudes
  ellipse.ry = 20;
  Add(kVoEllipse, ellipse);
  auto circle = Init<VectorCircleObject>(kVoCircle);
  circle.centre = Pt(200, 100);
  circle.r = 25;
  Add(kVoCircle, circle);
  AddPath({Pt(0, 0), Pt(50, 0), Pt(60, 10), Pt(60, 20), Pt(50, 30), Pt(100, 100), Pt(110, 100)},
          {kPtMoveTo, kPtLineTo, kPtBezierTo, kPtBezierTo, kPtBezierTo | kPtCloseFigure, kPtMoveTo,
           kPtLineTo | kPtCloseFigure});
  // Neither a clip outline nor a group object leaves a trace.
  KernelPoint clipPoints[3] = {Pt(0, 0), Pt(10, 0), Pt(10, 10)};
  std::uint8_t clipKinds[3] = {kPtMoveTo, kPtLineTo, kPtLineTo | kPtCloseFigure};
  const VectorPointPath clip{3, clipPoints, clipKinds};
  ASSERT_EQ(VectorSetClip(&document_, &clip), kOk);
  auto group = Init<VectorGroupObject>(kVoGroupObject);
  Add(kVoGroupObject, group);
  SetExtent(0, 0, 300, 200);
  ExpectGolden("shapes.svg", Saved());
}

TEST_F(WriteObjectTest, PensWithDashesCapsAndJoins) {
  const struct {
    std::uint32_t style;
    std::int32_t width;
    std::uint32_t colour;
  } pens[] = {
      {kPenDash, 1, 0},
      {kPenDot, 1, 0x0000FF},
      {kPenDashDot, 1, 0},
      {kPenDashDotDot, 1, 0},
      {kPenNull | kPenCapSquare, 5, 0},
      {kPenSolid | kPenCapSquare | kPenJoinBevel, 3, 0},
      {kPenSolid | kPenCapFlat | kPenJoinMiter, 2, 0},
      {kPenSolid | kPenCapRound | kPenJoinRound, 4, 0},
      {kPenSolid, 0, 0},
  };
  double y = 0;
  for (const auto& pen : pens) {
    AddLineWithPen(y, pen.style, pen.width, pen.colour);
    y += 10;
  }
  SetExtent(0, 0, 300, 200);
  ExpectGolden("pens.svg", Saved());
}

TEST_F(WriteObjectTest, HatchedHollowAndSolidBrushes) {
  for (int i = 0; i < 8; ++i) {
    auto rect = Init<VectorRectObject>(kVoRect);
    rect.corner1 = Pt(0, i * 20);
    rect.corner2 = Pt(10, i * 20 + 10);
    if (i < 6) {
      rect.brush.w[2] = kBrushHatched;
      rect.brush.w[3] = 0x00123456;  // never written for a hatch
      rect.brush.w[4] = i;
    } else if (i == 6) {
      rect.brush.w[2] = kBrushHollow;
    } else {
      rect.brush.w[3] = 0x00996633;
    }
    Add(kVoRect, rect);
  }
  SetExtent(0, 0, 300, 200);
  ExpectGolden("brushes.svg", Saved());
}

TEST_F(WriteObjectTest, TextWithEscapesRotationWeightAndAnchor) {
  AddText(u"a<b & c", Pt(10, 50), 12, kAlignStart, u"Sans", 700, 0);
  AddText(u"1 > 0", Pt(100, 100), -20, kAlignEnd | kAlignVerticalCentre, u"Serif Display", 0, 455,
          true, true, kPenNull);
  AddText(u"quote \"x\" 'y' caf\u00e9", Pt(150, 150), 9.9, kAlignMiddle, nullptr, 400, 0);
  SetExtent(0, 0, 300, 200);
  ExpectGolden("text.svg", Saved());
}

TEST_F(WriteObjectTest, EmbeddedImagesAreNumberedAndShownThroughUse) {
  AddRaster(10, 20, 60, 80);
  AddRaster(100, 100, 140, 150);
  SetExtent(0, 0, 300, 200);
  ExpectGolden("embedded-image.svg", Saved(kSaveFormatEmbedImages));
}

TEST_F(WriteObjectTest, LinkedImagesMoveIntoADirectoryBesideTheFile) {
  const std::string temp = folder_.Path("tmp");
  ASSERT_EQ(mkdir(temp.c_str(), 0777), 0);
  writertest::ScopedTempDirectory tmpdir(temp + "/");
  AddRaster(10, 20, 60, 80);
  AddRaster(100, 100, 140, 150);
  SetExtent(0, 0, 300, 200);
  const std::string text = Saved();

  // Both temporary files now sit in drawing/, none is left behind.
  EXPECT_TRUE(writertest::FolderIsEmpty(temp));
  const std::vector<std::string> moved = writertest::FolderEntries(folder_.Path("drawing"));
  ASSERT_EQ(moved.size(), 2u);
  for (const std::string& name : moved) {
    SCOPED_TRACE(name);
    EXPECT_EQ(name.rfind("svg", 0), 0u);
    EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
    EXPECT_EQ(writertest::ReadFile(folder_.Path("drawing/" + name)), writertest::FixedPng());
  }
  // In writing order: the first image's name appears first.
  std::vector<std::string> order = moved;
  if (text.find(order[0]) > text.find(order[1])) std::swap(order[0], order[1]);
  ExpectGolden("linked-image.svg", text,
               {{"@TEMPNAME1@", order[0]},
                {"@TEMPNAME2@", order[1]},
                {"@TEMPPATH1@", temp + "/" + order[0]},
                {"@TEMPPATH2@", temp + "/" + order[1]}});
}

TEST_F(WriteObjectTest, LinkedImageThatCannotBePlacedWritesNothing) {
  const std::string temp = folder_.Path("tmp");
  ASSERT_EQ(mkdir(temp.c_str(), 0777), 0);
  writertest::ScopedTempDirectory tmpdir(temp + "/");
  // A plain file where the image directory should go.
  writertest::WriteFile(folder_.Path("drawing"), "in the way");
  AddRaster(10, 20, 60, 80);
  SetExtent(0, 0, 300, 200);
  std::string text;
  EXPECT_EQ(Save("drawing.svg", &text), kErrImagePlacement);
  EXPECT_EQ(ObjectsOf(text), "");
  EXPECT_TRUE(writertest::FolderIsEmpty(temp));
}

TEST_F(WriteObjectTest, FailedExportIsTheObjectsResult) {
  request_->exportToFile = writertest::RefusingExportToFile;
  AddRaster(10, 20, 60, 80);
  SetExtent(0, 0, 300, 200);
  std::string text;
  EXPECT_EQ(Save("drawing.svg", &text), writertest::kExportRefused);
  EXPECT_EQ(ObjectsOf(text), "");
}

TEST_F(WriteObjectTest, TenthEmbeddedImageIsImage0010) {
  for (int i = 0; i < 10; ++i) AddRaster(i, 0, i + 1, 1);
  SetExtent(0, 0, 10, 1);
  const std::string text = Saved(kSaveFormatEmbedImages);
  EXPECT_NE(text.find("<image id=\"Image009\" "), std::string::npos);
  EXPECT_NE(text.find("<image id=\"Image0010\" "), std::string::npos);
  EXPECT_NE(text.find("<use xlink:href=\"#Image0010\" />"), std::string::npos);
}

TEST_F(WriteObjectTest, TinyCoordinatesPrintAsZero) {
  auto point = Init<VectorPointObject>(kVoPoint);
  point.point = Pt(0.000004, 9.999996);
  Add(kVoPoint, point);
  SetExtent(0, 0, 10, 10);
  EXPECT_EQ(Element(), "\t<circle cx=\"0\" cy=\"0\" r=\"0\" stroke=\"#000000\" stroke-width=\"1\" />\r\n");
}

TEST_F(WriteObjectTest, ReversedRectangleCornersWriteTheSameRect) {
  auto inOrder = Init<VectorRectObject>(kVoRect);
  inOrder.corner1 = Pt(10, 20);
  inOrder.corner2 = Pt(40, 60);
  Add(kVoRect, inOrder);
  auto reversed = Init<VectorRectObject>(kVoRect);
  reversed.corner1 = Pt(40, 60);
  reversed.corner2 = Pt(10, 20);
  Add(kVoRect, reversed);
  SetExtent(0, 0, 100, 100);
  const std::string one =
      "\t<rect x=\"10\" y=\"40\" width=\"30\" height=\"40\" fill=\"#FFFFFF\" stroke=\"#000000\" "
      "stroke-width=\"1\" />\r\n";
  EXPECT_EQ(Element(), one + one);
}

TEST_F(WriteObjectTest, PointPathWalkStaysInsideItsArrays) {
  struct Case {
    const char* name;
    std::vector<KernelPoint> points;
    std::vector<std::uint8_t> kinds;
    const char* d;  // null: no element
  };
  const Case cases[] = {
      {"closed triangle", {Pt(10, 80), Pt(30, 80), Pt(20, 95)},
       {kPtMoveTo, kPtLineTo, kPtLineTo | kPtCloseFigure}, "M10,20 L30,20 L20,5 Z"},
      {"curve", {Pt(0, 100), Pt(1, 98), Pt(3, 96), Pt(5, 94)},
       {kPtMoveTo, kPtBezierTo, kPtBezierTo, kPtBezierTo}, "M0,0 C1,2 3,4 5,6 "},
      {"kind bytes without a segment are skipped", {Pt(0, 100), Pt(7, 7), Pt(5, 95)},
       {kPtMoveTo, 0, kPtLineTo}, "M0,0 L5,5 "},
      {"curve short of points ends the path", {Pt(0, 100), Pt(1, 99), Pt(2, 98)},
       {kPtMoveTo, kPtBezierTo, kPtBezierTo}, "M0,0 "},
      {"close bit on a byte without a segment", {Pt(0, 100), Pt(4, 96), Pt(9, 9)},
       {kPtMoveTo, kPtLineTo, kPtCloseFigure}, "M0,0 L4,4 Z"},
      {"only bytes without a segment", {Pt(0, 100), Pt(1, 1)}, {0, 0}, nullptr},
      {"curve alone at the start", {Pt(0, 100), Pt(1, 99)}, {kPtBezierTo, kPtBezierTo}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VectorFree(&document_);
    document_ = VectorDocument{};
    ASSERT_EQ(VectorInit(&document_), kOk);
    AddPath(c.points, c.kinds);
    SetExtent(0, 0, 100, 100);
    const std::string element = Element();
    if (c.d == nullptr) {
      EXPECT_EQ(element, "");
    } else {
      EXPECT_EQ(element, std::string("\t<path d=\"") + c.d +
                             "\" fill=\"#FFFFFF\" stroke=\"#000000\" stroke-width=\"1\" />\r\n");
    }
  }
}

TEST_F(WriteObjectTest, CurvesTheKernelConvertsBecomePaths) {
  struct Case {
    std::int32_t type;
    bool filled;
  };
  const Case cases[] = {{kVoPolyBezier, false}, {kVoArc, false},    {kVoClosedBezier, true},
                        {kVoPie, true},         {kVoSpline, false}, {kVoClosedSpline, false}};
  KernelPoint points[4] = {Pt(0, 0), Pt(10, 40), Pt(30, 40), Pt(40, 0)};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    VectorFree(&document_);
    document_ = VectorDocument{};
    ASSERT_EQ(VectorInit(&document_), kOk);
    switch (c.type) {
      case kVoPolyBezier:
      case kVoSpline: {
        auto record = Init<VectorPolylineObject>(c.type);
        record.count = 4;
        record.points = points;
        Add(c.type, record);
        break;
      }
      case kVoClosedBezier:
      case kVoClosedSpline: {
        auto record = Init<VectorPolygonObject>(c.type);
        record.count = 4;
        record.points = points;
        record.brush.w[3] = 0x000080FF;
        Add(c.type, record);
        break;
      }
      case kVoArc: {
        auto record = Init<VectorArcObject>(c.type);
        record.centre = Pt(50, 50);
        record.rx = 20;
        record.ry = 10;
        record.extent = 90;
        Add(c.type, record);
        break;
      }
      default: {
        auto record = Init<VectorPieObject>(c.type);
        record.centre = Pt(50, 50);
        record.rx = 20;
        record.ry = 20;
        record.extent = 120;
        record.brush.w[3] = 0x000080FF;
        Add(c.type, record);
        break;
      }
    }
    SetExtent(0, 0, 100, 100);
    const std::string element = Element();
    EXPECT_EQ(element.rfind("\t<path d=\"M", 0), 0u) << element;
    // Only the closed kinds are filled, with their brush.
    EXPECT_EQ(element.find("fill=\"#FF8000\" ") != std::string::npos, c.filled) << element;
    EXPECT_EQ(element.find("fill=") != std::string::npos, c.filled) << element;
    EXPECT_NE(element.find("stroke=\"#000000\" stroke-width=\"1\" />\r\n"), std::string::npos);
  }
}

TEST(StrokeFromPen, WidthIsScaledAboveOneAndCutToOneDecimal) {
  const struct {
    std::int32_t width;
    double scale;
    const char* expected;
  } cases[] = {
      {1, 0.5, "stroke=\"#000000\" stroke-width=\"1\" "},
      {3, 0.5, "stroke=\"#000000\" stroke-width=\"1.5\" "},
      {3, 870.0 / 2000, "stroke=\"#000000\" stroke-width=\"1.3\" "},
      {7, 1.0, "stroke=\"#000000\" stroke-width=\"7\" "},
      {0, 0.5, "stroke=\"#000000\" "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    VectorPen pen{};
    pen.width = c.width;
    StrokeRecord stroke = StrokeFromPen(pen, c.scale);
    OutputBuffer out{};
    InitOutputBuffer(&out);
    EXPECT_EQ(WriteStroke(&out, &stroke), kOk);
    EXPECT_EQ(std::string(out.text, out.length), c.expected);
    FreeOutputText(&out);
    ReleaseStroke(&stroke);
  }
}

TEST(ElementWriters, RefuseTooFewPointsAndTakeTwoForAQuadratic) {
  OutputBuffer out{};
  InitOutputBuffer(&out);
  const OutPoint one[1] = {{1, 2}};
  const std::int32_t commands[2] = {kCommandMove, kCommandCubic};
  EXPECT_EQ(WritePolyline(&out, one, 1, nullptr), kErrMissing);
  EXPECT_EQ(WritePolygon(&out, one, 1, nullptr, nullptr), kErrMissing);
  EXPECT_EQ(WritePath(&out, one, 1, commands, 0, nullptr, nullptr), kErrMissing);
  EXPECT_EQ(WritePath(&out, one, 1, commands, 2, nullptr, nullptr), kErrMissing);
  EXPECT_EQ(out.length, 0u);
  // Quadratic commands take two points.
  const OutPoint points[3] = {{0, 0}, {1, 2}, {3, 4}};
  const std::int32_t quad[3] = {kCommandMove, kCommandQuad, kCommandClose};
  EXPECT_EQ(WritePath(&out, points, 3, quad, 3, nullptr, nullptr), kOk);
  EXPECT_EQ(std::string(out.text, out.length), "<path d=\"M0,0 Q1,2 3,4 Z\" />\r\n");
  FreeOutputText(&out);
}

TEST(Base64Encode, CompletesTheLastGroupWithoutEquals) {
  const struct {
    std::string data;
    const char* text;
    std::size_t length;
  } cases[] = {
      {"", "", 0},
      {"abc", "YWJj", 4},
      {"abcd", "YWJjZAAA", 6},
      {"abcde", "YWJjZGUA", 7},
      {std::string("\xff", 1), "/wAA", 2},
      {std::string("\xfb\xff\xbf", 3), "+/+/", 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    char output[32];
    const std::size_t length = Base64Encode(reinterpret_cast<const std::uint8_t*>(c.data.data()),
                                            c.data.size(), output);
    EXPECT_STREQ(output, c.text);
    EXPECT_EQ(length, c.length);
  }
}

TEST(EscapeMarkup, EscapesAmpersandAndAngleBracketsOnly) {
  const char text[] = "a<b & c > \"d\" 'e'";
  char output[sizeof text * 5];
  const std::size_t n = EscapeMarkup(text, sizeof text - 1, output);
  EXPECT_EQ(std::string(output, n), "a&lt;b &amp; c &gt; \"d\" 'e'");
}

TEST(FontFromLogFont, MapsWeightAngleAndStyle) {
  const struct {
    std::int32_t weight;
    std::int32_t escapement;
    std::int32_t expectedWeight;
    std::int32_t expectedAngle;
  } cases[] = {{100, 455, 5, 45}, {400, 0, 8, 0}, {700, -455, 11, -45}, {900, 3599, 13, 359},
               {0, 9, 0, 0},      {450, 0, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.weight);
    VectorLogFont logFont{};
    logFont.weight = c.weight;
    logFont.escapement = c.escapement;
    logFont.italic = 1;
    FontRecord font = FontFromLogFont(logFont);
    EXPECT_EQ(font.weight, c.expectedWeight);
    EXPECT_EQ(font.angle, c.expectedAngle);
    EXPECT_EQ(font.style, 2);
    EXPECT_EQ(font.family, nullptr);  // no face name
    ReleaseFont(&font);
  }
}

TEST_F(WriteObjectTest, NegativeFontHeightGivesTheSameSize) {
  AddText(u"x", Pt(0, 0), -14.7, kAlignStart, nullptr, 0, 0);
  AddText(u"x", Pt(0, 0), 14.7, kAlignStart, nullptr, 0, 0);
  SetExtent(0, 0, 10, 10);
  const std::string text = Element();
  const std::size_t first = text.find("font-size=\"14\" ");
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_NE(text.find("font-size=\"14\" ", first + 1), std::string::npos) << text;
  EXPECT_EQ(text.find("transform="), std::string::npos);
}

}  // namespace
}  // namespace svgflt
