// The command-line host's callbacks: PNG and JPEG decoding into imaging-kernel
// bitmaps, PNG encoding of bitmaps, and the row collector.
//
// libpng and libjpeg report errors by longjmp. The functions that call setjmp
// hold no objects with destructors, and everything they allocate is either
// owned by the library (freed by its destroy call) or tracked by a volatile
// flag, so the error path can give it back.
#include "HostCallbacks.h"

#include <sys/stat.h>

#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>
#include <zlib.h>

#include "ImagingKernel/ImagingKernel.h"
#include "Module.h"

namespace svgtool {
namespace {

using svgflt::kErrMissing;
using svgflt::kErrNoMemory;
using svgflt::kOk;

constexpr const char16_t* kSourcePath = u"tools/HostCallbacks";

// Allocation kind for picture memory (the kernel's ordinary image memory).
constexpr std::int32_t kImageMemory = 1;

// Speed over size: the host writes many rasters. Run-length deflate over
// the Up filter encodes rendered drawings (flat areas, many small shapes)
// about twice as fast as level 1 with the Sub filter, and smaller; both are
// several times faster than the default.
constexpr int kPngCompressionLevel = 1;
constexpr int kPngStrategy = Z_RLE;
constexpr int kPngFilter = PNG_FILTER_UP;

bool IsPng(const std::uint8_t* data, std::size_t size) {
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return size >= sizeof kSignature && std::memcmp(data, kSignature, sizeof kSignature) == 0;
}

bool IsJpeg(const std::uint8_t* data, std::size_t size) {
  return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

// Sides and byte count of a decoded picture within the host's limits.
bool PictureFits(std::uint32_t width, std::uint32_t height, std::uint32_t bytesPerPixel) {
  if (width < 1 || height < 1) return false;
  if (width > static_cast<std::uint32_t>(kMaxPictureSide) ||
      height > static_cast<std::uint32_t>(kMaxPictureSide))
    return false;
  const std::uint64_t rowBytes = (std::uint64_t{width} * bytesPerPixel + 3) & ~std::uint64_t{3};
  return rowBytes * height <= kMaxPictureBytes;
}

// Describes and allocates `bitmap`; on failure nothing stays allocated.
Status PrepareBitmap(BitmapRecord* bitmap, std::int32_t width, std::int32_t height,
                     std::int32_t bitsPerPixel) {
  std::memset(bitmap, 0, sizeof *bitmap);
  Status status =
      InitBitmap(bitmap, static_cast<std::int32_t>(sizeof *bitmap), width, height, bitsPerPixel);
  if (status != kOk) return status;
  status = AllocateBitmap(bitmap, kImageMemory);
  if (status != kOk) {
    FreeBitmap(bitmap);
    return status;
  }
  return kOk;
}

// --- PNG decoding ---

struct MemoryReader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t position;
};

[[noreturn]] void PngFail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngIgnoreWarning(png_structp, png_const_charp) {}

void PngReadMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (count > reader->size - reader->position) png_error(png, "truncated");
  std::memcpy(out, reader->data + reader->position, count);
  reader->position += count;
}

Status DecodePng(const std::uint8_t* data, std::size_t size, BitmapRecord* bitmap) {
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngIgnoreWarning);
  if (png == nullptr) return kErrNoMemory;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return kErrNoMemory;
  }
  MemoryReader reader{data, size, 0};
  volatile bool allocated = false;
  volatile Status status = kErrPictureCorrupt;
  if (setjmp(png_jmpbuf(png))) {
    if (allocated) FreeBitmap(bitmap);
    png_destroy_read_struct(&png, &info, nullptr);
    return status;
  }
  png_set_read_fn(png, &reader, PngReadMemory);
  png_read_info(png, info);

  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bitDepth = 0;
  int colourType = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);
  const bool hasAlpha =
      (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  const std::uint32_t bytesPerPixel = hasAlpha ? 4 : 3;
  if (!PictureFits(width, height, bytesPerPixel)) {
    status = kErrPictureTooLarge;
    png_error(png, "too large");
  }

  // Every colour type and depth becomes 8-bit B,G,R or B,G,R,A.
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_channels(png, info) != bytesPerPixel ||
      png_get_rowbytes(png, info) != std::size_t{width} * bytesPerPixel)
    png_error(png, "unexpected layout");

  const Status prepared = PrepareBitmap(bitmap, static_cast<std::int32_t>(width),
                                        static_cast<std::int32_t>(height),
                                        static_cast<std::int32_t>(bytesPerPixel * 8));
  if (prepared != kOk) {
    status = prepared;
    png_error(png, "no bitmap");
  }
  allocated = true;
  // Interlaced pictures are read pass by pass into the same rows.
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y)
      png_read_row(png, bitmap->bits + std::size_t{y} * bitmap->bytesPerRow, nullptr);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return kOk;
}

