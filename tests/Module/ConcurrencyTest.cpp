// Loads and saves on several threads at once: each thread loads files in
// vector and raster mode and saves the vector documents, over and over, and
// every result (status, objects, pixels, saved bytes) must equal what the
// same call gave when it ran alone. Shared state between the calls shows as
// a wrong result here, and as a report in the ThreadSanitizer build.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "Module/FilterRuns.h"
#include "Module/TempFiles.h"

namespace {

using namespace svgflt;
namespace fs = std::filesystem;

constexpr int kThreads = 8;
// How long the threads keep going; each makes at least one full pass.
constexpr auto kRunFor = std::chrono::milliseconds(1500);

// Corpus folders of which the first three files join the examples: shapes,
// paths, styles, text, gradients, dashes, transforms and nested groups.
constexpr const char* kCorpusFolders[] = {
    "shapes/rect", "shapes/path", "structure/style", "text/text", "text/tspan",
    "paint-servers/linearGradient", "painting/stroke-dasharray", "structure/transform",
    "structure/g",
};

std::vector<std::string> InputFiles() {
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(fs::path(SVGFLT_SOURCE_DIR) / "examples"))
    if (entry.path().extension() == ".svg") files.push_back(entry.path().string());
  const fs::path corpus = fs::path(SVGFLT_CORPUS_DIR) / "resvg" / "tests";
  for (const char* folder : kCorpusFolders) {
    if (!fs::is_directory(corpus / folder)) continue;
    std::vector<std::string> svgs;
    for (const auto& entry : fs::directory_iterator(corpus / folder))
      if (entry.path().extension() == ".svg") svgs.push_back(entry.path().string());
    std::sort(svgs.begin(), svgs.end());
    files.insert(files.end(), svgs.begin(), svgs.begin() + (svgs.size() < 3 ? svgs.size() : 3));
  }
  return files;
}

// Everything a host sees of one file: the vector load with its objects and
// the saved text of that document, and the raster load with its pixels.
struct Outcome {
  svgtest::VectorRun vector;
  svgtest::RasterRun raster;
  bool operator==(const Outcome&) const = default;
};

Outcome LoadSaveAndPaint(const std::string& path, const std::string& savePath) {
  return {svgtest::LoadAndSave(path, savePath), svgtest::PaintRaster(path, 64, 48)};
}

TEST(Concurrency, LoadsAndSavesOnEightThreadsGiveTheSingleThreadedResults) {
  svgtest::TempFolder temp;
  const std::vector<std::string> files = InputFiles();
  ASSERT_GE(files.size(), 2u);
  std::vector<Outcome> expected;
  int loaded = 0;
  for (const std::string& file : files) {
    expected.push_back(LoadSaveAndPaint(file, temp.Path("alone.svg")));
    const Outcome& alone = expected.back();
    loaded += alone.vector.saveStatus == kOk && !alone.vector.saved.empty() &&
              alone.raster.status == kOk;
    // A repeated run alone must agree with itself, or the comparison below
    // would blame the threads for it.
    ASSERT_EQ(LoadSaveAndPaint(file, temp.Path("alone.svg")), alone) << file;
  }
  // Most files load, save and paint, so the comparison covers real work.
  EXPECT_GE(loaded, static_cast<int>(files.size()) * 2 / 3);

  std::vector<int> runs(kThreads, 0);
  std::vector<std::vector<std::string>> mismatches(kThreads);
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::string savePath = temp.Path("thread" + std::to_string(t) + ".svg");
      while (!go.load()) std::this_thread::yield();
      const auto until = std::chrono::steady_clock::now() + kRunFor;
      // Each thread starts at another file, so different files meet.
      std::size_t i = t * files.size() / kThreads;
      do {
        for (std::size_t n = 0; n < files.size(); ++n, i = (i + 1) % files.size()) {
          ++runs[t];
          if (!(LoadSaveAndPaint(files[i], savePath) == expected[i]))
            mismatches[t].push_back(files[i]);
        }
      } while (std::chrono::steady_clock::now() < until);
    });
  }
  go.store(true);
  for (std::thread& thread : threads) thread.join();
  for (std::size_t t = 0; t < kThreads; ++t) {
    SCOPED_TRACE("thread " + std::to_string(t));
    EXPECT_GE(runs[t], static_cast<int>(files.size()));
    EXPECT_EQ(mismatches[t], std::vector<std::string>());
  }
}

}  // namespace
