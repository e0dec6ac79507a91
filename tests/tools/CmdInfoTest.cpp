// svgfilter info, run as a user runs it: exit status, standard output and
// standard error.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Module/TempFiles.h"

namespace {

const std::string kTool = std::string(SVGFLT_BINARY_DIR) + "/svgfilter";
const std::string kNotSvg = "not an SVG file, XML syntax error, or an unsupported mode";
const std::string kTooShort = "the file could not be read, or is too short to examine";

struct ToolRun {
  int exitStatus = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class InfoCommand : public ::testing::Test {
 protected:
  // Runs svgfilter with `args`, its output captured in files.
  ToolRun Svgfilter(std::vector<std::string> args) {
    const std::string outPath = folder_.Path("stdout");
    const std::string errPath = folder_.Path("stderr");
    args.insert(args.begin(), kTool);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
      const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
      execv(kTool.c_str(), argv.data());
      _exit(127);
    }
    ToolRun run;
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
      run.exitStatus = WEXITSTATUS(status);
    }
    run.out = Slurp(outPath);
    run.err = Slurp(errPath);
    return run;
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    return folder_.Write(name, bytes);
  }

  svgtest::TempFolder folder_;
};

TEST_F(InfoCommand, ReportsAShortSvgAsNotSvg) {
  const std::string path = Write("short.svg", svgtest::PadTo("<svg", 200));
  const ToolRun run = Svgfilter({"info", path});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, "svgfilter: " + path + ": error -9: " + kNotSvg + "\n");
  EXPECT_EQ(run.out, "");
}

TEST_F(InfoCommand, ReportsFilesTooShortOrMissing) {
  const std::string tiny = Write("tiny.svg", svgtest::PadTo("<svg", 50));
  const std::string missing = folder_.Path("missing.svg");
  for (const std::string& path : {tiny, missing}) {
    SCOPED_TRACE(path);
    const ToolRun run = Svgfilter({"info", path});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "svgfilter: " + path + ": error -7: " + kTooShort + "\n");
  }
}

TEST_F(InfoCommand, PrintsWhatTheModuleReports) {
  const std::string path = Write("small.svg", svgtest::SmallSvg());
  const ToolRun run = Svgfilter({"info", path});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.rfind(path + "\n  format:         247\n", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("  bits per pixel: 24\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  resolution:     96 x 96 dpi\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  bounds:         "), std::string::npos) << run.out;
}

TEST_F(InfoCommand, PrintsOneJsonObjectPerFile) {
  const std::string a = Write("a.svg", svgtest::SmallSvg());
  const std::string b = Write("b \"quoted\".svg", svgtest::SmallSvg());
  const ToolRun run = Svgfilter({"info", "--json", "--dpi", "120", a, b});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  std::istringstream lines(run.out);
  std::string first, second, extra;
  ASSERT_TRUE(std::getline(lines, first));
  ASSERT_TRUE(std::getline(lines, second));
  EXPECT_FALSE(std::getline(lines, extra));
  EXPECT_EQ(first.rfind("{\"file\":\"" + a + "\",\"format\":247,", 0), 0u) << first;
  EXPECT_NE(first.find(",\"bitsPerPixel\":24,"), std::string::npos) << first;
  EXPECT_NE(first.find(",\"xResolution\":120,\"yResolution\":120,"), std::string::npos) << first;
  EXPECT_NE(first.find(",\"vector\":true,\"lowerBound\":["), std::string::npos) << first;
  EXPECT_EQ(first.back(), '}');
  EXPECT_NE(second.find("b \\\"quoted\\\".svg"), std::string::npos) << second;
}

TEST_F(InfoCommand, GoesOnAfterAFailedFile) {
  const std::string bad = Write("bad.txt", svgtest::PadTo("plain text", 300));
  const std::string good = Write("good.svg", svgtest::SmallSvg());
  const ToolRun run = Svgfilter({"info", "--json", bad, good});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err, "svgfilter: " + bad + ": error -9: " + kNotSvg + "\n");
  EXPECT_EQ(run.out.rfind("{\"file\":\"" + good + "\"", 0), 0u) << run.out;
}

TEST_F(InfoCommand, AnswersUsageErrorsWithUsage) {
  const std::string path = Write("small.svg", svgtest::SmallSvg());
  const std::vector<std::vector<std::string>> cases = {
      {"info"},
      {"info", "--bogus", path},
      {"info", "--dpi", "0", path},
      {"info", "--dpi"},
      {"info", "-o", "out.png", path},
      {"info", "--json=1", path},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args.back());
    const ToolRun run = Svgfilter(args);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_NE(run.err.find("usage: svgfilter info "), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(InfoCommand, PrintsHelpOnRequest) {
  const ToolRun run = Svgfilter({"info", "--help"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.out.rfind("usage: svgfilter info [--json] [--module PATH] [--dpi N] FILE...\n", 0),
            0u);
  EXPECT_EQ(run.err, "");
}

TEST_F(InfoCommand, ReportsAModuleThatDoesNotOpen) {
  const std::string path = Write("small.svg", svgtest::SmallSvg());
  const std::string module = folder_.Path("none.so");
  const ToolRun run = Svgfilter({"info", "--module", module, path});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.err.rfind("svgfilter: cannot open module " + module + ": ", 0), 0u) << run.err;
}

}  // namespace
