// Shared helpers of the writer tests: a vector document built through the
// vector kernel, saves into a folder of the test's own, host export
// callbacks with fixed PNG bytes, golden-file comparison and XML checks.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Common/Parser/Elements.h"
#include "Common/Parser/Reader.h"
#include "Common/save.h"
#include "ImagingKernel/ImagingKernel.h"
#include "Module/TempFiles.h"
#include "VectorKernel/VectorKernel.h"
#include "svgfilter/FilterStatus.h"

namespace writertest {

using svgflt::kOk;

inline KernelPoint Pt(double x, double y) { return KernelPoint{x, y, 0.0, 0}; }

inline std::u16string Utf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The fixed "PNG" the export callbacks hand over: 13 bytes, so the base64
// text ends in an incomplete group.
inline const std::string& FixedPng() {
  static const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rI", 13);
  return png;
}

inline std::int32_t FixedExportToMemory(void** handle, const BitmapRecord*, std::int32_t format,
                                        std::int32_t, std::int32_t, std::int32_t* byteCount,
                                        std::int32_t) {
  if (format != kFormatPng) return svgflt::kErrMissing;
  const std::string& png = FixedPng();
  KernelMemHandle memory = KernelAllocMemory(static_cast<std::uint32_t>(png.size()), __LINE__,
                                             u"tests/WriterTestSupport");
  if (memory == nullptr) return svgflt::kErrNoMemory;
  std::memcpy(KernelLockMemory(memory), png.data(), png.size());
  (void)KernelUnlockMemory(memory);
  *handle = memory;
  *byteCount = static_cast<std::int32_t>(png.size());
  return kOk;
}

inline std::int32_t FixedExportToFile(const char16_t* fileName, const BitmapRecord*,
                                      std::int32_t format, std::int32_t bitsPerPixel,
                                      std::int32_t, std::int32_t) {
  if (format != kFormatPng || bitsPerPixel != 24) return svgflt::kErrMissing;
  std::string path;
  for (const char16_t* p = fileName; *p != 0; ++p) path.push_back(static_cast<char>(*p));
  WriteFile(path, FixedPng());
  return kOk;
}

// Sets TMPDIR (where the platform makes temporary files) for the scope.
class ScopedTempDirectory {
 public:
  explicit ScopedTempDirectory(const std::string& path) {
    const char* previous = std::getenv("TMPDIR");
    hadPrevious_ = previous != nullptr;
    if (hadPrevious_) previous_ = previous;
    setenv("TMPDIR", path.c_str(), 1);
  }
  ScopedTempDirectory(const ScopedTempDirectory&) = delete;
  ScopedTempDirectory& operator=(const ScopedTempDirectory&) = delete;
  ~ScopedTempDirectory() {
    if (hadPrevious_) {
      setenv("TMPDIR", previous_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }

 private:
  bool hadPrevious_ = false;
  std::string previous_;
};

// The names in a folder, sorted.
inline std::vector<std::string> FolderEntries(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(path, ignored))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}
inline bool FolderIsEmpty(const std::string& path) { return FolderEntries(path).empty(); }

// Fails every export with a host code of its own.
inline constexpr std::int32_t kExportRefused = -306;
inline std::int32_t RefusingExportToFile(const char16_t*, const BitmapRecord*, std::int32_t,
                                         std::int32_t, std::int32_t, std::int32_t) {
  return kExportRefused;
}

// A vector document and a folder to save it into. The extent is set by
// hand after the objects are added (adding widens it), so the expected
// coordinates do not depend on the kernel's bounds.
class WriterFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(VectorInit(&document_), kOk);
    request_ = std::make_unique<SaveRequest>();
    request_->mode = 1;
    request_->document = &document_;
    request_->exportToMemory = FixedExportToMemory;
    request_->exportToFile = FixedExportToFile;
  }
  void TearDown() override {
    KernelFailAllocation(0);
    (void)VectorFree(&document_);
  }

  void SetExtent(double x0, double y0, double x1, double y1) {
    document_.lowerBound = Pt(x0, y0);
    document_.upperBound = Pt(x1, y1);
  }

