// The filter's exported entry points and the load driver behind them.
#include "Common/svg.h"

#include <cstring>
#include <string_view>

#include "Common/KernelMemory.h"
#include "Common/SvgDocument.h"
#include "Common/Vector.h"
#include "Common/save.h"
#include "ImagingKernel/ImagingKernel.h"
#include "Platform/Platform.h"
#include "VectorKernel/VectorKernel.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/svg";

// Seek origins of the kernel's file layer.
constexpr int32_t kSeekStart = 0;
constexpr int32_t kSeekCurrent = 1;

// Detection reads the two bytes of a possible UTF-16 byte-order mark, then
// 70 characters (140 bytes in UTF-16), then the first 256 bytes again for
// the annotation marker.
constexpr int32_t kMarkBytes = 2;
constexpr int32_t kHeadChars = 70;
constexpr int32_t kMarkerWindow = 256;
constexpr int32_t kUtf8MarkLength = 3;

// FileInfo values this filter reports.
constexpr int32_t kDefaultWidth = 640;
constexpr int32_t kDefaultHeight = 480;
constexpr int32_t kDefaultBitsPerPixel = 24;
constexpr int32_t kInfoValue444 = 4;
constexpr int32_t kInfoValue448 = 1;
constexpr int32_t kInfoValue89C = 64;
constexpr int32_t kInfoValue8D8 = -1;

constexpr int32_t kRenderBitsPerPixel = 24;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr int32_t kBitmapMemoryKind = 1;
constexpr int32_t kColorResFlag = 2;

// Row flags handed to the RowCallback.
constexpr int32_t kRowFlagsEvery = 3;
constexpr int32_t kRowFlagFirst = 4;
constexpr int32_t kRowFlagLast = 8;

bool BeginsWith(const char* text, const char* literal) {
  return KernelCompareN(text, literal, static_cast<int32_t>(std::strlen(literal))) == 0;
}

// A zeroed, flagged and initialised document of the filter's own; null when
// memory runs out (or the kernel cannot initialise it, in `status`).
VectorDocument* NewDocument(Status* status) {
  KernelBlock<VectorDocument> document(SVGFLT_ALLOC(VectorDocument, 1));
  if (!document) {
    *status = kErrNoMemory;
    return nullptr;
  }
  document->flags = kDocumentFlags;
  *status = VectorInit(document.get());
  if (*status != kOk) return nullptr;
  return document.Release();
}

void FreeDocument(VectorDocument* document) {
  if (document == nullptr) return;
  (void)VectorFree(document);
  KernelRelease(document);
}

// Owner of a VectorHolder and, when the holder says so, of its document.
class HolderOwner {
 public:
  explicit HolderOwner(VectorHolder* holder) : holder_(holder) {}
  HolderOwner(const HolderOwner&) = delete;
  HolderOwner& operator=(const HolderOwner&) = delete;
  ~HolderOwner() {
    if (holder_ == nullptr) return;
    if (holder_->owned != 0) FreeDocument(holder_->document);
    KernelRelease(holder_);
  }
  explicit operator bool() const { return holder_ != nullptr; }
  VectorHolder* operator->() const { return holder_; }
  [[nodiscard]] VectorHolder* Release() {
    VectorHolder* holder = holder_;
    holder_ = nullptr;
    return holder;
  }

 private:
  VectorHolder* holder_;
};

// Owner of a document this call created; a caller's document is left alone.
class DocumentOwner {
 public:
  DocumentOwner() = default;
  DocumentOwner(const DocumentOwner&) = delete;
  DocumentOwner& operator=(const DocumentOwner&) = delete;
  ~DocumentOwner() { FreeDocument(document_); }
  void Reset(VectorDocument* document) { document_ = document; }

 private:
  VectorDocument* document_ = nullptr;
};

// Owner of an SvgDocument for one ParseAndConvert.
class SvgDocumentOwner {
 public:
  explicit SvgDocumentOwner(SvgDocument* document) : document_(document) {}
  SvgDocumentOwner(const SvgDocumentOwner&) = delete;
  SvgDocumentOwner& operator=(const SvgDocumentOwner&) = delete;
  ~SvgDocumentOwner() { FreeSvgDocument(document_); }

