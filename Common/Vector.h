// The conversion driver: walks the element-record table of an SvgDocument in
// document order and turns it into objects of a VectorDocument through the
// vector kernel, with kernel groups for `g`, links for `a`, clips, the root
// viewport and the expansion of `use`.
#pragma once

#include <cstdint>
#include <type_traits>

#include "Common/SvgDocument.h"
#include "Common/SvgTypes.h"
#include "VectorKernel/VectorKernel.h"
#include "svgfilter/FilterStatus.h"
#include "svgfilter/HostRecords.h"

namespace svgflt {

// Direction of a length for the conversion to pixels.
enum class LengthAxis : int32_t { kHorizontal, kVertical, kOther };

// Nested `use` references: content of a `use` may hold further `use`
// elements up to this depth; deeper ones draw nothing.
inline constexpr int32_t kMaxUseDepth = 8;
// Objects that `use` expansions may add to one document; once spent, further
// `use` content draws nothing. Together with the depth this bounds the work
// of exponentially nested references.
inline constexpr int32_t kUseObjectBudget = 100000;
// Work that `use` expansions may do in one document, counted per element
// they visit (drawn or not) by its nesting inside the expansions, which is
// the length of the chain its inherited values are resolved along. Once
// spent, further `use` content draws nothing. This bounds references to
// empty or deeply nested content, which add no objects.
inline constexpr int64_t kUseWorkBudget = 4000000;
// Elements nested inside `use` expansions, counted through all of them:
// content deeper than this draws nothing. Expansion recurses once per
// level, so this keeps its stack as deep as the XML reader's nesting bound.
inline constexpr int32_t kMaxUseNesting = 1024;

// Kernel object list entry: the element and the kernel object made for it.
struct ElementObject {
  int32_t elementIndex;
  VectorObjectRef object;
};
static_assert(sizeof(ElementObject) == 8);

// Clips of open scopes (inner `svg` viewports, groups and `use` elements
// with a clip-path) that apply to all their content; deeper ones leave
// their content unclipped.
inline constexpr int32_t kMaxScopeClips = 16;

// A box in user units, y down.
struct BoundingBox {
  double x, y, width, height;
};

// The clip of an open scope. `node` is the stack node that lives as long
// as the scope, or null for a scope of a `use` expansion, which removes its
// entry itself. A viewport clips to its rectangle `corners` (placed, y up);
// a group or `use` clips by the clipPath `clipPath` in its user space
// `matrix`, `owner` being the element that references it.
struct ScopeClip {
  const TransformNode* node;
  int32_t clipPath;  // -1 for a viewport rectangle
  int32_t owner;
  SvgMatrix matrix;
  KernelPoint corners[5];
  // The owner's box for objectBoundingBox clips, measured once for all the
  // scope's content: 0 not yet, 1 `box` holds it, 2 the owner has none.
  int32_t boxState = 0;
  BoundingBox box{};
};

// The percentage reference of the viewport around an inner `svg`, put back
// when the inner one's stack node is popped.
struct OuterReference {
  const TransformNode* node;
  int32_t width;
  int32_t height;
};

// One suspended link of an outer `a` while a nested `a` is in force.
struct SuspendedLink {
  int32_t count;  // elements of the outer link still to come
  char* href;     // kernel block, UTF-8, or null
  SvgMatrix matrix;      // matrix to put back when the link ends
  TransformNode* node;   // the node that matrix belongs to, null for the context's
};

// The state of one conversion. Plain: zero-filled by InitConversionContext
// and released by FreeConversionContext.
struct ConversionContext {
  VectorDocument* document;
  InfoRequest* info;  // the request of the call; one of the two is set
  LoadRequest* load;
  VectorLayerRef layer;  // the layer "0" once the root is converted

  // Drawing attributes, filled by DrawingAttributes for every element and
  // copied into every object record.
  VectorPen pen;
  VectorBrush brush;
  uint32_t fillColour;    // 0x00BBGGRR
  uint32_t strokeColour;  // 0x00BBGGRR
  // The pen width before truncation into `pen.width` (half the stroke
  // width, in pixels); the common emitter scales it with the matrix.
  double penWidth;
  float opacity;             // the element's `opacity`
  int32_t fillRule;          // kFillWinding (nonzero) or kFillAlternate (evenodd)
  int32_t paintEnabled;      // 0: display none or visibility hidden
  int32_t paintEnabled2;     // second paint-enabled flag; 0 hides the object too
  int32_t linearGradient;    // 1 when the fill is a linear gradient
  int32_t radialGradient;    // 1 when the fill is a radial gradient
  uint32_t gradientColours[2];
  SvgLength gradientGeometry[9];  // x1 y1 x2 y2, or cx cy r fx fy, as the gradient gave them
  int32_t fontSize;               // pixels, for the ex unit
  int32_t clipIndex;              // object of the clip path, or -1
  void* paintCache;               // kernel block of the paint resolution, or null
  void* clipOutlines;             // kernel block of the clip outlines made last, or null

  VectorGroupDesc groupDesc;  // "My Group"
  VectorGroupRef currentGroup;
  int32_t hasGroup;  // 1 while objects go into currentGroup

