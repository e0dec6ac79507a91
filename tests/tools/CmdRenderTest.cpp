// svgfilter render: argument handling, output naming and error reporting.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>
#include <utility>
#include <string>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "Module/TempFiles.h"
#include "tools/HostCallbacks.h"
#include "tools/Module.h"
#include "svgfilter/FilterStatus.h"
#include "tools/Commands.h"
#include "tools/CommandRun.h"

namespace svgtool {
namespace {

using testing::CommandRun;
using testing::ErrorLine;
using testing::RunCommand;

CommandRun Render(std::vector<std::string> args) { return RunCommand(CmdRender, std::move(args)); }

TEST(RenderCommand, AnswersUsageErrorsWithStatusTwo) {
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
}

TEST(RenderCommand, PrintsHelp) {
  const CommandRun run = Render({"--help"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.out.rfind("usage: svgfilter render", 0), 0u);
  EXPECT_EQ(run.err, "");
}

TEST(RenderCommand, ReportsEachFailingFileAndGoesOn) {
  svgtest::TempFolder folder;
  const std::string notSvg = folder.Write("notes.txt", svgtest::PadTo("plain text", 400));
  const std::string missing = folder.Path("missing.svg");
  const std::string out = folder.Path("pngs");
  const CommandRun run = Render({notSvg, missing, "-o", out});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, ErrorLine(notSvg, svgflt::kErrNotSvg) +
                         ErrorLine(missing, svgflt::kErrRead));
  EXPECT_TRUE(std::filesystem::is_directory(out)) << "the output folder is made";
  EXPECT_FALSE(std::filesystem::exists(folder.Path("pngs/notes.png")));
}

// Width and height of a PNG file, read back through the host's loader.
std::pair<std::int32_t, std::int32_t> PngSize(const std::string& path) {
  SetLinkedFileBase("", true);
  const std::u16string name = ToUtf16(path);
  BitmapRecord bitmap{};
  const std::int32_t status = LoadRasterFromFile(
      name.c_str(), &bitmap, static_cast<std::int32_t>(sizeof bitmap), 0, 1, 0, 0);
  SetLinkedFileBase("", false);
  if (status != svgflt::kOk) return {0, 0};
  (void)FreeBitmap(&bitmap);
  return {bitmap.width, bitmap.height};
}

TEST(RenderCommand, WritesTheRasterAtTheRequestedSize) {
  svgtest::TempFolder folder;
  const std::string svg = folder.Write("a.svg", svgtest::SmallSvg());
  const std::string png = folder.Path("a.png");
  const CommandRun run = Render({"--width", "120", "--height", "70", svg, "-o", png});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(PngSize(png), std::make_pair(120, 70));
}

TEST(RenderCommand, NamesEachOutputAfterItsInput) {
  svgtest::TempFolder folder;
  const std::string first = folder.Write("first.svg", svgtest::SmallSvg());
  const std::string second = folder.Write("second.drawing.svg", svgtest::SmallSvg());
  const std::string out = folder.Path("out");
  const CommandRun run = Render({first, second, "--width", "8", "--height", "6", "-o", out});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(PngSize(folder.Path("out/first.png")), std::make_pair(8, 6));
  EXPECT_EQ(PngSize(folder.Path("out/second.drawing.png")), std::make_pair(8, 6));
}

TEST(RenderCommand, ReportsAModuleThatDoesNotOpen) {
  svgtest::TempFolder folder;
  const std::string svg = folder.Write("a.svg", svgtest::SmallSvg());
  const CommandRun run =
      Render({"--module", folder.Path("none.so"), svg, "-o", folder.Path("a.png")});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.err.find("cannot open module"), std::string::npos) << run.err;
}

// A picture linked beside the SVG file shows in the render: fltInfo cannot
// load linked files, so the command must not paint fltInfo's document.
TEST(RenderCommand, ShowsLinkedPictures) {
  svgtest::TempFolder folder;
  BitmapRecord red{};
  ASSERT_EQ(InitBitmap(&red, static_cast<std::int32_t>(sizeof red), 4, 4, 24), svgflt::kOk);
  ASSERT_EQ(AllocateBitmap(&red, 1), svgflt::kOk);
  ASSERT_EQ(FillBitmap(&red, 0x0000FF), svgflt::kOk);
  const std::u16string pictureName = ToUtf16(folder.Path("red.png"));
  const std::int32_t exported = ExportToFile(pictureName.c_str(), &red, kFormatPng, 24, 0, 0);
  (void)FreeBitmap(&red);
  ASSERT_EQ(exported, svgflt::kOk);
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

  SetLinkedFileBase("", true);
  const std::u16string outName = ToUtf16(png);
  BitmapRecord out{};
  const std::int32_t loaded = LoadRasterFromFile(
      outName.c_str(), &out, static_cast<std::int32_t>(sizeof out), 0, 1, 0, 0);
  SetLinkedFileBase("", false);
  ASSERT_EQ(loaded, svgflt::kOk);
  const auto pixel = [&out](int x, int y) {
    const std::uint8_t* p = out.bits + y * out.bytesPerRow + x * (out.bitsPerPixel / 8);
    return std::make_tuple(int{p[2]}, int{p[1]}, int{p[0]});  // r, g, b
  };
  EXPECT_EQ(pixel(20, 25), std::make_tuple(255, 0, 0));
  EXPECT_EQ(pixel(80, 25), std::make_tuple(0, 0, 255));
  (void)FreeBitmap(&out);
}

}  // namespace
}  // namespace svgtool
