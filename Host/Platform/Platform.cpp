// The device query, the desktop colour table, rectangles and the thread's
// last error.
#include <cerrno>

#include "PlatformInternal.h"

namespace {

thread_local uint32_t lastError = ERROR_SUCCESS;

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

// The classic desktop scheme's colours, by GetSysColor index.
constexpr uint32_t kSystemColours[31] = {
    Rgb(212, 208, 200),  // 0 COLOR_SCROLLBAR
    Rgb(58, 110, 165),   // 1 COLOR_BACKGROUND
    Rgb(10, 36, 106),    // 2 COLOR_ACTIVECAPTION
    Rgb(128, 128, 128),  // 3 COLOR_INACTIVECAPTION
    Rgb(212, 208, 200),  // 4 COLOR_MENU
    Rgb(255, 255, 255),  // 5 COLOR_WINDOW
    Rgb(0, 0, 0),        // 6 COLOR_WINDOWFRAME
    Rgb(0, 0, 0),        // 7 COLOR_MENUTEXT
    Rgb(0, 0, 0),        // 8 COLOR_WINDOWTEXT
    Rgb(255, 255, 255),  // 9 COLOR_CAPTIONTEXT
    Rgb(212, 208, 200),  // 10 COLOR_ACTIVEBORDER
    Rgb(212, 208, 200),  // 11 COLOR_INACTIVEBORDER
    Rgb(128, 128, 128),  // 12 COLOR_APPWORKSPACE
    Rgb(10, 36, 106),    // 13 COLOR_HIGHLIGHT
    Rgb(255, 255, 255),  // 14 COLOR_HIGHLIGHTTEXT
    Rgb(212, 208, 200),  // 15 COLOR_BTNFACE
    Rgb(128, 128, 128),  // 16 COLOR_BTNSHADOW
    Rgb(128, 128, 128),  // 17 COLOR_GRAYTEXT
    Rgb(0, 0, 0),        // 18 COLOR_BTNTEXT
    Rgb(212, 208, 200),  // 19 COLOR_INACTIVECAPTIONTEXT
    Rgb(255, 255, 255),  // 20 COLOR_BTNHIGHLIGHT
    Rgb(64, 64, 64),     // 21 COLOR_3DDKSHADOW
    Rgb(212, 208, 200),  // 22 COLOR_3DLIGHT
    Rgb(0, 0, 0),        // 23 COLOR_INFOTEXT
    Rgb(255, 255, 225),  // 24 COLOR_INFOBK
    Rgb(181, 181, 181),  // 25 alternate button face
    Rgb(0, 0, 128),      // 26 COLOR_HOTLIGHT
    Rgb(166, 202, 240),  // 27 COLOR_GRADIENTACTIVECAPTION
    Rgb(192, 192, 192),  // 28 COLOR_GRADIENTINACTIVECAPTION
    Rgb(10, 36, 106),    // 29 COLOR_MENUHILIGHT
    Rgb(212, 208, 200),  // 30 COLOR_MENUBAR
};

}  // namespace

namespace platform {

void SetLastErrorCode(uint32_t code) { lastError = code; }

void SetLastErrorFromErrno(int error) {
  switch (error) {
    case EEXIST: SetLastErrorCode(ERROR_ALREADY_EXISTS); break;
    case ENOENT: SetLastErrorCode(ERROR_PATH_NOT_FOUND); break;
    case ENOTDIR: SetLastErrorCode(ERROR_PATH_NOT_FOUND); break;
    case EACCES: case EPERM: case EROFS: SetLastErrorCode(ERROR_ACCESS_DENIED); break;
    case ENAMETOOLONG: SetLastErrorCode(ERROR_FILENAME_EXCED_RANGE); break;
    default: SetLastErrorCode(ERROR_GEN_FAILURE); break;
  }
}

}  // namespace platform

extern "C" {

PF_API int32_t GetDeviceCaps(DrawingContext* context, int32_t index) {
  switch (index) {
    case LOGPIXELSX: return DrawingContextResolution(context, 0);
    case LOGPIXELSY: return DrawingContextResolution(context, 1);
    default: return 0;
  }
}

PF_API uint32_t GetSysColor(int32_t index) {
  if (index < 0 || index >= static_cast<int32_t>(sizeof kSystemColours / sizeof kSystemColours[0])) {
    return 0;
  }
  return kSystemColours[index];
}

PF_API int32_t SetRect(KernelRect* rect, int32_t left, int32_t top, int32_t right,
                       int32_t bottom) {
  if (rect == nullptr) return 0;
  *rect = {left, top, right, bottom};
  return 1;
}

PF_API uint32_t GetLastError(void) { return lastError; }

}  // extern "C"
