// The shared module as a host loads it: exactly the four entry points are
// visible, as functions; no other function or data (version nodes aside).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>

namespace {

TEST(ModuleExports, AreExactlyTheFourEntryPoints) {
  const std::string module = std::string(SVGFLT_BINARY_DIR) + "/libsvgfilter.so";
  ASSERT_TRUE(std::filesystem::exists(module)) << module;
  const std::string command = "nm -D --defined-only '" + module + "'";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  ASSERT_TRUE(pipe);
  std::set<std::string> symbols;  // nm's one-letter kind, then the name
  char line[1024];
  while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
    std::istringstream fields(line);
    std::string address, kind, name;
    if (fields >> address >> kind >> name && kind != "A") symbols.insert(kind + " " + name);
  }
  EXPECT_EQ(symbols,
            (std::set<std::string>{"T fltFreeData", "T fltInfo", "T fltLoad", "T fltSave"}));
}

}  // namespace
