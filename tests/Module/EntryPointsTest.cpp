// The four exported entry points on hand-made host records and generated
// files, and the raster hand-over behind fltLoad.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Common/svg.h"
#include "ImagingKernel/ImagingKernel.h"
#include "Module/FilterRuns.h"
#include "Module/TempFiles.h"

namespace {

using namespace svgflt;

constexpr uint32_t kCallerFlags = 0x1234;
constexpr Status kCallbackStop = -4242;  // an answer of the host's own

// A document of the host's with its own flags and a 200 x 100 rectangle.
void PrepareCallerDocument(VectorDocument* document) {
  document->flags = kCallerFlags;
  VectorRectObject rect;
  ASSERT_EQ(VectorInitObject(&rect, kVoRect), kOk);
  rect.corner2 = KernelPoint{200, 100, 0, 0};
  VectorObjectRef ref = 0;
  ASSERT_EQ(VectorAddObject(document, 0, kVoRect, &rect, &ref), kOk);
}

// What a RowCallback saw: per row its flags, number and line count, and
// its bytes.
struct RowLog {
  std::vector<std::vector<int32_t>> calls;
  std::vector<std::vector<uint8_t>> bytes;
  void* hostArg = nullptr;
  BitmapRecord* target = nullptr;
  int32_t stopAtRow = -1;  // answer kCallbackStop for this row
};

int32_t RecordRow(void* hostArg, BitmapRecord* target, uint8_t* row, int32_t flags,
                  int32_t rowNumber, int32_t lineCount, void* userData) {
  auto* log = static_cast<RowLog*>(userData);
  log->hostArg = hostArg;
  log->target = target;
  log->calls.push_back({flags, rowNumber, lineCount});
  log->bytes.emplace_back(row, row + target->bytesPerRow);
  return rowNumber == log->stopAtRow ? kCallbackStop : kOk;
}

class EntryPoints : public ::testing::Test {
 protected:
  EntryPoints() {
    info_.resolution = ResolutionRecord{0, 150, 75};
    load_->rowCallback = RecordRow;
    load_->userData = &rows_;
    load_->callbackArg = &hostArg_;
    load_->resolution = &info_.resolution;
  }

  Status InfoOf(const std::string& bytes) { return info_.Run(folder_.Write("info.svg", bytes)); }

  // Points the load request at a file holding `bytes`.
  void LoadFrom(const std::string& bytes) {
    loadName_ = svgtool::ToUtf16(folder_.Write("load.svg", bytes));
    load_->fileName = loadName_.c_str();
  }

  // A target bitmap record as the host describes it; no image memory.
  void Target(int32_t width, int32_t height, int32_t bitsPerPixel) {
    target_ = BitmapRecord{};
    ASSERT_EQ(InitBitmap(&target_, static_cast<int32_t>(sizeof target_), width, height,
                         bitsPerPixel),
              kOk);
    load_->target = &target_;
    load_->width = width;
    load_->height = height;
  }

  svgtest::TempFolder folder_;
  svgtest::HostInfo info_;
  std::unique_ptr<LoadRequest> load_ = std::make_unique<LoadRequest>();
  std::u16string loadName_;
  BitmapRecord target_{};
  RowLog rows_;
  int hostArg_ = 0;
  FilterScratch scratch_{};
};

TEST_F(EntryPoints, InfoRefusesMissingRecordsAndBadFilesAndWritesNothing) {
  EXPECT_EQ(fltInfo(nullptr), kErrMissing);
  const struct {
    const char* name;
    std::string bytes;
    Status status;
  } cases[] = {
      {"not svg", svgtest::PadTo("hello", 300), kErrNotSvg},
      {"too short", "<svg/>", kErrRead},
      {"unclosed element", svgtest::PadTo("<?xml version=\"1.0\"?>\n<svg><g></svg>", 300),
       kErrNotSvg},
      {"root is not svg", svgtest::PadTo("<?xml version=\"1.0\"?>\n<drawing></drawing>", 300),
       kErrRootNotSvg},
  };
  info_->scratch = &scratch_;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(InfoOf(c.bytes), c.status);
    EXPECT_EQ(std::vector<int64_t>({info_.fileInfo->formatCode, info_.fileInfo->width,
                                    info_.fileInfo->isVector}),
              std::vector<int64_t>({0, 0, 0}));
    EXPECT_EQ(scratch_.holder, nullptr);
  }
  info_->fileInfo = nullptr;
  EXPECT_EQ(InfoOf(svgtest::SmallSvg()), kErrMissing);
}

