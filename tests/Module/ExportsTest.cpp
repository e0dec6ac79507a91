// The shared module as a host loads it: exactly the four entry points are
// visible, and they work through dlopen.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "svgfilter/FilterStatus.h"
#include "svgfilter/HostRecords.h"

namespace {

const std::string kModulePath = std::string(SVGFLT_BINARY_DIR) + "/libsvgfilter.so";

// Defined dynamic symbols of the module, with nm's one-letter kinds.
std::set<std::string> DefinedSymbols(std::set<std::string>* functions) {
  std::set<std::string> all;
  const std::string command = "nm -D --defined-only '" + kModulePath + "'";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return all;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
    std::istringstream fields(line);
    std::string address, kind, name;
    if (!(fields >> address >> kind >> name)) continue;
    all.insert(name);
    if (kind == "T" || kind == "W" || kind == "i" || kind == "t") functions->insert(name);
  }
  return all;
}

TEST(ModuleExports, AreExactlyTheFourEntryPoints) {
  ASSERT_TRUE(std::filesystem::exists(kModulePath)) << kModulePath;
  std::set<std::string> functions;
  const std::set<std::string> all = DefinedSymbols(&functions);
  const std::set<std::string> entryPoints = {"fltFreeData", "fltInfo", "fltLoad", "fltSave"};
  EXPECT_EQ(functions, entryPoints);
  // Nothing else is visible either, data included; version nodes aside.
  for (const std::string& name : all) {
    if (entryPoints.count(name) == 0) ADD_FAILURE() << "exported: " << name;
  }
}

TEST(ModuleExports, AnswerThroughDlopen) {
  void* module = dlopen(kModulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto info = reinterpret_cast<FltInfoFn>(dlsym(module, "fltInfo"));
  auto load = reinterpret_cast<FltLoadFn>(dlsym(module, "fltLoad"));
  auto save = reinterpret_cast<FltSaveFn>(dlsym(module, "fltSave"));
  auto freeData = reinterpret_cast<FltFreeDataFn>(dlsym(module, "fltFreeData"));
  ASSERT_TRUE(info && load && save && freeData);
  EXPECT_EQ(info(nullptr), svgflt::kErrMissing);
  EXPECT_EQ(load(nullptr), svgflt::kErrMissing);
  EXPECT_EQ(save(nullptr), svgflt::kErrMissing);
  EXPECT_EQ(freeData(nullptr, 0), svgflt::kOk);
  // Internal functions stay hidden.
  EXPECT_EQ(dlsym(module, "_ZN6svgflt6DetectEi"), nullptr);
  dlclose(module);
}

}  // namespace
