// Option parsing shared by the subcommands.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tools/Options.h"

namespace {

using svgtool::OptionSet;
using svgtool::Options;

// Parses `args` against `accepted`; the error text, empty on success.
std::string Parse(std::vector<std::string> args, const OptionSet& accepted, Options* out) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  std::string error;
  const bool ok =
      svgtool::ParseOptions(static_cast<int>(argv.size()), argv.data(), accepted, out, &error);
  EXPECT_EQ(ok, error.empty());
  return ok ? std::string() : error;
}

OptionSet Everything() {
  OptionSet accepted;
  accepted.json = accepted.output = accepted.size = true;
  accepted.flags = {"--vector"};
  return accepted;
}

TEST(ParseOptions, ReadsEveryKindOfOption) {
  Options options;
  ASSERT_EQ(Parse({"a.svg", "--json", "--module", "m.so", "--dpi", "150", "-o", "out.png",
                   "--width=320", "--height", "200", "--vector", "b.svg"},
                  Everything(), &options),
            "");
  EXPECT_EQ(std::tuple(options.json, options.help, options.Has("--vector"), options.Has("--x")),
            std::tuple(true, false, true, false));
  EXPECT_EQ(std::tuple(options.module, options.dpi, options.output, options.width, options.height),
            std::tuple("m.so", 150, "out.png", 320, 200));
  EXPECT_EQ(options.files, (std::vector<std::string>{"a.svg", "b.svg"}));
}

TEST(ParseOptions, TakesFilesAfterDoubleDashAndALoneDash) {
  Options options;
  options.dpi = 7;  // left from an earlier parse
  ASSERT_EQ(Parse({"-", "--", "--json", "-o"}, Everything(), &options), "");
  EXPECT_FALSE(options.json);
  EXPECT_EQ(options.dpi, 0);
  EXPECT_EQ(options.files, (std::vector<std::string>{"-", "--json", "-o"}));
  for (const char* flag : {"--help", "-h"}) {
    ASSERT_EQ(Parse({"x.svg", flag}, OptionSet{}, &options), "");
    EXPECT_TRUE(options.help) << flag;
  }
}

TEST(ParseOptions, RejectsUnknownOptionsAndMissingOrMalformedValues) {
  const std::string number = " needs a whole number of at least 1, not '";
  const struct {
    std::vector<std::string> args;
    bool all;  // every option accepted, or none
    std::string error;
  } cases[] = {
      {{"--json"}, false, "unknown option '--json'"},
      {{"-o", "1"}, false, "unknown option '-o'"},
      {{"--width", "1"}, false, "unknown option '--width'"},
      {{"--vector"}, false, "unknown option '--vector'"},
      {{"--bogus"}, true, "unknown option '--bogus'"},
      {{"--module"}, true, "--module needs a value"},
      {{"-o"}, true, "-o needs a value"},
      {{"--dpi", "0"}, true, "--dpi" + number + "0'"},
      {{"--width="}, true, "--width" + number + "'"},
      {{"--height", "1.5"}, true, "--height" + number + "1.5'"},
      {{"--width", "99999999999"}, true, "--width" + number + "99999999999'"},
      {{"--json=yes"}, true, "--json takes no value"},
      {{"--vector=1"}, true, "--vector takes no value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    Options options;
    EXPECT_EQ(Parse(c.args, c.all ? Everything() : OptionSet{}, &options), c.error);
  }
}

}  // namespace
