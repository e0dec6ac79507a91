// Embedded and linked images to raster objects, with the command-line
// host's picture loaders as the host callbacks.
#include "Common/VectorImage.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "Common/VectorConvertFixture.h"
#include "support/TestJpeg.h"
#include "tools/HostCallbacks.h"

namespace svgflt::testing {
namespace {

using Bytes = std::vector<uint8_t>;

std::string Svg(std::string_view body) {
  return std::string(
             "<svg xmlns=\"http://www.w3.org/2000/svg\" "
             "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"400\" height=\"200\">") +
         std::string(body) + "</svg>";
}

std::string Base64(const Bytes& bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t v = static_cast<uint32_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<uint32_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) v |= bytes[i + 2];
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[v & 63] : '=';
  }
  return out;
}

// A PNG of one colour, 24 or 32 bits per pixel, made by the host's encoder.
Bytes PngOf(int32_t width, int32_t height, int32_t bitsPerPixel) {
  BitmapRecord bitmap{};
  EXPECT_EQ(InitBitmap(&bitmap, static_cast<int32_t>(sizeof(bitmap)), width, height,
                       bitsPerPixel),
            kOk);
  EXPECT_EQ(AllocateBitmap(&bitmap, 1), kOk);
  for (int32_t i = 0; i < bitmap.imageSize; ++i) bitmap.bits[i] = static_cast<uint8_t>(i * 7);
  Bytes png;
  EXPECT_EQ(svgtool::EncodePng(&bitmap, 0, &png), kOk);
  (void)FreeBitmap(&bitmap);
  return png;
}

Bytes JpegOf(int width, int height) {
  return EncodeTestJpeg(width, height, JCS_RGB, 3, {200, 200, 200});
}

std::string DataImage(const char* type, const Bytes& bytes, const char* geometry) {
  return std::string("<image ") + geometry + " xlink:href=\"data:" + type + ";base64," +
         Base64(bytes) + "\"/>";
}

