// Presentation properties: the record that every graphics, container and
// text element carries, the value parser of each property, the `style`
// attribute, the attribute groups that element parsers offer presentation
// attributes to, and the defaults and inheritance of the record.
//
// Keywords are stored as their index in the property's table below; an index
// one past a table's end marks "not given" where the field notes it. Strings
// are zero-filled kernel blocks owned by the record and released by
// FreePresentationProperties. A value that fails its parser leaves the
// property as it was.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "Common/SvgTypes.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {

struct SvgDocument;

// --- keyword tables (the position of a keyword is the value stored) ------

inline constexpr int32_t kWritingModeCount = 6;
inline constexpr std::array<std::string_view, kWritingModeCount> kWritingModeKeywords{
    "lr-tb", "rl-tb", "tb-rl", "lr", "rl", "tb"};

inline constexpr int32_t kDirectionCount = 2;
inline constexpr std::array<std::string_view, kDirectionCount> kDirectionKeywords{"ltr", "rtl"};

inline constexpr int32_t kUnicodeBidiCount = 3;
inline constexpr std::array<std::string_view, kUnicodeBidiCount> kUnicodeBidiKeywords{
    "normal", "embed", "bidi-override"};

inline constexpr int32_t kTextAnchorCount = 4;
inline constexpr std::array<std::string_view, kTextAnchorCount> kTextAnchorKeywords{
    "start", "middle", "end", "normal"};

inline constexpr int32_t kBaselineShiftCount = 3;
inline constexpr std::array<std::string_view, kBaselineShiftCount> kBaselineShiftKeywords{
    "baseline", "sub", "super"};
// baseline-shift keyword when no keyword applies: not given, or given as a
// length (then BaselineShift::length holds it).
inline constexpr int32_t kBaselineShiftNotKeyword = kBaselineShiftCount;

// "alphbetic" is the stored spelling; the correct one is not accepted.
inline constexpr int32_t kDominantBaselineCount = 15;
inline constexpr std::array<std::string_view, kDominantBaselineCount> kDominantBaselineKeywords{
    "auto",         "autosense-script", "no-change",       "reset-size",       "ideographic",
    "alphbetic",    "hanging",          "mathematical",    "use-script",       "central",
    "middle",       "text-after-edge",  "text-before-edge", "text-top",        "text-bottom"};

inline constexpr int32_t kAlignmentBaselineCount = 11;
inline constexpr std::array<std::string_view, kAlignmentBaselineCount> kAlignmentBaselineKeywords{
    "auto",        "baseline",   "before-edge", "text-before-edge", "middle",      "after-edge",
    "text-after-edge", "ideographic", "alphabetic", "hanging",     "mathematical"};

inline constexpr int32_t kTextDecorationCount = 5;
inline constexpr std::array<std::string_view, kTextDecorationCount> kTextDecorationKeywords{
    "none", "underline", "overline", "line-through", "blink"};

inline constexpr int32_t kSystemFontCount = 6;
inline constexpr std::array<std::string_view, kSystemFontCount> kSystemFontKeywords{
    "caption", "icon", "menu", "message-box", "small-caption", "status-bar"};

inline constexpr int32_t kFontStretchCount = 11;
inline constexpr std::array<std::string_view, kFontStretchCount> kFontStretchKeywords{
    "normal",         "wider",         "narrower",       "ultra-condensed",
    "extra-condensed", "condensed",    "semi-condensed", "semi-expanded",
    "expanded",       "extra-expanded", "ultra-expanded"};

inline constexpr int32_t kFontStyleCount = 3;
inline constexpr std::array<std::string_view, kFontStyleCount> kFontStyleKeywords{
    "normal", "italic", "oblique"};

inline constexpr int32_t kFontVariantCount = 2;
inline constexpr std::array<std::string_view, kFontVariantCount> kFontVariantKeywords{
    "normal", "small-caps"};

