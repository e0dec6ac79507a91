#include "Common/Properties.h"

#include <cstddef>
#include <cstring>
#include <span>
#include <string>

#include "Common/FillUtil.h"
#include "Common/GeneralUtil.h"
#include "Common/KernelMemory.h"
#include "Common/MyStrtok.h"
#include "Common/Parser/Elements.h"
#include "Common/SvgDocument.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/Properties";

static_assert(kWritingModeKeywords.size() == kWritingModeCount);
static_assert(kDirectionKeywords.size() == kDirectionCount);
static_assert(kUnicodeBidiKeywords.size() == kUnicodeBidiCount);
static_assert(kTextAnchorKeywords.size() == kTextAnchorCount);
static_assert(kBaselineShiftKeywords.size() == kBaselineShiftCount);
static_assert(kDominantBaselineKeywords.size() == kDominantBaselineCount);
static_assert(kAlignmentBaselineKeywords.size() == kAlignmentBaselineCount);
static_assert(kTextDecorationKeywords.size() == kTextDecorationCount);
static_assert(kSystemFontKeywords.size() == kSystemFontCount);
static_assert(kFontStretchKeywords.size() == kFontStretchCount);
static_assert(kFontStyleKeywords.size() == kFontStyleCount);
static_assert(kFontVariantKeywords.size() == kFontVariantCount);
static_assert(kFontWeightKeywords.size() == kFontWeightCount);
static_assert(kColorProfileKeywords.size() == kColorProfileKeywordCount);
static_assert(kFillRuleKeywords.size() == kFillRuleCount);
static_assert(kLineCapKeywords.size() == kLineCapCount);
static_assert(kLineJoinKeywords.size() == kLineJoinCount);
static_assert(kDisplayKeywords.size() == kDisplayCount);
static_assert(kDisplayKeywords[kDisplayNone] == "none");
static_assert(kVisibilityKeywords.size() == kVisibilityCount);
static_assert(kVisibilityKeywords[kVisibilityHidden] == "hidden");
static_assert(kColorInterpolationKeywords.size() == kColorInterpolationCount);
static_assert(kColorInterpolationKeywords[kColorInterpolationSrgb] == "sRGB");
static_assert(kRenderingQualityKeywords.size() == kRenderingQualityCount);
static_assert(kShapeRenderingKeywords.size() == kShapeRenderingCount);
static_assert(kTextRenderingKeywords.size() == kTextRenderingCount);

// color-interpolation-filters exists only from this version on.
constexpr double kFiltersVersion = 1.1;

// Name and value of one style declaration are held in buffers of this size;
// longer text is cut at kDeclarationBuffer - 1 characters, which keeps the
// declaration (a cut value may then fail its parser and be skipped).
constexpr std::size_t kDeclarationBuffer = 256;

constexpr std::string_view kUrlPrefix = "url(#";

// --- strings ----------------------------------------------------------------

// Replaces *field with a copy of `text`; on failure *field stays. A held
// string of the same length is overwritten in place: its block fits, and
// inheritance mostly copies texts the child already holds ("black").
Status StoreText(std::string_view text, char** field) {
  if (*field != nullptr && std::strlen(*field) == text.size()) {
    if (!text.empty()) std::memcpy(*field, text.data(), text.size());
    return kOk;
  }
  char* copy = SVGFLT_ALLOC(char, text.size() + 1);
  if (copy == nullptr) return kErrNoMemory;
  if (!text.empty()) std::memcpy(copy, text.data(), text.size());
  KernelRelease(*field);
  *field = copy;
  return kOk;
}

// Makes *field an independent copy of `source` (null frees it).
Status DuplicateText(const char* source, char** field) {
  if (source == nullptr) {
    FreeString(field);
    return kOk;
  }
  return StoreText(source, field);
}

Status DuplicateColor(const SvgColor& source, SvgColor* target) {
  char* text = target->text;
  *target = source;
  target->text = text;
  return DuplicateText(source.text, &target->text);
}

// The id of "url(#id)" (prefix without regard to case, the id running to
// the last ')'); false when `text` is not of that form.
bool UrlReference(std::string_view text, std::string_view* id) {
  if (!StartsWithNoCase(text, kUrlPrefix)) return false;
  const std::string_view rest = text.substr(kUrlPrefix.size());
  const std::size_t paren = rest.rfind(')');
  if (paren == std::string_view::npos) return false;
  *id = rest.substr(0, paren);
  return true;
}

// --- shared value forms -------------------------------------------------------

template <std::size_t N>
Status ParseKeyword(const char* value, const std::array<std::string_view, N>& table,
                    int32_t* field) {
  int32_t index = 0;
  const Status status = LookupKeyword(value, std::span<const std::string_view>(table), &index);
  if (status == kOk) *field = index;
  return status;
}

Status ParseNumber(const char* value, double* field) {
  if (value == nullptr) return kErrMissing;
  const std::string_view trimmed = TrimView(value);
  if (!MatchesNumberGrammar(trimmed)) return kErrBadValue;
  *field = ConvertNumberPrefix(trimmed);
  return kOk;
}

Status ParseOpacity(const char* value, float* field) {
  double number = 0;
  const Status status = ParseNumber(value, &number);
  if (status == kOk) *field = static_cast<float>(number);
  return status;
}