// --- JPEG decoding ---

struct JpegErrorManager {
  jpeg_error_mgr base;  // first, so the library's pointer converts back
  std::jmp_buf jump;
};

[[noreturn]] void JpegFail(j_common_ptr codec) {
  std::longjmp(reinterpret_cast<JpegErrorManager*>(codec->err)->jump, 1);
}

// Warnings about corrupt or missing data mean the decoder made pixels up;
// such a picture is refused. Harmless header oddities are let through.
void JpegMessage(j_common_ptr codec, int level) {
  if (level >= 0) return;
  switch (codec->err->msg_code) {
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_ADOBE_XFORM:
    case JWRN_JFIF_MAJOR:
    case JWRN_BOGUS_ICC:
      return;
    default:
      JpegFail(codec);
  }
}

Status DecodeJpeg(const std::uint8_t* data, std::size_t size, BitmapRecord* bitmap) {
  jpeg_decompress_struct codec;
  std::memset(&codec, 0, sizeof codec);
  JpegErrorManager errors;
  codec.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = JpegFail;
  errors.base.emit_message = JpegMessage;
  volatile bool allocated = false;
  volatile Status status = kErrPictureCorrupt;
  if (setjmp(errors.jump)) {
    if (allocated) FreeBitmap(bitmap);
    jpeg_destroy_decompress(&codec);
    return status;
  }
  jpeg_create_decompress(&codec);
  jpeg_mem_src(&codec, data, static_cast<unsigned long>(size));
  jpeg_read_header(&codec, TRUE);
  if (!PictureFits(codec.image_width, codec.image_height, 3)) {
    status = kErrPictureTooLarge;
    JpegFail(reinterpret_cast<j_common_ptr>(&codec));
  }
  // The library cannot turn CMYK into RGB; that is done below per row.
  const bool cmyk = codec.jpeg_color_space == JCS_CMYK || codec.jpeg_color_space == JCS_YCCK;
  codec.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  jpeg_start_decompress(&codec);
  if (codec.output_components != (cmyk ? 4 : 3)) JpegFail(reinterpret_cast<j_common_ptr>(&codec));

  const Status prepared =
      PrepareBitmap(bitmap, static_cast<std::int32_t>(codec.output_width),
                    static_cast<std::int32_t>(codec.output_height), 24);
  if (prepared != kOk) {
    status = prepared;
    JpegFail(reinterpret_cast<j_common_ptr>(&codec));
  }
  allocated = true;
  // The CMYK row lives in the library's per-image pool, freed by destroy.
  JSAMPARRAY cmykRow =
      cmyk ? (*codec.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&codec), JPOOL_IMAGE,
                                        codec.output_width * 4, 1)
           : nullptr;
  while (codec.output_scanline < codec.output_height) {
    std::uint8_t* out = bitmap->bits + std::size_t{codec.output_scanline} * bitmap->bytesPerRow;
    if (!cmyk) {
      JSAMPROW row = out;
      jpeg_read_scanlines(&codec, &row, 1);
      continue;
    }
    jpeg_read_scanlines(&codec, cmykRow, 1);
    // Adobe writes CMYK inverted (0 = full ink); others store ink amounts.
    const bool inverted = codec.saw_Adobe_marker != 0;
    for (JDIMENSION x = 0; x < codec.output_width; ++x) {
      const std::uint8_t* ink = cmykRow[0] + std::size_t{x} * 4;
      unsigned c = ink[0], m = ink[1], yl = ink[2], k = ink[3];
      if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        yl = 255 - yl;
        k = 255 - k;
      }
      out[x * 3 + 0] = static_cast<std::uint8_t>(yl * k / 255);
      out[x * 3 + 1] = static_cast<std::uint8_t>(m * k / 255);
      out[x * 3 + 2] = static_cast<std::uint8_t>(c * k / 255);
    }
  }
  jpeg_finish_decompress(&codec);
  jpeg_destroy_decompress(&codec);
  return kOk;
}

// --- PNG encoding ---

// One picture to encode: rows of `stride` bytes from `firstRow`.
struct PngPicture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int colourType = PNG_COLOR_TYPE_RGB;
  int bitDepth = 8;
  bool bgr = false;           // rows hold B,G,R(,A)
  bool dropFourthByte = false;  // rows hold four bytes per pixel, the fourth not written
  const std::uint8_t* firstRow = nullptr;
  std::size_t stride = 0;
  png_color palette[256] = {};
  int paletteCount = 0;
};

