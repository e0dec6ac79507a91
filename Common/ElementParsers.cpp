#include "Common/ElementParsers.h"

#include <cstring>
#include <span>
#include <string_view>
#include <utility>

#include "Common/GeneralUtil.h"
#include "Common/KernelMemory.h"
#include "Common/Parser/Elements.h"
#include "Common/Properties.h"
#include "Common/SVGParsUtil.h"
#include "Common/ShapesUtil.h"
#include "Common/Stack.h"
#include "Common/StyleSheet.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/SVGParsUtil";

// Room for the attribute values read without a kernel block of their own.
constexpr std::size_t kInlineAttributeText = 128;

using AdvXMLParser::Attribute;
using AdvXMLParser::Element;
using Names = std::span<const std::string_view>;

// --- attribute groups ------------------------------------------------------

// Groups an element kind accepts (ElementRules::groups).
constexpr uint32_t kGroupCore = 1u << 0;         // id, xml:base, xml:lang, xml:space
constexpr uint32_t kGroupCoreLimited = 1u << 1;  // id, xml:base; xml:lang and xml:space refused
constexpr uint32_t kGroupConditional = 1u << 2;
constexpr uint32_t kGroupExternal = 1u << 3;
constexpr uint32_t kGroupClass = 1u << 4;
constexpr uint32_t kGroupStyle = 1u << 5;
constexpr uint32_t kGroupTransform = 1u << 6;
constexpr uint32_t kGroupEvents = 1u << 7;
constexpr uint32_t kGroupDocumentEvents = 1u << 8;
constexpr uint32_t kGroupPresentation = 1u << 9;     // colour, fill and stroke, graphics
constexpr uint32_t kGroupColorGraphics = 1u << 10;   // colour and graphics only
constexpr uint32_t kGroupAllProperties = 1u << 11;   // every presentation property

constexpr uint32_t kGroupsShape = kGroupCore | kGroupConditional | kGroupExternal | kGroupClass |
                                  kGroupStyle | kGroupPresentation | kGroupEvents |
                                  kGroupTransform;

constexpr std::array<std::string_view, 10> kEventNames{
    "onfocusin", "onfocusout", "onactivate", "onclick",   "onmousedown",
    "onmouseup", "onmouseover", "onmousemove", "onmouseout", "onload"};
constexpr std::array<std::string_view, 6> kDocumentEventNames{
    "onunload", "onabort", "onerror", "onresize", "onscroll", "onzoom"};

// Index of `name` in `names`, or -1.
int32_t IndexOf(Names names, std::string_view name) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return static_cast<int32_t>(i);
  }
  return -1;
}

bool StartsWithAny(std::string_view name, Names prefixes) {
  for (const std::string_view prefix : prefixes) {
    if (name.starts_with(prefix)) return true;
  }
  return false;
}

// --- the parse of one element ------------------------------------------------

struct ParseState {
  SvgDocument& document;
  ElementRecord& record;
  ElementCommon& common;
  int32_t index;                // the record's index
  KernelBlock<char> classText;  // the class attribute, kept for the class rules
  KernelBlock<char> styleText;  // the style attribute, applied after everything else
};

// Parses the element's own attribute number `index` (its position in the
// kind's own-name table).
using OwnParser = Status (*)(ParseState& state, int32_t index, const char* value);
using DefaultSetter = void (*)(ElementData& data);
// Derived values after a successful parse.
using Deriver = Status (*)(ParseState& state);

struct ElementRules {
  uint32_t groups;
  Names ownNames;
  OwnParser parseOwn;
  uint32_t required;    // ownGiven bits that must be present
  Names earlyIgnored;   // prefixes ignored right after "id", before every other name
  Names lateIgnored;    // prefixes ignored after the own names
  DefaultSetter setDefaults;
  Deriver derive;
};

Status NoOwnAttribute(ParseState& /*state*/, int32_t /*index*/, const char* /*value*/) {
  return kOk;
}
void NoDefaults(ElementData& /*data*/) {}
Status NoDerivedValues(ParseState& /*state*/) { return kOk; }

// The attribute's text as Attribute::GetText gives it (Text and character
// references joined, trimmed), but in a kernel block.
// Characters of an attribute value: text runs, one per character reference.
std::size_t AttributeTextLength(const Attribute& attribute) {
  std::size_t length = 0;
  for (const AdvXMLParser::Node* child : attribute.children) {
    if (child->IsType(AdvXMLParser::kTextNode)) {
      length += static_cast<const AdvXMLParser::Text*>(child)->value.size();
    } else if (child->IsType(AdvXMLParser::kReferenceNode)) {
      length += 1;
    }
  }
  return length;
}