// `keyword` ("auto" or "normal") or a length. An empty value changes
// nothing, as it does for a plain length.
Status ParseKeywordLength(const char* value, std::string_view keyword, KeywordLength* field) {
  if (value == nullptr) return kErrMissing;
  const std::string_view trimmed = TrimView(value);
  if (trimmed.empty()) return kOk;
  if (EqualsNoCase(trimmed, keyword)) {
    field->isKeyword = 1;
    return kOk;
  }
  SvgLength length = field->length;
  const Status status = ParseLength(value, &length);
  if (status != kOk) return status;
  field->length = length;
  field->isKeyword = 0;
  return kOk;
}

// "none" or "url(#id)" into a reference kind and id.
Status ParseReference(const char* value, int32_t* kind, char** id) {
  if (value == nullptr) return kErrMissing;
  const std::string_view trimmed = TrimView(value);
  if (EqualsNoCase(trimmed, "none")) {
    FreeString(id);
    *kind = kReferenceNone;
    return kOk;
  }
  std::string_view target;
  if (!UrlReference(trimmed, &target)) return kErrBadValue;
  const Status status = StoreText(target, id);
  if (status == kOk) *kind = kReferenceUrl;
  return status;
}

// A paint keeps its kind when ParsePaint fails (it sets the kind first).
Status ParsePaintValue(const char* value, SvgPaint* paint) {
  const int32_t kind = paint->paintKind;
  const Status status = ParsePaint(value, paint);
  if (status != kOk) paint->paintKind = kind;
  return status;
}

// --- one parser per property ----------------------------------------------------

using PropertyParser = Status (*)(const char* value, PresentationProperties& props);

Status ParseFont(const char* value, PresentationProperties& props) {
  if (value == nullptr) return kErrMissing;
  int32_t keyword = 0;
  if (LookupKeyword(value, kSystemFontKeywords, &keyword) == kOk) {
    FreeString(&props.font.text);
    props.font.kind = kFontSystem;
    props.font.keyword = keyword;
    return kOk;
  }
  const std::string_view trimmed = TrimView(value);
  if (trimmed.empty()) return kErrBadValue;
  const Status status = StoreText(trimmed, &props.font.text);
  if (status == kOk) props.font.kind = kFontText;
  return status;
}

Status ParseFontFamily(const char* value, PresentationProperties& props) {
  if (value == nullptr) return kErrMissing;
  const std::string_view trimmed = TrimView(value);
  if (trimmed.empty()) return kErrBadValue;
  return StoreText(trimmed, &props.fontFamily);
}

Status ParseFontSize(const char* value, PresentationProperties& props) {
  return ParseLength(value, &props.fontSize);
}

Status ParseFontSizeAdjust(const char* value, PresentationProperties& props) {
  if (value == nullptr) return kErrMissing;
  if (EqualsNoCase(TrimView(value), "none")) {
    props.fontSizeAdjust.isNone = 1;
    return kOk;
  }
  const Status status = ParseNumber(value, &props.fontSizeAdjust.value);
  if (status == kOk) props.fontSizeAdjust.isNone = 0;
  return status;
}

Status ParseFontStretch(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kFontStretchKeywords, &props.fontStretch);
}
Status ParseFontStyle(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kFontStyleKeywords, &props.fontStyle);
}
Status ParseFontVariant(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kFontVariantKeywords, &props.fontVariant);
}
Status ParseFontWeight(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kFontWeightKeywords, &props.fontWeight);
}
Status ParseDirection(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kDirectionKeywords, &props.direction);
}
Status ParseLetterSpacing(const char* value, PresentationProperties& props) {
  return ParseKeywordLength(value, "normal", &props.letterSpacing);
}
Status ParseWordSpacing(const char* value, PresentationProperties& props) {
  return ParseKeywordLength(value, "normal", &props.wordSpacing);
}
Status ParseKerning(const char* value, PresentationProperties& props) {
  return ParseKeywordLength(value, "auto", &props.kerning);
}
Status ParseTextDecoration(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kTextDecorationKeywords, &props.textDecoration);
}
Status ParseUnicodeBidi(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kUnicodeBidiKeywords, &props.unicodeBidi);
}
Status ParseTextAnchor(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kTextAnchorKeywords, &props.textAnchor);
}
Status ParseWritingMode(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kWritingModeKeywords, &props.writingMode);
}
Status ParseAlignmentBaseline(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kAlignmentBaselineKeywords, &props.alignmentBaseline);
}
Status ParseDominantBaseline(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kDominantBaselineKeywords, &props.dominantBaseline);
}

Status ParseBaselineShift(const char* value, PresentationProperties& props) {
  if (value == nullptr) return kErrMissing;
  int32_t keyword = 0;
  if (LookupKeyword(value, kBaselineShiftKeywords, &keyword) == kOk) {
    props.baselineShift.keyword = keyword;
    return kOk;
  }
  const Status status = ParseLength(value, &props.baselineShift.length);
  if (status == kOk) props.baselineShift.keyword = kBaselineShiftNotKeyword;
  return status;
}

Status ParseGlyphOrientationVertical(const char* value, PresentationProperties& props) {
  if (value == nullptr) return kErrMissing;
  if (EqualsNoCase(TrimView(value), "auto")) {
    props.glyphOrientationVertical.isAuto = 1;
    return kOk;
  }
  const Status status = ParseAngle(value, &props.glyphOrientationVertical.angle);
  if (status == kOk) props.glyphOrientationVertical.isAuto = 0;
  return status;
}

