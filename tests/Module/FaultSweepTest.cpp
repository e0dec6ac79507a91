// Every allocation of a whole entry-point call refused in turn: fltInfo,
// fltLoad in vector and in raster mode, and fltSave of a loaded document,
// on a few rich files. Each refused allocation must end the call with the
// no-memory status, and once the call's hand-over is given back nothing of
// it may stay live in the imaging kernel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "Module/FilterRuns.h"
#include "Module/TempFiles.h"
#include "support/KernelLeakGuard.h"

namespace {

using namespace svgflt;

// No call of these small files comes near this many allocations; a sweep
// that gets there is failing for another reason.
constexpr int64_t kMaxSweep = 20000;

// True when the allocation `n` calls ago is still to come, that is, the call
// just made did not reach it. Probes with allocations of its own, at most n.
bool FaultStillPending(int64_t n) {
  for (int64_t i = 0; i < n; ++i) {
    void* block = KernelAlloc(1, 1, __LINE__, u"tests/Module/FaultSweep");
    if (block == nullptr) return true;
    KernelFree(block, __LINE__, u"tests/Module/FaultSweep");
  }
  return false;
}

// The lines of a saved file, the fresh names of linked pictures masked, and
// with `degradable` each line without what the writer leaves out when its
// small copy cannot be allocated: the font-family, the dashes, the hatch
// pattern of a fill (the brush colour takes its place).
std::vector<std::string> SavedLines(const std::string& text, bool degradable) {
  std::istringstream in(svgtest::WithoutPictureNames(text));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    for (const std::string_view name : {" font-family=\"", " stroke-dasharray=\"", " fill=\""}) {
      const std::size_t start = degradable ? line.find(name) : std::string::npos;
      if (start != std::string::npos)
        line.erase(start, line.find('"', start + name.size()) + 1 - start);
    }
    lines.push_back(line);
  }
  return lines;
}

// True when `got` is the saved text `want` with one line degraded as the
// writer does when such a copy is refused, which it answers with success.
bool OneLineDegraded(const std::string& want, const std::string& got) {
  const std::vector<std::string> a = SavedLines(want, false), b = SavedLines(got, false);
  int differing = 0;
  for (std::size_t i = 0; i < a.size() && a.size() == b.size(); ++i) differing += a[i] != b[i];
  return differing == 1 && SavedLines(want, true) == SavedLines(got, true);
}

enum class Call { kInfo, kLoadVector, kLoadRaster, kLoadIndexed, kSaveLinked, kSaveEmbedded };
constexpr const char* kCallNames[] = {"fltInfo",      "fltLoad vector", "fltLoad raster",
                                      "fltLoad 8-bit", "fltSave linked", "fltSave embedded"};

class FaultSweep : public ::testing::Test {
 protected:
  // Linked pictures of a save land in the system's temporary folder: point
  // it at this test's folder, which is removed afterwards.
  void SetUp() override {
    if (const char* old = std::getenv("TMPDIR")) oldTmp_ = old;
    setenv("TMPDIR", folder_.Path("").c_str(), 1);
  }
  void TearDown() override {
    if (oldTmp_.empty()) unsetenv("TMPDIR");
    else setenv("TMPDIR", oldTmp_.c_str(), 1);
  }

  // One call of `call` on `path_`; what the call hands over is given back
  // here, but for a vector load's objects, which stay in `document_`.
  Status Run(Call call) {
    if (call == Call::kInfo) {
      svgtest::HostInfo info;
      FilterScratch scratch{};
      info->scratch = &scratch;
      const Status status = info.Run(path_);
      EXPECT_TRUE(status == kOk || scratch.holder == nullptr) << "a failed fltInfo left a holder";
      EXPECT_EQ(scratch.holder == nullptr ? kOk : fltFreeData(scratch.holder, 0), kOk);
      return status;
    }
    if (call == Call::kLoadVector) return svgtest::LoadVector(path_, document_->get());
    if (call == Call::kSaveLinked || call == Call::kSaveEmbedded) {
      return svgtest::SaveVector(document_->get(), savePath_,
                                 call == Call::kSaveEmbedded ? kSaveFormatEmbedImages : 0);
    }
    const svgtest::RasterRun run =
        svgtest::PaintRaster(path_, 24, 16, call == Call::kLoadIndexed ? 8 : 24);
    EXPECT_TRUE(run.status != kOk || run.rows == 16) << run.rows << " rows";
    return run.status;
  }

