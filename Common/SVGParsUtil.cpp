#include "Common/SVGParsUtil.h"

#include <array>
#include <cstring>
#include <new>
#include <string_view>

#include "Common/ElementParsers.h"
#include "Common/FontElements.h"
#include "Common/GeneralUtil.h"
#include "Common/KernelMemory.h"
#include "Common/Parser/Elements.h"
#include "Common/Parser/Reader.h"
#include "Common/PaintServers.h"
#include "Common/TextUtil.h"
#include "ImagingKernel/ImagingKernel.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/SVGParsUtil";

using AdvXMLParser::Element;

// Growth of the record table, of a record's child list and of the id table.
constexpr int32_t kFirstRecords = 10;
constexpr int32_t kMoreRecords = 20;
constexpr int32_t kFirstChildren = 5;
constexpr int32_t kMoreChildren = 10;
constexpr int32_t kFirstIds = 10;
constexpr int32_t kMoreIds = 20;
constexpr int32_t kFirstIdIndexSlots = 32;

// ---------------------------------------------------------------------------
// Element table

// An element's attribute parser: fills the record at recordCount for the
// element kind `type` and answers kOk, kDropElement or an error.
using ElementParser = Status (*)(SvgDocument& document, const Element& xml, int32_t type);

struct ElementRow {
  std::string_view name;
  int32_t type;
  ElementParser parser;
};

// In the order the dispatcher tests the names. polyline and polygon share
// one parser, which stores the row's type.
constexpr std::array<ElementRow, kElementTypeCount> kElementTable = {{
    {"svg", kElemSvg, ParseSvgElement},
    {"g", kElemG, ParseGroupElement},
    {"defs", kElemDefs, ParseDefsElement},
    {"desc", kElemDesc, ParseDescElement},
    {"title", kElemTitle, ParseTitleElement},
    {"symbol", kElemSymbol, ParseSymbolElement},
    {"use", kElemUse, ParseUseElement},
    {"image", kElemImage, ParseImageElement},
    {"switch", kElemSwitch, ParseDefsElement},
    {"style", kElemStyle, ParseStyleSheetElement},
    {"path", kElemPath, ParsePathElement},
    {"rect", kElemRect, ParseRectElement},
    {"circle", kElemCircle, ParseCircleElement},
    {"ellipse", kElemEllipse, ParseEllipseElement},
    {"line", kElemLine, ParseLineElement},
    {"polyline", kElemPolyline, ParsePolyElement},
    {"polygon", kElemPolygon, ParsePolyElement},
    {"text", kElemText, ParseTextElement},
    {"tspan", kElemTspan, ParseTspanElement},
    {"tref", kElemTref, ParseTrefElement},
    {"textPath", kElemTextPath, ParseTextPathElement},
    {"altGlyph", kElemAltGlyph, ParseAltGlyphElement},
    {"altGlyphDef", kElemAltGlyphDef, ParseAltGlyphDefElement},
    {"altGlyphItem", kElemAltGlyphItem, ParseAltGlyphDefElement},
    {"glyphRef", kElemGlyphRef, ParseGlyphRefElement},
    {"marker", kElemMarker, ParseMarkerElement},
    {"color-profile", kElemColorProfile, ParseColorProfileElement},
    {"linearGradient", kElemLinearGradient, ParseLinearGradientElement},
    {"radialGradient", kElemRadialGradient, ParseRadialGradientElement},
    {"stop", kElemStop, ParseStopElement},
    {"pattern", kElemPattern, ParsePatternElement},
    {"clipPath", kElemClipPath, ParseClipPathElement},
    {"font", kElemFont, ParseFontElement},
    {"glyph", kElemGlyph, ParseGlyphElement},
    {"missing-glyph", kElemMissingGlyph, ParseMissingGlyphElement},
    {"hkern", kElemHkern, ParseKernElement},
    {"vkern", kElemVkern, ParseKernElement},
    {"font-face", kElemFontFace, ParseFontFaceElement},
    {"font-face-src", kElemFontFaceSrc, ParseFontFaceSrcElement},
    {"font-face-uri", kElemFontFaceUri, ParseFontFaceUriElement},
    {"font-face-format", kElemFontFaceFormat, ParseFontFaceFormatElement},
    {"font-face-name", kElemFontFaceName, ParseFontFaceNameElement},
    {"definition-src", kElemDefinitionSrc, ParseFontFaceUriElement},
    {"a", kElemA, ParseAnchorElement},
    {"div", kElemDiv, ParseTextBlockElement},
    {"p", kElemP, ParseTextBlockElement},
    {"span", kElemSpan, ParseTextBlockElement},
    {"region", kElemRegion, ParseRegionElement},
    {"br", kElemBr, ParseBrElement},
    {"solidColor", kElemSolidColor, ParseSolidColorElement},
}};

