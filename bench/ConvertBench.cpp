// The conversion of a generated file with 100,000 shapes into a vector
// document, beside the parse of the same file into its record table; and
// the conversion of one text of 40,000 tspans.
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <string>

#include "Common/Parser/Reader.h"
#include "Common/SvgDocument.h"
#include "Common/Vector.h"
#include "ImagingKernel/ImagingKernel.h"
#include "VectorKernel/VectorKernel.h"

namespace svgflt {
namespace {

constexpr int kShapes = 100000;

// 100,000 shapes in groups of 100: rects, circles, paths with curves and
// arcs, lines, polygons; every tenth group transformed.
const std::string& ShapesPath() {
  static const std::string path = [] {
    std::string out = "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
                      "width=\"1000\" height=\"1000\">\n";
    const char* shapes[] = {
        "<rect x=\"1\" y=\"2\" width=\"3\" height=\"4\" fill=\"red\"/>",
        "<circle cx=\"5\" cy=\"6\" r=\"7\" stroke=\"blue\"/>",
        "<path d=\"M0 0L10 10C20 0 30 10 40 0A5 5 0 0 1 50 10z\" fill=\"none\" stroke=\"#123\"/>",
        "<line x1=\"0\" y1=\"0\" x2=\"9\" y2=\"9\" stroke=\"black\"/>",
        "<polygon points=\"0,0 10,0 10,10 0,10\"/>"};
    for (int i = 0; i < kShapes; ++i) {
      if (i % 100 == 0) {
        out += (i / 100) % 10 == 0 ? " <g transform=\"translate(5,5) scale(2)\">\n" : " <g>\n";
      }
      out += "  ";
      out += shapes[i % 5];
      out += "\n";
      if (i % 100 == 99) out += " </g>\n";
    }
    out += "</svg>\n";
    const std::string name = "/tmp/svgflt_convertbench_shapes.svg";
    std::ofstream(name, std::ios::binary | std::ios::trunc) << out;
    return name;
  }();
  return path;
}

constexpr int kTspans = 40000;

// One text whose content is 40,000 tspans of two characters each.
const std::string& TspansPath() {
  static const std::string path = [] {
    std::string out = "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
                      "width=\"1000\" height=\"1000\">\n<text x=\"10\" y=\"20\">";
    for (int i = 0; i < kTspans; ++i) {
      out += "<tspan>a";
      out += static_cast<char>('0' + i % 10);
      out += "</tspan> ";
    }
    out += "</text>\n</svg>\n";
    const std::string name = "/tmp/svgflt_convertbench_tspans.svg";
    std::ofstream(name, std::ios::binary | std::ios::trunc) << out;
    return name;
  }();
  return path;
}

Status LoadFile(const std::string& path, SvgDocument** out) {
  const std::u16string wide(path.begin(), path.end());
  AdvXMLParser::ResetTextState();
  const int32_t file = KernelOpenFile(wide.c_str(), kOpenBinary, kPermRead);
  if (file < 0) return kErrRead;
  Status status = CreateSvgDocument(out);
  if (status == kOk) status = LoadSvgFile(file, **out);
  KernelCloseFile(file);
  return status;
}

void BM_ParseShapes(benchmark::State& state) {
  for (auto _ : state) {
    SvgDocument* document = nullptr;
    const Status status = LoadFile(ShapesPath(), &document);
    benchmark::DoNotOptimize(document);
    FreeSvgDocument(document);
    if (status != kOk) {
      state.SkipWithError("load failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kShapes);
}
BENCHMARK(BM_ParseShapes)->Unit(benchmark::kMillisecond);

void Convert(benchmark::State& state, const std::string& path, int items) {
  SvgDocument* document = nullptr;
  if (LoadFile(path, &document) != kOk) {
    FreeSvgDocument(document);
    state.SkipWithError("load failed");
    return;
  }
  for (auto _ : state) {
    VectorDocument vector;
    std::memset(static_cast<void*>(&vector), 0, sizeof(vector));
    if (VectorInit(&vector) != kVkOk) {
      state.SkipWithError("VectorInit failed");
      break;
    }
    const Status status = ConvertDocument(&vector, *document, nullptr, nullptr);
    state.counters["objects"] = VectorObjectCount(&vector);
    (void)VectorFree(&vector);
    if (status != kOk) {
      state.SkipWithError("conversion failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * items);
  FreeSvgDocument(document);
}

void BM_ConvertShapes(benchmark::State& state) { Convert(state, ShapesPath(), kShapes); }
BENCHMARK(BM_ConvertShapes)->Unit(benchmark::kMillisecond);

void BM_ConvertTspans(benchmark::State& state) { Convert(state, TspansPath(), kTspans); }
BENCHMARK(BM_ConvertTspans)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace svgflt
