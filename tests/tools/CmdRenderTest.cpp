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

// Width and height of a PNG file; 0 x 0 when it cannot be read.
std::vector<std::int32_t> PngSize(const std::string& path) {
  OwnedBitmap bitmap;
  if (ReadPicture(path, &bitmap) != svgflt::kOk) return {0, 0};
  return {bitmap.record.width, bitmap.record.height};
}

TEST(RenderCommand, AnswersUsageErrorsWithStatusTwoAndHelpWithZero) {
  svgtest::TempFolder folder;
  testing::ExpectUsageErrorsAndHelp(
      CmdRender,
      {{}, {"a.svg"}, {"-o", "out.png"}, {"a.svg", "-o"},
       {"a.svg", "-o", "out.png", "--width", "0"}, {"a.svg", "-o", "out.png", "--height", "tall"},
       {"a.svg", "-o", "out.png", "--json"}, {"a.svg", "-o", "out.png", "--vector"},
       {"a.svg", "b.svg", "-o", folder.Write("taken", "x")}},  // several files need a folder
      "svgfilter render: ", "usage: svgfilter render");
}

TEST(RenderCommand, WritesEachRasterNamedAfterItsInputAndReportsEachFailingFile) {
  svgtest::TempFolder folder;
  const std::string first = folder.Write("first.svg", svgtest::SmallSvg());
  const std::string second = folder.Write("second.drawing.svg", svgtest::SmallSvg());
  const std::string png = folder.Path("a.png");
  CommandRun run = RunCommand(CmdRender, {"--width", "120", "--height", "70", first, "-o", png});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(PngSize(png), (std::vector<std::int32_t>{120, 70}));
  // One side given, the other follows the drawing's 2:1; none, it fits 640 x 480. A
  // raster beyond 16,384 pixels a side or 256 MiB (16,384 x 5,462 at 3 bytes a pixel)
  // is refused before anything is painted.
  const std::vector<std::pair<std::vector<std::string>, std::vector<std::int32_t>>> sizes = {
      {{"--width", "100"}, {100, 50}},          {{"--height", "25"}, {50, 25}},
      {{}, {640, 320}},                         {{"--width", "16384", "--height", "1"}, {16384, 1}},
      {{"--width", "16385", "--height", "1"}, {}}, {{"--width", "16384", "--height", "5462"}, {}}};
  for (auto [args, size] : sizes) {
    SCOPED_TRACE(::testing::PrintToString(args));
    args.insert(args.end(), {first, "-o", png});
    run = RunCommand(CmdRender, args);
    EXPECT_EQ(run.exitStatus, size.empty() ? 1 : 0) << run.err;
    if (size.empty()) {
      EXPECT_NE(run.err.find("error " + std::to_string(kErrPictureTooLarge)), std::string::npos);
    } else {
      EXPECT_EQ(PngSize(png), size);
    }
  }

  const std::string notSvg = folder.Write("notes.txt", svgtest::PadTo("plain text", 400));
  const std::string missing = folder.Path("missing.svg");
  run = RunCommand(CmdRender, {first, notSvg, missing, second, "--width", "8", "--height", "6",
                               "-o", folder.Path("out")});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, ErrorLine(notSvg, svgflt::kErrNotSvg) + ErrorLine(missing, svgflt::kErrRead));
  EXPECT_EQ(PngSize(folder.Path("out/first.png")), (std::vector<std::int32_t>{8, 6}));
  EXPECT_EQ(PngSize(folder.Path("out/second.drawing.png")), (std::vector<std::int32_t>{8, 6}));
  EXPECT_FALSE(std::filesystem::exists(folder.Path("out/notes.png")));

  run = RunCommand(CmdRender, {"--module", folder.Path("none.so"), first, "-o", png});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.err.find("cannot open module"), std::string::npos) << run.err;
}

// A picture linked beside the SVG file shows in the render, top left: fltInfo
// cannot load linked files, so the command must not paint fltInfo's document.
// The square bottom right shows the raster neither mirrored nor upside down.
TEST(RenderCommand, ShowsLinkedPicturesInPlace) {
  svgtest::TempFolder folder;
  std::vector<std::uint8_t> red(4 * 4 * 3, 0);
  for (std::size_t i = 0; i < red.size(); i += 3) red[i] = 255;
  ASSERT_EQ(WriteRgbPng(folder.Path("red.png"), 4, 4, red), svgflt::kOk);
  const std::string svg = folder.Write(
      "linked.svg",
      svgtest::PadTo("<svg xmlns=\"http://www.w3.org/2000/svg\" "
                     "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"100\" height=\"50\">\n"
                     "<rect x=\"50\" y=\"25\" width=\"50\" height=\"25\" fill=\"blue\"/>\n"
                     "<image width=\"50\" height=\"25\" xlink:href=\"red.png\"/>\n</svg>\n",
                     300));
  const std::string png = folder.Path("linked.png");
  ASSERT_EQ(RunCommand(CmdRender, {"--width", "100", "--height", "50", svg, "-o", png}).exitStatus,
            0);
  OwnedBitmap out;
  ASSERT_EQ(ReadPicture(png, &out), svgflt::kOk);
  EXPECT_EQ(out.Rgb(20, 10), (std::vector<int>{255, 0, 0}));
  EXPECT_EQ(out.Rgb(80, 40), (std::vector<int>{0, 0, 255}));
  EXPECT_EQ(out.Rgb(20, 40), (std::vector<int>{255, 255, 255}));
  EXPECT_EQ(out.Rgb(80, 10), (std::vector<int>{255, 255, 255}));
}

}  // namespace
}  // namespace svgtool
