// The SVG writer: a document of many shapes (rectangles, circles and point
// paths in turn) saved through SaveSvg. Reports the SVG bytes written per
// second; the object count doubles between runs, so the time should too.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "Common/save.h"
#include "VectorKernel/VectorKernel.h"

namespace {

KernelPoint Pt(double x, double y) { return KernelPoint{x, y, 0.0, 0}; }

// A document of `count` shapes spread over a 2000 x 1000 drawing (so the
// output is scaled), with dashed pens and hatched brushes mixed in.
bool BuildDocument(VectorDocument* document, std::int64_t count) {
  if (VectorInit(document) != kVkOk) return false;
  KernelPoint pathPoints[5];
  std::uint8_t kinds[5] = {kPtMoveTo, kPtLineTo, kPtBezierTo, kPtBezierTo,
                           kPtBezierTo | kPtCloseFigure};
  for (std::int64_t i = 0; i < count; ++i) {
    const double x = static_cast<double>(i % 1000) * 2.0 + 0.25;
    const double y = static_cast<double>((i / 1000) % 1000) + 0.5;
    std::int32_t status = kVkOk;
    switch (i % 3) {
      case 0: {
        VectorRectObject rect{};
        (void)VectorInitObject(&rect, kVoRect);
        rect.corner1 = Pt(x, y);
        rect.corner2 = Pt(x + 12.5, y + 7.25);
        rect.pen.style = (i % 2 == 0) ? kPenDash : kPenSolid;
        rect.pen.width = 3;
        if (i % 5 == 0) {
          rect.brush.w[2] = kBrushHatched;
          rect.brush.w[4] = kHatchCross;
        }
        status = VectorAddObject(document, 0, kVoRect, &rect, nullptr);
        break;
      }
      case 1: {
        VectorCircleObject circle{};
        (void)VectorInitObject(&circle, kVoCircle);
        circle.centre = Pt(x, y);
        circle.r = 4.75;
        circle.brush.w[3] = 0x00336699;
        status = VectorAddObject(document, 0, kVoCircle, &circle, nullptr);
        break;
      }
      default: {
        pathPoints[0] = Pt(x, y);
        pathPoints[1] = Pt(x + 10, y);
        pathPoints[2] = Pt(x + 12, y + 3.3);
        pathPoints[3] = Pt(x + 11, y + 6.6);
        pathPoints[4] = Pt(x + 5, y + 8);
        VectorPathObject path{};
        (void)VectorInitObject(&path, kVoPath);
        path.count = 5;
        path.points = pathPoints;
        path.kinds = kinds;
        status = VectorAddObject(document, 0, kVoPath, &path, nullptr);
        break;
      }
    }
    if (status != kVkOk) return false;
  }
  document->lowerBound = Pt(0, 0);
  document->upperBound = Pt(2000, 1000);
  return true;
}

void BM_SaveShapes(benchmark::State& state) {
  auto document = std::make_unique<VectorDocument>();
  if (!BuildDocument(document.get(), state.range(0))) {
    state.SkipWithError("cannot build the document");
    return;
  }
  char folder[] = "/tmp/svgflt-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string path = std::string(folder) + "/shapes.svg";
  const std::u16string name(path.begin(), path.end());
  auto request = std::make_unique<SaveRequest>();
  request->fileName = name.c_str();
  request->mode = 1;
  request->document = document.get();

  std::int64_t bytes = 0;
  for (auto _ : state) {
    if (svgflt::SaveSvg(document.get(), request.get(), name.c_str(), 0) != svgflt::kOk) {
      state.SkipWithError("save failed");
      break;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) bytes = info.st_size;
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["svg_bytes"] = static_cast<double>(bytes);
  state.SetComplexityN(state.range(0));
  std::remove(path.c_str());
  rmdir(folder);
  (void)VectorFree(document.get());
}
BENCHMARK(BM_SaveShapes)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
