// Embedded and linked images to raster objects, with the command-line
// host's picture loaders as the host callbacks.
#include "Common/VectorImage.h"

#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "Common/VectorConvertFixture.h"
#include "Module/TempFiles.h"
#include "support/TestJpeg.h"
#include "tools/HostCallbacks.h"

namespace svgflt::testing {
namespace {

using Bytes = std::vector<uint8_t>;

// A PNG of 24 or 32 bits per pixel, made by the host's encoder.
Bytes PngOf(int32_t width, int32_t height, int32_t bitsPerPixel = 24) {
  BitmapRecord bitmap{};
  EXPECT_EQ(InitBitmap(&bitmap, static_cast<int32_t>(sizeof(bitmap)), width, height, bitsPerPixel), kOk);
  EXPECT_EQ(AllocateBitmap(&bitmap, 1), kOk);
  for (int32_t i = 0; i < bitmap.imageSize; ++i) bitmap.bits[i] = static_cast<uint8_t>(i * 7);
  Bytes png;
  EXPECT_EQ(svgtool::EncodePng(&bitmap, 0, &png), kOk);
  (void)FreeBitmap(&bitmap);
  return png;
}

std::string DataImage(const Bytes& bytes, const std::string& geometry, const char* type = "image/png") {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out = "<image " + geometry + " xlink:href=\"data:" + type + ";base64,";
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    const uint32_t v = (bytes[i] << 16) | (left > 1 ? bytes[i + 1] << 8 : 0) | (left > 2 ? bytes[i + 2] : 0);
    for (std::size_t k = 0; k < 4; ++k) out += k <= left ? kAlphabet[(v >> (18 - 6 * k)) & 63] : '=';
  }
  return out + "\"/>";
}

class VectorImage : public VectorConvert {
 protected:
  void SetUp() override {
    VectorConvert::SetUp();
    load_.loadFromMemory = svgtool::LoadRasterFromMemory;
    load_.loadFromFile = svgtool::LoadRasterFromFile;
    info_.loadFromMemory = svgtool::InfoLoadRasterFromMemory;
    std::filesystem::create_directory(folder_.Path("inside"));
    std::filesystem::create_directory(folder_.Path("outside"));
    svgtool::SetLinkedFileBase(folder_.Path("inside"), false);
  }
  // Loads and converts with the LoadRequest (or the InfoRequest).
  Status ConvertWith(std::string_view body, bool duringInfo = false) {
    EXPECT_EQ(Load("<svg xmlns:xlink=\"http://www.w3.org/1999/xlink\">" + std::string(body) + "</svg>"), kOk);
    NewVector();
    const Status status = duringInfo ? ConvertDocument(&vector_, *document_, &info_, nullptr)
                                     : ConvertDocument(&vector_, *document_, nullptr, &load_);
    Enumerate();
    return status;
  }
  std::string WriteFile(const std::string& name, const Bytes& bytes) {
    return folder_.Write(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }

  LoadRequest load_{};
  InfoRequest info_{};
  svgtest::TempFolder folder_;
};

// The stored corners, and for turned pictures the extent: a turned picture
// keeps its unturned box, scaled, about the turned centre, and the kernel
// turns it.
TEST_F(VectorImage, PlacementFollowsTheElementGeometry) {
  const double c30 = std::cos(M_PI / 6.0);
  const struct {
    const char *before, *geometry, *after;
    double box[8];  // x1, y1, x2, y2, then the extent's lower x, y and upper x, y
  } cases[] = {
      {"", "x='10' y='20' width='30' height='40' preserveAspectRatio='none'", "", {10, -20, 40, -60}},
      {"<defs>", "id='i' x='10' y='20' width='30' height='40' preserveAspectRatio='none'",
       "</defs><use xlink:href='#i' x='5' transform='scale(2)'/>", {30, -40, 90, -120}},
      // The square picture keeps its proportions: fitted in, or filling the box.
      {"", "width='100' height='50' preserveAspectRatio='xMaxYMin meet'", "", {50, 0, 100, -50}},
      {"", "width='100' height='50' preserveAspectRatio='xMinYMax slice'", "", {0, 50, 100, -50}},
      // Turned corners (0, 0), (86.6, 50), (61.6, 93.3) and (-25, 43.3).
      {"", "width='100' height='50' transform='rotate(30)' preserveAspectRatio='none'", "",
       {30.8 - 50, -46.65 + 25, 30.8 + 50, -46.65 - 25, -25, -(50 + 50 * c30), 100 * c30, 0}},
      {"", "width='100' height='50' transform='rotate(90 50 25)' preserveAspectRatio='none'", "",
       {0, 0, 100, -50, 25, -75, 75, 25}},
  };
  const Bytes png = PngOf(2, 2);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.geometry);
    ASSERT_EQ(ConvertWith(c.before + DataImage(png, c.geometry) + c.after), kOk);
    // Only a slice is clipped to the element's box.
    EXPECT_EQ(OfType(kVoClip).size(), std::strstr(c.geometry, "slice") != nullptr ? 1u : 0u);
    ASSERT_EQ(OfType(kVoRaster).size(), 1u);
    StoredObject o(&vector_, OfType(kVoRaster)[0]);
    KernelPoint lower{}, upper{};
    ASSERT_EQ(VectorGetObjectExtent(&vector_, OfType(kVoRaster)[0].id, &lower, &upper), kVkOk);
    const double got[8] = {o->raster.corner1.x, o->raster.corner1.y, o->raster.corner2.x,
                           o->raster.corner2.y, lower.x, lower.y, upper.x, upper.y};
    // Angles pass through single precision on the way.
    for (int i = 0; i < (c.box[6] != 0 ? 8 : 4); ++i) EXPECT_NEAR(got[i], c.box[i], 0.01) << i;
  }
}

