#include "Common/save.h"

#include <array>
#include <cstring>
#include <new>
#include <string_view>

#include "Common/KernelMemory.h"
#include "Common/SVGWriter.h"
#include "Common/outstr.h"
#include "ImagingKernel/ImagingKernel.h"
#include "Platform/Platform.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/save";
static_assert(kTargetPathCapacity == kPathCapacity, "the buffer keeps a copy of the target path");

// Units of the vector kernel (VectorUnits.unit); any other code is a pixel.
enum : std::int32_t {
  kUnitInch = 0, kUnitFoot, kUnitYard, kUnitMile, kUnitMicrometre, kUnitMillimetre,
  kUnitCentimetre, kUnitMetre, kUnitKilometre, kUnitTwip, kUnitPixel
};

// Assumed when no screen context can be had.
constexpr std::int32_t kFallbackResolution = 96;

// Longest side of the output in pixels; larger drawings are shrunk to it.
constexpr double kMaxOutputSide = 870.0;

constexpr char kXmlDeclaration[] =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"no\"?>\r\n";
constexpr char kDocumentType[] =
    "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.0//EN\" "
    "\"http://www.w3.org/TR/2001/REC-SVG-20010904/DTD/svg10.dtd\"> \r\n";
constexpr char kSvgNamespace[] = "http://www.w3.org/2000/svg";

// --- the banner comment ---

constexpr std::size_t kBannerWidth = 120;
constexpr std::size_t kBannerTextWidth = kBannerWidth - 5;  // "== " … "=="

// The 20 framed lines; empty entries are empty framed lines.
constexpr std::array<std::string_view, 20> kBannerLines = {
    "",
    "SVG file written by the SVG filter module of the host imaging toolkit.",
    "",
    "The document follows SVG 1.0 (Scalable Vector Graphics 1.0, Recommendation of 4 September 2001).",
    "",
    "What it holds:",
    "  * one flat list of shapes, paths, texts and pictures, in the order of the saved vector document;",
    "  * coordinates in pixels with the y axis pointing down, scaled so that the larger side is at most 870;",
    "  * six hatch patterns in the defs block (horizontal, vertical, two diagonals and two crosses);",
    "  * fills and strokes as presentation attributes, hatched fills as references to those patterns;",
    "  * pictures embedded as base64 PNG data, or kept as PNG files in a folder named after this file.",
    "",
    "Text is stored as single-byte characters, as the XML declaration says.",
    "",
    "The same filter module reads the file back.",
    "",
    "The banner is a comment only; removing it changes nothing in the drawing.",
    "",
    "",
    "",
};

constexpr bool BannerFits() {
  int withText = 0;
  for (const std::string_view line : kBannerLines) {
    if (line.size() > kBannerTextWidth || line.find("--") != std::string_view::npos) return false;
    if (!line.empty()) ++withText;
  }
  return withText == 11;
}
static_assert(BannerFits(), "eleven framed lines of text, each within the frame");

// "\r\n", a rule, the framed lines, a rule; every line ends with "\r\n".
constexpr std::size_t kBannerSize = 2 + (kBannerLines.size() + 2) * (kBannerWidth + 2);

constexpr std::array<char, kBannerSize + 1> MakeBanner() {
  std::array<char, kBannerSize + 1> text{};
  std::size_t at = 0;
  auto put = [&text, &at](char c) { text[at++] = c; };
  auto rule = [&put]() {
    for (std::size_t i = 0; i < kBannerWidth; ++i) put('=');
    put('\r');
    put('\n');
  };
  put('\r');
  put('\n');
  rule();
  for (const std::string_view line : kBannerLines) {
    put('=');
    put('=');
    put(' ');
    for (std::size_t i = 0; i < kBannerTextWidth; ++i) put(i < line.size() ? line[i] : ' ');
    put('=');
    put('=');
    put('\r');
    put('\n');
  }
  rule();
  text[at] = 0;
  return text;
}

constexpr std::array<char, kBannerSize + 1> kBanner = MakeBanner();

