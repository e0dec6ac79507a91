// The conversion driver.
#include "Common/Vector.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "Common/KernelMemory.h"
#include "Common/PaintServers.h"
#include "Common/SVGParsUtil.h"
#include "Common/Stack.h"
#include "Common/VectorImage.h"
#include "Common/VectorShapes.h"
#include "Common/VectorText.h"
#include "Platform/Platform.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/Vector";
constexpr uint32_t kObjectListTag = 0xAA55AA55u;
constexpr int32_t kObjectListGrowth = 1000;
constexpr char16_t kGroupName[] = u"My Group";
constexpr char16_t kLayerName[] = u"0";
constexpr int32_t kDefaultDpi = 96;
// Raster size that percentages of the root's own size refer to when the
// host asks for none.
constexpr int32_t kDefaultWidth = 640;
constexpr int32_t kDefaultHeight = 480;
// Count of the bottom node that carries the root's mapping: it stays until
// the end of the conversion.
constexpr int32_t kRootNodeCount = 1 << 30;
constexpr uint32_t kGroupObjectFlag = 0x100;
constexpr int32_t kClipModeAfterElement = 5;
constexpr int32_t kEvenOddRule = 1;
static_assert(kFillRuleKeywords[kEvenOddRule] == "evenodd");

template <std::size_t N>
void CopyName(char16_t (&field)[N], const char16_t* name) {
  std::size_t i = 0;
  for (; i + 1 < N && name[i] != 0; ++i) field[i] = name[i];
  for (; i < N; ++i) field[i] = 0;
}

int32_t TypeOf(const SvgDocument& document, int32_t index) {
  return index >= 0 && index < document.recordCount ? document.records[index].elementType : -1;
}

int32_t ParentOf(const SvgDocument& document, int32_t index) {
  return index >= 0 && index < document.recordCount ? document.records[index].parent : -1;
}

// True when `ancestor` lies on the parent chain of `index` (the chain is
// bounded, so a broken table cannot loop).
bool HasAncestor(const SvgDocument& document, int32_t index, int32_t ancestor) {
  int32_t steps = document.recordCount + kMaxUseDepth + 1;
  for (int32_t p = ParentOf(document, index); p >= 0 && steps-- > 0; p = ParentOf(document, p)) {
    if (p == ancestor) return true;
  }
  return false;
}

// Elements inside defs are only referenced; a symbol's content is drawn
// only through a `use`, so its whole subtree is left out.
bool Skipped(const SvgDocument& document, int32_t index) {
  int32_t steps = document.recordCount;
  for (int32_t p = ParentOf(document, index); p >= 0 && steps-- > 0; p = ParentOf(document, p)) {
    const int32_t type = TypeOf(document, p);
    if (type == kElemDefs || type == kElemSymbol) return true;
  }
  return false;
}

// The walked elements of the subtree below `index`: the records that
// follow it while they descend from it, skipped ones left out.
int32_t CoveredElements(const SvgDocument& document, int32_t index) {
  int32_t covered = 0;
  for (int32_t j = index + 1; j < document.recordCount && HasAncestor(document, j, index); ++j) {
    if (!Skipped(document, j)) ++covered;
  }
  return covered;
}

void UpdateCurrentGroup(ConversionContext& context) {
  const TransformNode* top = context.stack;
  context.hasGroup = top != nullptr && top->groupId != 0 ? 1 : 0;
  context.currentGroup = context.hasGroup != 0 ? VectorGroupRef{top->groupId, top->groupLayer}
                                               : VectorGroupRef{0, 0};
}

bool OnStack(const ConversionContext& context, const TransformNode* node) {
  for (const TransformNode* n = context.stack; n != nullptr; n = n->below) {
    if (n == node) return true;
  }
  return false;
}

SvgMatrix Translation(double tx, double ty) { return SvgMatrix{1, 0, 0, 1, tx, ty}; }
SvgMatrix Scaling(double sx, double sy) { return SvgMatrix{sx, 0, 0, sy, 0, 0}; }

// The mapping of a viewBox onto a viewport of width x height at the origin,
// by the preserveAspectRatio rules (meet or slice, with the alignment).
SvgMatrix ViewBoxMapping(const SvgViewBox& box, const SvgAspectRatio& ratio, double width,
                         double height) {
  double sx = width / box.width;
  double sy = height / box.height;
  double tx = 0;
  double ty = 0;
  if (ratio.align != kAlignNone) {
    const double s = ratio.meetOrSlice == kSlice ? std::max(sx, sy) : std::min(sx, sy);
    sx = sy = s;
    const int32_t column = (ratio.align - kAlignXMinYMin) % 3;  // 0 min, 1 mid, 2 max
    const int32_t row = (ratio.align - kAlignXMinYMin) / 3;
    tx = (width - box.width * s) * column / 2.0;
    ty = (height - box.height * s) * row / 2.0;
  }
  SvgMatrix m = Translation(tx, ty);
  m = MultiplyMatrix(m, Scaling(sx, sy));
  return MultiplyMatrix(m, Translation(-box.x, -box.y));
}

// A bottom node that holds `matrix` for everything drawn outside groups.
Status PushRootNode(ConversionContext& context, const SvgMatrix& matrix) {
  if (context.rootNode != nullptr) {
    context.rootNode->matrix = matrix;
    return kOk;
  }
  if (context.stack != nullptr) return kOk;
  const Status status = PushTransform(&context.stack, nullptr, kRootNodeCount);
  if (status != kOk) return status;
  context.stack->matrix = matrix;
  context.rootNode = context.stack;
  return kOk;
}

char* CopyText(const char* text) {
  const std::size_t length = std::strlen(text);
  char* copy = SVGFLT_ALLOC(char, length + 1);
  if (copy != nullptr) std::memcpy(copy, text, length);
  return copy;
}

// --- viewport ---------------------------------------------------------------

int32_t RequestedSize(const ConversionContext& context, bool vertical) {
  int32_t size = 0;
  if (context.info != nullptr) size = vertical ? context.info->height : context.info->width;
  if (context.load != nullptr) size = vertical ? context.load->height : context.load->width;
  if (size < 1) size = vertical ? kDefaultHeight : kDefaultWidth;
  return size;
}

int32_t TruncatedInt(double value) {
  if (!(value > -2147483648.0 && value < 2147483647.0)) return 0;
  return static_cast<int32_t>(value);
}

// Percentages of the content of a viewport refer to its viewBox, or
// without one to its size.
void SetReference(ConversionContext& context, const SvgElementData& svg, double width,
                  double height) {
  const bool box = svg.hasViewBox != 0 && svg.viewBox.width > 0 && svg.viewBox.height > 0;
  context.referenceWidth = TruncatedInt(box ? svg.viewBox.width : width);
  context.referenceHeight = TruncatedInt(box ? svg.viewBox.height : height);
}

Status SetUpViewport(ConversionContext& context, SvgDocument& document, int32_t index) {
  const SvgElementData& svg = document.records[index].data.svg;
  context.originY = 0.0;
  // A root sized in percent takes them of the raster the host asks for.
  context.referenceWidth = RequestedSize(context, false);
  context.referenceHeight = RequestedSize(context, true);
  const double x = LengthToPixels(context, svg.x, LengthAxis::kHorizontal);
  const double y = LengthToPixels(context, svg.y, LengthAxis::kVertical);
  const double width = LengthToPixels(context, svg.width, LengthAxis::kHorizontal);
  const double height = LengthToPixels(context, svg.height, LengthAxis::kVertical);
  context.viewportX = TruncatedInt(x);
  context.viewportY = TruncatedInt(y);
  context.viewportWidth = TruncatedInt(width);
  context.viewportHeight = TruncatedInt(height);
  SetReference(context, svg, width, height);

  VectorLayerDesc layer{};
  layer.size = static_cast<int32_t>(sizeof(VectorLayerDesc));
  CopyName(layer.name, kLayerName);
  layer.visible = 1;
  Status status = VectorAddLayer(context.document, &layer, &context.layer, 4);
  if (status == kOk) status = VectorSetActiveLayer(context.document, context.layer);
  if (status != kOk) return status;

  if (CommonOf(document.records[index]).xmlSpace == 1) document.preserveAll = 1;

  // The content is drawn in viewBox units mapped onto the viewport; with a
  // viewBox of the viewport's own size the mapping is the identity and the
  // shapes go in untouched.
  if (svg.hasViewBox != 0 && svg.viewBox.width > 0 && svg.viewBox.height > 0 && width > 0 &&
      height > 0) {
    const SvgMatrix m = ViewBoxMapping(svg.viewBox, svg.preserveAspectRatio, width, height);
    if (!IsIdentityMatrix(m)) {
      context.matrix = m;
      status = PushRootNode(context, m);
    }
  }
  return status;
}

