#include "Common/DrawingAttributes.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <string_view>
#include <type_traits>

#include "Common/FillUtil.h"
#include "Common/GeneralUtil.h"
#include "Common/KernelMemory.h"
#include "Common/PaintServers.h"
#include "Common/Properties.h"
#include "Common/SVGParsUtil.h"
#include "VectorKernel/VectorObjects.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/FillUtil";

// Opacity window of the translucency rules (exclusive bounds), and the
// stroke opacity below which no pen is drawn.
constexpr float kTranslucentLow = 0.3f;
constexpr float kTranslucentHigh = 0.7f;
constexpr float kInvisibleStroke = 0.3f;
// A stop at opacity 0 whose colour is above this abandons its gradient.
constexpr uint32_t kNearWhite = 0xF8F8F8;
// Band of "central" gradient fractions.
constexpr double kBandLow = 0.25;
constexpr double kBandHigh = 0.75;
constexpr int32_t kCodeTranslucent = 29;
constexpr int32_t kCodeRadial = 30;
constexpr double kDefaultMiterLimit = 4.0;
// Stroke width not given: 1 % of the viewport's non-directional size.
constexpr double kDefaultStrokePercent = 1.0;

// The presentation values that an element takes from its ancestors when it
// does not state them. Strings point into the element records, which
// outlive the conversion; nothing here owns memory.
struct InheritedPaint {
  SvgPaint fill;
  float fillOpacity;
  int32_t fillRule;
  SvgPaint stroke;
  SvgLength strokeWidth;
  SvgLength strokeDashoffset;
  float strokeOpacity;
  double strokeMiterLimit;
  int32_t strokeLineCap;
  int32_t strokeLineJoin;
  DashArray strokeDashArray;
  int32_t display;
  int32_t visibility;
};

InheritedPaint OwnValues(const PresentationProperties& p) {
  return InheritedPaint{p.fill,          p.fillOpacity,      p.fillRule,
                        p.stroke,        p.strokeWidth,      p.strokeDashoffset,
                        p.strokeOpacity, p.strokeMiterLimit, p.strokeLineCap,
                        p.strokeLineJoin, p.strokeDashArray, p.display,
                        p.visibility};
}

// Fills every not-given value of `own` from the parent's resolved values.
InheritedPaint Merge(const PresentationProperties& ownProps, const InheritedPaint* parent) {
  InheritedPaint own = OwnValues(ownProps);
  if (parent == nullptr) return own;
  if (own.fillOpacity == kOpacityNotGiven) own.fillOpacity = parent->fillOpacity;
  if (own.fillRule == kFillRuleNotGiven) own.fillRule = parent->fillRule;
  if (own.fill.paintKind == kPaintNotGiven) own.fill = parent->fill;
  if (own.stroke.paintKind == kPaintNotGiven) own.stroke = parent->stroke;
  if (own.strokeWidth.isPercent == kLengthNotGiven) own.strokeWidth = parent->strokeWidth;
  if (own.strokeDashoffset.isPercent == kLengthNotGiven) {
    own.strokeDashoffset = parent->strokeDashoffset;
  }
  if (own.strokeOpacity == kOpacityNotGiven) own.strokeOpacity = parent->strokeOpacity;
  if (own.strokeMiterLimit == kMiterLimitNotGiven) {
    own.strokeMiterLimit = parent->strokeMiterLimit;
  }
  if (own.strokeLineCap == kLineCapNotGiven) own.strokeLineCap = parent->strokeLineCap;
  if (own.strokeLineJoin == kLineJoinNotGiven) own.strokeLineJoin = parent->strokeLineJoin;
  if (own.strokeDashArray.kind == kDashNotGiven) own.strokeDashArray = parent->strokeDashArray;
  if (own.display == kDisplayNotGiven) own.display = parent->display;
  if (own.visibility == kVisibilityNotGiven) own.visibility = parent->visibility;
  return own;
}

