#include "Common/DrawingAttributes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "Common/SVGParsUtil.h"
#include "Common/SvgDocument.h"
#include "Common/Vector.h"
#include "ImagingKernel/ImagingKernel.h"
#include "VectorKernel/VectorObjects.h"
#include "SvgSnippetLoad.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

constexpr uint32_t kRed = 0x0000FF, kBlue = 0xFF0000, kLime = 0x00FF00, kWhite = 0xFFFFFF;
constexpr uint32_t kNoPen = kPenNull;

std::string Svg(std::string_view body) {
  return "<svg xmlns:xlink='http://www.w3.org/1999/xlink' width='640' height='480'>" + std::string(body) + "</svg>";
}
std::string TwoStops(const char* first = "red", const char* second = "blue") {
  return "<stop offset='0' stop-color='" + std::string(first) + "'/><stop offset='1' stop-color='" + second + "'/>";
}

// Snippets run through the paint resolution with a context whose viewport
// is 640 x 480 at 96 dpi; each load gets a fresh context, as a context
// belongs to one conversion of one document.
class Paint : public testing::SvgSnippetLoad {
 protected:
  void TearDown() override {
    if (contextLive_) FreeConversionContext(context_);
    SvgSnippetLoad::TearDown();
  }
  void NewContext() {
    if (contextLive_) FreeConversionContext(context_);
    contextLive_ = InitConversionContext(context_, nullptr) == kOk;
    ASSERT_TRUE(contextLive_);
    context_.referenceWidth = context_.viewportWidth = 640;
    context_.referenceHeight = context_.viewportHeight = 480;
    context_.dpiX = context_.dpiY = 96;
  }
  void LoadFresh(std::string_view body) {
    NewContext();
    ASSERT_EQ(Load(Svg(body)), kOk) << body;
  }
  int32_t IndexOf(const char* id) const {
    const int32_t index = FindId(*document_, id);
    EXPECT_GE(index, 0) << id;
    return index;
  }
  // Loads the body and resolves the element with id "t".
  void Resolve(std::string_view body) {
    LoadFresh(body);
    if (!::testing::Test::HasFatalFailure()) {
      EXPECT_EQ(DrawingAttributes(context_, *document_, IndexOf("t")), kOk);
    }
  }
  int32_t Brush(int i) const { return context_.brush.w[i]; }
  uint32_t Colour(int i) const { return static_cast<uint32_t>(context_.brush.w[i]); }

  ConversionContext context_{};
  bool contextLive_ = false;
};