void PngWriteVector(png_structp png, png_bytep bytes, png_size_t count) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  bool grown = true;
  try {
    out->insert(out->end(), bytes, bytes + count);
  } catch (const std::bad_alloc&) {
    grown = false;
  }
  if (!grown) png_error(png, "no memory");
}

void PngFlushNothing(png_structp) {}

Status EncodePicture(const PngPicture& picture, std::vector<std::uint8_t>* out) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngIgnoreWarning);
  if (png == nullptr) return kErrNoMemory;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return kErrNoMemory;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return kErrNoMemory;
  }
  png_set_write_fn(png, out, PngWriteVector, PngFlushNothing);
  png_set_compression_level(png, kPngCompressionLevel);
  png_set_compression_strategy(png, kPngStrategy);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, kPngFilter);
  png_set_IHDR(png, info, picture.width, picture.height, picture.bitDepth, picture.colourType,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (picture.colourType == PNG_COLOR_TYPE_PALETTE)
    png_set_PLTE(png, info, picture.palette, picture.paletteCount);
  png_write_info(png, info);
  if (picture.bgr) png_set_bgr(png);
  if (picture.dropFourthByte) png_set_filler(png, 0, PNG_FILLER_AFTER);
  for (std::uint32_t y = 0; y < picture.height; ++y)
    png_write_row(png, picture.firstRow + std::size_t{y} * picture.stride);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return kOk;
}

Status WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return kErrFileWrite;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  if (written && closed) return kOk;
  std::remove(path.c_str());
  return kErrFileWrite;
}

// Whole file into memory; kErrFileMissing when it cannot be read,
// kErrPictureTooLarge beyond the picture byte limit.
Status ReadWholeFile(const std::string& path, std::vector<std::uint8_t>* bytes) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return kErrFileMissing;
  if (static_cast<std::uint64_t>(info.st_size) > kMaxPictureBytes) return kErrPictureTooLarge;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return kErrFileMissing;
  bytes->resize(static_cast<std::size_t>(info.st_size));
  const bool read = std::fread(bytes->data(), 1, bytes->size(), file) == bytes->size();
  std::fclose(file);
  return read ? kOk : kErrFileMissing;
}

// Where linked picture files may come from; one rule for the whole process,
// since the load-from-file callback carries no user data.
struct LinkedFileRule {
  std::string baseFolder;
  bool allowAnyFile = false;
};

LinkedFileRule& Rule() {
  static LinkedFileRule rule;
  return rule;
}

bool RealPath(const std::string& path, std::string* out) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return false;
  *out = resolved;
  std::free(resolved);
  return true;
}

}  // namespace

const char* HostStatusName(Status status) {
  switch (status) {
    case kErrPictureFormat: return "the picture is neither PNG nor JPEG";
    case kErrPictureCorrupt: return "the picture is truncated or corrupt";
    case kErrPictureTooLarge: return "the picture is too large";
    case kErrFileRefused: return "the linked file lies outside the document's folder";
    case kErrFileMissing: return "the file cannot be found or read";
    case kErrFileWrite: return "the output file cannot be written";
    case kErrExportFormat: return "the export format or pixel depth is not supported";
    case kErrRowMismatch: return "a delivered row does not fit the raster";
    default: return svgflt::StatusName(status);
  }
}

Status DecodePicture(const void* data, std::size_t size, BitmapRecord* bitmap) {
  if (data == nullptr || bitmap == nullptr) return kErrMissing;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  if (IsPng(bytes, size)) return DecodePng(bytes, size, bitmap);
  if (IsJpeg(bytes, size)) return DecodeJpeg(bytes, size, bitmap);
  return kErrPictureFormat;
}

std::int32_t LoadRasterFromMemory(const void* data, BitmapRecord* bitmap, std::int32_t,
                                  std::int32_t, std::int32_t, std::int32_t byteCount) {
  if (byteCount < 0) return kErrMissing;
  return DecodePicture(data, static_cast<std::size_t>(byteCount), bitmap);
}

std::int32_t InfoLoadRasterFromMemory(const void* data, BitmapRecord* bitmap,
                                      std::int32_t recordSize, std::int32_t a, std::int32_t b,
                                      std::int32_t byteCount, std::int32_t, std::int32_t) {
  return LoadRasterFromMemory(data, bitmap, recordSize, a, b, byteCount);
}

