// Every SVG file of the test corpus through the module as a host drives it:
// fltInfo on the opened file, fltLoad rendering a small raster from the
// document fltInfo left, fltFreeData. A file either loads and delivers every
// row, or fails with one of the loader's own answers; nothing stays live in
// the kernels afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Common/svg.h"
#include "ImagingKernel/ImagingKernel.h"
#include "support/KernelLeakGuard.h"
#include "svgfilter/FilterStatus.h"
#include "svgfilter/HostRecords.h"
#include "tools/DocumentFolder.h"
#include "tools/HostCallbacks.h"
#include "tools/Module.h"

namespace {

using namespace svgflt;

constexpr int32_t kRasterWidth = 160;
constexpr int32_t kRasterHeight = 120;
constexpr int32_t kRasterDepth = 24;
constexpr int32_t kSizeExact = 1;

// The answers a corpus file may get: success, a fault of the file that the
// detection, the XML reader, the loader or an element parser reports, or the
// host's answer for a picture in a data: URI that it cannot decode (WebP,
// SVG), which ends the conversion with the host's code.
constexpr Status kAcceptedStatuses[] = {
    kOk,
    kErrNotSvg,
    kErrBadLength,
    kErrBadValue,
    kErrRequiredAttribute,
    kErrDuplicateAttribute,
    kErrOddPointCount,
    kErrMisplacedComma,
    kErrMissing,
    svgtool::kErrPictureFormat,
    svgtool::kErrPictureCorrupt,
};

bool Accepted(Status status) {
  return std::find(std::begin(kAcceptedStatuses), std::end(kAcceptedStatuses), status) !=
         std::end(kAcceptedStatuses);
}

// The corpus's SVG files, sorted, so a run is repeatable.
std::vector<std::filesystem::path> CorpusFiles(const std::filesystem::path& root) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_regular_file() && entry.path().extension() == ".svg")
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

struct FileOutcome {
  Status infoStatus = kOk;
  Status loadStatus = kOk;
  svgtool::RowSink rows;
};

// fltInfo, fltLoad in raster mode from what fltInfo left, fltFreeData: the
// calls of a host showing a preview of `path` (absolute).
FileOutcome RenderThroughEntryPoints(const std::string& path) {
  FileOutcome outcome;
  const std::u16string name = svgtool::ToUtf16(path);
  // Linked pictures resolve against the document's folder, as in the host.
  svgtool::DocumentFolder folder(path, false);
  ResolutionRecord resolution{};
  resolution.horizontal = 96;
  resolution.vertical = 96;
  FilterScratch scratch{};

  auto fileInfo = std::make_unique<FileInfo>();
  auto info = std::make_unique<InfoRequest>();
  const int32_t file = KernelOpenFile(name.c_str(), kOpenBinary, kPermRead);
  EXPECT_NE(file, -1) << path;
  info->file = file;
  info->fileInfo = fileInfo.get();
  info->scratch = &scratch;
  info->resolution = &resolution;
  info->width = kRasterWidth;
  info->height = kRasterHeight;
  info->sizeMode = kSizeExact;
  info->bitsPerPixel = kRasterDepth;
  info->loadFromMemory = svgtool::InfoLoadRasterFromMemory;
  outcome.infoStatus = fltInfo(info.get());
  EXPECT_EQ(KernelCloseFile(file), 0) << path;

  BitmapRecord target{};
  EXPECT_EQ(InitBitmap(&target, static_cast<int32_t>(sizeof target), kRasterWidth,
                       kRasterHeight, kRasterDepth),
            kOk);
  auto load = std::make_unique<LoadRequest>();
  load->fileName = name.c_str();
  load->target = &target;
  load->rowCallback = svgtool::CollectRow;
  load->userData = &outcome.rows;
  load->width = kRasterWidth;
  load->height = kRasterHeight;
  load->scratch = &scratch;
  load->loadFromMemory = svgtool::LoadRasterFromMemory;
  load->loadFromFile = svgtool::LoadRasterFromFile;
  load->mode = 0;
  load->resolution = &resolution;
  // After a failed fltInfo the scratch is empty, so this parses the file
  // again and must come to the same answer.
  outcome.loadStatus = fltLoad(load.get());
  (void)FreeBitmap(&target);
  EXPECT_EQ(fltFreeData(scratch.holder, 0), kOk);
  return outcome;
}

TEST(Corpus, EveryFileLoadsOrFailsWithTheLoadersAnswer) {
  const std::filesystem::path root = std::filesystem::path(SVGFLT_CORPUS_DIR) / "resvg" / "tests";
  if (!std::filesystem::is_directory(root)) GTEST_SKIP() << "no corpus at " << root;
  const std::vector<std::filesystem::path> files = CorpusFiles(root);
  ASSERT_FALSE(files.empty()) << "no SVG files under " << root;

  std::map<Status, int> counts;
  for (const auto& file : files) {
    const std::string relative = std::filesystem::relative(file, root).string();
    SCOPED_TRACE(relative);
    const KernelAccounting before = svgflt::testing::KernelSnapshot();
    const FileOutcome outcome = RenderThroughEntryPoints(file.string());
    ++counts[outcome.infoStatus];

    EXPECT_TRUE(Accepted(outcome.infoStatus))
        << "fltInfo: " << outcome.infoStatus << " " << StatusName(outcome.infoStatus);
    EXPECT_EQ(outcome.loadStatus, outcome.infoStatus)
        << "fltLoad: " << outcome.loadStatus << " " << StatusName(outcome.loadStatus);
    if (outcome.infoStatus == kOk && outcome.loadStatus == kOk) {
      EXPECT_TRUE(outcome.rows.Complete())
          << outcome.rows.rowsReceived << " of " << outcome.rows.height << " rows";
      EXPECT_EQ(outcome.rows.width, kRasterWidth);
      EXPECT_EQ(outcome.rows.height, kRasterHeight);
    } else {
      EXPECT_EQ(outcome.rows.rowsReceived, 0);
    }
    const std::string live = svgflt::testing::DescribeLiveSince(before);
    EXPECT_TRUE(live.empty()) << "live after the file:\n" << live;
  }

  std::string summary = "corpus: " + std::to_string(files.size()) + " files;";
  for (const auto& [status, count] : counts)
    summary += " " + std::string(svgtool::HostStatusName(status)) + " (" + std::to_string(status) +
               "): " + std::to_string(count) + ";";
  std::printf("%s\n", summary.c_str());
}

}  // namespace
