// The four exported entry points on hand-made host records and generated
// files, and the raster hand-over behind fltLoad.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Common/svg.h"
#include "ImagingKernel/ImagingKernel.h"
#include "Module/TempFiles.h"
#include "VectorKernel/VectorKernel.h"
#include "support/KernelLeakGuard.h"
#include "svgfilter/FilterStatus.h"
#include "svgfilter/HostRecords.h"

namespace {

using namespace svgflt;

constexpr uint32_t kCallerFlags = 0x1234;
constexpr Status kCallbackStop = -4242;  // an answer of the host's own

std::u16string Wide(const std::string& path) { return std::u16string(path.begin(), path.end()); }

// A document of the host's, as a caller hands it in.
class CallerDocument {
 public:
  CallerDocument() : record_(std::make_unique<VectorDocument>()) {
    EXPECT_EQ(VectorInit(record_.get()), kOk);
    record_->flags = kCallerFlags;
  }
  ~CallerDocument() { (void)VectorFree(record_.get()); }
  VectorDocument* get() const { return record_.get(); }

  // Adds a rectangle, which makes the document's bounds cover it.
  void AddRect(double x0, double y0, double x1, double y1) const {
    VectorRectObject rect;
    ASSERT_EQ(VectorInitObject(&rect, kVoRect), kOk);
    rect.corner1 = KernelPoint{x0, y0, 0, 0};
    rect.corner2 = KernelPoint{x1, y1, 0, 0};
    VectorObjectRef ref = 0;
    ASSERT_EQ(VectorAddObject(record_.get(), 0, kVoRect, &rect, &ref), kOk);
  }

 private:
  std::unique_ptr<VectorDocument> record_;
};

// What a RowCallback saw.
struct RowLog {
  std::vector<int32_t> flags;
  std::vector<int32_t> rows;
  std::vector<int32_t> lineCounts;
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
  log->flags.push_back(flags);
  log->rows.push_back(rowNumber);
  log->lineCounts.push_back(lineCount);
  log->bytes.emplace_back(row, row + target->bytesPerRow);
  return rowNumber == log->stopAtRow ? kCallbackStop : kOk;
}

class EntryPoints : public ::testing::Test {
 protected:
  EntryPoints()
      : info_(std::make_unique<InfoRequest>()),
        fileInfo_(std::make_unique<FileInfo>()),
        load_(std::make_unique<LoadRequest>()) {
    resolution_.horizontal = 150;
    resolution_.vertical = 75;
    info_->fileInfo = fileInfo_.get();
    info_->resolution = &resolution_;
    info_->sizeMode = 1;
    load_->rowCallback = RecordRow;
    load_->userData = &rows_;
    load_->callbackArg = &hostArg_;
    load_->resolution = &resolution_;
  }

  // Runs fltInfo on a file holding `bytes`, opened as the host would.
  Status InfoOf(const std::string& bytes) {
    const std::u16string name = Wide(folder_.Write("info.svg", bytes));
    const int32_t file = KernelOpenFile(name.c_str(), kOpenBinary, kPermRead);
    EXPECT_NE(file, -1);
    info_->file = file;
    const Status status = fltInfo(info_.get());
    EXPECT_EQ(KernelCloseFile(file), 0);
    return status;
  }

  // Points the load request at a file holding `bytes`.
  void LoadFrom(const std::string& bytes) {
    loadName_ = Wide(folder_.Write("load.svg", bytes));
    load_->fileName = loadName_.c_str();
  }

  // A target bitmap record as the host describes it; no image memory.
  void Target(int32_t width, int32_t height, int32_t bitsPerPixel) {
    std::memset(&target_, 0, sizeof target_);
    ASSERT_EQ(InitBitmap(&target_, static_cast<int32_t>(sizeof target_), width, height,
                         bitsPerPixel),
              kOk);
    load_->target = &target_;
    load_->width = width;
    load_->height = height;
  }

