// The command-line host's callbacks: pictures in and out, linked-file rule,
// row collection. Every test also runs under the kernel leak guard.
#include "tools/HostCallbacks.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdlib>
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
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < bitsPerPixel / 8; ++c)
        bitmap->Pixel(x, y)[c] = static_cast<std::uint8_t>(x * 40 + y * 70 + c * 13 + 5);
    }
  }
}

// Pixel bytes of two bitmaps of the same size and depth, padding ignored.
void ExpectSamePixels(OwnedBitmap& expected, OwnedBitmap& actual) {
  ASSERT_EQ(actual.record.width, expected.record.width);
  ASSERT_EQ(actual.record.height, expected.record.height);
  ASSERT_EQ(actual.record.bitsPerPixel, expected.record.bitsPerPixel);
  const std::size_t rowBytes =
      static_cast<std::size_t>(expected.record.width) * (expected.record.bitsPerPixel / 8);
  for (int y = 0; y < expected.record.height; ++y)
    EXPECT_EQ(std::memcmp(expected.Pixel(0, y), actual.Pixel(0, y), rowBytes), 0) << "row " << y;
}

Bytes ExportPng(const BitmapRecord& bitmap) {
  void* handle = nullptr;
  std::int32_t count = 0;
  EXPECT_EQ(ExportToMemory(&handle, &bitmap, kFormatPng, 0, 0, &count, 0), kOk);
  if (handle == nullptr) return {};
  Bytes png(static_cast<std::size_t>(count));
  const auto* locked = static_cast<const std::uint8_t*>(KernelLockMemory(handle));
  EXPECT_NE(locked, nullptr);
  if (locked != nullptr) std::memcpy(png.data(), locked, png.size());
  KernelUnlockMemory(handle);
  KernelFreeMemory(handle, __LINE__, u"tests/tools/HostCallbacksTest");
  return png;
}

std::int32_t LoadFromBytes(const Bytes& bytes, OwnedBitmap* bitmap) {
  return LoadRasterFromMemory(bytes.data(), &bitmap->record, kRecordSize, 0, 1,
                              static_cast<std::int32_t>(bytes.size()));
}

// --- pictures written here with the libraries themselves ---

struct TestPng {
  std::uint32_t width = 1;
  std::uint32_t height = 1;
  int colourType = PNG_COLOR_TYPE_RGB;
  int bitDepth = 8;
  int interlace = PNG_INTERLACE_NONE;
  Bytes rows{};  // packed rows, PNG order
  std::vector<png_color> palette{};
  Bytes transparency{};  // palette alphas
  int greyKey = -1;    // the transparent grey, when not negative
};

void AppendBytes(png_structp png, png_bytep data, png_size_t count) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + count);
}
void FlushNothing(png_structp) {}