// The plain brush (size word, style, colour), fill rule and paint flag of the element "t".
TEST_F(Paint, PlainBrushFillRuleAndPaintFlag) {
  constexpr int32_t kSolid = kBrushSolid, kHollow = kBrushHollow;
  const std::string path = "<path id='t' d='M0 0L1 1'";
  const struct { std::string body; int32_t style; uint32_t colour; int32_t fillRule, enabled; } kCases[] = {
      {path + " fill='#abc'/>", kSolid, 0xCCBBAA, kFillWinding, 1},
      {path + " fill='nosuchcolour'/>", kSolid, 0, kFillWinding, 1},
      // A pattern, or a missing paint server, gives solid black.
      {"<defs><pattern id='p' width='8' height='8'/></defs>" + path + " fill='url(#p)'/>", kSolid, 0, kFillWinding, 1},
      {path + " fill='url(#missing)'/>", kSolid, 0, kFillWinding, 1},
      {"<rect id='t' width='10' height='10' fill='none'/>", kHollow, 0, kFillWinding, 1},
      {"<g color='lime'><rect id='t' width='1' height='1' fill='currentColor'/></g>", kSolid, kLime, kFillWinding, 1},
      {"<g fill-rule='evenodd'>" + path + "/></g>", kSolid, 0, kFillAlternate, 1},
      // Fill is inherited, the nearest given value wins; fill-opacity alone does not change it.
      {"<g fill='red'><g><g fill-opacity='0.5'><rect id='t' width='1' height='1'/></g></g></g>", kSolid, kRed,
       kFillWinding, 1},
      {"<g fill='red'><g fill='blue'><rect id='t' width='1' height='1'/></g></g>", kSolid, kBlue, kFillWinding, 1},
      // Opacity outside the translucency window, on rects and circles, or
      // on a group (not inherited) keeps the solid brush.
      {path + " fill='red' opacity='0.3'/>", kSolid, kRed, kFillWinding, 1},
      {path + " fill='red' opacity='0.7'/>", kSolid, kRed, kFillWinding, 1},
      {"<rect id='t' width='1' height='1' fill='red' opacity='0.5'/>", kSolid, kRed, kFillWinding, 1},
      {"<g opacity='0.5'>" + path + " fill='red'/></g>", kSolid, kRed, kFillWinding, 1},
      // display and visibility, own or inherited.
      {path + " display='none'/>", kSolid, 0, kFillWinding, 0},
      {path + " visibility='collapse'/>", kSolid, 0, kFillWinding, 1},
      {"<g display='none'>" + path + "/></g>", kSolid, 0, kFillWinding, 0},
      {"<g visibility='hidden'>" + path + "/></g>", kSolid, 0, kFillWinding, 0},
      {"<g visibility='hidden'>" + path + " visibility='visible'/></g>", kSolid, 0, kFillWinding, 1},
  };
  for (const auto& c : kCases) {
    Resolve(c.body);
    EXPECT_TRUE(Brush(0) == kBrushPlainSize && Brush(2) == c.style && (c.style != kSolid || Colour(3) == c.colour))
        << c.body;
    EXPECT_TRUE(context_.fillRule == c.fillRule && context_.paintEnabled == c.enabled) << c.body;
  }
  Resolve("<rect id='t' width='10' height='10'/>");
  EXPECT_TRUE(Brush(1) == 0 && Brush(2) == kSolid && Colour(3) == 0);
  EXPECT_TRUE(context_.pen.style == kNoPen && context_.pen.size == 64 && context_.clipIndex == -1 &&
              context_.linearGradient == 0 && context_.radialGradient == 0);
}

TEST_F(Paint, HalfOpaquePathGetsTwoColourBrush) {
  Resolve("<path id='t' d='M0 0L1 1' fill='red' stroke='blue' stroke-width='4' opacity='0.5'/>");
  // White to (255, 127, 127), code 29; the pen lightened alike.
  EXPECT_TRUE(Brush(0) == kBrushTwoColour && Brush(1) == 2 && Colour(2) == kWhite && Colour(3) == 0x7F7FFFu);
  EXPECT_TRUE(Brush(4) == 255 && Brush(5) == 29 && context_.pen.colour == 0xFF7F7Fu && context_.opacity == 0.5f);
}

// Pen width (half the stroke width; 0: no pen), colour and style of the element "t".
TEST_F(Paint, PenWidthColourAndStyle) {
  const std::string path = "<path id='t' d='M0 0L1 1' stroke='red'";
  constexpr uint32_t kPlain = kPenSolid | kPenCapFlat | kPenJoinMiter;
  const std::string w4 = path + " stroke-width='4'";
  const struct { std::string body; int32_t penWidth; uint32_t colour, style; } kCases[] = {
      {path + "/>", 2, kRed, kPlain},  // 1 % of 800 / sqrt(2) = 5.66 px, halved
      {path + " stroke-width='5'/>", 2, kRed, kPlain},
      {path + " stroke-width='0'/>", 0, 0, kNoPen}, {path + " stroke-width='0.4'/>", 1, kRed, kPlain},
      {path + " stroke-width='1%'/>", 2, kRed, kPlain}, {path + " stroke-width='-4'/>", 0, 0, kNoPen},
      {w4 + " stroke-opacity='0.2'/>", 0, 0, kNoPen}, {w4 + " stroke-opacity='0.3'/>", 2, kRed, kPlain},
      {"<path id='t' d='M0 0L1 1' stroke='none' stroke-width='4'/>", 0, 0, kNoPen},
      {"<g color='lime'><rect id='t' width='1' height='1' fill='none' stroke='currentColor'/></g>", 2, kLime, kPlain},
      {w4 + " stroke-linecap='round'/>", 2, kRed, kPenSolid | kPenCapRound | kPenJoinMiter},
      {w4 + " stroke-linejoin='round'/>", 2, kRed, kPenSolid | kPenCapFlat | kPenJoinRound},
      {w4 + " stroke-dasharray='0 0'/>", 2, kRed, kPlain},
      {w4 + " stroke-dasharray='4' stroke-linecap='round' stroke-linejoin='bevel'/>", 2, kRed,
       kPenDash | kPenCapRound | kPenJoinBevel},
      // Stroke values inherit through groups.
      {"<g stroke='blue' stroke-width='10' stroke-linecap='round' stroke-dasharray='2'><g><path id='t' d='M0 0L1 1'/>"
       "</g></g>", 5, kBlue, kPenDash | kPenCapRound | kPenJoinMiter},
  };
  for (const auto& c : kCases) {
    Resolve(c.body);
    EXPECT_EQ(context_.pen.style, c.style) << c.body;
    EXPECT_TRUE(c.penWidth == 0 || (context_.pen.width == c.penWidth && context_.pen.colour == c.colour)) << c.body;
  }
  EXPECT_DOUBLE_EQ(context_.penWidth, 5.0);
}

