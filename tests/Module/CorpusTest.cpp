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
#include <string>
#include <vector>

#include "Module/FilterRuns.h"
#include "support/KernelLeakGuard.h"
#include "tools/DocumentFolder.h"

namespace {

using namespace svgflt;
namespace fs = std::filesystem;

// The answers a corpus file may get: success, a fault of the file that the
// detection, the XML reader, the loader or an element parser reports, or the
// host's answer for a picture in a data: URI that it cannot decode (WebP,
// SVG), which ends the conversion with the host's code.
constexpr Status kAcceptedStatuses[] = {
    kOk, kErrNotSvg, kErrBadLength, kErrBadValue, kErrRequiredAttribute, kErrDuplicateAttribute,
    kErrOddPointCount, kErrMisplacedComma, kErrMissing, svgtool::kErrPictureFormat,
    svgtool::kErrPictureCorrupt,
};

TEST(Corpus, EveryFileLoadsOrFailsWithTheLoadersAnswer) {
  const fs::path root = fs::path(SVGFLT_CORPUS_DIR) / "resvg" / "tests";
  if (!fs::is_directory(root)) GTEST_SKIP() << "no corpus at " << root;
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file() && entry.path().extension() == ".svg") files.push_back(entry);
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty()) << "no SVG files under " << root;

  std::map<Status, int> counts;
  for (const fs::path& file : files) {
    SCOPED_TRACE(fs::relative(file, root).string());
    const KernelAccounting before = svgflt::testing::KernelSnapshot();
    {
      // Linked pictures resolve against the document's folder, as in the host.
      const svgtool::DocumentFolder folder(file.string(), false);
      FilterScratch scratch{};
      svgtest::HostInfo info;
      info->scratch = &scratch;
      info->width = 160;
      info->height = 120;
      const Status status = info.Run(file.string());
      ++counts[status];
      EXPECT_NE(std::find(std::begin(kAcceptedStatuses), std::end(kAcceptedStatuses), status),
                std::end(kAcceptedStatuses))
          << "fltInfo: " << status << " " << StatusName(status);
      // After a failed fltInfo the scratch is empty, so this parses the file
      // again and must come to the same answer.
      const svgtest::RasterRun run = svgtest::PaintRaster(file.string(), 160, 120, 24, &scratch);
      EXPECT_EQ(run.status, status) << "fltLoad: " << StatusName(run.status);
      EXPECT_EQ(run.rows, status == kOk ? 120 : 0);
      EXPECT_EQ(fltFreeData(scratch.holder, 0), kOk);
    }
    svgflt::testing::ExpectNothingLiveSince(before);
  }
  for (const auto& [status, count] : counts)
    std::printf("corpus: %s: %d files\n", svgtool::HostStatusName(status), count);
}

}  // namespace