  svgtest::TempFolder folder_;
  ResolutionRecord resolution_{};
  std::unique_ptr<InfoRequest> info_;
  std::unique_ptr<FileInfo> fileInfo_;
  std::unique_ptr<LoadRequest> load_;
  std::u16string loadName_;
  BitmapRecord target_{};
  RowLog rows_;
  int hostArg_ = 0;
  FilterScratch scratch_{};
};

// --- fltInfo ---------------------------------------------------------------

TEST_F(EntryPoints, InfoRefusesMissingRecords) {
  EXPECT_EQ(fltInfo(nullptr), kErrMissing);
  info_->fileInfo = nullptr;
  EXPECT_EQ(fltInfo(info_.get()), kErrMissing);
}

TEST_F(EntryPoints, InfoReportsDetectionAndParseFailuresAndWritesNothing) {
  const struct {
    const char* name;
    std::string bytes;
    Status status;
  } cases[] = {
      {"not svg", svgtest::PadTo("hello", 300), kErrNotSvg},
      {"too short", "<svg/>", kErrRead},
      {"svg shorter than 256 bytes", svgtest::PadTo("<svg/>", 200), kErrNotSvg},
      {"unclosed element", svgtest::PadTo("<?xml version=\"1.0\"?>\n<svg><g></svg>", 300),
       kErrNotSvg},
      {"root is not svg", svgtest::PadTo("<?xml version=\"1.0\"?>\n<drawing></drawing>", 300),
       kErrRootNotSvg},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    info_->scratch = &scratch_;
    EXPECT_EQ(InfoOf(c.bytes), c.status);
    EXPECT_EQ(fileInfo_->formatCode, 0);
    EXPECT_EQ(fileInfo_->width, 0);
    EXPECT_EQ(fileInfo_->isVector, 0);
    EXPECT_EQ(scratch_.holder, nullptr);
  }
}

TEST_F(EntryPoints, InfoFillsFileInfoWithDefaults) {
  ASSERT_EQ(InfoOf(svgtest::SmallSvg()), kOk);
  EXPECT_EQ(fileInfo_->formatCode, kFormatCodeSvg);
  EXPECT_EQ(fileInfo_->width, 640);
  EXPECT_EQ(fileInfo_->height, 480);
  EXPECT_EQ(fileInfo_->bitsPerPixel, 24);
  EXPECT_EQ(fileInfo_->imageSize, 921600);
  EXPECT_EQ(fileInfo_->value444, 4);
  EXPECT_EQ(fileInfo_->value448, 1);
  EXPECT_EQ(fileInfo_->xResolution, 150);
  EXPECT_EQ(fileInfo_->yResolution, 75);
  EXPECT_EQ(fileInfo_->isVector, 1);
  EXPECT_EQ(fileInfo_->value89C, 64);
  EXPECT_EQ(fileInfo_->value8D8, -1);
}

TEST_F(EntryPoints, InfoReadsTheFileFromItsStart) {
  const std::u16string name = Wide(folder_.Write("info.svg", svgtest::SmallSvg()));
  const int32_t file = KernelOpenFile(name.c_str(), kOpenBinary, kPermRead);
  ASSERT_NE(file, -1);
  ASSERT_EQ(KernelSeekFile(file, 100, 0), 100);
  info_->file = file;
  EXPECT_EQ(fltInfo(info_.get()), kOk);
  EXPECT_EQ(KernelCloseFile(file), 0);
}

TEST_F(EntryPoints, InfoSizesRowsToFourBytes) {
  const struct {
    int32_t width, height, bitsPerPixel, imageSize;
  } cases[] = {
      {1, 10, 24, 40}, {3, 1, 24, 12},       {3, 3, 32, 36},
      {33, 1, 1, 8},   {9, 2, 8, 24},        {0, 0, 8, 640 * 480},
      {-5, 0, 0, 640 * 3 * 480},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << " x " << c.height << " x " << c.bitsPerPixel);
    info_->width = c.width;
    info_->height = c.height;
    info_->bitsPerPixel = c.bitsPerPixel;
    ASSERT_EQ(InfoOf(svgtest::SmallSvg()), kOk);
    EXPECT_EQ(fileInfo_->imageSize, c.imageSize);
  }
}

TEST_F(EntryPoints, InfoLetsTheKernelSizeAllButModeOne) {
  // Bounds of 200 x 100 widen to 202 x 101: an aspect ratio of 2.
  const struct {
    int32_t mode, width, height, wantWidth, wantHeight;
  } cases[] = {
      {1, 640, 480, 640, 480}, {0, 640, 480, 640, 320},
      {-1, 0, 0, 640, 320},    {2, 300, 480, 300, 150}, {3, 640, 100, 200, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << c.mode);
    CallerDocument document;
    document.AddRect(0, 0, 200, 100);
    info_->document = document.get();
    info_->sizeMode = c.mode;
    info_->width = c.width;
    info_->height = c.height;
    ASSERT_EQ(InfoOf(svgtest::EmptySvg()), kOk);
    EXPECT_EQ(fileInfo_->width, c.wantWidth);
    EXPECT_EQ(fileInfo_->height, c.wantHeight);
    EXPECT_EQ(fileInfo_->imageSize, ((24 * c.wantWidth + 31) / 32) * 4 * c.wantHeight);
  }
}

