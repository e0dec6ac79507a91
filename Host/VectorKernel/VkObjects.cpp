// The vector kernel's objects: default records, adding (deep copies of the
// caller's records), clips, enumeration and descriptions, pen and brush
// values.
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "ImagingKernel/ImagingKernel.h"
#include "VkDocument.h"
#include "VkStore.h"

namespace vk {

VectorObjectRef StoreObject(VectorDocument* document, Document& doc, Object&& object) {
  object.id = doc.nextObjectId;
  doc.objects.push_back(std::move(object));
  ++doc.nextObjectId;  // only once stored, so a failed add leaves no hole
  // Bounds set by the host itself are not the objects' own: then the next
  // change of this object measures all objects again, as any other change.
  const bool known = BoundsAsKernelSet(*document, doc);
  doc.withoutNewest = CurrentExtent(*document, doc);
  TrackClip(doc, doc.objects.back());
  AddObjectBounds(document, doc, doc.objects.back());
  doc.newest = known ? doc.objects.back().id : 0;
  return doc.objects.back().id;
}

namespace {

// sizeof the record of each type; 0 for codes the kernel does not know.
size_t RecordSize(int32_t type) {
  switch (type) {
    case kVoPoint: return sizeof(VectorPointObject);
    case kVoLine: return sizeof(VectorLineObject);
    case kVoRect: return sizeof(VectorRectObject);
    case kVoPolyline:
    case kVoBezier:
    case kVoPolyBezier:
    case kVoSpline: return sizeof(VectorPolylineObject);
    case kVoPolygon:
    case kVoClosedBezier:
    case kVoClosedSpline: return sizeof(VectorPolygonObject);
    case kVoEllipse: return sizeof(VectorEllipseObject);
    case kVoCircle: return sizeof(VectorCircleObject);
    case kVoArc: return sizeof(VectorArcObject);
    case kVoPie: return sizeof(VectorPieObject);
    case kVoPath: return sizeof(VectorPathObject);
    case kVoText: return sizeof(VectorTextObject);
    case kVoRaster: return sizeof(VectorRasterObject);
    case kVoClip: return sizeof(VectorClipObject);
    case kVoGroupObject: return sizeof(VectorGroupObject);
    default: return 0;
  }
}

bool HasPen(int32_t type) {
  return (type >= kVoPoint && type <= kVoText) || type == kVoSpline ||
         type == kVoClosedSpline;
}

bool HasBrush(int32_t type) {
  switch (type) {
    case kVoRect:
    case kVoPolygon:
    case kVoEllipse:
    case kVoCircle:
    case kVoClosedBezier:
    case kVoPie:
    case kVoPath:
    case kVoText:
    case kVoClosedSpline: return true;
    default: return false;
  }
}

VectorPen DefaultPen() {
  VectorPen pen{};
  pen.size = static_cast<int32_t>(sizeof(VectorPen));
  pen.style = kPenSolid;
  pen.width = 1;
  pen.colour = 0x000000;
  return pen;
}

VectorBrush DefaultBrush() {
  VectorBrush brush{};
  brush.w[0] = kBrushPlainSize;
  brush.w[1] = 0;
  brush.w[2] = kBrushSolid;
  brush.w[3] = 0xFFFFFF;
  return brush;
}

// Pen and brush sit right after the header in every record that has them.
struct PenBrushPrefix {
  VectorObjectHeader h;
  VectorPen pen;
  VectorBrush brush;
};
static_assert(offsetof(VectorLineObject, pen) == offsetof(PenBrushPrefix, pen));
static_assert(offsetof(VectorPolylineObject, pen) == offsetof(PenBrushPrefix, pen));
static_assert(offsetof(VectorArcObject, pen) == offsetof(PenBrushPrefix, pen));
static_assert(offsetof(VectorRectObject, brush) == offsetof(PenBrushPrefix, brush));
static_assert(offsetof(VectorTextObject, brush) == offsetof(PenBrushPrefix, brush));
static_assert(offsetof(VectorPathObject, brush) == offsetof(PenBrushPrefix, brush));
static_assert(offsetof(VectorPieObject, brush) == offsetof(PenBrushPrefix, brush));

// Copies a point array after checking its count and pointer.
int32_t CopyPoints(int32_t count, const KernelPoint* points, std::vector<KernelPoint>& out) {
  if (count < 0 || (count > 0 && !points)) return kVkErrArgument;
  out.assign(points, points + count);
  return kVkOk;
}

int32_t CopyPointPath(int32_t count, const KernelPoint* points, const uint8_t* kinds,
                      Object& object) {
  if (count > 0 && !kinds) return kVkErrArgument;
  const int32_t status = CopyPoints(count, points, object.points);
  if (status != kVkOk) return status;
  object.kinds.assign(kinds, kinds + count);
  return kVkOk;
}

// Fills `object` from a caller's record whose header was already checked.
// Everything but the raster's image memory, which the caller copies last.
int32_t ObjectFromRecord(int32_t type, const void* record, Object& object) {
  const auto* prefix = static_cast<const PenBrushPrefix*>(record);
  const auto& header = *static_cast<const VectorObjectHeader*>(record);
  object.type = type;
  object.flags = header.flags;
  object.fillRule = header.fillRule;
  object.hasPen = HasPen(type);
  object.hasBrush = HasBrush(type);
  if (object.hasPen) object.pen = prefix->pen;
  if (object.hasBrush) object.brush = prefix->brush;

  switch (type) {
    case kVoPoint:
      object.points = {static_cast<const VectorPointObject*>(record)->point};
      return kVkOk;
    case kVoLine: {
      const auto* r = static_cast<const VectorLineObject*>(record);
      object.points = {r->from, r->to};
      return kVkOk;
    }
    case kVoRect: {
      const auto* r = static_cast<const VectorRectObject*>(record);
      object.points = {r->corner1, r->corner2};
      return kVkOk;
    }
    case kVoPolyline:
    case kVoBezier:
    case kVoPolyBezier:
    case kVoSpline: {
      const auto* r = static_cast<const VectorPolylineObject*>(record);
      return CopyPoints(r->count, r->points, object.points);
    }
    case kVoPolygon:
    case kVoClosedBezier:
    case kVoClosedSpline: {
      const auto* r = static_cast<const VectorPolygonObject*>(record);
      object.polyFillMode = r->fillMode;
      return CopyPoints(r->count, r->points, object.points);
    }
    case kVoEllipse: {
      const auto* r = static_cast<const VectorEllipseObject*>(record);
      object.points = {r->centre};
      object.rx = r->rx;
      object.ry = r->ry;
      return kVkOk;
    }
    case kVoCircle: {
      const auto* r = static_cast<const VectorCircleObject*>(record);
      object.points = {r->centre};
      object.rx = r->r;
      object.ry = r->r;
      return kVkOk;
    }
    case kVoArc: {
      const auto* r = static_cast<const VectorArcObject*>(record);
      object.points = {r->centre};
      object.rx = r->rx;
      object.ry = r->ry;
      object.start = r->start;
      object.extent = r->extent;
      object.rotation = r->rotation;
      return kVkOk;
    }
    case kVoPie: {
      const auto* r = static_cast<const VectorPieObject*>(record);
      object.points = {r->centre};
      object.rx = r->rx;
      object.ry = r->ry;
      object.start = r->start;
      object.extent = r->extent;
      object.rotation = r->rotation;
      return kVkOk;
    }
    case kVoPath: {
      const auto* r = static_cast<const VectorPathObject*>(record);
      return CopyPointPath(r->count, r->points, r->kinds, object);
    }
    case kVoText: {
      const auto* r = static_cast<const VectorTextObject*>(record);
      object.points = {r->position};
      if (r->text) object.text = std::u16string(r->text);  // a null text is an empty one
      object.fontSize = r->fontSize;
      object.alignment = r->alignment;
      object.escapement = r->escapement;
      object.font = r->font;
      return kVkOk;
    }
    case kVoRaster: {
      const auto* r = static_cast<const VectorRasterObject*>(record);
      object.points = {r->corner1, r->corner2};
      object.rare = std::make_unique<Object::Rare>();
      return kVkOk;
    }
    case kVoGroupObject:
      object.rare = std::make_unique<Object::Rare>();
      object.rare->groupObject = *static_cast<const VectorGroupObject*>(record);
      return kVkOk;
    default:
      return kVkErrUnsupported;
  }
}

// Shared by VectorAddObject and VectorAddObjectToGroup; `group` 0 = layer.
int32_t AddObject(VectorDocument* document, const VectorGroupRef* group, int32_t type,
                  const void* record, VectorObjectRef* ref) {
  Document* doc = Impl(document);
  if (!doc || !record) return kVkErrArgument;
  if (RecordSize(type) == 0) return kVkErrUnsupported;
  if (type == kVoClip) return kVkErrArgument;  // clips come through VectorSetClip
  const auto& header = *static_cast<const VectorObjectHeader*>(record);
  if (header.type != type || header.size < 0 ||
      static_cast<size_t>(header.size) < RecordSize(type)) {
    return kVkErrArgument;
  }
  if (group) {
    if (group->group < 1 || static_cast<size_t>(group->group) > doc->groups.size()) {
      return kVkErrArgument;
    }
    const Group& target = doc->groups[static_cast<size_t>(group->group) - 1];
    if (group->layer != 0 && group->layer != target.layer) return kVkErrArgument;
  }

  try {
    Object object;
    int32_t status = ObjectFromRecord(type, record, object);
    if (status != kVkOk) return status;
    if (group) {
      object.group = group->group;
      object.layer = doc->groups[static_cast<size_t>(group->group) - 1].layer;
    } else {
      object.layer = ActiveLayer(*doc);
    }
    if (type == kVoRaster) {
      // The kernel keeps its own copy of the picture; the caller frees its.
      const BitmapRecord& source = static_cast<const VectorRasterObject*>(record)->bitmap;
      Object::Rare& raster = *object.rare;
      if (source.bits || source.palette) {
        status = CopyBitmapRecord(&raster.bitmap, &source,
                                  static_cast<int32_t>(sizeof(BitmapRecord)));
        if (status != kIkOk) return status;
        raster.hasBitmap = true;
      } else {
        raster.bitmap = source;  // an empty record: nothing to own
      }
      try {
        const VectorObjectRef id = StoreObject(document, *doc, std::move(object));
        if (ref) *ref = id;
      } catch (const std::bad_alloc&) {
        // Not stored (the object moves only once its room exists): the
        // picture copy is still this function's to free.
        if (raster.hasBitmap) (void)FreeBitmap(&raster.bitmap);
        return kVkErrNoMemory;
      }
      return kVkOk;
    }
    const VectorObjectRef id = StoreObject(document, *doc, std::move(object));
    if (ref) *ref = id;
  } catch (const std::bad_alloc&) {
    return kVkErrNoMemory;
  }
  return kVkOk;
}

void FillHeader(VectorObjectHeader& h, const Object& object) {
  h.size = static_cast<int32_t>(RecordSize(object.type));
  h.type = object.type;
  h.id = object.id;
  h.layer = object.layer;
  h.group = object.group;
  h.flags = object.flags;
  h.fillRule = object.fillRule;
}

void ReleaseBlock(void* block) {
  if (block) KernelFree(block, __LINE__, kVkSourcePath);
}

// A fresh imaging-kernel copy of a vector's items; null for none.
template <typename T>
bool CopyOut(const std::vector<T>& items, T** out) {
  *out = nullptr;
  if (items.empty()) return true;
  void* block = KernelAlloc(static_cast<uint32_t>(items.size()), sizeof(T), __LINE__,
                            kVkSourcePath);
  if (!block) return false;
  std::memcpy(block, items.data(), items.size() * sizeof(T));
  *out = static_cast<T*>(block);
  return true;
}

bool CopyOutPath(const Object& object, int32_t* count, KernelPoint** points,
                 uint8_t** kinds) {
  *count = static_cast<int32_t>(object.points.size());
  if (!CopyOut(object.points, points)) return false;
  if (!CopyOut(object.kinds, kinds)) {
    ReleaseBlock(*points);
    *points = nullptr;
    return false;
  }
  return true;
}

// Describes `object` into `desc` (already zeroed) as a record of its type.
// On failure nothing it allocated is left behind.
int32_t Describe(const Object& object, VectorObjectDesc* desc) {
  auto penBrush = [&object](VectorPen* pen, VectorBrush* brush) {
    if (pen) *pen = object.pen;
    if (brush) *brush = object.brush;
  };
  switch (object.type) {
    case kVoPoint: {
      VectorPointObject& r = desc->point;
      FillHeader(r.h, object);
      penBrush(&r.pen, nullptr);
      r.point = object.points.at(0);
      return kVkOk;
    }
    case kVoLine: {
      VectorLineObject& r = desc->line;
      FillHeader(r.h, object);
      penBrush(&r.pen, nullptr);
      r.from = object.points.at(0);
      r.to = object.points.at(1);
      return kVkOk;
    }
    case kVoRect: {
      VectorRectObject& r = desc->rect;
      FillHeader(r.h, object);
      penBrush(&r.pen, &r.brush);
      r.corner1 = object.points.at(0);
      r.corner2 = object.points.at(1);
      return kVkOk;
    }
    case kVoPolyline:
    case kVoBezier:
    case kVoPolyBezier:
    case kVoSpline: {
      VectorPolylineObject& r = desc->polyline;
      FillHeader(r.h, object);
      penBrush(&r.pen, nullptr);
      r.count = static_cast<int32_t>(object.points.size());
      return CopyOut(object.points, &r.points) ? kVkOk : kVkErrNoMemory;
    }
    case kVoPolygon:
    case kVoClosedBezier:
    case kVoClosedSpline: {
      VectorPolygonObject& r = desc->polygon;
      FillHeader(r.h, object);
      penBrush(&r.pen, &r.brush);
      r.fillMode = object.polyFillMode;
      r.count = static_cast<int32_t>(object.points.size());
      return CopyOut(object.points, &r.points) ? kVkOk : kVkErrNoMemory;
    }
    case kVoEllipse: {
      VectorEllipseObject& r = desc->ellipse;
      FillHeader(r.h, object);
      penBrush(&r.pen, &r.brush);
      r.centre = object.points.at(0);
      r.rx = object.rx;
      r.ry = object.ry;
      return kVkOk;
    }
    case kVoCircle: {
      VectorCircleObject& r = desc->circle;
      FillHeader(r.h, object);
      penBrush(&r.pen, &r.brush);
      r.centre = object.points.at(0);
      r.r = object.rx;
      return kVkOk;
    }
    case kVoArc: {
      VectorArcObject& r = desc->arc;
      FillHeader(r.h, object);
      penBrush(&r.pen, nullptr);
      r.centre = object.points.at(0);
      r.rx = object.rx;
      r.ry = object.ry;
      r.start = static_cast<float>(object.start);
      r.extent = static_cast<float>(object.extent);
      r.rotation = static_cast<float>(object.rotation);
      return kVkOk;
    }
    case kVoPie: {
      VectorPieObject& r = desc->pie;
      FillHeader(r.h, object);
      penBrush(&r.pen, &r.brush);
      r.centre = object.points.at(0);
      r.rx = object.rx;
      r.ry = object.ry;
      r.start = static_cast<float>(object.start);
      r.extent = static_cast<float>(object.extent);
      r.rotation = static_cast<float>(object.rotation);
      return kVkOk;
    }
    case kVoPath: {
      VectorPathObject& r = desc->path;
      FillHeader(r.h, object);
      penBrush(&r.pen, &r.brush);
      return CopyOutPath(object, &r.count, &r.points, &r.kinds) ? kVkOk : kVkErrNoMemory;
    }
    case kVoText: {
      VectorTextObject& r = desc->text;
      FillHeader(r.h, object);
      penBrush(&r.pen, &r.brush);
      r.position = object.points.at(0);
      r.fontSize = object.fontSize;
      r.alignment = object.alignment;
      r.escapement = object.escapement;
      r.font = object.font;
      // Always a block, so readers get at least the NUL.
      void* block = KernelAlloc(static_cast<uint32_t>(object.text.size() + 1),
                                sizeof(char16_t), __LINE__, kVkSourcePath);
      if (!block) return kVkErrNoMemory;
      auto* text = static_cast<char16_t*>(block);
      std::memcpy(text, object.text.data(), object.text.size() * sizeof(char16_t));
      text[object.text.size()] = u'\0';
      r.text = text;
      return kVkOk;
    }
    case kVoRaster: {
      VectorRasterObject& r = desc->raster;
      FillHeader(r.h, object);
      r.corner1 = object.points.at(0);
      r.corner2 = object.points.at(1);
      r.value58 = 220;
      if (!object.rare || !object.rare->hasBitmap) {
        r.bitmap = object.rare ? object.rare->bitmap : BitmapRecord{};
        return kVkOk;
      }
      const int32_t status = CopyBitmapRecord(&r.bitmap, &object.rare->bitmap,
                                              static_cast<int32_t>(sizeof(BitmapRecord)));
      // A failed copy may have left the source's pointers behind: never
      // hand those out, the caller would free the kernel's own picture.
      if (status != kIkOk) r.bitmap = BitmapRecord{};
      return status;
    }
    case kVoClip: {
      VectorClipObject& r = desc->clip;
      FillHeader(r.h, object);
      return CopyOutPath(object, &r.count, &r.points, &r.kinds) ? kVkOk : kVkErrNoMemory;
    }
    case kVoGroupObject: {
      VectorGroupObject& r = desc->groupObject;
      r = object.rare ? object.rare->groupObject : VectorGroupObject{};
      FillHeader(r.h, object);
      return kVkOk;
    }
    default:
      return kVkErrUnsupported;
  }
}

}  // namespace
}  // namespace vk

