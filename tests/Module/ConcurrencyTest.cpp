// Loads and saves on several threads at once: each thread loads files in
// vector and raster mode and saves the vector documents, over and over, and
// every result (status, objects, pixels, saved bytes) must equal what the
// same call gave when it ran alone. Shared state between the calls shows as
// a wrong result here, and as a report in the ThreadSanitizer build.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "Module/FilterRuns.h"
#include "Module/TempFiles.h"
#include "svgfilter/FilterStatus.h"
#include "svgfilter/HostRecords.h"
#include "tools/HostCallbacks.h"

namespace {

using namespace svgflt;

constexpr int kThreads = 8;
// How long the threads keep going; each makes at least one full pass.
constexpr auto kRunFor = std::chrono::milliseconds(1500);
constexpr int32_t kRasterWidth = 64;
constexpr int32_t kRasterHeight = 48;

// Corpus folders of which the first few files join the examples: shapes,
// paths, styles, text, gradients, dashes, transforms and nested groups.
constexpr const char* kCorpusFolders[] = {
    "shapes/rect",          "shapes/path",
    "structure/style",      "text/text",
    "text/tspan",           "paint-servers/linearGradient",
    "painting/stroke-dasharray", "structure/transform",
    "structure/g",
};
constexpr std::size_t kFilesPerFolder = 3;

// Many style attributes and text runs, so that the tokenizer and the text
// collection of one load are busy while other threads use theirs.
std::string BusySvg() {
  std::string text =
      "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"400\" "
      "height=\"400\">\n";
  for (int i = 0; i < 200; ++i) {
    const std::string n = std::to_string(i);
    text += "<rect x=\"" + std::to_string(i % 20 * 20) + "\" y=\"" + std::to_string(i / 20 * 40) +
            "\" width=\"15\" height=\"" + std::to_string(5 + i % 7) +
            "\" style=\"fill:#" + std::to_string(100000 + i * 37) + ";stroke:#" +
            std::to_string(900000 - i * 41) + ";stroke-width:" + std::to_string(i % 4) +
            ";opacity:0." + n + ";fill-opacity:0.5\"/>\n";
    text += "<text x=\"" + std::to_string(i % 20 * 20) + "\" y=\"" +
            std::to_string(i / 20 * 40 + 30) + "\" style=\"font-size:" + std::to_string(6 + i % 5) +
            ";fill:#" + std::to_string(200000 + i) + "\">t" + n + "<tspan dx=\"2\">" + n +
            "</tspan> </text>\n";
  }
  return text + "</svg>\n";
}

std::vector<std::string> InputFiles(const svgtest::TempFolder& temp) {
  std::vector<std::string> files = {temp.Write("busy.svg", BusySvg())};
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(SVGFLT_SOURCE_DIR) / "examples")) {
    if (entry.path().extension() == ".svg") files.push_back(entry.path().string());
  }
  const std::filesystem::path corpus =
      std::filesystem::path(SVGFLT_CORPUS_DIR) / "resvg" / "tests";
  for (const char* folder : kCorpusFolders) {
    if (!std::filesystem::is_directory(corpus / folder)) continue;
    std::vector<std::string> svgs;
    for (const auto& entry : std::filesystem::directory_iterator(corpus / folder)) {
      if (entry.path().extension() == ".svg") svgs.push_back(entry.path().string());
    }
    std::sort(svgs.begin(), svgs.end());
    svgs.resize(std::min(svgs.size(), kFilesPerFolder));
    files.insert(files.end(), svgs.begin(), svgs.end());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Everything a host sees of one file: the vector load with its objects and
// the saved text of that document, and the raster load with its pixels.
struct Outcome {
  svgtest::VectorRun vector;
  Status rasterStatus = kOk;
  std::vector<uint8_t> pixels;

  bool operator==(const Outcome&) const = default;
};

int32_t KeepRow(void*, BitmapRecord* target, uint8_t* row, int32_t, int32_t rowNumber, int32_t,
                void* userData) {
  auto* pixels = static_cast<std::vector<uint8_t>*>(userData);
  const auto stride = static_cast<std::size_t>(target->bytesPerRow);
  const auto at = static_cast<std::size_t>(rowNumber) * stride;
  if (rowNumber < 0 || at + stride > pixels->size()) return kErrMissing;
  std::copy(row, row + stride, pixels->begin() + static_cast<std::ptrdiff_t>(at));
  return kOk;
}

// Loads and saves `path` as a host would; `savePath` is this thread's own.
Outcome LoadSaveAndPaint(const std::string& path, const std::string& savePath) {
  Outcome outcome;
  outcome.vector = svgtest::LoadAndSave(path, savePath);
  const std::u16string name = svgtool::ToUtf16(path);
  ResolutionRecord resolution{};
  resolution.horizontal = 96;
  resolution.vertical = 96;
  BitmapRecord bitmap{};
  if (InitBitmap(&bitmap, static_cast<int32_t>(sizeof bitmap), kRasterWidth, kRasterHeight, 24) !=
      kOk) {
    outcome.rasterStatus = kErrNoMemory;
    return outcome;
  }
  outcome.pixels.assign(static_cast<std::size_t>(bitmap.bytesPerRow) * kRasterHeight, 0);
  auto raster = std::make_unique<LoadRequest>();
  raster->fileName = name.c_str();
  raster->mode = 0;
  raster->target = &bitmap;
  raster->width = kRasterWidth;
  raster->height = kRasterHeight;
  raster->rowCallback = KeepRow;
  raster->userData = &outcome.pixels;
  raster->loadFromMemory = svgtool::LoadRasterFromMemory;
  raster->loadFromFile = svgtool::LoadRasterFromFile;
  raster->resolution = &resolution;
  outcome.rasterStatus = fltLoad(raster.get());
  return outcome;
}

// What differs, for the failure message.
std::string Difference(const Outcome& expected, const Outcome& got) {
  std::string parts;
  if (got.vector.loadStatus != expected.vector.loadStatus) parts += " vector status";
  if (got.vector.objects != expected.vector.objects) parts += " objects";
  if (got.vector.saveStatus != expected.vector.saveStatus) parts += " save status";
  if (got.vector.saved != expected.vector.saved) parts += " saved bytes";
  if (got.rasterStatus != expected.rasterStatus) parts += " raster status";
  if (got.pixels != expected.pixels) parts += " pixels";
  return parts;
}

TEST(Concurrency, LoadsAndSavesOnEightThreadsGiveTheSingleThreadedResults) {
  svgtest::TempFolder temp;
  const std::vector<std::string> files = InputFiles(temp);
  ASSERT_GE(files.size(), 3u);

  std::vector<Outcome> expected;
  int loaded = 0;
  for (const std::string& file : files) {
    expected.push_back(LoadSaveAndPaint(file, temp.Path("alone.svg")));
    const Outcome& alone = expected.back();
    if (alone.vector.loadStatus == kOk && alone.vector.saveStatus == kOk &&
        alone.rasterStatus == kOk) {
      ++loaded;
    }
    // A repeated run alone must agree with itself, or the comparison below
    // would blame the threads for it.
    ASSERT_EQ(LoadSaveAndPaint(file, temp.Path("alone.svg")), expected.back()) << file;
  }
  // Most files load, save and paint, so the comparison covers real work.
  EXPECT_GE(loaded, static_cast<int>(files.size()) * 2 / 3);

  struct Report {
    int runs = 0;
    std::vector<std::string> mismatches;
  };
  std::vector<Report> reports(kThreads);
  std::atomic<bool> go{false};
  const auto stop = [&] { return std::chrono::steady_clock::now() + kRunFor; };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::string savePath = temp.Path("thread" + std::to_string(t) + ".svg");
      Report& report = reports[static_cast<std::size_t>(t)];
      while (!go.load()) std::this_thread::yield();
      const auto until = stop();
      // Each thread starts at another file, so different files meet.
      std::size_t i = static_cast<std::size_t>(t) * files.size() / kThreads;
      do {
        for (std::size_t n = 0; n < files.size(); ++n, i = (i + 1) % files.size()) {
          const Outcome got = LoadSaveAndPaint(files[i], savePath);
          ++report.runs;
          if (!(got == expected[i])) {
            report.mismatches.push_back(files[i] + ":" + Difference(expected[i], got));
          }
        }
      } while (std::chrono::steady_clock::now() < until);
    });
  }
  go.store(true);
  for (std::thread& thread : threads) thread.join();

  for (int t = 0; t < kThreads; ++t) {
    const Report& report = reports[static_cast<std::size_t>(t)];
    SCOPED_TRACE("thread " + std::to_string(t));
    EXPECT_GE(report.runs, static_cast<int>(files.size()));
    for (std::size_t m = 0; m < report.mismatches.size() && m < 10; ++m) {
      ADD_FAILURE() << report.mismatches[m];
    }
    EXPECT_EQ(report.mismatches.size(), 0u);
  }
}

}  // namespace
