// A host's vector load and save of one file, with what it sees of the
// results as comparable text: the objects as JSON lines and the saved bytes.
#pragma once

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "VectorKernel/VectorKernel.h"
#include "svgfilter/FilterStatus.h"
#include "svgfilter/HostRecords.h"
#include "tools/CmdDump.h"
#include "tools/HostCallbacks.h"
#include "tools/Module.h"

namespace svgtest {

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline int32_t CollectHandle(VectorDocument*, const VectorObjectHandle* object, void* userData) {
  static_cast<std::vector<VectorObjectHandle>*>(userData)->push_back(*object);
  return svgflt::kOk;
}

// The enumeration's status, then one JSON line per object of `document`.
inline std::string ObjectLines(VectorDocument* document) {
  std::vector<VectorObjectHandle> handles;
  const svgflt::Status enumerated = VectorEnumObjects(document, CollectHandle, &handles, 0);
  std::string lines = "enum " + std::to_string(enumerated) + "\n";
  for (const VectorObjectHandle& handle : handles) {
    std::string line;
    const svgflt::Status status = svgtool::ObjectJson(document, handle, &line);
    lines += status == svgflt::kOk ? line : "error " + std::to_string(status);
    lines += '\n';
  }
  return lines;
}

// Empty when `expected` and `got` are equal, else the first line where they
// differ, to keep a failure message short.
inline std::string FirstDifference(const std::string& expected, const std::string& got) {
  if (expected == got) return "";
  std::size_t at = 0;
  int line = 1;
  while (at < expected.size() && at < got.size() && expected[at] == got[at]) {
    if (expected[at++] == '\n') ++line;
  }
  const std::size_t start = expected.rfind('\n', at == 0 ? 0 : at - 1);
  const std::size_t from = start == std::string::npos ? 0 : start + 1;
  const auto lineAt = [from](const std::string& text) {
    return text.substr(from, text.find('\n', from) - from);
  };
  return "line " + std::to_string(line) + ": expected \"" + lineAt(expected) + "\", got \"" +
         lineAt(got) + "\"";
}

struct VectorRun {
  svgflt::Status loadStatus = svgflt::kOk;
  std::string objects;  // ObjectLines of the loaded document
  svgflt::Status saveStatus = svgflt::kOk;
  std::string saved;    // the bytes fltSave wrote, pictures embedded

  bool operator==(const VectorRun&) const = default;
};

// fltLoad of `path` in vector mode into a fresh document and, when that
// succeeds, fltSave of the document to `savePath` (pictures embedded).
inline VectorRun LoadAndSave(const std::string& path, const std::string& savePath) {
  VectorRun run;
  const std::u16string name = svgtool::ToUtf16(path);
  ResolutionRecord resolution{};
  resolution.horizontal = 96;
  resolution.vertical = 96;
  auto document = std::make_unique<VectorDocument>();
  run.loadStatus = VectorInit(document.get());
  if (run.loadStatus != svgflt::kOk) return run;
  auto load = std::make_unique<LoadRequest>();
  load->fileName = name.c_str();
  load->document = document.get();
  load->mode = 1;
  load->loadFromMemory = svgtool::LoadRasterFromMemory;
  load->loadFromFile = svgtool::LoadRasterFromFile;
  load->resolution = &resolution;
  run.loadStatus = fltLoad(load.get());
  if (run.loadStatus == svgflt::kOk) {
    run.objects = ObjectLines(document.get());
    const std::u16string target = svgtool::ToUtf16(savePath);
    auto save = std::make_unique<SaveRequest>();
    save->fileName = target.c_str();
    save->saveFormat = kSaveFormatEmbedImages;
    save->mode = 1;
    save->document = document.get();
    save->exportToMemory = svgtool::ExportToMemory;
    save->exportToFile = svgtool::ExportToFile;
    run.saveStatus = fltSave(save.get());
    if (run.saveStatus == svgflt::kOk) run.saved = ReadBytes(savePath);
  }
  (void)VectorFree(document.get());
  return run;
}

}  // namespace svgtest