// Writes the value, trimmed and terminated, into `out` (room for length + 1).
void CopyAttributeText(const Attribute& attribute, std::size_t length, char* out) {
  char* cursor = out;
  for (const AdvXMLParser::Node* child : attribute.children) {
    if (child->IsType(AdvXMLParser::kTextNode)) {
      const std::string& value = static_cast<const AdvXMLParser::Text*>(child)->value;
      std::memcpy(cursor, value.data(), value.size());
      cursor += value.size();
    } else if (child->IsType(AdvXMLParser::kReferenceNode)) {
      *cursor++ = static_cast<const AdvXMLParser::Reference*>(child)->value;
    }
  }
  const std::string_view trimmed = TrimView(std::string_view(out, length));
  std::memmove(out, trimmed.data(), trimmed.size());
  out[trimmed.size()] = '\0';
}

Status ReadAttributeText(const Attribute& attribute, KernelBlock<char>& out) {
  const std::size_t length = AttributeTextLength(attribute);
  out.Reset(SVGFLT_ALLOC(char, length + 1));
  if (!out) return kErrNoMemory;
  CopyAttributeText(attribute, length, out.get());
  return kOk;
}

// The xml: names: base (version 1.1 documents only), lang and space.
Status ParseXmlAttribute(ParseState& state, const ElementRules& rules, std::string_view rest,
                         const char* value) {
  ElementCommon& common = state.common;
  if (rest == "base") {
    if (state.document.version != 1.1) return kErrBadLength;
    return SetOnce(common.given, kGivenXmlBase,
                   [&] { return StoreString(value, &common.xmlBase); });
  }
  if ((rules.groups & kGroupCore) == 0) return kErrBadLength;
  if (rest == "lang") {
    return SetOnce(common.given, kGivenXmlLang,
                   [&] { return StoreString(value, &common.xmlLang); });
  }
  if (rest == "space") {
    return SetOnce(common.given, kGivenXmlSpace, [&] {
      const Status status = LookupKeyword(value, kXmlSpaceKeywords, &common.xmlSpace);
      if (status == kOk && state.record.elementType == kElemSvg) {
        state.document.preserveAll = common.xmlSpace;
      }
      return status;
    });
  }
  return kErrBadLength;
}

// Presentation attributes by the kind's groups; kErrBadLength when no group
// owns the name.
Status ParsePresentationGroups(ParseState& state, const ElementRules& rules, std::string_view name,
                               const char* value) {
  ElementCommon& common = state.common;
  const double version = state.document.version;
  if ((rules.groups & kGroupAllProperties) != 0) {
    return ParsePresentationAttribute(common.propertyMasks, common.props, name, value, version);
  }
  Status status = kErrBadLength;
  if ((rules.groups & (kGroupPresentation | kGroupColorGraphics)) != 0) {
    status = ParseColorAttribute(common.propertyMasks, common.props, name, value, version);
    if (status != kErrBadLength) return status;
  }
  if ((rules.groups & kGroupPresentation) != 0) {
    status = ParsePaintAttribute(common.propertyMasks, common.props, name, value, version);
    if (status != kErrBadLength) return status;
  }
  if ((rules.groups & (kGroupPresentation | kGroupColorGraphics)) != 0) {
    status = ParseVisualAttribute(common.propertyMasks, common.props, name, value, version);
  }
  return status;
}