TEST_F(Paint, FontSizeInPixelsAndClipIndex) {
  // Percentages of the height use whole hundredths: 480 div 100 = 4.
  for (const auto& [size, pixels] : {std::pair{"20", 20}, {"12pt", 16}, {"1in", 96}, {"10%", 40}, {"7.9", 7}}) {
    Resolve("<g font-size='" + std::string(size) + "'><path id='t' d='M0 0L1 1'/></g>");
    EXPECT_EQ(context_.fontSize, pixels) << size;
  }
  // The clip index is the first path of the clip.
  const std::string rect = "<rect id='t' width='5' height='5' clip-path='url(#c)'/>";
  Resolve("<clipPath id='c'><rect width='1' height='1'/><path id='p' d='M0 0L1 1'/><path d='M0 0L2 2'/></clipPath>" +
          rect);
  EXPECT_EQ(context_.clipIndex, IndexOf("p"));
  Resolve("<clipPath id='c'><rect width='1' height='1'/></clipPath>" + rect);
  EXPECT_EQ(context_.clipIndex, -1);
  Resolve(rect);
  EXPECT_EQ(context_.clipIndex, -1);
}

// The two-colour brush of a linear gradient: its first two stops (a third
// is left out), borrowed through xlink:href with the referencing
// gradient's direction, currentColor of a stop taken from the stop.
TEST_F(Paint, LinearGradientTakesTwoStops) {
  const struct { std::string defs; uint32_t first, second; int32_t direction; } kCases[] = {
      {"<linearGradient id='a' x1='0%' y1='0%' x2='100%' y2='0%'>" + TwoStops() +
           "<stop offset='1' stop-color='lime'/></linearGradient>", kRed, kBlue, 0},
      {"<linearGradient id='a' x2='0%' y2='100%' xlink:href='#b'/><linearGradient id='b' xlink:href='#c'/>"
       "<linearGradient id='c'>" + TwoStops("lime", "red") + "</linearGradient>", kLime, kRed, 2},
      {"<linearGradient id='a' xlink:href='#c'/><linearGradient id='c' y2='100%'>" + TwoStops() + "</linearGradient>",
       kRed, kBlue, 4},
      {"<linearGradient id='a'><stop offset='0' stop-color='currentColor' color='lime'/>"
       "<stop offset='1' stop-color='#00f'/></linearGradient>", kLime, kBlue, 0},
  };
  for (const auto& c : kCases) {
    Resolve("<defs>" + c.defs + "</defs><path id='t' d='M0 0L1 1' fill='url(#a)'/>");
    EXPECT_TRUE(Brush(0) == kBrushTwoColour && Brush(1) == 2 && Brush(4) == 255 && Brush(5) == c.direction) << c.defs;
    EXPECT_TRUE(Colour(2) == c.first && Colour(3) == c.second && context_.gradientColours[0] == c.first &&
                context_.gradientColours[1] == c.second) << c.defs;
    EXPECT_TRUE(context_.linearGradient == 1 && context_.radialGradient == 0) << c.defs;
  }
}

