#include "Common/TextUtil.h"

#include <cstring>
#include <string>
#include <string_view>

#include "Common/ElementWalk.h"
#include "Common/GeneralUtil.h"
#include "Common/KernelMemory.h"
#include "Common/Parser/Elements.h"
#include "Common/Properties.h"
#include "Common/Stack.h"
#include "Common/SvgDocument.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/TextUtil";

constexpr std::string_view kLengthListSeparators = ", \t\n\r";
constexpr std::string_view kNumberListSeparators = " ,\t\n\r";

// The kinds whose records carry x, y, dx, dy or rotate lists.
bool HasPositionLists(int32_t elementKind) {
  return elementKind == kElemText || elementKind == kElemTspan || elementKind == kElemTref ||
         elementKind == kElemAltGlyph;
}

// A writable, NUL-terminated copy of `text`, so that each token can be cut
// out in place and handed to the parsers that read up to a NUL.
char* WritableCopy(const char* text) {
  const std::size_t length = std::strlen(text);
  char* copy = SVGFLT_ALLOC(char, length + 1);
  if (copy != nullptr) std::memcpy(copy, text, length);
  return copy;
}

// Cuts the next token out of *cursor (delimiters skipped, the token
// terminated in place) and returns it, or null when none is left.
char* NextTokenInPlace(char** cursor, std::string_view delimiters) {
  char* position = *cursor;
  while (*position != '\0' && delimiters.find(*position) != std::string_view::npos) ++position;
  if (*position == '\0') {
    *cursor = position;
    return nullptr;
  }
  char* token = position;
  while (*position != '\0' && delimiters.find(*position) == std::string_view::npos) ++position;
  if (*position != '\0') *position++ = '\0';
  *cursor = position;
  return token;
}

// Makes room for one more entry: the first block holds
// kListInitialCapacity entries, each growth adds kListGrowth, zero-filled.
template <typename T>
bool ReserveEntry(T** items, int32_t count, int32_t* capacity) {
  if (count < *capacity) return true;
  const int32_t grown = *capacity == 0 ? kListInitialCapacity : *capacity + kListGrowth;
  T* block = SVGFLT_GROW(T, *items, static_cast<std::size_t>(*capacity),
                         static_cast<std::size_t>(grown));
  if (block == nullptr) return false;
  *items = block;
  *capacity = grown;
  return true;
}

// --- element parsers ------------------------------------------------------------

using Names = std::span<const std::string_view>;
// Parses the kind's own attribute number `index` of its name table.
using OwnParser = Status (*)(ElementWalk& walk, int32_t index, const char* value);

// What a kind of the family accepts besides "id" and xml:base.
struct TextKindRules {
  bool langAndSpace;  // xml:lang, xml:space
  bool classStyle;    // class, style
  bool full;          // conditional attributes, externalResourcesRequired, presentation
  bool transform;
  Names ownNames;
  OwnParser parseOwn;
};

// One attribute of a text-family element, in the order of the shared loop:
// id, xml: names, conditional, externalResourcesRequired, class and style,
// transform, the own names, then the presentation attributes. Names that
// nothing owns are ignored.
Status DispatchTextAttribute(ElementWalk& walk, const TextKindRules& rules, std::string_view name,
                             KernelBlock<char>& text) {
  const char* value = text.get();
  Status status = kOk;
  if (TrySetId(walk, name, value, false, &status)) return status;
  if (name.starts_with("a:adobe-blending-mode")) return kOk;
  if (TrySetXml(walk, name, value, rules.langAndSpace, &status)) return status;
  if (rules.full && TrySetConditional(walk, name, value, &status)) return status;
  if (rules.full && TrySetExternalResources(walk, name, value, &status)) return status;
  if (rules.classStyle && TrySetClassOrStyle(walk, name, text, &status)) return status;
  if (rules.transform && name == "transform") {
    return SetOnce(walk.common.given, kGivenTransform,
                   [&] { return ParseTransformList(value, &walk.common.transform); });
  }
  // Positioning lists of a text element exist from SVG 1.1 on; an older
  // document's dx, dy and rotate are ignored like unknown names.
  if (walk.record.elementType == kElemText && walk.document.version != 1.1 &&
      (name == "dx" || name == "dy" || name == "rotate")) {
    return kOk;
  }
  if (TrySetOwn(walk, rules.ownNames, name,
                [&](int32_t index) { return rules.parseOwn(walk, index, value); }, &status)) {
    return status;
  }
  if (name.starts_with("xmlns")) return kOk;
  if (!rules.full) return kOk;
  ElementCommon& common = walk.common;
  status = ParsePresentationAttribute(common.propertyMasks, common.props, name, value,
                                      walk.document.version);
  // No group owns the name (or a length value was malformed, which the
  // groups answer alike): ignored, as on the other elements.
  return status == kErrBadLength ? kOk : status;
}