// Embedded pictures of each kind and depth and linked files, during a load
// and during info; pictures that cannot be used are left out, or end the
// conversion with the host's code when embedded data does not decode.
TEST_F(VectorImage, PicturesLoadThroughTheHost) {
  const std::string linked = WriteFile("inside/picture.png", PngOf(5, 7));
  const std::string outside = WriteFile("outside/picture.png", PngOf(2, 2));
  WriteFile("inside/broken.png", {'x', 'y', 'z'});
  const std::string box = "width='10' height='10'";
  const auto link = [&](const std::string& path) { return "<image " + box + " xlink:href='" + path + "'/>"; };
  const struct {
    const char* what;
    std::string image;
    bool duringInfo;
    Status status;
    int32_t width, height, bitsPerPixel;  // width 0: no raster
  } cases[] = {
      {"32-bit png", DataImage(PngOf(3, 3, 32), box), false, kOk, 3, 3, 32},
      {"jpeg", DataImage(EncodeTestJpeg(9, 5, JCS_RGB, 3, {200, 200, 200}), box, "image/jpeg"),
       false, kOk, 9, 5, 24},
      {"png during info", DataImage(PngOf(2, 2), box), true, kOk, 2, 2, 24},
      {"not a picture", DataImage({'n', 'o', 't'}, box), false, svgtool::kErrPictureFormat, 0, 0, 0},
      {"linked", link(linked), false, kOk, 5, 7, 24},
      {"linked during info", link(linked), true, kOk, 0, 0, 0},
      {"missing", link(folder_.Path("inside/none.png")), false, kOk, 0, 0, 0},
      {"outside the document's folder", link(outside), false, kOk, 0, 0, 0},
      {"linked, not a picture", link(folder_.Path("inside/broken.png")), false, kOk, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(ConvertWith(c.image + "<rect width='5' height='5'/>", c.duringInfo), c.status);
    EXPECT_EQ(OfType(kVoRect).size(), c.status == kOk ? 1u : 0u);  // the conversion goes on
    ASSERT_EQ(OfType(kVoRaster).size(), c.width != 0 ? 1u : 0u);
    if (c.width == 0) continue;
    StoredObject o(&vector_, OfType(kVoRaster)[0]);
    const BitmapRecord& b = o->raster.bitmap;
    EXPECT_EQ(std::vector<int32_t>({b.width, b.height, b.bitsPerPixel}),
              std::vector<int32_t>({c.width, c.height, c.bitsPerPixel}));
    EXPECT_EQ(o->raster.value58, 220);
    // A 32-bit picture sets the alpha flag.
    EXPECT_EQ((o->raster.h.flags & kVoFlagAlpha) != 0, c.bitsPerPixel == 32);
  }
  // Without host callbacks the picture is left out.
  ASSERT_EQ(Convert("<svg>" + DataImage(PngOf(2, 2), box) + "</svg>"), kOk);
  EXPECT_TRUE(OfType(kVoRaster).empty());
}

TEST(RasterRotation, GivesTheKernelAngleOfAPureRotation) {
  const struct { double degrees, scale, expected; } cases[] = {
      {30, 1, -30}, {120, 1, 240}, {210, 1, 150}, {-30, 2, 30}};
  for (const auto& c : cases) {
    const double r = c.degrees * M_PI / 180.0;
    const SvgMatrix m{c.scale * std::cos(r), c.scale * std::sin(r), -c.scale * std::sin(r),
                      c.scale * std::cos(r), 7, 8};
    // Degrees per radian are 57.295780490442965 here, a little above 180/pi.
    EXPECT_NEAR(RasterRotation(m), c.expected, 1e-5) << c.degrees;
  }
  // Scales, the half turn and skews give none.
  EXPECT_EQ(RasterRotation(SvgMatrix{2, 0, 0, 3, 0, 0}), 0.0);
  EXPECT_EQ(RasterRotation(SvgMatrix{-1, 0, 0, -1, 0, 0}), 0.0);
  EXPECT_EQ(RasterRotation(SvgMatrix{1, 0.5, 0, 1, 0, 0}), 0.0);
}

}  // namespace
}  // namespace svgflt::testing