// --- groups -----------------------------------------------------------------

// Pops the top node with the scope clips that live as long as it.
void PopNode(ConversionContext& context) {
  while (context.scopeClipCount > 0 &&
         context.scopeClips[context.scopeClipCount - 1].node == context.stack) {
    --context.scopeClipCount;
  }
  if (context.outerReferenceCount > 0 &&
      context.outerReferences[context.outerReferenceCount - 1].node == context.stack) {
    const OuterReference& outer = context.outerReferences[--context.outerReferenceCount];
    context.referenceWidth = outer.width;
    context.referenceHeight = outer.height;
  }
  PopTransform(&context.stack);
  UpdateCurrentGroup(context);
}

// The clipPath an element's clip-path names, or -1. The tree builder hands
// a clip-path down to the children as if it were inherited; the clip of a
// group, a `use` or a clipPath is set for its whole content in its own user
// space, so the children's copies of it are left out.
int32_t ClipPathOf(const SvgDocument& document, int32_t index) {
  const ClipPathReference& reference = CommonOf(document.records[index]).props.clipPath;
  if (reference.kind != kReferenceUrl || reference.id == nullptr) return -1;
  const int32_t parent = ParentOf(document, index);
  const int32_t parentType = TypeOf(document, parent);
  if (parentType == kElemG || parentType == kElemUse || parentType == kElemClipPath) {
    const ClipPathReference& above = CommonOf(document.records[parent]).props.clipPath;
    if (above.kind == kReferenceUrl && above.id != nullptr &&
        std::strcmp(above.id, reference.id) == 0) {
      return -1;
    }
  }
  const int32_t clip = FindId(document, reference.id);
  return TypeOf(document, clip) == kElemClipPath ? clip : -1;
}

// Records the clip-path of the scope element `owner` (a group or a `use`)
// for all its content, its user space being `matrix`. True when recorded.
bool PushScopeClip(ConversionContext& context, const SvgDocument& document,
                   const TransformNode* node, int32_t owner, const SvgMatrix& matrix) {
  const int32_t clip = ClipPathOf(document, owner);
  if (clip < 0 || context.scopeClipCount >= kMaxScopeClips) return false;
  context.scopeClips[context.scopeClipCount++] = ScopeClip{node, clip, owner, matrix, {}};
  return true;
}

// Gives a freshly pushed node the kernel group of the node below it when
// `share` is set, else a new kernel group.
Status AttachKernelGroup(ConversionContext& context, TransformNode* node, bool share) {
  if (share) {
    node->groupId = node->below->groupId;
    node->groupLayer = node->below->groupLayer;
    return kOk;
  }
  VectorGroupRef group{};
  const Status status = VectorAddGroup(context.document, &context.groupDesc, &group, 4);
  if (status != kOk) return status;
  node->groupId = group.group;
  node->groupLayer = group.layer;
  return kOk;
}

Status OpenGroup(ConversionContext& context, SvgDocument& document, int32_t index) {
  ElementRecord& record = document.records[index];
  Status status =
      PushTransform(&context.stack, &CommonOf(record).transform, record.builtChildCount);
  if (status != kOk) return status;
  TransformNode* node = context.stack;
  // Directly nested groups share the outermost one's kernel group.
  const bool share = TypeOf(document, record.parent) == kElemG && node->below != nullptr;
  status = AttachKernelGroup(context, node, share);
  if (status != kOk) return status;
  if (!share) node->needsGroupObject = record.data.group.savedRenderFlag == 1 ? 1 : 0;
  UpdateCurrentGroup(context);
  (void)PushScopeClip(context, document, node, index, node->matrix);
  return kOk;
}

// An inner `svg` opens a group like `g` whose matrix places its viewport
// (x, y, width, height) and maps its viewBox onto it. Its content is
// clipped to the viewport (OpenScopeClips).
Status OpenViewport(ConversionContext& context, SvgDocument& document, int32_t index) {
  ElementRecord& record = document.records[index];
  const SvgElementData& svg = record.data.svg;
  const double x = LengthToPixels(context, svg.x, LengthAxis::kHorizontal);
  const double y = LengthToPixels(context, svg.y, LengthAxis::kVertical);
  const double width = LengthToPixels(context, svg.width, LengthAxis::kHorizontal);
  const double height = LengthToPixels(context, svg.height, LengthAxis::kVertical);
  const SvgMatrix outer = InheritedMatrix(context);
  SvgMatrix m = MultiplyMatrix(outer, Translation(x, y));
  if (svg.hasViewBox != 0 && svg.viewBox.width > 0 && svg.viewBox.height > 0 && width > 0 &&
      height > 0) {
    m = MultiplyMatrix(m, ViewBoxMapping(svg.viewBox, svg.preserveAspectRatio, width, height));
  }
  Status status = PushTransform(&context.stack, nullptr, record.builtChildCount);
  if (status != kOk) return status;
  TransformNode* node = context.stack;
  node->matrix = m;
  if (context.outerReferenceCount < kMaxScopeClips) {
    context.outerReferences[context.outerReferenceCount++] =
        OuterReference{node, context.referenceWidth, context.referenceHeight};
    SetReference(context, svg, width, height);
  }
  if (context.scopeClipCount < kMaxScopeClips) {
    ScopeClip& clip = context.scopeClips[context.scopeClipCount++];
    clip = ScopeClip{node, -1, index, outer, {}};
    const double xs[5] = {x, x + width, x + width, x, x};
    const double ys[5] = {y, y, y + height, y + height, y};
    for (int32_t i = 0; i < 5; ++i) {
      clip.corners[i] = KernelPoint{outer.a * xs[i] + outer.c * ys[i] + outer.e,
                                    context.originY - (outer.b * xs[i] + outer.d * ys[i] + outer.f),
                                    0.0, 0};
    }
  }
  status = AttachKernelGroup(context, node, node->below != nullptr && node->below->groupId != 0);
  if (status != kOk) return status;
  UpdateCurrentGroup(context);
  return kOk;
}

Status CloseGroups(ConversionContext& context) {
  while (context.stack != nullptr && context.stack != context.rootNode &&
         context.stack->count <= 0) {
    const TransformNode* node = context.stack;
    const bool bottom = node->below == nullptr || node->below == context.rootNode;
    if (bottom && node->needsGroupObject != 0 && node->groupId != 0) {
      VectorGroupObject object;
      Status status = VectorInitObject(&object, kVoGroupObject);
      if (status != kOk) return status;
      object.group = node->groupId;
      object.layer = node->groupLayer;
      object.groupFlags |= kGroupObjectFlag;
      object.scale[0] = object.scale[1] = object.scale[2] = 1.0;
      VectorObjectRef ref = 0;
      status = VectorAddObject(context.document, 0, kVoGroupObject, &object, &ref);
      if (status != kOk) return status;
    }
    PopNode(context);
  }
  return kOk;
}

// --- links ------------------------------------------------------------------