// One attribute, dispatched on its name; the first match wins.
// `value` is the attribute's text; class and style, which the record keeps,
// come in the kernel block `text`, the others may be in a caller's buffer.
Status ParseAttribute(ParseState& state, const ElementRules& rules, std::string_view name,
                      const char* value, KernelBlock<char>& text) {
  ElementCommon& common = state.common;
  const uint32_t groups = rules.groups;

  if (name == "id") {
    return SetOnce(common.given, kGivenId, [&] {
      const Status status = RegisterId(state.document, value);
      return status != kOk ? status : StoreString(value, &common.id);
    });
  }
  if (StartsWithAny(name, rules.earlyIgnored)) return kOk;
  if (name.starts_with("a:adobe-blending-mode")) return kOk;
  if (name.starts_with("xml:")) return ParseXmlAttribute(state, rules, name.substr(4), value);

  if ((groups & kGroupConditional) != 0) {
    if (name == "requiredFeatures") {
      return SetOnce(common.given, kGivenRequiredFeatures,
                     [&] { return ParseFeatures(value, &common.requiredFeatures); });
    }
    if (name == "requiredExtensions") {
      return SetOnce(common.given, kGivenRequiredExtensions, [&] {
        common.requiredExtensionsSeen = 1;
        return kOk;
      });
    }
    if (name == "systemLanguage") {
      return SetOnce(common.given, kGivenSystemLanguage,
                     [&] { return NormaliseCommaList(value, &common.systemLanguage); });
    }
  }
  if ((groups & kGroupExternal) != 0 && name == "externalResourcesRequired") {
    return SetOnce(common.given, kGivenExternalResources, [&] {
      return LookupKeyword(value, kBooleanKeywords, &common.externalResourcesRequired);
    });
  }
  if ((groups & kGroupClass) != 0 && name == "class") {
    return SetOnce(common.given, kGivenClass, [&] {
      const Status status = RegisterClasses(state.document, state.index, value);
      if (status == kOk) {
        common.classSeen = 1;
        state.classText = std::move(text);
      }
      return status;
    });
  }
  if ((groups & kGroupStyle) != 0 && name == "style") {
    if (state.styleText && state.styleText[0] != '\0') return kErrDuplicateAttribute;
    state.styleText = std::move(text);
    return kOk;
  }
  if ((groups & kGroupTransform) != 0 && name == "transform") {
    return SetOnce(common.given, kGivenTransform,
                   [&] { return ParseTransformList(value, &common.transform); });
  }

  const int32_t own = IndexOf(rules.ownNames, name);
  if (own >= 0) {
    return SetOnce(common.ownGiven, 1u << own, [&] { return rules.parseOwn(state, own, value); });
  }
  if (StartsWithAny(name, rules.lateIgnored)) return kOk;
  if (name.starts_with("xmlns")) return kOk;

  if ((groups & kGroupEvents) != 0) {
    const int32_t event = IndexOf(kEventNames, name);
    if (event >= 0) return SetOnce(common.eventsGiven, 1u << event, [] { return kOk; });
  }
  if ((groups & kGroupDocumentEvents) != 0) {
    const int32_t event = IndexOf(kDocumentEventNames, name);
    if (event >= 0) {
      return SetOnce(common.eventsGiven, 1u << (kEventNames.size() + static_cast<uint32_t>(event)),
                     [] { return kOk; });
    }
  }
  const Status status = ParsePresentationGroups(state, rules, name, value);
  // A name that no group owns is ignored.
  return status == kErrBadLength ? kOk : status;
}

// Prepares the presentation block: defaults, then what the parent passes on.
Status PrepareProperties(SvgDocument& document, ElementRecord& record) {
  ElementCommon& common = CommonOf(record);
  Status status = InitPresentationProperties(common.props);
  if (status != kOk) return status;
  if (record.parent >= 0 && record.parent < document.recordCount) {
    const ElementRecord& parent = document.records[record.parent];
    if (HasElementCommon(parent.elementType)) {
      status = InheritPresentationProperties(common.props, CommonOf(parent).props);
    }
  }
  return status;
}

// The parsing pattern shared by every kind of this file.
Status ParseWithRules(SvgDocument& document, const Element& xml, int32_t type,
                     const ElementRules& rules) {
  const int32_t index = document.recordCount;
  ElementRecord& record = document.records[index];
  record.elementType = type;
  record.data = ElementData{};
  Status status = PrepareProperties(document, record);
  if (status != kOk) return status;
  rules.setDefaults(record.data);

  ParseState state{document, record, CommonOf(record), index, {}, {}};
  // Short values are read into this buffer instead of a kernel block each;
  // class and style, which outlive the loop, always get their own block.
  char inlineText[kInlineAttributeText];
  for (const Attribute* attribute : xml.attributes) {
    KernelBlock<char> text;
    const char* value = inlineText;
    const std::size_t length = AttributeTextLength(*attribute);
    if (length < sizeof inlineText && attribute->name != "class" && attribute->name != "style") {
      CopyAttributeText(*attribute, length, inlineText);
    } else {
      status = ReadAttributeText(*attribute, text);
      value = text.get();
    }
    if (status == kOk) status = ParseAttribute(state, rules, attribute->name, value, text);
    if (status != kOk) break;
  }
  if (status == kOk) {
    // Type rule, class rules, then the style attribute: the style attribute
    // wins over presentation attributes whatever their order.
    status = ApplyClassesAndStyle(document, index, xml.name.c_str(), state.common.props,
                                  state.classText.get(), state.styleText.get());
  }
  // The first fault is the one reported: an attribute that stopped the walk
  // comes before the required ones it may have kept from being read.
  if (status != kOk) return status;
  if ((state.common.ownGiven & rules.required) != rules.required) return kErrRequiredAttribute;
  return rules.derive(state);
}

// Shared own-attribute helpers.
Status StoreLength(const char* value, SvgLength* out) { return ParseLength(value, out); }

Status StoreViewBox(const char* value, SvgViewBox* out, int32_t* present) {
  const Status status = ParseViewBox(value, out);
  if (status == kOk) *present = 1;
  return status;
}

constexpr SvgLength kZeroPx{kUnitPx, 0.0, 0};
constexpr SvgAspectRatio kDefaultAspectRatio{kAlignXMidYMid, kMeet};

// --- svg -----------------------------------------------------------------------

