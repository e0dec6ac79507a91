// svgfilter dump: the JSON line of each kind of vector object, and the
// command's handling of its arguments.
#include "tools/CmdDump.h"

#include <gtest/gtest.h>

#include <string>

#include "ImagingKernel/ImagingKernel.h"
#include "Module/TempFiles.h"
#include "tools/CommandRun.h"
#include "tools/Commands.h"

namespace svgtool {
namespace {

using svgflt::kOk;

KernelPoint Pt(double x, double y) { return KernelPoint{x, y, 0, 0}; }

// A vector document of the kernel's, freed at the end of scope.
class DumpDocument : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(VectorInit(&document_), kOk); }
  void TearDown() override { (void)VectorFree(&document_); }

  // Adds `record` (filled by the caller) and answers its JSON line.
  std::string LineOf(std::int32_t type, const void* record) {
    VectorObjectRef id = 0;
    EXPECT_EQ(VectorAddObject(&document_, 0, type, record, &id), kOk);
    std::string line;
    EXPECT_EQ(ObjectJson(&document_, VectorObjectHandle{id, type}, &line), kOk);
    return line;
  }

  VectorDocument document_{};
};

TEST_F(DumpDocument, DescribesShapesWithTheirPenBrushAndPoints) {
  VectorRectObject rect{};
  ASSERT_EQ(VectorInitObject(&rect, kVoRect), kOk);
  rect.corner1 = Pt(1.5, -2);
  rect.corner2 = Pt(10, 20.25);
  rect.pen.style = kPenDash;
  rect.pen.width = 3;
  rect.pen.colour = 0x00336699;  // red 0x99, green 0x66, blue 0x33
  rect.brush.w[0] = kBrushPlainSize;
  rect.brush.w[2] = kBrushSolid;
  rect.brush.w[3] = 0x00FF8000;
  EXPECT_EQ(LineOf(kVoRect, &rect),
            "{\"type\":3,\"name\":\"rect\",\"id\":1,\"layer\":1,\"group\":0,\"flags\":0,"
            "\"points\":[[1.5,-2],[10,20.25]],"
            "\"pen\":{\"style\":1,\"width\":3,\"colour\":\"#996633\"},"
            "\"brush\":[224,0,0,16744448,0,0]}");
  KernelPoint points[3] = {Pt(0, 0), Pt(5, 0), Pt(5, 5)};
  std::uint8_t kinds[3] = {kPtMoveTo, kPtLineTo, kPtLineTo | kPtCloseFigure};
  VectorPathObject path{};
  ASSERT_EQ(VectorInitObject(&path, kVoPath), kOk);
  path.count = 3;
  path.points = points;
  path.kinds = kinds;
  const std::string line = LineOf(kVoPath, &path);
  EXPECT_NE(line.find("\"points\":[[0,0],[5,0],[5,5]],\"kinds\":[6,2,3]"), std::string::npos)
      << line;
}

TEST_F(DumpDocument, EscapesTextAndGivesItsFont) {
  const std::u16string text = u"say \"h\u00e9\" \\ \n\t\x01 end";
  VectorTextObject record{};
  ASSERT_EQ(VectorInitObject(&record, kVoText), kOk);
  record.text = text.c_str();
  record.fontSize = 12;
  record.alignment = kAlignMiddle;
  record.escapement = 900;
  record.font.weight = 700;
  record.font.italic = 1;
  const std::u16string face = u"Deja\"Vu";
  face.copy(record.font.faceName, face.size());
  const std::string line = LineOf(kVoText, &record);
  EXPECT_NE(line.find("\"text\":\"say \\\"h\xc3\xa9\\\" \\\\ \\n\\t\\u0001 end\",\"face\":"
                      "\"Deja\\\"Vu\",\"size\":12,\"weight\":700,\"italic\":true,"
                      "\"underline\":false,\"escapement\":900,\"alignment\":2"),
            std::string::npos)
      << line;
}

