// Text layout with fontconfig, FreeType and cairo: the face named by a
// text object's LOGFONT, its measurements and its glyph outlines.
#include "VkText.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <new>
#include <numbers>
#include <string>
#include <tuple>
#include <unordered_map>

namespace vk {
namespace {

// Glyphs are laid out at this size (in font units of the layout space) and
// scaled down afterwards, so cairo's fixed-point path coordinates keep
// their precision for any font size. Hinting is off: outlines and
// advances then scale linearly.
constexpr double kLayoutSize = 1000.0;

std::string Utf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The family to ask fontconfig for: the generic SVG names map onto
// fontconfig's generic families; an empty name is the sans-serif default.
std::string FamilyName(const VectorLogFont& font) {
  size_t n = 0;
  while (n < 32 && font.faceName[n] != u'\0') ++n;
  std::string name = Utf8(std::u16string(font.faceName, n));
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch + 32) : ch; });
  if (lower.empty() || lower == "sansserif" || lower == "sans-serif" || lower == "sans") {
    return "Sans";
  }
  if (lower == "serif") return "Serif";
  if (lower == "monospace" || lower == "mono") return "Monospace";
  return name;
}

using FaceKey = std::tuple<std::string, bool, bool>;  // family, bold, italic

struct FaceEntry {
  cairo_font_face_t* face = nullptr;
  cairo_scaled_font_t* font = nullptr;  // at kLayoutSize, unhinted
};

std::mutex gFaceMutex;
std::map<FaceKey, FaceEntry>& FaceCache() {
  static auto* cache = new std::map<FaceKey, FaceEntry>;  // lives as long as the process
  return *cache;
}

cairo_font_face_t* MatchFace(const std::string& family, bool bold, bool italic) {
  FcPattern* pattern = FcPatternCreate();
  if (pattern) {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match) {
      cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(match);
      FcPatternDestroy(match);
      if (cairo_font_face_status(face) == CAIRO_STATUS_SUCCESS) return face;
      cairo_font_face_destroy(face);
    }
  }
  // Without a match cairo's own lookup still finds some face.
  return cairo_toy_font_face_create(family.c_str(),
                                    italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                                    bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
}

// The unhinted layout font of a LOGFONT (weight 600 and above is bold);
// null when cairo cannot make one. Owned by the cache.
cairo_scaled_font_t* LayoutFont(const VectorLogFont& font) {
  FaceKey key{FamilyName(font), font.weight >= 600, font.italic != 0};
  std::lock_guard<std::mutex> lock(gFaceMutex);
  auto& cache = FaceCache();
  auto it = cache.find(key);
  if (it != cache.end()) return it->second.font;
  FaceEntry entry;
  entry.face = MatchFace(std::get<0>(key), std::get<1>(key), std::get<2>(key));
  cairo_matrix_t size, ctm;
  cairo_matrix_init_scale(&size, kLayoutSize, kLayoutSize);
  cairo_matrix_init_identity(&ctm);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  entry.font = cairo_scaled_font_create(entry.face, &size, &ctm, options);
  cairo_font_options_destroy(options);
  if (cairo_scaled_font_status(entry.font) != CAIRO_STATUS_SUCCESS) {
    cairo_scaled_font_destroy(entry.font);
    cairo_font_face_destroy(entry.face);
    return nullptr;
  }
  cache.emplace(std::move(key), entry);
  return entry.font;
}

// Size of the text in document units: the object's font size, else the
// LOGFONT height.
double TextSize(const Object& o) {
  if (o.fontSize > 0 && std::isfinite(o.fontSize)) return o.fontSize;
  return std::fabs(static_cast<double>(o.font.height));
}

// Layout of one text object in the layout space (y down, baseline through
// the origin, kLayoutSize units per em), and the map into the document.
struct Layout {
  cairo_scaled_font_t* font = nullptr;
  std::string utf8;
  double startX = 0;  // pen start after horizontal alignment
  double advance = 0;
  double ascent = 0, descent = 0;
  double scale = 0;   // document units per layout unit
  double cosE = 1, sinE = 0;
  double originX = 0, originY = 0;

  // Document point of a layout point: scaled, turned counter-clockwise by
  // the escapement about the anchor, layout y (down) turned to kernel y (up).
  void Place(double u, double v, KernelPoint* out) const {
    u *= scale;
    v *= scale;
    *out = KernelPoint{};
    out->x = originX + u * cosE + v * sinE;
    out->y = originY + u * sinE - v * cosE;
  }
};

// Advance of a string and the font's ascent and descent, in layout units.
struct Metrics {
  double advance = 0, ascent = 0, descent = 0;
};

// Bounds are recomputed often (after every transform of an object), so the
// measurements are kept per face and string; the cache is emptied when it
// grows past kMetricsCacheLimit entries.
constexpr size_t kMetricsCacheLimit = 8192;