Status ParseGlyphOrientationHorizontal(const char* value, PresentationProperties& props) {
  return ParseAngle(value, &props.glyphOrientationHorizontal);
}

Status ParseFill(const char* value, PresentationProperties& props) {
  return ParsePaintValue(value, &props.fill);
}
Status ParseStroke(const char* value, PresentationProperties& props) {
  return ParsePaintValue(value, &props.stroke);
}
Status ParseStopColor(const char* value, PresentationProperties& props) {
  // "currentColor" is kept as a colour name; the stop colour resolution
  // recognises it.
  return ParseColor(value, &props.stopColor);
}
Status ParseColorProperty(const char* value, PresentationProperties& props) {
  return ParseColor(value, &props.color);
}
Status ParseFillOpacity(const char* value, PresentationProperties& props) {
  return ParseOpacity(value, &props.fillOpacity);
}
Status ParseStrokeOpacity(const char* value, PresentationProperties& props) {
  return ParseOpacity(value, &props.strokeOpacity);
}
Status ParseOpacityProperty(const char* value, PresentationProperties& props) {
  return ParseOpacity(value, &props.opacity);
}
Status ParseStopOpacity(const char* value, PresentationProperties& props) {
  return ParseOpacity(value, &props.stopOpacity);
}
Status ParseFillRule(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kFillRuleKeywords, &props.fillRule);
}
// Only clip paths read clip-rule; a value it does not know is ignored, as
// the property always was.
Status ParseClipRule(const char* value, PresentationProperties& props) {
  (void)ParseKeyword(value, kFillRuleKeywords, &props.clipRule);
  return kOk;
}
Status ParseStrokeWidth(const char* value, PresentationProperties& props) {
  return ParseLength(value, &props.strokeWidth);
}
Status ParseStrokeDashoffset(const char* value, PresentationProperties& props) {
  return ParseLength(value, &props.strokeDashoffset);
}
Status ParseStrokeMiterLimit(const char* value, PresentationProperties& props) {
  return ParseNumber(value, &props.strokeMiterLimit);
}
Status ParseStrokeLineCap(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kLineCapKeywords, &props.strokeLineCap);
}
Status ParseStrokeLineJoin(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kLineJoinKeywords, &props.strokeLineJoin);
}

// "none" or lengths separated by commas or whitespace; at least one.
Status ParseStrokeDashArray(const char* value, PresentationProperties& props) {
  if (value == nullptr) return kErrMissing;
  const std::string_view trimmed = TrimView(value);
  DashArray& dashes = props.strokeDashArray;
  if (EqualsNoCase(trimmed, "none")) {
    KernelRelease(dashes.lengths);
    dashes.lengths = nullptr;
    dashes.count = 0;
    dashes.kind = kDashNone;
    return kOk;
  }
  std::size_t count = 0;
  for (std::string_view rest = trimmed; !NextToken(rest, kListSeparators).empty();) ++count;
  if (count == 0) return kErrBadValue;

  // Tokens are cut in a copy so that each can be read as a C string.
  KernelBlock<char> text(SVGFLT_ALLOC(char, trimmed.size() + 1));
  if (!text) return kErrNoMemory;
  std::memcpy(text.get(), trimmed.data(), trimmed.size());
  KernelBlock<SvgLength> lengths(SVGFLT_ALLOC(SvgLength, count));
  if (!lengths) return kErrNoMemory;

  std::string_view rest(text.get(), trimmed.size());
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view item = NextToken(rest, kListSeparators);
    text[static_cast<std::size_t>(item.data() - text.get()) + item.size()] = '\0';
    const Status status = ParseLength(item.data(), &lengths[i]);
    if (status != kOk) return status;
  }
  KernelRelease(dashes.lengths);
  dashes.lengths = lengths.Release();
  dashes.count = static_cast<int32_t>(count);
  dashes.kind = kDashList;
  return kOk;
}

Status ParseClipPath(const char* value, PresentationProperties& props) {
  return ParseReference(value, &props.clipPath.kind, &props.clipPath.id);
}
Status ParseMarker(const char* value, PresentationProperties& props) {
  return ParseReference(value, &props.marker.kind, &props.marker.id);
}
Status ParseMarkerStart(const char* value, PresentationProperties& props) {
  return ParseReference(value, &props.markerStart.kind, &props.markerStart.id);
}
Status ParseMarkerMid(const char* value, PresentationProperties& props) {
  return ParseReference(value, &props.markerMid.kind, &props.markerMid.id);
}
Status ParseMarkerEnd(const char* value, PresentationProperties& props) {
  return ParseReference(value, &props.markerEnd.kind, &props.markerEnd.id);
}

Status ParseColorProfile(const char* value, PresentationProperties& props) {
  if (value == nullptr) return kErrMissing;
  ColorProfile& profile = props.colorProfile;
  int32_t keyword = 0;
  if (LookupKeyword(value, kColorProfileKeywords, &keyword) == kOk) {
    FreeString(&profile.text);
    profile.kind = kColorProfileKeyword;
    profile.keyword = keyword;
    return kOk;
  }
  const std::string_view trimmed = TrimView(value);
  std::string_view id;
  const bool isReference = UrlReference(trimmed, &id);
  if (!isReference && trimmed.empty()) return kErrBadValue;
  const Status status = StoreText(isReference ? id : trimmed, &profile.text);
  if (status == kOk) profile.kind = isReference ? kColorProfileReference : kColorProfileName;
  return status;
}