constexpr std::array<std::string_view, 18> kSvgNames{
    "x",          "y",           "width",         "height",            "viewBox",
    "preserveAspectRatio", "zoomAndPan", "version", "contentScriptType", "contentStyleType",
    "xmlns",      "xlink:href",  "xlink:type",    "xlink:role",        "xlink:arcrole",
    "xlink:title", "xlink:show", "xlink:actuate"};
constexpr std::array<std::string_view, 3> kSvgIgnored{"i:", "d1p1:", "title:"};
constexpr uint32_t kSvgVersionBit = 1u << 7;

void SvgDefaults(ElementData& data) {
  SvgElementData& svg = data.svg;
  svg.x = kZeroPx;
  svg.y = kZeroPx;
  // SVG 1.1: a missing width or height is 100%.
  svg.width = SvgLength{kUnitNone, 100.0, 1};
  svg.height = SvgLength{kUnitNone, 100.0, 1};
  svg.preserveAspectRatio = kDefaultAspectRatio;
  svg.zoomAndPan = kZoomAndPanMagnify;
  svg.version = SvgNumberPercent{1.1, 0};
}

Status SvgOwn(ParseState& state, int32_t index, const char* value) {
  SvgElementData& svg = state.record.data.svg;
  switch (index) {
    case 0: return StoreLength(value, &svg.x);
    case 1: return StoreLength(value, &svg.y);
    case 2: svg.widthGiven = 1; return StoreLength(value, &svg.width);
    case 3: svg.heightGiven = 1; return StoreLength(value, &svg.height);
    case 4: return StoreViewBox(value, &svg.viewBox, &svg.hasViewBox);
    case 5: return ParseAspectRatio(value, &svg.preserveAspectRatio);
    case 6: return LookupKeyword(value, kZoomAndPanKeywords, &svg.zoomAndPan);
    case 7: return ParseNumberPercent(value, &svg.version);
    case 8: return StoreString(value, &svg.contentScriptType);
    case 9: return StoreString(value, &svg.contentStyleType);
    default: return kOk;  // xmlns (once, not checked) and the xlink attributes
  }
}

// One side of a root svg without its own size: the given other side scaled
// by the viewBox's aspect when that side is absolute, else the viewBox's own
// extent in user units.
SvgLength SideFromViewBox(double viewBoxSide, double viewBoxOther, const SvgLength& other,
                          int32_t otherGiven) {
  if (otherGiven != 0 && other.isPercent == 0) {
    SvgLength side = other;
    side.value = other.value * viewBoxSide / viewBoxOther;
    return side;
  }
  return SvgLength{kUnitNone, viewBoxSide, 0};
}

Status SvgDerive(ParseState& state) {
  SvgElementData& svg = state.record.data.svg;
  if ((state.common.ownGiven & kSvgVersionBit) != 0) state.document.version = svg.version.value;
  // Most drawings give only a viewBox. Read as an image, the root then has
  // the viewBox's size (keeping its aspect when one side is given); 100%
  // of nothing would leave it without a size. widthGiven and heightGiven
  // stay 0, so the converter can still tell. An inner svg keeps 100% of its
  // parent's viewport, as SVG 1.1 says.
  if (state.record.parent < 0 && svg.hasViewBox != 0) {
    const SvgLength width = svg.width;
    const SvgLength height = svg.height;
    if (svg.widthGiven == 0) {
      svg.width = SideFromViewBox(svg.viewBox.width, svg.viewBox.height, height, svg.heightGiven);
    }
    if (svg.heightGiven == 0) {
      svg.height = SideFromViewBox(svg.viewBox.height, svg.viewBox.width, width, svg.widthGiven);
    }
  }
  return kOk;
}

constexpr ElementRules kSvgRules{kGroupCore | kGroupConditional | kGroupExternal | kGroupClass |
                                   kGroupStyle | kGroupAllProperties | kGroupEvents |
                                   kGroupDocumentEvents,
                               kSvgNames, SvgOwn, 0, {}, kSvgIgnored, SvgDefaults, SvgDerive};

// --- g, containers, text blocks --------------------------------------------------

constexpr std::array<std::string_view, 2> kGroupNames{"keyfield", "name"};
constexpr std::array<std::string_view, 6> kGroupIgnored{"i:",  "onmouseup", "adobe:",
                                                        "a:",  "r",         "count"};

Status GroupOwn(ParseState& state, int32_t index, const char* value) {
  GroupData& group = state.record.data.group;
  return StoreString(value, index == 0 ? &group.keyfield : &group.name);
}

constexpr ElementRules kGroupRules{
    kGroupCore | kGroupConditional | kGroupExternal | kGroupClass | kGroupStyle |
        kGroupAllProperties | kGroupEvents | kGroupTransform,
    kGroupNames, GroupOwn, 0, kGroupIgnored, {}, NoDefaults, NoDerivedValues};