// Turns what is still not given into the defaults.
void ApplyDefaults(InheritedPaint& v) {
  if (v.fillOpacity == kOpacityNotGiven) v.fillOpacity = 1.0f;
  if (v.strokeOpacity == kOpacityNotGiven) v.strokeOpacity = 1.0f;
  if (v.fillRule == kFillRuleNotGiven) v.fillRule = 0;
  // A not-given fill is black; the colour is computed in ResolveFill.
  if (v.stroke.paintKind == kPaintNotGiven) v.stroke.paintKind = kPaintNone;
  if (v.strokeWidth.isPercent == kLengthNotGiven) {
    v.strokeWidth = SvgLength{kUnitNone, kDefaultStrokePercent, 1};
  }
  if (v.strokeDashoffset.isPercent == kLengthNotGiven) {
    v.strokeDashoffset = SvgLength{kUnitPx, 0.0, 0};
  }
  if (v.strokeMiterLimit == kMiterLimitNotGiven) v.strokeMiterLimit = kDefaultMiterLimit;
  if (v.strokeLineCap == kLineCapNotGiven) v.strokeLineCap = 0;
  if (v.strokeLineJoin == kLineJoinNotGiven) v.strokeLineJoin = 0;
  if (v.strokeDashArray.kind == kDashNotGiven) v.strokeDashArray = DashArray{0, nullptr, kDashNone};
  if (v.display == kDisplayNotGiven) v.display = 0;
  if (v.visibility == kVisibilityNotGiven) v.visibility = 0;
}

// --- per-conversion cache of resolved values --------------------------------
//
// One kernel block (ConversionContext::paintCache, released with the
// context, which converts one document): a slot per record that can be a parent (records with children
// and `use` elements), resolved lazily from the root down, so that every
// ancestor is resolved once per conversion and each element costs the
// steps up to its first resolved ancestor.
//
// While a `use` expansion runs, the driver gives the referenced record the
// `use` as its parent. Values below such a record differ from their cached
// ones, so they are then computed afresh along the chain and not stored.

struct CachedPaint {
  int32_t resolved;  // 1 once `value` holds the record's resolved values
  InheritedPaint value;
};

struct PaintCache {
  const ElementRecord* records;  // the table the slots belong to
  int32_t recordCount;
  int32_t slotCount;
  int32_t* slotOf;     // per record: its slot, or -1
  int32_t* chain;      // scratch: records walked up from an element
  CachedPaint* slots;
};
static_assert(std::is_trivially_copyable_v<PaintCache>);

// The cache block is an array of 8-byte words, enough for the doubles and
// pointers of its parts.
using CacheWord = uint64_t;
static_assert(alignof(PaintCache) <= sizeof(CacheWord) &&
              alignof(CachedPaint) <= sizeof(CacheWord));

constexpr std::size_t RoundUp(std::size_t bytes) {
  return (bytes + sizeof(CacheWord) - 1) / sizeof(CacheWord) * sizeof(CacheWord);
}

bool NeedsSlot(const ElementRecord& record) {
  return record.childCount > 0 || record.elementType == kElemUse;
}

// The cache for this document, made on first use: kOk or kErrNoMemory.
Status CacheFor(ConversionContext& context, const SvgDocument& document, PaintCache** out) {
  auto* cache = static_cast<PaintCache*>(context.paintCache);
  if (cache != nullptr && cache->records == document.records &&
      cache->recordCount == document.recordCount) {
    *out = cache;
    return kOk;
  }
  KernelRelease(context.paintCache);
  context.paintCache = nullptr;

  const auto count = static_cast<std::size_t>(document.recordCount);
  std::size_t slotCount = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (NeedsSlot(document.records[i])) ++slotCount;
  }
  const std::size_t headerBytes = RoundUp(sizeof(PaintCache));
  const std::size_t indexBytes = RoundUp(2 * count * sizeof(int32_t));
  const std::size_t total = headerBytes + indexBytes + slotCount * sizeof(CachedPaint);
  CacheWord* block = SVGFLT_ALLOC(CacheWord, RoundUp(total) / sizeof(CacheWord));
  if (block == nullptr) return kErrNoMemory;
  auto* bytes = reinterpret_cast<unsigned char*>(block);
  cache = reinterpret_cast<PaintCache*>(block);
  cache->records = document.records;
  cache->recordCount = document.recordCount;
  cache->slotCount = static_cast<int32_t>(slotCount);
  cache->slotOf = reinterpret_cast<int32_t*>(bytes + headerBytes);
  cache->chain = cache->slotOf + count;
  cache->slots = reinterpret_cast<CachedPaint*>(bytes + headerBytes + indexBytes);
  int32_t next = 0;
  for (std::size_t i = 0; i < count; ++i) {
    cache->slotOf[i] = NeedsSlot(document.records[i]) ? next++ : -1;
  }
  context.paintCache = block;
  *out = cache;
  return kOk;
}