class VectorImage : public VectorConvert {
 protected:
  void SetUp() override {
    VectorConvert::SetUp();
    std::memset(static_cast<void*>(&load_), 0, sizeof(load_));
    load_.loadFromMemory = svgtool::LoadRasterFromMemory;
    load_.loadFromFile = svgtool::LoadRasterFromFile;
    std::memset(static_cast<void*>(&info_), 0, sizeof(info_));
    info_.loadFromMemory = svgtool::InfoLoadRasterFromMemory;
    folder_ = ::testing::TempDir() + "vectorimage_" + std::to_string(::getpid());
    (void)std::system(("mkdir -p '" + folder_ + "/inside' '" + folder_ + "/outside'").c_str());
    svgtool::SetLinkedFileBase(folder_ + "/inside", false);
  }
  void TearDown() override {
    (void)std::system(("rm -rf '" + folder_ + "'").c_str());
    VectorConvert::TearDown();
  }
  // Loads and converts with the LoadRequest (or the InfoRequest).
  Status ConvertWith(std::string_view body, bool duringInfo = false) {
    const Status loaded = Load(Svg(body));
    EXPECT_EQ(loaded, kOk) << StatusName(loaded);
    if (loaded != kOk) return loaded;
    NewVector();
    const Status status = duringInfo ? ConvertDocument(&vector_, *document_, &info_, nullptr)
                                     : ConvertDocument(&vector_, *document_, nullptr, &load_);
    Enumerate();
    return status;
  }
  std::string WriteFile(const std::string& name, const Bytes& bytes) {
    const std::string path = folder_ + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  LoadRequest load_;
  InfoRequest info_;
  std::string folder_;
};

// --- embedded pictures -----------------------------------------------------------

TEST_F(VectorImage, PlacementFollowsTheElementGeometry) {
  const struct {
    const char* before;
    const char* geometry;
    const char* after;
    double x1, y1, x2, y2;
  } cases[] = {
      {"", "x=\"10\" y=\"20\" width=\"30\" height=\"40\"", "", 10, -20, 40, -60},
      {"", "x=\"0\" y=\"0\" width=\"100\" height=\"50\" transform=\"translate(5,6)\"", "", 5,
       -6, 105, -56},
      {"", "x=\"0\" y=\"0\" width=\"100\" height=\"50\" transform=\"scale(2,3)\"", "", 0, 0,
       200, -150},
      {"<defs>", "id=\"i\" x=\"10\" y=\"20\" width=\"30\" height=\"40\"",
       "</defs><use xlink:href=\"#i\" x=\"5\" transform=\"scale(2)\"/>", 30, -40, 90, -120},
      // The square picture keeps its proportions: fitted in, or filling the box.
      {"", "width=\"100\" height=\"50\" preserveAspectRatio=\"xMidYMid\"", "", 25, 0, 75, -50},
      {"", "width=\"100\" height=\"50\" preserveAspectRatio=\"xMaxYMin meet\"", "", 50, 0, 100,
       -50},
      {"", "width=\"100\" height=\"50\" preserveAspectRatio=\"xMinYMax slice\"", "", 0, 50,
       100, -50},
  };
  const Bytes png = PngOf(2, 2, 24);
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.before << c.geometry << c.after);
    const std::string geometry = std::string(c.geometry).find("preserve") == std::string::npos
                                     ? std::string(c.geometry) + " preserveAspectRatio=\"none\""
                                     : std::string(c.geometry);
    ASSERT_EQ(ConvertWith(c.before + DataImage("image/png", png, geometry.c_str()) + c.after), kOk);
    // Only a slice is clipped to the element's box.
    EXPECT_EQ(OfType(kVoClip).size(), geometry.find("slice") != std::string::npos ? 1u : 0u);
    const auto rasters = OfType(kVoRaster);
    ASSERT_EQ(rasters.size(), 1u);
    StoredObject o(&vector_, rasters[0]);
    EXPECT_DOUBLE_EQ(o->raster.corner1.x, c.x1);
    EXPECT_DOUBLE_EQ(o->raster.corner1.y, c.y1);
    EXPECT_DOUBLE_EQ(o->raster.corner2.x, c.x2);
    EXPECT_DOUBLE_EQ(o->raster.corner2.y, c.y2);
  }
}

// Pictures of each kind and depth, during a load and during info.
TEST_F(VectorImage, EmbeddedPicturesLoadThroughTheHost) {
  const struct {
    const char* what;
    std::string image;
    bool duringInfo;
    int32_t width, height, bitsPerPixel;
  } cases[] = {
      {"24-bit png", DataImage("image/png", PngOf(6, 4, 24), "width=\"10\" height=\"10\""),
       false, 6, 4, 24},
      {"32-bit png", DataImage("image/png", PngOf(3, 3, 32), "width=\"10\" height=\"10\""),
       false, 3, 3, 32},
      {"jpeg", DataImage("image/jpeg", JpegOf(9, 5), "width=\"90\" height=\"50\""), false, 9, 5,
       24},
      {"png during info", DataImage("image/png", PngOf(2, 2, 24), "width=\"10\" height=\"10\""),
       true, 2, 2, 24},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(ConvertWith(c.image, c.duringInfo), kOk);
    const auto rasters = OfType(kVoRaster);
    ASSERT_EQ(rasters.size(), 1u);
    StoredObject o(&vector_, rasters[0]);
    EXPECT_EQ(o->raster.bitmap.width, c.width);
    EXPECT_EQ(o->raster.bitmap.height, c.height);
    EXPECT_EQ(o->raster.bitmap.bitsPerPixel, c.bitsPerPixel);
    EXPECT_EQ(o->raster.value58, 220);
    // A 32-bit picture sets the alpha flag.
    EXPECT_EQ(o->raster.h.flags & kVoFlagAlpha, c.bitsPerPixel == 32 ? static_cast<uint32_t>(kVoFlagAlpha) : 0u);
  }
}