Status BeginLink(ConversionContext& context, SvgDocument& document, int32_t index) {
  const ElementRecord& record = document.records[index];
  const int32_t covered = CoveredElements(document, index);
  if (context.linkDepth > 0) {
    if (context.suspendedCount == context.suspendedCapacity) {
      const int32_t capacity = context.suspendedCapacity + 8;
      SuspendedLink* grown =
          SVGFLT_GROW(SuspendedLink, context.suspended,
                      static_cast<std::size_t>(context.suspendedCapacity),
                      static_cast<std::size_t>(capacity));
      if (grown == nullptr) return kErrNoMemory;
      context.suspended = grown;
      context.suspendedCapacity = capacity;
    }
    // The outer link resumes after this one's subtree, which it covers too.
    context.suspended[context.suspendedCount++] =
        SuspendedLink{context.linkCount - covered, context.linkHref, context.linkMatrix,
                      context.linkNode};
    context.linkHref = nullptr;
  }
  ++context.linkDepth;
  context.linkCount = covered;
  const char* href = record.data.anchor.href;
  if (href != nullptr) {
    context.linkHref = CopyText(href);
    if (context.linkHref == nullptr) return kErrNoMemory;
  }
  const TransformList& transform = CommonOf(record).transform;
  if (transform.first != nullptr && context.stack == nullptr) {
    const Status status = PushRootNode(context, context.matrix);
    if (status != kOk) return status;
  }
  context.linkNode = context.stack;
  SvgMatrix& matrix = context.stack != nullptr ? context.stack->matrix : context.matrix;
  context.linkMatrix = matrix;
  matrix = FoldTransformList(matrix, transform);
  // The link's children count among the open group's remaining children.
  if (context.stack != nullptr && context.stack != context.rootNode) {
    context.stack->count += record.builtChildCount;
  }
  return kOk;
}

void EndLinks(ConversionContext& context) {
  while (context.linkDepth > 0 && context.linkCount <= 0) {
    KernelRelease(context.linkHref);
    context.linkHref = nullptr;
    if (context.linkNode == nullptr) {
      context.matrix = context.linkMatrix;
    } else if (OnStack(context, context.linkNode)) {
      context.linkNode->matrix = context.linkMatrix;
    }
    --context.linkDepth;
    if (context.suspendedCount > 0) {
      const SuspendedLink& outer = context.suspended[--context.suspendedCount];
      context.linkCount = outer.count;
      context.linkHref = outer.href;
      context.linkMatrix = outer.matrix;
      context.linkNode = outer.node;
    } else {
      context.linkCount = 0;
    }
  }
}

// --- clips ------------------------------------------------------------------

bool IsShape(int32_t type) { return type >= kElemPath && type <= kElemPolygon; }

// Twice the signed area of the figures from `first` on, by their points.
double SignedArea(const PointPathBuffer& outline, int32_t first) {
  double area = 0;
  int32_t start = first;
  for (int32_t i = first; i < outline.count; ++i) {
    const bool last = i + 1 == outline.count || (outline.kinds[i + 1] & ~kPtCloseFigure) == kPtMoveTo;
    const KernelPoint& p = outline.points[i];
    const KernelPoint& q = outline.points[last ? start : i + 1];
    area += p.x * q.y - q.x * p.y;
    if (last) start = i + 1;
  }
  return area;
}

// Reverses the figures from `first` on, keeping each figure's move first
// and its close mark last.
void ReverseFigures(PointPathBuffer& outline, int32_t first) {
  int32_t start = first;
  while (start < outline.count) {
    int32_t end = start + 1;
    while (end < outline.count && (outline.kinds[end] & ~kPtCloseFigure) != kPtMoveTo) ++end;
    const bool closed = (outline.kinds[end - 1] & kPtCloseFigure) != 0;
    // The segment kinds belong to the point they end at: reversing the
    // points shifts them by one, the move staying first.
    std::reverse(outline.points + start, outline.points + end);
    std::reverse(outline.kinds + start + 1, outline.kinds + end);
    for (int32_t i = start + 1; i < end; ++i) outline.kinds[i] &= ~kPtCloseFigure;
    if (closed) outline.kinds[end - 1] |= kPtCloseFigure;
    start = end;
  }
}

// --- even-odd outlines -----------------------------------------------------

// A flattened outline of more edges than this, or whose edges cross into
// more pieces than kMaxEvenOddPieces, keeps its points as they are (filled
// by the nonzero rule): finding the crossings costs the square of the
// edges, sorting out the pieces the product of pieces and edges.
constexpr int32_t kMaxEvenOddEdges = 2048;
constexpr int32_t kMaxEvenOddPieces = 4096;
// Straight pieces per Bezier segment of a flattened outline.
constexpr int32_t kCurvePieces = 16;
// Points of split edges closer than this (placed units) are one point.
constexpr double kJoinTolerance = 1e-6;

struct Edge {
  double ax, ay, bx, by;
};

// The winding number of the directed edges around (x, y).
int32_t WindingAt(const Edge* edges, int32_t count, double x, double y) {
  int32_t winding = 0;
  for (int32_t i = 0; i < count; ++i) {
    const Edge& e = edges[i];
    const double cross = (e.bx - e.ax) * (y - e.ay) - (x - e.ax) * (e.by - e.ay);
    if (e.ay <= y && e.by > y && cross > 0) ++winding;
    if (e.by <= y && e.ay > y && cross < 0) --winding;
  }
  return winding;
}

// The figures from `first` on as closed loops of straight edges. *count is
// -1 when they hold more than kMaxEvenOddEdges.
Status FlattenedEdges(const PointPathBuffer& outline, int32_t first, KernelBlock<Edge>& edges,
                      int32_t* count) {
  int32_t needed = 0;
  for (int32_t i = first; i < outline.count; ++i) {
    const int32_t kind = outline.kinds[i] & ~kPtCloseFigure;
    needed += kind == kPtBezierTo ? kCurvePieces : 1;  // a move stands for its closing edge
  }
  *count = -1;
  if (needed > kMaxEvenOddEdges) return kOk;
  edges.Reset(SVGFLT_ALLOC(Edge, static_cast<std::size_t>(needed) + 1));
  if (!edges) return kErrNoMemory;
  int32_t n = 0;
  double x = 0, y = 0, startX = 0, startY = 0;
  const auto add = [&](double toX, double toY) {
    if ((toX != x || toY != y) && n < needed + 1) {
      edges[static_cast<std::size_t>(n++)] = Edge{x, y, toX, toY};
    }
    x = toX;
    y = toY;
  };
  for (int32_t i = first; i < outline.count; ++i) {
    const KernelPoint& p = outline.points[i];
    const int32_t kind = outline.kinds[i] & ~kPtCloseFigure;
    if (kind == kPtMoveTo) {
      if (i > first) add(startX, startY);
      x = startX = p.x;
      y = startY = p.y;
    } else if (kind == kPtBezierTo && i + 2 < outline.count) {
      const KernelPoint& c1 = p;
      const KernelPoint& c2 = outline.points[i + 1];
      const KernelPoint& end = outline.points[i + 2];
      const double x0 = x, y0 = y;
      for (int32_t k = 1; k <= kCurvePieces; ++k) {
        const double t = static_cast<double>(k) / kCurvePieces, u = 1 - t;
        add(u * u * u * x0 + 3 * u * u * t * c1.x + 3 * u * t * t * c2.x + t * t * t * end.x,
            u * u * u * y0 + 3 * u * u * t * c1.y + 3 * u * t * t * c2.y + t * t * t * end.y);
      }
      i += 2;
    } else {
      add(p.x, p.y);
    }
  }
  add(startX, startY);
  *count = n;
  return kOk;
}