const PresentationProperties* PropsOf(const SvgDocument& document, int32_t index) {
  const ElementRecord& record = document.records[index];
  return HasElementCommon(record.elementType) ? &CommonOf(record).props : nullptr;
}

// Merges one record onto its parent's values; records without a property
// block pass their parent's values on.
InheritedPaint MergeRecord(const SvgDocument& document, int32_t index,
                           const InheritedPaint* parent, bool* hasValue) {
  const PresentationProperties* props = PropsOf(document, index);
  if (props == nullptr) {
    if (parent != nullptr) return *parent;
    *hasValue = false;
    return InheritedPaint{};
  }
  return Merge(*props, parent);
}

int32_t ParentIndex(const SvgDocument& document, int32_t index) {
  const int32_t parent = document.records[index].parent;
  return parent >= 0 && parent < document.recordCount ? parent : -1;
}

// Resolves `index` in the tree as it stands, storing every value computed
// along the way in the slots. `allowCache` false: nothing is read from or
// written to the slots (a `use` expansion changed parents below the root).
// *hasValue is false when no record on the chain has a property block.
InheritedPaint ResolveChain(PaintCache& cache, const SvgDocument& document, int32_t index,
                            bool allowCache, bool* hasValue) {
  *hasValue = true;
  int32_t depth = 0;
  InheritedPaint running{};
  bool haveRunning = false;
  // Walk up to the first resolved ancestor; the table's size bounds the walk
  // even if a `use` expansion ever left the parents in a loop.
  for (int32_t at = index; at >= 0 && depth < cache.recordCount; at = ParentIndex(document, at)) {
    const int32_t slot = cache.slotOf[at];
    if (allowCache && slot >= 0 && cache.slots[slot].resolved != 0) {
      running = cache.slots[slot].value;
      haveRunning = true;
      break;
    }
    cache.chain[depth++] = at;
  }
  // Down again, each record on its parent's values.
  while (depth > 0) {
    const int32_t at = cache.chain[--depth];
    bool merged = true;
    running = MergeRecord(document, at, haveRunning ? &running : nullptr, &merged);
    haveRunning = haveRunning || merged;
    const int32_t slot = cache.slotOf[at];
    if (allowCache && slot >= 0 && haveRunning) {
      cache.slots[slot].value = running;
      cache.slots[slot].resolved = 1;
    }
  }
  *hasValue = haveRunning;
  return running;
}

// True when a record on the chain above `index` (or `index` itself) has a
// `use` for its parent: the driver re-parented it for an expansion.
// Returns the highest such record in *top.
bool FindReparented(const SvgDocument& document, int32_t index, int32_t* top) {
  bool found = false;
  int32_t steps = 0;
  for (int32_t at = index; at >= 0 && steps < document.recordCount;
       at = ParentIndex(document, at), ++steps) {
    const int32_t parent = ParentIndex(document, at);
    if (parent >= 0 && document.records[parent].elementType == kElemUse) {
      *top = at;
      found = true;
    }
  }
  return found;
}

// The element's values after inheritance (before the defaults).
InheritedPaint ResolveInherited(ConversionContext& context, PaintCache& cache,
                                const SvgDocument& document, int32_t index) {
  bool hasValue = true;
  int32_t top = -1;
  if (context.useDepth > 0 && FindReparented(document, index, &top)) {
    // Above the highest re-parented record the tree is the natural one and
    // the cache serves; below it the values are computed along the chain.
    const int32_t use = ParentIndex(document, top);
    InheritedPaint running = ResolveChain(cache, document, use, true, &hasValue);
    bool haveRunning = hasValue;
    int32_t depth = 0;
    for (int32_t at = index; at >= 0 && depth < cache.recordCount;
         at = ParentIndex(document, at)) {
      cache.chain[depth++] = at;
      if (at == top) break;
    }
    while (depth > 0) {
      bool merged = true;
      running = MergeRecord(document, cache.chain[--depth], haveRunning ? &running : nullptr,
                            &merged);
      haveRunning = haveRunning || merged;
    }
    return running;
  }
  return ResolveChain(cache, document, index, true, &hasValue);
}