// Encodes `picture`; leaves `out` empty on a libpng error.
void EncodeTestPng(const TestPng& picture, Bytes* out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    out->clear();
    return;
  }
  png_set_write_fn(png, out, AppendBytes, FlushNothing);
  png_set_IHDR(png, info, picture.width, picture.height, picture.bitDepth, picture.colourType,
               picture.interlace, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!picture.palette.empty())
    png_set_PLTE(png, info, picture.palette.data(), static_cast<int>(picture.palette.size()));
  if (!picture.transparency.empty())
    png_set_tRNS(png, info, picture.transparency.data(),
                 static_cast<int>(picture.transparency.size()), nullptr);
  if (picture.greyKey >= 0) {
    png_color_16 key{};
    key.gray = static_cast<png_uint_16>(picture.greyKey);
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  png_write_info(png, info);
  const int passes = png_set_interlace_handling(png);
  const std::size_t stride = picture.rows.size() / picture.height;
  for (int pass = 0; pass < passes; ++pass) {
    for (std::uint32_t y = 0; y < picture.height; ++y)
      png_write_row(png, picture.rows.data() + y * stride);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
}

Bytes PngOf(const TestPng& picture) {
  Bytes out;
  EncodeTestPng(picture, &out);
  return out;
}

Bytes JpegOf(int width, int height, J_COLOR_SPACE space, int components,
             std::vector<std::uint8_t> pixel, bool noisy = false) {
  return EncodeTestJpeg(width, height, space, components, std::move(pixel), noisy);
}

// Rewrites the IHDR size of a PNG and its checksum.
void SetPngSize(Bytes* png, std::uint32_t width, std::uint32_t height) {
  auto put = [&](std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) (*png)[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
  };
  put(16, width);  // signature 8, length 4, "IHDR" 4
  put(20, height);
  const uLong crc = crc32(0, png->data() + 12, 17);
  put(29, static_cast<std::uint32_t>(crc));
}

// --- decoding ---

TEST(LoadRasterFromMemory, DecodesEveryPngColourTypeAndDepth) {
  const struct {
    const char* name;
    TestPng picture;
    std::int32_t bitsPerPixel;
    Bytes firstPixel;  // B, G, R(, A)
    Bytes lastPixel;
  } cases[] = {
      {"grey 1-bit", {.width = 3, .colourType = PNG_COLOR_TYPE_GRAY, .bitDepth = 1,
                      .rows = {0b10100000}},
       24, {255, 255, 255}, {255, 255, 255}},
      {"grey 16-bit", {.width = 2, .colourType = PNG_COLOR_TYPE_GRAY, .bitDepth = 16,
                       .rows = {0xFF, 0xFF, 0x00, 0x00}},
       24, {255, 255, 255}, {0, 0, 0}},
      {"RGB 16-bit", {.width = 2, .bitDepth = 16,
                      .rows = {0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF}},
       24, {0, 0, 255}, {255, 0, 0}},
      {"palette 4-bit", {.width = 2, .colourType = PNG_COLOR_TYPE_PALETTE, .bitDepth = 4,
                         .rows = {0x10}, .palette = {{10, 20, 30}, {200, 100, 50}}},
       24, {50, 100, 200}, {30, 20, 10}},
      {"palette with alpha", {.width = 2, .colourType = PNG_COLOR_TYPE_PALETTE, .rows = {0, 1},
                              .palette = {{255, 0, 0}, {0, 0, 255}}, .transparency = {0x80}},
       32, {0, 0, 255, 0x80}, {255, 0, 0, 255}},
      {"grey and alpha", {.width = 2, .colourType = PNG_COLOR_TYPE_GRAY_ALPHA,
                          .rows = {50, 0, 200, 255}},
       32, {50, 50, 50, 0}, {200, 200, 200, 255}},
      {"grey with key", {.width = 2, .colourType = PNG_COLOR_TYPE_GRAY, .rows = {7, 9},
                         .greyKey = 7},
       32, {7, 7, 7, 0}, {9, 9, 9, 255}},
      {"RGBA", {.width = 2, .colourType = PNG_COLOR_TYPE_RGB_ALPHA, .rows = {1, 2, 3, 4, 5, 6, 7, 8}},
       32, {3, 2, 1, 4}, {7, 6, 5, 8}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes png = PngOf(c.picture);
    ASSERT_FALSE(png.empty());
    OwnedBitmap bitmap;
    ASSERT_EQ(LoadFromBytes(png, &bitmap), kOk);
    ASSERT_EQ(bitmap.record.bitsPerPixel, c.bitsPerPixel);
    ASSERT_EQ(bitmap.record.width, static_cast<std::int32_t>(c.picture.width));
    const std::size_t n = c.firstPixel.size();
    EXPECT_EQ(Bytes(bitmap.Pixel(0, 0), bitmap.Pixel(0, 0) + n), c.firstPixel);
    const int last = bitmap.record.width - 1;
    EXPECT_EQ(Bytes(bitmap.Pixel(last, 0), bitmap.Pixel(last, 0) + n), c.lastPixel);
  }
}

TEST(LoadRasterFromMemory, DecodesInterlacedPng) {
  TestPng picture{.width = 9, .height = 9, .interlace = PNG_INTERLACE_ADAM7};
  for (std::uint32_t y = 0; y < 9; ++y) {
    for (std::uint32_t x = 0; x < 9; ++x) picture.rows.insert(picture.rows.end(), {
          static_cast<std::uint8_t>(x * 20), static_cast<std::uint8_t>(y * 20),
          static_cast<std::uint8_t>(x + y)});
  }
  OwnedBitmap bitmap;
  ASSERT_EQ(LoadFromBytes(PngOf(picture), &bitmap), kOk);
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 9; ++x)
      EXPECT_EQ(bitmap.Rgb(x, y), (std::vector<int>{x * 20, y * 20, x + y})) << x << "," << y;
  }
}