// Where the other edges cross edge `i` strictly inside it, as fractions
// of its length, written to `cuts` (room for count - 1) when not null;
// their number.
int32_t CrossingsOf(const Edge* edges, int32_t count, int32_t i, double* cuts) {
  const Edge& e = edges[i];
  const double dx = e.bx - e.ax, dy = e.by - e.ay;
  int32_t n = 0;
  for (int32_t j = 0; j < count; ++j) {
    const Edge& f = edges[j];
    const double fx = f.bx - f.ax, fy = f.by - f.ay;
    const double denominator = dx * fy - dy * fx;
    if (j == i || denominator == 0) continue;
    const double t = ((f.ax - e.ax) * fy - (f.ay - e.ay) * fx) / denominator;
    const double u = ((f.ax - e.ax) * dy - (f.ay - e.ay) * dx) / denominator;
    if (t > 0 && t < 1 && u >= 0 && u <= 1) {
      if (cuts != nullptr) cuts[n] = t;
      ++n;
    }
  }
  return n;
}

// Replaces the figures from `first` on, filled by the even-odd rule, by
// loops that fill the same region by the nonzero rule (one outline holds
// one rule for all clip children): the edges are split where they cross,
// the pieces with an odd winding on one side only are kept, turned so that
// this side lies to their left (y up), and joined into loops. Curves become
// straight pieces.
Status EvenOddToNonZero(PointPathBuffer& outline, int32_t first) {
  KernelBlock<Edge> edges;
  int32_t count = 0;
  Status status = FlattenedEdges(outline, first, edges, &count);
  if (status != kOk || count < 0) return status;
  int32_t pieceCount = count;
  for (int32_t i = 0; i < count && pieceCount <= kMaxEvenOddPieces; ++i) {
    pieceCount += CrossingsOf(edges.get(), count, i, nullptr);
  }
  if (pieceCount > kMaxEvenOddPieces) return kOk;
  KernelBlock<double> cuts(SVGFLT_ALLOC(double, static_cast<std::size_t>(count) + 2));
  if (!cuts) return kErrNoMemory;
  PointPathBuffer kept{};  // start and end point of each kept piece
  for (int32_t i = 0; i < count && status == kOk; ++i) {
    const Edge& e = edges[static_cast<std::size_t>(i)];
    const double dx = e.bx - e.ax, dy = e.by - e.ay;
    cuts[0] = 0;
    cuts[1] = 1;
    const int32_t n = 2 + CrossingsOf(edges.get(), count, i, cuts.get() + 2);
    std::sort(cuts.get(), cuts.get() + n);
    const double length = std::sqrt(dx * dx + dy * dy);
    const double nx = -dy / length * kJoinTolerance, ny = dx / length * kJoinTolerance;
    for (int32_t k = 0; k + 1 < n && status == kOk; ++k) {
      const double t0 = cuts[static_cast<std::size_t>(k)];
      const double t1 = cuts[static_cast<std::size_t>(k) + 1];
      if ((t1 - t0) * length < kJoinTolerance) continue;
      const double mx = e.ax + dx * (t0 + t1) / 2, my = e.ay + dy * (t0 + t1) / 2;
      const bool oddLeft = (WindingAt(edges.get(), count, mx + nx, my + ny) & 1) != 0;
      const bool oddRight = (WindingAt(edges.get(), count, mx - nx, my - ny) & 1) != 0;
      if (oddLeft == oddRight) continue;
      const double from = oddLeft ? t0 : t1, to = oddLeft ? t1 : t0;
      status = AppendPathPoint(kept, e.ax + dx * from, e.ay + dy * from, kPtLineTo);
      if (status == kOk) status = AppendPathPoint(kept, e.ax + dx * to, e.ay + dy * to, kPtLineTo);
    }
  }
  // Loops: from each unused piece on along the pieces that start where the
  // last one ended, until back at the start.
  const int32_t pieces = kept.count / 2;
  KernelBlock<uint8_t> used(SVGFLT_ALLOC(uint8_t, static_cast<std::size_t>(pieces) + 1));
  if (status == kOk && !used) status = kErrNoMemory;
  const auto near = [](const KernelPoint& a, const KernelPoint& b) {
    return std::fabs(a.x - b.x) <= kJoinTolerance && std::fabs(a.y - b.y) <= kJoinTolerance;
  };
  if (status == kOk) outline.count = first;
  for (int32_t s = 0; s < pieces && status == kOk; ++s) {
    if (used[static_cast<std::size_t>(s)] != 0) continue;
    const KernelPoint start = kept.points[2 * s];
    status = AppendPathPoint(outline, start.x, start.y, kPtMoveTo);
    for (int32_t piece = s; piece >= 0 && status == kOk;) {
      used[static_cast<std::size_t>(piece)] = 1;
      const KernelPoint end = kept.points[2 * piece + 1];
      if (near(end, start)) break;
      status = AppendPathPoint(outline, end.x, end.y, kPtLineTo);
      piece = -1;
      for (int32_t next = 0; next < pieces && piece < 0; ++next) {
        if (used[static_cast<std::size_t>(next)] == 0 && near(kept.points[2 * next], end)) {
          piece = next;
        }
      }
    }
    if (status == kOk) outline.kinds[outline.count - 1] |= kPtCloseFigure;
  }
  FreePathBuffer(kept);
  return status;
}

// Appends one clip child's outline through `m`: a shape, or a `use` of a
// shape. Each child's figures are turned to one orientation so that the
// children add up under the nonzero rule, holes within a child kept.
Status AppendClipChild(ConversionContext& context, SvgDocument& document, int32_t child,
                       const SvgMatrix& m, PointPathBuffer& outline) {
  const ElementRecord& record = document.records[child];
  if (CommonOf(record).props.display == kDisplayNone) return kOk;
  SvgMatrix matrix = FoldTransformList(m, CommonOf(record).transform);
  const ElementRecord* shape = &record;
  if (record.elementType == kElemUse) {
    const UseData& use = record.data.use;
    const int32_t target = use.href != nullptr ? FindId(document, use.href) : -1;
    if (!IsShape(TypeOf(document, target))) return kOk;
    matrix = MultiplyMatrix(matrix,
                            Translation(LengthToPixels(context, use.x, LengthAxis::kHorizontal),
                                        LengthToPixels(context, use.y, LengthAxis::kVertical)));
    shape = &document.records[target];
    matrix = FoldTransformList(matrix, CommonOf(*shape).transform);
  } else if (!IsShape(record.elementType)) {
    return kOk;
  }
  const int32_t first = outline.count;
  Status status = AppendShapeOutline(context, *shape, matrix, outline);
  if (status == kOk && CommonOf(record).props.clipRule == kEvenOddRule) {
    status = EvenOddToNonZero(outline, first);
  }
  if (status == kOk && SignedArea(outline, first) < 0) ReverseFigures(outline, first);
  return status;
}

// Widens `box` (*found: it holds something) by the box `add` mapped
// through `m` (its four corners).
void UniteBox(BoundingBox* box, bool* found, const BoundingBox& add, const SvgMatrix& m) {
  for (int32_t corner = 0; corner < 4; ++corner) {
    const double x = add.x + ((corner & 1) != 0 ? add.width : 0.0);
    const double y = add.y + ((corner & 2) != 0 ? add.height : 0.0);
    const double px = m.a * x + m.c * y + m.e;
    const double py = m.b * x + m.d * y + m.f;
    if (!*found) {
      *box = BoundingBox{px, py, 0, 0};
      *found = true;
      continue;
    }
    const double right = std::max(box->x + box->width, px);
    const double bottom = std::max(box->y + box->height, py);
    box->x = std::min(box->x, px);
    box->y = std::min(box->y, py);
    box->width = right - box->x;
    box->height = bottom - box->y;
  }
}

