// Shared pieces of the whole-filter fuzz targets: the input written to a
// file the filter can open, host callbacks that never touch real pictures,
// load and save calls as a host makes them, and the leak check against the
// imaging kernel's accounting.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "ImagingKernel/ImagingKernel.h"
#include "VectorKernel/VectorKernel.h"
#include "svgfilter/FilterStatus.h"
#include "svgfilter/HostRecords.h"
#include "tools/HostCallbacks.h"

// fontconfig keeps its configuration for the life of the process once the
// text measurer has asked it for a font; that is not the filter's to free.
// (Each whole-filter target includes this header once.)
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace fuzzload {

using svgflt::kOk;
using svgflt::Status;

// Detection refuses files shorter than this; shorter inputs are padded with
// blanks (harmless after the root element) so the fuzzer need not learn it.
inline constexpr std::size_t kDetectionWindow = 256;

// The scratch folder's path, kept in plain storage so that the exit handler
// can still read it after static objects are gone.
inline char scratchPath[64] = {};

// A scratch folder for this process, in memory where the system has one;
// removed with its files when the process exits normally.
inline const std::string& ScratchFolder() {
  static const std::string folder = [] {
    std::snprintf(scratchPath, sizeof scratchPath, "%s/svgflt-fuzz-XXXXXX",
                  access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    if (mkdtemp(scratchPath) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(scratchPath, ignored);
    });
    return std::string(scratchPath);
  }();
  return folder;
}

inline std::u16string Wide(const std::string& path) {
  return std::u16string(path.begin(), path.end());
}

// Writes `bytes` (padded to the detection window) to `name` in the scratch
// folder; its UTF-16 path.
inline std::u16string WriteInput(const char* name, const std::uint8_t* data, std::size_t size) {
  const std::string path = ScratchFolder() + "/" + name;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, out) != size) std::abort();
  for (std::size_t i = size; i < kDetectionWindow; ++i) std::fputc(' ', out);
  std::fclose(out);
  return Wide(path);
}

// Picture loaders: a 2 x 2 white bitmap for any data or name, so the image
// paths of the filter run without a decoder.
inline Status SmallPicture(BitmapRecord* bitmap) {
  std::memset(bitmap, 0, sizeof *bitmap);
  Status status = InitBitmap(bitmap, static_cast<int32_t>(sizeof *bitmap), 2, 2, 24);
  if (status == kOk) status = AllocateBitmap(bitmap, 1);
  if (status == kOk) status = FillBitmap(bitmap, 0xFFFFFF);
  if (status != kOk) (void)FreeBitmap(bitmap);
  return status;
}

inline int32_t PictureFromMemory(const void* data, BitmapRecord* bitmap, int32_t, int32_t,
                                 int32_t, int32_t byteCount) {
  if (data == nullptr || byteCount < 1) return svgtool::kErrPictureFormat;
  return SmallPicture(bitmap);
}

inline int32_t InfoPictureFromMemory(const void* data, BitmapRecord* bitmap, int32_t recordSize,
                                     int32_t a, int32_t b, int32_t byteCount, int32_t, int32_t) {
  return PictureFromMemory(data, bitmap, recordSize, a, b, byteCount);
}

inline int32_t PictureFromFile(const char16_t* fileName, BitmapRecord* bitmap, int32_t, int32_t,
                               int32_t, int32_t, int32_t) {
  if (fileName == nullptr || *fileName == 0) return svgtool::kErrFileMissing;
  return SmallPicture(bitmap);
}