 private:
  SvgDocument* document_;
};

// Owner of an imaging-kernel file handle.
class FileOwner {
 public:
  explicit FileOwner(int32_t file) : file_(file) {}
  FileOwner(const FileOwner&) = delete;
  FileOwner& operator=(const FileOwner&) = delete;
  ~FileOwner() {
    if (file_ != -1) (void)KernelCloseFile(file_);
  }

 private:
  int32_t file_;
};

// Owner of a bitmap's image memory.
class BitmapMemoryOwner {
 public:
  explicit BitmapMemoryOwner(BitmapRecord* bitmap) : bitmap_(bitmap) {}
  BitmapMemoryOwner(const BitmapMemoryOwner&) = delete;
  BitmapMemoryOwner& operator=(const BitmapMemoryOwner&) = delete;
  ~BitmapMemoryOwner() { (void)FreeBitmap(bitmap_); }

 private:
  BitmapRecord* bitmap_;
};

// Bytes of one row, padded to 4 bytes, times the rows.
int32_t ImageSize(int32_t bitsPerPixel, int32_t width, int32_t height) {
  const int64_t rowBytes = ((int64_t{bitsPerPixel} * width + 31) >> 3) & ~int64_t{3};
  return static_cast<int32_t>(rowBytes * height);
}

}  // namespace

Status Detect(int32_t file) {
  const int32_t start = KernelSeekFile(file, 0, kSeekCurrent);

  unsigned char mark[kMarkBytes] = {};
  if (KernelReadFile(file, mark, kMarkBytes) < kMarkBytes) return kErrRead;

  // The examined characters, ending at the first NUL they hold.
  char head[kHeadChars + 1] = {};
  const unsigned markValue = mark[0] | (unsigned{mark[1]} << 8);
  if (markValue == 0xFEFF || markValue == 0xFFFE) {
    unsigned char wide[2 * kHeadChars];
    if (KernelReadFile(file, wide, sizeof wide) < static_cast<int32_t>(sizeof wide)) {
      return kErrRead;
    }
    // Bytes FF FE: little-endian, the low byte comes first; FE FF: second.
    const int lowByte = markValue == 0xFEFF ? 0 : 1;
    for (int32_t i = 0; i < kHeadChars; ++i) head[i] = static_cast<char>(wide[2 * i + lowByte]);
  } else {
    (void)KernelSeekFile(file, 0, kSeekStart);
    if (KernelReadFile(file, head, kHeadChars) < kHeadChars) return kErrRead;
  }

  const std::string_view text(head);
  const bool htmlOrAnnotations = text.find("<html>") != std::string_view::npos ||
                                 text.find("<Annotations>") != std::string_view::npos;
  Status result = kErrNotSvg;
  bool skipMark = false;
  if (BeginsWith(head, "<?xml") && !htmlOrAnnotations) {
    result = kOk;
  } else if (text.size() >= kUtf8MarkLength && BeginsWith(head + kUtf8MarkLength, "<?xml") &&
             !htmlOrAnnotations) {
    result = kOk;
    skipMark = true;
  } else if (BeginsWith(head, "<!DOCTYPE svg PUBLIC") || BeginsWith(head, "<svg")) {
    result = kOk;
  }

  // SVG files are never shorter than the marker window, and annotation
  // files carry their marker within it.
  char window[kMarkerWindow];
  (void)KernelSeekFile(file, 0, kSeekStart);
  if (KernelReadFile(file, window, kMarkerWindow) < kMarkerWindow ||
      std::string_view(window, kMarkerWindow).find(kAnnotationMarker) !=
          std::string_view::npos) {
    result = kErrNotSvg;
  }

  (void)KernelSeekFile(file, start, kSeekStart);
  if (skipMark) (void)KernelSeekFile(file, kUtf8MarkLength, kSeekCurrent);
  return result;
}

