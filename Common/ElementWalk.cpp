#include "Common/ElementWalk.h"

#include <cstring>
#include <utility>

#include "Common/Properties.h"
#include "Common/SVGParsUtil.h"
#include "Common/StyleSheet.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/SVGParsUtil";

constexpr std::array<std::string_view, 10> kEventNames{
    "onfocusin", "onfocusout", "onactivate", "onclick",   "onmousedown",
    "onmouseup", "onmouseover", "onmousemove", "onmouseout", "onload"};
constexpr std::array<std::string_view, 6> kDocumentEventNames{
    "onunload", "onabort", "onerror", "onresize", "onscroll", "onzoom"};

int32_t IndexOf(std::span<const std::string_view> names, std::string_view name) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return static_cast<int32_t>(i);
  }
  return -1;
}

}  // namespace

Status BeginElementRecord(SvgDocument& document, int32_t type) {
  ElementRecord& record = document.records[document.recordCount];
  record.elementType = type;
  record.data = ElementData{};
  ElementCommon& common = CommonOf(record);
  Status status = InitPresentationProperties(common.props);
  if (status == kOk && record.parent >= 0 && record.parent < document.recordCount) {
    const ElementRecord& parent = document.records[record.parent];
    if (HasElementCommon(parent.elementType)) {
      status = InheritPresentationProperties(common.props, CommonOf(parent).props);
    }
  }
  return status;
}

Status ReadAttributeValue(const AdvXMLParser::Attribute& attribute, KernelBlock<char>& out) {
  std::size_t length = 0;
  for (const AdvXMLParser::Node* child : attribute.children) {
    if (child->IsType(AdvXMLParser::kTextNode)) {
      length += static_cast<const AdvXMLParser::Text*>(child)->value.size();
    } else if (child->IsType(AdvXMLParser::kReferenceNode)) {
      length += 1;
    }
  }
  out.Reset(SVGFLT_ALLOC(char, length + 1));
  if (!out) return kErrNoMemory;
  char* cursor = out.get();
  for (const AdvXMLParser::Node* child : attribute.children) {
    if (child->IsType(AdvXMLParser::kTextNode)) {
      const std::string& value = static_cast<const AdvXMLParser::Text*>(child)->value;
      std::memcpy(cursor, value.data(), value.size());
      cursor += value.size();
    } else if (child->IsType(AdvXMLParser::kReferenceNode)) {
      *cursor++ = static_cast<const AdvXMLParser::Reference*>(child)->value;
    }
  }
  const std::string_view trimmed = TrimView(std::string_view(out.get(), length));
  std::memmove(out.get(), trimmed.data(), trimmed.size());
  out[trimmed.size()] = '\0';
  return kOk;
}

Status ApplyClassAndStyle(ElementWalk& walk, const AdvXMLParser::Element& xml) {
  // Type rule, class rules, then the style attribute: the style attribute
  // wins over presentation attributes whatever their order.
  return ApplyClassesAndStyle(walk.document, walk.index, xml.name.c_str(), walk.common.props,
                              walk.classText.get(), walk.styleText.get());
}

bool TrySetId(ElementWalk& walk, std::string_view name, const char* value, bool refuseEmpty,
              Status* status) {
  if (name != "id") return false;
  ElementCommon& common = walk.common;
  *status = SetOnce(common.given, kGivenId, [&] {
    if (refuseEmpty && value[0] == '\0') return kErrMissing;
    const Status registered = RegisterId(walk.document, value);
    return registered != kOk ? registered : StoreString(value, &common.id);
  });
  return true;
}

bool TrySetXml(ElementWalk& walk, std::string_view name, const char* value, bool langAndSpace,
               Status* status) {
  if (!name.starts_with("xml:")) return false;
  const std::string_view rest = name.substr(4);
  ElementCommon& common = walk.common;
  if (rest == "base") {
    *status = walk.document.version != 1.1
                  ? kErrBadLength
                  : SetOnce(common.given, kGivenXmlBase,
                            [&] { return StoreString(value, &common.xmlBase); });
  } else if (langAndSpace && rest == "lang") {
    *status = SetOnce(common.given, kGivenXmlLang,
                      [&] { return StoreString(value, &common.xmlLang); });
  } else if (langAndSpace && rest == "space") {
    *status = SetOnce(common.given, kGivenXmlSpace,
                      [&] { return LookupKeyword(value, kXmlSpaceKeywords, &common.xmlSpace); });
  } else {
    *status = kErrBadLength;
  }
  return true;
}

bool TrySetConditional(ElementWalk& walk, std::string_view name, const char* value,
                       Status* status) {
  ElementCommon& common = walk.common;
  if (name == "requiredFeatures") {
    *status = SetOnce(common.given, kGivenRequiredFeatures,
                      [&] { return ParseFeatures(value, &common.requiredFeatures); });
  } else if (name == "requiredExtensions") {
    *status = SetOnce(common.given, kGivenRequiredExtensions, [&] {
      common.requiredExtensionsSeen = 1;
      return kOk;
    });
  } else if (name == "systemLanguage") {
    *status = SetOnce(common.given, kGivenSystemLanguage,
                      [&] { return NormaliseCommaList(value, &common.systemLanguage); });
  } else {
    return false;
  }
  return true;
}

bool TrySetExternalResources(ElementWalk& walk, std::string_view name, const char* value,
                             Status* status) {
  if (name != "externalResourcesRequired") return false;
  ElementCommon& common = walk.common;
  *status = SetOnce(common.given, kGivenExternalResources, [&] {
    return LookupKeyword(value, kBooleanKeywords, &common.externalResourcesRequired);
  });
  return true;
}

bool TrySetClassOrStyle(ElementWalk& walk, std::string_view name, KernelBlock<char>& value,
                        Status* status) {
  ElementCommon& common = walk.common;
  if (name == "class") {
    *status = SetOnce(common.given, kGivenClass, [&] {
      const Status registered = RegisterClasses(walk.document, walk.index, value.get());
      if (registered == kOk) {
        common.classSeen = 1;
        walk.classText = std::move(value);
      }
      return registered;
    });
    return true;
  }
  if (name == "style") {
    if (walk.styleText && walk.styleText[0] != '\0') {
      *status = kErrDuplicateAttribute;
    } else {
      walk.styleText = std::move(value);
      *status = kOk;
    }
    return true;
  }
  return false;
}

bool TrySetEvent(ElementWalk& walk, std::string_view name, bool documentEvents,
                 Status* status) {
  int32_t bit = IndexOf(kEventNames, name);
  if (bit < 0 && documentEvents) {
    bit = IndexOf(kDocumentEventNames, name);
    if (bit >= 0) bit += static_cast<int32_t>(kEventNames.size());
  }
  if (bit < 0) return false;
  *status = SetOnce(walk.common.eventsGiven, uint32_t{1} << bit, [] { return kOk; });
  return true;
}

Status ParseStrictNumber(const char* value, double* out) {
  const Status status = IsNumber(value);
  if (status == kOk) *out = ConvertNumberPrefix(TrimView(value));
  return status;
}

}  // namespace svgflt