// The code in the two-colour brush: a linear gradient's direction; a
// radial one's centre, or on rects and circles its focus.
TEST_F(Paint, GradientCodes) {
  const char* path = "<path id='t' d='M0 0L1 1'";
  const char* rect = "<rect id='t' width='1' height='1'";
  const char* circle = "<circle id='t' r='1'";
  const struct { const char *gradient, *geometry, *shape; int32_t code; } kCases[] = {
      {"linearGradient", "", path, 0},                      {"linearGradient", "x1='1' x2='0'", path, 1},
      {"linearGradient", "x2='0' y2='1'", path, 2},         {"linearGradient", "x2='0' y1='1' y2='0'", path, 3},
      {"linearGradient", "x2='1' y2='1'", path, 4},         {"linearGradient", "y1='1' y2='0'", path, 5},
      {"linearGradient", "x1='1' x2='0' y2='1'", path, 6},  {"linearGradient", "x1='1' x2='0' y1='1' y2='0'", path, 7},
      {"linearGradient", "x2='0'", path, 0},  // a point
      {"linearGradient", "x1='50%' x2='0.6'", path, 0},     // fractions compare across forms
      {"linearGradient", "x1='0.6' x2='50%'", path, 1},     {"radialGradient", "", path, 30},
      {"radialGradient", "cx='0.1' cy='0.1'", path, 29},    {"radialGradient", "cx='90%' cy='80%'", path, 29},
      {"radialGradient", "cx='0.1' cy='0.9'", path, 30},    {"radialGradient", "cx='0.25' cy='0.25'", path, 30},
      {"radialGradient", "", rect, 30},                     {"radialGradient", "fx='0.1' fy='0.5'", rect, 0},
      {"radialGradient", "fx='0.9' fy='0.5'", circle, 1},   {"radialGradient", "fx='0.5' fy='0.1'", rect, 2},
      {"radialGradient", "fx='0.5' fy='0.9'", circle, 3},   {"radialGradient", "fx='0.1' fy='0.1'", rect, 4},
      {"radialGradient", "fx='0.1' fy='0.9'", circle, 5},   {"radialGradient", "fx='0.9' fy='0.1'", rect, 6},
      {"radialGradient", "fx='0.9' fy='0.9'", circle, 7},
      {"radialGradient", "cx='0.1' cy='0.1' fx='0.5' fy='0.5'", circle, 30},
      {"radialGradient", "cx='0.9' cy='0.9'", rect, 7},  // the focus follows the centre
  };
  for (const auto& c : kCases) {
    Resolve("<defs><" + std::string(c.gradient) + " id='g' " + c.geometry + ">" + TwoStops() + "</" + c.gradient +
            "></defs>" + c.shape + " fill='url(#g)'/>");
    EXPECT_TRUE(Brush(0) == kBrushTwoColour && Brush(5) == c.code) << c.gradient << " " << c.geometry << c.shape;
    EXPECT_EQ(context_.radialGradient, c.gradient[0] == 'r' ? 1 : 0) << c.gradient;
  }
}

