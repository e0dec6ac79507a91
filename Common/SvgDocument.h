// The per-load SVG document: the element-record table built from the XML
// tree, with its id table, style rules and classes. Owned by the load driver
// for one call.
#pragma once

#include <cstdint>
#include <type_traits>

#include "Common/FontElements.h"
#include "Common/PaintServers.h"
#include "Common/Properties.h"
#include "Common/StyleSheet.h"
#include "Common/SvgTypes.h"
#include "Common/TextUtil.h"
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

// --- element data -----------------------------------------------------------

// Set-once bits of ElementCommon::given.
inline constexpr uint32_t kGivenId = 1u << 0;
inline constexpr uint32_t kGivenXmlBase = 1u << 1;
inline constexpr uint32_t kGivenXmlLang = 1u << 2;
inline constexpr uint32_t kGivenXmlSpace = 1u << 3;
inline constexpr uint32_t kGivenRequiredFeatures = 1u << 4;
inline constexpr uint32_t kGivenRequiredExtensions = 1u << 5;
inline constexpr uint32_t kGivenSystemLanguage = 1u << 6;
inline constexpr uint32_t kGivenExternalResources = 1u << 7;
inline constexpr uint32_t kGivenClass = 1u << 8;
inline constexpr uint32_t kGivenTransform = 1u << 9;

// The groups every element kind of this table starts with: core,
// conditional, externalResourcesRequired, transform, presentation
// properties and the set-once masks. Strings are kernel blocks or null.
struct ElementCommon {
  // Core attributes.
  char* id;          // the identifier as written (trimmed), or null
  char* xmlBase;     // xml:base, or null
  char* xmlLang;     // xml:lang, or null
  int32_t xmlSpace;  // kXmlSpaceKeywords index: 0 default, 1 preserve

  // Conditional attributes.
  uint32_t requiredFeatures;       // kFeatureNames bits
  char* systemLanguage;            // the language tags separated by single blanks, or null
  int32_t requiredExtensionsSeen;  // 1 when requiredExtensions was given (not stored)

  int32_t externalResourcesRequired;  // kBooleanKeywords index: 0 false, 1 true
  TransformList transform;            // empty unless the element takes `transform`

  PresentationProperties props;  // inherited, then attributes, class rules, style
  PropertyMasks propertyMasks;   // set-once masks of the presentation attributes
  int32_t classSeen;             // 1 once the element's class names were registered

  uint32_t given;        // kGiven* bits of the attributes above
  uint32_t eventsGiven;  // bit n: n-th event attribute; document events follow the events
  uint32_t ownGiven;     // bit n: n-th own attribute of the element kind (ElementParsers.cpp)
};

// svg. Lengths start at 0 user units (x, y) and 100% (width, height).
struct SvgElementData {
  ElementCommon common;
  SvgLength x;
  SvgLength y;
  SvgLength width;   // see widthGiven
  SvgLength height;  // see heightGiven
  // 0 when the attribute was missing: the root then takes the size of its
  // viewBox (see ParseSvgElement), an inner svg stays at 100%.
  int32_t widthGiven;
  int32_t heightGiven;
  SvgViewBox viewBox;
  int32_t hasViewBox;                  // 1 when viewBox was given and valid
  SvgAspectRatio preserveAspectRatio;  // xMidYMid meet unless given
  int32_t zoomAndPan;                  // kZoomAndPanKeywords index; 1 magnify unless given
  SvgNumberPercent version;            // 1.1 unless given
  char* contentScriptType;             // or null
  char* contentStyleType;              // or null
};

// g.
struct GroupData {
  ElementCommon common;
  int32_t savedRenderFlag;  // the render flag the tree builder replaced by 1
  char* keyfield;           // or null
  char* name;               // or null
};

// defs, switch, desc, title, div, p, span, region, br, solidColor: the
// common groups only.
struct ContainerData {
  ElementCommon common;
};

// symbol.
struct SymbolData {
  ElementCommon common;
  SvgViewBox viewBox;
  int32_t hasViewBox;
  SvgAspectRatio preserveAspectRatio;  // xMidYMid meet unless given
};

// use. x, y 0; width and height 0 mean "not given" (the referenced
// element's own size applies).
struct UseData {
  ElementCommon common;
  SvgLength x;
  SvgLength y;
  SvgLength width;
  SvgLength height;
  char* href;  // the referenced id without '#', or null
};

// image.
struct ImageData {
  ElementCommon common;
  SvgLength x;
  SvgLength y;
  SvgLength width;
  SvgLength height;
  SvgAspectRatio preserveAspectRatio;  // xMidYMid meet unless given
  ImageSource source;                  // decoded data: URI bytes, or the reference
  char* adobeOpacityShare;             // "a:adobe-opacity-share" as written, or null
};

// style.
struct StyleData {
  ElementCommon common;  // presentation block only; the attributes live in `sheet`
  StyleElementData sheet;
};

