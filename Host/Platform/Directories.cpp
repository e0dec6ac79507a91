// The current directory, the temporary directory, temporary file names and
// directory creation, with the Windows return conventions.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "PlatformInternal.h"

namespace {

// Copies text with its NUL when it fits and returns its length without the
// NUL; otherwise returns the size needed, NUL included.
uint32_t CopyOrNeeded(const std::u16string& text, uint32_t bufferLength, char16_t* buffer) {
  auto needed = static_cast<uint32_t>(text.size() + 1);
  if (buffer == nullptr || bufferLength < needed) return needed;
  std::memcpy(buffer, text.c_str(), needed * sizeof(char16_t));
  return needed - 1;
}

std::u16string HexNumber(uint32_t n) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string text;
  do {
    text.insert(text.begin(), kDigits[n & 0xF]);
    n >>= 4;
  } while (n != 0);
  return text;
}

// Where the search for a free unique number starts: differs between
// processes and between calls, so that names are rarely tried twice.
uint32_t NextStartNumber() {
  static std::atomic<uint32_t> counter{static_cast<uint32_t>(
      std::chrono::steady_clock::now().time_since_epoch().count() ^ (getpid() * 2654435761u))};
  return counter.fetch_add(1) & 0xFFFF;
}

}  // namespace

extern "C" {

PF_API uint32_t GetCurrentDirectoryW(uint32_t bufferLength, char16_t* buffer) {
  std::vector<char> path(256);
  while (getcwd(path.data(), path.size()) == nullptr) {
    if (errno != ERANGE) {
      platform::SetLastErrorFromErrno(errno);
      return 0;
    }
    path.resize(path.size() * 2);
  }
  return CopyOrNeeded(platform::Utf16FromUtf8(path.data()), bufferLength, buffer);
}

PF_API uint32_t GetTempPathW(uint32_t bufferLength, char16_t* buffer) {
  const char* variable = std::getenv("TMPDIR");
  std::string path = variable != nullptr && *variable != 0 ? variable : "/tmp";
  if (path.back() != '/') path.push_back('/');
  return CopyOrNeeded(platform::Utf16FromUtf8(path), bufferLength, buffer);
}

// The result names directory/PPPXXXX.tmp: up to three characters of the
// prefix and the unique number in upper-case hexadecimal. With unique 0 a
// free number is searched and the empty file created (exclusively, so two
// callers never get the same name); otherwise only the name is formed.
// `tempFileName` must have room for MAX_PATH characters.
PF_API uint32_t GetTempFileNameW(const char16_t* directory, const char16_t* prefix,
                                 uint32_t unique, char16_t* tempFileName) {
  if (directory == nullptr || tempFileName == nullptr) {
    platform::SetLastErrorCode(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string base(directory);
  if (!base.empty() && base.back() != u'/' && base.back() != u'\\') base.push_back(u'/');
  for (int i = 0; prefix != nullptr && i < 3 && prefix[i] != 0; ++i) base.push_back(prefix[i]);

  auto nameFor = [&base](uint32_t number) { return base + HexNumber(number) + u".tmp"; };
  auto deliver = [tempFileName](const std::u16string& name) {
    if (name.size() >= MAX_PATH) {
      platform::SetLastErrorCode(ERROR_BUFFER_OVERFLOW);
      return false;
    }
    std::memcpy(tempFileName, name.c_str(), (name.size() + 1) * sizeof(char16_t));
    return true;
  };

  if (unique != 0) return deliver(nameFor(unique & 0xFFFF)) ? unique : 0;

  uint32_t start = NextStartNumber();
  for (uint32_t i = 0; i < 0x10000; ++i) {
    uint32_t number = (start + i) & 0xFFFF;
    if (number == 0) continue;
    std::u16string name = nameFor(number);
    if (name.size() >= MAX_PATH) {
      platform::SetLastErrorCode(ERROR_BUFFER_OVERFLOW);
      return 0;
    }
    std::string path;
    if (!platform::PathFromHost(name.c_str(), &path)) {
      platform::SetLastErrorCode(ERROR_INVALID_PARAMETER);
      return 0;
    }
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      close(fd);
      deliver(name);
      return number;
    }
    if (errno != EEXIST) {
      platform::SetLastErrorFromErrno(errno);
      return 0;
    }
  }
  platform::SetLastErrorCode(ERROR_FILE_EXISTS);
  return 0;
}

PF_API int32_t CreateDirectoryW(const char16_t* path, void* /*securityAttributes*/) {
  std::string target;
  if (!platform::PathFromHost(path, &target)) {
    platform::SetLastErrorCode(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  if (mkdir(target.c_str(), 0777) != 0) {
    platform::SetLastErrorFromErrno(errno);
    return 0;
  }
  return 1;
}

}  // extern "C"
