// svgfilter convert: argument handling, output naming and error reporting.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Module/FilterRuns.h"
#include "Module/TempFiles.h"
#include "tools/CommandRun.h"
#include "tools/Commands.h"

namespace svgtool {
namespace {

using testing::ErrorLine;
using testing::RunCommand;

constexpr char kDeclaration[] =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"no\"?>\r\n";

TEST(ConvertCommand, AnswersUsageErrorsWithStatusTwoAndHelpWithZero) {
  svgtest::TempFolder folder;
  // Several inputs need -o, naming a folder.
  testing::ExpectUsageErrorsAndHelp(
      CmdConvert,
      {{}, {"a.svg"}, {"a.svg", "b.svg", "c.svg"}, {"-o", folder.Path("out")},
       {"a.svg", "-o", folder.Write("taken", "x")}, {"a.svg", "b.svg", "--width", "3"},
       {"a.svg", "b.svg", "--vector"}},
      "svgfilter convert: ", "usage: svgfilter convert");
}

TEST(ConvertCommand, WritesEachInputAgainReportingEachFailingFile) {
  svgtest::TempFolder folder;
  const std::string good = folder.Write("good.svg", svgtest::SmallSvg());
  const std::string out = folder.Path("out.svg");
  const auto single = RunCommand(CmdConvert, {good, out, "--embed-images"});
  ASSERT_EQ(single.exitStatus, 0) << single.err;
  EXPECT_EQ(single.err, "");
  const std::string text = svgtest::ReadBytes(out);
  EXPECT_EQ(text.rfind(kDeclaration, 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 10), "\r\n</svg>\r\n");

  const std::string notSvg = folder.Write("notes.txt", svgtest::PadTo("plain text", 400));
  const std::string missing = folder.Path("missing.svg");
  const auto run = RunCommand(CmdConvert, {notSvg, missing, good, "-o", folder.Path("svgs")});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, ErrorLine(notSvg, svgflt::kErrNotSvg) + ErrorLine(missing, svgflt::kErrRead));
  EXPECT_EQ(svgtest::ReadBytes(folder.Path("svgs/good.svg")), text);
  EXPECT_FALSE(std::filesystem::exists(folder.Path("svgs/notes.svg")));
  // A target that cannot be opened is named in the error line.
  const std::string unopenable = folder.Path("no-such-folder/out.svg");
  const auto unopened = RunCommand(CmdConvert, {good, unopenable});
  EXPECT_EQ(unopened.exitStatus, 1);
  EXPECT_EQ(unopened.err, ErrorLine(unopenable, svgflt::kErrOpenTarget));
}

}  // namespace
}  // namespace svgtool
