// svgfilter info: what the module reports about each file.
#include <charconv>
#include <memory>
#include <cstdio>
#include <string>

#include "Commands.h"
#include "ImagingKernel/ImagingKernel.h"
#include "Module.h"
#include "Options.h"
#include "svgfilter/FilterStatus.h"

namespace svgtool {
namespace {

void InfoUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: svgfilter info [--json] [--module PATH] [--dpi N] FILE...\n"
               "\n"
               "Reports, for each FILE, what the filter module answers: format code,\n"
               "width and height in pixels, bits per pixel, image size in bytes,\n"
               "resolution and, for a vector image, its bounds widened by 0.5 %%.\n"
               "\n"
               "  --json        one JSON object per file and line\n"
               "  --module PATH the filter module (default: libsvgfilter.so beside svgfilter)\n"
               "  --dpi N       screen resolution in dots per inch (default 96)\n");
}

// Shortest text that reads back as the same double.
std::string Number(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string PointJson(const KernelPoint& p) {
  return "[" + Number(p.x) + "," + Number(p.y) + "," + Number(p.z) + "]";
}

std::string PointText(const KernelPoint& p) {
  return "(" + Number(p.x) + ", " + Number(p.y) + ")";
}

void PrintInfo(const std::string& path, const FileInfo& info, bool json) {
  const bool isVector = info.isVector == 1;
  if (json) {
    std::string line = "{\"file\":" + JsonString(path) +
                       ",\"format\":" + std::to_string(info.formatCode) +
                       ",\"width\":" + std::to_string(info.width) +
                       ",\"height\":" + std::to_string(info.height) +
                       ",\"bitsPerPixel\":" + std::to_string(info.bitsPerPixel) +
                       ",\"imageSize\":" + std::to_string(info.imageSize) +
                       ",\"xResolution\":" + std::to_string(info.xResolution) +
                       ",\"yResolution\":" + std::to_string(info.yResolution) +
                       ",\"vector\":" + (isVector ? "true" : "false");
    if (isVector) {
      line += ",\"lowerBound\":" + PointJson(info.lowerBound) +
              ",\"upperBound\":" + PointJson(info.upperBound);
    }
    std::printf("%s}\n", line.c_str());
    return;
  }
  std::printf("%s\n", path.c_str());
  std::printf("  format:         %d\n", info.formatCode);
  std::printf("  size:           %d x %d pixels\n", info.width, info.height);
  std::printf("  bits per pixel: %d\n", info.bitsPerPixel);
  std::printf("  image size:     %d bytes\n", info.imageSize);
  std::printf("  resolution:     %d x %d dpi\n", info.xResolution, info.yResolution);
  if (isVector) {
    std::printf("  bounds:         %s to %s\n", PointText(info.lowerBound).c_str(),
                PointText(info.upperBound).c_str());
  }
}

// Asks the module about one file; the status of fltInfo, or kErrRead when
// the file does not open.
svgflt::Status InfoOfFile(const FilterModule& module, const std::string& path,
                          ResolutionRecord* resolution, FileInfo* info) {
  const std::u16string name = ToUtf16(path);
  const int32_t file = KernelOpenFile(name.c_str(), kOpenBinary, kPermRead);
  if (file == -1) return svgflt::kErrRead;
  // The records are large; keep them off the stack and zeroed.
  auto request = std::make_unique<InfoRequest>();
  request->file = file;
  request->fileInfo = info;
  request->resolution = resolution;
  const svgflt::Status status = module.info(request.get());
  (void)KernelCloseFile(file);
  return status;
}

}  // namespace

int CmdInfo(int argc, char** argv) {
  OptionSet accepted;
  accepted.json = true;
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, accepted, &options, &error)) {
    std::fprintf(stderr, "svgfilter info: %s\n", error.c_str());
    InfoUsage(stderr);
    return 2;
  }
  if (options.help) {
    InfoUsage(stdout);
    return 0;
  }
  if (options.files.empty()) {
    std::fprintf(stderr, "svgfilter info: no file given\n");
    InfoUsage(stderr);
    return 2;
  }

  FilterModule module;
  if (!module.Open(options.module, &error)) {
    std::fprintf(stderr, "svgfilter: %s\n", error.c_str());
    return 1;
  }
  ResolutionRecord resolution = ScreenResolution(options.dpi);

  int exitStatus = 0;
  for (const std::string& path : options.files) {
    auto info = std::make_unique<FileInfo>();
    const svgflt::Status status = InfoOfFile(module, path, &resolution, info.get());
    if (status != svgflt::kOk) {
      std::fprintf(stderr, "svgfilter: %s: error %d: %s\n", path.c_str(), status,
                   svgflt::StatusName(status));
      exitStatus = 1;
      continue;
    }
    PrintInfo(path, *info, options.json);
  }
  std::fflush(stdout);
  return exitStatus;
}

}  // namespace svgtool