TEST_F(EntryPoints, InfoWidensTheBoundsByHalfAPercent) {
  CallerDocument document;
  document.AddRect(0, 0, 200, 100);
  info_->document = document.get();
  ASSERT_EQ(InfoOf(svgtest::EmptySvg()), kOk);
  EXPECT_DOUBLE_EQ(fileInfo_->lowerBound.x, -1.0);
  EXPECT_DOUBLE_EQ(fileInfo_->lowerBound.y, -0.5);
  EXPECT_DOUBLE_EQ(fileInfo_->upperBound.x, 201.0);
  EXPECT_DOUBLE_EQ(fileInfo_->upperBound.y, 100.5);
  EXPECT_DOUBLE_EQ(fileInfo_->lowerBound.z, document.get()->lowerBound.z);
  EXPECT_DOUBLE_EQ(document.get()->lowerBound.x, -1.0);
  EXPECT_DOUBLE_EQ(document.get()->upperBound.y, 100.5);
}

TEST_F(EntryPoints, InfoLeavesACallersDocumentAndItsFlags) {
  CallerDocument document;
  info_->document = document.get();
  info_->scratch = &scratch_;
  ASSERT_EQ(InfoOf(svgtest::SmallSvg()), kOk);
  ASSERT_NE(scratch_.holder, nullptr);
  EXPECT_EQ(scratch_.holder->document, document.get());
  EXPECT_EQ(scratch_.holder->owned, 0);
  EXPECT_EQ(document.get()->flags, kCallerFlags);
  EXPECT_EQ(fltFreeData(scratch_.holder, 0), kOk);
  // Still the caller's, holding what the file drew.
  EXPECT_GT(VectorObjectCount(document.get()), 0);
}

TEST_F(EntryPoints, InfoHandsItsOwnDocumentOverThroughTheScratch) {
  info_->scratch = &scratch_;
  ASSERT_EQ(InfoOf(svgtest::SmallSvg()), kOk);
  VectorHolder* holder = scratch_.holder;
  ASSERT_NE(holder, nullptr);
  EXPECT_EQ(holder->owned, 1);
  ASSERT_NE(holder->document, nullptr);
  EXPECT_EQ(holder->document->flags, kDocumentFlags);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/svg"), 2);  // holder and document

  EXPECT_EQ(fltFreeData(holder, 1), kOk);  // the host keeps it
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/svg"), 2);
  EXPECT_EQ(fltFreeData(holder, 0), kOk);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/svg"), 0);
}

// --- fltLoad ---------------------------------------------------------------

TEST_F(EntryPoints, LoadRefusesBadRequests) {
  EXPECT_EQ(fltLoad(nullptr), kErrMissing);
  LoadFrom(svgtest::SmallSvg());
  load_->mode = 1;
  load_->document = nullptr;
  EXPECT_EQ(fltLoad(load_.get()), kErrMissing);
  for (const int32_t mode : {2, -1, 100}) {
    SCOPED_TRACE(mode);
    load_->mode = mode;
    EXPECT_EQ(fltLoad(load_.get()), kErrNotSvg);
  }
}

TEST_F(EntryPoints, LoadReportsFilesThatDoNotOpenOrAreNotSvg) {
  CallerDocument document;
  load_->mode = 1;
  load_->document = document.get();
  const std::u16string missing = Wide(folder_.Path("missing.svg"));
  load_->fileName = missing.c_str();
  EXPECT_EQ(fltLoad(load_.get()), kErrRead);
  LoadFrom(svgtest::PadTo("<?xml version=\"1.0\"?>\n<svg><g></svg>", 300));
  EXPECT_EQ(fltLoad(load_.get()), kErrNotSvg);
  EXPECT_EQ(document.get()->flags, kCallerFlags);
}

