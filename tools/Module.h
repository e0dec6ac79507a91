// The filter module as a host sees it: a shared library opened with dlopen
// whose four exports are resolved by name.
#pragma once

#include <string>

#include "svgfilter/HostRecords.h"

namespace svgtool {

class FilterModule {
 public:
  FilterModule() = default;
  FilterModule(const FilterModule&) = delete;
  FilterModule& operator=(const FilterModule&) = delete;
  ~FilterModule();

  // Opens the module at `path`, or when empty the libsvgfilter.so beside the
  // running executable. False with `error` set when it cannot be opened or
  // lacks an export.
  bool Open(const std::string& path, std::string* error);

  FltInfoFn info = nullptr;
  FltLoadFn load = nullptr;
  FltSaveFn save = nullptr;
  FltFreeDataFn freeData = nullptr;

 private:
  void* handle_ = nullptr;
};

// The folder of the running executable, with a trailing '/'.
std::string ExecutableDirectory();

// UTF-8 to UTF-16 and back, for file names handed across.
std::u16string ToUtf16(const std::string& utf8);
std::string ToUtf8(const std::u16string& utf16);

}  // namespace svgtool