constexpr ElementRules kDefsRules{kGroupsShape, {}, NoOwnAttribute, 0, {}, {}, NoDefaults,
                                NoDerivedValues};
constexpr ElementRules kDescRules{kGroupCore | kGroupStyle, {}, NoOwnAttribute, 0, {}, {},
                                NoDefaults, NoDerivedValues};
constexpr ElementRules kTitleRules{kGroupCore, {}, NoOwnAttribute, 0, {}, {}, NoDefaults,
                                 NoDerivedValues};
constexpr ElementRules kTextBlockRules{kGroupCore | kGroupConditional | kGroupClass | kGroupStyle |
                                         kGroupPresentation | kGroupEvents,
                                     {}, NoOwnAttribute, 0, {}, {}, NoDefaults, NoDerivedValues};
constexpr ElementRules kRegionRules{
    kGroupCore | kGroupConditional | kGroupClass | kGroupPresentation | kGroupEvents,
    {}, NoOwnAttribute, 0, {}, {}, NoDefaults, NoDerivedValues};
constexpr ElementRules kBrRules{kGroupCoreLimited | kGroupConditional, {}, NoOwnAttribute, 0, {},
                              {}, NoDefaults, NoDerivedValues};
constexpr ElementRules kSolidColorRules{kGroupCoreLimited | kGroupStyle, {}, NoOwnAttribute, 0, {},
                                      {}, NoDefaults, NoDerivedValues};

// --- symbol, marker, clipPath ------------------------------------------------------

constexpr std::array<std::string_view, 2> kSymbolNames{"viewBox", "preserveAspectRatio"};

void SymbolDefaults(ElementData& data) { data.symbol.preserveAspectRatio = kDefaultAspectRatio; }

Status SymbolOwn(ParseState& state, int32_t index, const char* value) {
  SymbolData& symbol = state.record.data.symbol;
  if (index == 0) return StoreViewBox(value, &symbol.viewBox, &symbol.hasViewBox);
  return ParseAspectRatio(value, &symbol.preserveAspectRatio);
}

constexpr ElementRules kSymbolRules{kGroupCore | kGroupStyle | kGroupPresentation | kGroupEvents,
                                  kSymbolNames, SymbolOwn, 0, {}, {}, SymbolDefaults,
                                  NoDerivedValues};

constexpr std::array<std::string_view, 8> kMarkerNames{
    "viewBox",     "preserveAspectRatio", "refX",         "refY",
    "markerUnits", "markerWidth",         "markerHeight", "orient"};

// SVG 1.1 defaults: reference point 0, 3 x 3 in stroke widths, no rotation.
void MarkerDefaults(ElementData& data) {
  MarkerData& marker = data.marker;
  marker.preserveAspectRatio = kDefaultAspectRatio;
  marker.refX = kZeroPx;
  marker.refY = kZeroPx;
  marker.markerWidth = SvgLength{kUnitNone, 3.0, 0};
  marker.markerHeight = SvgLength{kUnitNone, 3.0, 0};
}

Status MarkerOwn(ParseState& state, int32_t index, const char* value) {
  MarkerData& marker = state.record.data.marker;
  switch (index) {
    case 0: return StoreViewBox(value, &marker.viewBox, &marker.hasViewBox);
    case 1: return ParseAspectRatio(value, &marker.preserveAspectRatio);
    case 2: return StoreLength(value, &marker.refX);
    case 3: return StoreLength(value, &marker.refY);
    case 4: return LookupKeyword(value, kMarkerUnitsKeywords, &marker.markerUnits);
    case 5: return StoreLength(value, &marker.markerWidth);
    case 6: return StoreLength(value, &marker.markerHeight);
    default:
      if (EqualsNoCase(TrimView(value), "auto")) {
        marker.orientAuto = 1;
        return kOk;
      }
      return ParseAngle(value, &marker.orient);
  }
}

constexpr ElementRules kMarkerRules{kGroupCore | kGroupStyle | kGroupPresentation, kMarkerNames,
                                  MarkerOwn, 0, {}, {}, MarkerDefaults, NoDerivedValues};

constexpr std::array<std::string_view, 1> kClipPathNames{"clipPathUnits"};

Status ClipPathOwn(ParseState& state, int32_t /*index*/, const char* value) {
  return LookupKeyword(value, kUnitsKeywords, &state.record.data.clipPath.clipPathUnits);
}

constexpr ElementRules kClipPathRules{kGroupCore | kGroupConditional | kGroupExternal |
                                        kGroupClass | kGroupStyle | kGroupPresentation |
                                        kGroupTransform,
                                    kClipPathNames, ClipPathOwn, 0, {}, {}, NoDefaults,
                                    NoDerivedValues};

// --- use, image, a, color-profile ----------------------------------------------------

