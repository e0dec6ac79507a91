#include "Common/StyleSheet.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "Common/GeneralUtil.h"
#include "Common/KernelMemory.h"
#include "Common/Parser/Elements.h"
#include "Common/Properties.h"
#include "Common/SVGParsUtil.h"
#include "Common/SvgDocument.h"

namespace svgflt {

namespace {

constexpr char16_t kSourceTag[] = u"Common/GeneralUtil";

// Smallest hash index; indexes are kept at most half full.
constexpr int32_t kFirstIndexCapacity = 16;

// Class names of one element that ApplyClassesAndStyle sorts without a heap
// block; longer lists take a kernel block.
constexpr int32_t kInlineClassSlots = 32;

// Longest "#id" reference kept from an "@font-face" URL, in characters.
constexpr std::size_t kFontReferenceMax = 39;

// FNV-1a over the bytes of `text`, continuing from `hash`.
uint32_t HashBytes(std::string_view text, uint32_t hash = 2166136261u) {
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

// --- rule index --------------------------------------------------------------

// A null name and an empty one are different keys (".a" has no element name,
// "a." an empty class name), so each part carries a presence byte.
uint32_t RuleKeyHash(const char* elementName, const char* className) {
  uint32_t hash = HashBytes(elementName != nullptr ? "\1" : "\0");
  if (elementName != nullptr) hash = HashBytes(elementName, hash);
  hash = HashBytes(className != nullptr ? "\1" : "\0", hash);
  if (className != nullptr) hash = HashBytes(className, hash);
  return hash;
}

bool SameName(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return std::strcmp(a, b) == 0;
}

// Slot of the rule with this key, or the empty slot where it belongs.
int32_t RuleSlot(CssRule* const* index, int32_t capacity, const char* elementName,
                 const char* className) {
  const uint32_t mask = static_cast<uint32_t>(capacity) - 1;
  uint32_t slot = RuleKeyHash(elementName, className) & mask;
  while (index[slot] != nullptr && !(SameName(index[slot]->elementName, elementName) &&
                                     SameName(index[slot]->className, className))) {
    slot = (slot + 1) & mask;
  }
  return static_cast<int32_t>(slot);
}

// Makes room for one more key in the rule index: kOk or kErrNoMemory.
Status ReserveRuleSlot(StyleTables& tables) {
  if ((tables.ruleIndexCount + 1) * 2 <= tables.ruleIndexCapacity) return kOk;
  const int32_t capacity =
      tables.ruleIndexCapacity == 0 ? kFirstIndexCapacity : tables.ruleIndexCapacity * 2;
  CssRule** grown = SVGFLT_ALLOC(CssRule*, capacity);
  if (grown == nullptr) return kErrNoMemory;
  for (int32_t i = 0; i < tables.ruleIndexCapacity; ++i) {
    CssRule* rule = tables.ruleIndex[i];
    if (rule != nullptr) grown[RuleSlot(grown, capacity, rule->elementName, rule->className)] = rule;
  }
  KernelRelease(tables.ruleIndex);
  tables.ruleIndex = grown;
  tables.ruleIndexCapacity = capacity;
  return kOk;
}

void FreeRule(CssRule* rule) {
  // The three strings share one block that starts with the declarations.
  KernelRelease(rule->declarations);
  KernelRelease(rule);
}

// Puts a rule at the head of the list; the index then answers its key with
// it, as the most recently added rule of that key: kOk or kErrNoMemory.
Status AddRule(StyleTables& tables, std::string_view elementName, bool hasElement,
               std::string_view className, bool hasClass, std::string_view declarations) {
  KernelBlock<CssRule> rule(SVGFLT_ALLOC(CssRule, 1));
  if (!rule) return kErrNoMemory;
  // declarations NUL element NUL class NUL
  char* text = SVGFLT_ALLOC(char, declarations.size() + elementName.size() + className.size() + 3);
  if (text == nullptr) return kErrNoMemory;
  rule->declarations = text;
  std::memcpy(text, declarations.data(), declarations.size());
  text += declarations.size() + 1;
  if (hasElement) {
    rule->elementName = text;
    std::memcpy(text, elementName.data(), elementName.size());
  }
  text += elementName.size() + 1;
  if (hasClass) {
    rule->className = text;
    std::memcpy(text, className.data(), className.size());
  }
  if (ReserveRuleSlot(tables) != kOk) {
    FreeRule(rule.Release());
    return kErrNoMemory;
  }
  const int32_t slot =
      RuleSlot(tables.ruleIndex, tables.ruleIndexCapacity, rule->elementName, rule->className);
  if (tables.ruleIndex[slot] == nullptr) ++tables.ruleIndexCount;
  tables.ruleIndex[slot] = rule.get();
  rule->next = tables.rules;
  tables.rules = rule.Release();
  return kOk;
}

// --- class table -------------------------------------------------------------

int32_t ClassSlot(const StyleTables& tables, std::string_view name) {
  const uint32_t mask = static_cast<uint32_t>(tables.classIndexCapacity) - 1;
  uint32_t slot = HashBytes(name) & mask;
  for (;;) {
    const int32_t entry = tables.classIndex[slot];
    if (entry == 0 || name == tables.classes[entry - 1].name) return static_cast<int32_t>(slot);
    slot = (slot + 1) & mask;
  }
}

// Index of the class entry named `name` (case-sensitive), or -1.
int32_t FindClass(const StyleTables& tables, std::string_view name) {
  if (tables.classIndexCapacity == 0) return -1;
  return tables.classIndex[ClassSlot(tables, name)] - 1;
}

// Makes room for one more class in the table and in its index: kOk or
// kErrNoMemory (the tables stay as they were, perhaps larger).
Status ReserveClass(StyleTables& tables) {
  if (tables.classCount == tables.classCapacity) {
    const int32_t capacity = tables.classCapacity == 0 ? kClassTableFirst
                                                       : tables.classCapacity + kClassTableGrowth;
    ClassEntry* grown = SVGFLT_GROW(ClassEntry, tables.classes, tables.classCapacity, capacity);
    if (grown == nullptr) return kErrNoMemory;
    tables.classes = grown;
    tables.classCapacity = capacity;
  }
  if ((tables.classCount + 1) * 2 > tables.classIndexCapacity) {
    const int32_t capacity =
        tables.classIndexCapacity == 0 ? kFirstIndexCapacity : tables.classIndexCapacity * 2;
    int32_t* grown = SVGFLT_ALLOC(int32_t, capacity);
    if (grown == nullptr) return kErrNoMemory;
    KernelRelease(tables.classIndex);
    tables.classIndex = grown;
    tables.classIndexCapacity = capacity;
    for (int32_t i = 0; i < tables.classCount; ++i) {
      tables.classIndex[ClassSlot(tables, tables.classes[i].name)] = i + 1;
    }
  }
  return kOk;
}

// Appends the element to a class entry: kOk or kErrNoMemory.
Status AppendClassElement(ClassEntry& entry, int32_t elementIndex) {
  if (entry.count == entry.capacity) {
    const int32_t capacity = entry.capacity + kClassElementsGrowth;
    int32_t* grown = SVGFLT_GROW(int32_t, entry.elements, entry.capacity, capacity);
    if (grown == nullptr) return kErrNoMemory;
    entry.elements = grown;
    entry.capacity = capacity;
  }
  entry.elements[entry.count++] = elementIndex;
  return kOk;
}

// Whether the entry lists the element. The element being parsed is the last
// one registered, so the common answer costs one comparison.
bool ClassHolds(const ClassEntry& entry, int32_t elementIndex) {
  if (entry.count > 0 && entry.elements[entry.count - 1] == elementIndex) return true;
  return std::find(entry.elements, entry.elements + entry.count, elementIndex) !=
         entry.elements + entry.count;
}

// --- text of XML nodes ---------------------------------------------------------

// Bytes that Text and character-reference children contribute; entity
// references stay unexpanded and add nothing.
std::size_t ChildTextLength(const AdvXMLParser::NodeContainer& node) {
  std::size_t length = 0;
  for (const AdvXMLParser::Node* child : node.children) {
    if (child->IsType(AdvXMLParser::kTextNode)) {
      length += static_cast<const AdvXMLParser::Text*>(child)->value.size();
    } else if (dynamic_cast<const AdvXMLParser::CharRef*>(child) != nullptr) {
      ++length;
    }
  }
  return length;
}

// The Text and character-reference children of `node` joined, as a new
// kernel string in *out: kOk or kErrNoMemory.
Status JoinChildText(const AdvXMLParser::NodeContainer& node, KernelBlock<char>& out,
                     std::size_t* length) {
  *length = ChildTextLength(node);
  out.Reset(SVGFLT_ALLOC(char, *length + 1));
  if (!out) return kErrNoMemory;
  char* cursor = out.get();
  for (const AdvXMLParser::Node* child : node.children) {
    if (child->IsType(AdvXMLParser::kTextNode)) {
      const std::string& value = static_cast<const AdvXMLParser::Text*>(child)->value;
      std::memcpy(cursor, value.data(), value.size());
      cursor += value.size();
    } else if (const auto* ref = dynamic_cast<const AdvXMLParser::CharRef*>(child)) {
      *cursor++ = ref->value;
    }
  }
  return kOk;
}

// The sheet of a style element: the first CDATA section, or else its text
// joined from the Text and character-reference children. Element::GetText
// is not used: it marks text runs up for text elements and consumes their
// preserve flags.
Status StyleSheetText(const AdvXMLParser::Element& xml, KernelBlock<char>& out,
                      std::size_t* length) {
  for (const AdvXMLParser::Node* child : xml.children) {
    if (child->IsType(AdvXMLParser::kCDataNode)) {
      const std::string& value = static_cast<const AdvXMLParser::CData*>(child)->value;
      *length = value.size();
      out.Reset(SVGFLT_ALLOC(char, value.size() + 1));
      if (!out) return kErrNoMemory;
      std::memcpy(out.get(), value.data(), value.size());
      return kOk;
    }
  }
  return JoinChildText(xml, out, length);
}

// The "media" list as a mask: kOk, kErrBadValue at an unknown or repeated
// name (the bits read so far stay in *mask).
Status ParseMedia(std::string_view list, uint32_t* mask) {
  std::string_view rest = list;
  for (std::string_view item = NextToken(rest, " ,\t\n\r"); !item.empty();
       item = NextToken(rest, " ,\t\n\r")) {
    uint32_t bits = 0;
    if (EqualsNoCase(item, "all")) {
      bits = kMediaAll;
    } else {
      int32_t index = 0;
      if (LookupKeyword(item, kMediaNames, &index) != kOk) return kErrBadValue;
      bits = 1u << index;
    }
    // "all" after any name, or any name after "all", repeats a medium.
    if ((*mask & bits) != 0) return kErrBadValue;
    *mask |= bits;
  }
  return kOk;
}

// One attribute of a style element: kOk or the attribute's error.
Status ParseStyleElementAttribute(SvgDocument& document, StyleElementData& data,
                                std::string_view name, const char* value) {
  if (name == "id") {
    return SetOnce(data.given, kStyleGivenId, [&] {
      const Status status = RegisterId(document, value);
      return status != kOk ? status : StoreString(value, &data.id);
    });
  }
  if (name == "xml:base") {
    if (document.version != 1.1) return kErrBadLength;
    return SetOnce(data.given, kStyleGivenXmlBase,
                   [&] { return StoreString(value, &data.xmlBase); });
  }
  if (name == "xml:space") {
    return SetOnce(data.given, kStyleGivenXmlSpace,
                   [&] { return LookupKeyword(value, kXmlSpaceKeywords, &data.xmlSpace); });
  }
  if (name == "type") {
    return SetOnce(data.given, kStyleGivenType,
                   [&] { return EqualsNoCase(TrimView(value), "text/css") ? kOk : kErrBadValue; });
  }
  if (name == "media") {
    return SetOnce(data.given, kStyleGivenMedia, [&] {
      const Status status = ParseMedia(value, &data.media);
      document.style.mediaMask |= data.media;
      return status;
    });
  }
  return kErrBadLength;
}

// --- @font-face ----------------------------------------------------------------

// Cursor over the font-face text; every Take* skips whitespace first.
struct FontFaceReader {
  std::string_view rest;

  void SkipSpace() {
    while (!rest.empty() && IsSvgSpace(rest.front())) rest.remove_prefix(1);
  }
  bool TakeChar(char c) {
    SkipSpace();
    if (rest.empty() || rest.front() != c) return false;
    rest.remove_prefix(1);
    return true;
  }
  bool TakeWord(std::string_view word, bool ignoreCase) {
    SkipSpace();
    if (rest.size() < word.size()) return false;
    const std::string_view head = rest.substr(0, word.size());
    if (ignoreCase ? !EqualsNoCase(head, word) : head != word) return false;
    rest.remove_prefix(word.size());
    return true;
  }
  // An opening quote (' or "), returned in *quote.
  bool TakeQuote(char* quote) {
    SkipSpace();
    if (rest.empty() || (rest.front() != '"' && rest.front() != '\'')) return false;
    *quote = rest.front();
    rest.remove_prefix(1);
    return true;
  }
  // The text up to the closing `quote`, which is consumed.
  bool TakeUntil(char quote, std::string_view* text) {
    const std::size_t end = rest.find(quote);
    if (end == std::string_view::npos) return false;
    *text = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    return true;
  }
};

// Makes room for one more font entry: kOk or kErrNoMemory.
Status ReserveFontFace(StyleTables& tables) {
  if (tables.fontFaceCount < tables.fontFaceCapacity) return kOk;
  const int32_t capacity = tables.fontFaceCapacity == 0
                               ? kFontFaceTableFirst
                               : tables.fontFaceCapacity + kFontFaceTableGrowth;
  FontFaceEntry* grown =
      SVGFLT_GROW(FontFaceEntry, tables.fontFaces, tables.fontFaceCapacity, capacity);
  if (grown == nullptr) return kErrNoMemory;
  tables.fontFaces = grown;
  tables.fontFaceCapacity = capacity;
  return kOk;
}

// --- base64 ----------------------------------------------------------------------

constexpr int8_t kNotBase64 = -1;
constexpr int8_t kBase64Pad = -2;

constexpr std::array<int8_t, 256> MakeBase64Table() {
  std::array<int8_t, 256> table{};
  for (auto& value : table) value = kNotBase64;
  constexpr std::string_view kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
  }
  table[static_cast<unsigned char>('=')] = kBase64Pad;
  return table;
}
constexpr std::array<int8_t, 256> kBase64Values = MakeBase64Table();

}  // namespace

// --- style element ---------------------------------------------------------------

Status ParseStyleElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                         StyleElementData& data) {
  Status status = kOk;
  for (const AdvXMLParser::Attribute* attribute : xml.attributes) {
    KernelBlock<char> raw;
    std::size_t length = 0;
    status = JoinChildText(*attribute, raw, &length);
    if (status != kOk) break;
    // Attribute values are read trimmed.
    const std::string_view trimmed = TrimView(std::string_view(raw.get(), length));
    std::memmove(raw.get(), trimmed.data(), trimmed.size());
    raw[trimmed.size()] = '\0';
    status = ParseStyleElementAttribute(document, data, attribute->name, raw.get());
    if (status != kOk) break;
  }
  if (status == kErrNoMemory) return status;

  // A style element without "type" loads and adds no rule, as browsers do.
  if ((data.given & kStyleGivenType) == 0) {
    if (status == kOk) {
      KernelBlock<char> text;
      std::size_t length = 0;
      if (StyleSheetText(xml, text, &length) != kOk) return kErrNoMemory;
      KernelRelease(data.text);
      data.text = text.Release();
    }
    return status;
  }

  KernelBlock<char> text;
  std::size_t length = 0;
  if (StyleSheetText(xml, text, &length) != kOk) return kErrNoMemory;
  const Status sheet = ParseStyleSheet(document, std::string_view(text.get(), length));
  if (sheet != kOk) return sheet;
  if (status != kOk) return status;  // a bad "type" or "media": rules read, text not kept

  KernelRelease(data.text);
  data.text = text.Release();
  // Most sheets hold no font: only a sheet that is an "@font-face" rule adds
  // one, and any other sheet is not an error of the element.
  const Status font = ParseFontFace(document, std::string_view(data.text, length));
  return font == kErrNoMemory ? font : kOk;
}

