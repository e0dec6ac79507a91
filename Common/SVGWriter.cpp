#include "Common/SVGWriter.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <string_view>

#include "Common/KernelMemory.h"
#include "ImagingKernel/ImagingKernel.h"
#include "Platform/Platform.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/SVGWriter";

// Output values of smaller magnitude print as 0.
constexpr double kZeroThreshold = 0.00001;

constexpr char kImageNamePrefix[] = "Image00";
constexpr char kDataReference[] = "data:image/png;base64,";
constexpr std::int32_t kExportDepth = 24;

// --- tracked working memory ---

// A kernel block registered with the allocation tracker as a working array.
template <typename T>
T* TrackedAlloc(std::size_t count, std::int32_t line) {
  T* block = KernelAllocZeroed<T>(count, line, kSourceTag);
  if (block != nullptr) KernelTrackObject(kTrackArray, block, line, kSourceTag);
  return block;
}

void TrackedFree(void* block) {
  if (block == nullptr) return;
  KernelUntrackObject(kTrackArray, block, __LINE__, kSourceTag);
  KernelFree(block, __LINE__, kSourceTag);
}

// Owner of one tracked working array.
template <typename T>
class WorkArray {
 public:
  WorkArray(std::size_t count, std::int32_t line) : block_(TrackedAlloc<T>(count, line)) {}
  WorkArray(const WorkArray&) = delete;
  WorkArray& operator=(const WorkArray&) = delete;
  ~WorkArray() { TrackedFree(block_); }
  explicit operator bool() const { return block_ != nullptr; }
  T* get() const { return block_; }
  T& operator[](std::size_t i) const { return block_[i]; }

 private:
  T* block_;
};

#define SVGFLT_WORK_ARRAY(T, name, count) WorkArray<T> name((count), __LINE__)

// Frees the paint records of one element on every path.
struct PaintRecords {
  FillRecord fill{};
  StrokeRecord stroke{};
  PaintRecords() = default;
  PaintRecords(const PaintRecords&) = delete;
  PaintRecords& operator=(const PaintRecords&) = delete;
  ~PaintRecords() {
    ReleaseFill(&fill);
    ReleaseStroke(&stroke);
  }
};

// --- small helpers ---

std::size_t WideLength(const char16_t* s, std::size_t limit) {
  std::size_t n = 0;
  while (s != nullptr && n < limit && s[n] != 0) ++n;
  return n;
}

