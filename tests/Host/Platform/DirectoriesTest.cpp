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
std::string Ascii(const char16_t* text) { return {text, text + std::char_traits<char16_t>::length(text)}; }

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

// Sizes follow the Windows rules: the length without the NUL when it fits,
// else the size needed with it.
TEST_F(Directories, TempPathGivesItsLengthOrTheSizeNeeded) {
  std::string cwd = fs::current_path().string();
  char16_t buffer[260];
  EXPECT_EQ(GetCurrentDirectoryW(cwd.size(), buffer), cwd.size() + 1);  // no room for the NUL
  for (const std::string& tmp : {dir_, dir_ + "/"}) {  // one trailing slash either way
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
  char16_t first[MAX_PATH], second[MAX_PATH], name[MAX_PATH];
  uint32_t n1 = GetTempFileNameW(Wide(dir_).c_str(), u"svgfilter", 0, first);
  uint32_t n2 = GetTempFileNameW(Wide(dir_).c_str(), u"svgfilter", 0, second);
  EXPECT_NE(n1, n2);
  for (auto [path, number] : {std::pair{Ascii(first), n1}, std::pair{Ascii(second), n2}}) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", number);
    EXPECT_EQ(path, dir_ + "/svg" + hex + ".tmp");
    EXPECT_TRUE(number > 0 && number <= 0xFFFF && fs::is_regular_file(path) && fs::file_size(path) == 0) << path;
  }
  EXPECT_EQ(GetTempFileNameW(Wide(dir_ + "/").c_str(), u"ab", 0x1A2, name), 0x1A2u);
  EXPECT_EQ(Ascii(name), dir_ + "/ab1A2.tmp");
  EXPECT_FALSE(fs::exists(dir_ + "/ab1A2.tmp"));
  const std::u16string missing = Wide(dir_ + "/none"), deep = Wide(dir_) + u"/" + std::u16string(MAX_PATH, u'd');
  const struct { const char16_t* folder; uint32_t error; } failures[] = {
      {missing.c_str(), ERROR_PATH_NOT_FOUND}, {nullptr, ERROR_INVALID_PARAMETER}, {deep.c_str(), ERROR_BUFFER_OVERFLOW}};
  for (const auto& c : failures) {
    EXPECT_EQ(GetTempFileNameW(c.folder, u"svg", 0, name), 0u);
    EXPECT_EQ(GetLastError(), c.error);
  }
}

TEST_F(Directories, CreateDirectoryTakesBackslashesAndReportsWhatStoodInTheWay) {
  EXPECT_NE(CreateDirectoryW(Wide(dir_ + "/drawing").c_str(), nullptr), 0);
  EXPECT_NE(CreateDirectoryW(Wide(dir_ + "\\drawing\\images").c_str(), nullptr), 0);
  EXPECT_TRUE(fs::is_directory(dir_ + "/drawing/images"));
  EXPECT_EQ(CreateDirectoryW(Wide(dir_ + "/drawing").c_str(), nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(CreateDirectoryW(Wide(dir_ + "/no/such").c_str(), nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
}

}  // namespace
