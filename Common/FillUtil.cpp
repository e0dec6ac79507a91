#include "Common/FillUtil.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <mutex>

#include "Common/GeneralUtil.h"
#include "Common/KernelMemory.h"
#include "Platform/Platform.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/FillUtil";

struct NamedColor {
  std::string_view name;  // lower case, at most 31 characters
  uint8_t blue;
  uint8_t green;
  uint8_t red;
};

// The SVG colour keywords in alphabetical order. Deliberate differences from
// the usual list: darkseagreen is (143, 188, 139); of the "grey" spellings
// only lightgrey is known, and lightgray is not.
constexpr std::array<NamedColor, kNamedColorCount> kNamedColors{{
    {"aliceblue", 255, 248, 240},
    {"antiquewhite", 215, 235, 250},
    {"aqua", 255, 255, 0},
    {"aquamarine", 212, 255, 127},
    {"azure", 255, 255, 240},
    {"beige", 220, 245, 245},
    {"bisque", 196, 228, 255},
    {"black", 0, 0, 0},
    {"blanchedalmond", 205, 235, 255},
    {"blue", 255, 0, 0},
    {"blueviolet", 226, 43, 138},
    {"brown", 42, 42, 165},
    {"burlywood", 135, 184, 222},
    {"cadetblue", 160, 158, 95},
    {"chartreuse", 0, 255, 127},
    {"chocolate", 30, 105, 210},
    {"coral", 80, 127, 255},
    {"cornflowerblue", 237, 149, 100},
    {"cornsilk", 220, 248, 255},
    {"crimson", 60, 20, 220},
    {"cyan", 255, 255, 0},
    {"darkblue", 139, 0, 0},
    {"darkcyan", 139, 139, 0},
    {"darkgoldenrod", 11, 134, 184},
    {"darkgray", 169, 169, 169},
    {"darkgreen", 0, 100, 0},
    {"darkkhaki", 107, 183, 189},
    {"darkmagenta", 139, 0, 139},
    {"darkolivegreen", 47, 107, 85},
    {"darkorange", 0, 140, 255},
    {"darkorchid", 204, 50, 153},
    {"darkred", 0, 0, 139},
    {"darksalmon", 122, 150, 233},
    {"darkseagreen", 139, 188, 143},
    {"darkslateblue", 139, 61, 72},
    {"darkslategray", 79, 79, 47},
    {"darkturquoise", 209, 206, 0},
    {"darkviolet", 211, 0, 148},
    {"deeppink", 147, 20, 255},
    {"deepskyblue", 255, 191, 0},
    {"dimgray", 105, 105, 105},
    {"dodgerblue", 255, 144, 30},
    {"firebrick", 34, 34, 178},
    {"floralwhite", 240, 250, 255},
    {"forestgreen", 34, 139, 34},
    {"fuchsia", 255, 0, 255},
    {"gainsboro", 220, 220, 220},
    {"ghostwhite", 255, 248, 248},
    {"gold", 0, 215, 255},
    {"goldenrod", 32, 165, 218},
    {"gray", 128, 128, 128},
    {"green", 0, 128, 0},
    {"greenyellow", 47, 255, 173},
    {"honeydew", 240, 255, 240},
    {"hotpink", 180, 105, 255},
    {"indianred", 92, 92, 205},
    {"indigo", 130, 0, 75},
    {"ivory", 240, 255, 255},
    {"khaki", 140, 230, 240},
    {"lavender", 250, 230, 230},
    {"lavenderblush", 245, 240, 255},
    {"lawngreen", 0, 252, 124},
    {"lemonchiffon", 205, 250, 255},
    {"lightblue", 230, 216, 173},
    {"lightcoral", 128, 128, 240},
    {"lightcyan", 255, 255, 224},
    {"lightgoldenrodyellow", 210, 250, 250},
    {"lightgreen", 144, 238, 144},
    {"lightgrey", 211, 211, 211},
    {"lightpink", 193, 182, 255},
    {"lightsalmon", 122, 160, 255},
    {"lightseagreen", 170, 178, 32},
    {"lightskyblue", 250, 206, 135},
    {"lightslategray", 153, 136, 119},
    {"lightsteelblue", 222, 196, 176},
    {"lightyellow", 224, 255, 255},
    {"lime", 0, 255, 0},
    {"limegreen", 50, 205, 50},
    {"linen", 230, 240, 250},
    {"magenta", 255, 0, 255},
    {"maroon", 0, 0, 128},
    {"mediumaquamarine", 170, 205, 102},
    {"mediumblue", 205, 0, 0},
    {"mediumorchid", 211, 85, 186},
    {"mediumpurple", 219, 112, 147},
    {"mediumseagreen", 113, 179, 60},
    {"mediumslateblue", 238, 104, 123},
    {"mediumspringgreen", 154, 250, 0},
    {"mediumturquoise", 204, 209, 72},
    {"mediumvioletred", 133, 21, 199},
    {"midnightblue", 112, 25, 25},
    {"mintcream", 250, 255, 245},
    {"mistyrose", 225, 228, 255},
    {"moccasin", 181, 228, 255},
    {"navajowhite", 173, 222, 255},
    {"navy", 128, 0, 0},
    {"oldlace", 230, 245, 253},
    {"olive", 0, 128, 128},
    {"olivedrab", 35, 142, 107},
    {"orange", 0, 165, 255},
    {"orangered", 0, 69, 255},
    {"orchid", 214, 112, 218},
    {"palegoldenrod", 170, 232, 238},
    {"palegreen", 152, 251, 152},
    {"paleturquoise", 238, 238, 175},
    {"palevioletred", 147, 112, 219},
    {"papayawhip", 213, 239, 255},
    {"peachpuff", 185, 218, 255},
    {"peru", 63, 133, 205},
    {"pink", 203, 192, 255},
    {"plum", 221, 160, 221},
    {"powderblue", 230, 224, 176},
    {"purple", 128, 0, 128},
    {"red", 0, 0, 255},
    {"rosybrown", 143, 143, 188},
    {"royalblue", 225, 105, 65},
    {"saddlebrown", 19, 69, 139},
    {"salmon", 114, 128, 250},
    {"sandybrown", 96, 164, 244},
    {"seagreen", 87, 139, 46},
    {"seashell", 238, 245, 255},
    {"sienna", 45, 82, 160},
    {"silver", 192, 192, 192},
    {"skyblue", 235, 206, 135},
    {"slateblue", 205, 90, 106},
    {"slategray", 144, 128, 112},
    {"snow", 250, 250, 255},
    {"springgreen", 127, 255, 0},
    {"steelblue", 180, 130, 70},
    {"tan", 140, 180, 210},
    {"teal", 128, 128, 0},
    {"thistle", 216, 191, 216},
    {"tomato", 71, 99, 255},
    {"turquoise", 208, 224, 64},
    {"violet", 238, 130, 238},
    {"wheat", 179, 222, 245},
    {"white", 255, 255, 255},
    {"whitesmoke", 245, 245, 245},
    {"yellow", 0, 255, 255},
    {"yellowgreen", 50, 205, 154},
}};

