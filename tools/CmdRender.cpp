// svgfilter render: each SVG file through fltInfo and fltLoad in raster
// mode, the delivered rows written as a PNG file.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Commands.h"
#include "DocumentFolder.h"
#include "HostCallbacks.h"
#include "ImagingKernel/ImagingKernel.h"
#include "Module.h"
#include "Options.h"
#include "svgfilter/FilterStatus.h"

namespace svgtool {
namespace {

constexpr char kAllowAnyFile[] = "--allow-any-file";

// Size modes of the InfoRequest: the requested box as it is, or let the
// vector kernel derive the height from the width or the width from the
// height; any other value fits the drawing into the box.
constexpr std::int32_t kSizeFit = 0;
constexpr std::int32_t kSizeExact = 1;
constexpr std::int32_t kSizeFromWidth = 2;
constexpr std::int32_t kSizeFromHeight = 3;
constexpr std::int32_t kDefaultWidth = 640;
constexpr std::int32_t kDefaultHeight = 480;
constexpr std::int32_t kRenderDepth = 24;

void RenderUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: svgfilter render [--module PATH] [--dpi N] [--width N] [--height N]\n"
               "                        [--allow-any-file] FILE... -o OUT\n"
               "\n"
               "Renders each FILE through the filter module and writes it as a PNG file:\n"
               "one FILE to OUT (or to OUT/NAME.png when OUT is a folder), several FILEs\n"
               "to the folder OUT, each as NAME.png.\n"
               "\n"
               "  -o OUT            the PNG file, or the folder of PNG files\n"
               "  --width N         raster width; alone, the height follows the drawing\n"
               "  --height N        raster height; alone, the width follows the drawing\n"
               "                    (neither: the drawing fitted into 640 x 480; both: as given)\n"
               "  --allow-any-file  let linked pictures come from anywhere, not only from\n"
               "                    the SVG file's folder and below\n"
               "  --module PATH     the filter module (default: libsvgfilter.so beside svgfilter)\n"
               "  --dpi N           screen resolution in dots per inch (default 96)\n");
}

struct RenderSettings {
  std::int32_t width = 0;   // 0: not given
  std::int32_t height = 0;
  bool allowAnyFile = false;
  ResolutionRecord resolution{};
};

// Frees what fltInfo left in the scratch record, whatever happens after.
class ScratchHolder {
 public:
  explicit ScratchHolder(const FilterModule& module) : module_(module) {}
  ScratchHolder(const ScratchHolder&) = delete;
  ScratchHolder& operator=(const ScratchHolder&) = delete;
  ~ScratchHolder() {
    if (scratch.holder != nullptr) (void)module_.freeData(scratch.holder, 0);
  }
  FilterScratch scratch{};

 private:
  const FilterModule& module_;
};

// Asks fltInfo for the raster size, keeping its document in `scratch`.
Status SizeOfFile(const FilterModule& module, const std::u16string& name,
                  RenderSettings& settings, FilterScratch* scratch, FileInfo* info) {
  const std::int32_t file = KernelOpenFile(name.c_str(), kOpenBinary, kPermRead);
  if (file == -1) return svgflt::kErrRead;
  auto request = std::make_unique<InfoRequest>();
  request->file = file;
  request->fileInfo = info;
  request->scratch = scratch;
  request->resolution = &settings.resolution;
  request->bitsPerPixel = kRenderDepth;
  request->loadFromMemory = InfoLoadRasterFromMemory;
  request->width = settings.width > 0 ? settings.width : kDefaultWidth;
  request->height = settings.height > 0 ? settings.height : kDefaultHeight;
  if (settings.width > 0 && settings.height > 0)
    request->sizeMode = kSizeExact;
  else if (settings.width > 0)
    request->sizeMode = kSizeFromWidth;
  else if (settings.height > 0)
    request->sizeMode = kSizeFromHeight;
  else
    request->sizeMode = kSizeFit;
  const Status status = module.info(request.get());
  (void)KernelCloseFile(file);
  return status;
}

// True when an image element of the file may link a picture file, judged by
// a byte scan: an "<image" tag whose href is anything but a data: URI (or
// that has no href the scan can read). Pictures embedded as data load in
// fltInfo as well; only linked files need fltLoad's file callback.
bool LinksPictureFiles(const std::string& path) {
  std::string text;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && info.st_size > 0) {
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
      text.resize(static_cast<std::size_t>(info.st_size));
      text.resize(std::fread(text.data(), 1, text.size(), file));
      std::fclose(file);
    }
  }
  const std::string_view all(text);
  for (std::size_t at = all.find("<image"); at != all.npos; at = all.find("<image", at + 6)) {
    const std::string_view tag = all.substr(at, all.find('>', at) - at);
    const std::size_t href = tag.find("href");
    if (href == tag.npos) return true;
    std::size_t i = href + 4;
    while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\n' ||
                              tag[i] == '\r' || tag[i] == '='))
      ++i;
    if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) ++i;
    while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\n' || tag[i] == '\r'))
      ++i;
    if (tag.substr(i, 5) != "data:") return true;
  }
  return false;
}