TEST_F(EntryPoints, LoadIntoACallersDocumentKeepsItsFlags) {
  CallerDocument document;
  document.AddRect(0, 0, 200, 100);
  load_->mode = 1;
  load_->document = document.get();
  LoadFrom(svgtest::EmptySvg());
  EXPECT_EQ(fltLoad(load_.get()), kOk);
  EXPECT_EQ(document.get()->flags, kCallerFlags);
  EXPECT_DOUBLE_EQ(document.get()->lowerBound.x, -1.0);
  EXPECT_DOUBLE_EQ(document.get()->upperBound.y, 100.5);
}

// The document fltInfo left is used without opening the file again.
TEST_F(EntryPoints, LoadTakesTheDocumentInfoLeft) {
  info_->scratch = &scratch_;
  ASSERT_EQ(InfoOf(svgtest::SmallSvg()), kOk);
  ASSERT_NE(scratch_.holder, nullptr);
  load_->scratch = &scratch_;
  const std::u16string missing = Wide(folder_.Path("missing.svg"));
  load_->fileName = missing.c_str();
  load_->mode = 1;
  EXPECT_EQ(fltLoad(load_.get()), kOk);
  // A mode the filter does not know is refused even with a document left.
  load_->mode = 2;
  EXPECT_EQ(fltLoad(load_.get()), kErrNotSvg);
  load_->mode = 0;
  Target(3, 2, 24);
  EXPECT_EQ(fltLoad(load_.get()), kOk);
  EXPECT_EQ(rows_.rows, (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(fltFreeData(scratch_.holder, 0), kOk);
}

TEST_F(EntryPoints, LoadWithoutTargetBuildsAndFreesItsDocument) {
  LoadFrom(svgtest::SmallSvg());
  load_->mode = 0;
  EXPECT_EQ(fltLoad(load_.get()), kOk);
  EXPECT_TRUE(rows_.rows.empty());
}

TEST_F(EntryPoints, LoadDeliversWhiteRowsWithTheirFlags) {
  const struct {
    int32_t height;
    std::vector<int32_t> flags;
  } cases[] = {
      {1, {15}},
      {2, {7, 11}},
      {4, {7, 3, 3, 11}},
  };
  LoadFrom(svgtest::EmptySvg());
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.height << " rows");
    rows_ = RowLog{};
    Target(5, c.height, 24);
    ASSERT_EQ(fltLoad(load_.get()), kOk);
    EXPECT_EQ(rows_.flags, c.flags);
    std::vector<int32_t> numbers(static_cast<std::size_t>(c.height));
    for (int32_t i = 0; i < c.height; ++i) numbers[static_cast<std::size_t>(i)] = i;
    EXPECT_EQ(rows_.rows, numbers);
    EXPECT_EQ(rows_.lineCounts, std::vector<int32_t>(numbers.size(), 1));
    EXPECT_EQ(rows_.hostArg, &hostArg_);
    EXPECT_EQ(rows_.target, &target_);
    ASSERT_FALSE(rows_.bytes.empty());
    // Five 24-bit pixels of white, then one byte of row padding.
    ASSERT_EQ(rows_.bytes[0].size(), 16u);
    EXPECT_EQ(std::vector<uint8_t>(rows_.bytes[0].begin(), rows_.bytes[0].begin() + 15),
              std::vector<uint8_t>(15, 0xFF));
    EXPECT_EQ(target_.xResolution, 150);
    EXPECT_EQ(target_.yResolution, 75);
  }
}

TEST_F(EntryPoints, LoadPaintsTheDrawing) {
  // The file's rectangle fills its whole 200 x 100 canvas with #336699.
  LoadFrom(svgtest::SmallSvg());
  Target(20, 10, 24);
  ASSERT_EQ(fltLoad(load_.get()), kOk);
  ASSERT_EQ(rows_.bytes.size(), 10u);
  const std::vector<uint8_t>& middle = rows_.bytes[5];
  EXPECT_EQ(middle[10 * 3 + 0], 0x99);  // blue
  EXPECT_EQ(middle[10 * 3 + 1], 0x66);  // green
  EXPECT_EQ(middle[10 * 3 + 2], 0x33);  // red
}

TEST_F(EntryPoints, LoadStopsAtTheFirstRowTheHostRefuses) {
  LoadFrom(svgtest::SmallSvg());
  Target(4, 5, 24);
  rows_.stopAtRow = 1;
  EXPECT_EQ(fltLoad(load_.get()), kCallbackStop);
  EXPECT_EQ(rows_.rows, (std::vector<int32_t>{0, 1}));
}

