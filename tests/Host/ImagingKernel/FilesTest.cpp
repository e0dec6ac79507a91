// The kernel's file calls: opening modes, names, handles and transfers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ImagingKernel/ImagingKernel.h"
#include "support/KernelLeakGuard.h"

namespace {

namespace fs = std::filesystem;

constexpr int32_t kSave = kOpenCreate | kOpenReadWrite | kOpenBinary, kRw = kPermRead | kPermWrite;

// A fresh directory per test, removed afterwards.
class KernelFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "ikfilesXXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  // The UTF-16 name of a file in the directory (the directory is ASCII).
  std::u16string Name(const std::u16string& leaf) const {
    std::string base = dir_.string() + "/";
    return std::u16string(base.begin(), base.end()) + leaf;
  }
  void Write(const std::string& leaf, const std::string& bytes) const { std::ofstream(dir_ / leaf) << bytes; }
  std::string Read(const std::string& leaf) const {
    std::ifstream in(dir_ / leaf);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path dir_;
};

TEST_F(KernelFiles, OpeningModesDecideWhereBytesGoAndSeeksMoveReads) {
  struct Case { const char* what; int32_t flags, written; const char* after; };
  const Case cases[] = {
      {"create keeps the old tail", kSave, 3, "abc3456789"},
      {"truncate empties the file", kSave | kOpenTruncate, 3, "abc"},
      {"append writes at the end despite the seek", kOpenWriteOnly | kOpenAppend, 3, "0123456789abc"},
      {"load side cannot write", kOpenBinary, -1, "0123456789"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Write("old.svg", "0123456789");
    int32_t file = KernelOpenFile(Name(u"old.svg").c_str(), c.flags, kRw);
    ASSERT_GE(file, 0);
    EXPECT_EQ(KernelSeekFile(file, 0, 0), 0);
    EXPECT_EQ(KernelWriteFile(file, "abc", 3), c.written);
    EXPECT_EQ(KernelCloseFile(file), 0);
    EXPECT_EQ(Read("old.svg"), c.after);
  }
  EXPECT_EQ(KernelOpenFile(Name(u"old.svg").c_str(), kSave | kOpenExclusive, kRw), -1);
  int32_t file = KernelOpenFile(Name(u"old.svg").c_str(), kOpenBinary, kPermRead);
  char buffer[8] = {};
  struct Seek { int32_t offset, origin, position; };
  for (Seek s : {Seek{2, 0, 2}, Seek{1, 1, 3}, Seek{-3, 2, 7}, Seek{-1, 0, -1}, Seek{0, 3, -1}}) {
    EXPECT_EQ(KernelSeekFile(file, s.offset, s.origin), s.position) << s.offset << " from " << s.origin;
  }
  EXPECT_EQ(KernelReadFile(file, buffer, sizeof buffer), 3);
  EXPECT_STREQ(buffer, "789");
  EXPECT_EQ(KernelReadFile(file, buffer, sizeof buffer), 0);
  EXPECT_EQ(KernelCloseFile(file), 0);
}

TEST_F(KernelFiles, NamesBecomeUtf8WithBackslashesAndBadNamesAreRefused) {
  // "grüße-€-" and U+1F600 as a surrogate pair.
  int32_t file = KernelOpenFile(Name(u"gr\u00FC\u00DFe-\u20AC-\U0001F600.svg").c_str(), kSave, kRw);
  EXPECT_EQ(KernelCloseFile(file), 0);
  EXPECT_TRUE(fs::exists(dir_ / "gr\xC3\xBC\xC3\x9F" "e-\xE2\x82\xAC-\xF0\x9F\x98\x80.svg"));
  fs::create_directory(dir_ / "sub");
  Write("sub/x.svg", "sub");
  EXPECT_EQ(KernelCloseFile(KernelOpenFile(Name(u"sub\\x.svg").c_str(), kOpenBinary, kPermRead)), 0);
  std::u16string lone = Name(u"bad");
  lone.push_back(0xD800);
  const std::u16string missing = Name(u"missing.svg"), folder = Name(u"");
  for (const char16_t* name : {missing.c_str(), folder.c_str(), lone.c_str(), static_cast<const char16_t*>(nullptr)}) {
    EXPECT_EQ(KernelOpenFile(name, kOpenBinary, kPermRead), -1);
  }
  EXPECT_EQ(KernelOpenFile(lone.c_str(), kSave, kRw), -1);
}

TEST_F(KernelFiles, TransferMovesAndReplacesOrFails) {
  Write("svg1A2.tmp", "png bytes");
  Write("dest.png", "older");
  EXPECT_NE(KernelTransferFile(Name(u"svg1A2.tmp").c_str(), Name(u"dest.png").c_str(), 0), 0);
  EXPECT_FALSE(fs::exists(dir_ / "svg1A2.tmp"));
  EXPECT_EQ(Read("dest.png"), "png bytes");
  EXPECT_EQ(KernelTransferFile(Name(u"none.tmp").c_str(), Name(u"other.png").c_str(), 0), 0);
  EXPECT_EQ(KernelTransferFile(Name(u"none.tmp").c_str(), nullptr, 0), 0);
  EXPECT_FALSE(fs::exists(dir_ / "other.png"));
}

}  // namespace