void FreeStyleElementData(StyleElementData& data) {
  FreeString(&data.id);
  FreeString(&data.xmlBase);
  FreeString(&data.text);
}

// --- sheets ------------------------------------------------------------------------

Status ParseStyleSheet(SvgDocument& document, std::string_view text) {
  const std::string_view trimmed = TrimView(text);
  if (trimmed.empty()) return kOk;

  // The sheet without its comments; an unterminated comment runs to the end.
  KernelBlock<char> buffer(SVGFLT_ALLOC(char, trimmed.size() + 1));
  if (!buffer) return kErrNoMemory;
  std::size_t length = 0;
  for (std::size_t i = 0; i < trimmed.size();) {
    if (trimmed.compare(i, 2, "/*") == 0) {
      const std::size_t end = trimmed.find("*/", i + 2);
      if (end == std::string_view::npos) break;
      i = end + 2;
    } else {
      buffer[length++] = trimmed[i++];
    }
  }
  const std::string_view sheet(buffer.get(), length);

  std::size_t position = 0;
  for (;;) {
    const std::size_t open = sheet.find('{', position);
    if (open == std::string_view::npos) break;
    const std::size_t close = sheet.find('}', open + 1);
    if (close == std::string_view::npos) break;
    const std::string_view selector = TrimView(sheet.substr(position, open - position));
    const std::string_view declarations = sheet.substr(open + 1, close - open - 1);
    position = close + 1;

    if (TrimView(declarations).empty()) continue;
    if (selector.empty()) break;  // the rest of the sheet is dropped with it
    Status status = kOk;
    if (selector.front() == '.') {
      status = AddRule(document.style, {}, false, selector.substr(1), true, declarations);
    } else if (const std::size_t dot = selector.find('.'); dot != std::string_view::npos) {
      status = AddRule(document.style, selector.substr(0, dot), true, selector.substr(dot + 1),
                       true, declarations);
    } else {
      status = AddRule(document.style, selector, true, {}, false, declarations);
    }
    if (status != kOk) return status;
  }
  return kOk;
}