// Renders one SVG file (an absolute path) into the PNG file `output`.
Status RenderFile(const FilterModule& module, const std::string& input,
                  const std::string& output, RenderSettings& settings) {
  const std::u16string name = ToUtf16(input);
  ScratchHolder holder(module);
  auto info = std::make_unique<FileInfo>();
  Status status = SizeOfFile(module, name, settings, &holder.scratch, info.get());
  if (status != svgflt::kOk) return status;
  // fltInfo has no way to load linked picture files, so the document it
  // kept lacks them. A file that links pictures is therefore loaded again
  // by fltLoad, which can; every other file is painted from the kept
  // document.
  if (holder.scratch.holder != nullptr && LinksPictureFiles(input)) {
    (void)module.freeData(holder.scratch.holder, 0);
    holder.scratch.holder = nullptr;
  }

  // The filter would allocate and paint the whole raster before the first
  // row arrives, so one beyond the host's picture limits is refused here.
  if (info->width > kMaxPictureSide || info->height > kMaxPictureSide ||
      std::uint64_t{3} * static_cast<std::uint32_t>(info->width) *
              static_cast<std::uint32_t>(info->height) >
          kMaxPictureBytes)
    return kErrPictureTooLarge;

  // The target only describes the raster wanted; the filter renders into a
  // bitmap of its own and hands the rows over one by one.
  BitmapRecord target{};
  status = InitBitmap(&target, static_cast<std::int32_t>(sizeof target), info->width,
                      info->height, kRenderDepth);
  if (status != svgflt::kOk) return status;

  RowSink sink;
  auto request = std::make_unique<LoadRequest>();
  request->fileName = name.c_str();
  request->target = &target;
  request->rowCallback = CollectRow;
  request->userData = &sink;
  request->width = info->width;
  request->height = info->height;
  request->scratch = &holder.scratch;
  request->loadFromMemory = LoadRasterFromMemory;
  request->loadFromFile = LoadRasterFromFile;
  request->mode = 0;
  request->resolution = &settings.resolution;
  status = module.load(request.get());
  (void)FreeBitmap(&target);
  if (status != svgflt::kOk) return status;
  if (!sink.Complete()) return kErrRowMismatch;
  return WriteRgbPng(output, sink.width, sink.height, sink.rgb);
}

}  // namespace

int CmdRender(int argc, char** argv) {
  OptionSet accepted;
  accepted.output = true;
  accepted.size = true;
  accepted.flags = {kAllowAnyFile};
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, accepted, &options, &error)) {
    std::fprintf(stderr, "svgfilter render: %s\n", error.c_str());
    RenderUsage(stderr);
    return 2;
  }
  if (options.help) {
    RenderUsage(stdout);
    return 0;
  }
  if (options.files.empty() || options.output.empty()) {
    std::fprintf(stderr, "svgfilter render: %s\n",
                 options.files.empty() ? "no file given" : "no output given (-o OUT)");
    RenderUsage(stderr);
    return 2;
  }
  // Several inputs go into a folder, made here when it does not exist yet.
  const bool intoFolder = options.files.size() > 1 || IsDirectory(options.output);
  if (options.files.size() > 1 && !IsDirectory(options.output) &&
      ::mkdir(options.output.c_str(), 0777) != 0) {
    std::fprintf(stderr, "svgfilter render: -o %s: not a folder and cannot be made one\n",
                 options.output.c_str());
    return 2;
  }

  FilterModule module;
  if (!module.Open(options.module, &error)) {
    std::fprintf(stderr, "svgfilter: %s\n", error.c_str());
    return 1;
  }
  RenderSettings settings;
  settings.width = options.width;
  settings.height = options.height;
  settings.allowAnyFile = options.Has(kAllowAnyFile);
  settings.resolution = ScreenResolution(options.dpi);

  const bool progress = ::isatty(STDERR_FILENO) != 0;
  const std::size_t count = options.files.size();
  int exitStatus = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& path = options.files[i];
    const std::string output =
        intoFolder ? options.output + "/" + StemOf(path) + ".png" : options.output;
    if (progress)
      std::fprintf(stderr, "svgfilter: [%zu/%zu] %s -> %s\n", i + 1, count, path.c_str(),
                   output.c_str());
    Status status = svgflt::kErrRead;
    std::string input;
    std::string absoluteOutput;
    if (AbsolutePath(path, &input) && AbsolutePath(output, &absoluteOutput)) {
      DocumentFolder folder(input, settings.allowAnyFile);
      status = RenderFile(module, input, absoluteOutput, settings);
    }
    if (status != svgflt::kOk) {
      std::fprintf(stderr, "svgfilter: %s: error %d: %s\n", path.c_str(), status,
                   HostStatusName(status));
      exitStatus = 1;
    }
  }
  return exitStatus;
}

}  // namespace svgtool