Status ParseAndConvert(VectorDocument* document, int32_t file, InfoRequest* info,
                       LoadRequest* load) {
  SvgDocument* svg = nullptr;
  Status status = CreateSvgDocument(&svg);
  if (status != kOk) return status;
  SvgDocumentOwner svgOwner(svg);

  status = LoadSvgFile(file, *svg);
  if (status != kOk) return status;

  const uint32_t savedFlags = document->flags;
  document->flags = kDocumentFlags;
  status = ConvertDocument(document, *svg, info, load);
  document->flags = savedFlags;
  return status;
}

void WidenBounds(VectorDocument& document) {
  const double dx = (document.upperBound.x - document.lowerBound.x) * 0.005;
  const double dy = (document.upperBound.y - document.lowerBound.y) * 0.005;
  document.lowerBound.x -= dx;
  document.lowerBound.y -= dy;
  document.upperBound.x += dx;
  document.upperBound.y += dy;
}

Status DeliverRows(LoadRequest* request, BitmapRecord* bitmap) {
  // A host that asks for a raster must say where the rows go.
  if (request->rowCallback == nullptr) return kErrMissing;
  KernelBlock<uint8_t> row(SVGFLT_ALLOC(uint8_t, static_cast<std::size_t>(bitmap->bytesPerRow)));
  if (!row) return kErrNoMemory;

  Status status = AccessBitmap(bitmap, 0);
  if (status != kOk) return status;
  const int32_t last = bitmap->height - 1;
  for (int32_t y = 0; y <= last && status == kOk; ++y) {
    status = GetBitmapRow(bitmap, row.get(), y, bitmap->bytesPerRow);
    if (status != kOk) break;
    const int32_t flags =
        kRowFlagsEvery | (y == 0 ? kRowFlagFirst : 0) | (y == last ? kRowFlagLast : 0);
    status = request->rowCallback(request->callbackArg, request->target, row.get(), flags, y, 1,
                                  request->userData);
  }
  return ReleaseBitmap(bitmap, 1, status);
}

Status RenderToBitmap(LoadRequest* request, VectorDocument* document) {
  BitmapRecord* target = request->target;
  if (target == nullptr) return kOk;

  BitmapRecord bitmap;
  std::memset(&bitmap, 0, sizeof bitmap);
  Status status = InitBitmap(&bitmap, static_cast<int32_t>(sizeof bitmap), request->width,
                             request->height, kRenderBitsPerPixel);
  if (status != kOk) return status;
  bitmap.layout = target->layout;
  status = AllocateBitmap(&bitmap, kBitmapMemoryKind);
  if (status != kOk) return status;
  BitmapMemoryOwner memory(&bitmap);

  DrawingContext* context = CreateBitmapDC(&bitmap);
  if (context == nullptr) return kErrNoMemory;
  status = FillBitmap(&bitmap, kWhite);
  if (status == kOk) {
    (void)VectorApplyView(document, 0);
    (void)SetRect(&document->paintRect, 0, 0, request->width, request->height);
    const KernelPoint pan{};
    (void)VectorSetPan(document, &pan);
    if (request->paintOption == 1) document->paintOption = 1;
    // A failed paint would hand the host a blank page as if it were the
    // picture, so its status counts.
    status = VectorPaint(context, document, 1);
  }
  (void)DeleteBitmapDC(context);
  if (status != kOk) return status;

  if (request->resolution != nullptr) {
    target->xResolution = request->resolution->horizontal;
    target->yResolution = request->resolution->vertical;
  }
  if (bitmap.bitsPerPixel != target->bitsPerPixel) {
    status = ColorResBitmap(&bitmap, &bitmap, static_cast<int32_t>(sizeof bitmap),
                            target->bitsPerPixel, kColorResFlag, 0, 0, 0, 0, 0);
    if (status != kOk) return status;
  }
  if (target->bitsPerPixel <= 8) {
    status = SetBitmapPalette(target, bitmap.paletteCount, bitmap.palette);
    if (status != kOk) return status;
  }
  return DeliverRows(request, &bitmap);
}

}  // namespace svgflt

using namespace svgflt;

