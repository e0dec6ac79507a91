// The folder of the document being loaded. The filter opens linked pictures
// by the name the document gives, relative to the working folder, and the
// host's load-from-file callback resolves them against the same folder; so
// while one document loads, the working folder is the document's own.
#pragma once

#include <string>

namespace svgtool {

// `path` made absolute against the working folder (not resolved further);
// false when the working folder cannot be read.
[[nodiscard]] bool AbsolutePath(const std::string& path, std::string* absolute);

// The folder part of a path, without the trailing '/': "a/b.svg" gives "a",
// "b.svg" gives ".", "/b.svg" gives "/".
std::string FolderOf(const std::string& path);

// The file name without folder and extension: "a/b/map.svg" gives "map".
std::string StemOf(const std::string& path);

// True when `path` names an existing directory.
bool IsDirectory(const std::string& path);

// For its lifetime, makes the folder of `document` (an absolute path) the
// working folder and the base of linked files (see SetLinkedFileBase); the
// previous working folder comes back at the end.
class DocumentFolder {
 public:
  DocumentFolder(const std::string& document, bool allowAnyFile);
  DocumentFolder(const DocumentFolder&) = delete;
  DocumentFolder& operator=(const DocumentFolder&) = delete;
  ~DocumentFolder();

 private:
  int previous_ = -1;  // descriptor of the previous working folder
};

}  // namespace svgtool