TEST_F(EntryPoints, LoadConvertsToTheTargetsPixelFormat) {
  LoadFrom(svgtest::SmallSvg());
  Target(6, 2, 8);
  ASSERT_EQ(fltLoad(load_.get()), kOk);
  ASSERT_EQ(rows_.bytes.size(), 2u);
  EXPECT_EQ(rows_.bytes[0].size(), 8u);  // 6 indices padded to 4 bytes
  ASSERT_GT(target_.paletteCount, 0);
  ASSERT_NE(target_.palette, nullptr);
  // Every pixel is white, whatever index the palette gives white.
  const uint8_t index = rows_.bytes[0][0];
  ASSERT_LT(index, target_.paletteCount);
  EXPECT_EQ(target_.palette[index] & 0xFFFFFFu, 0xFFFFFFu);
  EXPECT_EQ(FreeBitmap(&target_), kOk);
}

// --- RenderToBitmap and DeliverRows ---------------------------------------

TEST_F(EntryPoints, RenderPaintsIntoTheRequestedRectangle) {
  CallerDocument document;
  document.get()->paintOption = 0;
  Target(7, 3, 24);
  load_->paintOption = 1;
  ASSERT_EQ(RenderToBitmap(load_.get(), document.get()), kOk);
  EXPECT_EQ(document.get()->paintRect.left, 0);
  EXPECT_EQ(document.get()->paintRect.top, 0);
  EXPECT_EQ(document.get()->paintRect.right, 7);
  EXPECT_EQ(document.get()->paintRect.bottom, 3);
  EXPECT_EQ(document.get()->paintOption, 1);
  EXPECT_EQ(rows_.rows.size(), 3u);
}

TEST_F(EntryPoints, DeliverRowsCopiesEachRow) {
  BitmapRecord bitmap{};
  ASSERT_EQ(InitBitmap(&bitmap, static_cast<int32_t>(sizeof bitmap), 2, 3, 24), kOk);
  ASSERT_EQ(AllocateBitmap(&bitmap, 1), kOk);
  for (int32_t y = 0; y < bitmap.height; ++y) {
    std::memset(bitmap.bits + y * bitmap.bytesPerRow, 0x10 * (y + 1), bitmap.bytesPerRow);
  }
  load_->target = &bitmap;
  ASSERT_EQ(DeliverRows(load_.get(), &bitmap), kOk);
  ASSERT_EQ(rows_.bytes.size(), 3u);
  for (std::size_t y = 0; y < 3; ++y) {
    SCOPED_TRACE(y);
    EXPECT_EQ(rows_.bytes[y],
              std::vector<uint8_t>(8, static_cast<uint8_t>(0x10 * (y + 1))));
  }
  EXPECT_EQ(FreeBitmap(&bitmap), kOk);
}

TEST_F(EntryPoints, DeliverRowsNeedsARowCallback) {
  BitmapRecord bitmap{};
  ASSERT_EQ(InitBitmap(&bitmap, static_cast<int32_t>(sizeof bitmap), 2, 1, 24), kOk);
  ASSERT_EQ(AllocateBitmap(&bitmap, 1), kOk);
  load_->rowCallback = nullptr;
  EXPECT_EQ(DeliverRows(load_.get(), &bitmap), kErrMissing);
  EXPECT_EQ(FreeBitmap(&bitmap), kOk);
}

// --- fltSave and fltFreeData ------------------------------------------------

TEST_F(EntryPoints, SaveChecksItsRequest) {
  auto request = std::make_unique<SaveRequest>();
  EXPECT_EQ(fltSave(nullptr), kErrMissing);
  CallerDocument document;
  request->document = document.get();
  request->mode = 0;
  EXPECT_EQ(fltSave(request.get()), kErrNotSvg);
  request->mode = 1;
  request->document = nullptr;
  EXPECT_EQ(fltSave(request.get()), kErrMissing);
}

TEST_F(EntryPoints, FreeDataIgnoresNullAndFlaggedData) {
  EXPECT_EQ(fltFreeData(nullptr, 0), kOk);
  EXPECT_EQ(fltFreeData(nullptr, 1), kOk);
  // A flagged pointer is not the filter's to touch, whatever it points at.
  VectorHolder notOurs{nullptr, 1};
  EXPECT_EQ(fltFreeData(&notOurs, 1), kOk);
}

}  // namespace