  // Refuses allocation 1, 2, 3, ... of `call` until the call gets through
  // without reaching the refused one. The XML reader answers a node it
  // cannot allocate like a syntax fault, so the allocations of the reading
  // step give kErrNotSvg: one unbroken run of them, in a call that reads.
  void Sweep(Call call) {
    const char* name = kCallNames[static_cast<int>(call)];
    const bool saves = call == Call::kSaveLinked || call == Call::kSaveEmbedded;
    const std::string reference = saves ? svgtest::ReadBytes(savePath_) : "";
    int64_t firstNotSvg = 0, notSvgCount = 0, n = 1;
    for (; n <= kMaxSweep; ++n) {
      SCOPED_TRACE(::testing::Message() << name << ", allocation " << n);
      const KernelAccounting before = svgflt::testing::KernelSnapshot();
      KernelFailAllocation(n);
      const Status status = Run(call);
      const bool reached = status != kOk || !FaultStillPending(n);
      KernelFailAllocation(0);
      if (call == Call::kLoadVector) {  // the objects stay the host's, even after a failure
        document_.reset();
        document_.emplace();
      }
      svgflt::testing::ExpectNothingLiveSince(before);
      if (!reached) break;
      if (saves && status == kOk) {
        EXPECT_TRUE(OneLineDegraded(reference, svgtest::ReadBytes(savePath_)))
            << "the save answered success for a refused allocation";
      } else if (!saves && status == kErrNotSvg) {
        if (notSvgCount++ == 0) firstNotSvg = n;
        EXPECT_EQ(n, firstNotSvg + notSvgCount - 1) << "a second run of kErrNotSvg";
      } else {
        EXPECT_EQ(status, kErrNoMemory) << StatusName(status);
      }
      if (HasFailure()) return;
    }
    EXPECT_LE(n, kMaxSweep) << name << " still fails";
    EXPECT_GT(n, 1) << name << " allocates nothing";
  }

  void SweepFile(const std::string& bytes) {
    path_ = folder_.Write("sweep.svg", bytes);
    savePath_ = folder_.Path("saved.svg");
    document_.emplace();
    for (const Call call : {Call::kInfo, Call::kLoadVector, Call::kLoadRaster, Call::kLoadIndexed,
                            Call::kSaveLinked, Call::kSaveEmbedded}) {
      if (call == Call::kSaveLinked) {
        ASSERT_EQ(svgtest::LoadVector(path_, document_->get()), kOk);
      }
      if (call == Call::kSaveLinked || call == Call::kSaveEmbedded) {
        ASSERT_EQ(Run(call), kOk);  // the undisturbed save to compare with
      }
      Sweep(call);
      if (HasFailure()) break;
    }
    document_.reset();
  }

  svgtest::TempFolder folder_;
  std::string oldTmp_;
  std::string path_;
  std::string savePath_;
  std::optional<svgtest::HostDocument> document_;
};

// The rich sample takes every branch the shapes example would.
TEST_F(FaultSweep, ExampleTextAndImages) {
  SweepFile(svgtest::ReadBytes(SVGFLT_SOURCE_DIR "/examples/text-and-images.svg"));
}

TEST_F(FaultSweep, StyleSheetSymbolsLinksAndFractions) { SweepFile(svgtest::kRichSvg); }

}  // namespace