struct SystemColor {
  std::string_view name;  // as stored; lookups ignore case
  int32_t index;          // GetSysColor index
};

// The windowing system's colours, in table order after the keywords.
constexpr std::array<SystemColor, kSystemColorCount> kSystemColors{{
    {"activeborder", 10},    {"activecaption", 2},        {"appworkspace", 12},
    {"Background", 1},       {"buttonface", 15},          {"buttonhighlight", 20},
    {"buttonshadow", 16},    {"Buttontext", 18},          {"captiontext", 9},
    {"graytext", 17},        {"highlight", 13},           {"Highlighttext", 14},
    {"inactiveborder", 11},  {"inactivecaption", 3},      {"inactivecaptiontext", 19},
    {"Infobackground", 24},  {"infotext", 23},            {"menu", 4},
    {"menutext", 7},         {"Scrollbar", 0},            {"threeddarkshadow", 21},
    {"threedface", 15},      {"threedhighlight", 20},     {"Threedlightshadow", 15},
    {"threedshadow", 16},    {"window", 5},               {"windowframe", 6},
    {"Windowtext", 8},
}};

// No table name is longer than this.
constexpr std::size_t kMaxColorName = 31;

constexpr char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// The keyword table is searched by bisection, which needs lower-case,
// strictly ascending names; that also makes the first match the only one.
constexpr bool NamedColorsSorted() {
  for (std::size_t i = 0; i < kNamedColors.size(); ++i) {
    if (kNamedColors[i].name.size() > kMaxColorName) return false;
    for (char c : kNamedColors[i].name) {
      if (Lower(c) != c) return false;
    }
    if (i > 0 && !(kNamedColors[i - 1].name < kNamedColors[i].name)) return false;
  }
  return true;
}
static_assert(NamedColorsSorted());

