// The entry-point calls of a host on files, with what it sees of the results
// as comparable values: the objects as JSON lines, the saved bytes, the rows.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "VectorKernel/VectorKernel.h"
#include "svgfilter/FilterStatus.h"
#include "svgfilter/HostRecords.h"
#include "tools/CmdDump.h"
#include "tools/HostCallbacks.h"
#include "tools/Module.h"

namespace svgtest {

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A vector document of the host's, freed at the end of scope.
class HostDocument {
 public:
  HostDocument() { EXPECT_EQ(VectorInit(record_.get()), svgflt::kOk); }
  ~HostDocument() { (void)VectorFree(record_.get()); }
  HostDocument(const HostDocument&) = delete;
  HostDocument& operator=(const HostDocument&) = delete;
  VectorDocument* get() const { return record_.get(); }

 private:
  std::unique_ptr<VectorDocument> record_ = std::make_unique<VectorDocument>();
};

// fltInfo's request at 96 dpi, exact size, with the host's picture callback.
struct HostInfo {
  ResolutionRecord resolution{0, 96, 96};
  std::unique_ptr<FileInfo> fileInfo = std::make_unique<FileInfo>();
  std::unique_ptr<InfoRequest> request = std::make_unique<InfoRequest>();
  HostInfo() {
    request->fileInfo = fileInfo.get();
    request->resolution = &resolution;
    request->sizeMode = 1;
    request->loadFromMemory = svgtool::InfoLoadRasterFromMemory;
  }
  InfoRequest* operator->() const { return request.get(); }

  // fltInfo on the file at `path`, opened as the host opens it.
  svgflt::Status Run(const std::string& path) const {
    const std::u16string name = svgtool::ToUtf16(path);
    const int32_t file = KernelOpenFile(name.c_str(), kOpenBinary, kPermRead);
    EXPECT_NE(file, -1) << path;
    request->file = file;
    const svgflt::Status status = fltInfo(request.get());
    EXPECT_EQ(KernelCloseFile(file), 0);
    return status;
  }
};

// fltLoad's request for `path` in `mode` (0 raster, 1 vector) at 96 dpi, with
// the host's picture callbacks.
struct HostLoad {
  ResolutionRecord resolution{0, 96, 96};
  std::u16string name;
  std::unique_ptr<LoadRequest> request = std::make_unique<LoadRequest>();
  HostLoad(const std::string& path, int32_t mode) : name(svgtool::ToUtf16(path)) {
    request->fileName = name.c_str();
    request->mode = mode;
    request->resolution = &resolution;
    request->loadFromMemory = svgtool::LoadRasterFromMemory;
    request->loadFromFile = svgtool::LoadRasterFromFile;
  }
  LoadRequest* operator->() const { return request.get(); }
};

inline svgflt::Status LoadVector(const std::string& path, VectorDocument* document) {
  const HostLoad load(path, 1);
  load->document = document;
  return fltLoad(load.request.get());
}

inline svgflt::Status SaveVector(VectorDocument* document, const std::string& path,
                                 int32_t saveFormat = kSaveFormatEmbedImages) {
  const std::u16string name = svgtool::ToUtf16(path);
  auto save = std::make_unique<SaveRequest>();
  save->fileName = name.c_str();
  save->saveFormat = saveFormat;
  save->mode = 1;
  save->document = document;
  save->exportToMemory = svgtool::ExportToMemory;
  save->exportToFile = svgtool::ExportToFile;
  return fltSave(save.get());
}

// The rows a raster load delivered, each as the host received it.
struct RasterRun {
  svgflt::Status status = svgflt::kOk;
  int32_t rows = 0;  // rows delivered
  int32_t stride = 0;
  std::vector<uint8_t> pixels;  // row n at n * stride

  bool operator==(const RasterRun&) const = default;
};

inline int32_t KeepRow(void*, BitmapRecord* target, uint8_t* row, int32_t, int32_t rowNumber,
                       int32_t, void* userData) {
  auto* run = static_cast<RasterRun*>(userData);
  run->stride = target->bytesPerRow;
  const auto at = static_cast<std::size_t>(rowNumber) * static_cast<std::size_t>(run->stride);
  if (rowNumber < 0 || at + static_cast<std::size_t>(run->stride) > run->pixels.size())
    return svgflt::kErrMissing;
  std::copy(row, row + run->stride, run->pixels.begin() + static_cast<std::ptrdiff_t>(at));
  ++run->rows;
  return svgflt::kOk;
}

// fltLoad of `path` in raster mode into a width x height target.
inline RasterRun PaintRaster(const std::string& path, int32_t width, int32_t height,
                             int32_t bitsPerPixel = 24, FilterScratch* scratch = nullptr) {
  RasterRun run;
  BitmapRecord target{};
  run.status = InitBitmap(&target, static_cast<int32_t>(sizeof target), width, height,
                          bitsPerPixel);
  if (run.status != svgflt::kOk) return run;
  run.pixels.assign(static_cast<std::size_t>(target.bytesPerRow) * height, 0);
  const HostLoad load(path, 0);
  load->target = &target;
  load->width = width;
  load->height = height;
  load->rowCallback = KeepRow;
  load->userData = &run;
  load->scratch = scratch;
  run.status = fltLoad(load.request.get());
  EXPECT_EQ(FreeBitmap(&target), svgflt::kOk);  // the palette an 8-bit target got
  return run;
}

// The dump's status, then its JSON line per object of `document`.
inline std::string ObjectLines(VectorDocument* document) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  const svgflt::Status status = svgtool::WriteObjectLines(document, out);
  std::fclose(out);
  const std::string lines = "status " + std::to_string(status) + "\n" + std::string(buffer, size);
  std::free(buffer);
  return lines;
}

struct VectorRun {
  svgflt::Status loadStatus = svgflt::kOk;
  std::string objects;  // ObjectLines of the loaded document
  svgflt::Status saveStatus = svgflt::kOk;
  std::string saved;  // the bytes fltSave wrote, pictures embedded

  bool operator==(const VectorRun&) const = default;
};

inline void PrintTo(const VectorRun& run, std::ostream* out) {
  *out << "load " << run.loadStatus << ", save " << run.saveStatus << "\n" << run.objects << "\n"
       << run.saved;
}

// fltLoad of `path` in vector mode into a fresh document and, when that
// succeeds, fltSave of the document to `savePath` (pictures embedded).
inline VectorRun LoadAndSave(const std::string& path, const std::string& savePath) {
  VectorRun run;
  const HostDocument document;
  run.loadStatus = LoadVector(path, document.get());
  if (run.loadStatus != svgflt::kOk) return run;
  run.objects = ObjectLines(document.get());
  run.saveStatus = SaveVector(document.get(), savePath);
  if (run.saveStatus == svgflt::kOk) run.saved = ReadBytes(savePath);
  return run;
}

}  // namespace svgtest
