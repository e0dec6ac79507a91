// Small SVG files painted through fltLoad in raster mode: the pixels the
// host receives show the drawing where a browser would put it.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Common/svg.h"
#include "ImagingKernel/ImagingKernel.h"
#include "Module/TempFiles.h"
#include "svgfilter/FilterStatus.h"
#include "svgfilter/HostRecords.h"

namespace {

using namespace svgflt;

constexpr int32_t kSide = 200;  // raster pixels for the file's 100 user units

struct Rgb {
  int red, green, blue;
};

int32_t KeepRow(void*, BitmapRecord* target, uint8_t* row, int32_t, int32_t rowNumber, int32_t,
                void* userData) {
  auto* rows = static_cast<std::vector<std::vector<uint8_t>>*>(userData);
  if (rowNumber >= 0 && static_cast<std::size_t>(rowNumber) < rows->size()) {
    (*rows)[static_cast<std::size_t>(rowNumber)].assign(row, row + target->bytesPerRow);
  }
  return kOk;
}

class Render : public ::testing::Test {
 protected:
  // Paints `body` inside a 100 x 100 user-unit file on a white square that
  // fixes the drawing's bounds; kOk or the load's status.
  Status Paint(const std::string& body) {
    const std::string text = svgtest::PadTo(
        "<?xml version=\"1.0\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\">\n"
        "<rect x=\"0\" y=\"0\" width=\"100\" height=\"100\" fill=\"white\"/>\n" +
            body + "\n</svg>\n",
        300);
    name_ = std::u16string();
    for (const char c : folder_.Write("render.svg", text)) {
      name_.push_back(static_cast<char16_t>(c));
    }
    rows_.assign(kSide, {});
    target_ = BitmapRecord{};
    EXPECT_EQ(InitBitmap(&target_, static_cast<int32_t>(sizeof target_), kSide, kSide, 24), kOk);
    resolution_.horizontal = 96;
    resolution_.vertical = 96;
    load_ = std::make_unique<LoadRequest>();
    load_->fileName = name_.c_str();
    load_->mode = 0;
    load_->target = &target_;
    load_->width = kSide;
    load_->height = kSide;
    load_->rowCallback = KeepRow;
    load_->userData = &rows_;
    load_->resolution = &resolution_;
    return fltLoad(load_.get());
  }

  // The colour at user-space point (x, y), y growing downwards.
  Rgb At(double x, double y) const {
    const auto column = static_cast<std::size_t>(x * kSide / 100.0);
    const auto row = static_cast<std::size_t>(y * kSide / 100.0);
    const std::vector<uint8_t>& bytes = RowFromTop(row);
    if (bytes.size() < column * 3 + 3) return Rgb{-1, -1, -1};
    return Rgb{bytes[column * 3 + 2], bytes[column * 3 + 1], bytes[column * 3]};
  }

  // The host numbers the rows it receives from the top of the picture.
  const std::vector<uint8_t>& RowFromTop(std::size_t row) const { return rows_[row]; }

  svgtest::TempFolder folder_;
  std::u16string name_;
  std::vector<std::vector<uint8_t>> rows_;
  BitmapRecord target_{};
  ResolutionRecord resolution_{};
  std::unique_ptr<LoadRequest> load_;
};

bool IsRed(const Rgb& c) { return c.red > 200 && c.green < 60 && c.blue < 60; }
bool IsWhite(const Rgb& c) { return c.red > 240 && c.green > 240 && c.blue > 240; }

TEST_F(Render, RectIsRedInsideAndWhiteOutside) {
  // Off centre, so a picture upside down or mirrored shows.
  ASSERT_EQ(Paint("<rect x=\"25\" y=\"25\" width=\"50\" height=\"50\" fill=\"red\"/>"
                  "<rect x=\"0\" y=\"0\" width=\"20\" height=\"10\" fill=\"red\"/>"), kOk);
  const struct {
    double x, y;
    bool red;
  } points[] = {
      {30, 30, true},  {70, 70, true}, {5, 5, true},   {90, 50, false},
      {50, 90, false}, {5, 95, false}, {95, 5, false},
  };
  for (const auto& p : points) {
    SCOPED_TRACE(::testing::Message() << p.x << "," << p.y);
    if (p.red) {
      EXPECT_TRUE(IsRed(At(p.x, p.y)));
    } else {
      EXPECT_TRUE(IsWhite(At(p.x, p.y)));
    }
  }
}

TEST_F(Render, StrokedLineIsAsWideAsItsStrokeWidth) {
  ASSERT_EQ(Paint("<line x1=\"10\" y1=\"50\" x2=\"90\" y2=\"50\" stroke=\"black\" "
                  "stroke-width=\"10\"/>"),
            kOk);
  int dark = 0;
  for (std::size_t row = 0; row < static_cast<std::size_t>(kSide); ++row) {
    const std::vector<uint8_t>& bytes = RowFromTop(row);
    ASSERT_GE(bytes.size(), 100u * 3 + 3);
    if (bytes[100 * 3] < 128) ++dark;
  }
  // 10 user units at about 2 pixels each, give or take the edges.
  EXPECT_GE(dark, 17);
  EXPECT_LE(dark, 23);
  EXPECT_TRUE(IsWhite(At(50, 40)));
  EXPECT_TRUE(IsWhite(At(50, 60)));
}

TEST_F(Render, LinearGradientRunsFromItsFirstToItsSecondColour) {
  ASSERT_EQ(Paint("<linearGradient id=\"g\" x1=\"0\" y1=\"0\" x2=\"1\" y2=\"0\">"
                  "<stop offset=\"0\" stop-color=\"red\"/><stop offset=\"1\" stop-color=\"blue\"/>"
                  "</linearGradient>"
                  "<rect x=\"0\" y=\"0\" width=\"100\" height=\"100\" fill=\"url(#g)\"/>"),
            kOk);
  const Rgb left = At(3, 50);
  const Rgb right = At(97, 50);
  EXPECT_GT(left.red, 200);
  EXPECT_LT(left.blue, 60);
  EXPECT_GT(right.blue, 200);
  EXPECT_LT(right.red, 60);
}

TEST_F(Render, ElementTransformsPlaceShapesAsBrowsersDo) {
  const struct {
    const char* transform;
    double insideX, insideY, outsideX, outsideY;
  } cases[] = {
      // rect 10,10 10x10
      {"translate(40,0) scale(2)", 75, 35, 45, 15},
      {"rotate(90 50 50)", 85, 15, 15, 15},
      {"skewX(45)", 30, 15, 15, 15},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.transform);
    ASSERT_EQ(Paint(std::string("<rect x=\"10\" y=\"10\" width=\"10\" height=\"10\" fill=\"red\" "
                                "transform=\"") +
                    c.transform + "\"/>"),
              kOk);
    EXPECT_TRUE(IsRed(At(c.insideX, c.insideY)));
    EXPECT_TRUE(IsWhite(At(c.outsideX, c.outsideY)));
  }
}

}  // namespace