Status ParseDisplay(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kDisplayKeywords, &props.display);
}
Status ParseVisibility(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kVisibilityKeywords, &props.visibility);
}
Status ParseColorInterpolation(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kColorInterpolationKeywords, &props.colorInterpolation);
}
Status ParseColorInterpolationFilters(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kColorInterpolationKeywords, &props.colorInterpolationFilters);
}
Status ParseColorRendering(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kRenderingQualityKeywords, &props.colorRendering);
}
Status ParseImageRendering(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kRenderingQualityKeywords, &props.imageRendering);
}
Status ParseShapeRendering(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kShapeRenderingKeywords, &props.shapeRendering);
}
Status ParseTextRendering(const char* value, PresentationProperties& props) {
  return ParseKeyword(value, kTextRenderingKeywords, &props.textRendering);
}
Status ParseTop(const char* value, PresentationProperties& props) {
  return ParseKeywordLength(value, "auto", &props.top);
}
Status ParseRight(const char* value, PresentationProperties& props) {
  return ParseKeywordLength(value, "auto", &props.right);
}
Status ParseBottom(const char* value, PresentationProperties& props) {
  return ParseKeywordLength(value, "auto", &props.bottom);
}
Status ParseLeft(const char* value, PresentationProperties& props) {
  return ParseKeywordLength(value, "auto", &props.left);
}

// --- name dispatch --------------------------------------------------------------

// A property name and its parser; a null parser means "accepted, no effect".
struct PropertyEntry {
  std::string_view name;
  PropertyParser parse;
};

constexpr std::string_view kColorInterpolationFiltersName = "color-interpolation-filters";

// The declaration names in the order they are compared.
constexpr PropertyEntry kProperties[] = {
    {"font", ParseFont},
    {"font-family", ParseFontFamily},
    {"font-size", ParseFontSize},
    {"font-size-adjust", ParseFontSizeAdjust},
    {"font-stretch", ParseFontStretch},
    {"font-style", ParseFontStyle},
    {"font-variant", ParseFontVariant},
    {"font-weight", ParseFontWeight},
    {"direction", ParseDirection},
    {"letter-spacing", ParseLetterSpacing},
    {"text-decoration", ParseTextDecoration},
    {"unicode-bidi", ParseUnicodeBidi},
    {"word-spacing", ParseWordSpacing},
    {"clip", nullptr},
    {"fill", ParseFill},
    {"stroke", ParseStroke},
    {"stop-color", ParseStopColor},
    {"kerning", ParseKerning},
    {"text-anchor", ParseTextAnchor},
    {"writing-mode", ParseWritingMode},
    {"alignment-baseline", ParseAlignmentBaseline},
    {"dominant-baseline", ParseDominantBaseline},
    {"baseline-shift", ParseBaselineShift},
    {"glyph-orientation-vertical", ParseGlyphOrientationVertical},
    {"glyph-orientation-horizontal", ParseGlyphOrientationHorizontal},
    {"fill-opacity", ParseFillOpacity},
    {"fill-rule", ParseFillRule},
    {"stroke-width", ParseStrokeWidth},
    {"stroke-dashoffset", ParseStrokeDashoffset},
    {"stroke-opacity", ParseStrokeOpacity},
    {"stroke-miterlimit", ParseStrokeMiterLimit},
    {"stroke-linecap", ParseStrokeLineCap},
    {"stroke-linejoin", ParseStrokeLineJoin},
    {"stroke-dasharray", ParseStrokeDashArray},
    {"color", ParseColorProperty},
    {"color-profile", ParseColorProfile},
    {"clip-path", ParseClipPath},
    {"clip-rule", ParseClipRule},
    {"marker", ParseMarker},
    {"marker-start", ParseMarkerStart},
    {"marker-mid", ParseMarkerMid},
    {"marker-end", ParseMarkerEnd},
    {"text-rendering", ParseTextRendering},
    {"color-rendering", ParseColorRendering},
    {"shape-rendering", ParseShapeRendering},
    {"image-rendering", ParseImageRendering},
    {"color-interpolation", ParseColorInterpolation},
    {kColorInterpolationFiltersName, ParseColorInterpolationFilters},
    {"display", ParseDisplay},
    {"visibility", ParseVisibility},
    {"stop-opacity", ParseStopOpacity},
    {"top", ParseTop},
    {"right", ParseRight},
    {"bottom", ParseBottom},
    {"left", ParseLeft},
    {"opacity", ParseOpacityProperty},
    // Accepted without effect: SVG properties this module does not render
    // and CSS2 properties. Any other name is accepted without effect too.
    {"flood-color", nullptr},
    {"lighting-color", nullptr},
    {"cursor", nullptr},
    {"overflow", nullptr},
    {"mask", nullptr},
    {"enable-background", nullptr},
    {"filter", nullptr},
    {"flood-opacity", nullptr},
    {"pointer-events", nullptr},
};

// --- attribute groups --------------------------------------------------------------