inline constexpr int32_t kFontWeightCount = 13;
inline constexpr std::array<std::string_view, kFontWeightCount> kFontWeightKeywords{
    "normal", "bold", "bolder", "lighter", "100", "200", "300",
    "400",    "500",  "600",    "700",     "800", "900"};

inline constexpr int32_t kColorProfileKeywordCount = 2;
inline constexpr std::array<std::string_view, kColorProfileKeywordCount> kColorProfileKeywords{
    "auto", "sRGB"};

inline constexpr int32_t kFillRuleCount = 2;
inline constexpr std::array<std::string_view, kFillRuleCount> kFillRuleKeywords{"nonzero",
                                                                               "evenodd"};
inline constexpr int32_t kFillRuleNotGiven = kFillRuleCount;

inline constexpr int32_t kLineCapCount = 3;
inline constexpr std::array<std::string_view, kLineCapCount> kLineCapKeywords{"butt", "round",
                                                                             "square"};
inline constexpr int32_t kLineCapNotGiven = kLineCapCount;

inline constexpr int32_t kLineJoinCount = 3;
inline constexpr std::array<std::string_view, kLineJoinCount> kLineJoinKeywords{"miter", "round",
                                                                               "bevel"};
inline constexpr int32_t kLineJoinNotGiven = kLineJoinCount;

inline constexpr int32_t kDisplayCount = 17;
inline constexpr std::array<std::string_view, kDisplayCount> kDisplayKeywords{
    "inline",          "block",           "list-item",          "run-in",
    "compact",         "marker",          "table",              "inline-table",
    "table-row-group", "table-header-group", "table-footer-group", "table-row",
    "table-column-group", "table-column", "table-cell",         "table-caption",
    "none"};
inline constexpr int32_t kDisplayNone = 16;
inline constexpr int32_t kDisplayNotGiven = kDisplayCount;

inline constexpr int32_t kVisibilityCount = 3;
inline constexpr std::array<std::string_view, kVisibilityCount> kVisibilityKeywords{
    "visible", "hidden", "collapse"};
inline constexpr int32_t kVisibilityHidden = 1;
inline constexpr int32_t kVisibilityNotGiven = kVisibilityCount;

// color-interpolation and color-interpolation-filters.
inline constexpr int32_t kColorInterpolationCount = 3;
inline constexpr std::array<std::string_view, kColorInterpolationCount>
    kColorInterpolationKeywords{"auto", "sRGB", "linearRGB"};
inline constexpr int32_t kColorInterpolationSrgb = 1;

// color-rendering and image-rendering.
inline constexpr int32_t kRenderingQualityCount = 3;
inline constexpr std::array<std::string_view, kRenderingQualityCount> kRenderingQualityKeywords{
    "auto", "optimizeSpeed", "optimizeQuality"};

inline constexpr int32_t kShapeRenderingCount = 4;
inline constexpr std::array<std::string_view, kShapeRenderingCount> kShapeRenderingKeywords{
    "auto", "optimizeSpeed", "crispEdges", "geometricPrecision"};

inline constexpr int32_t kTextRenderingCount = 4;
inline constexpr std::array<std::string_view, kTextRenderingCount> kTextRenderingKeywords{
    "auto", "optimizeSpeed", "optimizeLegibility", "geometricPrecision"};

// --- "not given" markers of lengths, paints and numbers ------------------

// SvgLength::isPercent of a stroke-width or stroke-dashoffset not given.
inline constexpr int32_t kLengthNotGiven = 2;
// Unit code that inheritance writes into a child's stroke-dashoffset.
inline constexpr int32_t kUnitDashoffsetNotGiven = 9;
// fill-opacity, stroke-opacity and stroke-miterlimit not given.
inline constexpr float kOpacityNotGiven = -1.0f;
inline constexpr double kMiterLimitNotGiven = -1.0;

// --- field records --------------------------------------------------------

