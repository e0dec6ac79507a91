// The command-line host's callbacks, handed to the filter in its request
// records: picture loading (PNG and JPEG, from memory or from a linked file),
// bitmap export as PNG (to movable memory or to a file), and the RowCallback
// that assembles a rendered raster. Every callback returns 1 on success and
// a negative status otherwise; it never throws and never leaves a bitmap or
// memory handle behind on failure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "svgfilter/FilterStatus.h"
#include "svgfilter/HostRecords.h"

namespace svgtool {

using svgflt::Status;

// The host's own error codes. They pass through the filter untouched, so
// they sit apart from the filter's and the kernels' codes.
inline constexpr Status kErrPictureFormat = -300;   // neither PNG nor JPEG
inline constexpr Status kErrPictureCorrupt = -301;  // truncated or corrupt picture data
inline constexpr Status kErrPictureTooLarge = -302; // beyond kMaxPictureSide or kMaxPictureBytes
inline constexpr Status kErrFileRefused = -303;     // linked file outside the allowed folder
inline constexpr Status kErrFileMissing = -304;     // linked or named file cannot be found or read
inline constexpr Status kErrFileWrite = -305;       // an output file cannot be written
inline constexpr Status kErrExportFormat = -306;    // export format or pixel depth not supported
inline constexpr Status kErrRowMismatch = -307;     // a delivered row does not fit the raster

// Largest picture the loaders accept: each side, and the decoded bytes.
inline constexpr std::int32_t kMaxPictureSide = 16384;
inline constexpr std::uint64_t kMaxPictureBytes = 256ull << 20;

// The meaning of a status: the host's own codes above, else the filter's.
[[nodiscard]] const char* HostStatusName(Status status);

// --- picture loading ---

// Decodes PNG or JPEG bytes (sniffed from the data) into `bitmap`, which is
// initialised and allocated here: 24-bit B,G,R, or 32-bit B,G,R,A when a PNG
// carries alpha. kErrPictureFormat, kErrPictureCorrupt, kErrPictureTooLarge,
// kErrMissing for null arguments, or an imaging-kernel code.
[[nodiscard]] Status DecodePicture(const void* data, std::size_t size, BitmapRecord* bitmap);

// LoadRasterFromMemoryFn: (data, bitmap, record size, 0, 1, byte count).
std::int32_t LoadRasterFromMemory(const void* data, BitmapRecord* bitmap, std::int32_t recordSize,
                                  std::int32_t a, std::int32_t b, std::int32_t byteCount);
// InfoLoadRasterFromMemoryFn: the same with two further unused arguments.
std::int32_t InfoLoadRasterFromMemory(const void* data, BitmapRecord* bitmap,
                                      std::int32_t recordSize, std::int32_t a, std::int32_t b,
                                      std::int32_t byteCount, std::int32_t c, std::int32_t d);

// Where linked picture files may come from. Relative names resolve against
// `baseFolder`; unless `allowAnyFile`, the resolved file must lie in that
// folder or below it (after resolving symbolic links and "..").
void SetLinkedFileBase(const std::string& baseFolder, bool allowAnyFile);

// The absolute, resolved path of a linked file name under the current base
// folder rule: kErrFileMissing when it cannot be resolved, kErrFileRefused
// when it lies outside the allowed folder.
[[nodiscard]] Status ResolveLinkedFile(const std::string& name, std::string* resolved);

// LoadRasterFromFileFn: (UTF-16 file name, bitmap, record size, 0, 1, 0, 0).
// kErrFileMissing, kErrFileRefused, or any code of DecodePicture.
std::int32_t LoadRasterFromFile(const char16_t* fileName, BitmapRecord* bitmap,
                                std::int32_t recordSize, std::int32_t a, std::int32_t b,
                                std::int32_t c, std::int32_t d);

// --- PNG export ---

// PNG bytes of a bitmap (1, 4, 8 bits with palette, 24 or 32 bits). With
// `bitsPerPixel` 24 a 32-bit bitmap loses its alpha; 0 keeps the bitmap's
// own depth. kErrExportFormat, kErrNoMemory, kErrMissing.
[[nodiscard]] Status EncodePng(const BitmapRecord* bitmap, std::int32_t bitsPerPixel,
                               std::vector<std::uint8_t>* png);

// ExportToMemoryFn: (handle out, bitmap, 75, 0, 0, byte count out, 0). The
// PNG bytes land in a movable memory block of the imaging kernel, which the
// caller frees with KernelFreeMemory. kErrExportFormat for another format.
std::int32_t ExportToMemory(void** handle, const BitmapRecord* bitmap, std::int32_t format,
                            std::int32_t a, std::int32_t b, std::int32_t* byteCount,
                            std::int32_t c);

// ExportToFileFn: (UTF-16 file name, bitmap, 75, bits per pixel, 0, 0).
// kErrExportFormat, kErrFileWrite.
std::int32_t ExportToFile(const char16_t* fileName, const BitmapRecord* bitmap,
                          std::int32_t format, std::int32_t bitsPerPixel, std::int32_t a,
                          std::int32_t b);

// --- rendered rows ---

// A raster assembled from the rows the filter delivers: 8-bit R,G,B
// triples, top row first, no padding.
struct RowSink {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> rgb;
  std::int32_t rowsReceived = 0;
  bool sawFirst = false;  // a row flagged as the first one arrived
  bool sawLast = false;   // a row flagged as the last one arrived

  // True once every row from the first to the last arrived.
  [[nodiscard]] bool Complete() const {
    return sawFirst && sawLast && rowsReceived == height;
  }
};

// RowCallback flags: the first and the last row of a raster.
inline constexpr std::int32_t kRowFirst = 4;
inline constexpr std::int32_t kRowLast = 8;

// RowCallback: `userData` is a RowSink. The first row (size from `target`)
// starts a new raster; rows of 24 or 32 bits per pixel are converted to
// R,G,B. kErrRowMismatch for a row outside the raster or another depth.
std::int32_t CollectRow(void* hostArg, BitmapRecord* target, std::uint8_t* row,
                        std::int32_t flags, std::int32_t rowNumber, std::int32_t lineCount,
                        void* userData);

// Writes an R,G,B raster (as in RowSink) as a PNG file. kErrFileWrite,
// kErrNoMemory, kErrMissing for an empty raster.
[[nodiscard]] Status WriteRgbPng(const std::string& path, std::int32_t width,
                                 std::int32_t height, const std::vector<std::uint8_t>& rgb);

}  // namespace svgtool
