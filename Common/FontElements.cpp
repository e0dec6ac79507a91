#include "Common/FontElements.h"

#include <span>
#include <string_view>

#include "Common/ElementWalk.h"
#include "Common/GeneralUtil.h"
#include "Common/KernelMemory.h"
#include "Common/Parser/Elements.h"
#include "Common/Properties.h"
#include "Common/ShapesUtil.h"
#include "Common/SvgDocument.h"

namespace svgflt {
namespace {

using Names = std::span<const std::string_view>;
using OwnParser = Status (*)(ElementWalk& walk, int32_t index, const char* value);

// What a font kind accepts besides "id" and xml:base.
struct FontKindRules {
  bool external;      // externalResourcesRequired
  bool classStyle;    // class, style
  bool presentation;  // every presentation attribute
  bool xlink;         // xmlns:xlink (the XLink names are among the own names)
  bool fontGroup;     // font-family, font-style, ... into the presentation block
  Names ownNames;
  OwnParser parseOwn;
};

// One attribute of a font element: id, xml: names (only xml:base),
// xmlns: names (only xmlns:xlink, where XLink is accepted), then the groups
// of the kind and its own names. Names that nothing owns are ignored.
Status DispatchFontAttribute(ElementWalk& walk, const FontKindRules& rules, std::string_view name,
                             KernelBlock<char>& text) {
  const char* value = text.get();
  Status status = kOk;
  if (TrySetId(walk, name, value, false, &status)) return status;
  if (TrySetXml(walk, name, value, false, &status)) return status;
  if (name.starts_with("xmlns:")) return rules.xlink && name == "xmlns:xlink" ? kOk : kErrBadLength;
  if (rules.external && TrySetExternalResources(walk, name, value, &status)) return status;
  if (rules.classStyle && TrySetClassOrStyle(walk, name, text, &status)) return status;
  if (TrySetOwn(walk, rules.ownNames, name,
                [&](int32_t index) { return rules.parseOwn(walk, index, value); }, &status)) {
    return status;
  }
  ElementCommon& common = walk.common;
  const double version = walk.document.version;
  if (rules.presentation) {
    status = ParsePresentationAttribute(common.propertyMasks, common.props, name, value, version);
  } else if (rules.fontGroup) {
    status = ParseFontAttribute(common.propertyMasks, common.props, name, value, version);
  }
  // No group owns the name (or a length was malformed, answered alike).
  return status == kErrBadLength ? kOk : status;
}

Status NoOwnAttribute(ElementWalk& /*walk*/, int32_t /*index*/, const char* /*value*/) {
  return kOk;
}

// font
constexpr std::array<std::string_view, 6> kFontNames{"horiz-origin-x", "horiz-origin-y",
                                                     "horiz-adv-x",    "vert-origin-x",
                                                     "vert-origin-y",  "vert-adv-y"};

Status FontOwn(ElementWalk& walk, int32_t index, const char* value) {
  FontRecord& font = walk.record.data.font.own;
  double* const fields[] = {&font.horizOriginX, &font.horizOriginY, &font.horizAdvX,
                            &font.vertOriginX,  &font.vertOriginY,  &font.vertAdvY};
  return ParseStrictNumber(value, fields[index]);
}

constexpr FontKindRules kFontRules{true, true, true, false, false, kFontNames, FontOwn};

// glyph
constexpr std::array<std::string_view, 10> kGlyphNames{
    "unicode",     "glyph-name",    "lang",          "orientation", "arabic-form",
    "horiz-adv-x", "vert-origin-x", "vert-origin-y", "vert-adv-y",  "d"};

Status GlyphOwn(ElementWalk& walk, int32_t index, const char* value) {
  GlyphRecord& glyph = walk.record.data.glyph.own;
  switch (index) {
    // The strings may be empty: the space glyph's unicode " " is trimmed
    // away like every attribute value, and must still load.
    case 0: return StoreString(value, &glyph.unicode);
    case 1: return StoreString(value, &glyph.glyphName);
    case 2: return StoreString(value, &glyph.lang);
    case 3: return LookupKeyword(value, kGlyphOrientationKeywords, &glyph.orientation);
    case 4: return LookupKeyword(value, kArabicFormKeywords, &glyph.arabicForm);
    case 5: return ParseStrictNumber(value, &glyph.horizAdvX);
    case 6: return ParseStrictNumber(value, &glyph.vertOriginX);
    case 7: return ParseStrictNumber(value, &glyph.vertOriginY);
    case 8: return ParseStrictNumber(value, &glyph.vertAdvY);
    // Nothing draws glyph outlines (text uses the host's fonts), so the
    // outline is kept as written rather than parsed.
    default: return StoreString(value, &glyph.d);
  }
}

constexpr FontKindRules kGlyphRules{false, true, true, false, false, kGlyphNames, GlyphOwn};

// missing-glyph
constexpr std::array<std::string_view, 5> kMissingGlyphNames{
    "horiz-adv-x", "vert-origin-x", "vert-origin-y", "vert-adv-y", "d"};

Status MissingGlyphOwn(ElementWalk& walk, int32_t index, const char* value) {
  MissingGlyphRecord& glyph = walk.record.data.missingGlyph.own;
  if (index == 4) {
    // As for a path: the segments before a fault stay, only running out of
    // memory ends the load.
    const Status status = ParsePathData(value, &glyph.d);
    return status == kErrNoMemory ? status : kOk;
  }
  double* const fields[] = {&glyph.horizAdvX, &glyph.vertOriginX, &glyph.vertOriginY,
                            &glyph.vertAdvY};
  return ParseStrictNumber(value, fields[index]);
}

constexpr FontKindRules kMissingGlyphRules{false, true,  true, false, false, kMissingGlyphNames,
                                         MissingGlyphOwn};

// hkern, vkern
constexpr std::array<std::string_view, 5> kKernNames{"u1", "g1", "u2", "g2", "k"};

Status KernOwn(ElementWalk& walk, int32_t index, const char* value) {
  KernRecord& kern = walk.record.data.kern.own;
  char** const lists[] = {&kern.u1, &kern.g1, &kern.u2, &kern.g2};
  if (index == 4) return ParseStrictNumber(value, &kern.k);
  return NormaliseList(value, lists[index]);
}

constexpr FontKindRules kKernRules{false, false, false, false, false, kKernNames, KernOwn};

// font-face: the numbers follow the five other own names, in the order of
// FontFaceRecord::numbers.
constexpr std::array<std::string_view, 5 + kFontFaceNumberCount> kFontFaceNames{
    "font-size",
    "unicode-range",
    "panose-1",
    "widths",
    "bbox",
    "units-per-em",
    "stemv",
    "stemh",
    "slope",
    "cap-height",
    "x-height",
    "accent-height",
    "ascent",
    "descent",
    "ideographic",
    "alphabetic",
    "mathematical",
    "hanging",
    "v-ideographic",
    "v-alphabetic",
    "v-mathematical",
    "v-hanging",
    "underline-position",
    "underline-thickness",
    "strikethrough-position",
    "strikethrough-thickness",
    "overline-position",
    "overline-thickness"};
static_assert(kFontFaceNames.size() <= 32, "one bit of ownGiven per name");

Status FontFaceOwn(ElementWalk& walk, int32_t index, const char* value) {
  FontFaceRecord& face = walk.record.data.fontFace.own;
  switch (index) {
    case 0: return ParseLength(value, &face.fontSize);
    case 1: return NormaliseList(value, &face.unicodeRange);
    case 2: return NormaliseList(value, &face.panose1);
    case 3: return StoreString(value, &face.widths);
    case 4: return StoreString(value, &face.bbox);
    default: return ParseStrictNumber(value, &face.numbers[index - 5]);
  }
}

constexpr FontKindRules kFontFaceRules{false, false, false, false, true, kFontFaceNames,
                                     FontFaceOwn};

constexpr FontKindRules kFontFaceSrcRules{false, false, false, false, false, {}, NoOwnAttribute};

// font-face-uri, definition-src
Status FontFaceUriOwn(ElementWalk& walk, int32_t index, const char* value) {
  if (index != 0) return kOk;  // the other XLink attributes: accepted
  return CopyReference(value, &walk.record.data.fontFaceUri.own.href, true);
}

constexpr FontKindRules kFontFaceUriRules{false, false, false, true, false, kXlinkNames,
                                        FontFaceUriOwn};

// font-face-format, font-face-name
constexpr std::array<std::string_view, 1> kFontFaceFormatNames{"string"};
constexpr std::array<std::string_view, 1> kFontFaceNameNames{"name"};

Status FontFaceTextOwn(ElementWalk& walk, int32_t /*index*/, const char* value) {
  return StoreString(value, &walk.record.data.fontFaceText.own.text);
}

constexpr FontKindRules kFontFaceFormatRules{false, false, false, false, false,
                                           kFontFaceFormatNames, FontFaceTextOwn};
constexpr FontKindRules kFontFaceNameRules{false, false, false, false, false, kFontFaceNameNames,
                                         FontFaceTextOwn};

// Defaults of a font-face before its attributes.
Status SetFontFaceDefaults(FontFaceRecord& face) {
  face.fontSize = SvgLength{kUnitNone, 12.0, 0};
  face.numbers[0] = 1000.0;  // units-per-em
  Status status = StoreString("U+0-10FFFF", &face.unicodeRange);
  if (status == kOk) status = StoreString("0 0 0 0 0 0 0 0 0 0", &face.panose1);
  return status;
}

Status ParseWithFontRules(SvgDocument& document, const AdvXMLParser::Element& xml, int32_t type,
                         const FontKindRules& rules) {
  Status status = BeginElementRecord(document, type);
  ElementRecord& record = document.records[document.recordCount];
  if (status == kOk && type == kElemFontFace) {
    status = SetFontFaceDefaults(record.data.fontFace.own);
  }
  if (status != kOk) return status;
  ElementWalk walk{document, record, CommonOf(record), document.recordCount, {}, {}};
  return WalkAttributes(walk, xml, [&rules](ElementWalk& w, std::string_view name,
                                           KernelBlock<char>& text) {
    return DispatchFontAttribute(w, rules, name, text);
  });
}

}  // namespace

bool IsFontElementKind(int32_t elementType) {
  return elementType >= kElemFont && elementType <= kElemDefinitionSrc;
}

void FreeFontElementData(ElementRecord& record) {
  ElementData& data = record.data;
  switch (record.elementType) {
    case kElemGlyph: {
      GlyphRecord& glyph = data.glyph.own;
      FreeString(&glyph.unicode);
      FreeString(&glyph.glyphName);
      FreeString(&glyph.lang);
      FreeString(&glyph.d);
      break;
    }
    case kElemMissingGlyph: FreePathData(&data.missingGlyph.own.d); break;
    case kElemHkern:
    case kElemVkern:
      FreeString(&data.kern.own.u1);
      FreeString(&data.kern.own.g1);
      FreeString(&data.kern.own.u2);
      FreeString(&data.kern.own.g2);
      break;
    case kElemFontFace:
      FreeString(&data.fontFace.own.unicodeRange);
      FreeString(&data.fontFace.own.panose1);
      FreeString(&data.fontFace.own.widths);
      FreeString(&data.fontFace.own.bbox);
      break;
    case kElemFontFaceUri:
    case kElemDefinitionSrc: FreeString(&data.fontFaceUri.own.href); break;
    case kElemFontFaceFormat:
    case kElemFontFaceName: FreeString(&data.fontFaceText.own.text); break;
    default: break;
  }
}

Status ParseFontElement(SvgDocument& document, const AdvXMLParser::Element& xml, int32_t type) {
  return ParseWithFontRules(document, xml, type, kFontRules);
}
Status ParseGlyphElement(SvgDocument& document, const AdvXMLParser::Element& xml, int32_t type) {
  return ParseWithFontRules(document, xml, type, kGlyphRules);
}
Status ParseMissingGlyphElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                int32_t type) {
  return ParseWithFontRules(document, xml, type, kMissingGlyphRules);
}
Status ParseKernElement(SvgDocument& document, const AdvXMLParser::Element& xml, int32_t type) {
  return ParseWithFontRules(document, xml, type, kKernRules);
}
Status ParseFontFaceElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                            int32_t type) {
  return ParseWithFontRules(document, xml, type, kFontFaceRules);
}
Status ParseFontFaceSrcElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                               int32_t type) {
  return ParseWithFontRules(document, xml, type, kFontFaceSrcRules);
}
Status ParseFontFaceUriElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                               int32_t type) {
  return ParseWithFontRules(document, xml, type, kFontFaceUriRules);
}
Status ParseFontFaceFormatElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                  int32_t type) {
  return ParseWithFontRules(document, xml, type, kFontFaceFormatRules);
}
Status ParseFontFaceNameElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                int32_t type) {
  return ParseWithFontRules(document, xml, type, kFontFaceNameRules);
}

}  // namespace svgflt