using vk::Document;
using vk::Impl;

extern "C" {

VK_API int32_t VectorInitObject(void* record, int32_t type) {
  if (!record) return kVkErrArgument;
  const size_t size = vk::RecordSize(type);
  if (size == 0) return kVkErrUnsupported;
  std::memset(record, 0, size);
  auto* prefix = static_cast<vk::PenBrushPrefix*>(record);
  prefix->h.size = static_cast<int32_t>(size);
  prefix->h.type = type;
  if (vk::HasPen(type)) prefix->pen = vk::DefaultPen();
  if (vk::HasBrush(type)) prefix->brush = vk::DefaultBrush();
  if (type == kVoRaster) {
    auto* raster = static_cast<VectorRasterObject*>(record);
    raster->value58 = 220;
    raster->bitmap.recordSize = static_cast<int32_t>(sizeof(BitmapRecord));
  }
  return kVkOk;
}

VK_API int32_t VectorAddObject(VectorDocument* document, int32_t /*reserved*/, int32_t type,
                               const void* record, VectorObjectRef* object) {
  return vk::AddObject(document, nullptr, type, record, object);
}

VK_API int32_t VectorAddObjectToGroup(VectorDocument* document, VectorGroupRef group,
                                      int32_t type, const void* record,
                                      VectorObjectRef* object) {
  return vk::AddObject(document, &group, type, record, object);
}

VK_API int32_t VectorSetClip(VectorDocument* document, const VectorPointPath* outline) {
  Document* doc = Impl(document);
  if (!doc || !outline) return kVkErrArgument;
  try {
    vk::Object clip;
    clip.type = kVoClip;
    const int32_t status =
        vk::CopyPointPath(outline->count, outline->points, outline->kinds, clip);
    if (status != kVkOk) return status;
    clip.layer = vk::ActiveLayer(*doc);
    (void)vk::StoreObject(document, *doc, std::move(clip));
  } catch (const std::bad_alloc&) {
    return kVkErrNoMemory;
  }
  return kVkOk;
}

VK_API int32_t VectorEnumObjects(VectorDocument* document, VectorEnumCallback callback,
                                 void* userData, int32_t /*flags*/) {
  Document* doc = Impl(document);
  if (!doc || !callback) return kVkErrArgument;
  // Every object is offered even after a callback failed, so a writer's
  // error costs one object, not the rest of the file; the first error wins.
  int32_t result = kVkOk;
  for (size_t i = 0; i < doc->objects.size(); ++i) {
    const VectorObjectHandle handle{doc->objects[i].id, doc->objects[i].type};
    const int32_t status = callback(document, &handle, userData);
    if (status != kVkOk && result == kVkOk) result = status;
  }
  return result;
}

VK_API int32_t VectorGetObject(VectorDocument* document, const VectorObjectHandle* object,
                               int32_t type, VectorObjectDesc* desc) {
  Document* doc = Impl(document);
  if (!doc || !object || !desc) return kVkErrArgument;
  const vk::Object* found = vk::FindObject(*doc, object->id);
  if (!found) return kVkErrNoObject;
  if (found->type != type) return kVkErrArgument;
  std::memset(static_cast<void*>(desc), 0, sizeof(*desc));
  const int32_t status = vk::Describe(*found, desc);
  if (status != kVkOk) std::memset(static_cast<void*>(desc), 0, sizeof(*desc));
  return status;
}

VK_API int32_t VectorFreeObjectData(int32_t type, VectorObjectDesc* desc) {
  if (!desc) return kVkErrArgument;
  switch (type) {
    case kVoPolyline:
    case kVoBezier:
    case kVoPolyBezier:
    case kVoSpline:
      vk::ReleaseBlock(desc->polyline.points);
      desc->polyline.points = nullptr;
      return kVkOk;
    case kVoPolygon:
    case kVoClosedBezier:
    case kVoClosedSpline:
      vk::ReleaseBlock(desc->polygon.points);
      desc->polygon.points = nullptr;
      return kVkOk;
    case kVoPath:
      vk::ReleaseBlock(desc->path.points);
      vk::ReleaseBlock(desc->path.kinds);
      desc->path.points = nullptr;
      desc->path.kinds = nullptr;
      return kVkOk;
    case kVoText:
      vk::ReleaseBlock(const_cast<char16_t*>(desc->text.text));
      desc->text.text = nullptr;
      return kVkOk;
    case kVoRaster:
      if (desc->raster.bitmap.bits || desc->raster.bitmap.palette) {
        (void)FreeBitmap(&desc->raster.bitmap);
        desc->raster.bitmap.bits = nullptr;
        desc->raster.bitmap.palette = nullptr;
      }
      return kVkOk;
    case kVoClip:
      vk::ReleaseBlock(desc->clip.points);
      vk::ReleaseBlock(desc->clip.kinds);
      desc->clip.points = nullptr;
      desc->clip.kinds = nullptr;
      return kVkOk;
    default:
      return vk::RecordSize(type) ? kVkOk : kVkErrUnsupported;
  }
}

VK_API int32_t VectorGetPen(const VectorPen* pen, VectorPenValues* values) {
  if (!pen || !values) return kVkErrArgument;
  values->style = pen->style;
  values->width = pen->width;
  values->colour = pen->colour;
  return kVkOk;
}

VK_API int32_t VectorGetBrush(const VectorBrush* brush, VectorBrushValues* values) {
  if (!brush || !values) return kVkErrArgument;
  switch (brush->w[0]) {
    case kBrushPlainSize:
      values->style = brush->w[2];
      values->colour = static_cast<uint32_t>(brush->w[3]);
      values->hatch = brush->w[4];
      return kVkOk;
    case kBrushTwoColour:
      // A two-colour brush reads as a solid fill in its second colour (for
      // the translucency brush that is the colour already lightened).
      values->style = kBrushSolid;
      values->colour = static_cast<uint32_t>(brush->w[3]);
      values->hatch = 0;
      return kVkOk;
    default:
      return kVkErrArgument;
  }
}

}  // extern "C"
