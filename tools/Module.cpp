#include "Module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace svgtool {
namespace {

constexpr char kModuleName[] = "libsvgfilter.so";

// Resolves one export into `slot`; false with `error` set when it is absent.
template <typename Fn>
bool Resolve(void* handle, const char* name, const std::string& path, Fn* slot,
             std::string* error) {
  void* symbol = dlsym(handle, name);
  if (symbol == nullptr) {
    *error = "module " + path + " does not export " + name;
    return false;
  }
  *slot = reinterpret_cast<Fn>(symbol);
  return true;
}

}  // namespace

FilterModule::~FilterModule() {
  if (handle_ != nullptr) dlclose(handle_);
}

bool FilterModule::Open(const std::string& path, std::string* error) {
  const std::string file = path.empty() ? ExecutableDirectory() + kModuleName : path;
  if (handle_ != nullptr) {
    dlclose(handle_);
    handle_ = nullptr;
    info = nullptr;
    load = nullptr;
    save = nullptr;
    freeData = nullptr;
  }
  // dlopen searches the library path for a bare name; a name given on the
  // command line means a file, so it gets a directory part.
  const std::string opened = file.find('/') == std::string::npos ? "./" + file : file;
  void* handle = dlopen(opened.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    *error = "cannot open module " + file + ": " + (reason != nullptr ? reason : "unknown error");
    return false;
  }
  if (!Resolve(handle, "fltInfo", file, &info, error) ||
      !Resolve(handle, "fltLoad", file, &load, error) ||
      !Resolve(handle, "fltSave", file, &save, error) ||
      !Resolve(handle, "fltFreeData", file, &freeData, error)) {
    info = nullptr;
    load = nullptr;
    save = nullptr;
    freeData = nullptr;
    dlclose(handle);
    return false;
  }
  handle_ = handle;
  return true;
}

std::string ExecutableDirectory() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return "./";
  const std::string path(buffer, static_cast<std::size_t>(length));
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

std::u16string ToUtf16(const std::string& utf8) {
  constexpr char32_t kReplacement = 0xFFFD;
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    int extra = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      code = lead & 0x1F;
      minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      code = lead & 0x0F;
      minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      code = lead & 0x07;
      minimum = 0x10000;
    } else {
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool valid = true;
    for (int k = 0; k < extra; ++k, ++j) {
      if (j >= utf8.size() || (static_cast<unsigned char>(utf8[j]) & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      code = (code << 6) | (static_cast<unsigned char>(utf8[j]) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    if (!valid || code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      out.push_back(static_cast<char16_t>(kReplacement));
      i = j;  // resume at the first byte that does not belong to it
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    i = j;
  }
  return out;
}

std::string ToUtf8(const std::u16string& utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t code = utf16[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;  // a lone surrogate
    }
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (code >> 6)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (code >> 12)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (code >> 18)));
      out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return out;
}

}  // namespace svgtool