  template <typename Record>
  Record Init(std::int32_t type) {
    Record record{};
    EXPECT_EQ(VectorInitObject(&record, type), kOk);
    return record;
  }
  template <typename Record>
  void Add(std::int32_t type, const Record& record) {
    VectorObjectRef id = 0;
    ASSERT_EQ(VectorAddObject(&document_, 0, type, &record, &id), kOk);
  }

  // One object of every kind the writer knows, pens and brushes varied,
  // inside the extent (0, 0) .. (300, 200).
  void AddEveryKind() {
    auto point = Init<VectorPointObject>(kVoPoint);
    point.point = Pt(10, 20);
    Add(kVoPoint, point);
    auto line = Init<VectorLineObject>(kVoLine);
    line.from = Pt(0, 0);
    line.to = Pt(100, 50);
    line.pen.style = kPenDashDot | kPenCapFlat | kPenJoinBevel;
    line.pen.width = 3;
    Add(kVoLine, line);
    auto rect = Init<VectorRectObject>(kVoRect);
    rect.corner1 = Pt(120, 80);
    rect.corner2 = Pt(20, 10);
    rect.brush.w[2] = kBrushHatched;
    rect.brush.w[4] = kHatchCross;
    Add(kVoRect, rect);
    KernelPoint wave[4] = {Pt(0, 0), Pt(10, 40), Pt(30, 40), Pt(40, 0)};
    for (const std::int32_t type : {kVoPolyline, kVoBezier, kVoPolyBezier, kVoSpline}) {
      auto open = Init<VectorPolylineObject>(type);
      open.count = 4;
      open.points = wave;
      Add(type, open);
    }
    KernelPoint triangle[3] = {Pt(10, 10), Pt(60, 10), Pt(35, 60)};
    KernelPoint closedCurve[4] = {Pt(100, 100), Pt(120, 140), Pt(140, 140), Pt(160, 100)};
    for (const std::int32_t type : {kVoPolygon, kVoClosedBezier, kVoClosedSpline}) {
      auto polygon = Init<VectorPolygonObject>(type);
      polygon.count = type == kVoPolygon ? 3 : 4;
      polygon.points = type == kVoPolygon ? triangle : closedCurve;
      polygon.fillMode = kFillAlternate;
      polygon.brush.w[2] = kBrushHollow;
      Add(type, polygon);
    }
    auto ellipse = Init<VectorEllipseObject>(kVoEllipse);
    ellipse.centre = Pt(150, 50);
    ellipse.rx = 30;
    ellipse.ry = 20;
    Add(kVoEllipse, ellipse);
    auto circle = Init<VectorCircleObject>(kVoCircle);
    circle.centre = Pt(200, 100);
    circle.r = 25;
    Add(kVoCircle, circle);
    auto arc = Init<VectorArcObject>(kVoArc);
    arc.centre = Pt(250, 150);
    arc.rx = 20;
    arc.ry = 10;
    arc.start = 0;
    arc.extent = 90;
    Add(kVoArc, arc);
    auto pie = Init<VectorPieObject>(kVoPie);
    pie.centre = Pt(250, 50);
    pie.rx = 20;
    pie.ry = 20;
    pie.start = 45;
    pie.extent = 180;
    Add(kVoPie, pie);
    KernelPoint pathPoints[5] = {Pt(0, 0), Pt(50, 0), Pt(60, 10), Pt(60, 20), Pt(50, 30)};
    std::uint8_t kinds[5] = {kPtMoveTo, kPtLineTo, kPtBezierTo, kPtBezierTo,
                             kPtBezierTo | kPtCloseFigure};
    auto path = Init<VectorPathObject>(kVoPath);
    path.count = 5;
    path.points = pathPoints;
    path.kinds = kinds;
    Add(kVoPath, path);
    auto text = Init<VectorTextObject>(kVoText);
    text.position = Pt(10, 150);
    text.text = u"a<b & c";
    text.fontSize = 12;
    text.font.weight = 700;
    text.font.escapement = 300;
    std::memcpy(text.font.faceName, u"Sans", sizeof(u"Sans"));
    Add(kVoText, text);
    auto raster = Init<VectorRasterObject>(kVoRaster);
    raster.corner1 = Pt(10, 20);
    raster.corner2 = Pt(60, 80);
    Add(kVoRaster, raster);
    SetExtent(0, 0, 300, 200);
  }

