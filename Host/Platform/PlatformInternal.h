// Helpers shared by the platform calls: the thread's last error and the
// conversions between UTF-16 and UTF-8 that file names need.
#pragma once

#include <cstdint>
#include <string>

#include "Platform/Platform.h"

namespace platform {

void SetLastErrorCode(uint32_t code);

// UTF-8 of UTF-16 text up to its NUL; false for a null pointer or an
// unpaired surrogate.
bool Utf8FromUtf16(const char16_t* text, std::string* out);
// UTF-16 of UTF-8 text; invalid bytes become U+FFFD.
std::u16string Utf16FromUtf8(const std::string& text);

// A file-system path from a host path: UTF-8, with backslashes taken as
// directory separators (the host speaks Windows paths).
bool PathFromHost(const char16_t* path, std::string* out);

// Sets the last error from errno after a failed file-system call.
void SetLastErrorFromErrno(int error);

}  // namespace platform
