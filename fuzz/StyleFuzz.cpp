// Feeds arbitrary text to the presentation-property parsers: the `style`
// attribute (with an entity of the document that a declaration can name),
// style sheets with the class rules applied to an element, "@font-face"
// rules and image "data:" URIs. The first byte picks the parser; for the
// style attribute, the text after the first NUL is the entity's replacement.
// Every call must end with a status and leave nothing live in the kernel.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Common/MyStrtok.h"
#include "Common/Parser/Elements.h"
#include "Common/Properties.h"
#include "Common/StyleSheet.h"
#include "Common/SvgDocument.h"
#include "ImagingKernel/ImagingKernel.h"
#include "LiveCheck.h"

namespace {

using namespace svgflt;

constexpr double kVersion11 = 1.1;

void StyleAttribute(SvgDocument& document, std::string_view input) {
  const std::size_t split = input.find('\0');
  AdvXMLParser::Document xml;
  if (split != std::string_view::npos) {
    xml.entities["st0"] = std::string(input.substr(split + 1));
    input = input.substr(0, split);
  }
  document.xmlDocument = &xml;
  document.version = kVersion11;
  PresentationProperties props;
  if (InitPresentationProperties(props) == kOk) {
    const std::string text(input);
    (void)ParseStyleAttribute(props, document, text.c_str());
  }
  FreePresentationProperties(props);
  document.xmlDocument = nullptr;
}

void SheetAndClasses(SvgDocument& document, std::string_view input) {
  (void)ParseStyleSheet(document, input);
  (void)RegisterClasses(document, 0, "a b st0");
  (void)RegisterClasses(document, 1, "b");
  PresentationProperties props;
  if (InitPresentationProperties(props) == kOk) {
    (void)ApplyClassesAndStyle(document, 0, "rect", props, "a b st0", "fill:red");
    (void)ApplyClassesAndStyle(document, 1, "g", props, "b", nullptr);
  }
  FreePresentationProperties(props);
}

void FontFaceAndDataUri(SvgDocument& document, std::string_view input) {
  (void)ParseFontFace(document, input);
  const std::string text(input.substr(0, input.find('\0')));
  ImageSource source{};
  (void)ParseDataUri(source, text.c_str());
  FreeImageSource(source);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  KernelAccounting before{};
  KernelGetAccounting(&before);
  MyStrtokReset();
  {
    SvgDocument* document = nullptr;
    if (CreateSvgDocument(&document) != kOk) std::abort();
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
      case 0: StyleAttribute(*document, input); break;
      case 1: SheetAndClasses(*document, input); break;
      default: FontFaceAndDataUri(*document, input); break;
    }
    FreeSvgDocument(document);
  }
  MyStrtokReset();
  AbortIfLeftLive(before);
  return 0;
}
