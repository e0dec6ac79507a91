#include "Common/PaintServers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Common/KernelMemory.h"
#include "Common/Parser/Elements.h"
#include "Common/Parser/Reader.h"
#include "Common/SvgDocument.h"
#include "ImagingKernel/ImagingKernel.h"
#include "SvgSnippetLoad.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"tests/Common/PaintServersTest";

void ExpectLength(const SvgLength& length, double value, int32_t unit, int32_t isPercent) {
  EXPECT_EQ(length.value, value);
  EXPECT_EQ(length.unit, unit);
  EXPECT_EQ(length.isPercent, isPercent);
}

class PaintServers : public testing::SvgSnippetLoad {
 protected:
  LinearGradientRecord& Linear() { return First(kElemLinearGradient).data.linearGradient.own; }
  RadialGradientRecord& Radial() { return First(kElemRadialGradient).data.radialGradient.own; }
};

// --- gradients -------------------------------------------------------------------

TEST_F(PaintServers, Defaults) {
  Loaded("<svg><defs><linearGradient/><radialGradient/><pattern/></defs></svg>");
  const LinearGradientRecord& linear = Linear();
  ExpectLength(linear.x1, 0, kUnitPx, 1);
  ExpectLength(linear.y1, 0, kUnitPx, 1);
  ExpectLength(linear.x2, 100, kUnitPx, 1);
  ExpectLength(linear.y2, 0, kUnitPx, 1);
  EXPECT_EQ(linear.units, kObjectBoundingBox);
  EXPECT_EQ(linear.spread, kSpreadPad);
  EXPECT_EQ(linear.gradientTransform.first, nullptr);
  EXPECT_EQ(linear.href, nullptr);
  const RadialGradientRecord& radial = Radial();
  for (const SvgLength* length : {&radial.cx, &radial.cy, &radial.fx, &radial.fy}) {
    ExpectLength(*length, 0.5, kUnitNone, 0);
  }
  ExpectLength(radial.r, 50, kUnitNone, 1);
  EXPECT_EQ(radial.units, kObjectBoundingBox);
  EXPECT_EQ(radial.spread, kSpreadPad);
  const PatternRecord& pattern = First(kElemPattern).data.pattern.own;
  ExpectLength(pattern.x, 0, kUnitPx, 1);
  ExpectLength(pattern.y, 0, kUnitPx, 1);
  EXPECT_EQ(pattern.width.value, 0.0);
  EXPECT_EQ(pattern.height.value, 0.0);
  EXPECT_EQ(pattern.patternUnits, kUserSpaceOnUse);
  EXPECT_EQ(pattern.patternContentUnits, kUserSpaceOnUse);
  EXPECT_EQ(pattern.preserveAspectRatio.align, kAlignXMidYMid);
  EXPECT_EQ(pattern.preserveAspectRatio.meetOrSlice, kMeet);
  EXPECT_EQ(pattern.hasViewBox, 0);
}

TEST_F(PaintServers, LinearGradientValues) {
  Loaded("<svg version='1.1'><linearGradient id='g' x1='10' y2='50%' gradientUnits='userSpaceOnUse'"
         " gradientTransform='rotate(45)' xlink:href='#base' xmlns:xlink='x' xml:base='b/'"
         " spreadMethod='repeat' class='k' color='red' stop-color='blue' fill='green'/></svg>");
  const ElementRecord& record = First(kElemLinearGradient);
  const LinearGradientRecord& gradient = record.data.linearGradient.own;
  ExpectLength(gradient.x1, 10, kUnitNone, 0);
  ExpectLength(gradient.y2, 50, kUnitNone, 1);
  EXPECT_EQ(gradient.units, kUserSpaceOnUse);
  EXPECT_EQ(gradient.spread, kSpreadRepeat);
  ASSERT_NE(gradient.gradientTransform.first, nullptr);
  EXPECT_EQ(gradient.gradientTransform.first->kind, kTransformRotate);
  EXPECT_STREQ(gradient.href, "base");
  const ElementCommon& common = CommonOf(record);
  EXPECT_STREQ(common.id, "g");
  EXPECT_STREQ(common.xmlBase, "b/");
  EXPECT_STREQ(common.props.color.text, "red");
  EXPECT_STREQ(common.props.stopColor.text, "blue");
  EXPECT_EQ(common.props.fill.paintKind, kPaintNotGiven);  // not a gradient's property
}

