// svgfilter dump: the JSON line of each kind of vector object, and the
// command's handling of its arguments.
#include "tools/CmdDump.h"

#include <gtest/gtest.h>

#include <cstdio>
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
}

TEST_F(DumpDocument, WritesOneLinePerObjectInOrderAndReportsAnUnknownObject) {
  VectorCircleObject circle{};
  ASSERT_EQ(VectorInitObject(&circle, kVoCircle), kOk);
  circle.centre = Pt(1, 2);
  circle.r = 0.1;
  VectorEllipseObject ellipse{};
  ASSERT_EQ(VectorInitObject(&ellipse, kVoEllipse), kOk);
  ellipse.rx = 4;
  ellipse.ry = 2;
  VectorObjectRef id = 0;
  ASSERT_EQ(VectorAddObject(&document_, 0, kVoCircle, &circle, &id), kOk);
  ASSERT_EQ(VectorAddObject(&document_, 0, kVoEllipse, &ellipse, &id), kOk);
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(WriteObjectLines(&document_, out), kOk);
  std::string written(static_cast<std::size_t>(std::ftell(out)), '\0');
  std::rewind(out);
  EXPECT_EQ(std::fread(written.data(), 1, written.size(), out), written.size());
  std::fclose(out);
  EXPECT_EQ(written.rfind("{\"type\":8,\"name\":\"circle\",\"id\":1,", 0), 0u) << written;
  const std::size_t second = written.find("}\n{\"type\":7,\"name\":\"ellipse\",\"id\":2,");
  ASSERT_NE(second, std::string::npos) << written;
  EXPECT_NE(written.find("\"points\":[[1,2]],\"r\":0.1,"), std::string::npos) << written;
  EXPECT_NE(written.find("\"rx\":4,\"ry\":2,", second), std::string::npos) << written;
  EXPECT_EQ(written.find('\n', second + 2), written.size() - 1);

  std::string line = "untouched";
  EXPECT_EQ(ObjectJson(&document_, VectorObjectHandle{42, kVoRect}, &line), kVkErrNoObject);
  EXPECT_EQ(line, "untouched");
}

TEST(DumpCommand, AnswersUsageErrorsHelpAndAFileThatIsNotSvg) {
  testing::ExpectUsageErrorsAndHelp(CmdDump,
                                    {{},
                                     {"a.svg", "b.svg"},
                                     {"--width", "10", "a.svg"},
                                     {"-o", "out.png", "a.svg"},
                                     {"--dpi", "0", "a.svg"},
                                     {"--allow-any-file=yes", "a.svg"}},
                                    "usage: svgfilter dump", "usage: svgfilter dump");
  svgtest::TempFolder folder;
  const std::string path = folder.Write("notes.txt", svgtest::PadTo("plain text", 400));
  const testing::CommandRun run = testing::RunCommand(CmdDump, {"--allow-any-file", path});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, testing::ErrorLine(path, svgflt::kErrNotSvg));
}

}  // namespace
}  // namespace svgtool