// The box of an element in its user space, for clip paths in
// objectBoundingBox units: shapes by their geometry, images by their
// rectangle, groups by their displayed content's boxes through the
// content's transforms. Other elements have none here.
Status ClippedBounds(ConversionContext& context, const SvgDocument& document, int32_t index,
                     BoundingBox* box, bool* found, int32_t depth = 0) {
  const ElementRecord& element = document.records[index];
  if (IsShape(element.elementType)) return ShapeBounds(context, element, box, found);
  if (element.elementType == kElemImage) {
    const ImageData& image = element.data.image;
    *box = BoundingBox{LengthToPixels(context, image.x, LengthAxis::kHorizontal),
                       LengthToPixels(context, image.y, LengthAxis::kVertical),
                       LengthToPixels(context, image.width, LengthAxis::kHorizontal),
                       LengthToPixels(context, image.height, LengthAxis::kVertical)};
    *found = true;
    return kOk;
  }
  if (element.elementType != kElemG || depth > kMaxUseNesting) return kOk;
  for (int32_t i = 0; i < element.childCount; ++i) {
    const int32_t child = element.children[i];
    if (ParentOf(document, child) != index || (i > 0 && element.children[i - 1] == child)) continue;
    // Hidden content counts, content not displayed does not.
    if (CommonOf(document.records[child]).props.display == kDisplayNone) continue;
    BoundingBox childBox{};
    bool childFound = false;
    const Status status =
        ClippedBounds(context, document, child, &childBox, &childFound, depth + 1);
    if (status != kOk) return status;
    if (childFound) {
      UniteBox(box, found, childBox,
               FoldTransformList(kIdentityMatrix, CommonOf(document.records[child]).transform));
    }
  }
  return kOk;
}

// Ends every clip set for the element, innermost first.
Status CloseClip(ConversionContext& context) {
  const int32_t opened = context.clipOpened;
  context.clipOpened = 0;
  VectorState state{};
  Status status = VectorGetState(context.document, &state);
  if (status != kOk) return status;
  state.clipMode = kClipModeAfterElement;
  status = VectorSetState(context.document, &state);
  for (int32_t i = 0; status == kOk && i < opened; ++i) {
    VectorPathObject end;
    status = VectorInitObject(&end, kVoPath);
    if (status != kOk) return status;
    end.h.flags |= kVoFlagClipEnd;
    end.pen.style = 0;
    VectorObjectRef ref = 0;
    status = VectorAddObject(context.document, 0, kVoPath, &end, &ref);
  }
  return status;
}

// The box, in the user space `m`, of the text element that holds `index`:
// its runs are drawn into a scratch document, whose extent is taken back
// through the inverse of `m` (the text layout is the kernel's). Clips are
// left out while measuring.
Status TextBounds(ConversionContext& context, SvgDocument& document, int32_t index,
                  const SvgMatrix& m, BoundingBox* box, bool* found) {
  while (index >= 0 && TypeOf(document, index) != kElemText) index = ParentOf(document, index);
  const double det = m.a * m.d - m.b * m.c;
  if (index < 0 || context.measuring != 0 || det == 0) return kOk;
  KernelBlock<VectorDocument> scratch(SVGFLT_ALLOC(VectorDocument, 1));
  if (!scratch) return kErrNoMemory;
  scratch->flags = context.document->flags;
  Status status = VectorInit(scratch.get());
  if (status != kOk) return status;
  const ConversionContext saved = context;
  context.document = scratch.get();
  context.hasGroup = 0;
  context.linkDepth = 0;
  context.measuring = 1;
  status = ConvertText(context, document, index);
  KernelPoint lower{}, upper{};
  const bool drawn = status == kOk && VectorObjectCount(scratch.get()) > 0 &&
                     VectorGetExtent(scratch.get(), &lower, &upper) == kOk;
  // The rest of the state comes back as it was; the object list and the
  // paint cache may have moved, and keep only the entries made before.
  const VectorObjectList objects = context.objects;
  void* const paintCache = context.paintCache;
  context = saved;
  context.objects = objects;
  context.objects.count = saved.objects.count;
  context.paintCache = paintCache;
  (void)VectorFree(scratch.get());
  if (!drawn) return status;
  // Placed points are (x, originY - y) of the user space mapped through m.
  for (int32_t corner = 0; corner < 4; ++corner) {
    const double px = (corner & 1) != 0 ? upper.x : lower.x;
    const double py = context.originY - ((corner & 2) != 0 ? upper.y : lower.y);
    const double x = (m.d * (px - m.e) - m.c * (py - m.f)) / det;
    const double y = (m.a * (py - m.f) - m.b * (px - m.e)) / det;
    UniteBox(box, found, BoundingBox{x, y, 0, 0}, kIdentityMatrix);
  }
  return kOk;
}

// Clip paths that clip their clip path (or its only child), followed this
// deep; a reference back into the chain ends it sooner.
constexpr int32_t kMaxClipNesting = 4;

// The clip outlines made last, each the outline of one clipPath's children
// through one matrix. Every element inside a clipped group, and elements
// sharing a clip in one user space, set the same outline again; this keeps
// that from costing the clip's geometry (and its even-odd loops) each time.
constexpr int32_t kClipOutlineSlots = 4;
struct ClipOutline {
  int32_t clip;  // -1: the slot is empty
  SvgMatrix matrix;
  int32_t referenceWidth;  // percentages of the clip's children refer to these
  int32_t referenceHeight;
  PointPathBuffer outline;
  int32_t drawnChildren;
  int32_t drawnChild;  // the last child that drew something
};
struct ClipOutlineCache {
  ClipOutline slots[kClipOutlineSlots];
  int32_t next;  // the slot to fill next
};

void FreeClipOutlines(ConversionContext& context) {
  auto* cache = static_cast<ClipOutlineCache*>(context.clipOutlines);
  if (cache == nullptr) return;
  for (ClipOutline& slot : cache->slots) FreePathBuffer(slot.outline);
  KernelRelease(cache);
  context.clipOutlines = nullptr;
}

// The outline of the children of `clip` through `m`, made now or kept from
// before; null only on kErrNoMemory (*status).
const ClipOutline* ClipOutlineOf(ConversionContext& context, SvgDocument& document, int32_t clip,
                                 const SvgMatrix& m, Status* status) {
  auto* cache = static_cast<ClipOutlineCache*>(context.clipOutlines);
  if (cache == nullptr) {
    cache = SVGFLT_ALLOC(ClipOutlineCache, 1);
    if (cache == nullptr) {
      *status = kErrNoMemory;
      return nullptr;
    }
    *cache = ClipOutlineCache{};
    for (ClipOutline& slot : cache->slots) slot.clip = -1;
    context.clipOutlines = cache;
  }
  for (const ClipOutline& slot : cache->slots) {
    if (slot.clip == clip && std::memcmp(&slot.matrix, &m, sizeof(m)) == 0 &&
        slot.referenceWidth == context.referenceWidth &&
        slot.referenceHeight == context.referenceHeight) {
      return &slot;
    }
  }
  const ElementRecord& clipRecord = document.records[clip];
  ClipOutline made{clip, m, context.referenceWidth, context.referenceHeight, {}, 0, -1};
  for (int32_t i = 0; *status == kOk && i < clipRecord.childCount; ++i) {
    const int32_t child = clipRecord.children[i];
    if (ParentOf(document, child) != clip) continue;
    if (i > 0 && clipRecord.children[i - 1] == child) continue;
    const int32_t before = made.outline.count;
    *status = AppendClipChild(context, document, child, m, made.outline);
    if (made.outline.count > before) {
      ++made.drawnChildren;
      made.drawnChild = child;
    }
  }
  if (*status != kOk) {
    FreePathBuffer(made.outline);
    return nullptr;
  }
  ClipOutline& slot = cache->slots[cache->next];
  cache->next = (cache->next + 1) % kClipOutlineSlots;
  FreePathBuffer(slot.outline);
  slot = made;
  return &slot;
}

