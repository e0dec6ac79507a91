#include "Common/PaintServers.h"

#include <span>
#include <string_view>

#include "Common/ElementParsers.h"
#include "Common/ElementWalk.h"
#include "Common/GeneralUtil.h"
#include "Common/KernelMemory.h"
#include "Common/Parser/Elements.h"
#include "Common/Properties.h"
#include "Common/Stack.h"
#include "Common/SvgDocument.h"

namespace svgflt {
namespace {

// --- presentation block --------------------------------------------------------

// A paint server without a parent record starts from a zeroed block with
// opacity 1, the fill and stroke defaults and the stop block (opacity 1,
// black): the text and font defaults that other elements take stay zero.
void ClearTextDefaults(PresentationProperties& props) {
  props.kerning = KeywordLength{};
  props.wordSpacing = KeywordLength{};
  props.letterSpacing = KeywordLength{};
  props.baselineShift = BaselineShift{};
  props.fontSize = SvgLength{};
}

// Starts the record: type, cleared data, then the presentation block from
// the parent record or, without one, the block above.
Status BeginPaintServer(SvgDocument& document, int32_t type) {
  const Status status = BeginElementRecord(document, type);
  ElementRecord& record = document.records[document.recordCount];
  if (status == kOk && !(record.parent >= 0 && record.parent < document.recordCount)) {
    ClearTextDefaults(CommonOf(record).props);
  }
  return status;
}

// Colour group (SVG 1.1 documents only), then the stop group; a name that
// neither owns is ignored.
Status ParseColorOrStopAttribute(ElementWalk& walk, std::string_view name, const char* value) {
  ElementCommon& common = walk.common;
  const double version = walk.document.version;
  Status status = kErrBadLength;
  if (version == 1.1) {
    status = ParseColorAttribute(common.propertyMasks, common.props, name, value, version);
  }
  if (status == kErrBadLength) {
    status = ParseStopAttribute(common.propertyMasks, common.props, name, value, version);
  }
  return status == kErrBadLength ? kOk : status;
}

// An XLink name that is not among the kind's own names is accepted.
bool IsXlinkName(std::string_view name) { return name.starts_with("xlink:"); }

template <typename Parse>
Status Own(ElementWalk& walk, std::span<const std::string_view> names, std::string_view name,
           Parse&& parse, bool* handled) {
  Status status = kOk;
  *handled = TrySetOwn(walk, names, name, parse, &status);
  return status;
}

// --- gradients -------------------------------------------------------------------

// Own names of both gradients: the XLink names first (index 0 is
// xlink:href), then the units, the transform, the geometry and the spread.
constexpr int32_t kGradientUnitsIndex = 7;
constexpr int32_t kGradientTransformIndex = 8;
constexpr int32_t kGradientGeometryIndex = 9;

constexpr std::array<std::string_view, 14> kLinearNames{
    "xlink:href",    "xlink:type", "xlink:role", "xlink:arcrole", "xlink:title",
    "xlink:show",    "xlink:actuate", "gradientUnits", "gradientTransform", "x1",
    "y1",            "x2",         "y2",         "spreadMethod"};
constexpr std::array<std::string_view, 15> kRadialNames{
    "xlink:href",    "xlink:type", "xlink:role", "xlink:arcrole", "xlink:title",
    "xlink:show",    "xlink:actuate", "gradientUnits", "gradientTransform", "cx",
    "cy",            "r",          "fx",         "fy",            "spreadMethod"};

// The fields that both gradient records share.
struct GradientFields {
  int32_t* units;
  int32_t* spread;
  TransformList* transform;
  char** href;
};

// The attributes of a gradient in the order tried: id (not empty), xml:
// names (only xml:base, in SVG 1.1), xmlns: names (only xmlns:xlink), the
// XLink names, externalResourcesRequired, class, style, then the own names
// and the colour and stop properties. `geometry(n, value)` parses the n-th
// geometry length.
template <std::size_t kCount, typename Geometry>
Status DispatchGradientAttribute(ElementWalk& walk,
                                 const std::array<std::string_view, kCount>& names,
                                 const GradientFields& fields, Geometry&& geometry,
                                 std::string_view name, KernelBlock<char>& text) {
  const char* value = text.get();
  Status status = kOk;
  if (TrySetId(walk, name, value, true, &status)) return status;
  if (TrySetXml(walk, name, value, false, &status)) return status;
  if (name.starts_with("xmlns:")) return name == "xmlns:xlink" ? kOk : kErrBadLength;
  if (TrySetExternalResources(walk, name, value, &status)) return status;
  if (TrySetClassOrStyle(walk, name, text, &status)) return status;
  bool handled = false;
  status = Own(walk, names, name, [&](int32_t index) {
    if (index == 0) return CopyReference(value, fields.href, true);
    if (index < kGradientUnitsIndex) return kOk;  // the other XLink attributes: accepted
    if (index == kGradientUnitsIndex) return LookupKeyword(value, kUnitsKeywords, fields.units);
    if (index == kGradientTransformIndex) return ParseTransformList(value, fields.transform);
    if (index == static_cast<int32_t>(kCount) - 1) {
      return LookupKeyword(value, kSpreadKeywords, fields.spread);
    }
    return geometry(index - kGradientGeometryIndex, value);
  }, &handled);
  if (handled) return status;
  if (IsXlinkName(name)) return kOk;
  return ParseColorOrStopAttribute(walk, name, value);
}

// x1, y1, x2, y2 start at 0%, 0%, 100%, 0%.
void SetLinearDefaults(LinearGradientRecord& gradient) {
  gradient.x1 = SvgLength{kUnitPx, 0.0, 1};
  gradient.y1 = SvgLength{kUnitPx, 0.0, 1};
  gradient.x2 = SvgLength{kUnitPx, 100.0, 1};
  gradient.y2 = SvgLength{kUnitPx, 0.0, 1};
  gradient.units = kObjectBoundingBox;
  gradient.spread = kSpreadPad;
}

// The centre and focus start at 0.5, the radius at 50%.
void SetRadialDefaults(RadialGradientRecord& gradient) {
  const SvgLength half{kUnitNone, 0.5, 0};
  gradient.cx = half;
  gradient.cy = half;
  gradient.fx = half;
  gradient.fy = half;
  gradient.r = SvgLength{kUnitNone, 50.0, 1};
  gradient.units = kObjectBoundingBox;
  gradient.spread = kSpreadPad;
}

// --- stop and pattern --------------------------------------------------------------

Status DispatchStopAttribute(ElementWalk& walk, std::string_view name, KernelBlock<char>& text) {
  const char* value = text.get();
  Status status = kOk;
  if (TrySetId(walk, name, value, true, &status)) return status;
  if (TrySetXml(walk, name, value, false, &status)) return status;
  if (TrySetClassOrStyle(walk, name, text, &status)) return status;
  constexpr std::array<std::string_view, 1> kStopNames{"offset"};
  StopRecord& stop = walk.record.data.stop.own;
  bool handled = false;
  status = Own(walk, kStopNames, name,
               [&](int32_t /*index*/) { return ParseLength(value, &stop.offset); }, &handled);
  if (handled) return status;
  return ParseColorOrStopAttribute(walk, name, value);
}

constexpr std::array<std::string_view, 16> kPatternNames{
    "xlink:href",          "xlink:type",   "xlink:role",          "xlink:arcrole",
    "xlink:title",         "xlink:show",   "xlink:actuate",       "viewBox",
    "preserveAspectRatio", "patternUnits", "patternContentUnits", "patternTransform",
    "x",                   "y",            "width",               "height"};

Status PatternOwn(PatternRecord& pattern, int32_t index, const char* value) {
  switch (index) {
    case 0: return CopyReference(value, &pattern.href, true);
    case 7: {
      const Status status = ParseViewBox(value, &pattern.viewBox);
      if (status == kOk) pattern.hasViewBox = 1;
      return status;
    }
    case 8: return ParseAspectRatio(value, &pattern.preserveAspectRatio);
    case 9: return LookupKeyword(value, kUnitsKeywords, &pattern.patternUnits);
    case 10: return LookupKeyword(value, kUnitsKeywords, &pattern.patternContentUnits);
    case 11: return ParseTransformList(value, &pattern.patternTransform);
    case 12: return ParseLength(value, &pattern.x);
    case 13: return ParseLength(value, &pattern.y);
    case 14: return ParseLength(value, &pattern.width);
    case 15: return ParseLength(value, &pattern.height);
    default: return kOk;  // the other XLink attributes: accepted
  }
}

// The common attributes (id, xml:base, xml:lang, xml:space, XLink,
// conditional, externalResourcesRequired, class, style), the own names, the
// events and document events, then every presentation attribute.
Status DispatchPatternAttribute(ElementWalk& walk, std::string_view name,
                                KernelBlock<char>& text) {
  const char* value = text.get();
  Status status = kOk;
  if (TrySetId(walk, name, value, true, &status)) return status;
  if (TrySetXml(walk, name, value, true, &status)) return status;
  if (name.starts_with("xmlns")) return kOk;
  if (TrySetConditional(walk, name, value, &status)) return status;
  if (TrySetExternalResources(walk, name, value, &status)) return status;
  if (TrySetClassOrStyle(walk, name, text, &status)) return status;
  PatternRecord& pattern = walk.record.data.pattern.own;
  bool handled = false;
  status = Own(walk, kPatternNames, name,
               [&](int32_t index) { return PatternOwn(pattern, index, value); }, &handled);
  if (handled) return status;
  if (IsXlinkName(name)) return kOk;
  if (TrySetEvent(walk, name, true, &status)) return status;
  ElementCommon& common = walk.common;
  status = ParsePresentationAttribute(common.propertyMasks, common.props, name, value,
                                      walk.document.version);
  // No group owns the name (or a length was malformed, answered alike).
  return status == kErrBadLength ? kOk : status;
}

template <typename Dispatch>
Status WalkPaintServer(SvgDocument& document, const AdvXMLParser::Element& xml,
                       Dispatch&& dispatch) {
  ElementRecord& record = document.records[document.recordCount];
  ElementWalk walk{document, record, CommonOf(record), document.recordCount, {}, {}};
  return WalkAttributes(walk, xml, dispatch);
}

}  // namespace

bool IsPaintServerKind(int32_t elementType) {
  return elementType >= kElemLinearGradient && elementType <= kElemPattern;
}

void FreePaintServerData(ElementRecord& record) {
  ElementData& data = record.data;
  switch (record.elementType) {
    case kElemLinearGradient:
      FreeTransformList(&data.linearGradient.own.gradientTransform);
      FreeString(&data.linearGradient.own.href);
      break;
    case kElemRadialGradient:
      FreeTransformList(&data.radialGradient.own.gradientTransform);
      FreeString(&data.radialGradient.own.href);
      break;
    case kElemPattern:
      FreeTransformList(&data.pattern.own.patternTransform);
      FreeString(&data.pattern.own.href);
      break;
    default: break;
  }
}

Status ParseLinearGradientElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                  int32_t type) {
  const Status status = BeginPaintServer(document, type);
  if (status != kOk) return status;
  LinearGradientRecord& gradient = document.records[document.recordCount].data.linearGradient.own;
  SetLinearDefaults(gradient);
  const GradientFields fields{&gradient.units, &gradient.spread, &gradient.gradientTransform,
                              &gradient.href};
  SvgLength* const geometry[] = {&gradient.x1, &gradient.y1, &gradient.x2, &gradient.y2};
  return WalkPaintServer(document, xml, [&](ElementWalk& walk, std::string_view name,
                                            KernelBlock<char>& text) {
    return DispatchGradientAttribute(
        walk, kLinearNames, fields,
        [&](int32_t n, const char* value) { return ParseLength(value, geometry[n]); }, name,
        text);
  });
}

