// Load time of a generated drawing-program file: N shapes sharing a few
// classes from a style sheet, each with an id. Doubling N should roughly
// double the time (no quadratic step in classes, ids or the tree).
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "Common/Parser/Reader.h"
#include "Common/SvgDocument.h"
#include "ImagingKernel/ImagingKernel.h"

namespace svgflt {
namespace {

std::string WriteClassedFile(int shapes) {
  std::string out =
      "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
      "width=\"1000\" height=\"1000\">\n<style type=\"text/css\"><![CDATA[\n"
      ".st0{fill:#FF0000;stroke:#000000;stroke-width:2}\n.st1{fill:none;stroke:#0000FF}\n"
      ".st2{fill:#00FF00;opacity:0.5}\nrect{stroke-linejoin:round}\n]]></style>\n";
  for (int i = 0; i < shapes; ++i) {
    const std::string id = std::to_string(i);
    switch (i % 3) {
      case 0:
        out += "<rect id=\"r" + id + "\" class=\"st0\" x=\"1\" y=\"2\" width=\"3\" height=\"4\"/>\n";
        break;
      case 1:
        out += "<path id=\"p" + id + "\" class=\"st1 st0\" d=\"M0 0L10 10C20 0 30 10 40 0z\"/>\n";
        break;
      default:
        out += "<circle id=\"c" + id + "\" class=\"st2\" cx=\"5\" cy=\"6\" r=\"7\"/>\n";
        break;
    }
  }
  out += "</svg>\n";
  const std::string name = "/tmp/svgflt_loadbench_" + std::to_string(shapes) + ".svg";
  std::ofstream(name, std::ios::binary | std::ios::trunc) << out;
  return name;
}

void BM_LoadClassedShapes(benchmark::State& state) {
  const int shapes = static_cast<int>(state.range(0));
  const std::string path = WriteClassedFile(shapes);
  const std::u16string wide(path.begin(), path.end());
  for (auto _ : state) {
    AdvXMLParser::ResetTextState();
    const int32_t file = KernelOpenFile(wide.c_str(), kOpenBinary, kPermRead);
    SvgDocument* document = nullptr;
    Status status = CreateSvgDocument(&document);
    if (status == kOk) status = LoadSvgFile(file, *document);
    KernelCloseFile(file);
    FreeSvgDocument(document);
    if (status != kOk) {
      state.SkipWithError("load failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * shapes);
}
BENCHMARK(BM_LoadClassedShapes)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace svgflt