// Sets the clip `clip` (a clipPath) of the element `owner`, whose user
// space is `userSpace`: one outline of its children, then the clips of the
// clipPath itself and of its only drawn child, which intersect with it.
// `scope`, when given, keeps the owner's box for the next element.
Status SetClipPath(ConversionContext& context, SvgDocument& document, int32_t clip,
                   const SvgMatrix& userSpace, int32_t owner, int32_t depth,
                   ScopeClip* scope = nullptr) {
  const ElementRecord& clipRecord = document.records[clip];
  // The clip's content lies in the owner's user space, then the clipPath's
  // transform, then, in objectBoundingBox units, the owner's box.
  SvgMatrix m = FoldTransformList(userSpace, CommonOf(clipRecord).transform);
  Status status = kOk;
  if (clipRecord.data.clipPath.clipPathUnits == kObjectBoundingBox) {
    BoundingBox box{};
    bool found = false;
    if (scope != nullptr && scope->boxState != 0) {
      box = scope->box;
      found = scope->boxState == 1;
    } else {
      const int32_t type = TypeOf(document, owner);
      status = type == kElemText || type == kElemTspan || type == kElemTextPath
                   ? TextBounds(context, document, owner, userSpace, &box, &found)
                   : ClippedBounds(context, document, owner, &box, &found);
      if (status != kOk) return status;
      if (scope != nullptr) {
        scope->box = box;
        scope->boxState = found ? 1 : 2;
      }
    }
    // An element without a box known here is drawn unclipped.
    if (!found) return kOk;
    m = MultiplyMatrix(m, SvgMatrix{box.width, 0, 0, box.height, box.x, box.y});
  }

  const ClipOutline* made = ClipOutlineOf(context, document, clip, m, &status);
  if (made == nullptr) return status;
  const int32_t drawnChildren = made->drawnChildren;
  const int32_t drawnChild = made->drawnChild;
  // A clip path without drawable content leaves nothing visible: the empty
  // outline is set as well.
  const VectorPointPath path{made->outline.count, made->outline.points, made->outline.kinds};
  status = VectorSetClip(context.document, &path);
  if (status != kOk) return status;
  ++context.clipOpened;
  if (depth >= kMaxClipNesting) return kOk;

  const int32_t own = ClipPathOf(document, clip);
  if (own >= 0 && own != clip) {
    status = SetClipPath(context, document, own, userSpace, owner, depth + 1, scope);
  }
  // A child's own clip cuts only that child, which one outline of several
  // children cannot hold: it is kept for an only child and left out else.
  if (status == kOk && drawnChildren == 1) {
    const int32_t childClip = ClipPathOf(document, drawnChild);
    if (childClip >= 0 && childClip != clip) {
      status = SetClipPath(context, document, childClip,
                           FoldTransformList(m, CommonOf(document.records[drawnChild]).transform),
                           drawnChild, depth + 1);
    }
  }
  return status;
}

// Sets the clips of the scopes still open around the element (viewport
// rectangles and group clip paths), outermost first.
Status OpenScopeClips(ConversionContext& context, SvgDocument& document) {
  static constexpr uint8_t kKinds[5] = {kPtMoveTo, kPtLineTo, kPtLineTo, kPtLineTo,
                                        kPtLineTo | kPtCloseFigure};
  uint8_t kinds[5];
  std::memcpy(kinds, kKinds, sizeof(kinds));
  for (int32_t i = 0; i < context.scopeClipCount; ++i) {
    ScopeClip& scope = context.scopeClips[i];
    Status status = kOk;
    if (scope.clipPath < 0) {
      const VectorPointPath path{5, scope.corners, kinds};
      status = VectorSetClip(context.document, &path);
      if (status == kOk) ++context.clipOpened;
    } else {
      status = SetClipPath(context, document, scope.clipPath, scope.matrix, scope.owner, 0, &scope);
    }
    if (status != kOk) return status;
  }
  return kOk;
}

// --- use --------------------------------------------------------------------

Status ExpandUse(ConversionContext& context, SvgDocument& document, int32_t useIndex);

// One level of content nesting while it lives.
class ContentLevel {
 public:
  explicit ContentLevel(int32_t& nesting) : nesting_(nesting) { ++nesting_; }
  ContentLevel(const ContentLevel&) = delete;
  ContentLevel& operator=(const ContentLevel&) = delete;
  ~ContentLevel() { --nesting_; }

 private:
  int32_t& nesting_;
};

Status ConvertContent(ConversionContext& context, SvgDocument& document, int32_t index) {
  if (context.useObjects >= kUseObjectBudget) return kOk;
  const ContentLevel level(context.useNesting);
  context.useWork += context.useNesting;
  if (context.useWork > kUseWorkBudget || context.useNesting > kMaxUseNesting) return kOk;
  const ElementRecord& record = document.records[index];
  const int32_t type = record.elementType;
  const bool drawn = IsShape(type) || type == kElemImage || type == kElemText;
  if (!drawn && type != kElemG && type != kElemUse) return kOk;
  Status status = kOk;
  if (drawn) {
    // The text converter resolves the paint and clip of every run itself.
    if (type != kElemText) {
      status = DrawingAttributes(context, document, index);
      if (status == kOk) status = OpenClip(context, document, index);
    }
    if (status == kOk) {
      if (type == kElemText) {
        status = ConvertText(context, document, index);
      } else if (type == kElemImage) {
        status = ConvertImage(context, document, index, context.info, context.load);
      } else {
        status = ConvertShape(context, document, index);
      }
    }
    // Each drawn element of the content ends its own clip.
    if (context.clipOpened != 0) {
      const Status closed = CloseClip(context);
      if (status == kOk) status = closed;
    }
    return status;
  }
  status = DrawingAttributes(context, document, index);
  if (status != kOk) return status;
  if (type == kElemUse) return ExpandUse(context, document, index);

  // A group: its children in the group's coordinates, in a kernel group of
  // its own unless one is current already.
  const SvgMatrix savedMatrix = context.contentMatrix;
  const int32_t savedHasGroup = context.hasGroup;
  const VectorGroupRef savedGroup = context.currentGroup;
  context.contentMatrix = FoldTransformList(context.contentMatrix, CommonOf(record).transform);
  if (context.hasGroup == 0) {
    VectorGroupRef group{};
    status = VectorAddGroup(context.document, &context.groupDesc, &group, 4);
    if (status == kOk) {
      context.currentGroup = group;
      context.hasGroup = 1;
    }
  }
  const bool clipped = PushScopeClip(context, document, nullptr, index, context.contentMatrix);
  for (int32_t i = 0; status == kOk && i < record.childCount; ++i) {
    const int32_t child = record.children[i];
    if (ParentOf(document, child) != index) continue;  // a dropped child's stale entry
    if (i > 0 && record.children[i - 1] == child) continue;
    status = ConvertContent(context, document, child);
  }
  if (clipped) --context.scopeClipCount;
  context.contentMatrix = savedMatrix;
  context.hasGroup = savedHasGroup;
  context.currentGroup = savedGroup;
  return status;
}

