// Shared helpers of the writer tests: a vector document built through the
// vector kernel, saves into a folder of the test's own, host export
// callbacks with fixed PNG bytes and golden-file comparison.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Common/save.h"
#include "ImagingKernel/ImagingKernel.h"
#include "Module/TempFiles.h"
#include "VectorKernel/VectorKernel.h"
#include "svgfilter/FilterStatus.h"

namespace writertest {

using svgflt::kOk;

inline KernelPoint Pt(double x, double y) { return KernelPoint{x, y, 0.0, 0}; }

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The fixed "PNG" the export callbacks hand over: 13 bytes, so the base64
// text ends in an incomplete group.
inline const std::string kFixedPng("\x89PNG\r\n\x1a\n\0\0\0\rI", 13);

inline std::int32_t FixedExportToMemory(void** handle, const BitmapRecord*, std::int32_t format,
                                        std::int32_t, std::int32_t, std::int32_t* byteCount,
                                        std::int32_t) {
  if (format != kFormatPng) return svgflt::kErrMissing;
  KernelMemHandle memory = KernelAllocMemory(static_cast<std::uint32_t>(kFixedPng.size()), __LINE__,
                                             u"tests/WriterTestSupport");
  if (memory == nullptr) return svgflt::kErrNoMemory;
  std::memcpy(KernelLockMemory(memory), kFixedPng.data(), kFixedPng.size());
  (void)KernelUnlockMemory(memory);
  *handle = memory;
  *byteCount = static_cast<std::int32_t>(kFixedPng.size());
  return kOk;
}

inline std::int32_t FixedExportToFile(const char16_t* fileName, const BitmapRecord*,
                                      std::int32_t format, std::int32_t bitsPerPixel,
                                      std::int32_t, std::int32_t) {
  if (format != kFormatPng || bitsPerPixel != 24) return svgflt::kErrMissing;
  const std::string path(fileName, fileName + std::char_traits<char16_t>::length(fileName));
  std::ofstream(path, std::ios::binary) << kFixedPng;
  return kOk;
}

// Fails every export with a host code of its own.
inline constexpr std::int32_t kExportRefused = -306;
inline std::int32_t RefusingExportToFile(const char16_t*, const BitmapRecord*, std::int32_t,
                                         std::int32_t, std::int32_t, std::int32_t) {
  return kExportRefused;
}

// The names in a folder, sorted.
inline std::vector<std::string> FolderEntries(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(path, ignored))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The part of a saved file after the hatch patterns and before the closing
// svg tag: the objects.
inline std::string ObjectsOf(const std::string& text) {
  const std::string open = "\t</defs>\r\n";
  const std::size_t start = text.find(open);
  const std::size_t end = text.rfind("\r\n</svg>\r\n");
  if (start == std::string::npos || end == std::string::npos || end < start) return "<no frame>";
  return text.substr(start + open.size(), end - start - open.size());
}

// A vector document and a folder to save it into; temporary picture files
// go to the folder's "tmp". The extent is set by hand after the objects are
// added (adding widens it), so expected coordinates do not depend on the
// kernel's bounds.
class WriterFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(VectorInit(&document_), kOk);
    request_.mode = 1;
    request_.document = &document_;
    request_.exportToMemory = FixedExportToMemory;
    request_.exportToFile = FixedExportToFile;
    std::filesystem::create_directory(temp_);
    const char* previous = std::getenv("TMPDIR");
    previousTmp_ = previous != nullptr ? previous : "";
    setenv("TMPDIR", (temp_ + "/").c_str(), 1);
  }
  void TearDown() override {
    KernelFailAllocation(0);
    (void)VectorFree(&document_);
    EXPECT_TRUE(FolderEntries(temp_).empty());  // no temporary picture left behind
    if (previousTmp_.empty()) unsetenv("TMPDIR");
    else setenv("TMPDIR", previousTmp_.c_str(), 1);
  }

  void SetExtent(double x0, double y0, double x1, double y1) {
    document_.lowerBound = Pt(x0, y0);
    document_.upperBound = Pt(x1, y1);
  }
  // Adds an object of `type`, its record filled with the kernel's defaults
  // and then by `fill`.
  template <typename Record, typename Fill>
  void Add(std::int32_t type, Fill fill) {
    Record record{};
    ASSERT_EQ(VectorInitObject(&record, type), kOk);
    fill(record);
    VectorObjectRef id = 0;
    ASSERT_EQ(VectorAddObject(&document_, 0, type, &record, &id), kOk);
  }
  void AddRaster(double x0, double y0, double x1, double y1) {
    Add<VectorRasterObject>(kVoRaster, [&](auto& r) { r.corner1 = Pt(x0, y0); r.corner2 = Pt(x1, y1); });
  }
  void Reset() {
    (void)VectorFree(&document_);
    document_ = VectorDocument{};
    ASSERT_EQ(VectorInit(&document_), kOk);
  }

  // Saves into the test folder; the status, and the file's bytes in `text`.
  svgflt::Status Save(const std::string& name, std::string* text, std::int32_t format = 0) {
    const std::string path = folder_.Path(name);
    const std::u16string wide(path.begin(), path.end());
    request_.fileName = wide.c_str();
    const svgflt::Status status = svgflt::SaveSvg(&document_, &request_, wide.c_str(), format);
    if (text != nullptr) *text = ReadFile(path);
    return status;
  }
  // The saved text of the document, expected to save with kOk.
  std::string Saved(std::int32_t format = 0) {
    std::string text;
    EXPECT_EQ(Save("drawing.svg", &text, format), kOk);
    return text;
  }
  std::string Objects() { return ObjectsOf(Saved()); }

  VectorDocument document_{};
  SaveRequest request_{};
  svgtest::TempFolder folder_;
  const std::string temp_ = folder_.Path("tmp");
  std::string previousTmp_;
};

// `text` with every `from` replaced by `to`.
inline std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// Compares `actual` with tests/golden/NAME byte for byte; with
// SVGFLT_UPDATE_GOLDEN=1 rewrites the golden file instead.
inline void ExpectGolden(const std::string& name, const std::string& actual) {
  const std::string path = std::string(SVGFLT_SOURCE_DIR) + "/tests/golden/" + name;
  const char* update = std::getenv("SVGFLT_UPDATE_GOLDEN");
  if (update != nullptr && std::strcmp(update, "1") == 0) {
    std::ofstream(path, std::ios::binary) << actual;
    return;
  }
  const std::string expected = ReadFile(path);
  ASSERT_FALSE(expected.empty()) << "no golden file " << path;
  EXPECT_EQ(expected, actual) << name;
}

}  // namespace writertest
