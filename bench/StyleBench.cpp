// Classes and style rules: elements that share a few classes, as an editor
// exports them (class="st0" on every shape), are registered and have their
// rules applied one after another. The time per run must grow with the
// element count, not with its square.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "Common/MyStrtok.h"
#include "Common/Properties.h"
#include "Common/StyleSheet.h"
#include "Common/SvgDocument.h"

namespace svgflt {
namespace {

constexpr int kClassNames = 8;

const char* const kSheet =
    "rect{stroke-width:1} .st0{fill:red} .st1{stroke:blue} .st2{fill:green;stroke:black} "
    ".st3{fill-opacity:0.5} rect.st4{fill:#123456} .st5{stroke-width:2} .st6{display:none} "
    ".st7{fill:none}";

// The class values in use: one or two of the shared names.
std::vector<std::string> ClassValues() {
  std::vector<std::string> values;
  for (int i = 0; i < kClassNames; ++i) {
    values.push_back("st" + std::to_string(i));
    values.push_back("st" + std::to_string(i) + " st" + std::to_string((i + 3) % kClassNames));
  }
  return values;
}

void BM_RegisterAndApplyClasses(benchmark::State& state) {
  const int elements = static_cast<int>(state.range(0));
  const std::vector<std::string> values = ClassValues();
  for (auto _ : state) {
    SvgDocument* document = nullptr;
    if (CreateSvgDocument(&document) != kOk || ParseStyleSheet(*document, kSheet) != kOk) {
      state.SkipWithError("no memory");
      break;
    }
    for (int i = 0; i < elements; ++i) {
      const char* value = values[static_cast<std::size_t>(i) % values.size()].c_str();
      PresentationProperties props{};
      Status status = InitPresentationProperties(props);
      if (status == kOk) status = RegisterClasses(*document, i, value);
      if (status == kOk) status = ApplyClassesAndStyle(*document, i, "rect", props, value, nullptr);
      benchmark::DoNotOptimize(props.fill.paintKind);
      FreePresentationProperties(props);
      if (status != kOk) {
        state.SkipWithError("no memory");
        break;
      }
    }
    FreeSvgDocument(document);
    MyStrtokReset();
  }
  state.SetItemsProcessed(state.iterations() * elements);
}
BENCHMARK(BM_RegisterAndApplyClasses)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

// Registration alone: the class table with its element lists.
void BM_RegisterClasses(benchmark::State& state) {
  const int elements = static_cast<int>(state.range(0));
  const std::vector<std::string> values = ClassValues();
  for (auto _ : state) {
    SvgDocument* document = nullptr;
    if (CreateSvgDocument(&document) != kOk) {
      state.SkipWithError("no memory");
      break;
    }
    for (int i = 0; i < elements; ++i) {
      if (RegisterClasses(*document, i, values[static_cast<std::size_t>(i) % values.size()].c_str()) !=
          kOk) {
        state.SkipWithError("no memory");
        break;
      }
    }
    FreeSvgDocument(document);
  }
  state.SetItemsProcessed(state.iterations() * elements);
}
BENCHMARK(BM_RegisterClasses)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace svgflt