constexpr std::array<std::string_view, 11> kUseNames{
    "x",          "y",          "width",      "height",        "xlink:href", "xlink:type",
    "xlink:role", "xlink:arcrole", "xlink:title", "xlink:show", "xlink:actuate"};

// x, y 0; width and height 0, which the converter reads as "not given".
void UseDefaults(ElementData& data) {
  UseData& use = data.use;
  use.x = kZeroPx;
  use.y = kZeroPx;
  use.width = kZeroPx;
  use.height = kZeroPx;
}

Status UseOwn(ParseState& state, int32_t index, const char* value) {
  UseData& use = state.record.data.use;
  switch (index) {
    case 0: return StoreLength(value, &use.x);
    case 1: return StoreLength(value, &use.y);
    case 2: return StoreLength(value, &use.width);
    case 3: return StoreLength(value, &use.height);
    case 4: return CopyReference(value, &use.href, true);
    default: return kOk;
  }
}

constexpr ElementRules kUseRules{kGroupsShape, kUseNames, UseOwn, 0, {}, {}, UseDefaults,
                               NoDerivedValues};

constexpr std::array<std::string_view, 13> kImageNames{
    "x",          "y",          "width",         "height",      "preserveAspectRatio",
    "a:adobe-opacity-share", "xlink:href", "xlink:type", "xlink:role", "xlink:arcrole",
    "xlink:title", "xlink:show", "xlink:actuate"};
constexpr uint32_t kImageRequired = (1u << 2) | (1u << 3) | (1u << 6);

void ImageDefaults(ElementData& data) {
  ImageData& image = data.image;
  image.x = kZeroPx;
  image.y = kZeroPx;
  image.width = kZeroPx;
  image.height = kZeroPx;
  image.preserveAspectRatio = kDefaultAspectRatio;
}

Status ImageOwn(ParseState& state, int32_t index, const char* value) {
  ImageData& image = state.record.data.image;
  switch (index) {
    case 0: return StoreLength(value, &image.x);
    case 1: return StoreLength(value, &image.y);
    case 2: return StoreLength(value, &image.width);
    case 3: return StoreLength(value, &image.height);
    case 4: return ParseAspectRatio(value, &image.preserveAspectRatio);
    case 5: return StoreString(value, &image.adobeOpacityShare);
    case 6: return ParseDataUri(image.source, value);
    default: return kOk;
  }
}

constexpr ElementRules kImageRules{kGroupCore | kGroupConditional | kGroupExternal | kGroupClass |
                                     kGroupStyle | kGroupColorGraphics | kGroupEvents |
                                     kGroupTransform,
                                 kImageNames, ImageOwn, kImageRequired, {}, {}, ImageDefaults,
                                 NoDerivedValues};

constexpr std::array<std::string_view, 7> kAnchorNames{
    "xlink:href", "xlink:type", "xlink:actuate", "xlink:show", "xmlns:xlink", "keyfield", "name"};

Status AnchorOwn(ParseState& state, int32_t index, const char* value) {
  AnchorData& anchor = state.record.data.anchor;
  switch (index) {
    case 0: return StoreString(value, &anchor.href);
    case 5: return StoreString(value, &anchor.keyfield);
    case 6: return StoreString(value, &anchor.name);
    default: return kOk;
  }
}

constexpr ElementRules kAnchorRules{kGroupsShape, kAnchorNames, AnchorOwn, 0, {}, {}, NoDefaults,
                                  NoDerivedValues};

constexpr std::array<std::string_view, 10> kColorProfileNames{
    "local",      "name",       "rendering-intent", "xlink:href", "xlink:type",
    "xlink:role", "xlink:arcrole", "xlink:title",   "xlink:show", "xlink:actuate"};

Status ColorProfileOwn(ParseState& state, int32_t index, const char* value) {
  ColorProfileData& profile = state.record.data.colorProfile;
  switch (index) {
    case 0: return StoreString(value, &profile.local);
    case 1: return StoreString(value, &profile.name);
    case 2: return LookupKeyword(value, kRenderingIntentKeywords, &profile.renderingIntent);
    case 3: return StoreString(value, &profile.href);
    default: return kOk;
  }
}

constexpr ElementRules kColorProfileRules{kGroupCoreLimited, kColorProfileNames, ColorProfileOwn,
                                        1u << 1, {}, {}, NoDefaults, NoDerivedValues};

// --- shapes ------------------------------------------------------------------------

constexpr std::array<std::string_view, 5> kPathNames{"d", "pathLength", "enable-background",
                                                     "font", "title"};
constexpr std::array<std::string_view, 2> kPathIgnored{"i:", "a:"};
constexpr std::array<std::string_view, 1> kInkscapeIgnored{"i:"};

