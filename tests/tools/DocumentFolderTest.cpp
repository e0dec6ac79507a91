// The document folder: path helpers and the working folder during a load.
#include "tools/DocumentFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>

#include "Module/TempFiles.h"
#include "tools/HostCallbacks.h"

namespace svgtool {
namespace {

std::string WorkingFolder() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

TEST(FolderOf, TakesEverythingBeforeTheLastSlash) {
  struct Case {
    const char* path;
    const char* folder;
  };
  for (const Case c : {Case{"a/b/c.svg", "a/b"}, Case{"c.svg", "."}, Case{"/c.svg", "/"},
                       Case{"/x/y/", "/x/y"}, Case{"../c.svg", ".."}}) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(FolderOf(c.path), c.folder);
  }
}

TEST(AbsolutePath, PrefixesTheWorkingFolder) {
  std::string absolute;
  ASSERT_TRUE(AbsolutePath("x/y.svg", &absolute));
  EXPECT_EQ(absolute, WorkingFolder() + "/x/y.svg");
  ASSERT_TRUE(AbsolutePath("/already/there.svg", &absolute));
  EXPECT_EQ(absolute, "/already/there.svg");
}

TEST(DocumentFolder, WorksInTheDocumentFolderAndComesBack) {
  svgtest::TempFolder folder;
  std::filesystem::create_directories(folder.Path("doc"));
  folder.Write("doc/pic.png", "not really a picture");
  folder.Write("outside.png", "not really a picture");
  const std::string before = WorkingFolder();
  const std::string docFolder = std::filesystem::canonical(folder.Path("doc")).string();
  {
    DocumentFolder scope(folder.Path("doc/drawing.svg"), false);
    EXPECT_EQ(WorkingFolder(), docFolder);
    std::string resolved;
    EXPECT_EQ(ResolveLinkedFile("pic.png", &resolved), svgflt::kOk);
    EXPECT_EQ(resolved, docFolder + "/pic.png");
    EXPECT_EQ(ResolveLinkedFile("../outside.png", &resolved), kErrFileRefused);
  }
  EXPECT_EQ(WorkingFolder(), before);
  {
    DocumentFolder scope(folder.Path("doc/drawing.svg"), true);
    std::string resolved;
    EXPECT_EQ(ResolveLinkedFile("../outside.png", &resolved), svgflt::kOk);
  }
  SetLinkedFileBase("", false);
}

}  // namespace
}  // namespace svgtool