// A length that also takes a keyword ("auto" or "normal", by property).
struct KeywordLength {
  SvgLength length;
  int32_t isKeyword;  // 1 when the keyword was given; `length` then means nothing
};

struct BaselineShift {
  int32_t keyword;   // kBaselineShiftKeywords index, or kBaselineShiftNotKeyword
  SvgLength length;  // the shift when given as a length (keyword kBaselineShiftNotKeyword)
};

struct GlyphOrientation {
  SvgAngle angle;
  int32_t isAuto;  // 1 for "auto" (glyph-orientation-vertical only)
};

// FontShorthand::kind.
inline constexpr int32_t kFontNotGiven = 0;
inline constexpr int32_t kFontSystem = 1;  // keyword holds a kSystemFontKeywords index
inline constexpr int32_t kFontText = 2;    // text holds the value as written, trimmed

struct FontShorthand {
  int32_t kind;  // kFont*
  int32_t keyword;
  char* text;
};

struct FontSizeAdjust {
  double value;
  int32_t isNone;  // 1 for "none"
};

// ColorProfile::kind.
inline constexpr int32_t kColorProfileKeyword = 0;    // keyword: 0 auto, 1 sRGB
inline constexpr int32_t kColorProfileReference = 1;  // text: the id of "url(#id)"
inline constexpr int32_t kColorProfileName = 2;       // text: the name as written

struct ColorProfile {
  int32_t kind;  // kColorProfile*
  int32_t keyword;
  char* text;
};

// Kinds of clip-path and marker references.
inline constexpr int32_t kReferenceNone = 0;
inline constexpr int32_t kReferenceUrl = 1;
inline constexpr int32_t kReferenceNotGiven = 2;  // markers only

struct ClipPathReference {
  char* id;      // the id of "url(#id)", or null
  int32_t kind;  // kReferenceNone or kReferenceUrl
};

struct MarkerReference {
  int32_t kind;  // kReference*
  char* id;
};

// DashArray::kind.
inline constexpr int32_t kDashNone = 0;
inline constexpr int32_t kDashList = 1;
inline constexpr int32_t kDashNotGiven = 2;

struct DashArray {
  int32_t count;
  SvgLength* lengths;  // kernel block of `count` lengths, or null
  int32_t kind;        // kDash*
};

// --- the record -----------------------------------------------------------

struct PresentationProperties {
  // Text.
  KeywordLength kerning;        // keyword "auto"
  KeywordLength wordSpacing;    // keyword "normal"
  KeywordLength letterSpacing;  // keyword "normal"
  int32_t writingMode;
  int32_t direction;
  int32_t unicodeBidi;
  int32_t textAnchor;
  BaselineShift baselineShift;
  int32_t dominantBaseline;
  int32_t alignmentBaseline;
  int32_t textDecoration;
  GlyphOrientation glyphOrientationVertical;
  SvgAngle glyphOrientationHorizontal;

  // Font.
  FontShorthand font;
  SvgLength fontSize;
  int32_t fontStyle;
  int32_t fontWeight;
  char* fontFamily;  // trimmed value, or null
  int32_t fontVariant;
  int32_t fontStretch;
  FontSizeAdjust fontSizeAdjust;

  // Colour; a null text with form 0 means not given.
  SvgColor color;
  ColorProfile colorProfile;
  ClipPathReference clipPath;

  // Fill and stroke.
  SvgPaint fill;
  float fillOpacity;  // kOpacityNotGiven when not given; not clamped
  int32_t fillRule;   // kFillRuleNotGiven when not given
  SvgPaint stroke;
  SvgLength strokeWidth;       // isPercent kLengthNotGiven when not given
  SvgLength strokeDashoffset;  // isPercent kLengthNotGiven when not given
  float strokeOpacity;
  double strokeMiterLimit;  // kMiterLimitNotGiven when not given
  int32_t strokeLineCap;    // kLineCapNotGiven when not given
  int32_t strokeLineJoin;   // kLineJoinNotGiven when not given
  DashArray strokeDashArray;