TEST(LoadRasterFromMemory, DecodesJpegInEveryColourSpace) {
  const struct {
    const char* name;
    J_COLOR_SPACE space;
    int components;
    Bytes pixel;
    std::vector<int> rgb;
  } cases[] = {
      {"RGB", JCS_RGB, 3, {200, 100, 30}, {200, 100, 30}},
      {"grey", JCS_GRAYSCALE, 1, {90}, {90, 90, 90}},
      // Written with the Adobe marker, so stored values are inverted inks:
      // no cyan, full magenta and yellow, no black gives red.
      {"CMYK", JCS_CMYK, 4, {255, 0, 0, 255}, {255, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    OwnedBitmap bitmap;
    ASSERT_EQ(LoadFromBytes(JpegOf(17, 9, c.space, c.components, c.pixel), &bitmap), kOk);
    EXPECT_EQ(bitmap.record.width, 17);
    EXPECT_EQ(bitmap.record.height, 9);
    ASSERT_EQ(bitmap.record.bitsPerPixel, 24);
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{16, 8}, std::pair{8, 4}}) {
      for (int channel = 0; channel < 3; ++channel)
        EXPECT_NEAR(bitmap.Rgb(x, y)[channel], c.rgb[channel], 6) << x << "," << y << " " << channel;
    }
  }
  OwnedBitmap bitmap;  // the variant the info request calls
  const Bytes jpeg = JpegOf(5, 3, JCS_RGB, 3, {0, 0, 0});
  ASSERT_EQ(InfoLoadRasterFromMemory(jpeg.data(), &bitmap.record, kRecordSize, 0, 1,
                                     static_cast<std::int32_t>(jpeg.size()), 0, 0),
            kOk);
  EXPECT_EQ(bitmap.record.width, 5);
  EXPECT_EQ(bitmap.record.height, 3);
}

TEST(LoadRasterFromMemory, RefusesBrokenOrOversizedDataAndRunsOutOfMemoryCleanly) {
  OwnedBitmap source;
  FillPattern(&source, 20, 20, 24);
  const Bytes png = ExportPng(source.record);
  const Bytes jpeg = JpegOf(64, 64, JCS_RGB, 3, {10, 20, 30}, true);
  Bytes corruptPng = png;
  corruptPng[corruptPng.size() / 2 + 20] ^= 0xFF;  // inside IDAT: checksum fails
  Bytes noise(500);
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i * 7919 + 13);
  Bytes wide = PngOf(TestPng{.rows = {1, 2, 3}});
  Bytes tall = wide;
  Bytes huge = wide;
  SetPngSize(&wide, kMaxPictureSide + 1, 1);
  SetPngSize(&tall, 1, kMaxPictureSide + 1);
  SetPngSize(&huge, kMaxPictureSide, kMaxPictureSide);
  Bytes hugeJpeg = JpegOf(8, 8, JCS_RGB, 3, {1, 2, 3});
  for (std::size_t i = 2; i + 8 < hugeJpeg.size(); ++i) {
    if (hugeJpeg[i] == 0xFF && hugeJpeg[i + 1] == 0xC0) {  // frame header: 20000 x 20000
      hugeJpeg[i + 5] = hugeJpeg[i + 7] = 20000 >> 8;
      hugeJpeg[i + 6] = hugeJpeg[i + 8] = 20000 & 0xFF;
      break;
    }
  }
  const struct {
    const char* name;
    Bytes bytes;
    svgflt::Status expected;
    int failAllocation = 0;
  } cases[] = {
      {"PNG cut in half", Bytes(png.begin(), png.begin() + png.size() / 2), kErrPictureCorrupt},
      {"PNG signature only", Bytes(png.begin(), png.begin() + 8), kErrPictureCorrupt},
      {"PNG with a flipped byte", corruptPng, kErrPictureCorrupt},
      {"JPEG cut in its picture data", Bytes(jpeg.begin(), jpeg.begin() + jpeg.size() * 3 / 4),
       kErrPictureCorrupt},
      {"JPEG cut in its headers", Bytes(jpeg.begin(), jpeg.begin() + 100), kErrPictureCorrupt},
      {"JPEG start only", Bytes(jpeg.begin(), jpeg.begin() + 3), kErrPictureCorrupt},
      {"random bytes", noise, kErrPictureFormat},
      {"two bytes", Bytes{0xFF, 0xD8}, kErrPictureFormat},
      {"PNG too wide", wide, kErrPictureTooLarge},
      {"PNG too tall", tall, kErrPictureTooLarge},
      {"PNG of too many pixels", huge, kErrPictureTooLarge},
      {"JPEG of too many pixels", hugeJpeg, kErrPictureTooLarge},
      {"PNG without memory", png, kErrNoMemory, 1},
      {"JPEG without memory", jpeg, kErrNoMemory, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    OwnedBitmap bitmap;
    KernelFailAllocation(c.failAllocation);
    EXPECT_EQ(LoadFromBytes(c.bytes, &bitmap), c.expected);
    KernelFailAllocation(0);
    EXPECT_EQ(bitmap.record.bits, nullptr);
  }
  OwnedBitmap bitmap;
  EXPECT_EQ(LoadRasterFromMemory(nullptr, &bitmap.record, kRecordSize, 0, 1, 10), kErrMissing);
  EXPECT_EQ(LoadRasterFromMemory(png.data(), &bitmap.record, kRecordSize, 0, 1, -1), kErrMissing);
}

