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
#include "support/KernelLeakGuard.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kLime = 0x00FF00;
constexpr uint32_t kWhite = 0xFFFFFF;

// Snippets run through the paint resolution with a context whose viewport
// is 640 x 480 at 96 dpi.
class Paint : public testing::SvgSnippetLoad {
 protected:
  void SetUp() override {
    SvgSnippetLoad::SetUp();
    NewContext();
  }
  void TearDown() override {
    if (contextLive_) FreeConversionContext(context_);
    SvgSnippetLoad::TearDown();
  }

  // A context belongs to one conversion of one document: each load gets a
  // fresh one.
  void NewContext() {
    if (contextLive_) FreeConversionContext(context_);
    contextLive_ = InitConversionContext(context_, nullptr) == kOk;
    ASSERT_TRUE(contextLive_);
    context_.referenceWidth = context_.viewportWidth = 640;
    context_.referenceHeight = context_.viewportHeight = 480;
    context_.dpiX = context_.dpiY = 96;
  }
  Status LoadFresh(std::string_view svg) {
    NewContext();
    return Load(svg);
  }

  int32_t IndexOf(const char* id) const {
    const int32_t index = FindId(*document_, id);
    EXPECT_GE(index, 0) << id;
    return index;
  }
  // Loads the snippet and resolves the element with id "t".
  const ConversionContext& Resolve(std::string_view svg, const char* id = "t") {
    if (LoadFresh(svg) != kOk) {
      ADD_FAILURE() << "snippet does not load: " << svg;
      return context_;
    }
    const int32_t index = IndexOf(id);
    if (index >= 0) {
      EXPECT_EQ(DrawingAttributes(context_, *document_, index), kOk);
    }
    return context_;
  }
  const int32_t* Brush() const { return context_.brush.w; }

  ConversionContext context_{};
  bool contextLive_ = false;
};

std::string Svg(std::string_view body) {
  return "<svg xmlns:xlink='http://www.w3.org/1999/xlink' width='640' height='480'>" +
         std::string(body) + "</svg>";
}

// --- brush and pen of plain elements ---------------------------------------------

TEST_F(Paint, RectWithoutPaintIsBlackSolidWithoutPen) {
  Resolve(Svg("<rect id='t' width='10' height='10'/>"));
  EXPECT_EQ(Brush()[0], kBrushPlainSize);
  EXPECT_EQ(Brush()[1], 0);
  EXPECT_EQ(Brush()[2], kBrushSolid);
  EXPECT_EQ(Brush()[3], 0);
  EXPECT_EQ(context_.pen.style, static_cast<uint32_t>(kPenNull));
  EXPECT_EQ(context_.pen.size, 64);
  EXPECT_EQ(context_.fillRule, kFillWinding);
  EXPECT_EQ(context_.paintEnabled, 1);
  EXPECT_EQ(context_.clipIndex, -1);
  EXPECT_EQ(context_.linearGradient, 0);
  EXPECT_EQ(context_.radialGradient, 0);
}