  // Markers.
  MarkerReference marker;
  MarkerReference markerStart;
  MarkerReference markerMid;
  MarkerReference markerEnd;

  // Rendering hints.
  int32_t textRendering;
  int32_t colorRendering;
  int32_t shapeRendering;
  int32_t imageRendering;
  int32_t colorInterpolation;
  int32_t colorInterpolationFilters;

  int32_t display;     // kDisplayNotGiven when not given
  int32_t visibility;  // kVisibilityNotGiven when not given

  // Gradient stops.
  float stopOpacity;
  SvgColor stopColor;

  // Positioning, each "auto" or a length.
  KeywordLength top;
  KeywordLength right;
  KeywordLength bottom;
  KeywordLength left;

  float opacity;
  int32_t clipRule;  // fill-rule keywords; kFillRuleNotGiven when not given
};
static_assert(std::is_trivially_copyable_v<PresentationProperties>);

// Set-once masks of the presentation attribute groups: bit n is the n-th
// name of the group. Element records embed one, zeroed with the record.
struct PropertyMasks {
  uint32_t font;
  uint32_t text;
  uint32_t paint;
  uint32_t visual;
  uint32_t color;
  uint32_t marker;
  uint32_t stop;
  uint32_t clip;  // clip, overflow
  uint32_t writingMode;
  uint32_t lightingColor;
  uint32_t colorProfile;
  uint32_t colorInterpolationFilters;
  uint32_t flood;  // flood-color, flood-opacity
  uint32_t enableBackground;
};
static_assert(std::is_trivially_copyable_v<PropertyMasks>);

// --- defaults, inheritance, release ---------------------------------------

// Sets the defaults: zero, then the not-given markers, font-size 12 (user
// units), fill "black" not given, stop-color "black", opacities 1.0. The
// record must not hold strings. kOk or kErrNoMemory (the record is then
// still safe to free).
[[nodiscard]] Status InitPresentationProperties(PresentationProperties& props);

// Copies the inheritable values of `parent` into `child` (fill, stroke and
// opacity are not copied; fill and stroke are marked not given), duplicating
// strings. kOk or kErrNoMemory (child partly copied, always safe to free).
[[nodiscard]] Status InheritPresentationProperties(PresentationProperties& child,
                                                   const PresentationProperties& parent);

// Frees every string and list of the record and sets the pointers to null.
void FreePresentationProperties(PresentationProperties& props);

// --- declarations ----------------------------------------------------------

// Applies one declaration; the name is compared without regard to case.
// Returns the property parser's code (kOk, kErrBadValue, kErrBadLength,
// kErrMissing, kErrNoMemory), or kOk for a name without effect.
// color-interpolation-filters is applied only when `version` is 1.1.
[[nodiscard]] Status ParseProperty(std::string_view name, const char* value,
                                   PresentationProperties& props, double version);

// Applies every declaration of a `style` attribute ("name:value;..."),
// expanding "&entity;" references from the document's XML entity table.
// A declaration that fails is skipped. Uses and resets the MyStrtok state.
// kOk, or kErrNoMemory when memory ran out (declarations before it stay
// applied).
[[nodiscard]] Status ParseStyleAttribute(PresentationProperties& props,
                                         const SvgDocument& document, const char* text);

// Applies the declarations of an entity's replacement text in a nested
// MyStrtok level, every whitespace character of the values removed: kOk or
// kErrNoMemory.
[[nodiscard]] Status ParseStyleEntity(PresentationProperties& props, const char* text,
                                      double version);

// --- attribute groups -------------------------------------------------------
// Each returns kErrBadLength when `name` (exact, case-sensitive) is not one
// of the group's, kErrDuplicateAttribute when the name was already given on
// the element (the value is not parsed), else the property parser's code.
// A bad value still counts as given. Names without effect return kOk.