  // Saves into the test folder; the status, and the file's bytes in `text`.
  svgflt::Status Save(const std::string& name, std::string* text, std::int32_t format = 0) {
    const std::string path = folder_.Path(name);
    const std::u16string wide = Utf16(path);
    request_->fileName = wide.c_str();
    request_->saveFormat = format;
    const svgflt::Status status = svgflt::SaveSvg(&document_, request_.get(), wide.c_str(), format);
    if (text != nullptr) *text = ReadFile(path);
    return status;
  }

  // The saved text of the document, expected to save with kOk.
  std::string Saved(std::int32_t format = 0) {
    std::string text;
    EXPECT_EQ(Save("drawing.svg", &text, format), kOk);
    return text;
  }

  VectorDocument document_{};
  std::unique_ptr<SaveRequest> request_;
  svgtest::TempFolder folder_;
};

// The part of a saved file after the hatch patterns and before the closing
// svg tag: the objects.
inline std::string ObjectsOf(const std::string& text) {
  const std::string open = "\t</defs>\r\n";
  const std::size_t start = text.find(open);
  const std::size_t end = text.rfind("\r\n</svg>\r\n");
  if (start == std::string::npos || end == std::string::npos || end < start) return "<no frame>";
  return text.substr(start + open.size(), end - start - open.size());
}

inline std::string Replace(std::string text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// Compares `actual` with tests/golden/NAME byte for byte, after replacing
// each placeholder of the golden file by its value. SVGFLT_UPDATE_GOLDEN=1
// rewrites the golden file instead (values turned back into placeholders).
inline void ExpectGolden(const std::string& name, const std::string& actual,
                         const std::vector<std::pair<std::string, std::string>>& placeholders = {}) {
  const std::string path = std::string(SVGFLT_SOURCE_DIR) + "/tests/golden/" + name;
  const char* update = std::getenv("SVGFLT_UPDATE_GOLDEN");
  if (update != nullptr && std::strcmp(update, "1") == 0) {
    std::string text = actual;
    for (const auto& [placeholder, value] : placeholders) text = Replace(text, value, placeholder);
    WriteFile(path, text);
    return;
  }
  std::string expected = ReadFile(path);
  ASSERT_FALSE(expected.empty()) << "no golden file " << path;
  for (const auto& [placeholder, value] : placeholders) expected = Replace(expected, placeholder, value);
  if (expected == actual) return;
  std::size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  const std::size_t from = at > 60 ? at - 60 : 0;
  ADD_FAILURE() << name << " differs at byte " << at << " (sizes " << expected.size() << " and "
                << actual.size() << ")\nexpected: " << ::testing::PrintToString(expected.substr(from, 140))
                << "\nactual:   " << ::testing::PrintToString(actual.substr(from, 140));
}

// True when the module's own XML reader takes the text, root element svg.
inline bool ParsesWithOwnReader(const std::string& text, std::string* error) {
  try {
    AdvXMLParser::Parser parser;
    AdvXMLParser::Document* document =
        parser.Parse(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    const bool svgRoot = document->root != nullptr && document->root->name == "svg";
    AdvXMLParser::DeleteNode(document);
    AdvXMLParser::ResetTextState();
    if (!svgRoot) *error = "root is not svg";
    return svgRoot;
  } catch (const AdvXMLParser::ParsingException& e) {
    AdvXMLParser::ResetTextState();
    std::ostringstream message;
    message << "fault " << e.code << " at " << e.line << ":" << e.column;
    *error = message.str();
    return false;
  }
}

// xmllint's verdict on a file: 0 well-formed, -1 when xmllint is absent.
// Images carry xlink:href while the root declares only the SVG namespace
// (the xlink prefix comes from the DTD's fixed defaults, which xmllint does
// not load); xmllint reports that as a namespace error on stderr but still
// answers 0 for a well-formed file.
inline int XmllintStatus(const std::string& path) {
  if (std::system("command -v xmllint >/dev/null 2>&1") != 0) return -1;
  const std::string command = "xmllint --noout --nonet '" + path + "' 2>/dev/null";
  return std::system(command.c_str());
}

}  // namespace writertest