constexpr PropertyEntry kFontGroup[] = {
    {"font-family", ParseFontFamily},   {"font-size", ParseFontSize},
    {"font-size-adjust", ParseFontSizeAdjust}, {"font-stretch", ParseFontStretch},
    {"font-style", ParseFontStyle},     {"font-variant", ParseFontVariant},
    {"font-weight", ParseFontWeight},
};
constexpr PropertyEntry kTextGroup[] = {
    {"alignment-baseline", ParseAlignmentBaseline},
    {"baseline-shift", ParseBaselineShift},
    {"direction", ParseDirection},
    {"dominant-baseline", ParseDominantBaseline},
    {"glyph-orientation-horizontal", ParseGlyphOrientationHorizontal},
    {"glyph-orientation-vertical", ParseGlyphOrientationVertical},
    {"kerning", ParseKerning},
    {"letter-spacing", ParseLetterSpacing},
    {"text-anchor", ParseTextAnchor},
    {"text-decoration", ParseTextDecoration},
    {"unicode-bidi", ParseUnicodeBidi},
    {"word-spacing", ParseWordSpacing},
};
constexpr PropertyEntry kPaintGroup[] = {
    {"fill", ParseFill},
    {"fill-opacity", ParseFillOpacity},
    {"fill-rule", ParseFillRule},
    {"stroke", ParseStroke},
    {"stroke-dasharray", ParseStrokeDashArray},
    {"stroke-dashoffset", ParseStrokeDashoffset},
    {"stroke-linecap", ParseStrokeLineCap},
    {"stroke-linejoin", ParseStrokeLineJoin},
    {"stroke-miterlimit", ParseStrokeMiterLimit},
    {"stroke-opacity", ParseStrokeOpacity},
    {"stroke-width", ParseStrokeWidth},
};
constexpr PropertyEntry kVisualGroup[] = {
    {"clip-path", ParseClipPath},
    {"clip-rule", ParseClipRule},
    {"cursor", nullptr},
    {"display", ParseDisplay},
    {"filter", nullptr},
    {"image-rendering", ParseImageRendering},
    {"mask", nullptr},
    {"opacity", ParseOpacityProperty},
    {"pointer-events", nullptr},
    {"shape-rendering", ParseShapeRendering},
    {"text-rendering", ParseTextRendering},
    {"visibility", ParseVisibility},
};
constexpr PropertyEntry kColorGroup[] = {
    {"color", ParseColorProperty},
    {"color-interpolation", ParseColorInterpolation},
    {"color-rendering", ParseColorRendering},
};
constexpr PropertyEntry kMarkerGroup[] = {
    {"marker-start", ParseMarkerStart},
    {"marker-mid", ParseMarkerMid},
    {"marker-end", ParseMarkerEnd},
    {"marker", ParseMarker},
};
constexpr PropertyEntry kStopGroup[] = {
    {"stop-color", ParseStopColor},
    {"stop-opacity", ParseStopOpacity},
};
constexpr PropertyEntry kClipGroup[] = {{"clip", nullptr}, {"overflow", nullptr}};
constexpr PropertyEntry kWritingModeGroup[] = {{"writing-mode", ParseWritingMode}};
constexpr PropertyEntry kLightingColorGroup[] = {{"lighting-color", nullptr}};
constexpr PropertyEntry kColorProfileGroup[] = {{"color-profile", ParseColorProfile}};
constexpr PropertyEntry kColorInterpolationFiltersGroup[] = {
    {kColorInterpolationFiltersName, ParseColorInterpolationFilters}};
constexpr PropertyEntry kFloodGroup[] = {{"flood-color", nullptr}, {"flood-opacity", nullptr}};
constexpr PropertyEntry kEnableBackgroundGroup[] = {{"enable-background", nullptr}};

// The set-once bit of a group name is its position, so a group holds at most 32.
static_assert(std::size(kTextGroup) <= 32 && std::size(kVisualGroup) <= 32 &&
              std::size(kPaintGroup) <= 32);

// Runs the parser of `name` (exact match) behind the group's set-once mask.
Status ParseGroupAttribute(std::span<const PropertyEntry> group, uint32_t& mask,
                           PresentationProperties& props, std::string_view name,
                           const char* value, double version) {
  for (std::size_t i = 0; i < group.size(); ++i) {
    if (group[i].name != name) continue;
    const PropertyEntry& entry = group[i];
    return SetOnce(mask, uint32_t{1} << i, [&]() -> Status {
      if (entry.parse == nullptr) return kOk;
      if (entry.name == kColorInterpolationFiltersName && version != kFiltersVersion) return kOk;
      return entry.parse(value, props);
    });
  }
  return kErrBadLength;
}

// --- style declarations --------------------------------------------------------------

struct Declaration {
  char name[kDeclarationBuffer];
  char value[kDeclarationBuffer];
};

// Appends `c` unless the buffer is full (the rest of a long text is cut).
void Append(char* buffer, std::size_t* length, char c) {
  if (*length + 1 < kDeclarationBuffer) buffer[(*length)++] = c;
}