constexpr const char* kHatchPatterns[] = {
    "\t<pattern id=\"brushDiagForward\" patternUnits=\"userSpaceOnUse\" x=\"0\" y=\"0\" "
    "width=\"10\" height=\"10\" viewBox=\"0 0 10 10\" >\r\n"
    "\t\t<line x1=\"0\" y1=\"0\" x2=\"10\" y2=\"10\" stroke=\"#000000\" stroke-width=\"1\" />\r\n"
    "\t</pattern>\r\n",
    "\t<pattern id=\"brushDiagBack\" patternUnits=\"userSpaceOnUse\" x=\"0\" y=\"0\" "
    "width=\"10\" height=\"10\" viewBox=\"0 0 10 10\" >\r\n"
    "\t\t<line x1=\"10\" y1=\"0\" x2=\"0\" y2=\"10\" stroke=\"#000000\" stroke-width=\"1\" />\r\n"
    "\t</pattern>\r\n",
    "\t<pattern id=\"brushHorz\" patternUnits=\"userSpaceOnUse\" x=\"0\" y=\"0\" "
    "width=\"10\" height=\"10\" viewBox=\"0 0 10 10\" >\r\n"
    "\t\t<line x1=\"0\" y1=\"10\" x2=\"10\" y2=\"10\" stroke=\"#000000\" stroke-width=\"1\" />\r\n"
    "\t</pattern>\r\n",
    "\t<pattern id=\"brushVert\" patternUnits=\"userSpaceOnUse\" x=\"0\" y=\"0\" "
    "width=\"10\" height=\"10\" viewBox=\"0 0 10 10\" >\r\n"
    "\t\t<line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"10\" stroke=\"#000000\" stroke-width=\"1\" />\r\n"
    "\t</pattern>\r\n",
    "\t<pattern id=\"brushCross\" patternUnits=\"userSpaceOnUse\" x=\"0\" y=\"0\" "
    "width=\"10\" height=\"10\" viewBox=\"0 0 10 10\" >\r\n"
    "\t\t<line x1=\"0\" y1=\"5\" x2=\"10\" y2=\"5\" stroke=\"#000000\" stroke-width=\"1\" />\r\n"
    "\t\t<line x1=\"5\" y1=\"0\" x2=\"5\" y2=\"10\" stroke=\"#000000\" stroke-width=\"1\" />\r\n"
    "\t</pattern>\r\n",
    "\t<pattern id=\"brushDiagCross\" patternUnits=\"userSpaceOnUse\" x=\"0\" y=\"0\" "
    "width=\"10\" height=\"10\" viewBox=\"0 0 10 10\" >\r\n"
    "\t\t<line x1=\"0\" y1=\"0\" x2=\"10\" y2=\"10\" stroke=\"#000000\" stroke-width=\"1\" />\r\n"
    "\t\t<line x1=\"10\" y1=\"0\" x2=\"0\" y2=\"10\" stroke=\"#000000\" stroke-width=\"1\" />\r\n"
    "\t</pattern>\r\n",
};

std::size_t WideLength(const char16_t* s, std::size_t limit) {
  std::size_t n = 0;
  while (n < limit && s[n] != 0) ++n;
  return n;
}

// Bounded copy of `n` characters onto the end of `target` (capacity
// kPathCapacity, NUL-terminated); false when they do not all fit.
bool AppendWide(char16_t* target, const char16_t* s, std::size_t n) {
  const std::size_t at = WideLength(target, kPathCapacity);
  if (at + n >= kPathCapacity) return false;
  std::memcpy(target + at, s, n * sizeof(char16_t));
  target[at + n] = 0;
  return true;
}