TEST_F(VectorImage, DataTheHostCannotDecodeEndsTheConversionWithItsCode) {
  const Bytes notAPicture = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'};
  EXPECT_EQ(ConvertWith(DataImage("image/png", notAPicture, "width=\"10\" height=\"10\"")),
            svgtool::kErrPictureFormat);
  EXPECT_TRUE(OfType(kVoRaster).empty());
  Bytes truncated = PngOf(8, 8, 24);
  truncated.resize(truncated.size() / 2);
  EXPECT_EQ(ConvertWith(DataImage("image/png", truncated, "width=\"10\" height=\"10\"")),
            svgtool::kErrPictureCorrupt);
}

TEST_F(VectorImage, WithoutHostCallbacksThePictureIsLeftOut) {
  ASSERT_EQ(Convert(Svg(DataImage("image/png", PngOf(2, 2, 24), "width=\"10\" height=\"10\""))),
            kOk);
  EXPECT_TRUE(OfType(kVoRaster).empty());
}

// --- linked files -------------------------------------------------------------------

TEST_F(VectorImage, LinkedFileLoadsThroughTheHost) {
  const std::string path = WriteFile("inside/picture.png", PngOf(5, 7, 24));
  ASSERT_EQ(ConvertWith("<image x=\"1\" y=\"2\" width=\"50\" height=\"70\" xlink:href=\"" + path +
                        "\"/>"),
            kOk);
  const auto rasters = OfType(kVoRaster);
  ASSERT_EQ(rasters.size(), 1u);
  StoredObject o(&vector_, rasters[0]);
  EXPECT_EQ(o->raster.bitmap.width, 5);
  EXPECT_EQ(o->raster.bitmap.height, 7);
  EXPECT_DOUBLE_EQ(o->raster.corner2.y, -72.0);
}