// --- colours -------------------------------------------------------------------

// ASCII case folding, so the answer does not depend on the process locale.
bool EqualsIgnoreCase(std::string_view a, std::string_view b) { return EqualsNoCase(a, b); }

// `color` given: a form-1 colour, or a colour text.
bool ColorGiven(const SvgColor& color) {
  return color.colorForm == kColorFormRgb || color.text != nullptr;
}

uint32_t ColourOf(const SvgColor& color) {
  uint32_t out = 0;
  if (!ColorToRef(color, &out)) out = 0;
  return out;
}

// --- gradients -----------------------------------------------------------------

bool IsGradient(int32_t type) {
  return type == kElemLinearGradient || type == kElemRadialGradient;
}

const char* GradientHref(const ElementRecord& record) {
  return record.elementType == kElemLinearGradient ? record.data.linearGradient.own.href
                                                   : record.data.radialGradient.own.href;
}

// Geometry slots of ConversionContext::gradientGeometry.
constexpr int32_t kGeoX1 = 0, kGeoY1 = 1, kGeoX2 = 2, kGeoY2 = 3;
constexpr int32_t kGeoCx = 0, kGeoCy = 1, kGeoR = 2, kGeoFx = 3, kGeoFy = 4;

// The gradient's lengths in slot order, with their defaults.
int32_t GradientLengths(const ElementRecord& record, const SvgLength* (&lengths)[5],
                        SvgLength (&defaults)[5]) {
  if (record.elementType == kElemLinearGradient) {
    const LinearGradientRecord& g = record.data.linearGradient.own;
    lengths[kGeoX1] = &g.x1;
    lengths[kGeoY1] = &g.y1;
    lengths[kGeoX2] = &g.x2;
    lengths[kGeoY2] = &g.y2;
    defaults[kGeoX1] = SvgLength{kUnitPx, 0.0, 1};
    defaults[kGeoY1] = SvgLength{kUnitPx, 0.0, 1};
    defaults[kGeoX2] = SvgLength{kUnitPx, 100.0, 1};
    defaults[kGeoY2] = SvgLength{kUnitPx, 0.0, 1};
    return 4;
  }
  const RadialGradientRecord& g = record.data.radialGradient.own;
  lengths[kGeoCx] = &g.cx;
  lengths[kGeoCy] = &g.cy;
  lengths[kGeoR] = &g.r;
  lengths[kGeoFx] = &g.fx;
  lengths[kGeoFy] = &g.fy;
  defaults[kGeoCx] = SvgLength{kUnitNone, 0.5, 0};
  defaults[kGeoCy] = SvgLength{kUnitNone, 0.5, 0};
  defaults[kGeoR] = SvgLength{kUnitNone, 50.0, 1};
  defaults[kGeoFx] = SvgLength{kUnitNone, 0.5, 0};
  defaults[kGeoFy] = SvgLength{kUnitNone, 0.5, 0};
  return 5;
}

// Up to `limit` children of the record in order, leaving out the stale
// entries that a dropped child leaves in the list (an index past the
// table, a record now parented elsewhere, or a repeat of the entry before).
int32_t LiveChildren(const SvgDocument& document, int32_t index, int32_t* out, int32_t limit) {
  const ElementRecord& record = document.records[index];
  int32_t found = 0;
  for (int32_t i = 0; i < record.childCount && found < limit; ++i) {
    const int32_t child = record.children[i];
    if (child < 0 || child >= document.recordCount) continue;
    if (document.records[child].parent != index) continue;
    if (i > 0 && record.children[i - 1] == child) continue;
    out[found++] = child;
  }
  return found;
}

bool IsDefault(const SvgLength& value, const SvgLength& byDefault) {
  // A zero is zero in any unit.
  if (value.value == 0.0 && byDefault.value == 0.0) return true;
  return value.value == byDefault.value && value.isPercent == byDefault.isPercent;
}

