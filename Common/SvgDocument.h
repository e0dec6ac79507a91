// The per-load SVG document: the element-record table built from the XML
// tree, with its id table, style rules and classes. Owned by the load driver
// for one call.
#pragma once

#include <cstdint>
#include <type_traits>

#include "Common/StyleSheet.h"
#include "svgfilter/FilterStatus.h"

namespace AdvXMLParser {
class Document;
}

namespace svgflt {

// Element type codes stored in ElementRecord::elementType.
inline constexpr int32_t kElemSvg = 0;
inline constexpr int32_t kElemG = 1;
inline constexpr int32_t kElemDefs = 2;
inline constexpr int32_t kElemDesc = 3;
inline constexpr int32_t kElemTitle = 4;
inline constexpr int32_t kElemSymbol = 5;
inline constexpr int32_t kElemUse = 6;
inline constexpr int32_t kElemImage = 7;
inline constexpr int32_t kElemSwitch = 8;
inline constexpr int32_t kElemStyle = 9;
inline constexpr int32_t kElemPath = 10;
inline constexpr int32_t kElemRect = 11;
inline constexpr int32_t kElemCircle = 12;
inline constexpr int32_t kElemEllipse = 13;
inline constexpr int32_t kElemLine = 14;
inline constexpr int32_t kElemPolyline = 15;
inline constexpr int32_t kElemPolygon = 16;
inline constexpr int32_t kElemText = 17;
inline constexpr int32_t kElemTspan = 18;
inline constexpr int32_t kElemTref = 19;
inline constexpr int32_t kElemTextPath = 20;
inline constexpr int32_t kElemAltGlyph = 21;
inline constexpr int32_t kElemAltGlyphDef = 22;
inline constexpr int32_t kElemAltGlyphItem = 23;
inline constexpr int32_t kElemGlyphRef = 24;
inline constexpr int32_t kElemMarker = 25;
inline constexpr int32_t kElemColorProfile = 26;
inline constexpr int32_t kElemLinearGradient = 27;
inline constexpr int32_t kElemRadialGradient = 28;
inline constexpr int32_t kElemStop = 29;
inline constexpr int32_t kElemPattern = 30;
inline constexpr int32_t kElemClipPath = 31;
inline constexpr int32_t kElemFont = 32;
inline constexpr int32_t kElemGlyph = 33;
inline constexpr int32_t kElemMissingGlyph = 34;
inline constexpr int32_t kElemHkern = 35;
inline constexpr int32_t kElemVkern = 36;
inline constexpr int32_t kElemFontFace = 37;
inline constexpr int32_t kElemFontFaceSrc = 38;
inline constexpr int32_t kElemFontFaceUri = 39;
inline constexpr int32_t kElemFontFaceFormat = 40;
inline constexpr int32_t kElemFontFaceName = 41;
inline constexpr int32_t kElemDefinitionSrc = 42;
inline constexpr int32_t kElemDiv = 43;
inline constexpr int32_t kElemP = 44;
inline constexpr int32_t kElemSpan = 45;
inline constexpr int32_t kElemRegion = 46;
inline constexpr int32_t kElemBr = 47;
inline constexpr int32_t kElemSolidColor = 48;
inline constexpr int32_t kElemA = 49;
inline constexpr int32_t kElementTypeCount = 50;

// Data of a g element.
struct GroupData {
  int32_t savedRenderFlag;  // the render flag the tree builder replaced by 1
};

// Element-specific data. The element's attribute parser clears it and fills
// the member of its kind; attribute parsing is added per element kind.
union ElementData {
  GroupData group;
};

// One SVG element. Plain and fixed-size: the table is zero-filled when it
// grows and freed by FreeSvgDocument alone.
struct ElementRecord {
  // Tree header.
  int32_t parent;         // record index of the parent, -1 for the root svg
  int32_t childCount;     // entries used in `children`
  int32_t childCapacity;  // entries allocated in `children`
  int32_t* children;      // kernel block: record indices of the children, in document order
  int32_t renderFlag;     // 0 inside defs, clipPath and pattern; see BuildTree
  int32_t hasChildren;    // 1 once a child index has been appended

  ElementData data;

  // Trailer.
  int32_t elementType;      // kElem* code
  int32_t builtChildCount;  // children whose records were committed
};
static_assert(std::is_trivially_copyable_v<ElementRecord>);

// One registered id: the record that first carried it and a kernel copy of
// the trimmed text.
struct IdEntry {
  int32_t recordIndex;
  int32_t length;  // bytes in `text`, without the terminating NUL
  char* text;
};
static_assert(std::is_trivially_copyable_v<IdEntry>);

struct SvgDocument {
  int32_t recordCount;     // committed records; also the index of the record being built
  int32_t recordCapacity;  // records allocated
  AdvXMLParser::Document* xmlDocument;  // the tree being built from; stale after the load
  ElementRecord* records;               // kernel block of recordCapacity records
  int32_t currentParent;  // index of the record whose children are being built
  int32_t preserveAll;    // 1 when an svg element asked for xml:space="preserve"
  double version;         // SVG version: 1.1 unless an svg element's version changes it

  // Id table, in registration order, with an open-addressing hash index over
  // it: each slot holds an entry index plus one, 0 for an empty slot.
  int32_t idCount;
  int32_t idCapacity;
  IdEntry* ids;
  int32_t idIndexCapacity;  // a power of two, or 0 before the first id
  int32_t* idIndex;

  StyleTables style;  // style-sheet rules, class table and embedded fonts
};
static_assert(std::is_trivially_copyable_v<SvgDocument>);

// A zeroed document with its SVG version preset to 1.1; kErrNoMemory.
[[nodiscard]] Status CreateSvgDocument(SvgDocument** out);
// Frees the document and everything hanging from it; null is ignored.
void FreeSvgDocument(SvgDocument* document);
// Reads the open file from its current position to the end, parses it and
// builds the record table: kOk, kErrRead, kErrNoMemory, kErrNotSvg,
// kErrNoRoot, kErrRootNotSvg, or an element parser's code.
[[nodiscard]] Status LoadSvgFile(int32_t file, SvgDocument& document);

}  // namespace svgflt