TEST_F(VectorImage, UnusableLinkedFilesAreLeftOutAndTheConversionGoesOn) {
  WriteFile("inside/broken.png", {'x', 'y', 'z'});
  const std::string refused = WriteFile("outside/picture.png", PngOf(2, 2, 24));
  const struct {
    const char* what;
    std::string href;
  } cases[] = {
      {"missing", folder_ + "/inside/none.png"},
      {"outside the document's folder", refused},
      {"not a picture", folder_ + "/inside/broken.png"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(ConvertWith("<image width=\"10\" height=\"10\" xlink:href=\"" + c.href +
                          "\"/><rect width=\"5\" height=\"5\"/>"),
              kOk);
    EXPECT_TRUE(OfType(kVoRaster).empty());
    EXPECT_EQ(OfType(kVoRect).size(), 1u);
  }
}

TEST_F(VectorImage, LinkedFileIsLeftOutDuringInfo) {
  const std::string path = WriteFile("inside/picture.png", PngOf(2, 2, 24));
  ASSERT_EQ(ConvertWith("<image width=\"10\" height=\"10\" xlink:href=\"" + path + "\"/>", true),
            kOk);
  EXPECT_TRUE(OfType(kVoRaster).empty());
}

// --- rotation -------------------------------------------------------------------------

TEST_F(VectorImage, RotatedImageIsTurnedByTheKernel) {
  ASSERT_EQ(ConvertWith(DataImage("image/png", PngOf(2, 2, 24),
                                  "x=\"0\" y=\"0\" width=\"100\" height=\"50\" "
                                  "transform=\"rotate(30)\" preserveAspectRatio=\"none\"")),
            kOk);
  const auto rasters = OfType(kVoRaster);
  ASSERT_EQ(rasters.size(), 1u);
  // The turned box of the picture: corners (0, 0), (86.6, 50), (61.6, 93.3)
  // and (-25, 43.3) in SVG space.
  KernelPoint lower{};
  KernelPoint upper{};
  ASSERT_EQ(VectorGetObjectExtent(&vector_, rasters[0].id, &lower, &upper), kVkOk);
  const double c = std::cos(M_PI / 6.0);
  // Angles pass through single precision on the way: a tolerance of 1e-4.
  EXPECT_NEAR(lower.x, -25.0, 1e-4);
  EXPECT_NEAR(upper.x, 100.0 * c, 1e-4);
  EXPECT_NEAR(lower.y, -(50.0 + 50.0 * c), 1e-4);
  EXPECT_NEAR(upper.y, 0.0, 1e-4);
  // The stored box is the unturned picture, scaled, about the turned centre.
  StoredObject o(&vector_, rasters[0]);
  EXPECT_NEAR(o->raster.corner2.x - o->raster.corner1.x, 100.0, 1e-4);
  EXPECT_NEAR(o->raster.corner1.y - o->raster.corner2.y, 50.0, 1e-4);
}

TEST_F(VectorImage, RotationAboutACentreKeepsThatCentre) {
  ASSERT_EQ(ConvertWith(DataImage("image/png", PngOf(2, 2, 24),
                                  "x=\"0\" y=\"0\" width=\"100\" height=\"50\" "
                                  "transform=\"rotate(90 50 25)\" preserveAspectRatio=\"none\"")),
            kOk);
  const auto rasters = OfType(kVoRaster);
  ASSERT_EQ(rasters.size(), 1u);
  StoredObject o(&vector_, rasters[0]);
  EXPECT_NEAR(o->raster.corner1.x, 0.0, 1e-4);
  EXPECT_NEAR(o->raster.corner1.y, 0.0, 1e-4);
  EXPECT_NEAR(o->raster.corner2.x, 100.0, 1e-4);
  EXPECT_NEAR(o->raster.corner2.y, -50.0, 1e-4);
  KernelPoint lower{};
  KernelPoint upper{};
  ASSERT_EQ(VectorGetObjectExtent(&vector_, rasters[0].id, &lower, &upper), kVkOk);
  EXPECT_NEAR(lower.x, 25.0, 1e-4);
  EXPECT_NEAR(upper.x, 75.0, 1e-4);
  EXPECT_NEAR(lower.y, -75.0, 1e-4);
  EXPECT_NEAR(upper.y, 25.0, 1e-4);
}

TEST(RasterRotation, GivesTheKernelAngleOfAPureRotation) {
  const struct {
    double degrees;
    double scale;
    double expected;
  } cases[] = {
      {30, 1, -30}, {120, 1, 240}, {210, 1, 150}, {-30, 1, 30}, {30, 2, -30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.degrees);
    const double r = c.degrees * M_PI / 180.0;
    const SvgMatrix m{c.scale * std::cos(r), c.scale * std::sin(r), -c.scale * std::sin(r),
                      c.scale * std::cos(r), 7, 8};
    // Degrees per radian are 57.295780490442965 here, a little above 180/pi.
    EXPECT_NEAR(RasterRotation(m), c.expected, 1e-5);
  }
  EXPECT_EQ(RasterRotation(SvgMatrix{2, 0, 0, 3, 0, 0}), 0.0);
  EXPECT_EQ(RasterRotation(SvgMatrix{-1, 0, 0, -1, 0, 0}), 0.0);
  EXPECT_EQ(RasterRotation(SvgMatrix{1, 0.5, 0, 1, 0, 0}), 0.0);
}

// --- failures ------------------------------------------------------------------------

TEST_F(VectorImage, EveryAllocationFailureEndsTheConversionWithoutLeaks) {
  const std::string svg =
      Svg(DataImage("image/png", PngOf(4, 4, 32), "width=\"10\" height=\"10\"") +
          "<text x=\"1\" y=\"2\">a<tspan>b</tspan></text>" +
          DataImage("image/jpeg", JpegOf(4, 4), "x=\"20\" width=\"10\" height=\"10\""));
  ASSERT_EQ(Load(svg), kOk);
  int64_t n = 1;
  for (; n < 500; ++n) {
    SCOPED_TRACE(n);
    NewVector();
    KernelFailAllocation(n);
    const Status status = ConvertDocument(&vector_, *document_, nullptr, &load_);
    KernelFailAllocation(0);
    if (status == kOk) break;
    EXPECT_EQ(status, kErrNoMemory);
  }
  EXPECT_GT(n, 4);
  EXPECT_LT(n, 500);
  Enumerate();
  EXPECT_EQ(OfType(kVoRaster).size(), 2u);
  EXPECT_EQ(OfType(kVoText).size(), 2u);
}

}  // namespace
}  // namespace svgflt::testing
