// svgfilter convert: each SVG file through fltLoad in vector mode into a
// document of the host's own, then that document through fltSave as a new
// SVG file.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "DocumentFolder.h"
#include "HostCallbacks.h"
#include "ImagingKernel/ImagingKernel.h"
#include "Module.h"
#include "Options.h"
#include "VectorKernel/VectorKernel.h"
#include "svgfilter/FilterStatus.h"

namespace svgtool {
namespace {

using svgflt::kOk;

constexpr char kAllowAnyFile[] = "--allow-any-file";
constexpr char kEmbedImages[] = "--embed-images";
constexpr std::int32_t kVectorMode = 1;
constexpr std::int32_t kLinkedImages = 0;

void ConvertUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: svgfilter convert [--module PATH] [--dpi N] [--embed-images]\n"
               "                         [--allow-any-file] IN.svg OUT.svg\n"
               "       svgfilter convert [OPTIONS] IN.svg... -o DIR\n"
               "\n"
               "Loads each SVG file through the filter module into a vector document and\n"
               "writes that document back through the module as an SVG 1.0 file: IN.svg to\n"
               "OUT.svg, or every IN.svg to DIR/NAME.svg.\n"
               "\n"
               "  -o DIR            the folder of the written files (made when missing)\n"
               "  --embed-images    embed pictures as base64 PNG data; without it they are\n"
               "                    written as PNG files into a folder beside each output file\n"
               "                    (OUT.svg gets the folder OUT)\n"
               "  --allow-any-file  let linked pictures come from anywhere, not only from\n"
               "                    the SVG file's folder and below\n"
               "  --module PATH     the filter module (default: libsvgfilter.so beside svgfilter)\n"
               "  --dpi N           screen resolution in dots per inch (default 96)\n");
}

struct ConvertSettings {
  bool embedImages = false;
  bool allowAnyFile = false;
  ResolutionRecord resolution{};
};

// Frees the host's vector document at the end of a conversion.
class HostDocument {
 public:
  HostDocument() : document_(std::make_unique<VectorDocument>()) {}
  HostDocument(const HostDocument&) = delete;
  HostDocument& operator=(const HostDocument&) = delete;
  ~HostDocument() {
    if (document_->impl != nullptr) (void)VectorFree(document_.get());
  }
  VectorDocument* get() const { return document_.get(); }

 private:
  std::unique_ptr<VectorDocument> document_;
};

// Converts `input` into `output` (both absolute paths). `saveFailed` tells
// whether a failure came from the save (it concerns the output file) or
// from the load (the input file).
svgflt::Status ConvertFile(const FilterModule& module, const std::string& input,
                           const std::string& output, ConvertSettings& settings,
                           bool* saveFailed) {
  *saveFailed = false;
  HostDocument document;
  svgflt::Status status = VectorInit(document.get());
  if (status != kOk) return status;

  const std::u16string inputName = ToUtf16(input);
  auto load = std::make_unique<LoadRequest>();
  load->fileName = inputName.c_str();
  load->document = document.get();
  load->mode = kVectorMode;
  load->loadFromMemory = LoadRasterFromMemory;
  load->loadFromFile = LoadRasterFromFile;
  load->resolution = &settings.resolution;
  {
    DocumentFolder folder(input, settings.allowAnyFile);
    status = module.load(load.get());
  }
  if (status != kOk) return status;

  const std::u16string outputName = ToUtf16(output);
  auto save = std::make_unique<SaveRequest>();
  save->fileName = outputName.c_str();
  save->saveFormat = settings.embedImages ? kSaveFormatEmbedImages : kLinkedImages;
  save->mode = kVectorMode;
  save->document = document.get();
  save->exportToMemory = ExportToMemory;
  save->exportToFile = ExportToFile;
  status = module.save(save.get());
  *saveFailed = status != kOk;
  return status;
}

}  // namespace

int CmdConvert(int argc, char** argv) {
  OptionSet accepted;
  accepted.output = true;
  accepted.flags = {kEmbedImages, kAllowAnyFile};
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, accepted, &options, &error)) {
    std::fprintf(stderr, "svgfilter convert: %s\n", error.c_str());
    ConvertUsage(stderr);
    return 2;
  }
  if (options.help) {
    ConvertUsage(stdout);
    return 0;
  }
  // Without -o: exactly IN and OUT. With -o: every file is an input.
  std::vector<std::string> inputs = options.files;
  std::string singleOutput;
  if (options.output.empty()) {
    if (inputs.size() != 2) {
      std::fprintf(stderr, "svgfilter convert: %s\n",
                   inputs.empty()       ? "no file given"
                   : inputs.size() == 1 ? "no output given (OUT.svg or -o DIR)"
                                        : "several inputs need -o DIR");
      ConvertUsage(stderr);
      return 2;
    }
    singleOutput = inputs.back();
    inputs.pop_back();
  } else if (inputs.empty()) {
    std::fprintf(stderr, "svgfilter convert: no file given\n");
    ConvertUsage(stderr);
    return 2;
  } else if (!IsDirectory(options.output) && ::mkdir(options.output.c_str(), 0777) != 0) {
    std::fprintf(stderr, "svgfilter convert: -o %s: not a folder and cannot be made one\n",
                 options.output.c_str());
    return 2;
  }

  FilterModule module;
  if (!module.Open(options.module, &error)) {
    std::fprintf(stderr, "svgfilter: %s\n", error.c_str());
    return 1;
  }
  ConvertSettings settings;
  settings.embedImages = options.Has(kEmbedImages);
  settings.allowAnyFile = options.Has(kAllowAnyFile);
  settings.resolution = ScreenResolution(options.dpi);

  const bool progress = ::isatty(STDERR_FILENO) != 0;
  const std::size_t count = inputs.size();
  int exitStatus = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& path = inputs[i];
    std::string output = singleOutput;
    if (output.empty()) {
      output = options.output + "/" + StemOf(path) + ".svg";
    } else if (IsDirectory(output)) {
      // Appended piece by piece: GCC 12 at -O3 warns falsely on "/" + string.
      output.append("/").append(StemOf(path)).append(".svg");
    }
    if (progress)
      std::fprintf(stderr, "svgfilter: [%zu/%zu] %s -> %s\n", i + 1, count, path.c_str(),
                   output.c_str());
    svgflt::Status status = svgflt::kErrRead;
    bool saveFailed = false;
    std::string input;
    std::string absoluteOutput;
    if (!AbsolutePath(path, &input)) {
      status = svgflt::kErrRead;
    } else if (!AbsolutePath(output, &absoluteOutput)) {
      status = svgflt::kErrOpenTarget;
      saveFailed = true;
    } else {
      status = ConvertFile(module, input, absoluteOutput, settings, &saveFailed);
    }
    if (status != kOk) {
      std::fprintf(stderr, "svgfilter: %s: error %d: %s\n",
                   (saveFailed ? output : path).c_str(), status, HostStatusName(status));
      exitStatus = 1;
    }
  }
  return exitStatus;
}

}  // namespace svgtool