// System colours, sampled from the windowing system on the first lookup.
std::array<uint32_t, kSystemColorCount> systemValues{};
std::once_flag systemValuesOnce;

void SampleSystemColors() {
  for (std::size_t i = 0; i < kSystemColors.size(); ++i) {
    systemValues[i] = GetSysColor(kSystemColors[i].index) & 0x00FFFFFFu;
  }
}

constexpr std::array<std::string_view, 2> kPaintKeywords{"none", "currentColor"};
static_assert(kPaintNone == 0 && kPaintCurrentColor == 1);

constexpr std::string_view kDefaultColorName = "black";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

uint32_t Component(const SvgNumberPercent& value) {
  const double scaled = value.isPercent != 0 ? value.value * 255.0 / 100.0 : value.value;
  // Out-of-range components are clamped rather than wrapped.
  return static_cast<uint32_t>(std::lround(std::clamp(scaled, 0.0, 255.0)));
}

// Replaces the colour's text with a copy of `text`, tagged with this file.
Status StoreColorText(std::string_view text, SvgColor* color) {
  // A held text of the same length is overwritten in place: its block fits.
  if (color->text != nullptr && std::strlen(color->text) == text.size()) {
    std::memcpy(color->text, text.data(), text.size());
    return kOk;
  }
  char* copy = SVGFLT_ALLOC(char, text.size() + 1);
  if (copy == nullptr) return kErrNoMemory;
  std::memcpy(copy, text.data(), text.size());
  KernelRelease(color->text);
  color->text = copy;
  return kOk;
}

// Hexadecimal, rgb() and name forms shared by paints and colours; with a
// paint, a "url(#id)" reference is tried before the name.
Status ParseColorForms(std::string_view text, SvgColor* color, SvgPaint* paint) {
  if (!text.empty() && text.front() == '#') {
    const Status status = StoreColorText(text, color);
    if (status != kOk) return status;
    color->colorForm = kColorFormHex;
    return kOk;
  }
  if (ParseRgb(text, color) == kOk) return kOk;
  constexpr std::string_view kUrlPrefix = "url(#";
  if (paint != nullptr && StartsWithNoCase(text, kUrlPrefix)) {
    const Status status = CopyBeforeParen(text.substr(kUrlPrefix.size()), &color->text);
    if (status == kOk) {
      paint->paintKind = kPaintServer;
      return kOk;
    }
    if (status != kErrBadValue) return status;
  }
  const Status status = StoreColorText(text, color);
  if (status != kOk) return status;
  color->colorForm = kColorFormName;
  return kOk;
}

}  // namespace

Status InitColor(SvgColor* color) {
  *color = SvgColor{};
  color->colorForm = kColorFormName;
  return StoreColorText(kDefaultColorName, color);
}

Status InitPaint(SvgPaint* paint) {
  *paint = SvgPaint{};
  paint->paintKind = kPaintNotGiven;
  return InitColor(&paint->color);
}

void FreeColor(SvgColor* color) { FreeString(&color->text); }

void FreePaint(SvgPaint* paint) { FreeColor(&paint->color); }