// path.
struct PathData {
  ElementCommon common;
  PathSegmentList d;             // the segments up to the first fault of the data
  SvgNumberPercent pathLength;   // 0 unless given
};

// rect. Every length starts at 0 px.
struct RectData {
  ElementCommon common;
  SvgLength x;
  SvgLength y;
  SvgLength width;
  SvgLength height;
  SvgLength rx;  // after parsing: copied from ry when missing, at most half the width
  SvgLength ry;  // after parsing: copied from rx when missing, at most half the height
};

// circle. Centre and radius start at 0 px.
struct CircleData {
  ElementCommon common;
  SvgLength cx;
  SvgLength cy;
  SvgLength r;
};

// ellipse. Centre and radii start at 0 px.
struct EllipseData {
  ElementCommon common;
  SvgLength cx;
  SvgLength cy;
  SvgLength rx;
  SvgLength ry;
};

// line. Both ends start at (0, 0) px.
struct LineData {
  ElementCommon common;
  SvgLength x1;
  SvgLength y1;
  SvgLength x2;
  SvgLength y2;
};

// polyline and polygon.
struct PolyData {
  ElementCommon common;
  PointList points;
};

// marker. refX, refY 0; markerWidth, markerHeight 3; orient 0 degrees.
struct MarkerData {
  ElementCommon common;
  SvgViewBox viewBox;
  int32_t hasViewBox;
  SvgAspectRatio preserveAspectRatio;  // xMidYMid meet unless given
  SvgLength refX;
  SvgLength refY;
  int32_t markerUnits;  // kMarkerUnitsKeywords index; 0 strokeWidth unless given
  SvgLength markerWidth;
  SvgLength markerHeight;
  SvgAngle orient;
  int32_t orientAuto;  // 1 for "auto"
};

// color-profile.
struct ColorProfileData {
  ElementCommon common;
  char* local;              // or null
  char* name;               // required
  int32_t renderingIntent;  // kRenderingIntentKeywords index; 0 auto unless given
  char* href;               // xlink:href as written, or null
};

// clipPath.
struct ClipPathData {
  ElementCommon common;
  int32_t clipPathUnits;  // kUnitsKeywords index; 0 userSpaceOnUse unless given
};

// a.
struct AnchorData {
  ElementCommon common;
  char* href;      // xlink:href as written, or null
  char* keyfield;  // or null
  char* name;      // or null
};

// The data of the text, font and paint-server kinds: the common groups,
// then the kind's own record (TextUtil.h, FontElements.h, PaintServers.h).
template <typename Own>
struct ElementKindData {
  ElementCommon common;
  Own own;
};

// Element-specific data. The element's attribute parser clears it and fills
// the member of its kind. Every member starts with ElementCommon, so
// CommonOf reaches the shared groups of any kind that has them (see
// HasElementCommon).
union ElementData {
  SvgElementData svg;
  GroupData group;
  ContainerData container;
  SymbolData symbol;
  UseData use;
  ImageData image;
  StyleData style;
  PathData path;
  RectData rect;
  CircleData circle;
  EllipseData ellipse;
  LineData line;
  PolyData poly;
  MarkerData marker;
  ColorProfileData colorProfile;
  ClipPathData clipPath;
  AnchorData anchor;
  ElementKindData<TextRecord> text;
  ElementKindData<TspanRecord> tspan;
  ElementKindData<TrefRecord> tref;
  ElementKindData<TextPathRecord> textPath;
  ElementKindData<AltGlyphRecord> altGlyph;
  ElementKindData<GlyphRefRecord> glyphRef;
  ElementKindData<FontRecord> font;
  ElementKindData<GlyphRecord> glyph;
  ElementKindData<MissingGlyphRecord> missingGlyph;
  ElementKindData<KernRecord> kern;
  ElementKindData<FontFaceRecord> fontFace;
  ElementKindData<FontFaceUriRecord> fontFaceUri;
  ElementKindData<FontFaceTextRecord> fontFaceText;
  ElementKindData<LinearGradientRecord> linearGradient;
  ElementKindData<RadialGradientRecord> radialGradient;
  ElementKindData<StopRecord> stop;
  ElementKindData<PatternRecord> pattern;
};
static_assert(std::is_trivially_copyable_v<ElementData>);

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

// The shared groups at the start of the record's element data; meaningful
// only when HasElementCommon(record.elementType).
[[nodiscard]] inline ElementCommon& CommonOf(ElementRecord& record) {
  return record.data.container.common;
}
[[nodiscard]] inline const ElementCommon& CommonOf(const ElementRecord& record) {
  return record.data.container.common;
}
// True for the element kinds whose data starts with ElementCommon.
[[nodiscard]] bool HasElementCommon(int32_t elementType);
// Frees everything the record's element data owns (strings, lists,
// transform steps, path segments, points, property strings, image data) and
// clears it; the tree fields are left alone.
void FreeElementData(ElementRecord& record);

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