// Draws the element a `use` references, placed by the use's x and y (and
// for a symbol with a viewBox scaled onto the use's width and height). The
// placement travels in the context's content matrix. A use that references
// an element containing it draws nothing; so do uses nested deeper than
// kMaxUseDepth and everything once kUseObjectBudget objects were expanded
// or kUseWorkBudget was spent.
Status ExpandUse(ConversionContext& context, SvgDocument& document, int32_t useIndex) {
  if (context.useDepth >= kMaxUseDepth || context.useObjects >= kUseObjectBudget ||
      context.useWork > kUseWorkBudget)
    return kOk;
  const ElementRecord& useRecord = document.records[useIndex];
  const UseData& use = useRecord.data.use;
  if (use.href == nullptr) return kOk;
  const int32_t target = FindId(document, use.href);
  if (target < 0 || target >= document.recordCount || target == useIndex) return kOk;
  if (HasAncestor(document, useIndex, target)) return kOk;

  const double x = LengthToPixels(context, use.x, LengthAxis::kHorizontal);
  const double y = LengthToPixels(context, use.y, LengthAxis::kVertical);
  double width = LengthToPixels(context, use.width, LengthAxis::kHorizontal);
  double height = LengthToPixels(context, use.height, LengthAxis::kVertical);
  // Width and height not given: the viewport's whole size.
  if (!(width > 0)) width = context.referenceWidth;
  if (!(height > 0)) height = context.referenceHeight;

  // The use's own transform, then its position, then the symbol's viewBox:
  // the content's own transforms act first of all.
  SvgMatrix m = FoldTransformList(InheritedMatrix(context), CommonOf(useRecord).transform);
  m = MultiplyMatrix(m, Translation(x, y));
  // The use's clip-path lies in the space its position is part of.
  const bool clipped = PushScopeClip(context, document, nullptr, useIndex, m);
  ElementRecord& targetRecord = document.records[target];
  const bool symbol = targetRecord.elementType == kElemSymbol && targetRecord.childCount > 0;
  if (symbol) {
    const SymbolData& data = targetRecord.data.symbol;
    if (data.hasViewBox != 0 && data.viewBox.width > 0 && data.viewBox.height > 0) {
      m = MultiplyMatrix(m, ViewBoxMapping(data.viewBox, data.preserveAspectRatio, width, height));
    }
  }

  const int32_t savedHasMatrix = context.hasContentMatrix;
  const SvgMatrix savedMatrix = context.contentMatrix;
  const int32_t savedParent = targetRecord.parent;
  context.hasContentMatrix = 1;
  context.contentMatrix = m;
  ++context.useDepth;
  // Inheritance runs through the use while the content is drawn.
  targetRecord.parent = useIndex;
  Status status = kOk;
  if (symbol) {
    for (int32_t i = 0; status == kOk && i < targetRecord.childCount; ++i) {
      const int32_t child = targetRecord.children[i];
      if (ParentOf(document, child) != target) continue;
      if (i > 0 && targetRecord.children[i - 1] == child) continue;
      status = ConvertContent(context, document, child);
    }
  } else {
    status = ConvertContent(context, document, target);
  }
  targetRecord.parent = savedParent;
  if (clipped) --context.scopeClipCount;
  --context.useDepth;
  context.hasContentMatrix = savedHasMatrix;
  context.contentMatrix = savedMatrix;
  return status;
}

// --- the walk ---------------------------------------------------------------

Status ConvertElement(ConversionContext& context, SvgDocument& document, int32_t index) {
  const ElementRecord& record = document.records[index];
  const int32_t type = record.elementType;
  Status status = kOk;
  switch (type) {
    case kElemSvg:
      status = DrawingAttributes(context, document, index);
      if (status != kOk) return status;
      return record.parent < 0 ? SetUpViewport(context, document, index)
                               : OpenViewport(context, document, index);
    case kElemG:
      status = DrawingAttributes(context, document, index);
      if (status == kOk) status = OpenGroup(context, document, index);
      return status;
    case kElemUse:
      status = DrawingAttributes(context, document, index);
      if (status == kOk) status = ExpandUse(context, document, index);
      return status;
    case kElemPath:
    case kElemRect:
    case kElemCircle:
    case kElemEllipse:
    case kElemLine:
    case kElemPolyline:
    case kElemPolygon: {
      status = DrawingAttributes(context, document, index);
      if (status == kOk) status = OpenClip(context, document, index);
      if (status == kOk) status = ConvertShape(context, document, index);
      return status;
    }
    case kElemText:
      // The text converter applies the element's transform to each run it makes.
      return ConvertText(context, document, index);
    case kElemImage:
      status = DrawingAttributes(context, document, index);
      if (status == kOk) status = OpenClip(context, document, index);
      if (status == kOk) status = ConvertImage(context, document, index, context.info, context.load);
      return status;
    default:
      // The non-drawing kinds add nothing here.
      return kOk;
  }
}

Status Walk(ConversionContext& context, SvgDocument& document) {
  Status status = kOk;
  for (int32_t i = 0; i < document.recordCount && status == kOk; ++i) {
    if (Skipped(document, i)) continue;
    const ElementRecord& record = document.records[i];
    const int32_t parentType = TypeOf(document, record.parent);
    if (context.stack != nullptr && context.stack != context.rootNode) {
      if (context.stack->count == 0) {
        PopNode(context);
      }
    }
    // Children of groups, links and inner svg elements count down their
    // node.
    const bool innerSvgChild = parentType == kElemSvg && ParentOf(document, record.parent) >= 0;
    if (context.stack != nullptr && context.stack != context.rootNode &&
        (parentType == kElemG || parentType == kElemA || innerSvgChild)) {
      --context.stack->count;
    }
    context.clipContent = parentType == kElemClipPath ? 1 : 0;

    const bool inLink = context.linkDepth > 0;
    if (record.elementType == kElemA) {
      if (inLink) --context.linkCount;
      status = BeginLink(context, document, i);
    } else {
      status = ConvertElement(context, document, i);
      if (inLink) --context.linkCount;
    }
    if (status != kOk) break;
    EndLinks(context);
    status = CloseGroups(context);
    if (context.clipOpened != 0) {
      const Status closed = CloseClip(context);
      if (status == kOk) status = closed;
    }
  }
  context.clipContent = 0;
  return status;
}

}  // namespace

Status InitConversionContext(ConversionContext& context, VectorDocument* document) {
  context = ConversionContext{};
  context.document = document;
  context.matrix = kIdentityMatrix;
  context.contentMatrix = kIdentityMatrix;
  context.fillColour = 0xFFFFFF;
  context.strokeColour = 0;
  context.pen.size = static_cast<int32_t>(sizeof(VectorPen));
  context.pen.style = kPenSolid;
  context.pen.width = 1;
  context.pen.colour = context.strokeColour;
  context.penWidth = 1.0;
  context.brush.w[0] = kBrushPlainSize;
  context.brush.w[2] = kBrushSolid;
  context.brush.w[3] = static_cast<int32_t>(context.fillColour);
  context.opacity = 1.0f;
  context.fillRule = kFillWinding;
  context.paintEnabled = 1;
  context.paintEnabled2 = 1;
  context.fontSize = 12;
  context.clipIndex = -1;
  context.groupDesc.size = static_cast<int32_t>(sizeof(VectorGroupDesc));
  CopyName(context.groupDesc.name, kGroupName);

  context.dpiX = context.dpiY = kDefaultDpi;
  DrawingContext* screen = GetScreenDC(0, __LINE__, kSourceTag);
  if (screen != nullptr) {
    const int32_t dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    const int32_t dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    if (dpiX > 0) context.dpiX = dpiX;
    if (dpiY > 0) context.dpiY = dpiY;
    (void)ReleaseScreenDC(0, screen, __LINE__, kSourceTag);
  }
  return VectorObjectListInit(&context.objects, static_cast<int32_t>(sizeof(ElementObject)),
                              kObjectListGrowth, kObjectListTag);
}

void FreeConversionContext(ConversionContext& context) {
  KernelRelease(context.linkHref);
  context.linkHref = nullptr;
  for (int32_t i = 0; i < context.suspendedCount; ++i) KernelRelease(context.suspended[i].href);
  KernelRelease(context.suspended);
  context.suspended = nullptr;
  context.suspendedCount = context.suspendedCapacity = 0;
  KernelRelease(context.paintCache);
  context.paintCache = nullptr;
  FreeClipOutlines(context);
  (void)VectorObjectListFree(&context.objects);
  FreeTransformStack(&context.stack);
  context.rootNode = nullptr;
}

double LengthToPixels(const ConversionContext& context, const SvgLength& length,
                      LengthAxis axis) {
  const double value = length.value;
  if (length.isPercent == 1) {
    switch (axis) {
      case LengthAxis::kHorizontal: return (context.referenceWidth / 100) * value;
      case LengthAxis::kVertical: return (context.referenceHeight / 100) * value;
      case LengthAxis::kOther: {
        const double w = context.referenceWidth;
        const double h = context.referenceHeight;
        return value * std::sqrt(w * w + h * h) / 100.0 / std::sqrt(2.0);
      }
    }
  }
  const int32_t dpi = axis == LengthAxis::kVertical ? context.dpiY : context.dpiX;
  switch (length.unit) {
    case kUnitIn: return value * dpi;
    case kUnitEm: return value * ((dpi * 12) / 72);
    case kUnitEx: return value * context.fontSize * 0.5;
    case kUnitPx: return value;
    case kUnitPc: return value * 12 * dpi / 72;
    case kUnitPt: return value * dpi / 72;
    case kUnitCm: return value / 2.54 * dpi;
    case kUnitMm: return value / 25.4 * dpi;
    default: return value;
  }
}