void SetLinkedFileBase(const std::string& baseFolder, bool allowAnyFile) {
  Rule().baseFolder = baseFolder;
  Rule().allowAnyFile = allowAnyFile;
}

Status ResolveLinkedFile(const std::string& name, std::string* resolved) {
  if (name.empty() || resolved == nullptr) return kErrFileMissing;
  const LinkedFileRule& rule = Rule();
  const std::string base = rule.baseFolder.empty() ? std::string(".") : rule.baseFolder;
  const std::string candidate = name.front() == '/' ? name : base + "/" + name;
  std::string real;
  if (!RealPath(candidate, &real)) return kErrFileMissing;
  if (!rule.allowAnyFile) {
    // The file must lie in the base folder or one of its subfolders, judged
    // on resolved paths so that ".." and symbolic links cannot lead out.
    std::string realBase;
    if (!RealPath(base, &realBase)) return kErrFileRefused;
    if (realBase.back() != '/') realBase += '/';
    if (real.compare(0, realBase.size(), realBase) != 0) return kErrFileRefused;
  }
  *resolved = std::move(real);
  return kOk;
}

std::int32_t LoadRasterFromFile(const char16_t* fileName, BitmapRecord* bitmap, std::int32_t,
                                std::int32_t, std::int32_t, std::int32_t, std::int32_t) {
  if (fileName == nullptr || bitmap == nullptr) return kErrMissing;
  try {
    std::string path;
    Status status = ResolveLinkedFile(ToUtf8(fileName), &path);
    if (status != kOk) return status;
    std::vector<std::uint8_t> bytes;
    status = ReadWholeFile(path, &bytes);
    if (status != kOk) return status;
    if (bytes.empty()) return kErrPictureFormat;
    return DecodePicture(bytes.data(), bytes.size(), bitmap);
  } catch (const std::bad_alloc&) {
    return kErrNoMemory;
  }
}

Status EncodePng(const BitmapRecord* bitmap, std::int32_t bitsPerPixel,
                 std::vector<std::uint8_t>* png) {
  if (bitmap == nullptr || png == nullptr || bitmap->bits == nullptr) return kErrMissing;
  const std::int32_t depth = bitmap->bitsPerPixel;
  if (bitmap->width < 1 || bitmap->height < 1) return kErrMissing;
  if (bitsPerPixel != 0 && bitsPerPixel != 24 && bitsPerPixel != 32) return kErrExportFormat;
  const std::uint64_t rowBytes = (std::uint64_t{static_cast<std::uint32_t>(bitmap->width)} *
                                      static_cast<std::uint32_t>(depth > 0 ? depth : 0) + 7) / 8;
  if (bitmap->bytesPerRow < 0 || rowBytes > static_cast<std::uint64_t>(bitmap->bytesPerRow))
    return kErrExportFormat;

  PngPicture picture;
  picture.width = static_cast<std::uint32_t>(bitmap->width);
  picture.height = static_cast<std::uint32_t>(bitmap->height);
  picture.firstRow = bitmap->bits;
  picture.stride = static_cast<std::size_t>(bitmap->bytesPerRow);
  switch (depth) {
    case 24:
      picture.bgr = true;
      break;
    case 32:
      picture.bgr = true;
      if (bitsPerPixel == 24)
        picture.dropFourthByte = true;
      else
        picture.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
      break;
    case 1:
    case 4:
    case 8: {
      // Indexed rows are packed high bits first, as PNG stores them.
      const int entries = bitmap->paletteCount;
      if (bitmap->palette == nullptr || entries < 1 || entries > (1 << depth))
        return kErrExportFormat;
      picture.colourType = PNG_COLOR_TYPE_PALETTE;
      picture.bitDepth = depth;
      picture.paletteCount = entries;
      for (int i = 0; i < entries; ++i) {
        const std::uint32_t colour = bitmap->palette[i];  // 0x00BBGGRR
        picture.palette[i].red = static_cast<png_byte>(colour & 0xFF);
        picture.palette[i].green = static_cast<png_byte>((colour >> 8) & 0xFF);
        picture.palette[i].blue = static_cast<png_byte>((colour >> 16) & 0xFF);
      }
      break;
    }
    default:
      return kErrExportFormat;
  }
  png->clear();
  return EncodePicture(picture, png);
}

