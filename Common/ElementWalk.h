// The attribute walk shared by the parsers of the text, font and
// paint-server families: the record is started (type, cleared data,
// presentation defaults and what the parent passes on), each attribute is
// read in document order and handed to the family's dispatch, and at the
// end the class rules and the style attribute are applied. The group
// setters below answer whether a name belongs to their group, so each
// family tries them in its own order.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "Common/GeneralUtil.h"
#include "Common/KernelMemory.h"
#include "Common/Parser/Elements.h"
#include "Common/SvgDocument.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {

// The state of one element's parse.
struct ElementWalk {
  SvgDocument& document;
  ElementRecord& record;
  ElementCommon& common;
  int32_t index;                // the record's index (recordCount)
  KernelBlock<char> classText;  // the class attribute, kept for the class rules
  KernelBlock<char> styleText;  // the style attribute, applied after everything else
};

// Starts the record at recordCount: stores `type`, clears the element data
// and prepares the presentation block (defaults, then the parent record's
// inheritable values when the parent exists). kOk or kErrNoMemory.
[[nodiscard]] Status BeginElementRecord(SvgDocument& document, int32_t type);

// The attribute's text (text and character references joined, trimmed) in
// a kernel block: kOk or kErrNoMemory.
[[nodiscard]] Status ReadAttributeValue(const AdvXMLParser::Attribute& attribute,
                                        KernelBlock<char>& out);

// Applies the class rules and then the kept style text to the record's
// presentation block: kOk or kErrNoMemory.
[[nodiscard]] Status ApplyClassAndStyle(ElementWalk& walk, const AdvXMLParser::Element& xml);

// Runs `dispatch(walk, name, value)` on every attribute of `xml` in document
// order until one answers other than kOk, then, when all answered kOk, the
// class rules and the style text. Returns the first status other than kOk.
template <typename Dispatch>
[[nodiscard]] Status WalkAttributes(ElementWalk& walk, const AdvXMLParser::Element& xml,
                                    Dispatch&& dispatch) {
  for (const AdvXMLParser::Attribute* attribute : xml.attributes) {
    KernelBlock<char> value;
    Status status = ReadAttributeValue(*attribute, value);
    if (status == kOk) status = dispatch(walk, std::string_view(attribute->name), value);
    if (status != kOk) return status;
  }
  return ApplyClassAndStyle(walk, xml);
}

// --- group setters -------------------------------------------------------------
// Each returns false when `name` is not the group's; otherwise it handles
// the attribute, puts the result in *status and returns true.

// "id": registered and stored once; an empty value gives kErrMissing when
// `refuseEmpty` is set and registers nothing otherwise.
[[nodiscard]] bool TrySetId(ElementWalk& walk, std::string_view name, const char* value,
                            bool refuseEmpty, Status* status);
// Names beginning "xml:": xml:base (kErrBadLength outside SVG 1.1),
// xml:lang and xml:space when `langAndSpace` is set; every other xml: name
// gives kErrBadLength.
[[nodiscard]] bool TrySetXml(ElementWalk& walk, std::string_view name, const char* value,
                             bool langAndSpace, Status* status);
// requiredFeatures, requiredExtensions, systemLanguage.
[[nodiscard]] bool TrySetConditional(ElementWalk& walk, std::string_view name, const char* value,
                                     Status* status);
// externalResourcesRequired.
[[nodiscard]] bool TrySetExternalResources(ElementWalk& walk, std::string_view name,
                                           const char* value, Status* status);
// "class" (registered for the class rules, kept) and "style" (kept; a style
// after a non-empty one gives kErrDuplicateAttribute). Takes the value over.
[[nodiscard]] bool TrySetClassOrStyle(ElementWalk& walk, std::string_view name,
                                      KernelBlock<char>& value, Status* status);
// The event attributes, and with `documentEvents` the document events too;
// each accepted once, the script not kept.
[[nodiscard]] bool TrySetEvent(ElementWalk& walk, std::string_view name, bool documentEvents,
                               Status* status);
// The element's own names: the n-th name of `names` is parsed once by
// `parse(n)` behind bit n of the common ownGiven mask (at most 32 names).
template <typename Parse>
[[nodiscard]] bool TrySetOwn(ElementWalk& walk, std::span<const std::string_view> names,
                             std::string_view name, Parse&& parse, Status* status) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] != name) continue;
    *status = SetOnce(walk.common.ownGiven, uint32_t{1} << i,
                      [&] { return parse(static_cast<int32_t>(i)); });
    return true;
  }
  return false;
}

// The XLink attribute names, "xlink:href" first.
inline constexpr std::array<std::string_view, 7> kXlinkNames{
    "xlink:href", "xlink:type",  "xlink:role",   "xlink:arcrole",
    "xlink:title", "xlink:show", "xlink:actuate"};

// A number of the strict grammar into *out: kOk, kErrMissing, kErrBadValue.
[[nodiscard]] Status ParseStrictNumber(const char* value, double* out);

}  // namespace svgflt
