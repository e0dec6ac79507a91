// Option parsing shared by the subcommands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/Options.h"

namespace {

using svgtool::OptionSet;
using svgtool::Options;
using svgtool::ParseOptions;

// Parses `args` against `accepted`; the error text, empty on success.
std::string Parse(std::vector<std::string> args, const OptionSet& accepted, Options* out) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  std::string error;
  const bool ok = ParseOptions(static_cast<int>(argv.size()), argv.data(), accepted, out, &error);
  EXPECT_EQ(ok, error.empty());
  return ok ? std::string() : error;
}

OptionSet Everything() {
  OptionSet accepted;
  accepted.json = true;
  accepted.output = true;
  accepted.size = true;
  accepted.flags = {"--vector"};
  return accepted;
}

TEST(ParseOptions, ReadsEveryKindOfOption) {
  Options options;
  ASSERT_EQ(Parse({"a.svg", "--json", "--module", "m.so", "--dpi", "150", "-o", "out.png",
                   "--width=320", "--height", "200", "--vector", "b.svg"},
                  Everything(), &options),
            "");
  EXPECT_TRUE(options.json);
  EXPECT_FALSE(options.help);
  EXPECT_EQ(options.module, "m.so");
  EXPECT_EQ(options.dpi, 150);
  EXPECT_EQ(options.output, "out.png");
  EXPECT_EQ(options.width, 320);
  EXPECT_EQ(options.height, 200);
  EXPECT_TRUE(options.Has("--vector"));
  EXPECT_FALSE(options.Has("--other"));
  EXPECT_EQ(options.files, (std::vector<std::string>{"a.svg", "b.svg"}));
}

TEST(ParseOptions, ResetsDefaultsAndTakesFilesAfterDoubleDashAndALoneDash) {
  Options options;
  options.dpi = 7;
  options.files = {"stale"};
  ASSERT_EQ(Parse({}, OptionSet{}, &options), "");
  EXPECT_EQ(options.dpi, 0);
  EXPECT_TRUE(options.files.empty());
  ASSERT_EQ(Parse({"-", "--", "--json", "-o"}, Everything(), &options), "");
  EXPECT_FALSE(options.json);
  EXPECT_EQ(options.files, (std::vector<std::string>{"-", "--json", "-o"}));
  for (const char* flag : {"--help", "-h"}) {
    ASSERT_EQ(Parse({"x.svg", flag}, OptionSet{}, &options), "");
    EXPECT_TRUE(options.help) << flag;
  }
}

TEST(ParseOptions, RejectsWhatTheCommandDoesNotTake) {
  for (const char* arg : {"--json", "-o", "--width", "--height", "--vector", "--bogus", "-x"}) {
    SCOPED_TRACE(arg);
    Options options;
    EXPECT_EQ(Parse({arg, "1"}, OptionSet{}, &options),
              std::string("unknown option '") + arg + "'");
  }
}

TEST(ParseOptions, RejectsMissingAndMalformedValues) {
  const struct {
    std::vector<std::string> args;
    const char* error;
  } cases[] = {
      {{"--module"}, "--module needs a value"},
      {{"-o"}, "-o needs a value"},
      {{"--dpi"}, "--dpi needs a value"},
      {{"--dpi", "0"}, "--dpi needs a whole number of at least 1, not '0'"},
      {{"--dpi", "-3"}, "--dpi needs a whole number of at least 1, not '-3'"},
      {{"--dpi", "96dpi"}, "--dpi needs a whole number of at least 1, not '96dpi'"},
      {{"--width="}, "--width needs a whole number of at least 1, not ''"},
      {{"--height", "1.5"}, "--height needs a whole number of at least 1, not '1.5'"},
      {{"--width", "99999999999"}, "--width needs a whole number of at least 1, not '99999999999'"},
      {{"--json=yes"}, "--json takes no value"},
      {{"--vector=1"}, "--vector takes no value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    Options options;
    EXPECT_EQ(Parse(c.args, Everything(), &options), c.error);
  }
}

}  // namespace