// Copies the gradient's geometry; with `onlyChanged`, only the values that
// differ from the kind's defaults.
void CopyGeometry(ConversionContext& context, const ElementRecord& record, bool onlyChanged) {
  const SvgLength* lengths[5] = {};
  SvgLength defaults[5] = {};
  const int32_t n = GradientLengths(record, lengths, defaults);
  for (int32_t i = 0; i < n; ++i) {
    if (onlyChanged && IsDefault(*lengths[i], defaults[i])) continue;
    context.gradientGeometry[i] = *lengths[i];
  }
}

// Truncation toward zero into 32 bits, saturating; NaN gives 0.
int32_t TruncatedInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(INT32_MAX)) return INT32_MAX;
  if (value <= static_cast<double>(INT32_MIN)) return INT32_MIN;
  return static_cast<int32_t>(value);
}

}  // namespace

// --- building blocks -------------------------------------------------------------

uint32_t ResolveColour(const ConversionContext& context, const SvgPaint& paint, bool isStroke,
                       const SvgColor* color, bool* none) {
  const uint32_t current = isStroke ? context.strokeColour : context.fillColour;
  if (none != nullptr) *none = false;
  switch (paint.paintKind) {
    case kPaintNone:
      if (none != nullptr) *none = true;
      return current;
    case kPaintCurrentColor:
      // The `color` property is what currentColor names; without one the
      // colour in force stays.
      if (color != nullptr && ColorGiven(*color)) return ColourOf(*color);
      return current;
    case kPaintColor:
      return ColourOf(paint.color);
    case kPaintNotGiven:
      return ColourOf(paint.color);
    default:
      return 0;
  }
}

uint32_t ResolveStopColour(const ElementRecord& stop) {
  if (!HasElementCommon(stop.elementType)) return 0;
  const PresentationProperties& props = CommonOf(stop).props;
  const SvgColor& colour = props.stopColor;
  if (colour.colorForm == kColorFormName && colour.text != nullptr &&
      EqualsIgnoreCase(TrimView(colour.text), "currentColor")) {
    return ColorGiven(props.color) ? ColourOf(props.color) : 0;
  }
  return ColourOf(colour);
}

GradientUse FindGradient(ConversionContext& context, const SvgDocument& document,
                         const SvgPaint& paint) {
  context.linearGradient = 0;
  context.radialGradient = 0;
  context.gradientColours[0] = context.gradientColours[1] = 0;
  if (paint.paintKind != kPaintServer) return GradientUse::kNone;
  const int32_t index = FindId(document, paint.color.text);
  if (index < 0 || index >= document.recordCount) return GradientUse::kNone;
  const ElementRecord& gradient = document.records[index];
  if (!IsGradient(gradient.elementType)) return GradientUse::kNone;
  for (SvgLength& length : context.gradientGeometry) length = SvgLength{};
  CopyGeometry(context, gradient, false);

  // A gradient without stops borrows them along its xlink:href chain; the
  // table's size bounds the walk should the references form a loop.
  int32_t stops[2] = {-1, -1};
  int32_t source = index;
  int32_t stopCount = LiveChildren(document, source, stops, 2);
  for (int32_t steps = 0; stopCount == 0 && steps < document.recordCount; ++steps) {
    const int32_t next = FindId(document, GradientHref(document.records[source]));
    if (next < 0 || next >= document.recordCount) break;
    if (!IsGradient(document.records[next].elementType)) break;
    source = next;
    stopCount = LiveChildren(document, source, stops, 2);
  }
  const ElementRecord& reached = document.records[source];
  if (source != index && stopCount > 0 && reached.elementType == gradient.elementType) {
    // Geometry of the other kind means nothing here: only the stops count.
    CopyGeometry(context, reached, true);
  }

  if (stopCount < 2) return GradientUse::kNone;
  uint32_t colours[2] = {};
  for (int32_t i = 0; i < 2; ++i) {
    const ElementRecord& stop = document.records[stops[i]];
    if (stop.elementType != kElemStop) return GradientUse::kNone;
    colours[i] = ResolveStopColour(stop);
    if (CommonOf(stop).props.stopOpacity == 0.0f && colours[i] > kNearWhite) {
      return GradientUse::kTransparent;
    }
  }
  context.gradientColours[0] = colours[0];
  context.gradientColours[1] = colours[1];
  if (gradient.elementType == kElemLinearGradient) {
    context.linearGradient = 1;
  } else {
    context.radialGradient = 1;
  }
  return GradientUse::kTwoColour;
}