Status PathOwn(ParseState& state, int32_t index, const char* value) {
  PathData& path = state.record.data.path;
  if (index == 0) {
    // Data with a fault keeps the segments before it and the path draws up
    // to there, as browsers do; only running out of memory ends the load.
    const Status status = ParsePathData(value, &path.d);
    return status == kErrNoMemory ? status : kOk;
  }
  if (index == 1) return ParseNumberPercent(value, &path.pathLength);
  return kOk;  // enable-background, font and title: accepted without effect
}

constexpr ElementRules kPathRules{kGroupsShape, kPathNames, PathOwn, 1u << 0, {}, kPathIgnored,
                                NoDefaults, NoDerivedValues};

constexpr std::array<std::string_view, 6> kRectNames{"x", "y", "width", "height", "rx", "ry"};
constexpr uint32_t kRectRxBit = 1u << 4;
constexpr uint32_t kRectRyBit = 1u << 5;

void RectDefaults(ElementData& data) {
  RectData& rect = data.rect;
  rect.x = kZeroPx;
  rect.y = kZeroPx;
  rect.width = kZeroPx;
  rect.height = kZeroPx;
  rect.rx = kZeroPx;
  rect.ry = kZeroPx;
}

Status RectOwn(ParseState& state, int32_t index, const char* value) {
  RectData& rect = state.record.data.rect;
  SvgLength* const fields[] = {&rect.x, &rect.y, &rect.width, &rect.height, &rect.rx, &rect.ry};
  return StoreLength(value, fields[index]);
}

// A missing corner radius takes the other's value; each is at most half the
// side it rounds, compared as stored numbers.
Status RectDerive(ParseState& state) {
  RectData& rect = state.record.data.rect;
  const uint32_t given = state.common.ownGiven & (kRectRxBit | kRectRyBit);
  if (given == 0) return kOk;
  if (given == kRectRxBit) rect.ry = rect.rx;
  if (given == kRectRyBit) rect.rx = rect.ry;
  if (rect.rx.value > rect.width.value / 2) {
    rect.rx = rect.width;
    rect.rx.value /= 2;
  }
  if (rect.ry.value > rect.height.value / 2) {
    rect.ry = rect.height;
    rect.ry.value /= 2;
  }
  return kOk;
}

constexpr ElementRules kRectRules{kGroupsShape, kRectNames, RectOwn, (1u << 2) | (1u << 3), {}, {},
                                RectDefaults, RectDerive};

// Circle, ellipse and line: every length starts at 0; "font" is accepted
// without effect.
constexpr std::array<std::string_view, 4> kCircleNames{"cx", "cy", "r", "font"};

void CircleDefaults(ElementData& data) {
  data.circle.cx = kZeroPx;
  data.circle.cy = kZeroPx;
  data.circle.r = kZeroPx;
}

Status CircleOwn(ParseState& state, int32_t index, const char* value) {
  CircleData& circle = state.record.data.circle;
  SvgLength* const fields[] = {&circle.cx, &circle.cy, &circle.r};
  return index < 3 ? StoreLength(value, fields[index]) : kOk;
}

constexpr ElementRules kCircleRules{kGroupsShape, kCircleNames, CircleOwn, 1u << 2, {},
                                  kInkscapeIgnored, CircleDefaults, NoDerivedValues};

constexpr std::array<std::string_view, 4> kEllipseNames{"cx", "cy", "rx", "ry"};

void EllipseDefaults(ElementData& data) {
  data.ellipse.cx = kZeroPx;
  data.ellipse.cy = kZeroPx;
  data.ellipse.rx = kZeroPx;
  data.ellipse.ry = kZeroPx;
}

Status EllipseOwn(ParseState& state, int32_t index, const char* value) {
  EllipseData& ellipse = state.record.data.ellipse;
  SvgLength* const fields[] = {&ellipse.cx, &ellipse.cy, &ellipse.rx, &ellipse.ry};
  return StoreLength(value, fields[index]);
}

constexpr ElementRules kEllipseRules{kGroupsShape, kEllipseNames, EllipseOwn,
                                   (1u << 2) | (1u << 3), {}, {}, EllipseDefaults,
                                   NoDerivedValues};

constexpr std::array<std::string_view, 5> kLineNames{"x1", "y1", "x2", "y2", "font"};

void LineDefaults(ElementData& data) {
  data.line.x1 = kZeroPx;
  data.line.y1 = kZeroPx;
  data.line.x2 = kZeroPx;
  data.line.y2 = kZeroPx;
}

Status LineOwn(ParseState& state, int32_t index, const char* value) {
  LineData& line = state.record.data.line;
  SvgLength* const fields[] = {&line.x1, &line.y1, &line.x2, &line.y2};
  return index < 4 ? StoreLength(value, fields[index]) : kOk;
}

