// Directory calls: current and temporary folders, temporary names, new folders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "Platform/Platform.h"
#include "support/KernelLeakGuard.h"

namespace {

namespace fs = std::filesystem;

std::u16string Wide(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }
std::string Ascii(const std::u16string& text) { return {text.begin(), text.end()}; }

// A fresh directory per test (ASCII path), removed afterwards; TMPDIR is
// restored too.
class Directories : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tmp = std::getenv("TMPDIR")) savedTmp_ = tmp;
    std::string pattern = (fs::temp_directory_path() / "pfdirXXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    savedTmp_ ? setenv("TMPDIR", savedTmp_->c_str(), 1) : unsetenv("TMPDIR");
    fs::remove_all(dir_);
  }

  std::optional<std::string> savedTmp_;
  std::string dir_;
};

TEST_F(Directories, CurrentAndTempPathFollowTheWindowsSizeRules) {
  std::string cwd = fs::current_path().string();
  ASSERT_LT(cwd.size(), 250u);
  auto length = static_cast<uint32_t>(cwd.size());
  char16_t buffer[260];
  EXPECT_EQ(GetCurrentDirectoryW(260, buffer), length);
  EXPECT_EQ(std::u16string(buffer), Wide(cwd));
  EXPECT_EQ(GetCurrentDirectoryW(0, nullptr), length + 1);
  EXPECT_EQ(GetCurrentDirectoryW(length, buffer), length + 1);  // no room for the NUL

  // The temporary folder comes from TMPDIR, with one trailing slash.
  for (const std::string& tmp : {dir_, dir_ + "/"}) {
    setenv("TMPDIR", tmp.c_str(), 1);
    EXPECT_EQ(GetTempPathW(260, buffer), dir_.size() + 1);
    EXPECT_EQ(std::u16string(buffer), Wide(dir_ + "/"));
  }
  unsetenv("TMPDIR");
  EXPECT_EQ(GetTempPathW(260, buffer), 5u);
  EXPECT_EQ(std::u16string(buffer), u"/tmp/");
  EXPECT_EQ(GetTempPathW(3, buffer), 6u);
}

TEST_F(Directories, TempFileNameCreatesAFreshEmptyFileOrOnlyFormsAGivenNumbersName) {
  char16_t first[MAX_PATH], second[MAX_PATH];
  uint32_t n1 = GetTempFileNameW(Wide(dir_).c_str(), u"svgfilter", 0, first);
  uint32_t n2 = GetTempFileNameW(Wide(dir_).c_str(), u"svgfilter", 0, second);
  ASSERT_NE(n1, 0u);
  EXPECT_NE(n1, n2);
  for (auto [name, number] : {std::pair{first, n1}, std::pair{second, n2}}) {
    std::string path = Ascii(name);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", number);
    EXPECT_EQ(path, dir_ + "/svg" + hex + ".tmp");
    EXPECT_LE(number, 0xFFFFu);
    EXPECT_TRUE(fs::is_regular_file(path) && fs::file_size(path) == 0) << path;
  }
  char16_t name[MAX_PATH];
  EXPECT_EQ(GetTempFileNameW(Wide(dir_ + "/").c_str(), u"ab", 0x1A2, name), 0x1A2u);
  EXPECT_EQ(Ascii(name), dir_ + "/ab1A2.tmp");
  EXPECT_FALSE(fs::exists(dir_ + "/ab1A2.tmp"));
  EXPECT_EQ(GetTempFileNameW(Wide(dir_).c_str(), nullptr, 0xBEEF, name), 0xBEEFu);
  EXPECT_EQ(Ascii(name), dir_ + "/BEEF.tmp");

  const std::u16string missing = Wide(dir_ + "/none"), deep = Wide(dir_) + u"/" + std::u16string(MAX_PATH, u'd');
  const struct { const char16_t* folder; uint32_t error; } failures[] = {
      {missing.c_str(), ERROR_PATH_NOT_FOUND}, {nullptr, ERROR_INVALID_PARAMETER}, {deep.c_str(), ERROR_BUFFER_OVERFLOW}};
  for (const auto& c : failures) {
    EXPECT_EQ(GetTempFileNameW(c.folder, u"svg", 0, name), 0u);
    EXPECT_EQ(GetLastError(), c.error);
  }
}

TEST_F(Directories, CreateDirectoryTakesBackslashesAndReportsWhatStoodInTheWay) {
  std::u16string target = Wide(dir_ + "/drawing");
  EXPECT_NE(CreateDirectoryW(target.c_str(), nullptr), 0);
  EXPECT_NE(CreateDirectoryW(Wide(dir_ + "\\drawing\\images").c_str(), nullptr), 0);
  EXPECT_TRUE(fs::is_directory(dir_ + "/drawing/images"));
  EXPECT_EQ(CreateDirectoryW(target.c_str(), nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(CreateDirectoryW(Wide(dir_ + "/no/such").c_str(), nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
}

}  // namespace