extern "C" {

int32_t fltInfo(InfoRequest* request) {
  // Without a FileInfo there is nowhere to answer, as without the request.
  if (request == nullptr || request->fileInfo == nullptr) return kErrMissing;
  const int32_t file = request->file;
  (void)KernelSeekFile(file, 0, kSeekStart);
  Status status = Detect(file);
  if (status != kOk) return status;

  HolderOwner holder(SVGFLT_ALLOC(VectorHolder, 1));
  if (!holder) return kErrNoMemory;
  if (request->document != nullptr) {
    holder->document = request->document;
    holder->owned = 0;
  } else {
    holder->document = NewDocument(&status);
    if (holder->document == nullptr) return status;
    holder->owned = 1;
  }
  VectorDocument* document = holder->document;

  // A file that does not load gets no size: its error is the answer.
  status = ParseAndConvert(document, file, request, nullptr);
  if (status != kOk) return status;

  FileInfo* info = request->fileInfo;
  WidenBounds(*document);
  info->isVector = 1;
  info->value89C = kInfoValue89C;
  info->lowerBound = document->lowerBound;
  info->upperBound = document->upperBound;
  info->value8D8 = kInfoValue8D8;

  int32_t width = request->width < 1 ? kDefaultWidth : request->width;
  int32_t height = request->height < 1 ? kDefaultHeight : request->height;
  const int32_t bitsPerPixel =
      request->bitsPerPixel < 1 ? kDefaultBitsPerPixel : request->bitsPerPixel;
  if (request->setOption != 0) (void)VectorSetOption(document, request->optionValue);
  if (request->sizeMode != 1) {
    const int32_t mode = request->sizeMode == 2 || request->sizeMode == 3 ? request->sizeMode : 0;
    status = VectorComputeSize(document, mode, &width, &height);
    if (status != kOk) return status;
  }

  info->formatCode = kFormatCodeSvg;
  info->value444 = kInfoValue444;
  info->value448 = kInfoValue448;
  info->width = width;
  info->height = height;
  if (request->resolution != nullptr) {
    info->xResolution = request->resolution->horizontal;
    info->yResolution = request->resolution->vertical;
  }
  info->bitsPerPixel = bitsPerPixel;
  info->imageSize = ImageSize(bitsPerPixel, width, height);

  if (request->scratch != nullptr) request->scratch->holder = holder.Release();
  return kOk;
}

int32_t fltLoad(LoadRequest* request) {
  if (request == nullptr) return kErrMissing;
  VectorHolder* left = request->scratch != nullptr ? request->scratch->holder : nullptr;
  if (left != nullptr && request->mode == 1) return kOk;
  if (left != nullptr && request->mode == 0) return RenderToBitmap(request, left->document);

  VectorDocument* document = nullptr;
  DocumentOwner created;
  uint32_t callerFlags = 0;
  Status status = kOk;
  if (request->mode == 0) {
    document = NewDocument(&status);
    if (document == nullptr) return status;
    created.Reset(document);
  } else if (request->mode == 1) {
    document = request->document;
    if (document == nullptr) return kErrMissing;
    callerFlags = document->flags;
  } else {
    return kErrNotSvg;
  }

  if (request->setOption != 0) (void)VectorSetOption(document, request->optionValue);

  {
    const int32_t file = KernelOpenFile(request->fileName, kOpenBinary, kPermRead);
    FileOwner fileOwner(file);
    // Nothing can be read from a file that did not open.
    status = file == -1 ? kErrRead : Detect(file);
    if (status == kOk) status = ParseAndConvert(document, file, nullptr, request);
  }

  if (status == kOk) {
    WidenBounds(*document);
    status = RenderToBitmap(request, document);
  }
  if (request->mode == 1) document->flags = callerFlags;
  return status;
}

int32_t fltSave(SaveRequest* request) {
  if (request == nullptr) return kErrMissing;
  if (request->mode != 1) return kErrNotSvg;
  if (request->document == nullptr) return kErrMissing;
  return SaveSvg(request->document, request, request->fileName, request->saveFormat);
}

int32_t fltFreeData(void* data, int32_t flag) {
  if (flag != 0 || data == nullptr) return kOk;
  auto* holder = static_cast<VectorHolder*>(data);
  if (holder->owned != 0) FreeDocument(holder->document);
  KernelRelease(holder);
  return kOk;
}

}  // extern "C"