constexpr ElementRules kLineRules{kGroupsShape, kLineNames, LineOwn, 0, {}, kInkscapeIgnored,
                                LineDefaults, NoDerivedValues};

constexpr std::array<std::string_view, 1> kPolyNames{"points"};

Status PolyOwn(ParseState& state, int32_t /*index*/, const char* value) {
  return ParsePoints(value, &state.record.data.poly.points);
}

constexpr ElementRules kPolyRules{kGroupsShape, kPolyNames, PolyOwn, 0, {}, {}, NoDefaults,
                                NoDerivedValues};

}  // namespace

// ---------------------------------------------------------------------------

bool HasElementCommon(int32_t elementType) {
  switch (elementType) {
    case kElemSvg: case kElemG: case kElemDefs: case kElemDesc: case kElemTitle:
    case kElemSymbol: case kElemUse: case kElemImage: case kElemSwitch: case kElemStyle:
    case kElemPath: case kElemRect: case kElemCircle: case kElemEllipse: case kElemLine:
    case kElemPolyline: case kElemPolygon: case kElemMarker: case kElemColorProfile:
    case kElemClipPath: case kElemA: case kElemDiv: case kElemP: case kElemSpan:
    case kElemRegion: case kElemBr: case kElemSolidColor:
      return true;
    default:
      return IsTextElementKind(elementType) || IsFontElementKind(elementType) ||
             IsPaintServerKind(elementType);
  }
}

void FreeElementData(ElementRecord& record) {
  if (!HasElementCommon(record.elementType)) return;
  ElementData& data = record.data;
  ElementCommon& common = CommonOf(record);
  FreeString(&common.id);
  FreeString(&common.xmlBase);
  FreeString(&common.xmlLang);
  FreeString(&common.systemLanguage);
  FreeTransformList(&common.transform);
  FreePresentationProperties(common.props);
  FreeTextElementData(record);
  FreeFontElementData(record);
  FreePaintServerData(record);
  switch (record.elementType) {
    case kElemSvg:
      FreeString(&data.svg.contentScriptType);
      FreeString(&data.svg.contentStyleType);
      break;
    case kElemG:
      FreeString(&data.group.keyfield);
      FreeString(&data.group.name);
      break;
    case kElemUse: FreeString(&data.use.href); break;
    case kElemImage:
      FreeImageSource(data.image.source);
      FreeString(&data.image.adobeOpacityShare);
      break;
    case kElemStyle: FreeStyleElementData(data.style.sheet); break;
    case kElemPath: FreePathData(&data.path.d); break;
    case kElemPolyline:
    case kElemPolygon: FreePoints(&data.poly.points); break;
    case kElemColorProfile:
      FreeString(&data.colorProfile.local);
      FreeString(&data.colorProfile.name);
      FreeString(&data.colorProfile.href);
      break;
    case kElemA:
      FreeString(&data.anchor.href);
      FreeString(&data.anchor.keyfield);
      FreeString(&data.anchor.name);
      break;
    default: break;
  }
  data = ElementData{};
}

Status ParseSvgElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kSvgRules);
}
Status ParseGroupElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kGroupRules);
}
Status ParseDefsElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kDefsRules);
}
Status ParseDescElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kDescRules);
}
Status ParseTitleElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kTitleRules);
}
Status ParseSymbolElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kSymbolRules);
}
Status ParseUseElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kUseRules);
}
Status ParseImageElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kImageRules);
}
Status ParsePathElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kPathRules);
}
Status ParseRectElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kRectRules);
}
Status ParseCircleElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kCircleRules);
}
Status ParseEllipseElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kEllipseRules);
}
Status ParseLineElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kLineRules);
}
Status ParsePolyElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kPolyRules);
}
Status ParseMarkerElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kMarkerRules);
}
Status ParseColorProfileElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kColorProfileRules);
}
Status ParseClipPathElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kClipPathRules);
}
Status ParseAnchorElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kAnchorRules);
}
Status ParseTextBlockElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kTextBlockRules);
}
Status ParseRegionElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kRegionRules);
}
Status ParseBrElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kBrRules);
}
Status ParseSolidColorElement(SvgDocument& document, const Element& xml, int32_t type) {
  return ParseWithRules(document, xml, type, kSolidColorRules);
}

Status ParseStyleSheetElement(SvgDocument& document, const Element& xml, int32_t type) {
  ElementRecord& record = document.records[document.recordCount];
  record.elementType = type;
  record.data = ElementData{};
  const Status status = PrepareProperties(document, record);
  if (status != kOk) return status;
  // The attributes (id, xml:base, xml:space, type, media) and the sheet are
  // the style sheet reader's. "type" is not required: without it the element
  // loads and adds no rule.
  return ParseStyleElement(document, xml, record.data.style.sheet);
}

}  // namespace svgflt