// A string attribute that must not be empty.
Status StoreRequiredString(const char* value, char** field) {
  if (value[0] == '\0') return kErrMissing;
  return StoreString(value, field);
}

Status StoreHref(const char* value, char** field) { return CopyReference(value, field, true); }

constexpr SvgLength kZeroUser{kUnitNone, 0.0, 0};

// Flattened character content, taken once per text and tspan element.
Status StoreContent(const AdvXMLParser::Element& xml, char** field) {
  const std::string content = xml.GetText();
  return StoreString(content, field);
}

// Nesting of elements inside a textPath whose characters are still read.
constexpr int32_t kMaxTextPathDepth = 16;

// The characters of a textPath: its text and that of the elements inside
// it in document order, runs of white space made one blank and the ends
// trimmed. Nothing is stored when there are none.
Status StoreTextPathContent(const AdvXMLParser::Element& xml, char** field) {
  struct Level {
    const AdvXMLParser::NodeContainer* node;
    std::size_t next;
  };
  Level stack[kMaxTextPathDepth];
  int32_t depth = 0;
  stack[depth++] = Level{&xml, 0};
  std::string text;
  while (depth > 0) {
    Level& top = stack[depth - 1];
    if (top.next >= top.node->children.size()) {
      --depth;
      continue;
    }
    const AdvXMLParser::Node* child = top.node->children[top.next++];
    if (child->IsType(AdvXMLParser::kElementNode)) {
      if (depth < kMaxTextPathDepth) {
        stack[depth++] = Level{static_cast<const AdvXMLParser::Element*>(child), 0};
      }
    } else if (child->IsType(AdvXMLParser::kTextNode) || child->IsType(AdvXMLParser::kCDataNode) ||
               child->IsType(AdvXMLParser::kReferenceNode)) {
      text += child->GetValue();
    }
  }
  for (char& ch : text) {
    if (ch == '\t' || ch == '\r' || ch == '\n') ch = ' ';
  }
  AdvXMLParser::CollapseWhitespace(text);
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return kOk;
  const std::size_t last = text.find_last_not_of(' ');
  return StoreString(std::string_view(text).substr(first, last - first + 1), field);
}

// text
constexpr std::array<std::string_view, 8> kTextNames{
    "x", "y", "dx", "dy", "rotate", "textLength", "lengthAdjust", "enable-background"};

Status TextOwn(ElementWalk& walk, int32_t index, const char* value) {
  TextRecord& text = walk.record.data.text.own;
  switch (index) {
    case 0: text.xGiven = 1; return ParseLength(value, &text.x);
    case 1: text.yGiven = 1; return ParseLength(value, &text.y);
    case 2: return ParseLengthList(value, kElemText, &text.dx);
    case 3: return ParseLengthList(value, kElemText, &text.dy);
    case 4: return ParseNumberList(value, kElemText, &text.rotate);
    case 5: return ParseLength(value, &text.textLength);
    case 6: return LookupKeyword(value, kLengthAdjustKeywords, &text.lengthAdjust);
    default: return kOk;  // enable-background: accepted without effect
  }
}

constexpr TextKindRules kTextRules{true, true, true, true, kTextNames, TextOwn};

