// Bounds of the vector kernel's objects and of the whole document, in
// kernel coordinates (y up, document units).
#include <algorithm>
#include <cmath>

#include "VkDocument.h"
#include "VkStore.h"
#include "VkText.h"

namespace vk {
namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;

// Axis-aligned box grown point by point.
struct Box {
  KernelPoint lower{};
  KernelPoint upper{};
  bool empty = true;

  void Add(double x, double y, double z) {
    if (empty) {
      lower = KernelPoint{x, y, z, 0};
      upper = lower;
      empty = false;
      return;
    }
    lower.x = std::min(lower.x, x);
    lower.y = std::min(lower.y, y);
    lower.z = std::min(lower.z, z);
    upper.x = std::max(upper.x, x);
    upper.y = std::max(upper.y, y);
    upper.z = std::max(upper.z, z);
  }
  void Add(const KernelPoint& p) { Add(p.x, p.y, p.z); }

  bool Report(KernelPoint* lo, KernelPoint* hi) const {
    if (empty) return false;
    *lo = lower;
    *hi = upper;
    return true;
  }
};

// Adds the four corners of the rectangle (x0, y0)-(x1, y1), turned by
// `degrees` counter-clockwise about (cx, cy) and then moved by (dx, dy).
void AddTurnedRect(Box& box, double x0, double y0, double x1, double y1, double cx,
                   double cy, double degrees, double dx, double dy, double z) {
  const double c = std::cos(degrees * kRadiansPerDegree);
  const double s = std::sin(degrees * kRadiansPerDegree);
  const double xs[4] = {x0, x1, x1, x0};
  const double ys[4] = {y0, y0, y1, y1};
  for (int i = 0; i < 4; ++i) {
    const double rx = xs[i] - cx;
    const double ry = ys[i] - cy;
    box.Add(cx + rx * c - ry * s + dx, cy + rx * s + ry * c + dy, z);
  }
}

// Box of an ellipse with radii (rx, ry) turned by `degrees` about its centre.
void AddTurnedEllipse(Box& box, const KernelPoint& centre, double rx, double ry,
                      double degrees) {
  const double c = std::cos(degrees * kRadiansPerDegree);
  const double s = std::sin(degrees * kRadiansPerDegree);
  const double ex = std::hypot(rx * c, ry * s);
  const double ey = std::hypot(rx * s, ry * c);
  box.Add(centre.x - ex, centre.y - ey, centre.z);
  box.Add(centre.x + ex, centre.y + ey, centre.z);
}

// Characters of UTF-16 text: a surrogate pair counts once.
size_t CharacterCount(const std::u16string& text) {
  size_t n = 0;
  for (char16_t unit : text) {
    if (unit < 0xDC00 || unit > 0xDFFF) ++n;
  }
  return n;
}

bool IsClipEnd(const Object& object) {
  return object.type == kVoPath && (object.flags & kVoFlagClipEnd) != 0;
}

// The box of a clip outline cut by the clip open around it (if any).
Extent ClipBox(const Object& clip, const std::vector<Extent>& open) {
  Box box;
  for (const KernelPoint& p : clip.points) box.Add(p);
  Extent clipped{box.lower, box.upper, !box.empty};
  if (!open.empty()) {
    const Extent& outer = open.back();
    clipped.lower.x = std::max(clipped.lower.x, outer.lower.x);
    clipped.lower.y = std::max(clipped.lower.y, outer.lower.y);
    clipped.upper.x = std::min(clipped.upper.x, outer.upper.x);
    clipped.upper.y = std::min(clipped.upper.y, outer.upper.y);
    clipped.any = clipped.any && outer.any;
  }
  clipped.any = clipped.any && clipped.lower.x <= clipped.upper.x &&
                clipped.lower.y <= clipped.upper.y;
  return clipped;
}

void OpenOrEndClip(std::vector<Extent>& open, const Object& object) {
  if (object.type == kVoClip) {
    open.push_back(ClipBox(object, open));
  } else if (IsClipEnd(object) && !open.empty()) {
    open.pop_back();
  }
}

// The object's box cut by the innermost open clip; false when none of it
// shows.
bool ShownBounds(const Object& object, const std::vector<Extent>& open, KernelPoint* lower,
                 KernelPoint* upper) {
  if (!ObjectBounds(object, lower, upper)) return false;
  if (open.empty()) return true;
  const Extent& clip = open.back();
  if (!clip.any) return false;
  lower->x = std::max(lower->x, clip.lower.x);
  lower->y = std::max(lower->y, clip.lower.y);
  upper->x = std::min(upper->x, clip.upper.x);
  upper->y = std::min(upper->y, clip.upper.y);
  return lower->x <= upper->x && lower->y <= upper->y;
}

}  // namespace