Status ParseFontFace(SvgDocument& document, std::string_view text) {
  FontFaceReader reader{text};
  std::string_view family;
  std::string_view data;
  bool isReference = false;
  char quote = 0;
  if (!reader.TakeWord("@font-face", true) || !reader.TakeChar('{') ||
      !reader.TakeWord("font-family", true) || !reader.TakeChar(':') ||
      !reader.TakeQuote(&quote) || !reader.TakeUntil(quote, &family) || !reader.TakeChar(';') ||
      !reader.TakeWord("src", false) || !reader.TakeChar(':') || !reader.TakeWord("url(", true) ||
      !reader.TakeQuote(&quote)) {
    return kErrBadValue;
  }
  if (reader.TakeChar('#')) {
    if (!reader.TakeUntil(quote, &data)) return kErrBadValue;
    // A longer reference keeps its first characters.
    data = data.substr(0, kFontReferenceMax);
    isReference = true;
  } else {
    if (!reader.TakeWord("data", true) || !reader.TakeChar(':')) return kErrBadValue;
    // The media type and its parameters before ";base64" are not interpreted.
    for (;;) {
      const std::size_t semicolon = reader.rest.find_first_of("\"';");
      if (semicolon == std::string_view::npos || reader.rest[semicolon] != ';') {
        return kErrBadValue;
      }
      reader.rest.remove_prefix(semicolon + 1);
      if (reader.TakeWord("base64", true)) break;
    }
    if (!reader.TakeChar(',')) return kErrBadValue;
    reader.SkipSpace();
    if (!reader.rest.empty() && reader.rest.front() == '\\') reader.rest.remove_prefix(1);
    if (!reader.TakeUntil(quote, &data)) return kErrBadValue;
  }
  if (!reader.TakeChar(')') || !reader.TakeChar('}')) return kErrBadValue;

  FontFaceEntry entry{};
  if (StoreString(family, &entry.family) != kOk || StoreString(data, &entry.data) != kOk ||
      ReserveFontFace(document.style) != kOk) {
    FreeString(&entry.family);
    FreeString(&entry.data);
    return kErrNoMemory;
  }
  entry.isReference = isReference ? 1 : 0;
  document.style.fontFaces[document.style.fontFaceCount++] = entry;
  return kOk;
}