TEST_F(PaintServers, ColourGroupNeedsVersion11) {
  Loaded("<svg version='1.0'><linearGradient color='red' stop-opacity='0.5'/></svg>");
  const PresentationProperties& props = CommonOf(First(kElemLinearGradient)).props;
  EXPECT_EQ(props.color.text, nullptr);
  EXPECT_FLOAT_EQ(props.stopOpacity, 0.5f);
}

TEST_F(PaintServers, FocusFollowsTheCentreUnlessWrittenAfterIt) {
  struct Case {
    const char* attributes;
    double fx;
    double fy;
  };
  const Case cases[] = {
      {"cx='0.3'", 0.3, 0.5},
      {"fx='0.1' cx='0.3'", 0.3, 0.5},
      {"cx='0.3' fx='0.1'", 0.1, 0.5},
      {"cy='0.2' r='0.4'", 0.5, 0.2},
      {"fy='0.9' cy='0.2' fx='0.7'", 0.7, 0.2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    Loaded(std::string("<svg><radialGradient ") + c.attributes + "/></svg>");
    EXPECT_EQ(Radial().fx.value, c.fx);
    EXPECT_EQ(Radial().fy.value, c.fy);
  }
}

TEST_F(PaintServers, SpreadMethodIgnoresCase) {
  const std::pair<const char*, int32_t> cases[] = {
      {"REFLECT", kSpreadReflect}, {"Pad", kSpreadPad}, {" repeat ", kSpreadRepeat}};
  for (const auto& [value, spread] : cases) {
    SCOPED_TRACE(value);
    Loaded(std::string("<svg><radialGradient spreadMethod='") + value + "'/></svg>");
    EXPECT_EQ(Radial().spread, spread);
  }
}

TEST_F(PaintServers, RefusesRepeatsAndUnacceptedNamesOnly) {
  struct Case {
    const char* text;
    Status status;
  };
  const Case cases[] = {
      {"<svg><linearGradient x1='0' x1='1'/></svg>", kErrDuplicateAttribute},
      {"<svg><radialGradient fx='0' fx='1'/></svg>", kErrDuplicateAttribute},
      {"<svg><linearGradient xlink:href='#a' xlink:href='#b'/></svg>", kErrDuplicateAttribute},
      {"<svg><linearGradient style='a:b' style='c:d'/></svg>", kErrDuplicateAttribute},
      {"<svg><linearGradient stop-color='red' stop-color='blue'/></svg>",
       kErrDuplicateAttribute},
      {"<svg version='1.0'><linearGradient xml:base='a'/></svg>", kErrBadLength},
      {"<svg><linearGradient xml:lang='en'/></svg>", kErrBadLength},
      {"<svg><radialGradient xmlns:foo='x'/></svg>", kErrBadLength},
      {"<svg><linearGradient x1='1 0'/></svg>", kErrBadLength},
      {"<svg><linearGradient gradientUnits='page'/></svg>", kErrBadValue},
      {"<svg><radialGradient spreadMethod='mirror'/></svg>", kErrBadValue},
      {"<svg><linearGradient id=''/></svg>", kErrMissing},
      {"<svg><stop id=''/></svg>", kErrMissing},
      {"<svg><stop xml:space='preserve'/></svg>", kErrBadLength},
      {"<svg><stop offset='1' offset='2'/></svg>", kErrDuplicateAttribute},
      {"<svg><stop offset='half'/></svg>", kErrBadLength},
      {"<svg><pattern patternUnits='a' /></svg>", kErrBadValue},
      {"<svg><pattern viewBox='0 0 0 1'/></svg>", kErrBadValue},
      {"<svg><pattern onclick='a' onclick='b'/></svg>", kErrDuplicateAttribute},
      {"<svg><pattern onzoom='a' onzoom='b'/></svg>", kErrDuplicateAttribute},
      // Unknown names outside the xml prefixes are ignored.
      {"<svg><linearGradient foo='1' xlink:foo='2' xmlns='x' r='3'/><stop bar='1' "
       "xmlns:a='b'/></svg>",
       kOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Load(c.text), c.status);
  }
}

// --- stops -------------------------------------------------------------------------

TEST_F(PaintServers, StopOffsetIsKeptAsWritten) {
  struct Case {
    const char* value;
    double offset;
    int32_t unit;
    int32_t isPercent;
  };
  for (const Case c : {Case{"50%", 50, kUnitNone, 1}, Case{"2", 2, kUnitNone, 0},
                       Case{"-1", -1, kUnitNone, 0}, Case{"5px", 5, kUnitPx, 0}}) {
    SCOPED_TRACE(c.value);
    Loaded(std::string("<svg><linearGradient><stop offset='") + c.value +
           "'/></linearGradient></svg>");
    ExpectLength(First(kElemStop).data.stop.own.offset, c.offset, c.unit, c.isPercent);
  }
}

TEST_F(PaintServers, StopColourFromAttributesAndStyle) {
  Loaded("<svg><linearGradient stop-opacity='0.25'><stop stop-color='#f00'/>"
         "<stop style='stop-color:blue;stop-opacity:0.5' stop-color='red'/><stop/>"
         "</linearGradient></svg>");
  const PresentationProperties& first = CommonOf(Record(2)).props;
  EXPECT_STREQ(first.stopColor.text, "#f00");
  EXPECT_FLOAT_EQ(first.stopOpacity, 0.25f);  // taken from the gradient
  const PresentationProperties& second = CommonOf(Record(3)).props;
  EXPECT_STREQ(second.stopColor.text, "blue");
  EXPECT_FLOAT_EQ(second.stopOpacity, 0.5f);
  EXPECT_STREQ(CommonOf(Record(4)).props.stopColor.text, "black");
}

// --- patterns ----------------------------------------------------------------------

TEST_F(PaintServers, PatternValues) {
  Loaded("<svg><pattern id='brushCross' x='1' width='8' height='4mm' "
         "patternUnits='objectBoundingBox' patternContentUnits='objectBoundingBox' "
         "viewBox='0 0 8 8' preserveAspectRatio='none' patternTransform='scale(2)' "
         "xlink:href='#p0' xml:space='preserve' requiredFeatures='org.w3c.svg' "
         "fill='red' font-size='9' onload='x'><path d='M0 0'/></pattern></svg>");
  const ElementRecord& record = First(kElemPattern);
  const PatternRecord& pattern = record.data.pattern.own;
  ExpectLength(pattern.x, 1, kUnitNone, 0);
  ExpectLength(pattern.width, 8, kUnitNone, 0);
  ExpectLength(pattern.height, 4, kUnitMm, 0);
  EXPECT_EQ(pattern.patternUnits, kObjectBoundingBox);
  EXPECT_EQ(pattern.patternContentUnits, kObjectBoundingBox);
  EXPECT_EQ(pattern.hasViewBox, 1);
  EXPECT_EQ(pattern.viewBox.width, 8.0);
  EXPECT_EQ(pattern.preserveAspectRatio.align, kAlignNone);
  ASSERT_NE(pattern.patternTransform.first, nullptr);
  EXPECT_STREQ(pattern.href, "p0");
  EXPECT_EQ(CommonOf(record).xmlSpace, 1);
  EXPECT_EQ(CommonOf(record).requiredFeatures, 1u);
  EXPECT_EQ(CommonOf(record).props.fill.paintKind, kPaintColor);
  EXPECT_EQ(CommonOf(record).props.fontSize.value, 9.0);
  EXPECT_EQ(Record(2).renderFlag, 0);  // the pattern's path is not drawn on its own
}

// --- presentation block without a parent --------------------------------------------

// Runs the parser of `type` on the root element of `xml` as the first record
// of a document, as for an element without a parent record.
class ParentlessServer : public ::testing::Test {
 protected:
  void SetUp() override { before_ = testing::KernelSnapshot(); }
  void TearDown() override {
    Reset();
    testing::ExpectNothingLiveSince(before_);
  }
  void Reset() {
    FreeSvgDocument(document_);
    document_ = nullptr;
    if (xml_ != nullptr) AdvXMLParser::DeleteNode(xml_);
    xml_ = nullptr;
  }
  ElementRecord& Parse(const char* text, Status (*parser)(SvgDocument&,
                                                          const AdvXMLParser::Element&, int32_t),
                       int32_t type) {
    Reset();
    EXPECT_EQ(CreateSvgDocument(&document_), kOk);
    document_->records = SVGFLT_ALLOC(ElementRecord, 1);
    document_->recordCapacity = 1;
    document_->records[0].parent = -1;
    AdvXMLParser::Parser reader;
    xml_ = reader.Parse(reinterpret_cast<const unsigned char*>(text), std::strlen(text));
    EXPECT_NE(xml_, nullptr);
    EXPECT_EQ(parser(*document_, *xml_->root, type), kOk);
    document_->recordCount = 1;
    return document_->records[0];
  }

  SvgDocument* document_ = nullptr;
  AdvXMLParser::Document* xml_ = nullptr;
  KernelAccounting before_{};
};

TEST_F(ParentlessServer, StartsFromAZeroedBlockWithPaintAndStopDefaults) {
  struct Case {
    const char* text;
    Status (*parser)(SvgDocument&, const AdvXMLParser::Element&, int32_t);
    int32_t type;
  };
  const Case cases[] = {
      {"<linearGradient/>", ParseLinearGradientElement, kElemLinearGradient},
      {"<radialGradient/>", ParseRadialGradientElement, kElemRadialGradient},
      {"<stop/>", ParseStopElement, kElemStop},
      {"<pattern/>", ParsePatternElement, kElemPattern},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const PresentationProperties& props = CommonOf(Parse(c.text, c.parser, c.type)).props;
    EXPECT_FLOAT_EQ(props.opacity, 1.0f);
    EXPECT_EQ(props.fill.paintKind, kPaintNotGiven);
    EXPECT_STREQ(props.fill.color.text, "black");
    EXPECT_EQ(props.stroke.paintKind, kPaintNotGiven);
    EXPECT_EQ(props.strokeWidth.isPercent, kLengthNotGiven);
    EXPECT_FLOAT_EQ(props.stopOpacity, 1.0f);
    EXPECT_STREQ(props.stopColor.text, "black");
    // The text defaults that elements inside a document take stay zero.
    EXPECT_EQ(props.fontSize.value, 0.0);
    EXPECT_EQ(props.fontSize.unit, 0);
    EXPECT_EQ(props.baselineShift.keyword, 0);
  }
}

TEST_F(PaintServers, InsideADocumentTheBlockComesFromTheParent) {
  Loaded("<svg font-size='20'><defs><linearGradient/></defs></svg>");
  EXPECT_EQ(CommonOf(First(kElemLinearGradient)).props.fontSize.value, 20.0);
}

// --- allocation failures -----------------------------------------------------------

TEST_F(PaintServers, EveryFailedAllocationEndsCleanly) {
  const std::string text =
      "<svg><defs><linearGradient id='g' xlink:href='#h' gradientTransform='scale(2)'>"
      "<stop offset='0' stop-color='red'/><stop offset='1' style='stop-color:blue'/>"
      "</linearGradient><pattern id='p' patternTransform='rotate(3)'/>"
      "<font horiz-adv-x='1'><font-face font-family='F' unicode-range='U+41'/>"
      "<glyph unicode='a' d='M0 0'/><missing-glyph d='M0 0L1 1'/><hkern u1='a,b' k='1'/>"
      "<font-face-uri xlink:href='#f'/></font></defs>"
      "<text x='1' dx='1 2 3 4 5 6' rotate='1 2' class='c' font-family='Serif'>a"
      "<tspan x='1 2' fill='url(#g)'>b</tspan><tref xlink:href='#t'/></text></svg>";
  ASSERT_EQ(Load(text), kOk);
  FreeSvgDocument(document_);
  document_ = nullptr;
  const KernelAccounting clean = testing::KernelSnapshot();
  ASSERT_EQ(Load(text), kOk);
  const int64_t allocations = testing::KernelSnapshot().totalAllocations - clean.totalAllocations;
  int noMemory = 0;
  for (int64_t n = 1; n <= allocations + 1; ++n) {
    SCOPED_TRACE(n);
    KernelFailAllocation(n);
    const Status status = Load(text);
    KernelFailAllocation(0);
    if (n > allocations) {
      EXPECT_EQ(status, kOk);
    } else if (status != kErrNotSvg) {  // the reader reports its own failures as syntax faults
      EXPECT_EQ(status, kErrNoMemory);
      ++noMemory;
    }
  }
  // Past the reader, every allocation of the records can fail.
  EXPECT_GT(noMemory, 40);
}

}  // namespace
}  // namespace svgflt
