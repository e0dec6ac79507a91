#include "DocumentFolder.h"

#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

#include <climits>

#include "HostCallbacks.h"

namespace svgtool {

bool AbsolutePath(const std::string& path, std::string* absolute) {
  if (!path.empty() && path.front() == '/') {
    *absolute = path;
    return true;
  }
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return false;
  std::string folder = buffer;
  if (folder.back() != '/') folder += '/';
  *absolute = folder + path;
  return true;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

DocumentFolder::DocumentFolder(const std::string& document, bool allowAnyFile) {
  const std::string folder = FolderOf(document);
  SetLinkedFileBase(folder, allowAnyFile);
  previous_ = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // Without a way back the working folder stays as it is; links then
  // resolve only through the callback's base folder.
  if (previous_ != -1 && ::chdir(folder.c_str()) != 0) {
    ::close(previous_);
    previous_ = -1;
  }
}

DocumentFolder::~DocumentFolder() {
  if (previous_ == -1) return;
  (void)!::fchdir(previous_);
  ::close(previous_);
}

std::string StemOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace svgtool