// --- encoding ---

TEST(ExportToMemory, RoundTripsEveryPixelDepthAndPalettes) {
  for (const int depth : {24, 32}) {
    SCOPED_TRACE(depth);
    OwnedBitmap source;
    FillPattern(&source, 7, 5, depth);  // 7 pixels: rows carry padding at 24 bits
    OwnedBitmap back;
    ASSERT_EQ(LoadFromBytes(ExportPng(source.record), &back), kOk);
    ExpectSamePixels(source, back);
  }
  OwnedBitmap source;
  ASSERT_EQ(InitBitmap(&source.record, kRecordSize, 3, 1, 8), kOk);
  ASSERT_EQ(AllocateBitmap(&source.record, 1), kOk);
  const std::uint32_t palette[3] = {0x000000FF, 0x0000FF00, 0x00FF0000};  // red, green, blue
  ASSERT_EQ(SetBitmapPalette(&source.record, 3, palette), kOk);
  source.record.bits[0] = 2;
  source.record.bits[1] = 0;
  source.record.bits[2] = 1;
  OwnedBitmap back;
  ASSERT_EQ(LoadFromBytes(ExportPng(source.record), &back), kOk);
  ASSERT_EQ(back.record.bitsPerPixel, 24);
  EXPECT_EQ(Bytes(back.Pixel(0, 0), back.Pixel(0, 0) + 9), (Bytes{255, 0, 0, 0, 0, 255, 0, 255, 0}));
}

TEST(ExportToMemory, RefusesWhatItCannotWrite) {
  OwnedBitmap source;
  FillPattern(&source, 2, 2, 24);
  void* handle = nullptr;
  std::int32_t count = -5;
  EXPECT_EQ(ExportToMemory(&handle, &source.record, kFormatPng + 1, 0, 0, &count, 0),
            kErrExportFormat);
  BitmapRecord empty{};
  ASSERT_EQ(InitBitmap(&empty, kRecordSize, 2, 2, 24), kOk);
  EXPECT_EQ(ExportToMemory(&handle, &empty, kFormatPng, 0, 0, &count, 0), kErrMissing);
  EXPECT_EQ(ExportToMemory(nullptr, &source.record, kFormatPng, 0, 0, &count, 0), kErrMissing);
  KernelFailAllocation(1);
  EXPECT_EQ(ExportToMemory(&handle, &source.record, kFormatPng, 0, 0, &count, 0), kErrNoMemory);
  KernelFailAllocation(0);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(count, -5);
}

TEST(ExportToFile, WritesTwentyFourBitPngsOrSaysWhyNot) {
  svgtest::TempFolder folder;
  const std::string path = folder.Path("out.png");
  const std::u16string name = ToUtf16(path);
  OwnedBitmap source;
  FillPattern(&source, 2, 2, 24);
  const std::u16string nowhere = ToUtf16(folder.Path("no/such/folder/out.png"));
  EXPECT_EQ(ExportToFile(nowhere.c_str(), &source.record, kFormatPng, 24, 0, 0), kErrFileWrite);
  EXPECT_EQ(ExportToFile(name.c_str(), &source.record, kFormatPng, 16, 0, 0), kErrExportFormat);
  EXPECT_EQ(ExportToFile(name.c_str(), &source.record, 76, 24, 0, 0), kErrExportFormat);
  EXPECT_FALSE(std::filesystem::exists(path));
  for (const int depth : {24, 32}) {
    SCOPED_TRACE(depth);
    OwnedBitmap pattern;
    FillPattern(&pattern, 6, 4, depth);
    ASSERT_EQ(ExportToFile(name.c_str(), &pattern.record, kFormatPng, 24, 0, 0), kOk);
    OwnedBitmap back;
    ASSERT_EQ(ReadPicture(path, &back), kOk);
    ASSERT_EQ(back.record.bitsPerPixel, 24);  // alpha left behind
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 6; ++x)
        EXPECT_EQ(std::memcmp(pattern.Pixel(x, y), back.Pixel(x, y), 3), 0) << x << "," << y;
    }
  }
}

