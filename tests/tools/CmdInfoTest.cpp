// svgfilter info: what it prints per file, its errors and usage; and the
// executable's dispatch to its commands.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Module/TempFiles.h"
#include "tools/CommandRun.h"
#include "tools/Commands.h"

namespace svgtool {
namespace {

using testing::CommandRun;
using testing::ErrorLine;
using testing::RunCommand;

CommandRun Info(std::vector<std::string> args) { return RunCommand(CmdInfo, std::move(args)); }

TEST(InfoCommand, ReportsEachFailingFileAndGoesOn) {
  svgtest::TempFolder folder;
  const std::string shortSvg = folder.Write("short.svg", svgtest::PadTo("<svg", 200));
  const std::string tiny = folder.Write("tiny.svg", svgtest::PadTo("<svg", 50));
  const std::string notSvg = folder.Write("bad.txt", svgtest::PadTo("plain text", 300));
  const std::string missing = folder.Path("missing.svg");
  const std::string good = folder.Write("good.svg", svgtest::SmallSvg());
  const CommandRun run = Info({"--json", shortSvg, tiny, notSvg, missing, good});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, ErrorLine(shortSvg, svgflt::kErrNotSvg) + ErrorLine(tiny, svgflt::kErrRead) +
                         ErrorLine(notSvg, svgflt::kErrNotSvg) + ErrorLine(missing, svgflt::kErrRead));
  EXPECT_EQ(run.out.rfind("{\"file\":\"" + good + "\"", 0), 0u) << run.out;
}

TEST(InfoCommand, PrintsWhatTheModuleReports) {
  svgtest::TempFolder folder;
  const std::string path = folder.Write("small.svg", svgtest::SmallSvg());
  const CommandRun run = Info({path});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.rfind(path + "\n  format:         247\n", 0), 0u) << run.out;
  for (const char* line : {"  bits per pixel: 24\n", "  resolution:     96 x 96 dpi\n",
                           "  bounds:         "}) {
    EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
  }
}

TEST(InfoCommand, PrintsOneJsonObjectPerFile) {
  svgtest::TempFolder folder;
  const std::string a = folder.Write("a.svg", svgtest::SmallSvg());
  const std::string b = folder.Write("b \"quoted\".svg", svgtest::SmallSvg());
  const CommandRun run = Info({"--json", "--dpi", "120", a, b});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  std::istringstream lines(run.out);
  std::string first, second, extra;
  ASSERT_TRUE(std::getline(lines, first));
  ASSERT_TRUE(std::getline(lines, second));
  EXPECT_FALSE(std::getline(lines, extra));
  EXPECT_EQ(first.rfind("{\"file\":\"" + a + "\",\"format\":247,", 0), 0u) << first;
  for (const char* part : {",\"bitsPerPixel\":24,", ",\"xResolution\":120,\"yResolution\":120,",
                           ",\"vector\":true,\"lowerBound\":["}) {
    EXPECT_NE(first.find(part), std::string::npos) << part << first;
  }
  EXPECT_EQ(first.back(), '}');
  EXPECT_NE(second.find("b \\\"quoted\\\".svg"), std::string::npos) << second;
}

TEST(InfoCommand, AnswersUsageErrorsHelpAndAModuleThatDoesNotOpen) {
  const std::vector<std::vector<std::string>> cases = {
      {}, {"--bogus", "a.svg"}, {"--dpi", "0", "a.svg"}, {"--dpi"}, {"-o", "out.png", "a.svg"},
      {"--json=1", "a.svg"}};
  for (const auto& args : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const CommandRun run = Info(args);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_NE(run.err.find("usage: svgfilter info "), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  const CommandRun help = Info({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_EQ(help.out.rfind("usage: svgfilter info [--json] [--module PATH] [--dpi N] FILE...\n", 0),
            0u);
  EXPECT_EQ(help.err, "");

  svgtest::TempFolder folder;
  const std::string module = folder.Path("none.so");
  const CommandRun run = Info({"--module", module, folder.Write("a.svg", svgtest::SmallSvg())});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err.rfind("svgfilter: cannot open module " + module + ": ", 0), 0u) << run.err;
}

// The executable run through the shell, standard error joined to its output.
std::pair<int, std::string> Svgfilter(const std::string& args) {
  const std::string command = std::string(SVGFLT_BINARY_DIR) + "/svgfilter " + args + " 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return {-1, ""};
  std::string out;
  char buffer[512];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
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
    const auto [exitStatus, out] = Svgfilter(c.args);
    EXPECT_EQ(exitStatus, c.exitStatus);
    EXPECT_EQ(out.rfind(c.start, 0), 0u) << out;
  }
}

}  // namespace
}  // namespace svgtool