// --- classes and rules -------------------------------------------------------------

Status RegisterClasses(SvgDocument& document, int32_t elementIndex, const char* classValue) {
  if (classValue == nullptr) return kOk;
  StyleTables& tables = document.style;
  std::string_view rest = classValue;
  for (std::string_view name = NextToken(rest, kSvgSpaces); !name.empty();
       name = NextToken(rest, kSvgSpaces)) {
    int32_t entry = FindClass(tables, name);
    if (entry < 0) {
      if (ReserveClass(tables) != kOk) return kErrNoMemory;
      ClassEntry fresh{};
      fresh.elements = SVGFLT_ALLOC(int32_t, kClassElementsFirst);
      if (fresh.elements == nullptr || StoreString(name, &fresh.name) != kOk) {
        KernelRelease(fresh.elements);
        return kErrNoMemory;
      }
      fresh.capacity = kClassElementsFirst;
      entry = tables.classCount++;
      tables.classes[entry] = fresh;
      tables.classIndex[ClassSlot(tables, name)] = entry + 1;
    }
    if (AppendClassElement(tables.classes[entry], elementIndex) != kOk) return kErrNoMemory;
  }
  return kOk;
}

const char* FindRule(const SvgDocument& document, const char* elementName,
                     const char* className) {
  const StyleTables& tables = document.style;
  if (tables.ruleIndexCapacity == 0 || (elementName == nullptr && className == nullptr)) {
    return nullptr;
  }
  const CssRule* rule =
      tables.ruleIndex[RuleSlot(tables.ruleIndex, tables.ruleIndexCapacity, elementName,
                                className)];
  return rule != nullptr ? rule->declarations : nullptr;
}

