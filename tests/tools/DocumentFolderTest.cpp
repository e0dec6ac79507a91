// The document folder: its path helper and the working folder during a load.
#include "tools/DocumentFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Module/TempFiles.h"
#include "tools/HostCallbacks.h"

namespace svgtool {
namespace {

TEST(FolderOf, TakesEverythingBeforeTheLastSlash) {
  for (const auto& [path, folder] : {std::pair{"a/b/c.svg", "a/b"}, std::pair{"c.svg", "."},
                                     std::pair{"/c.svg", "/"}, std::pair{"/x/y/", "/x/y"},
                                     std::pair{"../c.svg", ".."}}) {
    EXPECT_EQ(FolderOf(path), folder) << path;
  }
}

TEST(DocumentFolder, WorksInTheDocumentFolderAndComesBack) {
  svgtest::TempFolder folder;
  std::filesystem::create_directories(folder.Path("doc"));
  folder.Write("doc/pic.png", "not really a picture");
  folder.Write("outside.png", "not really a picture");
  const std::filesystem::path before = std::filesystem::current_path();
  const std::string docFolder = std::filesystem::canonical(folder.Path("doc")).string();
  std::string resolved;
  for (const bool anywhere : {false, true}) {
    const DocumentFolder scope(folder.Path("doc/drawing.svg"), anywhere);
    EXPECT_EQ(std::filesystem::current_path().string(), docFolder);
    EXPECT_EQ(ResolveLinkedFile("pic.png", &resolved), svgflt::kOk);
    EXPECT_EQ(resolved, docFolder + "/pic.png");
    EXPECT_EQ(ResolveLinkedFile("../outside.png", &resolved),
              anywhere ? svgflt::kOk : kErrFileRefused);
  }
  EXPECT_EQ(std::filesystem::current_path(), before);
  SetLinkedFileBase("", false);
}

}  // namespace
}  // namespace svgtool
