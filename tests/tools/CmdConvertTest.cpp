// svgfilter convert: argument handling, output naming and error reporting.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "Module/TempFiles.h"
#include "svgfilter/FilterStatus.h"
#include "tools/CommandRun.h"
#include "tools/Commands.h"

namespace svgtool {
namespace {

using testing::CommandRun;
using testing::ErrorLine;
using testing::RunCommand;

CommandRun Convert(std::vector<std::string> args) { return RunCommand(CmdConvert, std::move(args)); }

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"no\"?>\r\n";

TEST(ConvertCommand, AnswersUsageErrorsWithStatusTwoAndHelpWithZero) {
  svgtest::TempFolder folder;
  const std::string plainFile = folder.Write("taken", "x");
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"a.svg"},
      {"a.svg", "b.svg", "c.svg"},  // several inputs need -o
      {"-o", folder.Path("out")},
      {"a.svg", "-o", plainFile},
      {"a.svg", "b.svg", "--width", "3"},
      {"a.svg", "b.svg", "--vector"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const CommandRun run = Convert(args);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_NE(run.err.find("svgfilter convert: "), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  const CommandRun help = Convert({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_EQ(help.out.rfind("usage: svgfilter convert", 0), 0u);
  EXPECT_EQ(help.err, "");
}

TEST(ConvertCommand, WritesEachInputAgainAsSvg) {
  svgtest::TempFolder folder;
  const std::string in = folder.Write("in.svg", svgtest::SmallSvg());
  const std::string out = folder.Path("out.svg");
  const CommandRun run = Convert({in, out, "--embed-images"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::string text = Read(out);
  EXPECT_EQ(text.rfind(kDeclaration, 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 10), "\r\n</svg>\r\n");
}

TEST(ConvertCommand, ReportsEachFailingFileAndGoesOn) {
  svgtest::TempFolder folder;
  const std::string good = folder.Write("good.svg", svgtest::SmallSvg());
  const std::string notSvg = folder.Write("notes.txt", svgtest::PadTo("plain text", 400));
  const std::string missing = folder.Path("missing.svg");
  const CommandRun run = Convert({notSvg, missing, good, "-o", folder.Path("svgs")});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, ErrorLine(notSvg, svgflt::kErrNotSvg) + ErrorLine(missing, svgflt::kErrRead));
  EXPECT_EQ(Read(folder.Path("svgs/good.svg")).rfind(kDeclaration, 0), 0u);
  EXPECT_FALSE(std::filesystem::exists(folder.Path("svgs/notes.svg")));
  // A target that cannot be opened is named in the error line.
  const std::string out = folder.Path("no-such-folder/out.svg");
  const CommandRun unopened = Convert({good, out});
  EXPECT_EQ(unopened.exitStatus, 1);
  EXPECT_EQ(unopened.err, ErrorLine(out, svgflt::kErrOpenTarget));
}

}  // namespace
}  // namespace svgtool