// tspan, tref and altGlyph share the positioning lists at the start of their names.
Status PositionOwn(ElementWalk& walk, int32_t index, const char* value, LengthList* x,
                   LengthList* y, LengthList* dx, LengthList* dy, NumberList* rotate) {
  const int32_t kind = walk.record.elementType;
  switch (index) {
    case 0: return ParseLengthList(value, kind, x);
    case 1: return ParseLengthList(value, kind, y);
    case 2: return ParseLengthList(value, kind, dx);
    case 3: return ParseLengthList(value, kind, dy);
    default: return ParseNumberList(value, kind, rotate);
  }
}

constexpr std::array<std::string_view, 7> kTspanNames{"x",      "y",          "dx",
                                                      "dy",     "rotate",     "textLength",
                                                      "lengthAdjust"};

Status TspanOwn(ElementWalk& walk, int32_t index, const char* value) {
  TspanRecord& tspan = walk.record.data.tspan.own;
  if (index == 5) return ParseLength(value, &tspan.textLength);
  if (index == 6) return LookupKeyword(value, kLengthAdjustKeywords, &tspan.lengthAdjust);
  return PositionOwn(walk, index, value, &tspan.x, &tspan.y, &tspan.dx, &tspan.dy,
                     &tspan.rotate);
}

constexpr TextKindRules kTspanRules{true, true, true, false, kTspanNames, TspanOwn};

constexpr std::array<std::string_view, 14> kTrefNames{
    "x",          "y",          "dx",         "dy",          "rotate",
    "textLength", "lengthAdjust", "xlink:href", "xlink:type", "xlink:role",
    "xlink:arcrole", "xlink:title", "xlink:show", "xlink:actuate"};

Status TrefOwn(ElementWalk& walk, int32_t index, const char* value) {
  TrefRecord& tref = walk.record.data.tref.own;
  if (index == 5) return ParseLength(value, &tref.textLength);
  if (index == 6) return LookupKeyword(value, kLengthAdjustKeywords, &tref.lengthAdjust);
  if (index == 7) return StoreHref(value, &tref.href);
  if (index > 7) return kOk;  // the other XLink attributes: accepted
  return PositionOwn(walk, index, value, &tref.x, &tref.y, &tref.dx, &tref.dy, &tref.rotate);
}

constexpr TextKindRules kTrefRules{true, true, true, false, kTrefNames, TrefOwn};

constexpr std::array<std::string_view, 12> kTextPathNames{
    "textLength", "lengthAdjust", "startOffset",   "method",      "spacing",
    "xlink:href", "xlink:type",   "xlink:role",    "xlink:arcrole", "xlink:title",
    "xlink:show", "xlink:actuate"};

Status TextPathOwn(ElementWalk& walk, int32_t index, const char* value) {
  TextPathRecord& path = walk.record.data.textPath.own;
  switch (index) {
    case 0: return ParseLength(value, &path.textLength);
    case 1: return LookupKeyword(value, kLengthAdjustKeywords, &path.lengthAdjust);
    case 2: return ParseLength(value, &path.startOffset);
    case 3: return LookupKeyword(value, kTextPathMethodKeywords, &path.method);
    case 4: return LookupKeyword(value, kTextPathSpacingKeywords, &path.spacing);
    // Only a fragment ("#id") names the path; anything else draws nothing.
    case 5: return value != nullptr && value[0] == '#' ? StoreHref(value, &path.href) : kOk;
    default: return kOk;
  }
}

constexpr TextKindRules kTextPathRules{true, true, true, false, kTextPathNames, TextPathOwn};

constexpr std::array<std::string_view, 14> kAltGlyphNames{
    "x",          "y",          "dx",         "dy",          "rotate",
    "glyphRef",   "format",     "xlink:href", "xlink:type",  "xlink:role",
    "xlink:arcrole", "xlink:title", "xlink:show", "xlink:actuate"};

Status AltGlyphOwn(ElementWalk& walk, int32_t index, const char* value) {
  AltGlyphRecord& glyph = walk.record.data.altGlyph.own;
  if (index == 5) return StoreRequiredString(value, &glyph.glyphRef);
  if (index == 6) return StoreRequiredString(value, &glyph.format);
  if (index == 7) return StoreHref(value, &glyph.href);
  if (index > 7) return kOk;
  return PositionOwn(walk, index, value, &glyph.x, &glyph.y, &glyph.dx, &glyph.dy,
                     &glyph.rotate);
}

