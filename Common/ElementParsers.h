// The attribute parsers of the structural, shape and descriptive elements:
// each fills the record at recordCount from the XML element's attributes
// (common groups, the element's own attributes, presentation attributes,
// class rules and the style attribute) and answers kOk or the status that
// ends the load: kErrDuplicateAttribute (an attribute given twice, or a
// second style), kErrBadLength (an unaccepted xml: name, xml:base outside
// version 1.1, a malformed length), kErrBadValue (a malformed value),
// kErrRequiredAttribute, kErrOddPointCount, kErrMisplacedComma,
// kErrNoMemory.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "Common/SvgDocument.h"
#include "svgfilter/FilterStatus.h"

namespace AdvXMLParser {
class Element;
}

namespace svgflt {

// Keyword tables of the element attributes; the position is the value stored.
inline constexpr std::array<std::string_view, 2> kZoomAndPanKeywords{"disable", "magnify"};
inline constexpr int32_t kZoomAndPanMagnify = 1;
inline constexpr std::array<std::string_view, 2> kMarkerUnitsKeywords{"strokeWidth",
                                                                      "userSpaceOnUse"};
inline constexpr std::array<std::string_view, 2> kUnitsKeywords{"userSpaceOnUse",
                                                                "objectBoundingBox"};
inline constexpr std::array<std::string_view, 5> kRenderingIntentKeywords{
    "auto", "perceptual", "relative-colorimetric", "saturation", "absolute-colorimetric"};

// One parser per element kind; `type` is the kElem* code to store (polyline
// and polygon share ParsePolyElement, defs and switch ParseDefsElement, div,
// p and span ParseTextBlockElement).
[[nodiscard]] Status ParseSvgElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                     int32_t type);
[[nodiscard]] Status ParseGroupElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                       int32_t type);
[[nodiscard]] Status ParseDefsElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                      int32_t type);
[[nodiscard]] Status ParseDescElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                      int32_t type);
[[nodiscard]] Status ParseTitleElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                       int32_t type);
[[nodiscard]] Status ParseSymbolElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                        int32_t type);
[[nodiscard]] Status ParseUseElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                     int32_t type);
[[nodiscard]] Status ParseImageElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                       int32_t type);
// The style element: its attributes and sheet are read by ParseStyleElement.
[[nodiscard]] Status ParseStyleSheetElement(SvgDocument& document,
                                            const AdvXMLParser::Element& xml, int32_t type);
[[nodiscard]] Status ParsePathElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                      int32_t type);
[[nodiscard]] Status ParseRectElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                      int32_t type);
[[nodiscard]] Status ParseCircleElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                        int32_t type);
[[nodiscard]] Status ParseEllipseElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                         int32_t type);
[[nodiscard]] Status ParseLineElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                      int32_t type);
[[nodiscard]] Status ParsePolyElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                      int32_t type);
[[nodiscard]] Status ParseMarkerElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                        int32_t type);
[[nodiscard]] Status ParseColorProfileElement(SvgDocument& document,
                                              const AdvXMLParser::Element& xml, int32_t type);
[[nodiscard]] Status ParseClipPathElement(SvgDocument& document,
                                          const AdvXMLParser::Element& xml, int32_t type);
[[nodiscard]] Status ParseAnchorElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                        int32_t type);
[[nodiscard]] Status ParseTextBlockElement(SvgDocument& document,
                                           const AdvXMLParser::Element& xml, int32_t type);
[[nodiscard]] Status ParseRegionElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                        int32_t type);
[[nodiscard]] Status ParseBrElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                                    int32_t type);
[[nodiscard]] Status ParseSolidColorElement(SvgDocument& document,
                                            const AdvXMLParser::Element& xml, int32_t type);

}  // namespace svgflt
