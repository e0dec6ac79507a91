// Opening the filter module the way the host does, and the file-name
// conversions handed across.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "svgfilter/FilterStatus.h"
#include "tools/Module.h"

namespace {

using svgtool::FilterModule;

const std::string kBinaryDir = SVGFLT_BINARY_DIR;

TEST(FilterModule, OpensTheModuleByPathBesideTheExecutableOrHereOrSaysWhyNot) {
  FilterModule module;
  std::string error;
  ASSERT_TRUE(module.Open(kBinaryDir + "/libsvgfilter.so", &error)) << error;
  EXPECT_EQ(module.load(nullptr), svgflt::kErrMissing);
  // Reopening replaces the first; an empty path is the executable's folder.
  ASSERT_TRUE(module.Open("", &error)) << error;
  EXPECT_EQ(module.info(nullptr), svgflt::kErrMissing);
  EXPECT_EQ(module.load(nullptr), svgflt::kErrMissing);
  EXPECT_EQ(module.save(nullptr), svgflt::kErrMissing);
  EXPECT_EQ(module.freeData(nullptr, 0), svgflt::kOk);
  // A bare name is a file in the working folder, not one searched for on
  // the library path.
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::temp_directory_path());
  EXPECT_FALSE(module.Open("libsvgfilter.so", &error));
  std::filesystem::current_path(kBinaryDir);
  EXPECT_TRUE(module.Open("libsvgfilter.so", &error)) << error;
  std::filesystem::current_path(before);
  EXPECT_TRUE(std::filesystem::equivalent(svgtool::ExecutableDirectory(), kBinaryDir));
  // A missing file, and a library that is not a filter, are explained.
  const std::string missing = kBinaryDir + "/no-such-module.so";
  EXPECT_FALSE(module.Open(missing, &error));
  EXPECT_EQ(error.rfind("cannot open module " + missing + ": ", 0), 0u) << error;
  EXPECT_EQ(module.info, nullptr);
  const std::string kernel = kBinaryDir + "/libImagingKernel.so";
  EXPECT_FALSE(module.Open(kernel, &error));
  EXPECT_EQ(error, "module " + kernel + " does not export fltInfo");
  EXPECT_TRUE(module.info == nullptr && module.freeData == nullptr);
}

TEST(Utf16, ConvertsBothWaysAndReplacesWhatIsNotUtf8) {
  const struct {
    const char* name;
    std::string utf8;
    std::u16string utf16;
    bool back;  // converts back to the same bytes
  } cases[] = {
      {"latin", "caf\xC3\xA9", u"caf\u00E9", true},
      {"three bytes", "\xE2\x82\xAC 5", u"\u20AC 5", true},
      {"astral", "\xF0\x9F\x99\x82.svg", u"\U0001F642.svg", true},
      {"lone continuation", "a\x80z", u"a\uFFFDz", false},
      {"cut sequence", "a\xE2\x82", u"a\uFFFD", false},
      {"cut before ascii", "\xE2z", u"\uFFFDz", false},
      {"overlong", "\xC0\xAF", u"\uFFFD", false},
      {"surrogate", "\xED\xA0\x80", u"\uFFFD", false},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD", false},
      {"invalid lead", "\xFFx", u"\uFFFDx", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(svgtool::ToUtf16(c.utf8), c.utf16);
    if (c.back) {
      EXPECT_EQ(svgtool::ToUtf8(c.utf16), c.utf8);
    }
  }
  EXPECT_EQ(svgtool::ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

}  // namespace
