// Every allocation of a whole entry-point call refused in turn: fltInfo,
// fltLoad in vector and in raster mode, and fltSave of a loaded document,
// on a few rich files. Each refused allocation must end the call with the
// no-memory status, and once the call's hand-over is given back nothing of
// it may stay live in the imaging kernel.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Common/svg.h"
#include "ImagingKernel/ImagingKernel.h"
#include "Module/TempFiles.h"
#include "VectorKernel/VectorKernel.h"
#include "support/KernelLeakGuard.h"
#include "svgfilter/FilterStatus.h"
#include "svgfilter/HostRecords.h"
#include "tools/HostCallbacks.h"
#include "tools/Module.h"

namespace {

using namespace svgflt;

constexpr char16_t kProbeTag[] = u"tests/Module/FaultSweep";
constexpr int32_t kRasterWidth = 24;
constexpr int32_t kRasterHeight = 16;
// No call of these small files comes near this many allocations; a sweep
// that gets there is failing for another reason.
constexpr int64_t kMaxSweep = 20000;

// A 2 x 2 RGB PNG.
constexpr char kPngDataUri[] =
    "data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAIAAAACCAIAAAD91JpzAAAAEklEQVR4nGP4zwAE/0Ho"
    "////AB/uBftt3M6tAAAAAElFTkSuQmCC";

// Style sheet, classes, a symbol drawn twice through `use`, a link, both
// gradient kinds, a pattern, text with tspan and tref, an embedded picture.
std::string StyledSvg() {
  return std::string(
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<svg xmlns=\"http://www.w3.org/2000/svg\" "
             "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"240\" height=\"160\" "
             "viewBox=\"0 0 240 160\">\n"
             "<style type=\"text/css\"><![CDATA[\n"
             "  .warm { fill: #d95d39; stroke: #333; stroke-width: 2 }\n"
             "  .cool { fill: url(#fade); opacity: 0.8 }\n"
             "  text.note { font-family: serif; font-size: 14px; font-weight: bold }\n"
             "]]></style>\n"
             "<defs>\n"
             "  <linearGradient id=\"fade\" x1=\"0\" y1=\"0\" x2=\"1\" y2=\"1\">\n"
             "    <stop offset=\"0\" stop-color=\"#2a6fdb\"/><stop offset=\"1\" "
             "stop-color=\"#9fd3ff\" stop-opacity=\"0.5\"/>\n"
             "  </linearGradient>\n"
             "  <radialGradient id=\"glow\" cx=\"50%\" cy=\"50%\" r=\"50%\" "
             "xlink:href=\"#fade\"/>\n"
             "  <pattern id=\"dots\" width=\"8\" height=\"8\" patternUnits=\"userSpaceOnUse\">\n"
             "    <circle cx=\"4\" cy=\"4\" r=\"2\" fill=\"#333\"/></pattern>\n"
             "  <symbol id=\"star\" viewBox=\"0 0 20 20\">\n"
             "    <polygon class=\"warm\" points=\"10,1 13,8 20,8 14,12 16,19 10,15 4,19 6,12 "
             "0,8 7,8\"/>\n"
             "  </symbol>\n"
             "  <text id=\"label\">referenced words</text>\n"
             "</defs>\n"
             "<rect class=\"cool\" x=\"5\" y=\"5\" width=\"100\" height=\"60\" rx=\"6\"/>\n"
             "<ellipse cx=\"170\" cy=\"35\" rx=\"40\" ry=\"25\" fill=\"url(#glow)\"/>\n"
             "<rect x=\"120\" y=\"70\" width=\"50\" height=\"30\" fill=\"url(#dots)\"/>\n"
             "<g transform=\"translate(10 70) rotate(10)\" style=\"stroke:#000;fill:none\">\n"
             "  <path d=\"M0 0 L30 10 Q40 30 20 40 A10 10 0 0 1 0 40 z m5 5 h5 v5 "
             "C10 20 20 20 25 5 S30 0 35 0 T40 5\"/>\n"
             "  <polyline points=\"0,50 10,60 20,50 30,60\"/>\n"
             "  <line x1=\"0\" y1=\"70\" x2=\"40\" y2=\"70\" stroke-dasharray=\"4 2\"/>\n"
             "</g>\n"
             "<use xlink:href=\"#star\" x=\"180\" y=\"80\" width=\"30\" height=\"30\"/>\n"
             "<use xlink:href=\"#star\" x=\"200\" y=\"110\" width=\"20\" height=\"20\" "
             "transform=\"scale(1.1)\"/>\n"
             "<a xlink:href=\"https://example.org/\"><circle class=\"warm\" cx=\"60\" "
             "cy=\"130\" r=\"12\"/></a>\n"
             "<text class=\"note\" x=\"80\" y=\"150\">Styled <tspan fill=\"red\" "
             "dy=\"-3\">text</tspan> and <tref xlink:href=\"#label\"/></text>\n"
             "<image x=\"200\" y=\"5\" width=\"30\" height=\"30\" xlink:href=\"") +
         kPngDataUri + "\"/>\n</svg>\n";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int32_t CountRow(void*, BitmapRecord*, uint8_t*, int32_t, int32_t, int32_t, void* userData) {
  ++*static_cast<int32_t*>(userData);
  return kOk;
}

// True when the allocation `n` calls ago is still to come, that is, the call
// just made did not reach it. Probes with allocations of its own, at most n.
bool FaultStillPending(int64_t n) {
  for (int64_t i = 0; i < n; ++i) {
    void* block = KernelAlloc(1, 1, __LINE__, kProbeTag);
    if (block == nullptr) return true;
    KernelFree(block, __LINE__, kProbeTag);
  }
  return false;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A saved file with the temporary picture names (svgXXXX.tmp) masked,
// which differ from save to save.
std::string MaskedSave(const std::string& text) {
  std::string out;
  std::size_t at = 0;
  for (std::size_t found = text.find("svg", at); found != std::string::npos;
       found = text.find("svg", at)) {
    std::size_t end = found + 3;
    while (end < text.size() && std::isxdigit(static_cast<unsigned char>(text[end])) &&
           !std::islower(static_cast<unsigned char>(text[end])))
      ++end;
    const bool name = end > found + 3 && text.compare(end, 4, ".tmp") == 0;
    out.append(text, at, (name ? found + 3 : end) - at);
    at = end;
  }
  return out + text.substr(at);
}

// `line` without its attribute `name` when the attribute's value begins
// with one of `prefixes` (any value when none is given).
std::string WithoutAttribute(std::string line, const std::string& name,
                             std::initializer_list<const char*> prefixes = {}) {
  const std::size_t start = line.find(" " + name + "=\"");
  if (start == std::string::npos) return line;
  const std::size_t value = start + name.size() + 3;
  const std::size_t close = line.find('"', value);
  if (close == std::string::npos) return line;
  bool matches = prefixes.size() == 0;
  for (const char* prefix : prefixes) matches = matches || line.compare(value, std::strlen(prefix), prefix) == 0;
  if (matches) line.erase(start, close + 1 - start);
  return line;
}

// A line of saved text without what the writer leaves out when one of its
// small copies cannot be allocated: the font-family, the stroke-dasharray,
// and the hatch pattern a fill refers to (the brush colour replaces it).
std::string WithoutDegradable(const std::string& line) {
  return WithoutAttribute(
      WithoutAttribute(WithoutAttribute(line, "font-family"), "stroke-dasharray"), "fill",
      {"url(#brush", "#"});
}

// True when `got` is the saved text `want` with one line degraded as the
// writer does when such a copy is refused, which it answers with success.
bool OneLineDegraded(const std::string& want, const std::string& got) {
  const std::vector<std::string> a = Lines(MaskedSave(want));
  const std::vector<std::string> b = Lines(MaskedSave(got));
  if (a.size() != b.size()) return false;
  int differing = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    if (++differing > 1 || WithoutDegradable(a[i]) != WithoutDegradable(b[i])) return false;
  }
  return differing == 1;
}

enum class Call { kInfo, kLoadVector, kLoadRaster, kLoadIndexed, kSaveLinked, kSaveEmbedded };

const char* CallName(Call call) {
  switch (call) {
    case Call::kInfo: return "fltInfo";
    case Call::kLoadVector: return "fltLoad vector";
    case Call::kLoadRaster: return "fltLoad raster";
    case Call::kLoadIndexed: return "fltLoad raster 8-bit";
    case Call::kSaveLinked: return "fltSave linked images";
    case Call::kSaveEmbedded: return "fltSave embedded images";
  }
  return "?";
}

class FaultSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    // Linked pictures of a save land in the system's temporary folder:
    // point it at this test's folder, which is removed afterwards.
    const char* old = std::getenv("TMPDIR");
    if (old != nullptr) {
      oldTmp_ = old;
      hadTmp_ = true;
    }
    setenv("TMPDIR", folder_.Path("").c_str(), 1);
    resolution_.horizontal = 96;
    resolution_.vertical = 96;
  }
  void TearDown() override {
    if (hadTmp_) {
      setenv("TMPDIR", oldTmp_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }

  // One call of `call` on the file at `path_`; what the call hands over is
  // kept in `scratch_`, `target_` or `document_` for GiveBack.
  Status Run(Call call) {
    switch (call) {
      case Call::kInfo: {
        auto info = std::make_unique<InfoRequest>();
        auto fileInfo = std::make_unique<FileInfo>();
        const int32_t file = KernelOpenFile(name_.c_str(), kOpenBinary, kPermRead);
        EXPECT_NE(file, -1);
        info->file = file;
        info->fileInfo = fileInfo.get();
        info->scratch = &scratch_;
        info->resolution = &resolution_;
        info->sizeMode = 1;
        info->loadFromMemory = svgtool::InfoLoadRasterFromMemory;
        const Status status = fltInfo(info.get());
        EXPECT_EQ(KernelCloseFile(file), 0);
        return status;
      }
      case Call::kLoadVector:
      case Call::kLoadRaster:
      case Call::kLoadIndexed: {
        auto load = std::make_unique<LoadRequest>();
        load->fileName = name_.c_str();
        load->resolution = &resolution_;
        load->loadFromMemory = svgtool::LoadRasterFromMemory;
        load->loadFromFile = svgtool::LoadRasterFromFile;
        if (call == Call::kLoadVector) {
          load->mode = 1;
          load->document = document_.get();
          return fltLoad(load.get());
        }
        target_ = BitmapRecord{};
        EXPECT_EQ(InitBitmap(&target_, static_cast<int32_t>(sizeof target_), kRasterWidth,
                             kRasterHeight, call == Call::kLoadIndexed ? 8 : 24),
                  kOk);
        rows_ = 0;
        load->mode = 0;
        load->target = &target_;
        load->width = kRasterWidth;
        load->height = kRasterHeight;
        load->rowCallback = CountRow;
        load->userData = &rows_;
        const Status status = fltLoad(load.get());
        if (status == kOk) {
          EXPECT_EQ(rows_, kRasterHeight);
        }
        return status;
      }
      case Call::kSaveLinked:
      case Call::kSaveEmbedded: {
        auto save = std::make_unique<SaveRequest>();
        save->fileName = outName_.c_str();
        save->mode = 1;
        save->saveFormat = call == Call::kSaveEmbedded ? kSaveFormatEmbedImages : 0;
        save->document = document_.get();
        save->exportToMemory = svgtool::ExportToMemory;
        save->exportToFile = svgtool::ExportToFile;
        return fltSave(save.get());
      }
    }
    return kErrMissing;
  }

  // Gives back what the call handed over: the holder fltInfo left, the
  // objects a vector load put into the caller's document (the host's, even
  // after a failure), the palette a raster target may have got.
  void GiveBack(Call call, Status status) {
    if (call == Call::kLoadVector) {
      EXPECT_EQ(VectorFree(document_.get()), kOk);
      EXPECT_EQ(VectorInit(document_.get()), kOk);
    }
    if (call == Call::kInfo) {
      if (status != kOk) {
        EXPECT_EQ(scratch_.holder, nullptr) << "a failed fltInfo left a holder";
      }
      if (scratch_.holder != nullptr) {
        EXPECT_EQ(fltFreeData(scratch_.holder, 0), kOk);
      }
      scratch_.holder = nullptr;
    }
    if (call == Call::kLoadRaster || call == Call::kLoadIndexed) {
      EXPECT_EQ(FreeBitmap(&target_), kOk);
    }
  }

  // Refuses allocation 1, 2, 3, ... of `call` until the call gets through
  // without reaching the refused one; the number of refused allocations.
  // The XML reader answers a node it cannot allocate like a syntax fault,
  // so the allocations of the reading step give kErrNotSvg: one unbroken
  // run of them, in a call that reads a file.
  int64_t Sweep(Call call) {
    const bool reads = call != Call::kSaveLinked && call != Call::kSaveEmbedded;
    int64_t firstNotSvg = 0;
    int64_t notSvgCount = 0;
    int64_t n = 1;
    for (; n <= kMaxSweep; ++n) {
      SCOPED_TRACE(::testing::Message() << CallName(call) << ", allocation " << n);
      const KernelAccounting before = svgflt::testing::KernelSnapshot();
      KernelFailAllocation(n);
      const Status status = Run(call);
      const bool reached = status != kOk || !FaultStillPending(n);
      KernelFailAllocation(0);
      GiveBack(call, status);
      svgflt::testing::ExpectNothingLiveSince(before);
      if (!reached) break;
      if (!reads && status == kOk) {
        ++degradedSaves_;
        EXPECT_TRUE(OneLineDegraded(reference_, ReadFile(svgtool::ToUtf8(outName_))))
            << "the save answered success for a refused allocation";
      } else if (reads && status == kErrNotSvg) {
        if (notSvgCount++ == 0) firstNotSvg = n;
        EXPECT_EQ(n, firstNotSvg + notSvgCount - 1) << "a second run of kErrNotSvg";
      } else {
        EXPECT_EQ(status, kErrNoMemory) << StatusName(status);
      }
      if (::testing::Test::HasFailure()) return n;
    }
    if (n > kMaxSweep) {
      ADD_FAILURE() << CallName(call) << " still fails after " << kMaxSweep << " allocations";
    }
    std::printf("[ sweep    ] %-20s %-24s %5lld allocations refused in turn",
                label_, CallName(call), static_cast<long long>(n - 1));
    if (degradedSaves_ > 0) {
      std::printf(" (%lld saved with one attribute left out)",
                  static_cast<long long>(degradedSaves_));
      degradedSaves_ = 0;
    }
    if (notSvgCount > 0) {
      std::printf(" (%lld to %lld in the XML reader)", static_cast<long long>(firstNotSvg),
                  static_cast<long long>(firstNotSvg + notSvgCount - 1));
    }
    std::printf("\n");
    return n - 1;
  }

  // Sweeps every call over `bytes`; prints the number of refused
  // allocations per call.
  void SweepFile(const char* label, const std::string& bytes) {
    SCOPED_TRACE(label);
    label_ = label;
    name_ = svgtool::ToUtf16(folder_.Write("sweep.svg", bytes));
    outName_ = svgtool::ToUtf16(folder_.Path("saved.svg"));
    document_ = std::make_unique<VectorDocument>();
    ASSERT_EQ(VectorInit(document_.get()), kOk);
    for (const Call call :
         {Call::kInfo, Call::kLoadVector, Call::kLoadRaster, Call::kLoadIndexed}) {
      EXPECT_GT(Sweep(call), 0);
      if (HasFailure()) break;
    }
    if (!HasFailure()) {
      ASSERT_EQ(Run(Call::kLoadVector), kOk);
      for (const Call call : {Call::kSaveLinked, Call::kSaveEmbedded}) {
        ASSERT_EQ(Run(call), kOk);
        reference_ = ReadFile(svgtool::ToUtf8(outName_));
        EXPECT_GT(Sweep(call), 0);
        if (HasFailure()) break;
      }
    }
    EXPECT_EQ(VectorFree(document_.get()), kOk);
  }

  svgtest::TempFolder folder_;
  const char* label_ = "";
  std::string oldTmp_;
  bool hadTmp_ = false;
  std::u16string name_;
  std::u16string outName_;
  ResolutionRecord resolution_{};
  FilterScratch scratch_{};
  BitmapRecord target_{};
  int32_t rows_ = 0;
  std::unique_ptr<VectorDocument> document_;
  std::string reference_;  // the text of an undisturbed save
  int64_t degradedSaves_ = 0;
};

TEST_F(FaultSweep, ExampleShapes) {
  SweepFile("shapes.svg", ReadFile(SVGFLT_SOURCE_DIR "/examples/shapes.svg"));
}

TEST_F(FaultSweep, ExampleTextAndImages) {
  SweepFile("text-and-images.svg", ReadFile(SVGFLT_SOURCE_DIR "/examples/text-and-images.svg"));
}

TEST_F(FaultSweep, StyleSheetSymbolsLinksAndPictures) { SweepFile("styled", StyledSvg()); }

}  // namespace
