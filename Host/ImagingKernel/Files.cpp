// The kernel's file layer: integer handles over POSIX descriptors, with the
// C runtime's Windows open flags, UTF-16 file names, and the file transfer
// used to move temporary files into place.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "KernelState.h"

namespace {

// UTF-8 file name of a UTF-16 one; false for an empty name or an unpaired
// surrogate. The host speaks Windows paths, so a backslash is taken as a
// directory separator here.
bool PathFromUtf16(const char16_t* name, std::string* path) {
  if (name == nullptr || *name == 0) return false;
  path->clear();
  for (const char16_t* p = name; *p != 0; ++p) {
    char32_t c = *p;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (p[1] < 0xDC00 || p[1] > 0xDFFF) return false;
      c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
    if (c == u'\\') c = u'/';
    if (c < 0x80) {
      path->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      path->push_back(static_cast<char>(0xC0 | (c >> 6)));
      path->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      path->push_back(static_cast<char>(0xE0 | (c >> 12)));
      path->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      path->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      path->push_back(static_cast<char>(0xF0 | (c >> 18)));
      path->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      path->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      path->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return true;
}

bool IsOpen(int32_t file) {
  auto& state = ikernel::State();
  std::lock_guard lock(state.mutex);
  return state.files.count(file) != 0;
}

// Copies source to destination (created or truncated, with the source's
// permission bits); the destination is removed again on failure.
bool CopyFile(const std::string& source, const std::string& destination) {
  int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat info {};
  if (fstat(in, &info) != 0) {
    close(in);
    return false;
  }
  int out = open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                 info.st_mode & 07777);
  if (out < 0) {
    close(in);
    return false;
  }
  bool ok = true;
  char buffer[65536];
  for (;;) {
    ssize_t got = read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    for (ssize_t done = 0; done < got;) {
      ssize_t put = write(out, buffer + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {
        ok = false;
        break;
      }
      done += put;
    }
    if (!ok) break;
  }
  close(in);
  if (close(out) != 0) ok = false;
  if (!ok) unlink(destination.c_str());
  return ok;
}

}  // namespace

extern "C" {

// Files are always binary on this platform: kOpenText and kOpenBinary
// change nothing.
IK_API int32_t KernelOpenFile(const char16_t* fileName, int32_t flags, int32_t permission) {
  std::string path;
  if (!PathFromUtf16(fileName, &path)) return -1;
  int oflags = O_CLOEXEC;
  switch (flags & 3) {
    case kOpenReadOnly: oflags |= O_RDONLY; break;
    case kOpenWriteOnly: oflags |= O_WRONLY; break;
    case kOpenReadWrite: oflags |= O_RDWR; break;
    default: return -1;
  }
  if ((flags & kOpenAppend) != 0) oflags |= O_APPEND;
  if ((flags & kOpenCreate) != 0) oflags |= O_CREAT;
  if ((flags & kOpenTruncate) != 0) oflags |= O_TRUNC;
  if ((flags & kOpenExclusive) != 0) oflags |= O_EXCL;
  // The Windows permission has no group or others; a readable file is
  // readable by all and a writable one writable by all, less the umask.
  mode_t mode = 0;
  if ((permission & kPermRead) != 0) mode |= 0444;
  if ((permission & kPermWrite) != 0) mode |= 0222;
  int fd = open(path.c_str(), oflags, mode);
  if (fd < 0) return -1;
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    return -1;
  }
  auto& state = ikernel::State();
  std::lock_guard lock(state.mutex);
  state.files.insert(fd);
  return fd;
}

IK_API int32_t KernelCloseFile(int32_t file) {
  auto& state = ikernel::State();
  {
    std::lock_guard lock(state.mutex);
    if (state.files.erase(file) == 0) {
      state.invalidReleases.fetch_add(1);
      std::fprintf(stderr, "ImagingKernel: KernelCloseFile of unknown handle %d ignored\n", file);
      return -1;
    }
  }
  return close(file) == 0 ? 0 : -1;
}

// Reads until byteCount bytes or the end of the file; -1 on error.
IK_API int32_t KernelReadFile(int32_t file, void* buffer, uint32_t byteCount) {
  if (buffer == nullptr || byteCount > INT32_MAX || !IsOpen(file)) return -1;
  auto* bytes = static_cast<char*>(buffer);
  uint32_t done = 0;
  while (done < byteCount) {
    ssize_t got = read(file, bytes + done, byteCount - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<uint32_t>(got);
  }
  return static_cast<int32_t>(done);
}

IK_API int32_t KernelWriteFile(int32_t file, const void* bytes, uint32_t byteCount) {
  if ((bytes == nullptr && byteCount != 0) || byteCount > INT32_MAX || !IsOpen(file)) return -1;
  const auto* data = static_cast<const char*>(bytes);
  uint32_t done = 0;
  while (done < byteCount) {
    ssize_t put = write(file, data + done, byteCount - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return -1;
    done += static_cast<uint32_t>(put);
  }
  return static_cast<int32_t>(done);
}

IK_API int32_t KernelSeekFile(int32_t file, int32_t offset, int32_t origin) {
  int whence = 0;
  switch (origin) {
    case 0: whence = SEEK_SET; break;
    case 1: whence = SEEK_CUR; break;
    case 2: whence = SEEK_END; break;
    default: return -1;
  }
  if (!IsOpen(file)) return -1;
  off_t position = lseek(file, offset, whence);
  if (position < 0 || position > INT32_MAX) return -1;
  return static_cast<int32_t>(position);
}

// An existing destination is replaced: a save that runs again over the
// same image directory must succeed, so the transfer overwrites.
IK_API int32_t KernelTransferFile(const char16_t* source, const char16_t* destination,
                                  int32_t /*flags*/) {
  std::string from;
  std::string to;
  if (!PathFromUtf16(source, &from) || !PathFromUtf16(destination, &to)) return 0;
  if (rename(from.c_str(), to.c_str()) == 0) return 1;
  if (errno != EXDEV) return 0;
  if (!CopyFile(from, to)) return 0;
  unlink(from.c_str());
  return 1;
}

// strncmp semantics: 0 when the first n characters agree; a text that ends
// earlier than the literal does not agree.
IK_API int32_t KernelCompareN(const char* text, const char* literal, int32_t n) {
  if (n <= 0) return 0;
  if (text == nullptr || literal == nullptr) return text == literal ? 0 : (text == nullptr ? -1 : 1);
  int result = std::strncmp(text, literal, static_cast<size_t>(n));
  return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

}  // extern "C"