  // Viewport (pixels) and the reference size of percentages: the innermost
  // viewport's viewBox, or its size without one.
  int32_t viewportX;
  int32_t viewportY;
  int32_t viewportWidth;
  int32_t viewportHeight;
  int32_t referenceWidth;
  int32_t referenceHeight;
  double originY;      // placed y = originY - y
  int32_t dpiX;        // logical resolution of the screen
  int32_t dpiY;
  SvgMatrix matrix;    // matrix in force outside every group
  TransformNode* stack;  // transform stack of the open groups; top first, null when empty
  TransformNode* rootNode;  // bottom node holding the root's viewBox mapping, or null

  // Link state of the innermost `a`.
  int32_t linkDepth;  // links in force, the suspended ones included
  int32_t linkCount;  // elements of the innermost link still to come
  char* linkHref;     // kernel block, UTF-8, or null
  SvgMatrix linkMatrix;     // matrix to put back when the link ends
  TransformNode* linkNode;  // the node that matrix belongs to, null for the context's
  SuspendedLink* suspended;  // kernel block: last in, first out
  int32_t suspendedCount;
  int32_t suspendedCapacity;

  VectorObjectRef lastObject;  // object most recently added, 0 for none
  int32_t clipOpened;          // clips set for the current element, each ended after it
  int32_t clipContent;         // 1 while the element is a child of a clipPath
  int32_t measuring;           // 1 while text is drawn into a scratch document to measure it

  // `use` expansion.
  int32_t useDepth;        // nesting of the expansions in progress
  int32_t useObjects;      // objects added by expansions so far
  int32_t useNesting;      // content elements open in the expansions in progress
  int64_t useWork;         // spent of kUseWorkBudget
  int32_t hasContentMatrix;
  SvgMatrix contentMatrix;  // placement of the content being expanded

  VectorObjectList objects;  // ElementObject entries

  ScopeClip scopeClips[kMaxScopeClips];  // innermost last
  int32_t scopeClipCount;
  OuterReference outerReferences[kMaxScopeClips];  // innermost last
  int32_t outerReferenceCount;
};
static_assert(std::is_trivially_copyable_v<ConversionContext>);

// Set-up: identity matrix, white fill and black stroke defaults, "My Group",
// the screen resolution and an empty kernel object list. kOk or the
// kernel's code.
[[nodiscard]] Status InitConversionContext(ConversionContext& context, VectorDocument* document);
// Frees the link texts, the suspended links, the paint cache and the object list.
void FreeConversionContext(ConversionContext& context);

// A length in pixels: units by the screen resolution, percentages of the
// reference size (integer division for the two axes). Font-relative units
// use the context's font size.
[[nodiscard]] double LengthToPixels(const ConversionContext& context, const SvgLength& length,
                                    LengthAxis axis);

// Paint resolution: fills the context's pen, brush, colours, flags and font
// size for the element. Defined with the paint resolution.
[[nodiscard]] Status DrawingAttributes(ConversionContext& context, SvgDocument& document,
                                       int32_t elementIndex);

// Adds a filled-in object record to the current group, or to the active
// layer when there is none or the element is clip content; remembers the
// reference in lastObject and pairs it with the element in the object list.
// kOk or the kernel's code.
[[nodiscard]] Status AddElementObject(ConversionContext& context, int32_t elementIndex,
                                      int32_t type, const void* record);

// True for the identity matrix.
[[nodiscard]] bool IsIdentityMatrix(const SvgMatrix& m);

// The matrix in force for an element: a `use` expansion's placement, else
// the open groups' top node, else the root's.
[[nodiscard]] SvgMatrix InheritedMatrix(const ConversionContext& context);

// How an element's own transform reaches its object. False when nothing is
// inherited and `list` holds only translations, uniform scalings and
// rotations: the object is added as written and ApplyElementTransform moves
// it through the kernel. Otherwise true, with *matrix the inherited matrix
// with the whole list folded in (the element's steps act first, then the
// groups'), which the emitter bakes into the points; no kernel steps follow.
[[nodiscard]] bool BakedMatrix(const ConversionContext& context, const TransformList& list,
                               SvgMatrix* matrix);

// Applies the translations, scalings and rotations of `list` to the object
// through the kernel; other kinds are left out (BakedMatrix sends lists
// holding them to the emitter). kOk or the first failing kernel code.
[[nodiscard]] Status ApplyElementTransform(ConversionContext& context, const TransformList& list,
                                           VectorObjectRef object);

// Sets the clip of the element about to be drawn from its clip-path
// reference, when it names a clipPath whose children made objects. kOk,
// kErrNoMemory or the kernel's code.
[[nodiscard]] Status OpenClip(ConversionContext& context, SvgDocument& document,
                              int32_t elementIndex);

// Attaches `href` (UTF-8) to the object as its link, cut to 259 UTF-16 units.
[[nodiscard]] Status AttachLink(ConversionContext& context, VectorObjectRef object,
                                const char* href);

// Converts the document's records into `target`: kOk, or the first failing
// step's code. Objects already added stay in the document on failure.
[[nodiscard]] Status ConvertDocument(VectorDocument* target, SvgDocument& document,
                                     InfoRequest* info, LoadRequest* load);

}  // namespace svgflt