bool IsIdentityMatrix(const SvgMatrix& m) {
  return m.a == 1.0 && m.b == 0.0 && m.c == 0.0 && m.d == 1.0 && m.e == 0.0 && m.f == 0.0;
}

SvgMatrix InheritedMatrix(const ConversionContext& context) {
  if (context.hasContentMatrix != 0) return context.contentMatrix;
  if (context.stack != nullptr) return context.stack->matrix;
  return context.matrix;
}

bool BakedMatrix(const ConversionContext& context, const TransformList& list,
                 SvgMatrix* matrix) {
  const SvgMatrix inherited = InheritedMatrix(context);
  bool kernelSteps = IsIdentityMatrix(inherited);
  for (const TransformStep* step = list.first; kernelSteps && step != nullptr;
       step = step->next) {
    // The kernel moves, turns and scales objects by the same factor on both
    // axes; a skew, a matrix or an uneven scale changes their shape.
    kernelSteps = step->kind == kTransformTranslate || step->kind == kTransformRotate ||
                  (step->kind == kTransformScale &&
                   step->params.scale.sx == step->params.scale.sy);
  }
  if (kernelSteps) return false;
  *matrix = FoldTransformList(inherited, list);
  return true;
}

Status AddElementObject(ConversionContext& context, int32_t elementIndex, int32_t type,
                        const void* record) {
  VectorObjectRef ref = 0;
  Status status = kOk;
  if (context.hasGroup != 0 && context.clipContent == 0) {
    status = VectorAddObjectToGroup(context.document, context.currentGroup, type, record, &ref);
  } else {
    status = VectorAddObject(context.document, 0, type, record, &ref);
  }
  if (status != kOk) return status;
  context.lastObject = ref;
  if (context.useDepth > 0) ++context.useObjects;
  const ElementObject entry{elementIndex, ref};
  status = VectorObjectListAppend(&context.objects, &entry,
                                  static_cast<int32_t>(sizeof(ElementObject)));
  if (status != kOk) return status;
  if (context.linkDepth > 0 && context.linkHref != nullptr && context.clipContent == 0) {
    status = AttachLink(context, ref, context.linkHref);
  }
  return status;
}

namespace {

// One step of an element's transform on an object already placed. Scales
// and turns act about the user-space origin (or a rotation's own centre),
// as SVG has it; the kernel scales about a given point but turns only about
// the object's centre, so a rotation is followed by the move that carries
// that centre to where a turn about the pivot puts it.
Status ApplyTransformStep(ConversionContext& context, const TransformStep& step,
                          VectorObjectRef object) {
  switch (step.kind) {
    case kTransformScale: {
      const VectorTriple factors{step.params.scale.sx, step.params.scale.sy, 1.0};
      const KernelPoint origin{0.0, context.originY, 0.0, 0};
      return VectorObjectScale(context.document, &factors, object, &origin);
    }
    case kTransformTranslate: {
      const VectorTriple offset{step.params.translate.tx,
                                context.originY - step.params.translate.ty, 0.0};
      return VectorObjectMove(context.document, &offset, object);
    }
    case kTransformRotate: {
      KernelPoint lower{}, upper{};
      const bool hasBox =
          VectorGetObjectExtent(context.document, object, &lower, &upper) == kOk;
      const double degrees = -static_cast<double>(step.params.rotate.angle);
      const VectorTriple angles{0.0, 0.0, degrees};
      const Status status = VectorObjectRotate(context.document, &angles, object);
      if (status != kOk || !hasBox) return status;
      const double pivotX = step.params.rotate.cx;
      const double pivotY = context.originY - step.params.rotate.cy;
      const double dx = (lower.x + upper.x) / 2 - pivotX;
      const double dy = (lower.y + upper.y) / 2 - pivotY;
      const double radians = degrees * 0.017453292519943295;
      const double c = std::cos(radians), s = std::sin(radians);
      const VectorTriple offset{dx * c - dy * s - dx, dx * s + dy * c - dy, 0.0};
      if (offset.x == 0.0 && offset.y == 0.0) return kOk;
      return VectorObjectMove(context.document, &offset, object);
    }
    default:
      return kOk;
  }
}

}  // namespace

Status ApplyElementTransform(ConversionContext& context, const TransformList& list,
                             VectorObjectRef object) {
  // The first step of a list is the outermost, so the object meets the last
  // step first. Short lists are reversed on the stack, long ones in a block.
  constexpr int32_t kLocalSteps = 16;
  const TransformStep* local[kLocalSteps] = {};
  int32_t count = 0;
  for (const TransformStep* step = list.first; step != nullptr; step = step->next) ++count;
  if (count == 0) return kOk;
  KernelBlock<const TransformStep*> block;
  const TransformStep** steps = local;
  if (count > kLocalSteps) {
    block.Reset(SVGFLT_ALLOC(const TransformStep*, static_cast<std::size_t>(count)));
    if (!block) return kErrNoMemory;
    steps = block.get();
  }
  int32_t i = 0;
  for (const TransformStep* step = list.first; step != nullptr; step = step->next) {
    steps[i++] = step;
  }
  for (i = count - 1; i >= 0; --i) {
    const Status status = ApplyTransformStep(context, *steps[i], object);
    if (status != kOk) return status;
  }
  return kOk;
}

Status OpenClip(ConversionContext& context, SvgDocument& document, int32_t elementIndex) {
  if (context.clipContent != 0 || context.measuring != 0) return kOk;
  const Status status = OpenScopeClips(context, document);
  if (status != kOk) return status;
  const int32_t clip = ClipPathOf(document, elementIndex);
  if (clip < 0) return kOk;
  // The element's user space includes its own transform.
  const SvgMatrix userSpace = FoldTransformList(
      InheritedMatrix(context), CommonOf(document.records[elementIndex]).transform);
  return SetClipPath(context, document, clip, userSpace, elementIndex, 0);
}

Status AttachLink(ConversionContext& context, VectorObjectRef object, const char* href) {
  VectorLinkRecord link;
  std::memset(&link, 0, sizeof(link));
  link.size = static_cast<int32_t>(sizeof(VectorLinkRecord));
  constexpr int32_t kUnits = static_cast<int32_t>(sizeof(link.text) / sizeof(link.text[0]));
  const int32_t needed = MultiByteToWideChar(CP_UTF8, 0, href, -1, nullptr, 0);
  if (needed > 0 && needed <= kUnits) {
    (void)MultiByteToWideChar(CP_UTF8, 0, href, -1, link.text, kUnits);
  } else if (needed > kUnits) {
    // Longer text is cut to what the record holds, NUL included.
    KernelBlock<char16_t> wide(SVGFLT_ALLOC(char16_t, static_cast<std::size_t>(needed)));
    if (!wide) return kErrNoMemory;
    (void)MultiByteToWideChar(CP_UTF8, 0, href, -1, wide.get(), needed);
    std::memcpy(link.text, wide.get(), (kUnits - 1) * sizeof(char16_t));
    link.text[kUnits - 1] = 0;
  }
  return VectorSetLink(context.document, object, &link);
}

Status ConvertDocument(VectorDocument* target, SvgDocument& document, InfoRequest* info,
                       LoadRequest* load) {
  if (target == nullptr) return kErrMissing;
  ConversionContext context;
  Status status = InitConversionContext(context, target);
  context.info = info;
  context.load = load;
  if (status == kOk) status = Walk(context, document);
  if (status == kOk) status = VectorFinishView(target, 0, 0);
  if (status == kOk) status = VectorCommitView(target, 0);
  if (status == kOk) status = VectorApplyView(target, 0);
  FreeConversionContext(context);
  return status;
}

}  // namespace svgflt