TEST_F(DumpDocument, GivesRasterSizeAndLink) {
  VectorRasterObject raster{};
  ASSERT_EQ(VectorInitObject(&raster, kVoRaster), kOk);
  raster.corner2 = Pt(100, -50);
  ASSERT_EQ(InitBitmap(&raster.bitmap, static_cast<std::int32_t>(sizeof raster.bitmap), 4, 2,
                       32),
            kOk);
  ASSERT_EQ(AllocateBitmap(&raster.bitmap, 1), kOk);
  raster.h.flags = kVoFlagAlpha;
  VectorObjectRef id = 0;
  const std::int32_t added = VectorAddObject(&document_, 0, kVoRaster, &raster, &id);
  (void)FreeBitmap(&raster.bitmap);  // the kernel keeps its own copy
  ASSERT_EQ(added, kOk);
  VectorLinkRecord link{};
  link.size = static_cast<std::int32_t>(sizeof link);
  const std::u16string target = u"http://example.org/?a=1&b=\"2\"";
  target.copy(link.text, target.size());
  ASSERT_EQ(VectorSetLink(&document_, id, &link), kOk);
  std::string line;
  ASSERT_EQ(ObjectJson(&document_, VectorObjectHandle{id, kVoRaster}, &line), kOk);
  EXPECT_NE(line.find("\"flags\":32,\"points\":[[0,0],[100,-50]],\"width\":4,\"height\":2,"
                      "\"bpp\":32,\"link\":\"http://example.org/?a=1&b=\\\"2\\\"\"}"),
            std::string::npos)
      << line;
  line = "untouched";
  EXPECT_EQ(ObjectJson(&document_, VectorObjectHandle{42, kVoRect}, &line), kVkErrNoObject);
  EXPECT_EQ(line, "untouched");
}

TEST(DumpCommand, PrintsALinePerObjectAndAnswersUsageErrorsHelpAndAFileThatIsNotSvg) {
  testing::ExpectUsageErrorsAndHelp(CmdDump,
                                    {{},
                                     {"a.svg", "b.svg"},
                                     {"--width", "10", "a.svg"},
                                     {"-o", "out.png", "a.svg"},
                                     {"--dpi", "0", "a.svg"},
                                     {"--allow-any-file=yes", "a.svg"}},
                                    "usage: svgfilter dump", "usage: svgfilter dump");
  svgtest::TempFolder folder;
  const testing::CommandRun dump = testing::RunCommand(
      CmdDump, {folder.Write("a.svg", svgtest::PadTo("<svg xmlns=\"http://www.w3.org/2000/svg\" "
                                                     "width=\"200\" height=\"100\"><rect "
                                                     "width=\"200\" height=\"100\"/><circle "
                                                     "cx=\"5\" cy=\"5\" r=\"0.5\"/></svg>", 300))});
  EXPECT_EQ(dump.exitStatus, 0) << dump.err;
  EXPECT_EQ(dump.out,
            "{\"type\":3,\"name\":\"rect\",\"id\":1,\"layer\":1,\"group\":0,\"flags\":0,"
            "\"points\":[[0,0],[200,-100]],\"pen\":{\"style\":5,\"width\":1,\"colour\":\"#000000\"},"
            "\"brush\":[224,0,0,0,0,0]}\n{\"type\":8,\"name\":\"circle\",\"id\":2,\"layer\":1,"
            "\"group\":0,\"flags\":0,\"points\":[[5,-5]],\"r\":0.5,\"pen\":{\"style\":5,\"width\":1,"
            "\"colour\":\"#000000\"},\"brush\":[224,0,0,0,0,0]}\n");
  const std::string path = folder.Write("notes.txt", svgtest::PadTo("plain text", 400));
  const testing::CommandRun run = testing::RunCommand(CmdDump, {"--allow-any-file", path});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, testing::ErrorLine(path, svgflt::kErrNotSvg));
}

}  // namespace
}  // namespace svgtool
