/*
 * The few Windows calls the filter makes, with their Windows calling shapes,
 * for a host that is not Windows. Wide strings are UTF-16 (char16_t).
 */
#ifndef SVGFILTER_PLATFORM_H
#define SVGFILTER_PLATFORM_H

#include "ImagingKernel/ImagingKernel.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define PF_API __declspec(dllexport)
#else
#define PF_API __attribute__((visibility("default")))
#endif

enum { LOGPIXELSX = 88, LOGPIXELSY = 90 };
enum { CP_ACP = 0, CP_UTF8 = 65001 };
enum { MAX_PATH = 260 };

/* Logical resolution (LOGPIXELSX / LOGPIXELSY) of an imaging-kernel context. */
PF_API int32_t GetDeviceCaps(DrawingContext* context, int32_t index);
/* One of the classic desktop colours (indices 0-30), 0x00BBGGRR; 0 otherwise. */
PF_API uint32_t GetSysColor(int32_t index);
PF_API int32_t SetRect(KernelRect* rect, int32_t left, int32_t top, int32_t right,
                       int32_t bottom);
/* Code pages: CP_UTF8, and CP_ACP as Windows-1252. With a destination size
 * of 0 the needed size is returned; a source length of -1 means up to and
 * including the NUL. Returns the units written, 0 on failure. */
PF_API int32_t MultiByteToWideChar(uint32_t codePage, uint32_t flags, const char* source,
                                   int32_t sourceLength, char16_t* destination,
                                   int32_t destinationSize);
PF_API int32_t WideCharToMultiByte(uint32_t codePage, uint32_t flags, const char16_t* source,
                                   int32_t sourceLength, char* destination,
                                   int32_t destinationSize, const char* defaultChar,
                                   int32_t* usedDefaultChar);
/* Directories and temporary files ('/' separated on this platform). */
PF_API uint32_t GetCurrentDirectoryW(uint32_t bufferLength, char16_t* buffer);
PF_API uint32_t GetTempPathW(uint32_t bufferLength, char16_t* buffer);
PF_API uint32_t GetTempFileNameW(const char16_t* directory, const char16_t* prefix,
                                 uint32_t unique, char16_t* tempFileName);
PF_API int32_t CreateDirectoryW(const char16_t* path, void* securityAttributes);
PF_API uint32_t GetLastError(void);
enum { ERROR_SUCCESS = 0, ERROR_FILE_NOT_FOUND = 2, ERROR_PATH_NOT_FOUND = 3,
       ERROR_ACCESS_DENIED = 5, ERROR_ALREADY_EXISTS = 183 };
enum { ERROR_GEN_FAILURE = 31, ERROR_FILE_EXISTS = 80, ERROR_INVALID_PARAMETER = 87,
       ERROR_BUFFER_OVERFLOW = 111, ERROR_INSUFFICIENT_BUFFER = 122,
       ERROR_FILENAME_EXCED_RANGE = 206, ERROR_NO_UNICODE_TRANSLATION = 1113 };
/* Conversion flags: fail on invalid input instead of replacing it. */
enum { MB_ERR_INVALID_CHARS = 0x08, WC_ERR_INVALID_CHARS = 0x80 };

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* SVGFILTER_PLATFORM_H */