struct MetricsKey {
  std::u16string face;
  bool bold = false, italic = false;
  std::u16string text;
  bool operator==(const MetricsKey&) const = default;
};

struct MetricsKeyHash {
  size_t operator()(const MetricsKey& k) const {
    const std::hash<std::u16string> h;
    return h(k.text) ^ (h(k.face) * 31) ^ (static_cast<size_t>(k.bold) << 1) ^
           static_cast<size_t>(k.italic);
  }
};

std::unordered_map<MetricsKey, Metrics, MetricsKeyHash>& MetricsCache() {
  static auto* cache = new std::unordered_map<MetricsKey, Metrics, MetricsKeyHash>;
  return *cache;
}

Metrics Measure(cairo_scaled_font_t* font, const std::string& utf8) {
  cairo_text_extents_t text;
  cairo_scaled_font_text_extents(font, utf8.c_str(), &text);
  cairo_font_extents_t extents;
  cairo_scaled_font_extents(font, &extents);
  return Metrics{text.x_advance, extents.ascent, extents.descent};
}

// Metrics of a text object, from the cache when it was measured before.
bool CachedMetrics(const Object& o, Metrics* out) {
  size_t n = 0;
  while (n < 32 && o.font.faceName[n] != u'\0') ++n;
  MetricsKey key{std::u16string(o.font.faceName, n), o.font.weight >= 600, o.font.italic != 0,
                 o.text};
  {
    std::lock_guard<std::mutex> lock(gFaceMutex);
    auto it = MetricsCache().find(key);
    if (it != MetricsCache().end()) {
      *out = it->second;
      return true;
    }
  }
  cairo_scaled_font_t* font = LayoutFont(o.font);
  if (!font) return false;
  *out = Measure(font, Utf8(o.text));
  std::lock_guard<std::mutex> lock(gFaceMutex);
  auto& cache = MetricsCache();
  if (cache.size() >= kMetricsCacheLimit) cache.clear();
  cache.emplace(std::move(key), *out);
  return true;
}

// False when there is nothing to lay out. With `withFont` the layout also
// gets the font and the UTF-8 text for drawing glyphs.
bool MakeLayout(const Object& o, Layout* layout, bool withFont) {
  if (o.type != kVoText || o.points.empty() || o.text.empty()) return false;
  const double size = TextSize(o);
  if (!(size > 0)) return false;
  Metrics m;
  if (withFont) {
    layout->font = LayoutFont(o.font);
    if (!layout->font) return false;
    layout->utf8 = Utf8(o.text);
    m = Measure(layout->font, layout->utf8);
  } else if (!CachedMetrics(o, &m)) {
    return false;
  }
  layout->advance = m.advance;
  layout->ascent = m.ascent;
  layout->descent = m.descent;
  // The anchor is the start, end or middle of the baseline. The vertical
  // centring bit is not applied here: the load side sets it on ordinary
  // runs whose anchor is the SVG baseline, so the text stays on it.
  switch (o.alignment & kAlignHorizontalMask) {
    case kAlignEnd:
      layout->startX = -layout->advance;
      break;
    case kAlignMiddle:
      layout->startX = -layout->advance / 2;
      break;
    default:
      layout->startX = 0;
      break;
  }
  layout->scale = size / kLayoutSize;
  const double angle = o.escapement / 10.0 * std::numbers::pi / 180.0;
  layout->cosE = std::cos(angle);
  layout->sinE = std::sin(angle);
  layout->originX = o.points[0].x;
  layout->originY = o.points[0].y;
  return true;
}

// Underline offset below the baseline and thickness, in layout units.
void UnderlineMetrics(cairo_scaled_font_t* font, double* offset, double* thickness) {
  *offset = 0.1 * kLayoutSize;
  *thickness = 0.05 * kLayoutSize;
  if (cairo_scaled_font_get_type(font) != CAIRO_FONT_TYPE_FT) return;
  std::lock_guard<std::mutex> lock(gFaceMutex);
  FT_Face face = cairo_ft_scaled_font_lock_face(font);
  if (face && face->units_per_EM > 0 && face->underline_thickness > 0) {
    *offset = -face->underline_position * kLayoutSize / face->units_per_EM;
    *thickness = face->underline_thickness * kLayoutSize / face->units_per_EM;
  }
  cairo_ft_scaled_font_unlock_face(font);
}

// Sum of the signed areas of all figures, control points taken as corners:
// its sign is the turning direction of the outer contours.
double SignedArea(const std::vector<KernelPoint>& points, const std::vector<uint8_t>& kinds) {
  double area = 0;
  size_t start = 0;
  for (size_t i = 0; i <= points.size(); ++i) {
    const bool figureEnds = i == points.size() || (kinds[i] & kPtMoveTo) == kPtMoveTo;
    if (figureEnds && i > start) {
      for (size_t j = start; j < i; ++j) {
        const KernelPoint& a = points[j];
        const KernelPoint& b = points[j + 1 < i ? j + 1 : start];
        area += a.x * b.y - b.x * a.y;
      }
      start = i;
    }
  }
  return area / 2;
}

}  // namespace