// Loops and dead ends give solid black; a transparent near-white stop
// abandons the gradient; a stroke gradient leaves the brush alone.
TEST_F(Paint, GradientsThatGiveNoTwoColourBrush) {
  const std::string fillA = "<path id='t' d='M0 0L1 1' fill='url(#a)'/>";
  const std::string a = "<linearGradient id='a'";
  const struct { std::string body; int32_t brush, style; } kCases[] = {
      {a + " xlink:href='#b'/><linearGradient id='b' xlink:href='#a'/>", kBrushPlainSize, kBrushSolid},
      {a + " xlink:href='#a'/>", kBrushPlainSize, kBrushSolid},
      {a + " xlink:href='#nothing'/>", kBrushPlainSize, kBrushSolid},
      {a + " xlink:href='#p'/><path id='p' d='M0 0'/>", kBrushPlainSize, kBrushSolid},
      {a + "><stop offset='0' stop-color='red'/></linearGradient>", kBrushPlainSize, kBrushSolid},
      {a + "><desc>x</desc><stop offset='0'/></linearGradient>", kBrushPlainSize, kBrushSolid},
      {a + "><stop offset='0' stop-color='white' stop-opacity='0'/>" + TwoStops() + "</linearGradient>",
       kBrushPlainSize, kBrushHollow},
      // Transparent but dark, or white but opaque: the gradient stays.
      {a + "><stop stop-color='black' stop-opacity='0'/>" + TwoStops() + "</linearGradient>", kBrushTwoColour, 0},
      {a + "><stop stop-color='white' stop-opacity='0.5'/>" + TwoStops() + "</linearGradient>", kBrushTwoColour, 0},
  };
  for (const auto& c : kCases) {
    Resolve("<defs>" + c.body + "</defs>" + fillA);
    EXPECT_EQ(Brush(0), c.brush) << c.body;
    // The plain brush: solid black or hollow.
    EXPECT_TRUE(c.brush != kBrushPlainSize ||
                (Brush(2) == c.style && (c.style != kBrushSolid || Colour(3) == 0) && context_.linearGradient == 0))
        << c.body;
  }
  Resolve("<defs><linearGradient id='g'>" + TwoStops() +
          "</linearGradient></defs><path id='t' d='M0 0L1 1' fill='lime' stroke='url(#g)' stroke-width='4'/>");
  EXPECT_TRUE(Brush(0) == kBrushPlainSize && Colour(3) == kLime && context_.linearGradient == 0);
  EXPECT_EQ(context_.pen.colour, 0u);
}

TEST_F(Paint, InheritanceRunsThroughAUseWhileItIsExpanded) {
  LoadFresh("<defs><g id='content'><g><rect id='t' width='1' height='1'/></g></g></defs>"
            "<g fill='blue' stroke='red' stroke-width='6'><use id='u' xlink:href='#content'/></g>");
  const int32_t content = IndexOf("content"), rect = IndexOf("t");
  // Outside the expansion the rect takes the defaults of its own tree.
  EXPECT_TRUE(DrawingAttributes(context_, *document_, rect) == kOk && Colour(3) == 0 && context_.pen.style == kNoPen);
  // The driver gives the referenced record the use as its parent.
  const int32_t saved = Record(content).parent;
  Record(content).parent = IndexOf("u");
  context_.useDepth = 1;
  EXPECT_TRUE(DrawingAttributes(context_, *document_, rect) == kOk && Colour(3) == kBlue &&
              context_.pen.colour == kRed && context_.pen.width == 3);
  Record(content).parent = saved;
  context_.useDepth = 0;
  EXPECT_TRUE(DrawingAttributes(context_, *document_, rect) == kOk && Colour(3) == 0);

}

TEST_F(Paint, DeepNestingResolvesEveryLevel) {
  constexpr int kDepth = 1000;
  std::string body;
  for (int i = 0; i < kDepth; ++i) {
    body += i == 0 ? "<g fill='red'>" : i == kDepth / 2 ? "<g stroke='blue' stroke-width='8'>" : "<g>";
  }
  body += "<rect id='t' width='1' height='1'/>";
  for (int i = 0; i < kDepth; ++i) body += "</g>";
  LoadFresh(body);
  // In document order, as the driver goes: each group, then the rect.
  const int32_t rect = IndexOf("t");
  for (int32_t i = 0; i <= rect; ++i) {
    ASSERT_EQ(DrawingAttributes(context_, *document_, i), kOk) << i;
    ASSERT_EQ(context_.pen.style == kNoPen, i <= kDepth / 2) << i;  // record 0 is the svg element
  }
  EXPECT_TRUE(Colour(3) == kRed && context_.pen.colour == kBlue && context_.pen.width == 4);
  // The other way round: the innermost first, then groups above and below
  // the stroked one, each from what the first walk left resolved.
  NewContext();
  EXPECT_TRUE(DrawingAttributes(context_, *document_, rect) == kOk && context_.pen.width == 4);
  for (const int32_t group : {kDepth / 2, kDepth / 2 + 1, 1, kDepth}) {
    ASSERT_EQ(DrawingAttributes(context_, *document_, group), kOk);
    EXPECT_TRUE(Colour(3) == kRed && (context_.pen.style == kNoPen) == (group <= kDepth / 2)) << group;
  }
}

}  // namespace
}  // namespace svgflt
