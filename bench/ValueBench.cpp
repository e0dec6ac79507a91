// The value parsers that run for every attribute: lengths, path data,
// transform lists and colour names.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "Common/FillUtil.h"
#include "Common/GeneralUtil.h"
#include "Common/ShapesUtil.h"
#include "Common/Stack.h"

namespace svgflt {
namespace {

// A real icon path, read once from bench/data beside this file.
const std::string& RealPath() {
  static const std::string text = [] {
    const auto file = std::filesystem::path(__FILE__).parent_path() / "data" / "path-d.txt";
    std::ifstream in(file);
    std::ostringstream out;
    out << in.rdbuf();
    std::string d = out.str();
    while (!d.empty() && (d.back() == '\n' || d.back() == '\r')) d.pop_back();
    return d;
  }();
  return text;
}

void BM_ParseLength(benchmark::State& state) {
  const char* texts[] = {"12.5px", "100%", "  3in  ", "0.75em", "1024", "-4.25mm"};
  int64_t bytes = 0;
  for (const char* text : texts) bytes += static_cast<int64_t>(std::char_traits<char>::length(text));
  for (auto _ : state) {
    for (const char* text : texts) {
      SvgLength out{};
      benchmark::DoNotOptimize(ParseLength(text, &out));
      benchmark::DoNotOptimize(out);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(std::size(texts)));
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_ParseLength);

void BM_ParsePathData(benchmark::State& state) {
  const std::string& d = RealPath();
  if (d.empty()) {
    state.SkipWithError("bench/data/path-d.txt not found");
    return;
  }
  int64_t segments = 0;
  for (auto _ : state) {
    PathSegmentList list{};
    benchmark::DoNotOptimize(ParsePathData(d.c_str(), &list));
    segments = list.count;
    FreePathData(&list);
  }
  state.counters["segments"] = static_cast<double>(segments);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(d.size()));
}
BENCHMARK(BM_ParsePathData);

void BM_ParseTransformList(benchmark::State& state) {
  const std::string text =
      "translate(120.5, -30) rotate(45 10 20) scale(1.5) skewX(10) "
      "matrix(0.866 0.5 -0.5 0.866 12.25 -7.5)";
  for (auto _ : state) {
    TransformList list{};
    benchmark::DoNotOptimize(ParseTransformList(text.c_str(), &list));
    FreeTransformList(&list);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseTransformList);

void BM_LookupColorName(benchmark::State& state) {
  // Early, late, mixed-case, system and unknown names.
  const char* names[] = {"aliceblue", "yellowgreen", "CornflowerBlue", "red",
                         "Windowtext", "threedshadow", "nosuchcolour", "grey"};
  for (auto _ : state) {
    for (const char* name : names) {
      bool found = false;
      benchmark::DoNotOptimize(LookupColorName(name, &found));
      benchmark::DoNotOptimize(found);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(std::size(names)));
}
BENCHMARK(BM_LookupColorName);

}  // namespace
}  // namespace svgflt
