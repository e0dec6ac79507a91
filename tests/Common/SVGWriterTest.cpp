#include "Common/SVGWriter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "Common/WriterTestSupport.h"

namespace svgflt {
namespace {

using writertest::ExpectGolden;
using writertest::ObjectsOf;
using writertest::Pt;

class WriteObjectTest : public writertest::WriterFixture {
 protected:
  void AddPath(std::vector<KernelPoint> points, std::vector<std::uint8_t> kinds) {
    const auto count = static_cast<std::int32_t>(points.size());
    Add<VectorPathObject>(kVoPath, [&](auto& r) { r.count = count; r.points = points.data(); r.kinds = kinds.data(); });
  }
  void AddText(const char16_t* text, KernelPoint at, double size, std::int32_t alignment,
               const char16_t* face, std::int32_t weight, std::int32_t escapement,
               bool italicAndUnderline = false, std::uint32_t penStyle = kPenSolid) {
    Add<VectorTextObject>(kVoText, [&](auto& r) {
      r.text = text;
      r.position = at;
      r.fontSize = size;
      r.alignment = alignment;
      r.font.weight = weight;
      r.font.escapement = escapement;
      r.font.italic = r.font.underline = italicAndUnderline ? 1 : 0;
      if (face != nullptr) std::memcpy(r.font.faceName, face, std::char_traits<char16_t>::length(face) * 2);
      r.brush.w[3] = 0;  // black
      r.pen.style = penStyle;
    });
  }
};

TEST_F(WriteObjectTest, ShapesOfEveryDirectKind) {
  KernelPoint open[3] = {Pt(0, 0), Pt(50, 25), Pt(100, 0)};
  KernelPoint curve[4] = {Pt(0, 0), Pt(10, 40), Pt(30, 40), Pt(40, 0)};
  KernelPoint triangles[2][3] = {{Pt(10, 10), Pt(60, 10), Pt(35, 60)},
                                        {Pt(110, 10), Pt(160, 10), Pt(135, 60)}};
  Add<VectorPointObject>(kVoPoint, [&](auto& r) { r.point = Pt(10, 20); });
  Add<VectorLineObject>(kVoLine, [&](auto& r) { r.from = Pt(0, 0); r.to = Pt(100, 50); });
  Add<VectorRectObject>(kVoRect, [&](auto& r) { r.corner1 = Pt(120, 80); r.corner2 = Pt(20, 10); });
  Add<VectorPolylineObject>(kVoPolyline, [&](auto& r) { r.count = 3; r.points = open; });
  Add<VectorPolylineObject>(kVoBezier, [&](auto& r) { r.count = 4; r.points = curve; });
  for (const std::int32_t mode : {kFillAlternate, kFillWinding}) {
    Add<VectorPolygonObject>(kVoPolygon, [&](auto& r) {
      r.count = 3;
      r.points = triangles[mode == kFillAlternate ? 0 : 1];
      r.fillMode = mode;
      r.brush.w[3] = 0x000080FF;  // orange
    });
  }
  // Radii are written as magnitudes.
  Add<VectorEllipseObject>(kVoEllipse, [&](auto& r) { r.centre = Pt(150, 50); r.rx = -30; r.ry = 20; });
  Add<VectorCircleObject>(kVoCircle, [&](auto& r) { r.centre = Pt(200, 100); r.r = 25; });
  AddPath({Pt(0, 0), Pt(50, 0), Pt(60, 10), Pt(60, 20), Pt(50, 30), Pt(100, 100), Pt(110, 100)},
          {kPtMoveTo, kPtLineTo, kPtBezierTo, kPtBezierTo, kPtBezierTo | kPtCloseFigure, kPtMoveTo,
           kPtLineTo | kPtCloseFigure});
  // Neither a clip outline nor a group object leaves a trace.
  KernelPoint clipPoints[3] = {Pt(0, 0), Pt(10, 0), Pt(10, 10)};
  std::uint8_t clipKinds[3] = {kPtMoveTo, kPtLineTo, kPtLineTo | kPtCloseFigure};
  const VectorPointPath clip{3, clipPoints, clipKinds};
  ASSERT_EQ(VectorSetClip(&document_, &clip), kOk);
  Add<VectorGroupObject>(kVoGroupObject, [](auto&) {});
  // A coordinate of 0.000004 prints as 0.
  Add<VectorPointObject>(kVoPoint, [&](auto& r) { r.point = Pt(0.000004, 199.999996); });
  // Point paths whose kind bytes run short of points or carry no segment:
  // the walk skips those bytes and ends with the arrays.
  const std::uint8_t none = 0;
  AddPath({Pt(0, 200), Pt(7, 7), Pt(5, 195)}, {kPtMoveTo, none, kPtLineTo});
  AddPath({Pt(0, 200), Pt(1, 199), Pt(2, 198)}, {kPtMoveTo, kPtBezierTo, kPtBezierTo});
  AddPath({Pt(0, 200), Pt(4, 196), Pt(9, 9)}, {kPtMoveTo, kPtLineTo, kPtCloseFigure});
  AddPath({Pt(0, 200), Pt(1, 1)}, {none, none});
  AddPath({Pt(0, 200), Pt(1, 199)}, {kPtBezierTo, kPtBezierTo});
  // Curves, arcs and pies come through the kernel as point paths; only the
  // closed kinds are filled.
  for (const std::int32_t type : {kVoPolyBezier, kVoSpline})
    Add<VectorPolylineObject>(type, [&](auto& r) { r.count = 4; r.points = curve; });
  Add<VectorArcObject>(kVoArc, [&](auto& r) { r.centre = Pt(50, 50); r.rx = 20; r.ry = 10; r.extent = 90; });
  for (const std::int32_t type : {kVoClosedSpline, kVoClosedBezier})
    Add<VectorPolygonObject>(type, [&](auto& r) { r.count = 4; r.points = curve; r.brush.w[3] = 0x000080FF; });
  Add<VectorPieObject>(kVoPie, [&](auto& r) { r.rx = r.ry = 20; r.extent = 120; r.brush.w[3] = 0x000080FF; });
  SetExtent(0, 0, 300, 200);
  ExpectGolden("shapes.svg", Saved());
}

TEST_F(WriteObjectTest, PensWithDashesCapsAndJoins) {
  const struct { std::uint32_t style; std::int32_t width; std::uint32_t colour; } pens[] = {{kPenDash, 1, 0}, {kPenDot, 1, 0x0000FF}, {kPenDashDot, 1, 0}, {kPenDashDotDot, 1, 0},
              {kPenNull | kPenCapSquare, 5, 0}, {kPenSolid | kPenCapSquare | kPenJoinBevel, 3, 0},
              {kPenSolid | kPenCapFlat | kPenJoinMiter, 2, 0},
              {kPenSolid | kPenCapRound | kPenJoinRound, 4, 0}, {kPenSolid, 0, 0}};
  double y = 0;
  for (const auto& pen : pens) {
    Add<VectorLineObject>(kVoLine, [&](auto& r) {
      r.from = Pt(0, y);
      r.to = Pt(100, y);
      std::tie(r.pen.style, r.pen.width, r.pen.colour) = std::tie(pen.style, pen.width, pen.colour);
    });
    y += 10;
  }
  SetExtent(0, 0, 300, 200);
  ExpectGolden("pens.svg", Saved());
}

// Six hatches (the brush colour never written for them), hollow, solid.
TEST_F(WriteObjectTest, HatchedHollowAndSolidBrushes) {
  for (int i = 0; i < 8; ++i) {
    Add<VectorRectObject>(kVoRect, [&](auto& r) {
      r.corner1 = Pt(0, i * 20);
      r.corner2 = Pt(10, i * 20 + 10);
      r.brush.w[2] = i < 6 ? kBrushHatched : i == 6 ? kBrushHollow : r.brush.w[2];
      r.brush.w[3] = i < 6 ? 0x00123456 : i == 7 ? 0x00996633 : r.brush.w[3];
      r.brush.w[4] = i < 6 ? i : r.brush.w[4];
    });
  }
  SetExtent(0, 0, 300, 200);
  ExpectGolden("brushes.svg", Saved());
}

// Escapes, rotation, weight, anchor, style, a negative height written as
// the positive size.
TEST_F(WriteObjectTest, TextWithEscapesRotationWeightAndAnchor) {
  AddText(u"a<b & c", Pt(10, 50), 12, kAlignStart, u"Sans", 700, 0);
  AddText(u"1 > 0", Pt(100, 100), -20, kAlignEnd | kAlignVerticalCentre, u"Serif Display", 0, 455,
          true, kPenNull);
  AddText(u"quote \"x\" 'y' caf\u00e9", Pt(150, 150), 9.9, kAlignMiddle, nullptr, 400, 0);
  // Weights in hundreds map to their keyword; others, and tenths of a degree
  // short of a degree, are left out.
  AddText(u"w", Pt(10, 10), 8, kAlignStart, nullptr, 100, 3599);
  AddText(u"x", Pt(10, 20), 8, kAlignStart, nullptr, 900, -455);
  AddText(u"y", Pt(10, 30), 8, kAlignStart, nullptr, 450, 9);
  SetExtent(0, 0, 300, 200);
  ExpectGolden("text.svg", Saved());
}

TEST_F(WriteObjectTest, EmbeddedImagesAreNumberedAndShownThroughUse) {
  AddRaster(10, 20, 60, 80);
  AddRaster(100, 100, 140, 150);
  SetExtent(0, 0, 300, 200);
  ExpectGolden("embedded-image.svg", Saved(kSaveFormatEmbedImages));
  // The tenth is Image0010.
  for (int i = 2; i < 10; ++i) AddRaster(i, 0, i + 1, 1);
  const std::string text = Saved(kSaveFormatEmbedImages);
  EXPECT_NE(text.find("<image id=\"Image009\" "), std::string::npos);
  EXPECT_NE(text.find("<use xlink:href=\"#Image0010\" />"), std::string::npos);
}

TEST_F(WriteObjectTest, LinkedImagesMoveIntoADirectoryBesideTheFile) {
  AddRaster(10, 20, 60, 80);
  AddRaster(100, 100, 140, 150);
  SetExtent(0, 0, 300, 200);
  const std::string text = Saved();
  // Both temporary files now sit in drawing/ (none is left behind in tmp).
  std::vector<std::string> moved = writertest::FolderEntries(folder_.Path("drawing"));
  ASSERT_EQ(moved.size(), 2u);
  for (const std::string& name : moved) {
    // "svg", hex digits, ".tmp".
    EXPECT_EQ(name.substr(0, 3) + name.substr(name.size() - 4), "svg.tmp") << name;
    EXPECT_EQ(name.find_first_not_of("0123456789ABCDEFabcdef", 3), name.size() - 4) << name;
    EXPECT_EQ(writertest::ReadFile(folder_.Path("drawing/" + name)), writertest::kFixedPng);
  }
  // The fresh names, in writing order, and the temporary folder masked.
  if (text.find(moved[0]) > text.find(moved[1])) std::swap(moved[0], moved[1]);
  std::string masked = writertest::Replace(text, temp_ + "/" + moved[0], "@TEMPPATH1@");
  masked = writertest::Replace(masked, temp_ + "/" + moved[1], "@TEMPPATH2@");
  masked = writertest::Replace(masked, moved[0], "@TEMPNAME1@");
  ExpectGolden("linked-image.svg", writertest::Replace(masked, moved[1], "@TEMPNAME2@"));
}

// An image that cannot be placed (a plain file where its directory should
// go), or whose export fails, writes nothing and is the object's result.
TEST_F(WriteObjectTest, ImageThatCannotBeWrittenWritesNothing) {
  AddRaster(10, 20, 60, 80);
  SetExtent(0, 0, 300, 200);
  std::ofstream(folder_.Path("drawing")) << "in the way";
  std::string text;
  EXPECT_EQ(Save("drawing.svg", &text), kErrImagePlacement);
  EXPECT_EQ(ObjectsOf(text), "");
  request_.exportToFile = writertest::RefusingExportToFile;
  EXPECT_EQ(Save("other.svg", &text), writertest::kExportRefused);
  EXPECT_EQ(ObjectsOf(text), "");
}

// The last group is completed with zero bits, without "=" (the embedded
// image golden file has one byte over, these none and two).
TEST(Base64Encode, CompletesTheLastGroupWithoutEquals) {
  const std::pair<std::string, std::string> cases[] = {{"\xfb\xff\xbf", "+/+/"}, {"abcde", "YWJjZGUA"}};
  for (const auto& [data, text] : cases) {
    char output[16];
    const std::size_t length =
        Base64Encode(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), output);
    EXPECT_EQ(std::string(output, length), text.substr(0, (data.size() * 4 + 2) / 3));
    EXPECT_STREQ(output, text.c_str());
  }
}

}  // namespace
}  // namespace svgflt