// Splits "name : value" into the buffers: the name without any whitespace;
// the value after the whitespace following ':', without tab, LF and CR,
// and without spaces unless the name is font-family and `keepFamilySpaces`
// is set. False for a declaration that is empty or only whitespace.
bool SplitDeclaration(const char* text, bool keepFamilySpaces, Declaration* out) {
  while (IsSvgSpace(*text)) ++text;
  if (*text == '\0') return false;
  std::size_t nameLength = 0;
  while (*text != '\0' && *text != ':') {
    if (!IsSvgSpace(*text)) Append(out->name, &nameLength, *text);
    ++text;
  }
  out->name[nameLength] = '\0';

  std::size_t valueLength = 0;
  if (*text == ':') {
    ++text;
    while (IsSvgSpace(*text)) ++text;
    const bool keepSpaces =
        keepFamilySpaces && EqualsNoCase(std::string_view(out->name, nameLength), "font-family");
    for (; *text != '\0'; ++text) {
      const char c = *text;
      if (c == '\t' || c == '\n' || c == '\r') continue;
      if (c == ' ' && !keepSpaces) continue;
      Append(out->value, &valueLength, c);
    }
  }
  out->value[valueLength] = '\0';
  return true;
}

// The replacement text of an internal entity, or null.
const char* FindEntity(const SvgDocument& document, std::string_view name) {
  if (document.xmlDocument == nullptr) return nullptr;
  const auto& entities = document.xmlDocument->entities;
  // The map's lookup needs a key string. A name that fits the string's own
  // inline buffer (what an empty string holds without a heap block) gets
  // one, so that many references to many entities stay n log n; a longer
  // name is found by a scan with string views.
  if (name.size() <= std::string().capacity()) {
    const auto found = entities.find(std::string(name));
    return found != entities.end() ? found->second.c_str() : nullptr;
  }
  for (const auto& [entityName, text] : entities) {
    if (entityName == name) return text.c_str();
  }
  return nullptr;
}

}  // namespace

// --- defaults, inheritance, release ----------------------------------------------------

Status InitPresentationProperties(PresentationProperties& props) {
  props = PresentationProperties{};
  props.opacity = 1.0f;

  props.textAnchor = 0;
  props.baselineShift = BaselineShift{};
  props.dominantBaseline = 0;
  props.alignmentBaseline = 0;
  props.baselineShift.keyword = kBaselineShiftNotKeyword;
  props.fontSize = SvgLength{kUnitNone, 12.0, 0};
  props.kerning.length = SvgLength{kUnitPx, 0.0, 0};
  props.wordSpacing.length = SvgLength{kUnitPx, 0.0, 0};
  props.letterSpacing.length = SvgLength{kUnitPx, 0.0, 0};

  props.fillOpacity = kOpacityNotGiven;
  props.fillRule = kFillRuleNotGiven;
  props.clipRule = kFillRuleNotGiven;
  Status status = InitPaint(&props.fill);
  if (status != kOk) return status;
  props.stroke = SvgPaint{};
  props.stroke.paintKind = kPaintNotGiven;
  props.strokeOpacity = kOpacityNotGiven;
  props.strokeWidth.unit = kUnitPx;
  props.strokeWidth.isPercent = kLengthNotGiven;
  props.strokeMiterLimit = kMiterLimitNotGiven;
  props.strokeLineCap = kLineCapNotGiven;
  props.strokeLineJoin = kLineJoinNotGiven;
  props.strokeDashoffset.isPercent = kLengthNotGiven;
  props.strokeDashArray.kind = kDashNotGiven;
  props.marker.kind = kReferenceNotGiven;
  props.markerStart.kind = kReferenceNotGiven;
  props.markerMid.kind = kReferenceNotGiven;
  props.markerEnd.kind = kReferenceNotGiven;
  props.display = kDisplayNotGiven;
  props.visibility = kVisibilityNotGiven;
  props.textRendering = 0;
  props.colorRendering = 0;
  props.shapeRendering = 0;
  props.imageRendering = 0;
  props.colorInterpolationFilters = 0;
  props.colorInterpolation = kColorInterpolationSrgb;

  props.stopOpacity = 1.0f;
  status = InitColor(&props.stopColor);
  return status;
}