// The plain brush (size word, style, colour), fill rule and paint flag of
// the element "t".
TEST_F(Paint, PlainBrushFillRuleAndPaintFlag) {
  constexpr int32_t kSolid = kBrushSolid;
  constexpr int32_t kHollow = kBrushHollow;
  const struct {
    std::string body;
    int32_t style;
    uint32_t colour;
    int32_t fillRule;
    int32_t enabled;
  } cases[] = {
      {"<path id='t' d='M0 0L1 1' fill='#abc'/>", kSolid, 0xCCBBAA, kFillWinding, 1},
      {"<path id='t' d='M0 0L1 1' fill='RED'/>", kSolid, kRed, kFillWinding, 1},
      {"<path id='t' d='M0 0L1 1' fill='nosuchcolour'/>", kSolid, 0, kFillWinding, 1},
      // A pattern, or a missing paint server, gives solid black.
      {"<defs><pattern id='brushCross' width='8' height='8'/></defs>"
       "<path id='t' d='M0 0L1 1' fill='url(#brushCross)'/>",
       kSolid, 0, kFillWinding, 1},
      {"<path id='t' d='M0 0L1 1' fill='url(#missing)'/>", kSolid, 0, kFillWinding, 1},
      {"<rect id='t' width='10' height='10' fill='none'/>", kHollow, 0, kFillWinding, 1},
      {"<g color='lime'><rect id='t' width='1' height='1' fill='currentColor'/></g>", kSolid,
       kLime, kFillWinding, 1},
      {"<g fill-rule='evenodd'><path id='t' d='M0 0L1 1'/></g>", kSolid, 0, kFillAlternate, 1},
      // Fill is inherited, the nearest given value wins; fill-opacity alone
      // does not change it.
      {"<g fill='red'><g><g fill-opacity='0.5'><rect id='t' width='1' height='1'/></g></g></g>",
       kSolid, kRed, kFillWinding, 1},
      {"<g fill='red'><g fill='blue'><rect id='t' width='1' height='1'/></g></g>", kSolid, kBlue,
       kFillWinding, 1},
      {"<g fill='none'><rect id='t' width='1' height='1'/></g>", kHollow, 0, kFillWinding, 1},
      // Opacity outside the translucency window, on rects and circles, or
      // on a group (not inherited) keeps the solid brush.
      {"<path id='t' d='M0 0L1 1' fill='red' opacity='0.3'/>", kSolid, kRed, kFillWinding, 1},
      {"<path id='t' d='M0 0L1 1' fill='red' opacity='0.7'/>", kSolid, kRed, kFillWinding, 1},
      {"<rect id='t' width='1' height='1' fill='red' opacity='0.5'/>", kSolid, kRed, kFillWinding,
       1},
      {"<circle id='t' r='1' fill='red' opacity='0.5'/>", kSolid, kRed, kFillWinding, 1},
      {"<g opacity='0.5'><path id='t' d='M0 0L1 1' fill='red'/></g>", kSolid, kRed, kFillWinding,
       1},
      // display and visibility, own or inherited.
      {"<path id='t' d='M0 0L1 1' display='none'/>", kSolid, 0, kFillWinding, 0},
      {"<path id='t' d='M0 0L1 1' visibility='hidden'/>", kSolid, 0, kFillWinding, 0},
      {"<path id='t' d='M0 0L1 1' visibility='collapse'/>", kSolid, 0, kFillWinding, 1},
      {"<g display='none'><path id='t' d='M0 0L1 1'/></g>", kSolid, 0, kFillWinding, 0},
      {"<g visibility='hidden'><path id='t' d='M0 0L1 1'/></g>", kSolid, 0, kFillWinding, 0},
      {"<g visibility='hidden'><path id='t' d='M0 0L1 1' visibility='visible'/></g>", kSolid, 0,
       kFillWinding, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    Resolve(Svg(c.body));
    EXPECT_EQ(Brush()[0], kBrushPlainSize);
    EXPECT_EQ(Brush()[2], c.style);
    if (c.style == kSolid) {
      EXPECT_EQ(static_cast<uint32_t>(Brush()[3]), c.colour);
    }
    EXPECT_EQ(context_.fillRule, c.fillRule);
    EXPECT_EQ(context_.paintEnabled, c.enabled);
  }
}

// --- translucency ------------------------------------------------------------------

TEST_F(Paint, HalfOpaquePathGetsTwoColourBrush) {
  Resolve(Svg("<path id='t' d='M0 0L1 1' fill='red' stroke='blue' stroke-width='4' "
              "opacity='0.5'/>"));
  EXPECT_EQ(Brush()[0], kBrushTwoColour);
  EXPECT_EQ(Brush()[1], 2);
  EXPECT_EQ(static_cast<uint32_t>(Brush()[2]), kWhite);
  EXPECT_EQ(static_cast<uint32_t>(Brush()[3]), 0x7F7FFFu);  // (255, 127, 127)
  EXPECT_EQ(Brush()[4], 255);
  EXPECT_EQ(Brush()[5], 29);
  EXPECT_EQ(context_.pen.colour, 0xFF7F7Fu);
  EXPECT_FLOAT_EQ(context_.opacity, 0.5f);
}

// --- pen ---------------------------------------------------------------------------

// Pen width (half the stroke width; 0: no pen) and colour of the element "t".
TEST_F(Paint, PenWidthAndColour) {
  const std::string path = "<path id='t' d='M0 0L1 1' stroke='red'";
  const struct {
    std::string body;
    int32_t penWidth;
    uint32_t colour;
  } cases[] = {
      {path + "/>", 2, kRed},  // 1 % of 800 / sqrt(2) = 5.66 px, halved
      {path + " stroke-width='1'/>", 1, kRed},
      {path + " stroke-width='5'/>", 2, kRed},
      {path + " stroke-width='0'/>", 0, 0},
      {path + " stroke-width='0.4'/>", 1, kRed},
      {path + " stroke-width='1%'/>", 2, kRed},
      {path + " stroke-width='-4'/>", 0, 0},
      {path + " stroke-width='4' stroke-opacity='0.2'/>", 0, 0},
      {path + " stroke-width='4' stroke-opacity='0.3'/>", 2, kRed},
      {"<path id='t' d='M0 0L1 1' stroke='none' stroke-width='4'/>", 0, 0},
      {"<g color='lime'><rect id='t' width='1' height='1' fill='none' stroke='currentColor'/></g>",
       2, kLime},
      {"<g stroke='blue' stroke-width='10'><g><path id='t' d='M0 0L1 1'/></g></g>", 5, kBlue},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    Resolve(Svg(c.body));
    if (c.penWidth == 0) {
      EXPECT_EQ(context_.pen.style, static_cast<uint32_t>(kPenNull));
    } else {
      EXPECT_EQ(context_.pen.style & kPenStyleMask, static_cast<uint32_t>(kPenSolid));
      EXPECT_EQ(context_.pen.width, c.penWidth);
      EXPECT_EQ(context_.pen.colour, c.colour);
    }
  }
}

TEST_F(Paint, PenStyleFromCapJoinAndDashes) {
  struct Case {
    const char* attributes;
    uint32_t style;
  };
  const Case cases[] = {
      {"", kPenSolid | kPenCapFlat | kPenJoinMiter},
      {"stroke-linecap='round'", kPenSolid | kPenCapRound | kPenJoinMiter},
      {"stroke-linecap='square'", kPenSolid | kPenCapSquare | kPenJoinMiter},
      {"stroke-linejoin='round'", kPenSolid | kPenCapFlat | kPenJoinRound},
      {"stroke-linejoin='bevel'", kPenSolid | kPenCapFlat | kPenJoinBevel},
      {"stroke-dasharray='5,3'", kPenDash | kPenCapFlat | kPenJoinMiter},
      {"stroke-dasharray='0 0'", kPenSolid | kPenCapFlat | kPenJoinMiter},
      {"stroke-dasharray='none'", kPenSolid | kPenCapFlat | kPenJoinMiter},
      {"stroke-dasharray='4' stroke-linecap='round' stroke-linejoin='bevel'",
       kPenDash | kPenCapRound | kPenJoinBevel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    Resolve(Svg("<path id='t' d='M0 0L1 1' stroke='red' stroke-width='4' " +
                std::string(c.attributes) + "/>"));
    EXPECT_EQ(context_.pen.style, c.style);
  }
}

TEST_F(Paint, StrokeStyleInheritsThroughGroups) {
  Resolve(Svg("<g stroke='blue' stroke-width='10' stroke-linecap='round' "
              "stroke-dasharray='2'><g><path id='t' d='M0 0L1 1'/></g></g>"));
  EXPECT_EQ(context_.pen.style, kPenDash | kPenCapRound | kPenJoinMiter);
  EXPECT_DOUBLE_EQ(context_.penWidth, 5.0);
}

TEST_F(Paint, FontSizeInPixels) {
  struct Case {
    const char* size;
    int32_t pixels;
  };
  // Percentages of the height use whole hundredths: 480 div 100 = 4.
  const Case cases[] = {{"20", 20}, {"12pt", 16}, {"1in", 96}, {"10%", 40}, {"7.9", 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    Resolve(Svg("<g font-size='" + std::string(c.size) + "'><path id='t' d='M0 0L1 1'/></g>"));
    EXPECT_EQ(context_.fontSize, c.pixels);
  }
}

TEST_F(Paint, ClipIndexIsTheFirstPathOfTheClip) {
  Resolve(Svg("<clipPath id='c'><rect width='1' height='1'/><path id='p' d='M0 0L1 1'/>"
              "<path d='M0 0L2 2'/></clipPath>"
              "<rect id='t' width='5' height='5' clip-path='url(#c)'/>"));
  EXPECT_EQ(context_.clipIndex, IndexOf("p"));
  Resolve(Svg("<clipPath id='c'><rect width='1' height='1'/></clipPath>"
              "<rect id='t' width='5' height='5' clip-path='url(#c)'/>"));
  EXPECT_EQ(context_.clipIndex, -1);
  Resolve(Svg("<rect id='t' width='5' height='5' clip-path='url(#nothing)'/>"));
  EXPECT_EQ(context_.clipIndex, -1);
}

// --- gradients ---------------------------------------------------------------------

std::string TwoStops(const char* first = "red", const char* second = "blue") {
  return "<stop offset='0' stop-color='" + std::string(first) + "'/><stop offset='1' stop-color='" +
         std::string(second) + "'/>";
}

// The two-colour brush of a linear gradient: its first two stops (a third
// is left out), borrowed through xlink:href with the referencing
// gradient's direction, currentColor of a stop taken from the stop.
TEST_F(Paint, LinearGradientTakesTwoStops) {
  const struct {
    std::string defs;
    uint32_t first, second;
    int32_t direction;
  } cases[] = {
      {"<linearGradient id='a' x1='0%' y1='0%' x2='100%' y2='0%'>" + TwoStops() +
           "<stop offset='1' stop-color='lime'/></linearGradient>",
       kRed, kBlue, 0},
      {"<linearGradient id='a' x2='0%' y2='100%' xlink:href='#b'/>"
       "<linearGradient id='b' xlink:href='#c'/><linearGradient id='c'>" +
           TwoStops("lime", "red") + "</linearGradient>",
       kLime, kRed, 2},
      {"<linearGradient id='a' xlink:href='#c'/><linearGradient id='c' y2='100%'>" + TwoStops() +
           "</linearGradient>",
       kRed, kBlue, 4},
      {"<linearGradient id='a'><stop offset='0' stop-color='currentColor' color='lime'/>"
       "<stop offset='1' stop-color='#00f'/></linearGradient>",
       kLime, kBlue, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.defs);
    Resolve(Svg("<defs>" + c.defs + "</defs><path id='t' d='M0 0L1 1' fill='url(#a)'/>"));
    EXPECT_EQ(Brush()[0], kBrushTwoColour);
    EXPECT_EQ(Brush()[1], 2);
    EXPECT_EQ(static_cast<uint32_t>(Brush()[2]), c.first);
    EXPECT_EQ(static_cast<uint32_t>(Brush()[3]), c.second);
    EXPECT_EQ(Brush()[4], 255);
    EXPECT_EQ(Brush()[5], c.direction);
    EXPECT_EQ(context_.linearGradient, 1);
    EXPECT_EQ(context_.radialGradient, 0);
    EXPECT_EQ(context_.gradientColours[0], c.first);
    EXPECT_EQ(context_.gradientColours[1], c.second);
  }
}

// The code in the two-colour brush: a linear gradient's direction; a
// radial one's centre, or on rects and circles its focus.
TEST_F(Paint, GradientCodes) {
  const char* path = "<path id='t' d='M0 0L1 1'";
  const char* rect = "<rect id='t' width='1' height='1'";
  const char* circle = "<circle id='t' r='1'";
  const struct {
    const char* gradient;
    const char* geometry;
    const char* shape;
    int32_t code;
  } cases[] = {
      {"linearGradient", "", path, 0},
      {"linearGradient", "x1='1' x2='0'", path, 1},
      {"linearGradient", "x2='0' y2='1'", path, 2},
      {"linearGradient", "x2='0' y1='1' y2='0'", path, 3},
      {"linearGradient", "x2='1' y2='1'", path, 4},
      {"linearGradient", "y1='1' y2='0'", path, 5},
      {"linearGradient", "x1='1' x2='0' y2='1'", path, 6},
      {"linearGradient", "x1='1' x2='0' y1='1' y2='0'", path, 7},
      {"linearGradient", "x2='0'", path, 0},             // a point
      {"linearGradient", "x1='50%' x2='0.6'", path, 0},  // fractions compare across forms
      {"linearGradient", "x1='0.6' x2='50%'", path, 1},
      {"radialGradient", "", path, 30},
      {"radialGradient", "cx='0.1' cy='0.1'", path, 29},
      {"radialGradient", "cx='90%' cy='80%'", path, 29},
      {"radialGradient", "cx='0.1' cy='0.9'", path, 30},
      {"radialGradient", "cx='0.25' cy='0.25'", path, 30},
      {"radialGradient", "", rect, 30},
      {"radialGradient", "fx='0.1' fy='0.5'", rect, 0},
      {"radialGradient", "fx='0.9' fy='0.5'", circle, 1},
      {"radialGradient", "fx='0.5' fy='0.1'", rect, 2},
      {"radialGradient", "fx='0.5' fy='0.9'", circle, 3},
      {"radialGradient", "fx='0.1' fy='0.1'", rect, 4},
      {"radialGradient", "fx='0.1' fy='0.9'", circle, 5},
      {"radialGradient", "fx='0.9' fy='0.1'", rect, 6},
      {"radialGradient", "fx='0.9' fy='0.9'", circle, 7},
      {"radialGradient", "cx='0.1' cy='0.1' fx='0.5' fy='0.5'", circle, 30},
      {"radialGradient", "cx='0.9' cy='0.9'", rect, 7},  // the focus follows the centre
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.gradient) + " " + c.geometry + " " + c.shape);
    Resolve(Svg("<defs><" + std::string(c.gradient) + " id='g' " + c.geometry + ">" + TwoStops() +
                "</" + c.gradient + "></defs>" + c.shape + " fill='url(#g)'/>"));
    EXPECT_EQ(Brush()[0], kBrushTwoColour);
    EXPECT_EQ(Brush()[5], c.code);
    EXPECT_EQ(context_.radialGradient, c.gradient[0] == 'r' ? 1 : 0);
  }
}

TEST_F(Paint, HrefLoopsAndDeadEndsGiveSolidBlack) {
  for (const char* defs : {
           "<linearGradient id='a' xlink:href='#b'/><linearGradient id='b' xlink:href='#a'/>",
           "<linearGradient id='a' xlink:href='#a'/>",
           "<linearGradient id='a' xlink:href='#nothing'/>",
           "<linearGradient id='a' xlink:href='#p'/><path id='p' d='M0 0'/>",
           "<linearGradient id='a'><stop offset='0' stop-color='red'/></linearGradient>",
           "<linearGradient id='a'><desc>x</desc><stop offset='0'/></linearGradient>",
       }) {
    SCOPED_TRACE(defs);
    Resolve(Svg("<defs>" + std::string(defs) + "</defs><path id='t' d='M0 0L1 1' fill='url(#a)'/>"));
    EXPECT_EQ(Brush()[0], kBrushPlainSize);
    EXPECT_EQ(Brush()[2], kBrushSolid);
    EXPECT_EQ(Brush()[3], 0);
    EXPECT_EQ(context_.linearGradient, 0);
  }
}

TEST_F(Paint, TransparentNearWhiteStopAbandonsTheGradient) {
  Resolve(Svg("<defs><linearGradient id='g'><stop offset='0' stop-color='white' "
              "stop-opacity='0'/><stop offset='1' stop-color='red'/></linearGradient></defs>"
              "<path id='t' d='M0 0L1 1' fill='url(#g)'/>"));
  EXPECT_EQ(Brush()[0], kBrushPlainSize);
  EXPECT_EQ(Brush()[2], kBrushHollow);
  EXPECT_EQ(context_.linearGradient, 0);
  // Transparent but dark, or white but opaque: the gradient stays.
  for (const char* stop : {"stop-color='black' stop-opacity='0'",
                           "stop-color='white' stop-opacity='0.5'"}) {
    SCOPED_TRACE(stop);
    Resolve(Svg("<defs><linearGradient id='g'><stop offset='0' " + std::string(stop) +
                "/><stop offset='1' stop-color='red'/></linearGradient></defs>"
                "<path id='t' d='M0 0L1 1' fill='url(#g)'/>"));
    EXPECT_EQ(Brush()[0], kBrushTwoColour);
  }
}

TEST_F(Paint, StrokeGradientDoesNotTouchTheBrush) {
  Resolve(Svg("<defs><linearGradient id='g'>" + TwoStops() +
              "</linearGradient></defs><path id='t' d='M0 0L1 1' fill='lime' "
              "stroke='url(#g)' stroke-width='4'/>"));
  EXPECT_EQ(Brush()[0], kBrushPlainSize);
  EXPECT_EQ(static_cast<uint32_t>(Brush()[3]), kLime);
  EXPECT_EQ(context_.linearGradient, 0);
  EXPECT_EQ(context_.pen.colour, 0u);
}

// --- inheritance -------------------------------------------------------------------

TEST_F(Paint, InheritanceRunsThroughAUseWhileItIsExpanded) {
  LoadFresh(Svg("<defs><g id='content'><g><rect id='t' width='1' height='1'/></g></g></defs>"
           "<g fill='blue' stroke='red' stroke-width='6'><use id='u' xlink:href='#content'/></g>"));
  const int32_t content = IndexOf("content");
  const int32_t rect = IndexOf("t");
  const int32_t use = IndexOf("u");
  // Outside the expansion the rect takes the defaults of its own tree.
  ASSERT_EQ(DrawingAttributes(context_, *document_, rect), kOk);
  EXPECT_EQ(Brush()[3], 0);
  EXPECT_EQ(context_.pen.style, static_cast<uint32_t>(kPenNull));

  // The driver gives the referenced record the use as its parent.
  const int32_t saved = document_->records[content].parent;
  document_->records[content].parent = use;
  context_.useDepth = 1;
  ASSERT_EQ(DrawingAttributes(context_, *document_, rect), kOk);
  EXPECT_EQ(static_cast<uint32_t>(Brush()[3]), kBlue);
  EXPECT_EQ(context_.pen.colour, kRed);
  EXPECT_EQ(context_.pen.width, 3);

  document_->records[content].parent = saved;
  context_.useDepth = 0;
  ASSERT_EQ(DrawingAttributes(context_, *document_, rect), kOk);
  EXPECT_EQ(Brush()[3], 0);
}

TEST_F(Paint, NestedUseExpansionsInheritFromEachUse) {
  LoadFresh(Svg("<defs><g id='outer' stroke='red' stroke-width='4'><use id='u2' "
                "xlink:href='#inner'/></g><symbol id='inner'><rect id='t' width='1' "
                "height='1'/></symbol></defs>"
                "<g fill='blue'><use id='u1' xlink:href='#outer'/></g>"));
  const int32_t outer = IndexOf("outer");
  const int32_t inner = IndexOf("inner");
  const int32_t outerParent = document_->records[outer].parent;
  document_->records[outer].parent = IndexOf("u1");
  document_->records[inner].parent = IndexOf("u2");
  context_.useDepth = 2;
  ASSERT_EQ(DrawingAttributes(context_, *document_, IndexOf("t")), kOk);
  EXPECT_EQ(static_cast<uint32_t>(Brush()[3]), kBlue);
  EXPECT_EQ(context_.pen.colour, kRed);
  EXPECT_EQ(context_.pen.width, 2);
  // The inner expansion alone: the stroke still comes through the inner
  // use's own group, the blue fill no longer does.
  document_->records[outer].parent = outerParent;
  ASSERT_EQ(DrawingAttributes(context_, *document_, IndexOf("t")), kOk);
  EXPECT_EQ(Brush()[3], 0);
  EXPECT_EQ(context_.pen.colour, kRed);
}

TEST_F(Paint, DeepNestingResolvesEveryLevel) {
  constexpr int kDepth = 1000;
  std::string body;
  for (int i = 0; i < kDepth; ++i) {
    body += i == 0 ? "<g fill='red'>" : (i == kDepth / 2 ? "<g stroke='blue' stroke-width='8'>"
                                                         : "<g>");
  }
  body += "<rect id='t' width='1' height='1'/>";
  for (int i = 0; i < kDepth; ++i) body += "</g>";
  LoadFresh(Svg(body));
  // In document order, as the driver goes: each group, then the rect.
  const int32_t rect = IndexOf("t");
  for (int32_t i = 0; i <= rect; ++i) {
    ASSERT_EQ(DrawingAttributes(context_, *document_, i), kOk) << i;
    const bool stroked = i > kDepth / 2;  // record 0 is the svg element
    ASSERT_EQ(context_.pen.style == static_cast<uint32_t>(kPenNull), !stroked) << i;
  }
  EXPECT_EQ(static_cast<uint32_t>(Brush()[3]), kRed);
  EXPECT_EQ(context_.pen.colour, kBlue);
  EXPECT_EQ(context_.pen.width, 4);

  // The other way round: the innermost first, then groups above and below
  // the stroked one, each from what the first walk left resolved.
  NewContext();
  ASSERT_EQ(DrawingAttributes(context_, *document_, rect), kOk);
  EXPECT_EQ(context_.pen.width, 4);
  for (const int32_t group : {kDepth / 2, kDepth / 2 + 1, 1, kDepth}) {
    SCOPED_TRACE(group);
    ASSERT_EQ(DrawingAttributes(context_, *document_, group), kOk);
    EXPECT_EQ(static_cast<uint32_t>(Brush()[3]), kRed);
    EXPECT_EQ(context_.pen.style == static_cast<uint32_t>(kPenNull), group <= kDepth / 2);
  }
}

TEST_F(Paint, ElementsWithoutPropertiesLeaveTheContext) {
  LoadFresh(Svg("<rect id='t' width='1' height='1' fill='red'/>"));
  EXPECT_EQ(DrawingAttributes(context_, *document_, -1), kErrMissing);
  EXPECT_EQ(DrawingAttributes(context_, *document_, document_->recordCount), kErrMissing);
}

TEST_F(Paint, AllocationFailureIsReported) {
  LoadFresh(Svg("<g fill='red'><rect id='t' width='1' height='1'/></g>"));
  const int32_t rect = IndexOf("t");
  KernelFailAllocation(1);
  EXPECT_EQ(DrawingAttributes(context_, *document_, rect), kErrNoMemory);
  KernelFailAllocation(0);
  EXPECT_EQ(context_.paintCache, nullptr);
  EXPECT_EQ(DrawingAttributes(context_, *document_, rect), kOk);
  EXPECT_EQ(static_cast<uint32_t>(Brush()[3]), kRed);
}

// --- building blocks ---------------------------------------------------------------

TEST(TranslucentColour, LightensOnlyInsideTheWindow) {
  struct Case {
    uint32_t colour;
    float opacity;
    uint32_t result;
  };
  const Case cases[] = {
      {0x0000FF, 0.5f, 0x7F7FFF}, {0x000000, 0.625f, 0x5F5F5F}, {0xFFFFFF, 0.4f, 0xFFFFFF},
      {0x0000FF, 0.3f, 0x0000FF}, {0x0000FF, 0.7f, 0x0000FF},
      {0x102030, 0.5f, 0x8F9FAF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.opacity);
    EXPECT_EQ(TranslucentColour(c.colour, c.opacity), c.result);
  }
}

TEST(PenWidthFromHalf, RoundsUpOnlyBelowOne) {
  const std::pair<double, int32_t> cases[] = {{0.0, 0}, {0.01, 1}, {0.99, 1}, {1.0, 1},
                                              {2.83, 2}, {-0.5, 0}, {-3.2, -3}, {1e12, INT32_MAX}};
  for (const auto& [half, width] : cases) {
    SCOPED_TRACE(half);
    EXPECT_EQ(PenWidthFromHalf(half), width);
  }
}

}  // namespace
}  // namespace svgflt