TEST_F(EntryPoints, InfoFillsFileInfoReadingTheFileFromItsStart) {
  const std::u16string name = svgtool::ToUtf16(folder_.Write("info.svg", svgtest::SmallSvg()));
  const int32_t file = KernelOpenFile(name.c_str(), kOpenBinary, kPermRead);
  ASSERT_EQ(KernelSeekFile(file, 100, 0), 100);
  info_->file = file;
  ASSERT_EQ(fltInfo(info_.request.get()), kOk);
  EXPECT_EQ(KernelCloseFile(file), 0);
  const FileInfo& got = *info_.fileInfo;
  EXPECT_EQ(std::vector<int64_t>({got.formatCode, got.width, got.height, got.bitsPerPixel,
                                  got.imageSize, got.value444, got.value448, got.xResolution,
                                  got.yResolution, got.isVector, got.value89C, got.value8D8}),
            std::vector<int64_t>({kFormatCodeSvg, 640, 480, 24, 921600, 4, 1, 150, 75, 1, 64, -1}));
}

TEST_F(EntryPoints, InfoSizesTheRasterByModeWithRowsOfFourBytes) {
  // Bounds of 200 x 100 widen to 202 x 101: an aspect ratio of 2. Only
  // mode 1 takes the request's size as it is.
  const struct {
    int32_t mode, width, height, bitsPerPixel, wantWidth, wantHeight, imageSize;
  } cases[] = {
      {1, 1, 10, 24, 1, 10, 40},         {1, 3, 3, 32, 3, 3, 36},
      {1, 33, 1, 1, 33, 1, 8},           {1, 9, 2, 8, 9, 2, 24},
      {1, 0, 0, 8, 640, 480, 307200},    {1, -5, 0, 0, 640, 480, 921600},
      {0, 640, 480, 24, 640, 320, 614400}, {-1, 0, 0, 24, 640, 320, 614400},
      {2, 300, 480, 24, 300, 150, 135000}, {3, 640, 100, 24, 200, 100, 60000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << c.mode << ", " << c.width << " x "
                                      << c.height << " x " << c.bitsPerPixel);
    const svgtest::HostDocument document;
    PrepareCallerDocument(document.get());
    info_->document = document.get();
    info_->sizeMode = c.mode;
    info_->width = c.width;
    info_->height = c.height;
    info_->bitsPerPixel = c.bitsPerPixel;
    ASSERT_EQ(InfoOf(svgtest::EmptySvg()), kOk);
    EXPECT_EQ(info_.fileInfo->width, c.wantWidth);
    EXPECT_EQ(info_.fileInfo->height, c.wantHeight);
    EXPECT_EQ(info_.fileInfo->imageSize, c.imageSize);
  }
}

TEST_F(EntryPoints, InfoDrawsIntoACallersDocumentWideningItsBounds) {
  const svgtest::HostDocument document;
  PrepareCallerDocument(document.get());
  info_->document = document.get();
  info_->scratch = &scratch_;
  ASSERT_EQ(InfoOf(svgtest::EmptySvg()), kOk);
  for (const auto& [lower, upper] :
       {std::pair{info_.fileInfo->lowerBound, info_.fileInfo->upperBound},
        std::pair{document.get()->lowerBound, document.get()->upperBound}}) {
    EXPECT_EQ(std::vector<double>({lower.x, lower.y, upper.x, upper.y}),
              std::vector<double>({-1.0, -0.5, 201.0, 100.5}));
  }
  ASSERT_NE(scratch_.holder, nullptr);
  EXPECT_TRUE(scratch_.holder->document == document.get() && scratch_.holder->owned == 0);
  EXPECT_EQ(document.get()->flags, kCallerFlags);
  EXPECT_EQ(fltFreeData(scratch_.holder, 0), kOk);
  EXPECT_EQ(VectorObjectCount(document.get()), 1);  // still the caller's
}

TEST_F(EntryPoints, LoadRefusesBadRequestsAndFilesAndKeepsACallersFlags) {
  EXPECT_EQ(fltLoad(nullptr), kErrMissing);
  LoadFrom(svgtest::SmallSvg());
  load_->mode = 1;
  EXPECT_EQ(fltLoad(load_.get()), kErrMissing);  // no document
  for (const int32_t mode : {2, -1, 100}) {
    load_->mode = mode;
    EXPECT_EQ(fltLoad(load_.get()), kErrNotSvg) << mode;
  }
  const svgtest::HostDocument document;
  PrepareCallerDocument(document.get());
  load_->mode = 1;
  load_->document = document.get();
  const std::u16string missing = svgtool::ToUtf16(folder_.Path("missing.svg"));
  load_->fileName = missing.c_str();
  EXPECT_EQ(fltLoad(load_.get()), kErrRead);
  LoadFrom(svgtest::EmptySvg());
  EXPECT_EQ(fltLoad(load_.get()), kOk);
  EXPECT_EQ(document.get()->flags, kCallerFlags);
  EXPECT_DOUBLE_EQ(document.get()->lowerBound.x, -1.0);
  EXPECT_DOUBLE_EQ(document.get()->upperBound.y, 100.5);
}

