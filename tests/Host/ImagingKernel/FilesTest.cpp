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
using svgflt::testing::KernelSnapshot;
using svgflt::testing::ScopedLeakAllowance;

constexpr int32_t kLoadFlags = kOpenBinary;
constexpr int32_t kSaveFlags = kOpenCreate | kOpenReadWrite | kOpenBinary;
constexpr int32_t kSavePermission = kPermRead | kPermWrite;

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
  void Write(const std::string& leaf, const std::string& bytes) const {
    std::ofstream(dir_ / leaf, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& leaf) const {
    std::ifstream in(dir_ / leaf, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path dir_;
};

TEST_F(KernelFiles, WritesReadsAndSeeks) {
  KernelAccounting before = KernelSnapshot();
  int32_t file = KernelOpenFile(Name(u"a.svg").c_str(), kSaveFlags, kSavePermission);
  ASSERT_GE(file, 0);
  EXPECT_EQ(KernelSnapshot().openFiles, before.openFiles + 1);
  EXPECT_EQ(KernelWriteFile(file, "hello world", 11), 11);
  EXPECT_EQ(KernelSeekFile(file, 0, 0), 0);
  char buffer[16] = {};
  EXPECT_EQ(KernelReadFile(file, buffer, 5), 5);
  EXPECT_EQ(std::string(buffer, 5), "hello");
  EXPECT_EQ(KernelSeekFile(file, 1, 1), 6);
  EXPECT_EQ(KernelReadFile(file, buffer, sizeof buffer), 5);
  EXPECT_EQ(std::string(buffer, 5), "world");
  EXPECT_EQ(KernelReadFile(file, buffer, sizeof buffer), 0);
  struct Seek {
    int32_t offset, origin, position;
  };
  for (Seek s : {Seek{0, 2, 11}, Seek{-3, 2, 8}, Seek{-1, 0, -1}, Seek{0, 3, -1}}) {
    EXPECT_EQ(KernelSeekFile(file, s.offset, s.origin), s.position) << s.offset << " from " << s.origin;
  }
  EXPECT_EQ(KernelCloseFile(file), 0);
  EXPECT_EQ(Read("a.svg"), "hello world");
}

TEST_F(KernelFiles, OpeningModesDecideWhereBytesGo) {
  struct Case {
    const char* what;
    int32_t flags;
    int32_t written;  // by a write of "abc" after a seek to the start
    const char* after;
  };
  const Case cases[] = {
      {"create keeps the old tail", kSaveFlags, 3, "abc3456789"},
      {"truncate empties the file", kSaveFlags | kOpenTruncate, 3, "abc"},
      {"append writes at the end despite the seek", kOpenWriteOnly | kOpenAppend, 3,
       "0123456789abc"},
      {"load side cannot write", kLoadFlags, -1, "0123456789"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Write("old.svg", "0123456789");
    int32_t file = KernelOpenFile(Name(u"old.svg").c_str(), c.flags, kSavePermission);
    ASSERT_GE(file, 0);
    EXPECT_EQ(KernelSeekFile(file, 0, 0), 0);
    EXPECT_EQ(KernelWriteFile(file, "abc", 3), c.written);
    EXPECT_EQ(KernelCloseFile(file), 0);
    EXPECT_EQ(Read("old.svg"), c.after);
  }
  EXPECT_EQ(KernelOpenFile(Name(u"old.svg").c_str(), kSaveFlags | kOpenExclusive, kSavePermission),
            -1);
}

TEST_F(KernelFiles, RefusesMissingFilesDirectoriesAndBadNames) {
  KernelAccounting before = KernelSnapshot();
  std::u16string lone = Name(u"bad");
  lone.push_back(0xD800);
  const std::u16string missing = Name(u"missing.svg");
  const std::u16string folder = Name(u"");
  EXPECT_EQ(KernelOpenFile(missing.c_str(), kLoadFlags, kPermRead), -1);
  for (const char16_t* name : {folder.c_str(), lone.c_str(), u"",
                               static_cast<const char16_t*>(nullptr)}) {
    EXPECT_EQ(KernelOpenFile(name, kLoadFlags, kPermRead), -1);
    EXPECT_EQ(KernelOpenFile(name, kSaveFlags, kSavePermission), -1);
  }
  EXPECT_EQ(KernelSnapshot().openFiles, before.openFiles);
}

TEST_F(KernelFiles, NamesBecomeUtf8WithBackslashesAsSeparators) {
  // "grüße-€-" and U+1F600 as a surrogate pair.
  int32_t file = KernelOpenFile(Name(u"gr\u00FC\u00DFe-\u20AC-\U0001F600.svg").c_str(), kSaveFlags,
                                kSavePermission);
  ASSERT_GE(file, 0);
  EXPECT_EQ(KernelCloseFile(file), 0);
  EXPECT_TRUE(fs::exists(dir_ / "gr\xC3\xBC\xC3\x9F" "e-\xE2\x82\xAC-\xF0\x9F\x98\x80.svg"));

  fs::create_directory(dir_ / "sub");
  Write("sub/x.svg", "sub");
  file = KernelOpenFile(Name(u"sub\\x.svg").c_str(), kLoadFlags, kPermRead);
  ASSERT_GE(file, 0);
  char buffer[4] = {};
  EXPECT_EQ(KernelReadFile(file, buffer, 3), 3);
  EXPECT_EQ(std::string(buffer), "sub");
  EXPECT_EQ(KernelCloseFile(file), 0);
}

TEST_F(KernelFiles, ClosedHandlesFailEverywhere) {
  ScopedLeakAllowance allowance;
  int32_t file = KernelOpenFile(Name(u"c.svg").c_str(), kSaveFlags, kSavePermission);
  ASSERT_GE(file, 0);
  ASSERT_EQ(KernelCloseFile(file), 0);
  int64_t invalid = KernelInvalidReleases();
  char byte = 0;
  EXPECT_EQ(KernelReadFile(file, &byte, 1), -1);
  EXPECT_EQ(KernelWriteFile(file, "x", 1), -1);
  EXPECT_EQ(KernelSeekFile(file, 0, 0), -1);
  EXPECT_EQ(KernelCloseFile(file), -1);
  EXPECT_EQ(KernelCloseFile(0), -1);  // standard input was never opened here
  EXPECT_EQ(KernelInvalidReleases(), invalid + 2);
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

TEST(KernelCompareN, AgreesOnExactlyTheFirstNCharacters) {
  struct Case {
    const char* text;
    const char* literal;
    int32_t n;
    bool agrees;
  };
  const Case cases[] = {
      {"<?xml version", "<?xml", 5, true},
      {"<?XML version", "<?xml", 5, false},  // case counts
      {"<?xm", "<?xml", 5, false},           // text ends early
      {"abc", "abd", 2, true},
      {"abc", "abd", 3, false},
      {"abc", "abc", 10, true},  // both end together
      {"anything", "else", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.literal + " / " + std::to_string(c.n));
    EXPECT_EQ(KernelCompareN(c.text, c.literal, c.n) == 0, c.agrees);
  }
}

}  // namespace