uint32_t TranslucentColour(uint32_t colour, float opacity) {
  if (!(opacity > kTranslucentLow && opacity < kTranslucentHigh)) return colour;
  const double lift = (1.0 - static_cast<double>(opacity)) * 255.0;
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const double channel = static_cast<double>((colour >> shift) & 0xFF) + lift;
    const auto value = channel >= 255.0 ? 255u : static_cast<uint32_t>(channel);
    out |= value << shift;
  }
  return out;
}

int32_t PenWidthFromHalf(double halfWidth) {
  if (halfWidth > 0.0 && halfWidth < 1.0) return 1;
  return TruncatedInt(halfWidth);
}

uint32_t PenStyleWord(int32_t lineCap, int32_t lineJoin, const DashArray& dashes) {
  uint32_t style = kPenSolid;
  // A dash list whose lengths are all zero draws solid, as SVG asks; any
  // other list is drawn with the kernel's dash pattern.
  if (dashes.kind == kDashList && dashes.lengths != nullptr) {
    for (int32_t i = 0; i < dashes.count; ++i) {
      if (dashes.lengths[i].value > 0.0) {
        style = kPenDash;
        break;
      }
    }
  }
  switch (lineCap) {
    case 1: style |= kPenCapRound; break;    // round
    case 2: style |= kPenCapSquare; break;   // square
    default: style |= kPenCapFlat; break;    // butt
  }
  switch (lineJoin) {
    case 1: style |= kPenJoinRound; break;   // round
    case 2: style |= kPenJoinBevel; break;   // bevel
    default: style |= kPenJoinMiter; break;  // miter
  }
  return style;
}

int32_t LinearDirectionCode(double x1, double y1, double x2, double y2) {
  if (y1 == y2) {
    if (x1 < x2) return 0;
    if (x2 < x1) return 1;
    return 0;
  }
  if (x1 == x2) return y1 < y2 ? 2 : 3;
  if (y1 < y2) return x1 < x2 ? 4 : 6;
  return x1 < x2 ? 5 : 7;
}

int32_t RadialCentreCode(double cx, double cy) {
  if ((cx < kBandLow && cy < kBandLow) || (cx > kBandHigh && cy > kBandHigh)) {
    return kCodeTranslucent;
  }
  return kCodeRadial;
}

int32_t RadialFocusCode(double fx, double fy) {
  // The first stop colour lies at the focus, so an off-centre focus becomes
  // a linear brush starting at the focus side: a focus at the left runs
  // left to right (0), right → 1, top → 2, bottom → 3, top-left → 4,
  // bottom-left → 5, top-right → 6, bottom-right → 7.
  const int column = fx < kBandLow ? 0 : (fx > kBandHigh ? 2 : 1);
  const int row = fy < kBandLow ? 0 : (fy > kBandHigh ? 2 : 1);
  static constexpr int32_t kCodes[3][3] = {
      // column: left, centre, right
      {4, 2, 6},             // top
      {0, kCodeRadial, 1},   // middle
      {5, 3, 7},             // bottom
  };
  return kCodes[row][column];
}

double GradientFraction(const SvgLength& length) {
  return length.isPercent == 1 ? length.value / 100.0 : length.value;
}

// --- the step ---------------------------------------------------------------------

