// svgfilter info: what it prints per file, its errors and usage; and the
// executable's dispatch to its commands.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Module/TempFiles.h"
#include "tools/CommandRun.h"
#include "tools/Commands.h"

namespace svgtool {
namespace {

using testing::CommandRun;
using testing::ErrorLine;
using testing::RunCommand;

TEST(InfoCommand, PrintsWhatTheModuleReports) {
  svgtest::TempFolder folder;
  const std::string path = folder.Write("small.svg", svgtest::SmallSvg());
  const CommandRun run = RunCommand(CmdInfo, {path});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.rfind(path + "\n  format:         247\n", 0), 0u) << run.out;
  for (const char* line : {"  bits per pixel: 24\n", "  resolution:     96 x 96 dpi\n",
                           "  bounds:         "}) {
    EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
  }
}

TEST(InfoCommand, PrintsOneJsonLinePerFileAndAnErrorLinePerFailingFile) {
  svgtest::TempFolder folder;
  const std::string a = folder.Write("a.svg", svgtest::SmallSvg());
  const std::string b = folder.Write("b \"quoted\".svg", svgtest::SmallSvg());
  const std::string shortSvg = folder.Write("short.svg", svgtest::PadTo("<svg", 200));
  const std::string tiny = folder.Write("tiny.svg", svgtest::PadTo("<svg", 50));
  const std::string missing = folder.Path("missing.svg");
  const CommandRun run =
      RunCommand(CmdInfo, {"--json", "--dpi", "120", shortSvg, a, tiny, missing, b});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, ErrorLine(shortSvg, svgflt::kErrNotSvg) + ErrorLine(tiny, svgflt::kErrRead) +
                         ErrorLine(missing, svgflt::kErrRead));
  const std::size_t end = run.out.find('\n');
  ASSERT_NE(end, std::string::npos) << run.out;
  const std::string first = run.out.substr(0, end);
  EXPECT_EQ(first.rfind("{\"file\":\"" + a + "\",\"format\":247,", 0), 0u) << first;
  for (const char* part : {",\"bitsPerPixel\":24,", ",\"xResolution\":120,\"yResolution\":120,",
                           ",\"vector\":true,\"lowerBound\":["}) {
    EXPECT_NE(first.find(part), std::string::npos) << part << first;
  }
  EXPECT_EQ(first.back(), '}');
  const std::string second = run.out.substr(end + 1);
  EXPECT_EQ(second.rfind("{\"file\":\"" + folder.Path("b \\\"quoted\\\".svg") + "\"", 0), 0u)
      << second;
  EXPECT_EQ(second.find('\n'), second.size() - 1) << "two lines";
}

TEST(InfoCommand, AnswersUsageErrorsHelpAndAModuleThatDoesNotOpen) {
  testing::ExpectUsageErrorsAndHelp(
      CmdInfo,
      {{}, {"--bogus", "a.svg"}, {"--dpi", "0", "a.svg"}, {"--dpi"}, {"-o", "out.png", "a.svg"},
       {"--json=1", "a.svg"}},
      "usage: svgfilter info ",
      "usage: svgfilter info [--json] [--module PATH] [--dpi N] FILE...\n");
  svgtest::TempFolder folder;
  const std::string module = folder.Path("none.so");
  const CommandRun run =
      RunCommand(CmdInfo, {"--module", module, folder.Write("a.svg", svgtest::SmallSvg())});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err.rfind("svgfilter: cannot open module " + module + ": ", 0), 0u) << run.err;
}

TEST(SvgfilterMain, DispatchesToTheNamedCommand) {
  const struct {
    const char* args;
    int exitStatus;
    const char* start;
  } cases[] = {
      {"", 2, "usage: svgfilter COMMAND [OPTIONS] FILE...\n"},
      {"--help", 0, "usage: svgfilter COMMAND [OPTIONS] FILE...\n"},
      {"bogus", 2, "svgfilter: unknown command 'bogus'\nusage: svgfilter COMMAND"},
      {"info --help", 0, "usage: svgfilter info "},
      {"render --help", 0, "usage: svgfilter render"},
      {"dump --help", 0, "usage: svgfilter dump"},
      {"convert --help", 0, "usage: svgfilter convert"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    // The executable run through the shell, standard error joined to its output.
    const std::string command = std::string(SVGFLT_BINARY_DIR) + "/svgfilter " + c.args + " 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[512];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int status = ::pclose(pipe);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.exitStatus);
    EXPECT_EQ(out.rfind(c.start, 0), 0u) << out;
  }
}

}  // namespace
}  // namespace svgtool