std::int32_t ExportToMemory(void** handle, const BitmapRecord* bitmap, std::int32_t format,
                            std::int32_t, std::int32_t, std::int32_t* byteCount, std::int32_t) {
  if (handle == nullptr || byteCount == nullptr) return kErrMissing;
  if (format != kFormatPng) return kErrExportFormat;
  try {
    std::vector<std::uint8_t> png;
    const Status status = EncodePng(bitmap, 0, &png);
    if (status != kOk) return status;
    if (png.size() > static_cast<std::size_t>(INT32_MAX)) return kErrPictureTooLarge;
    KernelMemHandle memory =
        KernelAllocMemory(static_cast<std::uint32_t>(png.size()), __LINE__, kSourcePath);
    if (memory == nullptr) return kErrNoMemory;
    void* target = KernelLockMemory(memory);
    if (target == nullptr) {
      KernelFreeMemory(memory, __LINE__, kSourcePath);
      return kErrNoMemory;
    }
    std::memcpy(target, png.data(), png.size());
    KernelUnlockMemory(memory);
    *handle = memory;
    *byteCount = static_cast<std::int32_t>(png.size());
    return kOk;
  } catch (const std::bad_alloc&) {
    return kErrNoMemory;
  }
}

std::int32_t ExportToFile(const char16_t* fileName, const BitmapRecord* bitmap,
                          std::int32_t format, std::int32_t bitsPerPixel, std::int32_t,
                          std::int32_t) {
  if (fileName == nullptr) return kErrMissing;
  if (format != kFormatPng) return kErrExportFormat;
  try {
    std::vector<std::uint8_t> png;
    const Status status = EncodePng(bitmap, bitsPerPixel, &png);
    if (status != kOk) return status;
    return WriteFileBytes(ToUtf8(fileName), png);
  } catch (const std::bad_alloc&) {
    return kErrNoMemory;
  }
}

std::int32_t CollectRow(void*, BitmapRecord* target, std::uint8_t* row, std::int32_t flags,
                        std::int32_t rowNumber, std::int32_t lineCount, void* userData) {
  auto* sink = static_cast<RowSink*>(userData);
  if (sink == nullptr || target == nullptr || row == nullptr) return kErrMissing;
  try {
    if ((flags & kRowFirst) != 0) {
      if (!PictureFits(static_cast<std::uint32_t>(target->width),
                       static_cast<std::uint32_t>(target->height), 3))
        return kErrRowMismatch;
      sink->width = target->width;
      sink->height = target->height;
      sink->rgb.assign(std::size_t{3} * static_cast<std::size_t>(sink->width) *
                           static_cast<std::size_t>(sink->height),
                       0);
      sink->rowsReceived = 0;
      sink->sawFirst = true;
      sink->sawLast = false;
    } else if (!sink->sawFirst || target->width != sink->width ||
               target->height != sink->height) {
      return kErrRowMismatch;
    }
  } catch (const std::bad_alloc&) {
    return kErrNoMemory;
  }
  const std::int32_t depth = target->bitsPerPixel;
  if (depth != 24 && depth != 32) return kErrRowMismatch;
  if (lineCount < 1 || rowNumber < 0 || rowNumber > sink->height - lineCount)
    return kErrRowMismatch;

  const std::size_t width = static_cast<std::size_t>(sink->width);
  const std::size_t pixelBytes = static_cast<std::size_t>(depth / 8);
  const std::size_t stride = (width * pixelBytes + 3) & ~std::size_t{3};
  for (std::int32_t line = 0; line < lineCount; ++line) {
    const std::uint8_t* in = row + static_cast<std::size_t>(line) * stride;
    std::uint8_t* out = sink->rgb.data() + static_cast<std::size_t>(rowNumber + line) * width * 3;
    for (std::size_t x = 0; x < width; ++x, in += pixelBytes, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }
  sink->rowsReceived += lineCount;
  if ((flags & kRowLast) != 0) sink->sawLast = true;
  return kOk;
}

Status WriteRgbPng(const std::string& path, std::int32_t width, std::int32_t height,
                   const std::vector<std::uint8_t>& rgb) {
  if (width < 1 || height < 1 ||
      rgb.size() < std::size_t{3} * static_cast<std::size_t>(width) *
                       static_cast<std::size_t>(height))
    return kErrMissing;
  try {
    PngPicture picture;
    picture.width = static_cast<std::uint32_t>(width);
    picture.height = static_cast<std::uint32_t>(height);
    picture.firstRow = rgb.data();
    picture.stride = std::size_t{3} * static_cast<std::size_t>(width);
    std::vector<std::uint8_t> png;
    const Status status = EncodePicture(picture, &png);
    if (status != kOk) return status;
    return WriteFileBytes(path, png);
  } catch (const std::bad_alloc&) {
    return kErrNoMemory;
  }
}

}  // namespace svgtool