Status InheritPresentationProperties(PresentationProperties& child,
                                     const PresentationProperties& parent) {
  // Text and font.
  child.kerning = parent.kerning;
  child.wordSpacing = parent.wordSpacing;
  child.letterSpacing = parent.letterSpacing;
  child.writingMode = parent.writingMode;
  child.direction = parent.direction;
  child.unicodeBidi = parent.unicodeBidi;
  child.textAnchor = parent.textAnchor;
  child.baselineShift = parent.baselineShift;
  child.dominantBaseline = parent.dominantBaseline;
  child.alignmentBaseline = parent.alignmentBaseline;
  child.textDecoration = parent.textDecoration;
  child.glyphOrientationVertical = parent.glyphOrientationVertical;
  child.glyphOrientationHorizontal = parent.glyphOrientationHorizontal;
  Status status = DuplicateText(parent.font.text, &child.font.text);
  if (status != kOk) return status;
  child.font.kind = parent.font.kind;
  child.font.keyword = parent.font.keyword;
  child.fontSize = parent.fontSize;
  child.fontStyle = parent.fontStyle;
  child.fontWeight = parent.fontWeight;
  status = DuplicateText(parent.fontFamily, &child.fontFamily);
  if (status != kOk) return status;
  child.fontVariant = parent.fontVariant;
  child.fontStretch = parent.fontStretch;
  child.fontSizeAdjust = parent.fontSizeAdjust;

  // Colour and colour profile.
  status = DuplicateColor(parent.color, &child.color);
  if (status != kOk) return status;
  status = DuplicateText(parent.colorProfile.text, &child.colorProfile.text);
  if (status != kOk) return status;
  child.colorProfile.kind = parent.colorProfile.kind;
  child.colorProfile.keyword = parent.colorProfile.keyword;

  if (parent.clipPath.kind == kReferenceUrl) {
    status = DuplicateText(parent.clipPath.id, &child.clipPath.id);
    if (status != kOk) return status;
    child.clipPath.kind = kReferenceUrl;
  }

  child.textRendering = parent.textRendering;
  child.colorRendering = parent.colorRendering;
  child.shapeRendering = parent.shapeRendering;
  child.imageRendering = parent.imageRendering;
  child.colorInterpolation = parent.colorInterpolation;
  child.colorInterpolationFilters = parent.colorInterpolationFilters;
  child.display = parent.display;
  child.visibility = parent.visibility;
  child.clipRule = parent.clipRule;

  // Fill and stroke stay with the element that states them; the conversion
  // resolves a not-given value against the ancestors.
  child.fill.paintKind = kPaintNotGiven;
  child.fillOpacity = kOpacityNotGiven;
  child.fillRule = kFillRuleNotGiven;
  child.stroke.paintKind = kPaintNotGiven;
  child.strokeOpacity = kOpacityNotGiven;
  child.strokeWidth.isPercent = kLengthNotGiven;
  child.strokeMiterLimit = kMiterLimitNotGiven;
  child.strokeDashoffset.unit = kUnitDashoffsetNotGiven;
  child.strokeDashoffset.isPercent = kLengthNotGiven;
  child.strokeLineCap = kLineCapNotGiven;

  const MarkerReference* const from[] = {&parent.marker, &parent.markerStart, &parent.markerMid,
                                         &parent.markerEnd};
  MarkerReference* const to[] = {&child.marker, &child.markerStart, &child.markerMid,
                                 &child.markerEnd};
  for (std::size_t i = 0; i < std::size(from); ++i) {
    status = DuplicateText(from[i]->id, &to[i]->id);
    if (status != kOk) return status;
    to[i]->kind = from[i]->kind;
  }

  child.stopOpacity = parent.stopOpacity;
  status = DuplicateColor(parent.stopColor, &child.stopColor);
  if (status != kOk) return status;

  child.top = parent.top;
  child.right = parent.right;
  child.bottom = parent.bottom;
  child.left = parent.left;
  return kOk;
}

void FreePresentationProperties(PresentationProperties& props) {
  FreeString(&props.font.text);
  FreeString(&props.fontFamily);
  FreeColor(&props.color);
  FreeString(&props.colorProfile.text);
  FreeString(&props.clipPath.id);
  FreePaint(&props.fill);
  FreePaint(&props.stroke);
  KernelRelease(props.strokeDashArray.lengths);
  props.strokeDashArray.lengths = nullptr;
  props.strokeDashArray.count = 0;
  FreeString(&props.marker.id);
  FreeString(&props.markerStart.id);
  FreeString(&props.markerMid.id);
  FreeString(&props.markerEnd.id);
  FreeColor(&props.stopColor);
}

// --- declarations ----------------------------------------------------------------------

Status ParseProperty(std::string_view name, const char* value, PresentationProperties& props,
                     double version) {
  for (const PropertyEntry& entry : kProperties) {
    if (!EqualsNoCase(name, entry.name)) continue;
    if (entry.parse == nullptr) return kOk;
    if (entry.name == kColorInterpolationFiltersName && version != kFiltersVersion) return kOk;
    return entry.parse(value, props);
  }
  // CSS2 and unknown properties have no effect.
  return kOk;
}

Status ParseStyleEntity(PresentationProperties& props, const char* text, double version) {
  if (text == nullptr) return kErrMissing;
  const std::size_t length = std::strlen(text);
  KernelBlock<char> copy(SVGFLT_ALLOC(char, length + 1));
  if (!copy) return kErrNoMemory;
  std::memcpy(copy.get(), text, length);

  Status result = kOk;
  Declaration declaration;
  for (char* item = MyStrtok(copy.get(), ";"); item != nullptr; item = MyStrtok(nullptr, ";")) {
    if (!SplitDeclaration(item, false, &declaration)) continue;
    if (ParseProperty(declaration.name, declaration.value, props, version) == kErrNoMemory) {
      result = kErrNoMemory;
      break;
    }
  }
  // Back to the tokenization that found the entity reference.
  MyStrtok(nullptr, nullptr);
  if (result == kOk) result = MyStrtokStatus();
  return result;
}