// font-family, font-size, font-size-adjust, font-stretch, font-style,
// font-variant, font-weight.
[[nodiscard]] Status ParseFontAttribute(PropertyMasks& masks, PresentationProperties& props,
                                        std::string_view name, const char* value,
                                        double version);
// alignment-baseline, baseline-shift, direction, dominant-baseline,
// glyph-orientation-horizontal, glyph-orientation-vertical, kerning,
// letter-spacing, text-anchor, text-decoration, unicode-bidi, word-spacing.
[[nodiscard]] Status ParseTextAttribute(PropertyMasks& masks, PresentationProperties& props,
                                        std::string_view name, const char* value,
                                        double version);
// fill, fill-opacity, fill-rule, stroke, stroke-dasharray, stroke-dashoffset,
// stroke-linecap, stroke-linejoin, stroke-miterlimit, stroke-opacity,
// stroke-width.
[[nodiscard]] Status ParsePaintAttribute(PropertyMasks& masks, PresentationProperties& props,
                                         std::string_view name, const char* value,
                                         double version);
// clip-path, clip-rule, cursor, display, filter, image-rendering, mask,
// opacity, pointer-events, shape-rendering, text-rendering, visibility.
[[nodiscard]] Status ParseVisualAttribute(PropertyMasks& masks, PresentationProperties& props,
                                          std::string_view name, const char* value,
                                          double version);
// color, color-interpolation, color-rendering.
[[nodiscard]] Status ParseColorAttribute(PropertyMasks& masks, PresentationProperties& props,
                                         std::string_view name, const char* value,
                                         double version);
// marker-start, marker-mid, marker-end, marker.
[[nodiscard]] Status ParseMarkerAttribute(PropertyMasks& masks, PresentationProperties& props,
                                          std::string_view name, const char* value,
                                          double version);
// stop-color, stop-opacity.
[[nodiscard]] Status ParseStopAttribute(PropertyMasks& masks, PresentationProperties& props,
                                        std::string_view name, const char* value,
                                        double version);
// clip, overflow (no effect).
[[nodiscard]] Status ParseClipAttribute(PropertyMasks& masks, PresentationProperties& props,
                                        std::string_view name, const char* value,
                                        double version);
// writing-mode.
[[nodiscard]] Status ParseWritingModeAttribute(PropertyMasks& masks,
                                               PresentationProperties& props,
                                               std::string_view name, const char* value,
                                               double version);
// lighting-color (no effect).
[[nodiscard]] Status ParseLightingColorAttribute(PropertyMasks& masks,
                                                 PresentationProperties& props,
                                                 std::string_view name, const char* value,
                                                 double version);
// color-profile.
[[nodiscard]] Status ParseColorProfileAttribute(PropertyMasks& masks,
                                                PresentationProperties& props,
                                                std::string_view name, const char* value,
                                                double version);
// color-interpolation-filters (applied only when `version` is 1.1).
[[nodiscard]] Status ParseColorInterpolationFiltersAttribute(PropertyMasks& masks,
                                                             PresentationProperties& props,
                                                             std::string_view name,
                                                             const char* value, double version);
// flood-color, flood-opacity (no effect).
[[nodiscard]] Status ParseFloodAttribute(PropertyMasks& masks, PresentationProperties& props,
                                         std::string_view name, const char* value,
                                         double version);
// enable-background (no effect).
[[nodiscard]] Status ParseEnableBackgroundAttribute(PropertyMasks& masks,
                                                    PresentationProperties& props,
                                                    std::string_view name, const char* value,
                                                    double version);

// Offers the name to the colour, paint, visual, font, text, marker, stop and
// single-property groups in turn; the first group that owns it decides.
// kErrBadLength when no group owns the name.
[[nodiscard]] Status ParsePresentationAttribute(PropertyMasks& masks,
                                                PresentationProperties& props,
                                                std::string_view name, const char* value,
                                                double version);

}  // namespace svgflt