// The full target path. A name with a directory separator ('/' or '\\') is
// taken as it is; a bare name goes into the current directory. A path that
// does not fit the 264 characters is refused rather than cut, since a cut
// path would name another file.
Status ResolveTargetPath(const char16_t* fileName, char16_t* targetPath) {
  targetPath[0] = 0;
  const std::size_t length = WideLength(fileName, kPathCapacity);
  if (length >= kPathCapacity) return kErrOpenTarget;
  bool hasSeparator = false;
  for (std::size_t i = 0; i < length; ++i) {
    if (fileName[i] == u'/' || fileName[i] == u'\\') hasSeparator = true;
  }
  if (hasSeparator) return AppendWide(targetPath, fileName, length) ? kOk : kErrOpenTarget;

  char16_t directory[kPathCapacity] = {};
  const auto room = static_cast<std::uint32_t>(kPathCapacity - (length + 1));
  const std::uint32_t got = GetCurrentDirectoryW(room, directory);
  if (got == 0 || got >= room) return kErrOpenTarget;
  // This platform separates directories with '/'.
  if (!AppendWide(targetPath, directory, got) || !AppendWide(targetPath, u"/", 1) ||
      !AppendWide(targetPath, fileName, length)) {
    return kErrOpenTarget;
  }
  return kOk;
}

// Owns the output buffer object: tracked while it lives, its text freed
// and the object deleted on every path.
class OutputBufferOwner {
 public:
  OutputBufferOwner() : out_(new (std::nothrow) OutputBuffer) {
    if (out_ == nullptr) return;
    InitOutputBuffer(out_);
    KernelTrackObject(kTrackObject, out_, __LINE__, kSourceTag);
  }
  OutputBufferOwner(const OutputBufferOwner&) = delete;
  OutputBufferOwner& operator=(const OutputBufferOwner&) = delete;
  ~OutputBufferOwner() {
    if (out_ == nullptr) return;
    KernelUntrackObject(kTrackObject, out_, __LINE__, kSourceTag);
    if (out_->fileOpen != 0) (void)KernelCloseFile(out_->file);
    out_->indentLevel = 0;
    FreeOutputText(out_);
    delete out_;
  }
  OutputBuffer* get() const { return out_; }

 private:
  OutputBuffer* out_;
};

}  // namespace

double UnitFactor(std::int32_t unit) {
  std::int32_t dpi = 0;
  if (DrawingContext* screen = GetScreenDC(0, __LINE__, kSourceTag)) {
    dpi = GetDeviceCaps(screen, LOGPIXELSX);
    (void)ReleaseScreenDC(0, screen, __LINE__, kSourceTag);
  }
  if (dpi <= 0) dpi = kFallbackResolution;
  const double d = dpi;
  switch (unit) {
    case kUnitInch: return d;
    case kUnitFoot: return d * 12;
    case kUnitYard: return d * 36;
    case kUnitMile: return d * 63360;
    case kUnitMicrometre: return d / 25400;
    case kUnitMillimetre: return d / 25.4;
    case kUnitCentimetre: return d / 2.54;
    case kUnitMetre: return d * 1000 / 25.4;
    case kUnitKilometre: return d * 1000000 / 25.4;
    case kUnitTwip: return 20;
    default: return 1;
  }
}

std::int32_t DocumentUnit(VectorDocument* document) {
  VectorUnits units{};
  units.size = static_cast<std::int32_t>(sizeof units);
  units.unit = kUnitPixel;
  if (VectorGetUnits(document, &units) != kVkOk) return kUnitPixel;
  return units.unit;
}

void ToPixels(KernelPoint* point, std::int32_t unit) {
  const double factor = UnitFactor(unit);
  point->x *= factor;
  point->y *= factor;
}

Status WriteHeader(OutputBuffer* out, const char16_t* targetPath, const HeaderOptions& options) {
  // kOpenTruncate: the file is rewritten from its start, and the single
  // write at the end must not leave bytes of an older, longer file behind.
  const std::int32_t file =
      KernelOpenFile(targetPath, kOpenCreate | kOpenReadWrite | kOpenBinary | kOpenTruncate,
                     kPermRead | kPermWrite);
  if (file == -1) return kErrOpenTarget;
  out->file = file;
  out->fileOpen = 1;
  const std::size_t n = WideLength(targetPath, kPathCapacity - 1);
  std::memcpy(out->path, targetPath, n * sizeof(char16_t));
  out->path[n] = 0;
  out->options[0] = options.banner;
  out->options[1] = options.indent;
  out->options[2] = options.imageDirectory;
  if (out->valid != 0) {
    out->length = 0;
    out->free = out->initialSize <= out->allocated ? out->initialSize : out->allocated;
    std::memset(out->text, 0, out->allocated);
  }
  (void)Append(out, kXmlDeclaration);
  (void)Append(out, kDocumentType);
  if (options.banner != 0) {
    (void)Comment(out, kBanner.data());
    (void)Append(out, "\r\n\r\n");
  }
  if (options.indent == 0) out->indentOn = 0;
  return kOk;
}