// fltInfo hands its own document over through the scratch; fltLoad uses it
// without opening the file again, and fltFreeData frees it unless flagged.
TEST_F(EntryPoints, InfoHandsItsOwnDocumentToLoadThroughTheScratch) {
  info_->scratch = &scratch_;
  ASSERT_EQ(InfoOf(svgtest::SmallSvg()), kOk);
  VectorHolder* holder = scratch_.holder;
  ASSERT_TRUE(holder != nullptr && holder->document != nullptr);
  EXPECT_EQ(holder->owned, 1);
  EXPECT_EQ(holder->document->flags, kDocumentFlags);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/svg"), 2);  // holder and document
  load_->scratch = &scratch_;
  const std::u16string missing = svgtool::ToUtf16(folder_.Path("missing.svg"));
  load_->fileName = missing.c_str();
  load_->mode = 1;
  EXPECT_EQ(fltLoad(load_.get()), kOk);
  load_->mode = 2;  // a mode the filter does not know is refused even so
  EXPECT_EQ(fltLoad(load_.get()), kErrNotSvg);
  load_->mode = 0;
  Target(3, 2, 24);
  EXPECT_EQ(fltLoad(load_.get()), kOk);
  EXPECT_EQ(rows_.calls.size(), 2u);
  EXPECT_EQ(fltFreeData(holder, 1), kOk);  // the host keeps it
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/svg"), 2);
  EXPECT_EQ(fltFreeData(holder, 0), kOk);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/svg"), 0);
}

TEST_F(EntryPoints, LoadDeliversRowsWithTheirFlagsUntilTheHostRefusesOne) {
  LoadFrom(svgtest::EmptySvg());
  EXPECT_EQ(fltLoad(load_.get()), kOk);  // without a target: nothing delivered
  EXPECT_TRUE(rows_.calls.empty());
  const struct {
    int32_t height;
    std::vector<int32_t> flags;
  } cases[] = {{1, {15}}, {2, {7, 11}}, {4, {7, 3, 3, 11}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.height << " rows");
    rows_ = RowLog{};
    Target(5, c.height, 24);
    ASSERT_EQ(fltLoad(load_.get()), kOk);
    std::vector<std::vector<int32_t>> calls;
    for (int32_t i = 0; i < c.height; ++i) calls.push_back({c.flags[i], i, 1});
    EXPECT_EQ(rows_.calls, calls);
    EXPECT_TRUE(rows_.hostArg == &hostArg_ && rows_.target == &target_);
    // Five 24-bit pixels of white, then one byte of row padding.
    EXPECT_EQ(rows_.bytes[0].size(), 16u);
    EXPECT_EQ(std::count(rows_.bytes[0].begin(), rows_.bytes[0].begin() + 15, 0xFF), 15);
    EXPECT_EQ(std::vector<int32_t>({target_.xResolution, target_.yResolution}),
              std::vector<int32_t>({150, 75}));
  }
  rows_ = RowLog{};
  rows_.stopAtRow = 1;
  Target(4, 5, 24);
  EXPECT_EQ(fltLoad(load_.get()), kCallbackStop);
  EXPECT_EQ(rows_.calls.size(), 2u);
  load_->rowCallback = nullptr;  // a raster with nowhere to go
  EXPECT_EQ(fltLoad(load_.get()), kErrMissing);
}

TEST_F(EntryPoints, LoadConvertsToTheTargetsPixelFormat) {
  LoadFrom(svgtest::EmptySvg());
  Target(6, 2, 8);
  ASSERT_EQ(fltLoad(load_.get()), kOk);
  ASSERT_EQ(rows_.bytes.at(0).size(), 8u);  // 6 indices padded to 4 bytes
  // Every pixel is white, whatever index the palette gives white.
  const uint8_t index = rows_.bytes[0][0];
  ASSERT_TRUE(target_.palette != nullptr && index < target_.paletteCount);
  EXPECT_EQ(target_.palette[index] & 0xFFFFFFu, 0xFFFFFFu);
  EXPECT_EQ(FreeBitmap(&target_), kOk);
}

TEST_F(EntryPoints, SaveChecksItsRequestAndFreeDataIgnoresWhatIsNotItsOwn) {
  auto request = std::make_unique<SaveRequest>();
  EXPECT_EQ(fltSave(nullptr), kErrMissing);
  const svgtest::HostDocument document;
  request->document = document.get();
  request->mode = 0;
  EXPECT_EQ(fltSave(request.get()), kErrNotSvg);
  request->mode = 1;
  request->document = nullptr;
  EXPECT_EQ(fltSave(request.get()), kErrMissing);
  EXPECT_EQ(fltFreeData(nullptr, 0), kOk);
  // A flagged pointer is not the filter's to touch, whatever it points at.
  VectorHolder notOurs{nullptr, 1};
  EXPECT_EQ(fltFreeData(&notOurs, 1), kOk);
}

}  // namespace
