// Small SVG files painted through fltLoad in raster mode: the pixels the
// host receives show the drawing where a browser would put it.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <tuple>

#include "Module/FilterRuns.h"
#include "Module/TempFiles.h"

namespace {

using namespace svgflt;

constexpr int32_t kSide = 200;  // raster pixels for the file's 100 user units

enum class Colour { kRed, kWhite };

// Paints `body` inside a 100 x 100 user-unit file on a white square that
// fixes the drawing's bounds; then the colour at each user-space point
// (x, y), y growing downwards, since the host numbers rows from the top.
void ExpectColours(const std::string& body,
                   std::initializer_list<std::tuple<double, double, Colour>> points) {
  svgtest::TempFolder folder;
  const std::string path = folder.Write(
      "render.svg",
      svgtest::PadTo("<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
                     "width=\"100\" height=\"100\">\n<rect width=\"100\" height=\"100\" "
                     "fill=\"white\"/>\n" + body + "\n</svg>\n",
                     300));
  const svgtest::RasterRun run = svgtest::PaintRaster(path, kSide, kSide);
  ASSERT_EQ(run.status, kOk);
  ASSERT_EQ(run.rows, kSide);
  for (const auto& [x, y, colour] : points) {
    SCOPED_TRACE(::testing::Message() << body << " at " << x << "," << y);
    const uint8_t* bgr = run.pixels.data() + static_cast<int>(y * kSide / 100) * run.stride +
                         static_cast<int>(x * kSide / 100) * 3;
    const int red = bgr[2], green = bgr[1], blue = bgr[0];
    const bool matches = colour == Colour::kRed ? red > 200 && green < 60 && blue < 60
                                                : red > 240 && green > 240 && blue > 240;
    EXPECT_TRUE(matches) << "red " << red << ", green " << green << ", blue " << blue;
  }
}

constexpr Colour kRed = Colour::kRed, kWhite = Colour::kWhite;

TEST(Render, ShapesAndTransformsLandWhereBrowsersPutThem) {
  // Off centre, so a picture upside down or mirrored shows.
  ExpectColours("<rect x=\"25\" y=\"25\" width=\"50\" height=\"50\" fill=\"red\"/>"
                "<rect width=\"20\" height=\"10\" fill=\"red\"/>",
                {{30, 30, kRed}, {70, 70, kRed}, {5, 5, kRed}, {90, 50, kWhite}, {50, 90, kWhite},
                 {5, 95, kWhite}, {95, 5, kWhite}});
  for (const auto& [transform, inX, inY, outX, outY] :
       {std::tuple{"translate(40,0) scale(2)", 75.0, 35.0, 45.0, 15.0},
        std::tuple{"rotate(90 50 50)", 85.0, 15.0, 15.0, 15.0},
        std::tuple{"skewX(45)", 30.0, 15.0, 15.0, 15.0}}) {
    ExpectColours(std::string("<rect x=\"10\" y=\"10\" width=\"10\" height=\"10\" fill=\"red\" "
                              "transform=\"") + transform + "\"/>",
                  {{inX, inY, kRed}, {outX, outY, kWhite}});
  }
}

}  // namespace
