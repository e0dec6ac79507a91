// svgfilter render: argument handling, output naming, error reporting and
// the raster it writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "Module/TempFiles.h"
#include "svgfilter/FilterStatus.h"
#include "tools/CommandRun.h"
#include "tools/Commands.h"

namespace svgtool {
namespace {

using testing::CommandRun;
using testing::ErrorLine;
using testing::OwnedBitmap;
using testing::ReadPicture;
using testing::RunCommand;

CommandRun Render(std::vector<std::string> args) { return RunCommand(CmdRender, std::move(args)); }

// Width and height of a PNG file; 0 x 0 when it cannot be read.
std::pair<std::int32_t, std::int32_t> PngSize(const std::string& path) {
  OwnedBitmap bitmap;
  if (ReadPicture(path, &bitmap) != svgflt::kOk) return {0, 0};
  return {bitmap.record.width, bitmap.record.height};
}

TEST(RenderCommand, AnswersUsageErrorsWithStatusTwoAndHelpWithZero) {
  svgtest::TempFolder folder;
  const std::string plainFile = folder.Write("taken", "x");
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"a.svg"},
      {"-o", "out.png"},
      {"a.svg", "-o"},
      {"a.svg", "-o", "out.png", "--width", "0"},
      {"a.svg", "-o", "out.png", "--height", "tall"},
      {"a.svg", "-o", "out.png", "--json"},
      {"a.svg", "-o", "out.png", "--vector"},
      {"a.svg", "b.svg", "-o", plainFile},  // several files need a folder
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const CommandRun run = Render(args);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_NE(run.err.find("svgfilter render: "), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  const CommandRun help = Render({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_EQ(help.out.rfind("usage: svgfilter render", 0), 0u);
  EXPECT_EQ(help.err, "");
}

TEST(RenderCommand, ReportsEachFailingFileAndAModuleThatDoesNotOpen) {
  svgtest::TempFolder folder;
  const std::string notSvg = folder.Write("notes.txt", svgtest::PadTo("plain text", 400));
  const std::string missing = folder.Path("missing.svg");
  const std::string out = folder.Path("pngs");
  const CommandRun run = Render({notSvg, missing, "-o", out});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, ErrorLine(notSvg, svgflt::kErrNotSvg) + ErrorLine(missing, svgflt::kErrRead));
  EXPECT_TRUE(std::filesystem::is_directory(out)) << "the output folder is made";
  EXPECT_FALSE(std::filesystem::exists(folder.Path("pngs/notes.png")));

  const std::string svg = folder.Write("a.svg", svgtest::SmallSvg());
  const CommandRun noModule =
      Render({"--module", folder.Path("none.so"), svg, "-o", folder.Path("a.png")});
  EXPECT_EQ(noModule.exitStatus, 1);
  EXPECT_NE(noModule.err.find("cannot open module"), std::string::npos) << noModule.err;
}

TEST(RenderCommand, WritesEachRasterAtTheRequestedSizeNamedAfterItsInput) {
  svgtest::TempFolder folder;
  const std::string first = folder.Write("first.svg", svgtest::SmallSvg());
  const std::string second = folder.Write("second.drawing.svg", svgtest::SmallSvg());
  const std::string png = folder.Path("a.png");
  CommandRun run = Render({"--width", "120", "--height", "70", first, "-o", png});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(PngSize(png), std::make_pair(120, 70));

  run = Render({first, second, "--width", "8", "--height", "6", "-o", folder.Path("out")});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(PngSize(folder.Path("out/first.png")), std::make_pair(8, 6));
  EXPECT_EQ(PngSize(folder.Path("out/second.drawing.png")), std::make_pair(8, 6));
}

// A picture linked beside the SVG file shows in the render: fltInfo cannot
// load linked files, so the command must not paint fltInfo's document.
TEST(RenderCommand, ShowsLinkedPictures) {
  svgtest::TempFolder folder;
  OwnedBitmap red;
  ASSERT_EQ(InitBitmap(&red.record, static_cast<std::int32_t>(sizeof red.record), 4, 4, 24),
            svgflt::kOk);
  ASSERT_EQ(AllocateBitmap(&red.record, 1), svgflt::kOk);
  ASSERT_EQ(FillBitmap(&red.record, 0x0000FF), svgflt::kOk);
  const std::u16string pictureName = ToUtf16(folder.Path("red.png"));
  ASSERT_EQ(ExportToFile(pictureName.c_str(), &red.record, kFormatPng, 24, 0, 0), svgflt::kOk);
  const std::string svg = folder.Write(
      "linked.svg",
      "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
      "width=\"100\" height=\"50\">\n"
      "  <!-- a blue square on the right, the linked red picture on the left -->\n"
      "  <rect x=\"50\" y=\"0\" width=\"50\" height=\"50\" fill=\"blue\"/>\n"
      "  <image x=\"0\" y=\"0\" width=\"50\" height=\"50\" xlink:href=\"red.png\"/>\n"
      "  <desc>padding so that the file is longer than the 256 bytes format detection reads</desc>\n"
      "</svg>\n");
  const std::string png = folder.Path("linked.png");
  const CommandRun run = Render({"--width", "100", "--height", "50", svg, "-o", png});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  OwnedBitmap out;
  ASSERT_EQ(ReadPicture(png, &out), svgflt::kOk);
  EXPECT_EQ(out.Rgb(20, 25), (std::vector<int>{255, 0, 0}));
  EXPECT_EQ(out.Rgb(80, 25), (std::vector<int>{0, 0, 255}));
}

}  // namespace
}  // namespace svgtool