// A double cut towards zero into the int32 range (NaN gives 0).
std::int32_t TruncToInt(double v) {
  if (!(v == v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  if (v <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

void AppendG(OutputBuffer* out, double v) {
  char scratch[kScratchSize];
  const std::size_t n = FormatG(v, scratch);
  (void)AppendBytes(out, std::string_view(scratch, n));
}

void AppendXY(OutputBuffer* out, const OutPoint& p, const char* separator) {
  AppendG(out, p.x);
  (void)Append(out, separator);
  AppendG(out, p.y);
}

// `name`= and a quoted number.
void NumberAttribute(OutputBuffer* out, const char* name, double v) {
  (void)Append(out, name);
  (void)Append(out, "=");
  (void)QuotedNumber(out, v);
}

Status EndEmptyElement(OutputBuffer* out) { return Append(out, "/>\r\n"); }

// The points of a polyline or polygon: every coordinate by "%g", ", "
// between all of them.
void PointsAttribute(OutputBuffer* out, const OutPoint* points, std::int32_t count) {
  (void)Append(out, "points=\"");
  for (std::int32_t i = 0; i < count; ++i) {
    if (i > 0) (void)Append(out, ", ");
    AppendXY(out, points[i], ", ");
  }
  (void)Append(out, "\" ");
}

// UTF-16 text in the ANSI code page into `output` (capacity `capacity`);
// the byte count, 0 for an empty or unconvertible text.
std::size_t ToAnsi(const char16_t* text, std::size_t units, char* output, std::size_t capacity) {
  if (units == 0 || capacity == 0) return 0;
  const std::int32_t n =
      WideCharToMultiByte(CP_ACP, 0, text, static_cast<std::int32_t>(units), output,
                          static_cast<std::int32_t>(capacity), nullptr, nullptr);
  return n > 0 ? static_cast<std::size_t>(n) : 0;
}

// A path of at most kPathCapacity characters in the ANSI code page with the
// markup characters escaped (a path may hold "&"), appended to `out`.
void AppendPathText(OutputBuffer* out, const char16_t* path, bool escapeQuote) {
  char ansi[kPathCapacity * 2];
  const std::size_t n = ToAnsi(path, WideLength(path, kPathCapacity), ansi, sizeof ansi);
  char escaped[sizeof ansi * 6 + 1];
  std::size_t length = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (escapeQuote && ansi[i] == '"') {
      std::memcpy(escaped + length, "&quot;", 6);
      length += 6;
    } else {
      length += EscapeMarkup(ansi + i, 1, escaped + length);
    }
  }
  (void)AppendBytes(out, std::string_view(escaped, length));
}

// Removes a temporary file that could not be placed (UTF-16 name).
void RemoveTempFile(const char16_t* name) {
  char path[kPathCapacity * 4];
  const std::int32_t n = WideCharToMultiByte(CP_UTF8, 0, name, -1, path, sizeof path, nullptr,
                                             nullptr);
  if (n > 0) (void)std::remove(path);
}

// --- objects ---

Status WritePointPathObject(const SaveContext& context, std::int32_t type,
                            VectorObjectDesc* desc);
Status WriteTextObject(const SaveContext& context, VectorTextObject& text);

Status WriteDescribed(SaveContext& context, std::int32_t type, VectorObjectDesc* desc) {
  OutputBuffer* out = context.out;
  PaintRecords paint;
  switch (type) {
    case kVoPoint: {
      OutPoint centre{};
      ToOutput(context, &desc->point.point, &centre, 1);
      paint.stroke = StrokeFromPen(desc->point.pen, context.scale);
      (void)WriteCircle(out, centre, 0, nullptr, &paint.stroke);
      return kOk;
    }
    case kVoLine: {
      const KernelPoint ends[2] = {desc->line.from, desc->line.to};
      OutPoint p[2]{};
      ToOutput(context, ends, p, 2);
      paint.stroke = StrokeFromPen(desc->line.pen, context.scale);
      (void)WriteLine(out, p[0], p[1], &paint.stroke);
      return kOk;
    }
    case kVoRect: {
      const KernelPoint corners[2] = {desc->rect.corner1, desc->rect.corner2};
      OutPoint p[2]{};
      ToOutput(context, corners, p, 2);
      paint.stroke = StrokeFromPen(desc->rect.pen, context.scale);
      paint.fill = FillFromBrush(desc->rect.brush);
      (void)WriteRect(out, std::fmin(p[0].x, p[1].x), std::fmax(p[0].x, p[1].x),
                      std::fmin(p[0].y, p[1].y), std::fmax(p[0].y, p[1].y), &paint.fill,
                      &paint.stroke);
      return kOk;
    }
    case kVoPolyline:
    case kVoBezier: {
      const VectorPolylineObject& line = desc->polyline;
      // Too few points: the element writer would refuse them; nothing to do.
      if (line.points == nullptr || line.count < 2) return kOk;
      SVGFLT_WORK_ARRAY(OutPoint, points, static_cast<std::size_t>(line.count));
      if (!points) return kErrNoMemory;
      ToOutput(context, line.points, points.get(), line.count);
      paint.stroke = StrokeFromPen(line.pen, context.scale);
      if (type == kVoPolyline) {
        (void)WritePolyline(out, points.get(), line.count, &paint.stroke);
      } else {
        const std::int32_t commands[2] = {kCommandMove, kCommandCubic};
        (void)WritePath(out, points.get(), line.count, commands, 2, &paint.fill, &paint.stroke);
      }
      return kOk;
    }
    case kVoPolygon: {
      const VectorPolygonObject& polygon = desc->polygon;
      if (polygon.points == nullptr || polygon.count < 2) return kOk;
      SVGFLT_WORK_ARRAY(OutPoint, points, static_cast<std::size_t>(polygon.count));
      if (!points) return kErrNoMemory;
      ToOutput(context, polygon.points, points.get(), polygon.count);
      paint.stroke = StrokeFromPen(polygon.pen, context.scale);
      paint.fill = FillFromBrush(polygon.brush);
      if (polygon.fillMode == kFillAlternate) paint.fill.fillRule = kEvenOddRule;
      (void)WritePolygon(out, points.get(), polygon.count, &paint.fill, &paint.stroke);
      return kOk;
    }
    case kVoEllipse: {
      OutPoint centre{};
      ToOutput(context, &desc->ellipse.centre, &centre, 1);
      paint.stroke = StrokeFromPen(desc->ellipse.pen, context.scale);
      paint.fill = FillFromBrush(desc->ellipse.brush);
      (void)WriteEllipse(out, centre, std::fabs(desc->ellipse.rx * context.scale),
                         std::fabs(desc->ellipse.ry * context.scale), &paint.fill,
                         &paint.stroke);
      return kOk;
    }
    case kVoCircle: {
      OutPoint centre{};
      ToOutput(context, &desc->circle.centre, &centre, 1);
      paint.stroke = StrokeFromPen(desc->circle.pen, context.scale);
      paint.fill = FillFromBrush(desc->circle.brush);
      (void)WriteCircle(out, centre, std::fabs(desc->circle.r * context.scale), &paint.fill,
                        &paint.stroke);
      return kOk;
    }
    case kVoPolyBezier:
    case kVoArc:
    case kVoClosedBezier:
    case kVoPie:
    case kVoPath:
    case kVoSpline:
    case kVoClosedSpline:
      return WritePointPathObject(context, type, desc);
    case kVoText:
      return WriteTextObject(context, desc->text);
    case kVoRaster:
      return WriteRasterObject(&context, desc);
    default:
      // Clip outlines, group objects and unknown types leave no trace.
      return kOk;
  }
}

// The pen and, for filled kinds, the brush of a point-path object.
void PaintOfPathObject(std::int32_t type, const VectorObjectDesc& desc, const VectorPen** pen,
                       const VectorBrush** brush) {
  *brush = nullptr;
  switch (type) {
    case kVoPolyBezier:
    case kVoSpline: *pen = &desc.polyline.pen; break;
    case kVoArc: *pen = &desc.arc.pen; break;
    case kVoClosedBezier:
      *pen = &desc.polygon.pen;
      *brush = &desc.polygon.brush;
      break;
    case kVoClosedSpline: *pen = &desc.polygon.pen; break;
    case kVoPie:
      *pen = &desc.pie.pen;
      *brush = &desc.pie.brush;
      break;
    default:
      *pen = &desc.path.pen;
      *brush = &desc.path.brush;
      break;
  }
}

// Walks the kind bytes of a point path into path commands, moving the
// points each command takes to the front of `points` (in place: a command
// never takes a point before the one the walk is at). Returns the command
// count; `taken` receives the count of points kept.
std::int32_t CommandsOfPointPath(OutPoint* points, const std::uint8_t* kinds, std::int32_t count,
                                 std::int32_t* commands, std::int32_t* taken) {
  std::int32_t made = 0;
  std::int32_t kept = 0;
  std::int32_t i = 0;
  while (i < count) {
    const std::uint8_t kind = kinds[i];
    std::uint8_t closeBits = kind;
    std::int32_t used = 1;
    if ((kind & kPtMoveTo) == kPtMoveTo) {
      commands[made++] = kCommandMove;
      points[kept++] = points[i];
    } else if ((kind & kPtMoveTo) == kPtLineTo) {
      commands[made++] = kCommandLine;
      points[kept++] = points[i];
    } else if ((kind & kPtMoveTo) == kPtBezierTo) {
      if (count - i <= 2) break;  // a curve needs three points
      commands[made++] = kCommandCubic;
      for (std::int32_t k = 0; k < 3; ++k) points[kept++] = points[i + k];
      // The figure may be closed on any of the curve's points (usually its
      // last one, as a point path marks it).
      closeBits = static_cast<std::uint8_t>(kind | kinds[i + 1] | kinds[i + 2]);
      used = 3;
    }
    if ((closeBits & kPtCloseFigure) != 0) commands[made++] = kCommandClose;
    i += used;
  }
  *taken = kept;
  return made;
}

Status WritePointPathObject(const SaveContext& context, std::int32_t type,
                            VectorObjectDesc* desc) {
  VectorPointPath converted{};
  VectorPointPath* copied = nullptr;
  const VectorPointPath* path = nullptr;
  VectorPointPath own{};
  Status status = kOk;
  switch (type) {
    case kVoPolyBezier:
    case kVoArc:
    case kVoClosedBezier:
    case kVoPie:
      status = VectorConvertToPath(context.document, desc, &converted);
      path = &converted;
      break;
    case kVoSpline:
    case kVoClosedSpline:
      copied = TrackedAlloc<VectorPointPath>(1, __LINE__);
      if (copied == nullptr) return kErrNoMemory;
      status = VectorCopyObject(desc, copied);
      path = copied;
      break;
    default:
      own.count = desc->path.count;
      own.points = desc->path.points;
      own.kinds = desc->path.kinds;
      path = &own;
      break;
  }
  if (status == kVkOk && path->count > 0 && path->points != nullptr && path->kinds != nullptr) {
    const auto count = static_cast<std::size_t>(path->count);
    SVGFLT_WORK_ARRAY(OutPoint, points, count);
    SVGFLT_WORK_ARRAY(std::int32_t, commands, count * 2);
    if (points && commands) {
      ToOutput(context, path->points, points.get(), path->count);
      std::int32_t taken = 0;
      const std::int32_t made =
          CommandsOfPointPath(points.get(), path->kinds, path->count, commands.get(), &taken);
      if (made > 0) {
        const VectorPen* pen = nullptr;
        const VectorBrush* brush = nullptr;
        PaintOfPathObject(type, *desc, &pen, &brush);
        PaintRecords paint;
        paint.stroke = StrokeFromPen(*pen, context.scale);
        if (brush != nullptr) paint.fill = FillFromBrush(*brush);
        (void)WritePath(context.out, points.get(), taken, commands.get(), made,
                        brush != nullptr ? &paint.fill : nullptr, &paint.stroke);
      }
    } else {
      status = kErrNoMemory;
    }
  }
  if (path == &converted) (void)VectorFreeObject(&converted);
  if (copied != nullptr) {
    (void)VectorFreeObject(copied);
    TrackedFree(copied);
  }
  return status;
}

Status WriteTextObject(const SaveContext& context, VectorTextObject& text) {
  OutputBuffer* out = context.out;
  OutPoint position{};
  ToOutput(context, &text.position, &position, 1);
  const double height = text.fontSize * UnitFactor(DocumentUnit(context.document));

  PaintRecords paint;
  paint.stroke = StrokeFromPen(text.pen, context.scale);
  paint.fill = FillFromBrush(text.brush);
  FontRecord font = FontFromLogFont(text.font);
  font.size = TruncToInt(static_cast<double>(TruncToInt(std::fabs(height))) * context.scale);
  Status status = WriteTextElement(out, &position, font, &paint.fill, &paint.stroke,
                                   text.alignment);
  ReleaseFont(&font);
  if (status == kErrMissing) return kOk;

  // The content: ANSI bytes with the markup characters escaped, appended
  // as they are, between the line ends of the opening and closing tags.
  const std::size_t units = WideLength(text.text, std::numeric_limits<std::int32_t>::max());
  status = kOk;
  if (units > 0) {
    const std::int32_t needed = WideCharToMultiByte(
        CP_ACP, 0, text.text, static_cast<std::int32_t>(units), nullptr, 0, nullptr, nullptr);
    if (needed > 0) {
      const auto bytes = static_cast<std::size_t>(needed);
      SVGFLT_WORK_ARRAY(char, ansi, bytes);
      SVGFLT_WORK_ARRAY(char, escaped, bytes * 5 + 1);
      if (ansi && escaped) {
        const std::size_t n = ToAnsi(text.text, units, ansi.get(), bytes);
        const std::size_t length = EscapeMarkup(ansi.get(), n, escaped.get());
        (void)AppendBytes(out, std::string_view(escaped.get(), length));
      } else {
        // The element is closed all the same, so the file stays well-formed.
        status = kErrNoMemory;
      }
    }
  }
  (void)EndElement(out, "text");
  return status;
}

// Image directory (the target path without its extension) and the position
// of the separator before its own name; false when the path has none.
bool ImageDirectory(const char16_t* target, char16_t* directory, std::size_t* separator) {
  const std::size_t length = WideLength(target, kPathCapacity - 1);
  std::size_t lastSeparator = length;
  for (std::size_t i = 0; i < length; ++i) {
    if (target[i] == u'/' || target[i] == u'\\') lastSeparator = i;
  }
  if (lastSeparator == length) return false;
  std::size_t end = length;
  for (std::size_t i = lastSeparator + 1; i < length; ++i) {
    if (target[i] == u'.') end = i;
  }
  std::memcpy(directory, target, end * sizeof(char16_t));
  directory[end] = 0;
  *separator = lastSeparator;
  return true;
}

Status WriteEmbedded(SaveContext* context, VectorRasterObject& raster, const Viewport& rect) {
  OutputBuffer* out = context->out;
  ++context->imageCounter;
  char name[kScratchSize + sizeof kImageNamePrefix];
  std::memcpy(name, kImageNamePrefix, sizeof kImageNamePrefix - 1);
  FormatD(context->imageCounter, name + sizeof kImageNamePrefix - 1);

  const ExportToMemoryFn exportToMemory =
      context->request != nullptr ? context->request->exportToMemory : nullptr;
  if (exportToMemory == nullptr) return kErrMissing;
  void* handle = nullptr;
  std::int32_t byteCount = 0;
  const Status status = exportToMemory(&handle, &raster.bitmap, kFormatPng, 0, 0, &byteCount, 0);
  if (status != kOk) return status;
  if (handle == nullptr) return kErrMissing;
  // Never read past the block the host handed over.
  const std::int32_t held = KernelMemorySize(handle);
  if (byteCount > held) byteCount = held;
  if (byteCount <= 0) {
    KernelFreeMemory(handle, __LINE__, kSourceTag);
    return kErrMissing;
  }
  const auto n = static_cast<std::size_t>(byteCount);
  SVGFLT_WORK_ARRAY(std::uint8_t, data, n);
  const void* bytes = data ? KernelLockMemory(handle) : nullptr;
  if (bytes == nullptr) {
    KernelFreeMemory(handle, __LINE__, kSourceTag);
    return kErrNoMemory;
  }
  std::memcpy(data.get(), bytes, n);
  (void)KernelUnlockMemory(handle);
  KernelFreeMemory(handle, __LINE__, kSourceTag);

  SVGFLT_WORK_ARRAY(char, base64, (n + 2) / 3 * 4 + 1);
  if (!base64) return kErrNoMemory;
  (void)Base64Encode(data.get(), n, base64.get());

  (void)BeginDefs(out);
  (void)WriteEmbeddedImage(out, name, rect, base64.get());
  (void)EndElement(out, "defs");
  (void)BeginSvgElement(out, &rect, 1.0);
  (void)WriteUse(out, name);
  (void)EndElement(out, "svg");
  return kOk;
}

Status WriteLinked(SaveContext* context, VectorRasterObject& raster, const Viewport& rect) {
  char16_t tempDirectory[MAX_PATH + 1] = {};
  const std::uint32_t got = GetTempPathW(MAX_PATH, tempDirectory);
  if (got == 0 || got >= MAX_PATH) return kErrImagePlacement;
  char16_t tempFile[MAX_PATH] = {};
  if (GetTempFileNameW(tempDirectory, u"svg", 0, tempFile) == 0) return kErrImagePlacement;

  const ExportToFileFn exportToFile =
      context->request != nullptr ? context->request->exportToFile : nullptr;
  Status status = exportToFile != nullptr
                      ? exportToFile(tempFile, &raster.bitmap, kFormatPng, kExportDepth, 0, 0)
                      : kErrMissing;
  if (status == kOk) status = WriteLinkedImage(context->out, rect, tempFile);
  if (status != kOk) {
    // Nothing of the element was written; the temporary file goes too.
    RemoveTempFile(tempFile);
    return status;
  }
  (void)WriteDescription(context->out, tempFile);
  (void)EndElement(context->out, "image");
  return kOk;
}

}  // namespace

// --- coordinates ---

void ToOutput(const SaveContext& context, const KernelPoint* in, OutPoint* out, std::int32_t n) {
  const double factor = UnitFactor(DocumentUnit(context.document));
  const bool shift = context.minCorner.x < 0;
  for (std::int32_t i = 0; i < n; ++i) {
    double x = in[i].x * factor;
    double y = in[i].y * factor;
    if (shift) x -= context.minCorner.x;
    y = context.maxCorner.y - y;
    x *= context.scale;
    y *= context.scale;
    out[i].x = std::fabs(x) < kZeroThreshold ? 0.0 : x;
    out[i].y = std::fabs(y) < kZeroThreshold ? 0.0 : y;
  }
}

std::int32_t WriteObject(VectorDocument* document, const VectorObjectHandle* object,
                         void* userData) {
  auto* context = static_cast<SaveContext*>(userData);
  if (context == nullptr || object == nullptr) return kErrMissing;
  VectorObjectDesc desc{};
  const Status status = VectorGetObject(document, object, object->type, &desc);
  if (status != kVkOk) return status;
  const Status result = WriteDescribed(*context, object->type, &desc);
  (void)VectorFreeObjectData(object->type, &desc);
  return result;
}

// --- element writers ---

Status WriteCircle(OutputBuffer* out, const OutPoint& centre, double radius,
                   const FillRecord* fill, StrokeRecord* stroke) {
  (void)BeginEmptyElement(out, "circle");
  NumberAttribute(out, "cx", centre.x);
  NumberAttribute(out, "cy", centre.y);
  NumberAttribute(out, "r", radius);
  (void)WriteFill(out, fill);
  (void)WriteStroke(out, stroke);
  return EndEmptyElement(out) == kOk ? kOk : kErrNoMemory;
}

Status WriteEllipse(OutputBuffer* out, const OutPoint& centre, double rx, double ry,
                    const FillRecord* fill, StrokeRecord* stroke) {
  (void)BeginEmptyElement(out, "ellipse");
  NumberAttribute(out, "cx", centre.x);
  NumberAttribute(out, "cy", centre.y);
  NumberAttribute(out, "rx", rx);
  NumberAttribute(out, "ry", ry);
  (void)WriteFill(out, fill);
  (void)WriteStroke(out, stroke);
  return EndEmptyElement(out) == kOk ? kOk : kErrNoMemory;
}

Status WriteLine(OutputBuffer* out, const OutPoint& from, const OutPoint& to,
                 StrokeRecord* stroke) {
  (void)BeginEmptyElement(out, "line");
  NumberAttribute(out, "x1", from.x);
  NumberAttribute(out, "y1", from.y);
  NumberAttribute(out, "x2", to.x);
  NumberAttribute(out, "y2", to.y);
  (void)WriteStroke(out, stroke);
  return EndEmptyElement(out) == kOk ? kOk : kErrNoMemory;
}

Status WriteRect(OutputBuffer* out, double x1, double x2, double y1, double y2,
                 const FillRecord* fill, StrokeRecord* stroke) {
  double x = x1;
  double width = x2 - x1;
  if (width < 0) {
    x += width;
    width = -width;
  }
  double y = y1;
  double height = y2 - y1;
  if (height < 0) {
    y += height;
    height = -height;
  }
  (void)BeginEmptyElement(out, "rect");
  (void)XYPair(out, x, y);
  (void)SizePair(out, width, height);
  (void)WriteFill(out, fill);
  (void)WriteStroke(out, stroke);
  return EndEmptyElement(out) == kOk ? kOk : kErrNoMemory;
}

Status WritePolyline(OutputBuffer* out, const OutPoint* points, std::int32_t count,
                     StrokeRecord* stroke) {
  if (points == nullptr || count < 2) return kErrMissing;
  (void)BeginEmptyElement(out, "polyline");
  PointsAttribute(out, points, count);
  const FillRecord none{};
  (void)WriteFill(out, &none);
  (void)WriteStroke(out, stroke);
  return EndEmptyElement(out) == kOk ? kOk : kErrNoMemory;
}

Status WritePolygon(OutputBuffer* out, const OutPoint* points, std::int32_t count,
                    const FillRecord* fill, StrokeRecord* stroke) {
  if (points == nullptr || count < 2) return kErrMissing;
  (void)BeginEmptyElement(out, "polygon");
  PointsAttribute(out, points, count);
  (void)WriteFill(out, fill);
  (void)WriteStroke(out, stroke);
  return EndEmptyElement(out) == kOk ? kOk : kErrNoMemory;
}

Status WritePath(OutputBuffer* out, const OutPoint* points, std::int32_t pointCount,
                 const std::int32_t* commands, std::int32_t commandCount,
                 const FillRecord* fill, StrokeRecord* stroke) {
  if (points == nullptr || commands == nullptr || commandCount < 1) return kErrMissing;
  std::int32_t needed = 0;
  for (std::int32_t i = 0; i < commandCount; ++i) {
    switch (commands[i]) {
      case kCommandMove:
      case kCommandLine: needed += 1; break;
      case kCommandCubic: needed += 3; break;
      case kCommandQuad: needed += 2; break;
      case kCommandClose: break;
      default: return kErrMissing;
    }
  }
  if (needed > pointCount) return kErrMissing;

  (void)BeginEmptyElement(out, "path");
  (void)Append(out, "d=\"");
  std::int32_t at = 0;
  for (std::int32_t i = 0; i < commandCount; ++i) {
    switch (commands[i]) {
      case kCommandMove:
      case kCommandLine:
        (void)Append(out, commands[i] == kCommandMove ? "M" : "L");
        AppendXY(out, points[at++], ",");
        (void)Append(out, " ");
        break;
      case kCommandCubic:
      case kCommandQuad: {
        (void)Append(out, commands[i] == kCommandCubic ? "C" : "Q");
        const std::int32_t n = commands[i] == kCommandCubic ? 3 : 2;
        for (std::int32_t k = 0; k < n; ++k) {
          AppendXY(out, points[at++], ",");
          (void)Append(out, " ");
        }
        break;
      }
      default:
        (void)Append(out, "Z");
        break;
    }
  }
  (void)Append(out, "\" ");
  (void)WriteFill(out, fill);
  (void)WriteStroke(out, stroke);
  return EndEmptyElement(out) == kOk ? kOk : kErrNoMemory;
}

// --- paint ---

StrokeRecord StrokeFromPen(const VectorPen& pen, double scale) {
  StrokeRecord stroke{};
  VectorPenValues values{};
  // A pen the kernel cannot read draws nothing.
  if (VectorGetPen(&pen, &values) != kVkOk) return stroke;

  static constexpr std::int32_t kDash[] = {5, 5};
  static constexpr std::int32_t kDot[] = {2, 2};
  static constexpr std::int32_t kDashDot[] = {5, 3, 2, 3};
  static constexpr std::int32_t kDashDotDot[] = {5, 3, 2, 3, 2, 3};
  const std::int32_t* pattern = nullptr;
  std::int32_t count = 0;
  switch (values.style & kPenStyleMask) {
    case kPenDash: pattern = kDash; count = 2; break;
    case kPenDot: pattern = kDot; count = 2; break;
    case kPenDashDot: pattern = kDashDot; count = 4; break;
    case kPenDashDotDot: pattern = kDashDotDot; count = 6; break;
    case kPenNull: return stroke;
    default: break;
  }
  if (pattern != nullptr) {
    // Without the array the line is written solid.
    stroke.dashes = TrackedAlloc<std::int32_t>(static_cast<std::size_t>(count), __LINE__);
    if (stroke.dashes != nullptr) {
      std::memcpy(stroke.dashes, pattern, sizeof(std::int32_t) * static_cast<std::size_t>(count));
      stroke.dashCount = count;
    }
  }
  switch (values.style & kPenCapMask) {
    case kPenCapSquare: stroke.lineCap = 3; break;
    case kPenCapFlat: stroke.lineCap = 1; break;
    default: break;
  }
  switch (values.style & kPenJoinMask) {
    case kPenJoinBevel: stroke.lineJoin = 3; break;
    case kPenJoinMiter: stroke.lineJoin = 1; break;
    default: break;
  }
  stroke.paint = 1;
  stroke.colour = values.colour;
  stroke.width = values.width;
  if (values.width > 1) stroke.width *= scale;
  return stroke;
}

FillRecord FillFromBrush(const VectorBrush& brush) {
  FillRecord fill{};
  VectorBrushValues values{};
  if (VectorGetBrush(&brush, &values) != kVkOk) return fill;
  if (values.style == kBrushHollow) return fill;
  if (values.style == kBrushHatched) {
    static constexpr const char* kPatternNames[] = {
        "brushHorz", "brushVert", "brushDiagForward", "brushDiagBack", "brushCross",
        "brushDiagCross"};
    // Without the name block the brush colour is written instead.
    fill.patternId = TrackedAlloc<char>(kPatternIdSize, __LINE__);
    if (fill.patternId != nullptr && values.hatch >= 0 && values.hatch < 6) {
      std::strcpy(fill.patternId, kPatternNames[values.hatch]);
    }
  }
  fill.paint = 1;
  fill.colour = values.colour;
  return fill;
}

namespace {

// "\"none\" ", the colour, or the pattern reference of a paint.
void PaintValue(OutputBuffer* out, std::int32_t paint, const char* patternId,
                std::uint32_t colour) {
  if (paint != 1) {
    (void)Append(out, "\"none\" ");
  } else if (patternId == nullptr) {
    (void)Colour(out, colour);
  } else {
    (void)Append(out, "\"url(#");
    (void)Append(out, patternId);
    (void)Append(out, ")\" ");
  }
}

const char* Keyword(std::int32_t code, const char* one, const char* two, const char* three) {
  switch (code) {
    case 1: return one;
    case 2: return two;
    case 3: return three;
    default: return nullptr;
  }
}

}  // namespace

Status WriteFill(OutputBuffer* out, const FillRecord* fill) {
  if (fill == nullptr) return kOk;
  (void)Append(out, "fill=");
  PaintValue(out, fill->paint, fill->patternId, fill->colour);
  if (fill->paint != 1) return kOk;
  if (fill->fillRule == kNonZeroRule) (void)Append(out, "fill-rule=\"nonzero\" ");
  if (fill->fillRule == kEvenOddRule) (void)Append(out, "fill-rule=\"evenodd\" ");
  return kOk;
}

Status WriteStroke(OutputBuffer* out, StrokeRecord* stroke) {
  if (stroke == nullptr) return kOk;
  (void)Append(out, "stroke=");
  PaintValue(out, stroke->paint, stroke->patternId, stroke->colour);
  if (stroke->paint != 1) return kOk;
  if (stroke->width != 0) {
    stroke->width = std::trunc(stroke->width * 10) / 10;
    NumberAttribute(out, "stroke-width", stroke->width);
  }
  // Codes outside 1-3 cannot come from a pen; they write nothing rather
  // than an attribute without a value.
  if (const char* cap = Keyword(stroke->lineCap, "butt", "round", "square")) {
    (void)Append(out, "stroke-linecap=");
    (void)QuotedString(out, cap);
  }
  if (const char* join = Keyword(stroke->lineJoin, "miter", "round", "bevel")) {
    (void)Append(out, "stroke-linejoin=");
    (void)QuotedString(out, join);
  }
  if (stroke->dashCount > 0 && stroke->dashes != nullptr) {
    (void)Append(out, "stroke-dasharray=\"");
    (void)IntList(out, stroke->dashes, stroke->dashCount);
    (void)Append(out, "\" ");
  }
  return kOk;
}

void ReleaseStroke(StrokeRecord* stroke) {
  TrackedFree(stroke->dashes);
  TrackedFree(stroke->patternId);
  stroke->dashes = nullptr;
  stroke->patternId = nullptr;
}

void ReleaseFill(FillRecord* fill) {
  TrackedFree(fill->patternId);
  fill->patternId = nullptr;
}

// --- text ---

FontRecord FontFromLogFont(const VectorLogFont& logFont) {
  FontRecord font{};
  const std::size_t units = WideLength(logFont.faceName, std::size(logFont.faceName));
  // An empty face name gives no font-family rather than an empty one.
  if (units > 0) {
    char converted[std::size(logFont.faceName) * 4];
    const std::size_t n = ToAnsi(logFont.faceName, units, converted, sizeof converted);
    if (n > 0) {
      font.family = TrackedAlloc<char>(kFamilySize, __LINE__);
      if (font.family != nullptr) {
        const std::size_t kept = n < kFamilySize ? n : kFamilySize - 1;
        std::memcpy(font.family, converted, kept);
      }
    }
  }
  font.angle = logFont.escapement / 10;
  font.underline = logFont.underline;
  if (logFont.italic != 0) font.style = 2;
  if (logFont.weight >= 100 && logFont.weight <= 900 && logFont.weight % 100 == 0) {
    font.weight = logFont.weight / 100 + 4;
  }
  return font;
}

void ReleaseFont(FontRecord* font) {
  TrackedFree(font->family);
  font->family = nullptr;
}

Status WriteTextElement(OutputBuffer* out, const OutPoint* position, const FontRecord& font,
                        const FillRecord* fill, StrokeRecord* stroke, std::int32_t flags) {
  if (position == nullptr) return kErrMissing;
  (void)BeginElement(out, "text", 0);
  (void)XYPair(out, position->x, position->y);
  double centreY = position->y;
  if ((flags & kAlignVerticalCentre) != 0) centreY += font.size * 0.5;
  (void)WriteFontAttributes(out, font, position->x, centreY);
  (void)WriteFill(out, fill);
  (void)WriteStroke(out, stroke);
  (void)WriteTextAnchor(out, flags);
  const Status status = Append(out, ">\r\n");
  ++out->indentLevel;
  return status;
}

Status WriteFontAttributes(OutputBuffer* out, const FontRecord& font, double centreX,
                           double centreY) {
  if (font.family != nullptr) {
    (void)Append(out, "font-family=\"");
    (void)Append(out, font.family);
    (void)Append(out, "\" ");
  }
  if (font.size != 0) {
    (void)Append(out, "font-size=");
    (void)QuotedInt(out, font.size);
  }
  if (font.angle != 0) {
    char scratch[kScratchSize];
    (void)Append(out, "transform=\"rotate(");
    (void)AppendBytes(out, std::string_view(scratch, FormatD(font.angle, scratch)));
    (void)Append(out, ",");
    (void)AppendBytes(out, std::string_view(scratch, FormatF(centreX, scratch)));
    (void)Append(out, ",");
    (void)AppendBytes(out, std::string_view(scratch, FormatF(centreY, scratch)));
    (void)Append(out, ")\" ");
  }
  if (font.underline != 0) (void)Append(out, "text-decoration=\"underline\" ");
  if (const char* style = Keyword(font.style, "normal", "italic", "oblique")) {
    (void)Append(out, "font-style=");
    (void)QuotedString(out, style);
  }
  if (font.weight != 0) {
    (void)Append(out, "font-weight=");
    switch (font.weight) {
      case 1: (void)QuotedString(out, "normal"); break;
      case 2: (void)QuotedString(out, "bold"); break;
      case 3: (void)QuotedString(out, "bolder"); break;
      case 4: (void)QuotedString(out, "lighter"); break;
      default: (void)QuotedInt(out, (font.weight - 4) * 100); break;
    }
  }
  return kOk;
}

Status WriteTextAnchor(OutputBuffer* out, std::int32_t flags) {
  const char* anchor = "start";
  if ((flags & kAlignHorizontalMask) == kAlignEnd) anchor = "end";
  if ((flags & kAlignHorizontalMask) == kAlignMiddle) anchor = "middle";
  (void)Append(out, "text-anchor=\"");
  (void)Append(out, anchor);
  return Append(out, "\" ");
}

std::size_t EscapeMarkup(const char* text, std::size_t n, char* output) {
  std::size_t length = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char* escape = nullptr;
    switch (text[i]) {
      case '&': escape = "&amp;"; break;
      case '<': escape = "&lt;"; break;
      case '>': escape = "&gt;"; break;
      default: output[length++] = text[i]; continue;
    }
    const std::size_t size = std::strlen(escape);
    std::memcpy(output + length, escape, size);
    length += size;
  }
  output[length] = 0;
  return length;
}

// --- images ---

Status WriteRasterObject(SaveContext* context, VectorObjectDesc* object) {
  VectorRasterObject& raster = object->raster;
  const KernelPoint corners[2] = {raster.corner1, raster.corner2};
  OutPoint p[2]{};
  ToOutput(*context, corners, p, 2);
  const Viewport rect{std::fmin(p[0].x, p[1].x), std::fmin(p[0].y, p[1].y),
                      std::fmax(p[0].x, p[1].x), std::fmax(p[0].y, p[1].y)};
  if (context->saveFormat == kSaveFormatEmbedImages) return WriteEmbedded(context, raster, rect);
  return WriteLinked(context, raster, rect);
}

Status WriteEmbeddedImage(OutputBuffer* out, const char* name, const Viewport& rectangle,
                          const char* base64Text) {
  (void)Indent(out);
  (void)Append(out, "<image id=\"");
  (void)Append(out, name);
  (void)Append(out, "\" ");
  (void)SizePair(out, rectangle.right - rectangle.left, rectangle.bottom - rectangle.top);
  (void)Append(out, "xlink:href=\"");
  (void)Append(out, kDataReference);
  (void)Append(out, "\r\n");
  (void)Append(out, base64Text);
  (void)Append(out, "\" ");
  return Append(out, "/>");
}

Status WriteUse(OutputBuffer* out, const char* name) {
  (void)Indent(out);
  (void)Append(out, "<use xlink:href=\"#");
  (void)Append(out, name);
  (void)Append(out, "\" ");
  return EndEmptyElement(out);
}

Status WriteLinkedImage(OutputBuffer* out, const Viewport& rectangle, const char16_t* tempFile) {
  // The element is written whole or not at all (kErrImagePlacement), so a
  // picture that cannot be placed never leaves the file malformed.
  char16_t directory[kPathCapacity];
  std::size_t separator = 0;
  if (!ImageDirectory(out->path, directory, &separator)) return kErrImagePlacement;
  if (CreateDirectoryW(directory, nullptr) == 0 && GetLastError() != ERROR_ALREADY_EXISTS) {
    return kErrImagePlacement;
  }
  const std::size_t tempLength = WideLength(tempFile, kPathCapacity);
  std::size_t nameStart = 0;
  for (std::size_t i = 0; i < tempLength; ++i) {
    if (tempFile[i] == u'/' || tempFile[i] == u'\\') nameStart = i + 1;
  }
  const std::size_t directoryLength = WideLength(directory, kPathCapacity);
  const std::size_t nameLength = tempLength - nameStart;
  if (directoryLength + 1 + nameLength >= kPathCapacity) return kErrImagePlacement;
  char16_t destination[kPathCapacity];
  std::memcpy(destination, directory, directoryLength * sizeof(char16_t));
  destination[directoryLength] = u'/';
  std::memcpy(destination + directoryLength + 1, tempFile + nameStart,
              nameLength * sizeof(char16_t));
  destination[directoryLength + 1 + nameLength] = 0;
  if (KernelTransferFile(tempFile, destination, 0) == 0) return kErrImagePlacement;

  // Relative to the SVG file: "." and the destination from the separator
  // before the image directory's own name.
  char16_t reference[kPathCapacity + 1];
  reference[0] = u'.';
  const std::size_t tail = directoryLength + 1 + nameLength - separator;
  std::memcpy(reference + 1, destination + separator, tail * sizeof(char16_t));
  reference[1 + tail] = 0;

  (void)BeginElement(out, "image", 0);
  (void)XYPair(out, rectangle.left, rectangle.top);
  (void)SizePair(out, rectangle.right - rectangle.left, rectangle.bottom - rectangle.top);
  (void)Append(out, "xlink:href=\"");
  AppendPathText(out, reference, true);
  (void)Append(out, "\" ");
  const Status status = Append(out, ">\r\n");
  ++out->indentLevel;
  return status == kOk ? kOk : kErrNoMemory;
}

Status WriteDescription(OutputBuffer* out, const char16_t* text) {
  (void)BeginElement(out, "desc", 1);
  AppendPathText(out, text, false);
  return EndElement(out, "desc");
}

std::size_t Base64Encode(const std::uint8_t* data, std::size_t n, char* output) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::size_t at = 0;
  for (std::size_t i = 0; i < n; i += 3) {
    const std::uint32_t b0 = data[i];
    const std::uint32_t b1 = i + 1 < n ? data[i + 1] : 0;
    const std::uint32_t b2 = i + 2 < n ? data[i + 2] : 0;
    const std::uint32_t group = (b0 << 16) | (b1 << 8) | b2;
    output[at++] = kAlphabet[(group >> 18) & 0x3F];
    output[at++] = kAlphabet[(group >> 12) & 0x3F];
    output[at++] = kAlphabet[(group >> 6) & 0x3F];
    output[at++] = kAlphabet[group & 0x3F];
  }
  output[at] = 0;
  switch (n % 3) {
    case 0: return 8 * n / 6;
    case 1: return (8 * n + 16) / 6 - 2;
    default: return (8 * n + 8) / 6 - 1;
  }
}

}  // namespace svgflt