Status ApplyClassesAndStyle(SvgDocument& document, int32_t elementIndex,
                            const char* elementName, PresentationProperties& props,
                            const char* classValue, const char* styleText) {
  if (elementName != nullptr) {
    if (const char* declarations = FindRule(document, elementName, nullptr)) {
      if (ParseStyleAttribute(props, document, declarations) != kOk) return kErrNoMemory;
    }
  }

  if (classValue != nullptr && document.style.rules != nullptr) {
    // The entries of the element's own class names, in class-table order
    // (first appearance in the document), each once.
    const StyleTables& tables = document.style;
    int32_t inlineSlots[kInlineClassSlots];
    KernelBlock<int32_t> heapSlots;
    int32_t* entries = inlineSlots;
    std::size_t nameCount = 0;
    std::string_view rest = classValue;
    while (!NextToken(rest, kSvgSpaces).empty()) ++nameCount;
    if (nameCount > static_cast<std::size_t>(kInlineClassSlots)) {
      heapSlots.Reset(SVGFLT_ALLOC(int32_t, nameCount));
      if (!heapSlots) return kErrNoMemory;
      entries = heapSlots.get();
    }
    int32_t entryCount = 0;
    rest = classValue;
    for (std::string_view name = NextToken(rest, kSvgSpaces); !name.empty();
         name = NextToken(rest, kSvgSpaces)) {
      const int32_t entry = FindClass(tables, name);
      if (entry >= 0 && ClassHolds(tables.classes[entry], elementIndex)) {
        entries[entryCount++] = entry;
      }
    }
    std::sort(entries, entries + entryCount);
    const int32_t* end = std::unique(entries, entries + entryCount);
    for (const int32_t* entry = entries; entry != end; ++entry) {
      const char* className = tables.classes[*entry].name;
      const char* declarations =
          elementName != nullptr ? FindRule(document, elementName, className) : nullptr;
      if (declarations == nullptr) declarations = FindRule(document, nullptr, className);
      if (declarations != nullptr && ParseStyleAttribute(props, document, declarations) != kOk) {
        return kErrNoMemory;
      }
    }
  }

  if (styleText != nullptr && ParseStyleAttribute(props, document, styleText) != kOk) {
    return kErrNoMemory;
  }
  return kOk;
}