// Exports: eight fixed bytes as the "PNG" in movable memory; file exports
// write nothing.
inline int32_t ExportToMemory(void** handle, const BitmapRecord* bitmap, int32_t, int32_t,
                              int32_t, int32_t* byteCount, int32_t) {
  if (handle == nullptr || bitmap == nullptr || byteCount == nullptr) return svgflt::kErrMissing;
  static constexpr std::uint8_t kBytes[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  KernelMemHandle memory = KernelAllocMemory(sizeof kBytes, __LINE__, u"fuzz/LoadHarness");
  if (memory == nullptr) return svgflt::kErrNoMemory;
  void* bytes = KernelLockMemory(memory);
  std::memcpy(bytes, kBytes, sizeof kBytes);
  (void)KernelUnlockMemory(memory);
  *handle = memory;
  *byteCount = static_cast<int32_t>(sizeof kBytes);
  return kOk;
}

inline int32_t ExportToFile(const char16_t* fileName, const BitmapRecord* bitmap, int32_t,
                            int32_t, int32_t, int32_t) {
  return fileName == nullptr || bitmap == nullptr ? svgflt::kErrMissing : kOk;
}

// A vector document of the host's, as a caller hands it to fltLoad.
class HostDocument {
 public:
  HostDocument() : record_(std::make_unique<VectorDocument>()) {
    if (VectorInit(record_.get()) != kOk) std::abort();
  }
  HostDocument(const HostDocument&) = delete;
  HostDocument& operator=(const HostDocument&) = delete;
  ~HostDocument() { (void)VectorFree(record_.get()); }
  VectorDocument* get() const { return record_.get(); }

 private:
  std::unique_ptr<VectorDocument> record_;
};

// fltInfo on the file, the document made and freed by the filter.
inline Status Info(const std::u16string& name) {
  const int32_t file = KernelOpenFile(name.c_str(), kOpenBinary, kPermRead);
  if (file == -1) std::abort();
  auto request = std::make_unique<InfoRequest>();
  auto fileInfo = std::make_unique<FileInfo>();
  ResolutionRecord resolution{0, 96, 96};
  request->file = file;
  request->fileInfo = fileInfo.get();
  request->resolution = &resolution;
  request->loadFromMemory = InfoPictureFromMemory;
  const Status status = fltInfo(request.get());
  if (KernelCloseFile(file) != 0) std::abort();
  return status;
}

// fltLoad in vector mode into `document`.
inline Status LoadVector(const std::u16string& name, VectorDocument* document) {
  auto request = std::make_unique<LoadRequest>();
  ResolutionRecord resolution{0, 96, 96};
  request->fileName = name.c_str();
  request->document = document;
  request->mode = 1;
  request->resolution = &resolution;
  request->loadFromMemory = PictureFromMemory;
  request->loadFromFile = PictureFromFile;
  return fltLoad(request.get());
}

// fltSave of `document` to `name`, pictures embedded.
inline Status Save(const std::u16string& name, VectorDocument* document) {
  auto request = std::make_unique<SaveRequest>();
  request->fileName = name.c_str();
  request->saveFormat = kSaveFormatEmbedImages;
  request->mode = 1;
  request->document = document;
  request->exportToMemory = ExportToMemory;
  request->exportToFile = ExportToFile;
  return fltSave(request.get());
}

// Aborts when more is live in the kernel than at `before`: blocks, bitmaps,
// movable memory, contexts, open files or tracked objects.
inline void CheckNothingLiveSince(const KernelAccounting& before, const char* stage) {
  KernelAccounting after{};
  KernelGetAccounting(&after);
  if (after.liveBlocks == before.liveBlocks && after.liveBitmaps == before.liveBitmaps &&
      after.liveMemHandles == before.liveMemHandles &&
      after.liveContexts == before.liveContexts && after.openFiles == before.openFiles &&
      after.trackedObjects == before.trackedObjects) {
    return;
  }
  std::fprintf(stderr,
               "left live after %s: %lld blocks, %lld bitmaps, %lld memory handles, "
               "%lld contexts, %lld files, %lld tracked objects\n",
               stage, static_cast<long long>(after.liveBlocks - before.liveBlocks),
               static_cast<long long>(after.liveBitmaps - before.liveBitmaps),
               static_cast<long long>(after.liveMemHandles - before.liveMemHandles),
               static_cast<long long>(after.liveContexts - before.liveContexts),
               static_cast<long long>(after.openFiles - before.openFiles),
               static_cast<long long>(after.trackedObjects - before.trackedObjects));
  KernelReportLiveBlocks(
      [](const char16_t* path, int32_t line, uint32_t bytes, void*) {
        std::string narrow;
        for (const char16_t* p = path; p != nullptr && *p != 0; ++p) {
          narrow.push_back(static_cast<char>(*p));
        }
        std::fprintf(stderr, "  %s:%d %u bytes\n", narrow.c_str(), line, bytes);
      },
      nullptr);
  std::abort();
}

}  // namespace fuzzload