Status ParsePaint(const char* text, SvgPaint* paint) {
  if (text == nullptr || paint == nullptr) return kErrMissing;
  paint->paintKind = kPaintColor;
  int32_t keyword = 0;
  if (LookupKeyword(text, kPaintKeywords, &keyword) == kOk) {
    paint->paintKind = keyword;
    FreeString(&paint->color.text);
    return kOk;
  }
  return ParseColorForms(text, &paint->color, paint);
}

Status ParseColor(const char* text, SvgColor* color) {
  if (text == nullptr || color == nullptr) return kErrMissing;
  return ParseColorForms(text, color, nullptr);
}

Status ParseRgb(std::string_view text, SvgColor* color) {
  constexpr std::string_view kRgbPrefix = "rgb(";
  if (!StartsWithNoCase(text, kRgbPrefix) || text.back() != ')') return kErrBadValue;
  std::string_view rest = text.substr(kRgbPrefix.size());
  SvgNumberPercent components[3] = {};
  int count = 0;
  for (std::string_view item = NextToken(rest, ",)"); !item.empty(); item = NextToken(rest, ",)")) {
    if (count == 3 || ParseNumberPercent(item, &components[count]) != kOk) return kErrBadValue;
    ++count;
  }
  color->red = components[0];
  color->green = components[1];
  color->blue = components[2];
  color->colorForm = kColorFormRgb;
  FreeString(&color->text);
  return kOk;
}

uint32_t LookupColorName(std::string_view name, bool* found) {
  std::call_once(systemValuesOnce, SampleSystemColors);
  if (found != nullptr) *found = false;
  if (name.size() > kMaxColorName) return 0;
  // Folded once to lower case, the name compares as plain bytes.
  char folded[kMaxColorName];
  for (std::size_t i = 0; i < name.size(); ++i) folded[i] = Lower(name[i]);
  const std::string_view key(folded, name.size());

  const auto named = std::lower_bound(
      kNamedColors.begin(), kNamedColors.end(), key,
      [](const NamedColor& entry, std::string_view text) { return entry.name < text; });
  if (named != kNamedColors.end() && named->name == key) {
    if (found != nullptr) *found = true;
    return static_cast<uint32_t>(named->red) | (static_cast<uint32_t>(named->green) << 8) |
           (static_cast<uint32_t>(named->blue) << 16);
  }
  for (std::size_t i = 0; i < kSystemColors.size(); ++i) {
    if (EqualsNoCase(key, kSystemColors[i].name)) {
      if (found != nullptr) *found = true;
      return systemValues[i];
    }
  }
  return 0;
}

bool ColorToRef(const SvgColor& color, uint32_t* out) {
  if (color.colorForm == kColorFormRgb) {
    *out = Component(color.red) | (Component(color.green) << 8) | (Component(color.blue) << 16);
    return true;
  }
  if (color.text == nullptr) return false;
  // Whitespace around the stored text does not change the colour.
  const std::string_view text = TrimView(color.text);
  if (color.colorForm == kColorFormHex) {
    const std::string_view digits = text.substr(std::min<std::size_t>(1, text.size()));
    uint32_t rgb = 0;
    if (digits.size() == 3 && HexDigit(digits[0]) >= 0 && HexDigit(digits[1]) >= 0 &&
        HexDigit(digits[2]) >= 0) {
      for (char c : digits) rgb = (rgb << 8) | static_cast<uint32_t>(HexDigit(c) * 17);
    } else {
      // The leading hex digits as one number; beyond six digits only the
      // low 24 bits count.
      std::size_t n = 0;
      for (; n < digits.size() && HexDigit(digits[n]) >= 0; ++n) {
        rgb = ((rgb << 4) | static_cast<uint32_t>(HexDigit(digits[n]))) & 0x00FFFFFFu;
      }
      if (n == 0) return false;
    }
    *out = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    return true;
  }
  bool found = false;
  const uint32_t value = LookupColorName(text, &found);
  if (found) *out = value;
  return found;
}

}  // namespace svgflt
