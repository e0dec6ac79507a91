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

TEST(InfoCommand, PrintsWhatTheModuleReportsAndAnErrorLinePerFailingFile) {
  svgtest::TempFolder folder;
  const std::string a = folder.Write("a.svg", svgtest::SmallSvg());
  CommandRun run = RunCommand(CmdInfo, {a});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, a + "\n  format:         247\n  size:           640 x 320 pixels\n"
                         "  bits per pixel: 24\n  image size:     614400 bytes\n"
                         "  resolution:     96 x 96 dpi\n"
                         "  bounds:         (-1, -100.5) to (201, 0.5)\n");
  const std::string b = folder.Write("b \"quoted\".svg", svgtest::SmallSvg());
  const std::string shortSvg = folder.Write("short.svg", svgtest::PadTo("<svg", 200));
  const std::string tiny = folder.Write("tiny.svg", svgtest::PadTo("<svg", 50));
  const std::string missing = folder.Path("missing.svg");
  run = RunCommand(CmdInfo, {"--json", "--dpi", "120", shortSvg, a, tiny, missing, b});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, ErrorLine(shortSvg, svgflt::kErrNotSvg) + ErrorLine(tiny, svgflt::kErrRead) +
                         ErrorLine(missing, svgflt::kErrRead));
  const std::string json =
      "\",\"format\":247,\"width\":640,\"height\":320,\"bitsPerPixel\":24,\"imageSize\":614400,"
      "\"xResolution\":120,\"yResolution\":120,\"vector\":true,\"lowerBound\":[-1,-100.5,0],"
      "\"upperBound\":[201,0.5,0]}\n";
  EXPECT_EQ(run.out, "{\"file\":\"" + a + json + "{\"file\":\"" +
                         folder.Path("b \\\"quoted\\\".svg") + json);
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
