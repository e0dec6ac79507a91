// The command-line host's callbacks: pictures in and out, linked-file rule,
// row collection.
#include "tools/HostCallbacks.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "ImagingKernel/ImagingKernel.h"
#include "Module/TempFiles.h"
#include "support/TestJpeg.h"
#include "tools/CommandRun.h"
#include "tools/Module.h"

namespace svgtool {
namespace {

using Bytes = std::vector<std::uint8_t>;
using svgflt::kErrMissing;
using svgflt::kErrNoMemory;
using svgflt::kOk;
using testing::OwnedBitmap;
using testing::ReadPicture;

constexpr std::int32_t kRecordSize = static_cast<std::int32_t>(sizeof(BitmapRecord));

// A width x height bitmap whose every byte depends on its position.
void FillPattern(OwnedBitmap* bitmap, int width, int height, int bitsPerPixel) {
  ASSERT_EQ(InitBitmap(&bitmap->record, kRecordSize, width, height, bitsPerPixel), kOk);
  ASSERT_EQ(AllocateBitmap(&bitmap->record, 1), kOk);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width * bitsPerPixel / 8; ++x)
      bitmap->Pixel(0, y)[x] = static_cast<std::uint8_t>(x * 13 + y * 70 + 5);
}

// The first `bytes` bytes of every pixel, row by row, padding left out.
Bytes PixelBytes(OwnedBitmap& bitmap, int bytes) {
  Bytes out;
  for (int y = 0; y < bitmap.record.height; ++y)
    for (int x = 0; x < bitmap.record.width; ++x)
      out.insert(out.end(), bitmap.Pixel(x, y), bitmap.Pixel(x, y) + bytes);
  return out;
}

Bytes ExportPng(const BitmapRecord& bitmap) {
  void* handle = nullptr;
  std::int32_t count = 0;
  EXPECT_EQ(ExportToMemory(&handle, &bitmap, kFormatPng, 0, 0, &count, 0), kOk);
  if (handle == nullptr) return {};
  const auto* locked = static_cast<const std::uint8_t*>(KernelLockMemory(handle));
  Bytes png(locked, locked + count);
  KernelUnlockMemory(handle);
  KernelFreeMemory(handle, __LINE__, u"tests/tools/HostCallbacksTest");
  return png;
}

std::int32_t LoadFromBytes(const Bytes& bytes, OwnedBitmap* bitmap) {
  return LoadRasterFromMemory(bytes.data(), &bitmap->record, kRecordSize, 0, 1,
                              static_cast<std::int32_t>(bytes.size()));
}

// A PNG of `raw`, its rows already filtered (a 0 byte each), with the
// header fields given and an optional palette and transparency chunk.
Bytes Png(std::uint32_t width, std::uint32_t height, std::uint8_t depth, std::uint8_t colourType,
          std::uint8_t interlace, const Bytes& raw, const Bytes& palette = {},
          const Bytes& transparency = {}) {
  const auto be32 = [](uLong v) {
    return Bytes{static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                 static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
  };
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const auto chunk = [&](const char* type, Bytes data) {
    data.insert(data.begin(), type, type + 4);
    for (const Bytes& part : {be32(data.size() - 4), data,
                              be32(crc32(0, data.data(), static_cast<uInt>(data.size())))})
      out.insert(out.end(), part.begin(), part.end());
  };
  Bytes ihdr = be32(width);
  for (const std::uint8_t byte : be32(height)) ihdr.push_back(byte);
  ihdr.insert(ihdr.end(), {depth, colourType, 0, 0, interlace});
  chunk("IHDR", ihdr);
  if (!palette.empty()) chunk("PLTE", palette);
  if (!transparency.empty()) chunk("tRNS", transparency);
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes compressed(size);
  compress(compressed.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
  compressed.resize(size);
  chunk("IDAT", compressed);
  chunk("IEND", {});
  return out;
}

// Every kind of picture through the decoder: what the exporter writes (RGB,
// RGBA, palettes), PNG kinds it never writes (grey and 16-bit channels are
// widened, a transparent palette entry gives an alpha channel, interlaced
// rows come in passes: of a 2 x 1 picture, the first pixel in pass 1, the
// second in pass 6), JPEG in each colour space, and data it must refuse
// with the host's code, leaving no bitmap behind.
TEST(LoadRasterFromMemory, DecodesEachKindOfPictureOrAnswersWhyNot) {
  OwnedBitmap rgb, rgba, indexed;
  FillPattern(&rgb, 7, 5, 24);  // 7 pixels: rows carry padding at 24 bits
  FillPattern(&rgba, 7, 5, 32);
  ASSERT_EQ(InitBitmap(&indexed.record, kRecordSize, 3, 1, 8), kOk);
  ASSERT_EQ(AllocateBitmap(&indexed.record, 1), kOk);
  const std::uint32_t palette[3] = {0x000000FF, 0x0000FF00, 0x00FF0000};  // red, green, blue
  ASSERT_EQ(SetBitmapPalette(&indexed.record, 3, palette), kOk);
  std::memcpy(indexed.record.bits, "\2\0\1", 3);
  const Bytes png = ExportPng(rgb.record);
  const Bytes jpeg = EncodeTestJpeg(64, 64, JCS_RGB, 3, {10, 20, 30}, true);
  Bytes corruptPng = png;
  corruptPng[corruptPng.size() / 2 + 20] ^= 0xFF;  // inside IDAT: checksum fails
  const auto pngOfSize = [](std::uint32_t width, std::uint32_t height) {
    return Png(width, height, 8, PNG_COLOR_TYPE_RGB, 0, {0, 1, 2, 3});
  };
  // A flat 17 x 9 JPEG and the B, G, R bytes it decodes to.
  const auto flat = [](J_COLOR_SPACE space, int components, Bytes pixel, Bytes bgr) {
    std::pair<Bytes, Bytes> out{EncodeTestJpeg(17, 9, space, components, std::move(pixel)), {}};
    for (int i = 0; i < 17 * 9; ++i) out.second.insert(out.second.end(), bgr.begin(), bgr.end());
    return out;
  };
  const auto [jpegRgb, bgrRgb] = flat(JCS_RGB, 3, {200, 100, 30}, {30, 100, 200});
  // Written with the Adobe marker, so stored values are inverted inks: no
  // cyan, full magenta and yellow, no black gives red.
  const auto [jpegCmyk, bgrCmyk] = flat(JCS_CMYK, 4, {255, 0, 0, 255}, {0, 0, 255});
  const struct {
    const char* name;
    Bytes bytes;
    svgflt::Status expected;
    int bitsPerPixel = 0;
    Bytes pixels{};  // B, G, R(, A) of every pixel, row by row
    int tolerance = 0;
    int failAllocation = 0;
  } cases[] = {
      {"exported RGB", png, kOk, 24, PixelBytes(rgb, 3)},
      {"exported RGBA", ExportPng(rgba.record), kOk, 32, PixelBytes(rgba, 4)},
      {"exported palette", ExportPng(indexed.record), kOk, 24, {255, 0, 0, 0, 0, 255, 0, 255, 0}},
      {"grey 16-bit", Png(2, 1, 16, PNG_COLOR_TYPE_GRAY, 0, {0, 0xFF, 0xFF, 0, 0}), kOk, 24,
       {255, 255, 255, 0, 0, 0}},
      {"palette with alpha",
       Png(2, 1, 8, PNG_COLOR_TYPE_PALETTE, 0, {0, 0, 1}, {255, 0, 0, 0, 0, 255}, {0x80}), kOk, 32,
       {0, 0, 255, 0x80, 255, 0, 0, 255}},
      {"RGB interlaced", Png(2, 1, 8, PNG_COLOR_TYPE_RGB, 1, {0, 1, 2, 3, 0, 4, 5, 6}), kOk, 24,
       {3, 2, 1, 6, 5, 4}},
      {"JPEG RGB", jpegRgb, kOk, 24, bgrRgb, 6},
      {"JPEG CMYK", jpegCmyk, kOk, 24, bgrCmyk, 6},
      {"PNG cut in half", Bytes(png.begin(), png.begin() + png.size() / 2), kErrPictureCorrupt},
      {"PNG with a flipped byte", corruptPng, kErrPictureCorrupt},
      {"JPEG cut in its picture data", Bytes(jpeg.begin(), jpeg.begin() + jpeg.size() * 3 / 4),
       kErrPictureCorrupt},
      {"JPEG cut in its headers", Bytes(jpeg.begin(), jpeg.begin() + 100), kErrPictureCorrupt},
      {"text", Bytes(500, 'x'), kErrPictureFormat},
      {"two bytes", Bytes{0xFF, 0xD8}, kErrPictureFormat},
      {"PNG of the largest side", pngOfSize(kMaxPictureSide, 1), kErrPictureCorrupt},
      {"PNG too wide", pngOfSize(kMaxPictureSide + 1, 1), kErrPictureTooLarge},
      {"PNG of too many pixels", pngOfSize(kMaxPictureSide, kMaxPictureSide), kErrPictureTooLarge},
      {"JPEG too wide", EncodeTestJpeg(kMaxPictureSide + 1, 1, JCS_GRAYSCALE, 1, {0}),
       kErrPictureTooLarge},
      {"PNG without memory", png, kErrNoMemory, 0, {}, 0, 1},
      {"JPEG without memory", jpeg, kErrNoMemory, 0, {}, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    OwnedBitmap bitmap;
    KernelFailAllocation(c.failAllocation);
    EXPECT_EQ(LoadFromBytes(c.bytes, &bitmap), c.expected);
    KernelFailAllocation(0);
    EXPECT_EQ(bitmap.record.bits == nullptr, c.expected != kOk);
    if (c.expected != kOk) continue;
    ASSERT_EQ(bitmap.record.bitsPerPixel, c.bitsPerPixel);
    const Bytes got = PixelBytes(bitmap, c.bitsPerPixel / 8);
    ASSERT_EQ(got.size(), c.pixels.size());
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_NEAR(got[i], c.pixels[i], c.tolerance) << i;
  }
  OwnedBitmap bitmap;
  EXPECT_EQ(LoadRasterFromMemory(nullptr, &bitmap.record, kRecordSize, 0, 1, 10), kErrMissing);
  EXPECT_EQ(LoadRasterFromMemory(png.data(), &bitmap.record, kRecordSize, 0, 1, -1), kErrMissing);
  // The variant the info request calls.
  ASSERT_EQ(InfoLoadRasterFromMemory(jpegRgb.data(), &bitmap.record, kRecordSize, 0, 1,
                                     static_cast<std::int32_t>(jpegRgb.size()), 0, 0),
            kOk);
  EXPECT_EQ(bitmap.record.width, 17);
}

// The exporters refuse what they cannot write and leave their outputs
// untouched; a file is written at 24 bits, the alpha left behind.
TEST(ExportToMemoryAndFile, WriteTwentyFourBitPngsOrSayWhyNot) {
  svgtest::TempFolder folder;
  const std::string path = folder.Path("out.png");
  const std::u16string name = ToUtf16(path), nowhere = ToUtf16(folder.Path("no/such/out.png"));
  OwnedBitmap source;
  FillPattern(&source, 6, 4, 32);
  BitmapRecord empty{};
  ASSERT_EQ(InitBitmap(&empty, kRecordSize, 2, 2, 24), kOk);
  void* handle = nullptr;
  std::int32_t count = -5;
  EXPECT_EQ(ExportToMemory(&handle, &source.record, 76, 0, 0, &count, 0), kErrExportFormat);
  EXPECT_EQ(ExportToMemory(&handle, &empty, kFormatPng, 0, 0, &count, 0), kErrMissing);
  EXPECT_EQ(ExportToMemory(nullptr, &source.record, kFormatPng, 0, 0, &count, 0), kErrMissing);
  KernelFailAllocation(1);
  EXPECT_EQ(ExportToMemory(&handle, &source.record, kFormatPng, 0, 0, &count, 0), kErrNoMemory);
  KernelFailAllocation(0);
  EXPECT_TRUE(handle == nullptr && count == -5);
  EXPECT_EQ(ExportToFile(nowhere.c_str(), &source.record, kFormatPng, 24, 0, 0), kErrFileWrite);
  EXPECT_EQ(ExportToFile(name.c_str(), &source.record, kFormatPng, 16, 0, 0), kErrExportFormat);
  EXPECT_EQ(ExportToFile(name.c_str(), &source.record, 76, 24, 0, 0), kErrExportFormat);
  EXPECT_FALSE(std::filesystem::exists(path));
  ASSERT_EQ(ExportToFile(name.c_str(), &source.record, kFormatPng, 24, 0, 0), kOk);
  OwnedBitmap back;
  ASSERT_EQ(ReadPicture(path, &back), kOk);
  ASSERT_EQ(back.record.bitsPerPixel, 24);
  EXPECT_EQ(PixelBytes(back, 3), PixelBytes(source, 3));
}

TEST(LoadRasterFromFile, StaysWithinTheDocumentFolderUnlessAllowedAnywhere) {
  namespace fs = std::filesystem;
  svgtest::TempFolder folder;
  OwnedBitmap picture;
  FillPattern(&picture, 3, 2, 24);
  const Bytes png = ExportPng(picture.record);
  for (const char* sub : {"doc/sub", "other", "doc2"}) fs::create_directories(folder.Path(sub));
  for (const char* name : {"doc/a.png", "doc/sub/b.png", "other/c.png", "doc2/d.png"})
    folder.Write(name, std::string(png.begin(), png.end()));
  fs::create_symlink("../other/c.png", folder.Path("doc/link.png"));
  folder.Write("doc/notes.png", "just some text, not a picture");
  folder.Write("doc/cut.png", std::string(png.begin(), png.begin() + png.size() / 2));
  const struct {
    std::string name;
    svgflt::Status inFolder, anywhere;
  } cases[] = {
      {"a.png", kOk, kOk},
      {"sub/../a.png", kOk, kOk},
      {folder.Path("doc/sub/b.png"), kOk, kOk},
      {"../other/c.png", kErrFileRefused, kOk},
      {"../doc2/d.png", kErrFileRefused, kOk},  // shares the folder name's beginning
      {folder.Path("other/c.png"), kErrFileRefused, kOk},
      {"link.png", kErrFileRefused, kOk},
      {"missing.png", kErrFileMissing, kErrFileMissing},
      {"sub", kErrFileMissing, kErrFileMissing},
      {"", kErrFileMissing, kErrFileMissing},
      {"notes.png", kErrPictureFormat, kErrPictureFormat},
      {"cut.png", kErrPictureCorrupt, kErrPictureCorrupt},
  };
  for (const bool anywhere : {false, true}) {
    SetLinkedFileBase(folder.Path("doc"), anywhere);
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name + (anywhere ? " from anywhere" : " in the folder"));
      const std::u16string wide = ToUtf16(c.name);
      OwnedBitmap bitmap;
      const std::int32_t status =
          LoadRasterFromFile(wide.c_str(), &bitmap.record, kRecordSize, 0, 1, 0, 0);
      EXPECT_EQ(status, anywhere ? c.anywhere : c.inFolder);
      EXPECT_EQ(status == kOk, bitmap.record.bits != nullptr);
    }
  }
  SetLinkedFileBase("", false);
  BitmapRecord bitmap{};
  EXPECT_EQ(LoadRasterFromFile(nullptr, &bitmap, kRecordSize, 0, 1, 0, 0), kErrMissing);
}

// Rows delivered as the filter does (flags 3, plus 4 on the first and 8 on
// the last row) come out as R, G, B, and WriteRgbPng writes them; rows
// that do not fit are refused.
TEST(CollectRow, AssemblesDeliveredRowsAsRgbAndRefusesRowsThatDoNotFit) {
  svgtest::TempFolder folder;
  for (const int depth : {24, 32}) {
    for (const int height : {1, 5}) {
      SCOPED_TRACE(std::to_string(depth) + " bits, height " + std::to_string(height));
      OwnedBitmap bitmap;
      FillPattern(&bitmap, 5, height, depth);
      RowSink sink;
      for (int y = 0; y < height; ++y) {
        const std::int32_t flags = 3 | (y == 0 ? kRowFirst : 0) | (y == height - 1 ? kRowLast : 0);
        ASSERT_EQ(CollectRow(nullptr, &bitmap.record, bitmap.Pixel(0, y), flags, y, 1, &sink), kOk);
      }
      ASSERT_TRUE(sink.Complete());
      const std::string path = folder.Path("raster.png");
      ASSERT_EQ(WriteRgbPng(path, sink.width, sink.height, sink.rgb), kOk);
      OwnedBitmap back;
      ASSERT_EQ(ReadPicture(path, &back), kOk);
      EXPECT_EQ(PixelBytes(back, 3), PixelBytes(bitmap, 3));
      EXPECT_EQ(WriteRgbPng(path, 10, 10, sink.rgb), kErrMissing) << "fewer bytes than pixels";
      EXPECT_EQ(WriteRgbPng(folder.Path("none/raster.png"), sink.width, sink.height, sink.rgb),
                kErrFileWrite);
    }
  }
  // Rows out of order, beyond the bitmap or of another pixel format.
  OwnedBitmap bitmap;
  FillPattern(&bitmap, 4, 3, 24);
  std::uint8_t* row = bitmap.Pixel(0, 0);
  RowSink sink;
  EXPECT_EQ(CollectRow(nullptr, &bitmap.record, row, 3, 0, 1, &sink), kErrRowMismatch)
      << "a row before the first";
  ASSERT_EQ(CollectRow(nullptr, &bitmap.record, row, 3 | kRowFirst, 0, 1, &sink), kOk);
  EXPECT_EQ(CollectRow(nullptr, &bitmap.record, row, 3, 3, 1, &sink), kErrRowMismatch);
  EXPECT_EQ(CollectRow(nullptr, &bitmap.record, row, 3, 2, 2, &sink), kErrRowMismatch);
  EXPECT_EQ(CollectRow(nullptr, &bitmap.record, row, 3 | kRowLast, 2, 1, &sink), kOk);
  EXPECT_FALSE(sink.Complete()) << "row 1 never came";
  OwnedBitmap palette;
  ASSERT_EQ(InitBitmap(&palette.record, kRecordSize, 4, 3, 8), kOk);
  EXPECT_EQ(CollectRow(nullptr, &palette.record, row, 3 | kRowFirst, 0, 1, &sink),
            kErrRowMismatch);
  EXPECT_EQ(CollectRow(nullptr, &bitmap.record, row, 3, 0, 1, nullptr), kErrMissing);
}

}  // namespace
}  // namespace svgtool