// --- data URIs ----------------------------------------------------------------------

Status ParseDataUri(ImageSource& source, const char* href) {
  if (source.given != 0) return kErrDuplicateAttribute;
  source.given = 1;
  if (href == nullptr) return kErrMissing;

  std::string_view rest = href;
  (void)NextToken(rest, ",;");  // the scheme and media type
  for (std::string_view item = NextToken(rest, ",;"); !item.empty();
       item = NextToken(rest, ",;")) {
    if (item != "base64") continue;
    const std::string_view payload = NextToken(rest, ",;");
    if (payload.empty()) return kOk;
    KernelBlock<uint8_t> bytes(SVGFLT_ALLOC(uint8_t, payload.size()));
    if (!bytes) return kErrNoMemory;
    const int32_t count =
        DecodeBase64(payload.data(), static_cast<int32_t>(payload.size()), bytes.get());
    if (count <= 0) return kOk;
    KernelRelease(source.data);
    source.data = bytes.Release();
    source.dataSize = count;
    return kOk;
  }
  return CopyReference(href, &source.href, true);
}

void FreeImageSource(ImageSource& source) {
  KernelRelease(source.data);
  FreeString(&source.href);
  source = ImageSource{};
}

int32_t DecodeBase64(const char* text, int32_t length, uint8_t* buffer) {
  if (text == nullptr || buffer == nullptr || length < 0) return -1;
  int32_t written = 0;
  uint32_t bits = 0;
  int32_t sextets = 0;
  for (int32_t i = 0; i < length; ++i) {
    const int8_t value = kBase64Values[static_cast<unsigned char>(text[i])];
    if (value == kBase64Pad) break;
    if (value == kNotBase64) continue;
    bits = (bits << 6) | static_cast<uint32_t>(value);
    if (++sextets == 4) {
      buffer[written++] = static_cast<uint8_t>(bits >> 16);
      buffer[written++] = static_cast<uint8_t>(bits >> 8);
      buffer[written++] = static_cast<uint8_t>(bits);
      bits = 0;
      sextets = 0;
    }
  }
  // A last group of two or three characters holds one or two whole bytes.
  if (sextets == 2) {
    buffer[written++] = static_cast<uint8_t>(bits >> 4);
  } else if (sextets == 3) {
    buffer[written++] = static_cast<uint8_t>(bits >> 10);
    buffer[written++] = static_cast<uint8_t>(bits >> 2);
  }
  return written;
}

// --- release --------------------------------------------------------------------------

void FreeStyleTables(SvgDocument& document) {
  StyleTables& tables = document.style;
  while (tables.rules != nullptr) {
    CssRule* next = tables.rules->next;
    FreeRule(tables.rules);
    tables.rules = next;
  }
  KernelRelease(tables.ruleIndex);
  for (int32_t i = 0; i < tables.classCount; ++i) {
    KernelRelease(tables.classes[i].elements);
    KernelRelease(tables.classes[i].name);
  }
  KernelRelease(tables.classes);
  KernelRelease(tables.classIndex);
  for (int32_t i = 0; i < tables.fontFaceCount; ++i) {
    KernelRelease(tables.fontFaces[i].family);
    KernelRelease(tables.fontFaces[i].data);
  }
  KernelRelease(tables.fontFaces);
  tables = StyleTables{};
}

}  // namespace svgflt
