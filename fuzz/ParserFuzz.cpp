// Feeds arbitrary bytes to the XML reader, flattens the text of every
// element of what it built, and checks that destroying the document gives
// every node and kernel block back.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Common/Parser/Elements.h"
#include "Common/Parser/Reader.h"
#include "ImagingKernel/ImagingKernel.h"
#include "LiveCheck.h"

namespace {

void FlattenEveryElement(const AdvXMLParser::Element& root) {
  std::vector<const AdvXMLParser::Element*> pending{&root};
  while (!pending.empty()) {
    const AdvXMLParser::Element* element = pending.back();
    pending.pop_back();
    (void)element->GetText();
    for (const AdvXMLParser::Attribute* attribute : element->attributes) (void)attribute->GetText();
    for (const AdvXMLParser::Node* child : element->children) {
      if (child->IsType(AdvXMLParser::kElementNode)) {
        pending.push_back(static_cast<const AdvXMLParser::Element*>(child));
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  KernelAccounting before{};
  KernelGetAccounting(&before);
  AdvXMLParser::ResetTextState();
  try {
    AdvXMLParser::Parser parser;
    AdvXMLParser::Document* document = parser.Parse(data, size);
    if (document->root == nullptr) std::abort();
    AdvXMLParser::TextState().preserveCount = 0;
    FlattenEveryElement(*document->root);
    (void)document->GetText();
    AdvXMLParser::DeleteNode(document->Clone(nullptr));
    AdvXMLParser::DeleteNode(document);
  } catch (const AdvXMLParser::ParsingException& e) {
    if (e.line < 1 || e.column < 0) std::abort();
  }
  AdvXMLParser::ResetTextState();
  AbortIfLeftLive(before);
  return 0;
}
