// The XML reader against two general-purpose XML parsers, on one document
// made of the corpus SVG files: each file, without its XML declaration and
// document type, becomes a <g> inside one <svg> root, repeated up to a few
// megabytes. Each run parses the whole buffer and destroys the tree.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "Common/Parser/Elements.h"
#include "Common/Parser/Reader.h"

namespace {

constexpr std::size_t kMinimumBytes = 4u << 20;

bool ParsesWithAll(const std::string& text) {
  try {
    AdvXMLParser::Parser parser;
    AdvXMLParser::DeleteNode(
        parser.Parse(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
    AdvXMLParser::ResetTextState();
  } catch (const AdvXMLParser::ParsingException&) {
    AdvXMLParser::ResetTextState();
    return false;
  }
  pugi::xml_document pugiDocument;
  if (!pugiDocument.load_buffer(text.data(), text.size(), pugi::parse_default)) return false;
  xmlDocPtr xmlDocument = xmlReadMemory(text.data(), static_cast<int>(text.size()), "piece.svg",
                                        nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR |
                                                     XML_PARSE_NOWARNING);
  if (xmlDocument == nullptr) return false;
  xmlFreeDoc(xmlDocument);
  return true;
}

// The file from its first "<svg" on; empty when there is none.
std::string SvgElementOf(const std::string& file) {
  const std::size_t at = file.find("<svg");
  return at == std::string::npos ? std::string() : file.substr(at);
}

const std::string& CorpusDocument() {
  static const std::string text = [] {
    std::vector<std::filesystem::path> files;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(SVGFLT_CORPUS_DIR "/resvg/tests")) {
      if (entry.is_regular_file() && entry.path().extension() == ".svg") {
        files.push_back(entry.path());
      }
    }
    std::sort(files.begin(), files.end());
    std::string pieces;
    for (const auto& path : files) {
      std::ifstream in(path, std::ios::binary);
      std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::string piece = "<g>" + SvgElementOf(file) + "</g>";
      // Skips the files that are not well-formed on their own (some test
      // malformed input) or use entities declared in their document type.
      if (ParsesWithAll(piece)) pieces += piece + "\n";
    }
    std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                      "xmlns:xlink=\"http://www.w3.org/1999/xlink\">\n";
    while (!pieces.empty() && out.size() < kMinimumBytes) out += pieces;
    out += "</svg>\n";
    return out;
  }();
  return text;
}

void ReaderParse(benchmark::State& state) {
  const std::string& text = CorpusDocument();
  for (auto _ : state) {
    AdvXMLParser::Parser parser;
    AdvXMLParser::Document* document =
        parser.Parse(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    benchmark::DoNotOptimize(document);
    AdvXMLParser::DeleteNode(document);
    AdvXMLParser::ResetTextState();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.SetLabel(std::to_string(text.size()) + " bytes");
}
BENCHMARK(ReaderParse)->Unit(benchmark::kMillisecond);

void PugixmlParse(benchmark::State& state) {
  const std::string& text = CorpusDocument();
  for (auto _ : state) {
    pugi::xml_document document;
    pugi::xml_parse_result result = document.load_buffer(text.data(), text.size(),
                                                         pugi::parse_default);
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(PugixmlParse)->Unit(benchmark::kMillisecond);

void Libxml2Parse(benchmark::State& state) {
  const std::string& text = CorpusDocument();
  for (auto _ : state) {
    xmlDocPtr document = xmlReadMemory(text.data(), static_cast<int>(text.size()), "corpus.svg",
                                       nullptr, XML_PARSE_NONET);
    benchmark::DoNotOptimize(document);
    xmlFreeDoc(document);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(Libxml2Parse)->Unit(benchmark::kMillisecond);

}  // namespace