// Metrics of a generic proportional font, relative to its size: mean advance
// per character, ascent above and descent below the baseline. Good enough to
// place runs one after the other and to size a drawing.
bool TextExtent(const Object& object, KernelPoint* lower, KernelPoint* upper) {
  // The font's own advances and ascent where the font engine is built in.
  if (TextLayoutExtent(object, lower, upper)) return true;
  if (object.points.empty()) return false;
  const size_t count = CharacterCount(object.text);
  if (count == 0) return false;
  constexpr double kAdvance = 0.6, kAscent = 0.8, kDescent = 0.2;
  const double size = std::fabs(object.fontSize);
  const double width = kAdvance * size * static_cast<double>(count);

  double left = 0.0;
  switch (object.alignment & kAlignHorizontalMask) {
    case kAlignEnd: left = -width; break;
    case kAlignMiddle: left = -width / 2.0; break;
    default: break;
  }
  // The text sits on its baseline whatever the centring bit says, as the
  // painter draws it.
  const double bottom = -kDescent * size;
  const double top = kAscent * size;

  const KernelPoint& at = object.points.front();
  Box box;
  AddTurnedRect(box, left, bottom, left + width, top, 0.0, 0.0, object.escapement / 10.0,
                at.x, at.y, at.z);
  return box.Report(lower, upper);
}

bool ObjectBounds(const Object& object, KernelPoint* lower, KernelPoint* upper) {
  Box box;
  switch (object.type) {
    case kVoPoint:
    case kVoLine:
    case kVoRect:
    case kVoPolyline:
    case kVoBezier:
    case kVoPolygon:
    case kVoPolyBezier:
    case kVoClosedBezier:
    case kVoPath:
    case kVoSpline:
    case kVoClosedSpline:
      // Curves stay inside the hull of their control points.
      for (const KernelPoint& p : object.points) box.Add(p);
      break;
    case kVoEllipse:
    case kVoCircle:
      if (object.points.empty()) return false;
      {
        const KernelPoint& c = object.points.front();
        const double rx = std::fabs(object.rx);
        const double ry = std::fabs(object.type == kVoCircle ? object.rx : object.ry);
        box.Add(c.x - rx, c.y - ry, c.z);
        box.Add(c.x + rx, c.y + ry, c.z);
      }
      break;
    case kVoArc:
    case kVoPie:
      // The whole (turned) ellipse: a safe box for any part of it.
      if (object.points.empty()) return false;
      AddTurnedEllipse(box, object.points.front(), std::fabs(object.rx), std::fabs(object.ry),
                       object.rotation);
      break;
    case kVoText:
      return TextExtent(object, lower, upper);
    case kVoRaster:
      if (object.points.size() < 2) return false;
      {
        const KernelPoint& a = object.points[0];
        const KernelPoint& b = object.points[1];
        AddTurnedRect(box, a.x, a.y, b.x, b.y, (a.x + b.x) / 2.0, (a.y + b.y) / 2.0,
                      object.rotation, 0.0, 0.0, a.z);
      }
      break;
    default:
      return false;  // clips and group objects take no room
  }
  return box.Report(lower, upper);
}

Extent CurrentExtent(const VectorDocument& document, const Document& doc) {
  return Extent{document.lowerBound, document.upperBound, doc.hasBounds};
}

bool BoundsAsKernelSet(const VectorDocument& document, const Document& doc) {
  const auto same = [](const KernelPoint& a, const KernelPoint& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
  };
  return doc.hasBounds == doc.kernelBounds.any &&
         same(document.lowerBound, doc.kernelBounds.lower) &&
         same(document.upperBound, doc.kernelBounds.upper);
}

void TrackClip(Document& doc, const Object& object) {
  if (object.type == kVoClip) ++doc.clipObjects;
  OpenOrEndClip(doc.openClips, object);
}

void AddObjectBounds(VectorDocument* document, Document& doc, const Object& object) {
  KernelPoint lo{}, hi{};
  if (!ShownBounds(object, doc.openClips, &lo, &hi)) return;
  if (!doc.hasBounds) {
    document->lowerBound = lo;
    document->upperBound = hi;
    doc.hasBounds = true;
  } else {
    Box box;
    box.Add(document->lowerBound);
    box.Add(document->upperBound);
    box.Add(lo);
    box.Add(hi);
    document->lowerBound = box.lower;
    document->upperBound = box.upper;
  }
  doc.kernelBounds = CurrentExtent(*document, doc);
}

void UpdateBounds(VectorDocument* document) {
  Document* doc = Impl(document);
  if (!doc) return;
  Box box;
  std::vector<Extent> open;
  for (const Object& object : doc->objects) {
    OpenOrEndClip(open, object);
    KernelPoint lo{}, hi{};
    if (!ShownBounds(object, open, &lo, &hi)) continue;
    box.Add(lo);
    box.Add(hi);
  }
  doc->openClips = std::move(open);
  doc->hasBounds = !box.empty;
  document->lowerBound = box.lower;
  document->upperBound = box.upper;
  doc->kernelBounds = CurrentExtent(*document, *doc);
}

}  // namespace vk

extern "C" {

VK_API int32_t VectorGetObjectExtent(VectorDocument* document, VectorObjectRef object,
                                     KernelPoint* lower, KernelPoint* upper) {
  vk::Document* doc = vk::Impl(document);
  if (!doc || !lower || !upper) return kVkErrArgument;
  const vk::Object* found = vk::FindObject(*doc, object);
  if (!found) return kVkErrNoObject;
  KernelPoint lo{}, hi{};
  if (!vk::ObjectBounds(*found, &lo, &hi)) return kVkErrFailed;
  *lower = lo;
  *upper = hi;
  return kVkOk;
}

}  // extern "C"