constexpr TextKindRules kAltGlyphRules{true, true, true, false, kAltGlyphNames, AltGlyphOwn};

Status NoOwnAttribute(ElementWalk& /*walk*/, int32_t /*index*/, const char* /*value*/) {
  return kOk;
}

constexpr TextKindRules kAltGlyphDefRules{false, false, false, false, {}, NoOwnAttribute};

constexpr std::array<std::string_view, 13> kGlyphRefNames{
    "x",          "y",           "dx",         "dy",         "glyphRef",
    "format",     "xlink:href",  "xlink:type", "xlink:role", "xlink:arcrole",
    "xlink:title", "xlink:show", "xlink:actuate"};

Status GlyphRefOwn(ElementWalk& walk, int32_t index, const char* value) {
  GlyphRefRecord& glyph = walk.record.data.glyphRef.own;
  switch (index) {
    case 0: return ParseStrictNumber(value, &glyph.x);
    case 1: return ParseStrictNumber(value, &glyph.y);
    case 2: return ParseLength(value, &glyph.dx);
    case 3: return ParseLength(value, &glyph.dy);
    case 4: return StoreRequiredString(value, &glyph.glyphRef);
    case 5: return StoreRequiredString(value, &glyph.format);
    case 6: return StoreHref(value, &glyph.href);
    default: return kOk;
  }
}

constexpr TextKindRules kGlyphRefRules{false, true, false, false, kGlyphRefNames, GlyphRefOwn};

// The parse of one element of the family: the record is started, the
// single lengths get their defaults, text and tspan take their content,
// and the attributes are walked.
Status ParseWithTextRules(SvgDocument& document, const AdvXMLParser::Element& xml, int32_t type,
                         const TextKindRules& rules) {
  Status status = BeginElementRecord(document, type);
  if (status != kOk) return status;
  ElementRecord& record = document.records[document.recordCount];
  ElementData& data = record.data;
  switch (type) {
    case kElemText:
      data.text.own.x = kZeroUser;
      data.text.own.y = kZeroUser;
      data.text.own.textLength = kZeroUser;
      status = StoreContent(xml, &data.text.own.content);
      break;
    case kElemTspan:
      data.tspan.own.textLength = kZeroUser;
      status = StoreContent(xml, &data.tspan.own.content);
      break;
    case kElemTref: data.tref.own.textLength = kZeroUser; break;
    case kElemTextPath:
      data.textPath.own.textLength = kZeroUser;
      data.textPath.own.startOffset = kZeroUser;
      status = StoreTextPathContent(xml, &data.textPath.own.content);
      break;
    case kElemGlyphRef:
      data.glyphRef.own.dx = kZeroUser;
      data.glyphRef.own.dy = kZeroUser;
      break;
    default: break;
  }
  if (status != kOk) return status;
  ElementWalk walk{document, record, CommonOf(record), document.recordCount, {}, {}};
  return WalkAttributes(walk, xml, [&rules](ElementWalk& w, std::string_view name,
                                           KernelBlock<char>& text) {
    return DispatchTextAttribute(w, rules, name, text);
  });
}

}  // namespace

void FreeLengthList(LengthList* list) {
  if (list == nullptr) return;
  KernelRelease(list->items);
  *list = LengthList{};
}

void FreeNumberList(NumberList* list) {
  if (list == nullptr) return;
  KernelRelease(list->items);
  *list = NumberList{};
}

Status ParseLengthList(const char* text, int32_t elementKind, LengthList* list) {
  if (text == nullptr || list == nullptr || !HasPositionLists(elementKind)) return kErrMissing;
  FreeLengthList(list);
  KernelBlock<char> copy(WritableCopy(text));
  if (!copy) return kErrNoMemory;

  char* cursor = copy.get();
  while (char* token = NextTokenInPlace(&cursor, kLengthListSeparators)) {
    if (!ReserveEntry(&list->items, list->count, &list->capacity)) {
      FreeLengthList(list);
      return kErrNoMemory;
    }
    SvgLength& entry = list->items[list->count++];
    entry = SvgLength{kUnitNone, 0.0, 0};
    // A malformed item keeps its place in the count (as 0 user units) and
    // ends the list. Its status does not fail the element: browsers drop a
    // bad list item and still draw the text.
    if (ParseLength(token, &entry) != kOk) break;
  }
  return kOk;
}