// --- linked files ---

class LinkedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    OwnedBitmap picture;
    FillPattern(&picture, 3, 2, 24);
    png_ = ExportPng(picture.record);
    const std::string bytes(png_.begin(), png_.end());
    for (const char* sub : {"doc/sub", "other", "doc2"}) fs::create_directories(folder_.Path(sub));
    for (const char* name : {"doc/a.png", "doc/sub/b.png", "other/c.png", "doc2/d.png"})
      folder_.Write(name, bytes);
    fs::create_symlink("../other/c.png", folder_.Path("doc/link.png"));
    fs::create_symlink("../other", folder_.Path("doc/way-out"));
    folder_.Write("doc/notes.png", "just some text, not a picture");
    folder_.Write("doc/empty.png", "");
    folder_.Write("doc/cut.png", std::string(png_.begin(), png_.begin() + png_.size() / 2));
  }
  void TearDown() override { SetLinkedFileBase("", false); }

  std::int32_t Load(const std::string& name) {
    const std::u16string wide = ToUtf16(name);
    OwnedBitmap bitmap;
    const std::int32_t status =
        LoadRasterFromFile(wide.c_str(), &bitmap.record, kRecordSize, 0, 1, 0, 0);
    EXPECT_EQ(status == kOk, bitmap.record.bits != nullptr);
    return status;
  }

  svgtest::TempFolder folder_;
  Bytes png_;
};

TEST_F(LinkedFiles, StayWithinTheDocumentFolderUnlessAllowedAnywhere) {
  const struct {
    std::string name;
    svgflt::Status inFolder, anywhere;
  } cases[] = {
      {"a.png", kOk, kOk},
      {"sub/b.png", kOk, kOk},
      {"sub/../a.png", kOk, kOk},
      {"./sub/./b.png", kOk, kOk},
      {folder_.Path("doc/sub/b.png"), kOk, kOk},
      {"../other/c.png", kErrFileRefused, kOk},
      {"sub/../../other/c.png", kErrFileRefused, kOk},
      {"../doc2/d.png", kErrFileRefused, kOk},  // shares the folder name's beginning
      {folder_.Path("other/c.png"), kErrFileRefused, kOk},
      {"link.png", kErrFileRefused, kOk},
      {"way-out/c.png", kErrFileRefused, kOk},
      {"missing.png", kErrFileMissing, kErrFileMissing},
      {"../other/missing.png", kErrFileMissing, kErrFileMissing},
      {"sub", kErrFileMissing, kErrFileMissing},
      {"", kErrFileMissing, kErrFileMissing},
      {"notes.png", kErrPictureFormat, kErrPictureFormat},
      {"empty.png", kErrPictureFormat, kErrPictureFormat},
      {"cut.png", kErrPictureCorrupt, kErrPictureCorrupt},
  };
  for (const bool anywhere : {false, true}) {
    SetLinkedFileBase(folder_.Path("doc"), anywhere);
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name + (anywhere ? " from anywhere" : " in the folder"));
      EXPECT_EQ(Load(c.name), anywhere ? c.anywhere : c.inFolder);
    }
  }
  BitmapRecord bitmap{};
  EXPECT_EQ(LoadRasterFromFile(nullptr, &bitmap, kRecordSize, 0, 1, 0, 0), kErrMissing);
}

// --- rows ---

// Delivers the rows of `bitmap` as the filter does: flags 3, plus 4 on the
// first and 8 on the last row.
std::int32_t DeliverRows(OwnedBitmap& bitmap, RowSink* sink) {
  Bytes row(static_cast<std::size_t>(bitmap.record.bytesPerRow));
  std::int32_t status = kOk;
  for (int y = 0; y < bitmap.record.height && status == kOk; ++y) {
    std::memcpy(row.data(), bitmap.Pixel(0, y), row.size());
    const std::int32_t flags =
        3 | (y == 0 ? kRowFirst : 0) | (y == bitmap.record.height - 1 ? kRowLast : 0);
    status = CollectRow(nullptr, &bitmap.record, row.data(), flags, y, 1, sink);
  }
  return status;
}

