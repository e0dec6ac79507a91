// The entry-point calls of a host on files, with what it sees of the results
// as comparable values: the objects as JSON lines, the saved bytes, the rows.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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

// Style sheet, classes, a symbol drawn twice through `use`, a link, both
// gradient kinds, a pattern, text with tspan and tref, and fractions
// wherever a number is read or written.
constexpr char kRichSvg[] =
    "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
    "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"240.5\" height=\"160.25\" "
    "viewBox=\"0.5 0.25 240.5 160.25\">\n<style type=\"text/css\"><![CDATA[\n"
    "  .warm { fill: #d95d39; stroke: #333; stroke-width: 1.75 }\n"
    "  .cool { fill: url(#fade); opacity: 0.8 }\n"
    "  text.note { font-family: serif; font-size: 14.5px; font-weight: bold }\n]]></style>\n"
    "<defs><linearGradient id=\"fade\" x1=\"0\" y1=\"0\" x2=\"1\" y2=\"1\"><stop offset=\"0.25\" "
    "stop-color=\"#2a6fdb\"/><stop offset=\"0.75\" stop-color=\"#9fd3ff\" stop-opacity=\"0.5\"/>"
    "</linearGradient>\n<radialGradient id=\"glow\" cx=\"50%\" r=\"50%\" xlink:href=\"#fade\"/>\n"
    "<pattern id=\"dots\" width=\"8\" height=\"8\" patternUnits=\"userSpaceOnUse\">"
    "<circle cx=\"4\" cy=\"4\" r=\"2\" fill=\"#333\"/></pattern>\n"
    "<symbol id=\"star\" viewBox=\"0 0 20 20\"><polygon class=\"warm\" "
    "points=\"10,1 13,8 20,8 14,12 16,19 10,15 4,19 6,12 0,8 7,8\"/></symbol>\n"
    "<text id=\"label\">referenced words</text></defs>\n"
    "<rect class=\"cool\" x=\"5.5\" y=\"5.25\" width=\"100.125\" height=\"60.5\" rx=\"6\"/>\n"
    "<ellipse cx=\"170.5\" cy=\"35.25\" rx=\"40.5\" ry=\"25.25\" fill=\"url(#glow)\"/>\n"
    "<rect x=\"120\" y=\"70\" width=\"50\" height=\"30\" fill=\"url(#dots)\"/>\n"
    "<g transform=\"translate(10.5 70.25) rotate(10.5)\" style=\"stroke:#000;fill:none\">\n"
    "<path d=\"M0.5 0 L30.25 10 Q40 30 20 40 A10 10 0 0 1 0 40 z m5 5 h5 v5 C10 20 20 20 25 5 "
    "S30 0 35 0 T40 5\"/><polyline points=\"0.5,50 10.25,60 20,50 30,60.75\"/>\n"
    "<line x1=\"0\" y1=\"70\" x2=\"40\" y2=\"70\" stroke-dasharray=\"4.5, 2.25\"/></g>\n"
    "<use xlink:href=\"#star\" x=\"180\" y=\"80\" width=\"30\" height=\"30\"/>\n"
    "<use xlink:href=\"#star\" x=\"200\" y=\"110\" width=\"20\" height=\"20\" "
    "transform=\"scale(1.1)\"/>\n<a xlink:href=\"https://example.org/\"><circle class=\"warm\" "
    "cx=\"60\" cy=\"130\" r=\"12\"/></a>\n<text class=\"note\" x=\"80.5\" y=\"150\" "
    "transform=\"rotate(30.5 80 150)\">Komma 1,5 <tspan fill=\"red\" dy=\"-3.5\">text</tspan> and "
    "<tref xlink:href=\"#label\"/></text>\n</svg>\n";

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// `text` with the fresh names of linked picture files ("svg", hex digits,
// ".tmp") masked, which differ from save to save.
inline std::string WithoutPictureNames(std::string text) {
  for (std::size_t at = text.find("svg"); at != std::string::npos; at = text.find("svg", at + 3)) {
    std::size_t end = at + 3;
    while (end < text.size() && std::isxdigit(static_cast<unsigned char>(text[end])) != 0) ++end;
    if (end > at + 3 && text.compare(end, 4, ".tmp") == 0) text.erase(at + 3, end - at - 3);
  }
  return text;
}

// A vector document of the host's, freed at the end of scope.
class HostDocument {
 public:
  HostDocument() { EXPECT_EQ(VectorInit(record_.get()), svgflt::kOk); }
  ~HostDocument() { (void)VectorFree(record_.get()); }
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
