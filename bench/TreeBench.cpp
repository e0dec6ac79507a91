// The tree builder and the id table: registering and looking up 100,000 ids,
// and building the records of a generated file with 100,000 shapes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "Common/Parser/Reader.h"
#include "Common/SVGParsUtil.h"
#include "Common/SvgDocument.h"
#include "ImagingKernel/ImagingKernel.h"

namespace svgflt {
namespace {

constexpr int kIds = 100000;
constexpr int kShapes = 100000;

std::vector<std::string> IdNames() {
  std::vector<std::string> names;
  names.reserve(kIds);
  for (int i = 0; i < kIds; ++i) names.push_back("shape-" + std::to_string(i));
  return names;
}

// 100,000 shapes in groups of 100, with a few attributes each, as a drawing
// exported from an editor might look.
const std::string& ShapesSvg() {
  static const std::string text = [] {
    std::string out = "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
                      "width=\"1000\" height=\"1000\">\n";
    const char* shapes[] = {"<rect x=\"1\" y=\"2\" width=\"3\" height=\"4\" fill=\"red\"/>",
                            "<circle cx=\"5\" cy=\"6\" r=\"7\" stroke=\"blue\"/>",
                            "<path d=\"M0 0L10 10\" fill=\"none\"/>",
                            "<line x1=\"0\" y1=\"0\" x2=\"9\" y2=\"9\"/>"};
    for (int i = 0; i < kShapes; ++i) {
      if (i % 100 == 0) out += " <g id=\"g" + std::to_string(i / 100) + "\">\n";
      out += "  ";
      out += shapes[i % 4];
      out += "\n";
      if (i % 100 == 99) out += " </g>\n";
    }
    out += "</svg>\n";
    return out;
  }();
  return text;
}

const std::string& ShapesPath() {
  static const std::string path = [] {
    const std::string name = "/tmp/svgflt_treebench_shapes.svg";
    std::ofstream(name, std::ios::binary | std::ios::trunc) << ShapesSvg();
    return name;
  }();
  return path;
}

void BM_RegisterId(benchmark::State& state) {
  const std::vector<std::string> names = IdNames();
  for (auto _ : state) {
    SvgDocument* document = nullptr;
    if (CreateSvgDocument(&document) != kOk) {
      state.SkipWithError("no memory");
      break;
    }
    for (int i = 0; i < kIds; ++i) {
      document->recordCount = i;
      if (RegisterId(*document, names[static_cast<std::size_t>(i)].c_str()) != kOk) {
        state.SkipWithError("RegisterId failed");
        break;
      }
    }
    FreeSvgDocument(document);
  }
  state.SetItemsProcessed(state.iterations() * kIds);
}
BENCHMARK(BM_RegisterId)->Unit(benchmark::kMillisecond);

void BM_FindId(benchmark::State& state) {
  const std::vector<std::string> names = IdNames();
  SvgDocument* document = nullptr;
  if (CreateSvgDocument(&document) != kOk) {
    state.SkipWithError("no memory");
    return;
  }
  for (int i = 0; i < kIds; ++i) {
    document->recordCount = i;
    if (RegisterId(*document, names[static_cast<std::size_t>(i)].c_str()) != kOk) {
      state.SkipWithError("RegisterId failed");
      FreeSvgDocument(document);
      return;
    }
  }
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FindId(*document, names[next].c_str()));
    next = (next * 7919 + 1) % names.size();  // scattered lookups
  }
  state.SetItemsProcessed(state.iterations());
  FreeSvgDocument(document);
}
BENCHMARK(BM_FindId);

void BM_BuildTree(benchmark::State& state) {
  const std::string& text = ShapesSvg();
  AdvXMLParser::ResetTextState();
  AdvXMLParser::Parser parser;
  AdvXMLParser::Document* xml =
      parser.Parse(reinterpret_cast<const unsigned char*>(text.data()), text.size());
  for (auto _ : state) {
    SvgDocument* document = nullptr;
    if (CreateSvgDocument(&document) != kOk) {
      state.SkipWithError("no memory");
      break;
    }
    document->xmlDocument = xml;
    AdvXMLParser::TextState().preserveCount = 0;
    const Status status = BuildTree(*document, *xml->root, 1, -1);
    benchmark::DoNotOptimize(document->recordCount);
    FreeSvgDocument(document);
    if (status != kOk) {
      state.SkipWithError("BuildTree failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kShapes);
  KernelUntrackObject(kTrackObject, xml, __LINE__, u"bench/TreeBench");
  delete xml;
  AdvXMLParser::ResetTextState();
}
BENCHMARK(BM_BuildTree)->Unit(benchmark::kMillisecond);

void BM_LoadSvgFile(benchmark::State& state) {
  const std::string& path = ShapesPath();
  const std::u16string wide(path.begin(), path.end());
  for (auto _ : state) {
    const int32_t file = KernelOpenFile(wide.c_str(), kOpenBinary, kPermRead);
    SvgDocument* document = nullptr;
    Status status = file < 0 ? kErrRead : CreateSvgDocument(&document);
    if (status == kOk) status = LoadSvgFile(file, *document);
    if (document != nullptr) benchmark::DoNotOptimize(document->recordCount);
    FreeSvgDocument(document);
    if (file >= 0) KernelCloseFile(file);
    if (status != kOk) {
      state.SkipWithError("load failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(ShapesSvg().size()));
  state.SetItemsProcessed(state.iterations() * kShapes);
}
BENCHMARK(BM_LoadSvgFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace svgflt