Status ParseRadialGradientElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                  int32_t type) {
  const Status status = BeginPaintServer(document, type);
  if (status != kOk) return status;
  RadialGradientRecord& gradient = document.records[document.recordCount].data.radialGradient.own;
  SetRadialDefaults(gradient);
  const GradientFields fields{&gradient.units, &gradient.spread, &gradient.gradientTransform,
                              &gradient.href};
  SvgLength* const geometry[] = {&gradient.cx, &gradient.cy, &gradient.r, &gradient.fx,
                                 &gradient.fy};
  // A focus that is not written follows the centre: cx and cy copy their
  // value into fx and fy, and an fx or fy later in the tag overrides it.
  SvgLength* const follower[] = {&gradient.fx, &gradient.fy, nullptr, nullptr, nullptr};
  return WalkPaintServer(document, xml, [&](ElementWalk& walk, std::string_view name,
                                            KernelBlock<char>& text) {
    return DispatchGradientAttribute(
        walk, kRadialNames, fields,
        [&](int32_t n, const char* value) {
          const Status parsed = ParseLength(value, geometry[n]);
          if (parsed == kOk && follower[n] != nullptr) *follower[n] = *geometry[n];
          return parsed;
        },
        name, text);
  });
}

Status ParseStopElement(SvgDocument& document, const AdvXMLParser::Element& xml, int32_t type) {
  const Status status = BeginPaintServer(document, type);
  if (status != kOk) return status;
  return WalkPaintServer(document, xml, DispatchStopAttribute);
}

Status ParsePatternElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                           int32_t type) {
  const Status status = BeginPaintServer(document, type);
  if (status != kOk) return status;
  PatternRecord& pattern = document.records[document.recordCount].data.pattern.own;
  pattern.x = SvgLength{kUnitPx, 0.0, 1};
  pattern.y = SvgLength{kUnitPx, 0.0, 1};
  pattern.preserveAspectRatio = SvgAspectRatio{kAlignXMidYMid, kMeet};
  return WalkPaintServer(document, xml, DispatchPatternAttribute);
}

}  // namespace svgflt