constexpr bool EveryTypeOnce() {
  std::array<int, kElementTypeCount> seen{};
  for (const ElementRow& row : kElementTable) {
    if (row.type < 0 || row.type >= kElementTypeCount || seen[static_cast<std::size_t>(row.type)]++ != 0) {
      return false;
    }
  }
  return true;
}
static_assert(EveryTypeOnce(), "the element table names every type code once");

const ElementRow* FindElementRow(std::string_view name) {
  for (const ElementRow& row : kElementTable) {
    if (row.name == name) return &row;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Tree building

// One element whose children are being built.
struct BuildFrame {
  const Element* xml;
  std::size_t nextChild;  // position in xml->children to look at next
  int32_t index;          // the element's record index
  int32_t childFlag;      // render flag handed to its children
};

// The depth-first walk keeps its path in this stack rather than on the call
// stack, so the nesting the input asks for cannot exhaust the thread's stack.
// Shallow documents stay in the inline frames; deeper ones spill into a
// kernel block.
class BuildStack {
 public:
  BuildStack() = default;
  BuildStack(const BuildStack&) = delete;
  BuildStack& operator=(const BuildStack&) = delete;
  ~BuildStack() { KernelRelease(spill_); }

  bool Empty() const { return count_ == 0; }
  BuildFrame& Top() { return frames_[count_ - 1]; }
  void Pop() { --count_; }

  [[nodiscard]] Status Push(const BuildFrame& frame) {
    if (count_ == capacity_) {
      const int32_t grown = capacity_ * 2;
      BuildFrame* block = nullptr;
      if (spill_ == nullptr) {
        block = SVGFLT_ALLOC(BuildFrame, static_cast<std::size_t>(grown));
        if (block != nullptr) std::memcpy(block, inline_, sizeof inline_);
      } else {
        block = SVGFLT_GROW(BuildFrame, spill_, static_cast<std::size_t>(capacity_),
                            static_cast<std::size_t>(grown));
      }
      if (block == nullptr) return kErrNoMemory;
      spill_ = block;
      frames_ = block;
      capacity_ = grown;
    }
    frames_[count_++] = frame;
    return kOk;
  }

 private:
  static constexpr int32_t kInlineFrames = 64;
  BuildFrame inline_[kInlineFrames] = {};
  BuildFrame* frames_ = inline_;
  BuildFrame* spill_ = nullptr;
  int32_t count_ = 0;
  int32_t capacity_ = kInlineFrames;
};

// Room for the record at recordCount: 10 records first, then 20 more at a time.
Status ReserveRecord(SvgDocument& document) {
  if (document.recordCount >= kMaxElementRecords) return kErrNoMemory;
  if (document.records == nullptr) {
    ElementRecord* table = SVGFLT_ALLOC(ElementRecord, kFirstRecords);
    if (table == nullptr) return kErrNoMemory;
    document.records = table;
    document.recordCapacity = kFirstRecords;
  } else if (document.recordCount >= document.recordCapacity) {
    const int32_t grown = document.recordCapacity + kMoreRecords;
    ElementRecord* table =
        SVGFLT_GROW(ElementRecord, document.records, static_cast<std::size_t>(document.recordCapacity),
                    static_cast<std::size_t>(grown));
    if (table == nullptr) return kErrNoMemory;
    document.records = table;
    document.recordCapacity = grown;
  }
  return kOk;
}

// Appends `child` to the record's child list: 5 entries first, then 10 more.
Status AppendChildIndex(ElementRecord& record, int32_t child) {
  if (record.childCount >= record.childCapacity) {
    int32_t* list = nullptr;
    int32_t grown = 0;
    if (record.children == nullptr) {
      grown = kFirstChildren;
      list = SVGFLT_ALLOC(int32_t, static_cast<std::size_t>(grown));
    } else {
      grown = record.childCapacity + kMoreChildren;
      list = SVGFLT_GROW(int32_t, record.children, static_cast<std::size_t>(record.childCapacity),
                         static_cast<std::size_t>(grown));
    }
    if (list == nullptr) return kErrNoMemory;
    record.children = list;
    record.childCapacity = grown;
  }
  record.children[record.childCount++] = child;
  record.hasChildren = 1;
  ++record.builtChildCount;
  return kOk;
}

// Render flag of an element: 0 for the containers whose content is drawn
// only by reference; a path is drawn unless it sits directly in defs or
// pattern; everything else inherits.
int32_t RenderFlagOf(const SvgDocument& document, const Element& xml, int32_t inherited,
                     int32_t parentIndex) {
  const std::string_view name = xml.name;
  if (name == "defs" || name == "clipPath" || name == "pattern") return 0;
  if (name == "path") {
    if (parentIndex >= 0 && parentIndex < document.recordCount) {
      const int32_t parentType = document.records[parentIndex].elementType;
      if (parentType == kElemDefs || parentType == kElemPattern) return inherited;
    }
    return 1;
  }
  return inherited;
}

// Builds the record of one element. A committed element that may have
// children is pushed onto `stack`; a dropped one leaves nothing and answers kOk.
Status BuildElement(SvgDocument& document, const Element& xml, int32_t inherited,
                    int32_t parentIndex, BuildStack& stack) {
  const int32_t flag = RenderFlagOf(document, xml, inherited, parentIndex);
  Status status = ReserveRecord(document);
  if (status != kOk) return status;

  const int32_t index = document.recordCount;
  ElementRecord& fresh = document.records[index];
  fresh.hasChildren = 0;
  fresh.renderFlag = flag;
  fresh.parent = parentIndex;

  AdvXMLParser::TextState().preserveAll = document.preserveAll == 1 ? 1 : 0;
  status = DispatchElement(document, xml);
  if (status == kDropElement) {
    if (parentIndex >= 0) --document.records[parentIndex].builtChildCount;
    return kOk;
  }

  int32_t childFlag = flag;
  if (xml.name == "g") {
    ElementRecord& group = document.records[index];
    group.data.group.savedRenderFlag = group.renderFlag;
    group.renderFlag = 1;
    childFlag = 1;
  }
  if (status != kOk) return status;
  return stack.Push(BuildFrame{&xml, 0, index, childFlag});
}

// The next element child of the frame's element, or null when none is left.
const Element* NextChildElement(BuildFrame& frame) {
  const auto& children = frame.xml->children;
  while (frame.nextChild < children.size()) {
    const AdvXMLParser::Node* node = children[frame.nextChild++];
    if (node->IsType(1)) return static_cast<const Element*>(node);
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Loading

// Frees the reader's preserve flags when the load ends, however it ends.
class TextStateReset {
 public:
  TextStateReset() = default;
  TextStateReset(const TextStateReset&) = delete;
  TextStateReset& operator=(const TextStateReset&) = delete;
  ~TextStateReset() { AdvXMLParser::ResetTextState(); }
};

// Owns the parsed XML document: takes it off the kernel's object tracker and
// destroys the tree.
class XmlDocumentOwner {
 public:
  XmlDocumentOwner() = default;
  XmlDocumentOwner(const XmlDocumentOwner&) = delete;
  XmlDocumentOwner& operator=(const XmlDocumentOwner&) = delete;
  ~XmlDocumentOwner() {
    if (document_ != nullptr) {
      KernelUntrackObject(kTrackObject, document_, __LINE__, kSourceTag);
      delete document_;
    }
  }
  void Reset(AdvXMLParser::Document* document) { document_ = document; }
  AdvXMLParser::Document* get() const { return document_; }

 private:
  AdvXMLParser::Document* document_ = nullptr;
};

// Size of the open file in bytes, found by reading its last byte; the file
// position is left where it was. kErrRead for an empty or unreadable file.
Status FileSize(int32_t file, int32_t* size, int32_t* start) {
  const int32_t position = KernelSeekFile(file, 0, 1);
  if (position < 0) return kErrRead;
  unsigned char last = 0;
  if (KernelSeekFile(file, -1, 2) < 0 || KernelReadFile(file, &last, 1) != 1) {
    KernelSeekFile(file, position, 0);
    return kErrRead;
  }
  const int32_t end = KernelSeekFile(file, 0, 1);
  if (KernelSeekFile(file, position, 0) != position || end < 1) return kErrRead;
  *size = end;
  *start = position;
  return kOk;
}

// ---------------------------------------------------------------------------
// Id table

uint32_t HashText(std::string_view text) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

// The index slot holding `text`, or the empty slot where it belongs. The
// index is never more than half full, so the probe ends.
int32_t ProbeSlot(const SvgDocument& document, std::string_view text) {
  const uint32_t mask = static_cast<uint32_t>(document.idIndexCapacity) - 1;
  uint32_t slot = HashText(text) & mask;
  for (;;) {
    const int32_t entry = document.idIndex[slot];
    if (entry == 0) break;
    const IdEntry& id = document.ids[entry - 1];
    if (std::string_view(id.text, static_cast<std::size_t>(id.length)) == text) break;
    slot = (slot + 1) & mask;
  }
  return static_cast<int32_t>(slot);
}

// The entry registered for `text`, or -1.
int32_t FindEntry(const SvgDocument& document, std::string_view text) {
  if (document.idIndexCapacity == 0) return -1;
  return document.idIndex[ProbeSlot(document, text)] - 1;
}

// Makes room in the index for one more entry, doubling it past half full.
Status ReserveIdSlot(SvgDocument& document) {
  if ((document.idCount + 1) * 2 <= document.idIndexCapacity) return kOk;
  const int32_t grown =
      document.idIndexCapacity == 0 ? kFirstIdIndexSlots : document.idIndexCapacity * 2;
  int32_t* index = SVGFLT_ALLOC(int32_t, static_cast<std::size_t>(grown));
  if (index == nullptr) return kErrNoMemory;
  KernelRelease(document.idIndex);
  document.idIndex = index;
  document.idIndexCapacity = grown;
  for (int32_t i = 0; i < document.idCount; ++i) {
    const IdEntry& id = document.ids[i];
    index[ProbeSlot(document, std::string_view(id.text, static_cast<std::size_t>(id.length)))] = i + 1;
  }
  return kOk;
}

// Makes room for one more entry: 10 entries first, then 20 more at a time.
Status ReserveIdEntry(SvgDocument& document) {
  if (document.idCount < document.idCapacity) return kOk;
  const int32_t grown = document.ids == nullptr ? kFirstIds : document.idCapacity + kMoreIds;
  IdEntry* ids = SVGFLT_GROW(IdEntry, document.ids, static_cast<std::size_t>(document.idCapacity),
                             static_cast<std::size_t>(grown));
  if (ids == nullptr) return kErrNoMemory;
  document.ids = ids;
  document.idCapacity = grown;
  return kOk;
}

}  // namespace

// ---------------------------------------------------------------------------

int32_t ElementTypeOf(std::string_view name) {
  const ElementRow* row = FindElementRow(name);
  return row != nullptr ? row->type : -1;
}

Status DispatchElement(SvgDocument& document, const Element& xml) {
  const ElementRow* row = FindElementRow(xml.name);
  if (row == nullptr) return kDropElement;
  const Status status = row->parser(document, xml, row->type);
  if (status != kDropElement) ++document.recordCount;
  return status;
}

Status BuildTree(SvgDocument& document, const Element& xml, int32_t renderFlag,
                 int32_t parentIndex) {
  BuildStack stack;
  Status status = BuildElement(document, xml, renderFlag, parentIndex, stack);
  while (status == kOk && !stack.Empty()) {
    BuildFrame& top = stack.Top();
    const Element* child = NextChildElement(top);
    if (child == nullptr) {
      stack.Pop();
      continue;
    }
    const int32_t index = top.index;
    const int32_t childFlag = top.childFlag;
    status = AppendChildIndex(document.records[index], document.recordCount);
    if (status != kOk) break;
    document.currentParent = index;
    status = BuildElement(document, *child, childFlag, index, stack);
  }
  return status;
}

Status LoadSvgFile(int32_t file, SvgDocument& document) {
  document.xmlDocument = nullptr;
  int32_t size = 0;
  int32_t start = 0;
  Status status = FileSize(file, &size, &start);
  if (status != kOk) return status;

  // One spare zero byte after the contents.
  KernelBlock<unsigned char> buffer(SVGFLT_ALLOC(unsigned char, static_cast<std::size_t>(size) + 1));
  if (!buffer) return kErrNoMemory;
  // Read from the current position, which may lie past a byte-order mark.
  const int32_t expected = size - start;
  if (expected > 0 && KernelReadFile(file, buffer.get(), static_cast<uint32_t>(expected)) != expected) {
    return kErrRead;
  }

  TextStateReset textReset;
  AdvXMLParser::ResetTextState();
  XmlDocumentOwner xml;
  try {
    AdvXMLParser::Parser parser;
    xml.Reset(parser.Parse(buffer.get(), static_cast<std::size_t>(expected)));
  } catch (const AdvXMLParser::ParsingException&) {
    return kErrNotSvg;
  } catch (const std::bad_alloc&) {
    // Node allocation is the one part of the reader outside the kernel.
    return kErrNoMemory;
  }
  if (xml.get() == nullptr) return kErrNotSvg;

  const Element* root = xml.get()->root;
  if (root == nullptr) root = &AdvXMLParser::NullElement();
  if (AdvXMLParser::IsNull(root)) return kErrNoRoot;
  if (root->name != "svg") return kErrRootNotSvg;

  document.xmlDocument = xml.get();
  AdvXMLParser::TextState().preserveCount = 0;
  return BuildTree(document, *root, 1, -1);
}

Status RegisterId(SvgDocument& document, const char* value) {
  if (value == nullptr || value[0] == '\0') return kOk;
  char* trimmed = nullptr;
  Status status = TrimCopy(value, &trimmed);
  if (status != kOk) return status;
  KernelBlock<char> copy(trimmed);
  const std::string_view text(copy.get());
  if (FindEntry(document, text) >= 0) return kOk;  // the first element keeps its id

  status = ReserveIdEntry(document);
  if (status == kOk) status = ReserveIdSlot(document);
  if (status != kOk) return status;
  document.idIndex[ProbeSlot(document, text)] = document.idCount + 1;
  document.ids[document.idCount++] =
      IdEntry{document.recordCount, static_cast<int32_t>(text.size()), copy.Release()};
  return kOk;
}

int32_t FindId(const SvgDocument& document, const char* reference) {
  // Trimmed like the registered ids, but without a copy: a lookup needs none.
  if (reference == nullptr) return -1;
  const std::string_view text = TrimView(reference);
  if (text.empty()) return -1;
  const int32_t entry = FindEntry(document, text);
  return entry >= 0 ? document.ids[entry].recordIndex : -1;
}

// ---------------------------------------------------------------------------
// Document

Status CreateSvgDocument(SvgDocument** out) {
  SvgDocument* document = SVGFLT_ALLOC(SvgDocument, 1);
  if (document == nullptr) return kErrNoMemory;
  document->version = 1.1;
  *out = document;
  return kOk;
}

void FreeSvgDocument(SvgDocument* document) {
  if (document == nullptr) return;
  // Every allocated slot: those past recordCount are zero-filled or hold a
  // dropped element, so releasing them is harmless and nothing can be missed.
  for (int32_t i = 0; i < document->recordCapacity; ++i) {
    KernelRelease(document->records[i].children);
    FreeElementData(document->records[i]);
  }
  KernelRelease(document->records);
  for (int32_t i = 0; i < document->idCount; ++i) KernelRelease(document->ids[i].text);
  KernelRelease(document->ids);
  KernelRelease(document->idIndex);
  FreeStyleTables(*document);
  KernelRelease(document);
}

}  // namespace svgflt