Status ParseNumberList(const char* text, int32_t elementKind, NumberList* list) {
  if (text == nullptr || list == nullptr || !HasPositionLists(elementKind)) return kErrMissing;
  FreeNumberList(list);
  KernelBlock<char> copy(WritableCopy(text));
  if (!copy) return kErrNoMemory;

  char* cursor = copy.get();
  while (char* token = NextTokenInPlace(&cursor, kNumberListSeparators)) {
    // A token that is not a number ends the list without being stored; as
    // for lengths, the element still loads with the numbers before it.
    if (IsNumber(token) != kOk) break;
    if (!ReserveEntry(&list->items, list->count, &list->capacity)) {
      FreeNumberList(list);
      return kErrNoMemory;
    }
    list->items[list->count++] = ConvertNumberPrefix(TrimView(token));
  }
  return kOk;
}

bool IsTextElementKind(int32_t elementType) {
  return elementType >= kElemText && elementType <= kElemGlyphRef;
}

void FreeTextElementData(ElementRecord& record) {
  ElementData& data = record.data;
  switch (record.elementType) {
    case kElemText:
      FreeLengthList(&data.text.own.dx);
      FreeLengthList(&data.text.own.dy);
      FreeNumberList(&data.text.own.rotate);
      FreeString(&data.text.own.content);
      break;
    case kElemTspan: {
      TspanRecord& tspan = data.tspan.own;
      for (LengthList* list : {&tspan.x, &tspan.y, &tspan.dx, &tspan.dy}) FreeLengthList(list);
      FreeNumberList(&tspan.rotate);
      FreeString(&tspan.content);
      break;
    }
    case kElemTref: {
      TrefRecord& tref = data.tref.own;
      for (LengthList* list : {&tref.x, &tref.y, &tref.dx, &tref.dy}) FreeLengthList(list);
      FreeNumberList(&tref.rotate);
      FreeString(&tref.href);
      break;
    }
    case kElemTextPath:
      FreeString(&data.textPath.own.href);
      FreeString(&data.textPath.own.content);
      break;
    case kElemAltGlyph: {
      AltGlyphRecord& glyph = data.altGlyph.own;
      for (LengthList* list : {&glyph.x, &glyph.y, &glyph.dx, &glyph.dy}) FreeLengthList(list);
      FreeNumberList(&glyph.rotate);
      FreeString(&glyph.href);
      FreeString(&glyph.glyphRef);
      FreeString(&glyph.format);
      break;
    }
    case kElemGlyphRef:
      FreeString(&data.glyphRef.own.href);
      FreeString(&data.glyphRef.own.glyphRef);
      FreeString(&data.glyphRef.own.format);
      break;
    default: break;
  }
}

Status ParseTextElement(SvgDocument& document, const AdvXMLParser::Element& xml, int32_t type) {
  return ParseWithTextRules(document, xml, type, kTextRules);
}
Status ParseTspanElement(SvgDocument& document, const AdvXMLParser::Element& xml, int32_t type) {
  return ParseWithTextRules(document, xml, type, kTspanRules);
}
Status ParseTrefElement(SvgDocument& document, const AdvXMLParser::Element& xml, int32_t type) {
  return ParseWithTextRules(document, xml, type, kTrefRules);
}
Status ParseTextPathElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                            int32_t type) {
  return ParseWithTextRules(document, xml, type, kTextPathRules);
}
Status ParseAltGlyphElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                            int32_t type) {
  return ParseWithTextRules(document, xml, type, kAltGlyphRules);
}
Status ParseAltGlyphDefElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                               int32_t type) {
  return ParseWithTextRules(document, xml, type, kAltGlyphDefRules);
}
Status ParseGlyphRefElement(SvgDocument& document, const AdvXMLParser::Element& xml,
                            int32_t type) {
  return ParseWithTextRules(document, xml, type, kGlyphRefRules);
}

}  // namespace svgflt