Status BeginSvgElement(OutputBuffer* out, const Viewport* viewport, double version) {
  (void)Indent(out);
  (void)Append(out, "<svg version=");
  (void)QuotedNumber(out, version);
  (void)Append(out, "xmlns=\"");
  (void)Append(out, kSvgNamespace);
  (void)Append(out, "\" ");
  if (viewport != nullptr) {
    (void)XYPair(out, viewport->left, viewport->top);
    (void)SizePair(out, viewport->right - viewport->left, viewport->bottom - viewport->top);
  }
  const Status status = Append(out, ">\r\n");
  ++out->indentLevel;
  return status;
}

Status BeginDefs(OutputBuffer* out) { return BeginElement(out, "defs", 1); }

Status WriteHatchPatterns(SaveContext* context) {
  for (const char* block : kHatchPatterns) (void)Append(context->out, block);
  return EndElement(context->out, "defs");
}

Status FinishFile(OutputBuffer* out) {
  if (out->fileOpen == 0) return kOk;
  Status status = kOk;
  if (out->valid != 0 && Reserve(out, 1) == kOk) out->text[out->length] = 0;
  if (out->valid != 0 && out->length > 0 &&
      KernelWriteFile(out->file, out->text, out->length) != static_cast<std::int32_t>(out->length)) {
    status = kErrOpenTarget;
  }
  (void)KernelCloseFile(out->file);
  out->file = -1;
  out->fileOpen = 0;
  return status;
}

Status SaveSvg(VectorDocument* document, SaveRequest* request, const char16_t* fileName,
               std::int32_t saveFormat) {
  if (fileName == nullptr || fileName[0] == 0) return kErrMissing;
  SaveContext context{};
  Status status = ResolveTargetPath(fileName, context.targetPath);
  if (status != kOk) return status;

  OutputBufferOwner owner;
  OutputBuffer* out = owner.get();
  if (out == nullptr) return kErrNoMemory;
  // Without a text block nothing could be written: stop before the target
  // file is opened (and emptied).
  if (out->valid == 0) return kErrNoMemory;
  context.out = out;
  context.saveFormat = saveFormat;
  context.request = request;
  context.document = document;

  status = VectorGetExtent(document, &context.minCorner, &context.maxCorner);
  if (status != kVkOk) return status;
  const std::int32_t unit = DocumentUnit(document);
  ToPixels(&context.minCorner, unit);
  ToPixels(&context.maxCorner, unit);
  const double width = context.maxCorner.x - context.minCorner.x;
  const double height = context.maxCorner.y - context.minCorner.y;
  const double side = width > height ? width : height;
  // An empty or degenerate extent keeps the drawing's own size.
  context.scale = side > kMaxOutputSide ? kMaxOutputSide / side : 1.0;

  status = WriteHeader(out, context.targetPath, HeaderOptions{1, 1, 1});
  if (status != kOk) return status;
  (void)BeginSvgElement(out, nullptr, 1.0);
  (void)BeginDefs(out);
  (void)WriteHatchPatterns(&context);
  status = VectorEnumObjects(document, WriteObject, &context, 0);
  (void)EndElement(out, "svg");
  const Status written = FinishFile(out);
  if (status == kOk) status = written;
  // A text cut short by a failed growth is not a successful save.
  if (status == kOk && out->overflow != 0) status = kErrNoMemory;
  return status;
}

}  // namespace svgflt