bool TextLayoutExtent(const Object& object, KernelPoint* lower, KernelPoint* upper) {
  Layout layout;
  try {
    if (!MakeLayout(object, &layout, false)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  const double us[2] = {layout.startX, layout.startX + layout.advance};
  const double vs[2] = {-layout.ascent, layout.descent};
  bool first = true;
  for (double u : us) {
    for (double v : vs) {
      KernelPoint p;
      layout.Place(u, v, &p);
      if (first) {
        *lower = *upper = p;
        first = false;
      } else {
        lower->x = std::min(lower->x, p.x);
        lower->y = std::min(lower->y, p.y);
        upper->x = std::max(upper->x, p.x);
        upper->y = std::max(upper->y, p.y);
      }
    }
  }
  lower->z = upper->z = 0;
  lower->word = upper->word = 0;
  return true;
}

int32_t TextOutline(const Object& object, std::vector<KernelPoint>& points,
                    std::vector<uint8_t>& kinds) {
  if (object.type != kVoText) return kVkErrArgument;
  Layout layout;
  try {
    if (!MakeLayout(object, &layout, true)) return kVkOk;  // nothing to draw
  } catch (const std::bad_alloc&) {
    return kVkErrNoMemory;
  }

  // An unbounded surface: on a bounded one cairo drops glyphs that fall
  // outside it, even when only building a path.
  cairo_surface_t* surface = cairo_recording_surface_create(CAIRO_CONTENT_ALPHA, nullptr);
  cairo_t* cr = cairo_create(surface);
  cairo_set_scaled_font(cr, layout.font);
  cairo_move_to(cr, layout.startX, 0);
  cairo_text_path(cr, layout.utf8.c_str());
  cairo_path_t* path = cairo_copy_path(cr);
  int32_t status = kVkOk;
  if (!path || path->status != CAIRO_STATUS_SUCCESS) {
    status = (path && path->status == CAIRO_STATUS_NO_MEMORY) ? kVkErrNoMemory : kVkErrFailed;
  } else {
    try {
      bool lastWasMove = false;
      for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
        const cairo_path_data_t* d = &path->data[i];
        KernelPoint p;
        switch (d->header.type) {
          case CAIRO_PATH_MOVE_TO:
            layout.Place(d[1].point.x, d[1].point.y, &p);
            if (lastWasMove) {
              points.back() = p;  // a move straight after a move replaces it
            } else {
              points.push_back(p);
              kinds.push_back(kPtMoveTo);
            }
            lastWasMove = true;
            break;
          case CAIRO_PATH_LINE_TO:
            layout.Place(d[1].point.x, d[1].point.y, &p);
            points.push_back(p);
            kinds.push_back(kPtLineTo);
            lastWasMove = false;
            break;
          case CAIRO_PATH_CURVE_TO:
            for (int j = 1; j <= 3; ++j) {
              layout.Place(d[j].point.x, d[j].point.y, &p);
              points.push_back(p);
              kinds.push_back(kPtBezierTo);
            }
            lastWasMove = false;
            break;
          case CAIRO_PATH_CLOSE_PATH:
            if (!kinds.empty() && !lastWasMove) kinds.back() |= kPtCloseFigure;
            break;
        }
      }
      // A dangling move at the end draws nothing.
      if (lastWasMove && !points.empty()) {
        points.pop_back();
        kinds.pop_back();
      }
      if (object.font.underline && layout.advance > 0) {
        double offset = 0, thickness = 0;
        UnderlineMetrics(layout.font, &offset, &thickness);
        const double u0 = layout.startX, u1 = layout.startX + layout.advance;
        const double v0 = offset - thickness / 2, v1 = offset + thickness / 2;
        // The bar turns the same way as the glyphs' outer contours, so
        // where a descender crosses it the winding fill stays solid.
        // In this order the bar runs counter-clockwise (positive area).
        const bool reverse = SignedArea(points, kinds) < 0;
        const double us[4] = {u0, u1, u1, u0};
        const double vs[4] = {v1, v1, v0, v0};
        for (int j = 0; j < 4; ++j) {
          const int k = reverse ? 3 - j : j;
          KernelPoint p;
          layout.Place(us[k], vs[k], &p);
          points.push_back(p);
          kinds.push_back(j == 0 ? kPtMoveTo : kPtLineTo);
        }
        kinds.back() |= kPtCloseFigure;
      }
    } catch (const std::bad_alloc&) {
      status = kVkErrNoMemory;
    }
  }
  cairo_path_destroy(path);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return status;
}

}  // namespace vk