Status ParseStyleAttribute(PresentationProperties& props, const SvgDocument& document,
                           const char* text) {
  if (text == nullptr || *text == '\0') return kOk;
  const std::size_t length = std::strlen(text);
  // MyStrtok writes into the text it splits.
  KernelBlock<char> copy(SVGFLT_ALLOC(char, length + 1));
  if (!copy) return kErrNoMemory;
  std::memcpy(copy.get(), text, length);

  MyStrtokReset();
  Status result = kOk;
  Declaration declaration;
  for (char* item = MyStrtok(copy.get(), ";"); item != nullptr; item = MyStrtok(nullptr, ";")) {
    if (!SplitDeclaration(item, true, &declaration)) continue;
    Status status = kOk;
    if (declaration.name[0] == '&' && declaration.value[0] == '\0') {
      // An entity reference the XML reader left in the attribute ("&st0;").
      const char* replacement = FindEntity(document, declaration.name + 1);
      if (replacement != nullptr) status = ParseStyleEntity(props, replacement, document.version);
    } else {
      status = ParseProperty(declaration.name, declaration.value, props, document.version);
    }
    // A bad declaration only loses itself; running out of memory ends the list.
    if (status == kErrNoMemory) {
      result = kErrNoMemory;
      break;
    }
  }
  if (result == kOk) result = MyStrtokStatus();
  MyStrtokReset();
  return result;
}

// --- attribute groups ------------------------------------------------------------------

Status ParseFontAttribute(PropertyMasks& masks, PresentationProperties& props,
                          std::string_view name, const char* value, double version) {
  return ParseGroupAttribute(kFontGroup, masks.font, props, name, value, version);
}
Status ParseTextAttribute(PropertyMasks& masks, PresentationProperties& props,
                          std::string_view name, const char* value, double version) {
  return ParseGroupAttribute(kTextGroup, masks.text, props, name, value, version);
}
Status ParsePaintAttribute(PropertyMasks& masks, PresentationProperties& props,
                           std::string_view name, const char* value, double version) {
  return ParseGroupAttribute(kPaintGroup, masks.paint, props, name, value, version);
}
Status ParseVisualAttribute(PropertyMasks& masks, PresentationProperties& props,
                            std::string_view name, const char* value, double version) {
  return ParseGroupAttribute(kVisualGroup, masks.visual, props, name, value, version);
}
Status ParseColorAttribute(PropertyMasks& masks, PresentationProperties& props,
                           std::string_view name, const char* value, double version) {
  return ParseGroupAttribute(kColorGroup, masks.color, props, name, value, version);
}
Status ParseMarkerAttribute(PropertyMasks& masks, PresentationProperties& props,
                            std::string_view name, const char* value, double version) {
  return ParseGroupAttribute(kMarkerGroup, masks.marker, props, name, value, version);
}
Status ParseStopAttribute(PropertyMasks& masks, PresentationProperties& props,
                          std::string_view name, const char* value, double version) {
  return ParseGroupAttribute(kStopGroup, masks.stop, props, name, value, version);
}
Status ParseClipAttribute(PropertyMasks& masks, PresentationProperties& props,
                          std::string_view name, const char* value, double version) {
  return ParseGroupAttribute(kClipGroup, masks.clip, props, name, value, version);
}
Status ParseWritingModeAttribute(PropertyMasks& masks, PresentationProperties& props,
                                 std::string_view name, const char* value, double version) {
  return ParseGroupAttribute(kWritingModeGroup, masks.writingMode, props, name, value, version);
}
Status ParseLightingColorAttribute(PropertyMasks& masks, PresentationProperties& props,
                                   std::string_view name, const char* value, double version) {
  return ParseGroupAttribute(kLightingColorGroup, masks.lightingColor, props, name, value,
                             version);
}
Status ParseColorProfileAttribute(PropertyMasks& masks, PresentationProperties& props,
                                  std::string_view name, const char* value, double version) {
  return ParseGroupAttribute(kColorProfileGroup, masks.colorProfile, props, name, value,
                             version);
}
Status ParseColorInterpolationFiltersAttribute(PropertyMasks& masks,
                                               PresentationProperties& props,
                                               std::string_view name, const char* value,
                                               double version) {
  return ParseGroupAttribute(kColorInterpolationFiltersGroup, masks.colorInterpolationFilters,
                             props, name, value, version);
}
Status ParseFloodAttribute(PropertyMasks& masks, PresentationProperties& props,
                           std::string_view name, const char* value, double version) {
  return ParseGroupAttribute(kFloodGroup, masks.flood, props, name, value, version);
}
Status ParseEnableBackgroundAttribute(PropertyMasks& masks, PresentationProperties& props,
                                      std::string_view name, const char* value,
                                      double version) {
  return ParseGroupAttribute(kEnableBackgroundGroup, masks.enableBackground, props, name, value,
                             version);
}

Status ParsePresentationAttribute(PropertyMasks& masks, PresentationProperties& props,
                                  std::string_view name, const char* value, double version) {
  using GroupParser = Status (*)(PropertyMasks&, PresentationProperties&, std::string_view,
                                 const char*, double);
  static constexpr GroupParser kGroups[] = {
      ParseColorAttribute,        ParsePaintAttribute,
      ParseVisualAttribute,       ParseFontAttribute,
      ParseTextAttribute,         ParseMarkerAttribute,
      ParseStopAttribute,         ParseClipAttribute,
      ParseWritingModeAttribute,  ParseLightingColorAttribute,
      ParseColorProfileAttribute, ParseColorInterpolationFiltersAttribute,
      ParseFloodAttribute,        ParseEnableBackgroundAttribute,
  };
  for (GroupParser group : kGroups) {
    const Status status = group(masks, props, name, value, version);
    if (status != kErrBadLength) return status;
  }
  return kErrBadLength;
}

}  // namespace svgflt