Status DrawingAttributes(ConversionContext& context, SvgDocument& document,
                         int32_t elementIndex) {
  if (elementIndex < 0 || elementIndex >= document.recordCount) return kErrMissing;
  const ElementRecord& record = document.records[elementIndex];
  if (!HasElementCommon(record.elementType)) return kOk;
  const PresentationProperties& own = CommonOf(record).props;
  context.opacity = own.opacity;

  PaintCache* cache = nullptr;
  const Status status = CacheFor(context, document, &cache);
  if (status != kOk) return status;
  InheritedPaint v = ResolveInherited(context, *cache, document, elementIndex);
  const bool fillGiven = v.fill.paintKind != kPaintNotGiven;
  ApplyDefaults(v);

  if (own.fontSize.value > 0.0) {
    context.fontSize = TruncatedInt(LengthToPixels(context, own.fontSize, LengthAxis::kVertical));
  }

  const float opacity = own.opacity;
  const bool translucent = opacity > kTranslucentLow && opacity < kTranslucentHigh;

  // Pen.
  bool strokeNone = false;
  const uint32_t strokeColour = ResolveColour(context, v.stroke, true, &own.color, &strokeNone);
  context.strokeColour = strokeColour;
  const double halfWidth =
      LengthToPixels(context, v.strokeWidth, LengthAxis::kOther) / 2.0;
  context.penWidth = halfWidth;
  context.pen = VectorPen{};
  context.pen.size = static_cast<int32_t>(sizeof(VectorPen));
  context.pen.width = PenWidthFromHalf(halfWidth);
  context.pen.colour = translucent ? TranslucentColour(strokeColour, opacity) : strokeColour;
  context.pen.style = PenStyleWord(v.strokeLineCap, v.strokeLineJoin, v.strokeDashArray);
  if (strokeNone || context.pen.width < 1 || v.strokeOpacity < kInvisibleStroke) {
    context.pen.style = kPenNull;
  }

  // Brush.
  bool fillNone = false;
  uint32_t fillColour = 0;
  if (fillGiven) {
    fillColour = ResolveColour(context, v.fill, false, &own.color, &fillNone);
  }
  context.fillColour = fillColour;
  const GradientUse gradient = FindGradient(context, document, v.fill);
  context.brush = VectorBrush{};
  int32_t* w = context.brush.w;
  const bool shapeVariant =
      record.elementType == kElemRect || record.elementType == kElemCircle;
  if (gradient == GradientUse::kTwoColour) {
    w[0] = kBrushTwoColour;
    w[1] = 2;
    w[2] = static_cast<int32_t>(context.gradientColours[0]);
    w[3] = static_cast<int32_t>(context.gradientColours[1]);
    w[4] = 255;
    const SvgLength* g = context.gradientGeometry;
    if (context.linearGradient != 0) {
      w[5] = LinearDirectionCode(GradientFraction(g[kGeoX1]), GradientFraction(g[kGeoY1]),
                                 GradientFraction(g[kGeoX2]), GradientFraction(g[kGeoY2]));
    } else if (shapeVariant) {
      w[5] = RadialFocusCode(GradientFraction(g[kGeoFx]), GradientFraction(g[kGeoFy]));
    } else {
      w[5] = RadialCentreCode(GradientFraction(g[kGeoCx]), GradientFraction(g[kGeoCy]));
    }
  } else {
    const bool hollow = fillNone || gradient == GradientUse::kTransparent;
    if (!hollow && translucent && !shapeVariant) {
      w[0] = kBrushTwoColour;
      w[1] = 2;
      w[2] = 0xFFFFFF;
      w[3] = static_cast<int32_t>(TranslucentColour(fillColour, opacity));
      w[4] = 255;
      w[5] = kCodeTranslucent;
    } else {
      w[0] = kBrushPlainSize;
      w[1] = 0;
      w[2] = hollow ? kBrushHollow : kBrushSolid;
      w[3] = static_cast<int32_t>(fillColour);
      w[4] = 0;
    }
  }
  context.fillRule = v.fillRule == 0 ? kFillWinding : kFillAlternate;

  // Visibility.
  context.paintEnabled =
      v.display == kDisplayNone ? 0 : (v.visibility == kVisibilityHidden ? 0 : 1);

  // Clip: the first path among the children of the referenced element.
  context.clipIndex = -1;
  if (own.clipPath.kind == kReferenceUrl && own.clipPath.id != nullptr) {
    const int32_t clip = FindId(document, own.clipPath.id);
    if (clip >= 0 && clip < document.recordCount) {
      const ElementRecord& clipRecord = document.records[clip];
      for (int32_t i = 0; i < clipRecord.childCount && context.clipIndex < 0; ++i) {
        const int32_t child = clipRecord.children[i];
        if (child >= 0 && child < document.recordCount &&
            document.records[child].parent == clip &&
            document.records[child].elementType == kElemPath) {
          context.clipIndex = child;
        }
      }
    }
  }
  return kOk;
}

}  // namespace svgflt