TEST(CollectRow, AssemblesDeliveredRowsAsRgb) {
  for (const int depth : {24, 32}) {
    for (const int height : {1, 2, 5}) {
      SCOPED_TRACE(std::to_string(depth) + " bits, height " + std::to_string(height));
      OwnedBitmap bitmap;
      FillPattern(&bitmap, 5, height, depth);
      RowSink sink;
      ASSERT_EQ(DeliverRows(bitmap, &sink), kOk);
      ASSERT_TRUE(sink.Complete());
      ASSERT_EQ(sink.width, 5);
      ASSERT_EQ(sink.height, height);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < 5; ++x) {
          const std::uint8_t* out = sink.rgb.data() + (static_cast<std::size_t>(y) * 5 + x) * 3;
          EXPECT_EQ(std::vector<int>(out, out + 3), bitmap.Rgb(x, y)) << x << "," << y;
        }
      }
    }
  }
}

TEST(CollectRow, RefusesRowsThatDoNotFit) {
  OwnedBitmap bitmap;
  FillPattern(&bitmap, 4, 3, 24);
  Bytes row(static_cast<std::size_t>(bitmap.record.bytesPerRow));
  RowSink sink;
  EXPECT_EQ(CollectRow(nullptr, &bitmap.record, row.data(), 3, 0, 1, &sink), kErrRowMismatch)
      << "a row before the first";
  ASSERT_EQ(CollectRow(nullptr, &bitmap.record, row.data(), 3 | kRowFirst, 0, 1, &sink), kOk);
  for (const std::int32_t rowNumber : {-1, 3, 100}) {
    EXPECT_EQ(CollectRow(nullptr, &bitmap.record, row.data(), 3, rowNumber, 1, &sink),
              kErrRowMismatch) << rowNumber;
  }
  EXPECT_EQ(CollectRow(nullptr, &bitmap.record, row.data(), 3, 2, 2, &sink), kErrRowMismatch);
  EXPECT_EQ(CollectRow(nullptr, &bitmap.record, row.data(), 3 | kRowLast, 2, 1, &sink), kOk);
  EXPECT_FALSE(sink.Complete()) << "row 1 never came";
  OwnedBitmap palette;
  ASSERT_EQ(InitBitmap(&palette.record, kRecordSize, 4, 3, 8), kOk);
  EXPECT_EQ(CollectRow(nullptr, &palette.record, row.data(), 3 | kRowFirst, 0, 1, &sink),
            kErrRowMismatch);
  EXPECT_EQ(CollectRow(nullptr, &bitmap.record, row.data(), 3, 0, 1, nullptr), kErrMissing);
}

TEST(WriteRgbPng, WritesTheAssembledRaster) {
  svgtest::TempFolder folder;
  OwnedBitmap bitmap;
  FillPattern(&bitmap, 9, 4, 24);
  RowSink sink;
  ASSERT_EQ(DeliverRows(bitmap, &sink), kOk);
  const std::string path = folder.Path("raster.png");
  ASSERT_EQ(WriteRgbPng(path, sink.width, sink.height, sink.rgb), kOk);
  OwnedBitmap back;
  ASSERT_EQ(ReadPicture(path, &back), kOk);
  ExpectSamePixels(bitmap, back);
  EXPECT_EQ(WriteRgbPng(folder.Path("none/raster.png"), sink.width, sink.height, sink.rgb),
            kErrFileWrite);
  EXPECT_EQ(WriteRgbPng(path, 10, 10, sink.rgb), kErrMissing) << "fewer bytes than pixels";
}

TEST(HostStatusName, NamesEachHostCodeAndPassesOthersOn) {
  for (const Status code : {kErrPictureFormat, kErrPictureCorrupt, kErrPictureTooLarge,
                            kErrFileRefused, kErrFileMissing, kErrFileWrite, kErrExportFormat,
                            kErrRowMismatch}) {
    EXPECT_STRNE(HostStatusName(code), svgflt::StatusName(code)) << code;
  }
  EXPECT_STREQ(HostStatusName(svgflt::kErrNotSvg), svgflt::StatusName(svgflt::kErrNotSvg));
}

}  // namespace
}  // namespace svgtool
