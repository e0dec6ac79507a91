// svgfilter render: argument handling, output naming and error reporting.
#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <string>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "Module/TempFiles.h"
#include "tools/HostCallbacks.h"
#include "tools/Module.h"
#include "svgfilter/FilterStatus.h"
#include "tools/Commands.h"

namespace svgtool {
namespace {

struct CommandRun {
  int exitStatus;
  std::string out;
  std::string err;
};

CommandRun Render(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  CommandRun run;
  run.exitStatus = CmdRender(static_cast<int>(argv.size()), argv.data());
  run.out = ::testing::internal::GetCapturedStdout();
  run.err = ::testing::internal::GetCapturedStderr();
  return run;
}

std::string ErrorLine(const std::string& file, svgflt::Status status) {
  return "svgfilter: " + file + ": error " + std::to_string(status) + ": " +
         svgflt::StatusName(status) + "\n";
}

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

}  // namespace
}  // namespace svgtool
