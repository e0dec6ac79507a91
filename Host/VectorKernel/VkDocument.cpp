// The vector kernel's document: lifetime, view state, size, extent, units,
// layers and groups.
#include "VkDocument.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "ImagingKernel/ImagingKernel.h"
#include "VkStore.h"

namespace vk {

Document* Impl(VectorDocument* document) {
  return document ? static_cast<Document*>(document->impl) : nullptr;
}

ObjectStore::~ObjectStore() {
  for (size_t i = 0; i < size_; ++i) (*this)[i].~Object();
  for (Object* block : blocks_) ::operator delete(block);
}

void ObjectStore::push_back(Object&& object) {
  if (size_ == blocks_.size() * kBlock) {
    void* room = ::operator new(kBlock * sizeof(Object));
    try {
      blocks_.push_back(static_cast<Object*>(room));
    } catch (...) {
      ::operator delete(room);
      throw;
    }
  }
  new (&blocks_[size_ / kBlock][size_ % kBlock]) Object(std::move(object));
  ++size_;
}

Object* FindObject(Document& doc, VectorObjectRef id) {
  // Ids grow with insertion order and objects are never removed, so the
  // store stays sorted by id.
  size_t low = 0, high = doc.objects.size();
  while (low < high) {
    const size_t mid = low + (high - low) / 2;
    if (doc.objects[mid].id < id) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return (low < doc.objects.size() && doc.objects[low].id == id) ? &doc.objects[low] : nullptr;
}

VectorLayerRef ActiveLayer(Document& doc) {
  if (doc.activeLayer != 0) return doc.activeLayer;
  if (doc.layers.empty()) {
    Layer layer;
    layer.id = 1;
    layer.name = std::u16string(1, u'0');  // built, not assigned: GCC 12 -Wrestrict
    doc.layers.push_back(std::move(layer));
  }
  doc.activeLayer = doc.layers.front().id;
  return doc.activeLayer;
}

namespace {

// A name field of a description: up to its NUL or the end of the field.
std::u16string FieldName(const char16_t* field, size_t capacity) {
  size_t n = 0;
  while (n < capacity && field[n] != u'\0') ++n;
  return std::u16string(field, n);
}

// A pixel count from a computed size: at least 1, within int32.
int32_t PixelCount(double value) {
  if (!(value >= 1.0)) return 1;
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(std::lround(value));
}

}  // namespace
}  // namespace vk

using vk::Document;
using vk::Impl;

extern "C" {

VK_API int32_t VectorInit(VectorDocument* document) {
  if (!document || document->impl) return kVkErrArgument;
  Document* doc = new (std::nothrow) Document;
  if (!doc) return kVkErrNoMemory;
  doc->state.size = static_cast<int32_t>(sizeof(VectorState));
  document->impl = doc;
  document->lowerBound = KernelPoint{};
  document->upperBound = KernelPoint{};
  return kVkOk;
}

VK_API int32_t VectorFree(VectorDocument* document) {
  Document* doc = Impl(document);
  if (!doc) return kVkErrArgument;
  // Raster objects own image memory of the imaging kernel.
  for (vk::Object& object : doc->objects) {
    if (object.rare && object.rare->hasBitmap) {
      (void)FreeBitmap(&object.rare->bitmap);
      object.rare->hasBitmap = false;
    }
  }
  delete doc;
  document->impl = nullptr;
  return kVkOk;
}

VK_API int32_t VectorSetOption(VectorDocument* document, int32_t value) {
  Document* doc = Impl(document);
  if (!doc) return kVkErrArgument;
  doc->option = value;
  return kVkOk;
}

VK_API int32_t VectorComputeSize(VectorDocument* document, int32_t mode, int32_t* width,
                                 int32_t* height) {
  Document* doc = Impl(document);
  if (!doc || !width || !height) return kVkErrArgument;
  if (mode != 0 && mode != 2 && mode != 3) return kVkErrArgument;
  const double dw = document->upperBound.x - document->lowerBound.x;
  const double dh = document->upperBound.y - document->lowerBound.y;
  // Without a drawing there is no aspect ratio to follow: the box stays.
  if (!(dw > 0.0 && dh > 0.0) || !std::isfinite(dw) || !std::isfinite(dh)) return kVkOk;
  switch (mode) {
    case 0: {
      const double scale = std::min(*width / dw, *height / dh);
      *width = vk::PixelCount(dw * scale);
      *height = vk::PixelCount(dh * scale);
      break;
    }
    case 2:
      *height = vk::PixelCount(*width * dh / dw);
      break;
    default:
      *width = vk::PixelCount(*height * dw / dh);
      break;
  }
  return kVkOk;
}

VK_API int32_t VectorSetPan(VectorDocument* document, const KernelPoint* pan) {
  Document* doc = Impl(document);
  if (!doc || !pan) return kVkErrArgument;
  doc->pan = *pan;
  return kVkOk;
}

// The view calls only mark the points where the host refreshes its views;
// a document without a window has nothing to redo, so they just succeed.
VK_API int32_t VectorApplyView(VectorDocument* document, int32_t /*flag*/) {
  return Impl(document) ? kVkOk : kVkErrArgument;
}

VK_API int32_t VectorFinishView(VectorDocument* document, int32_t /*a*/, int32_t /*b*/) {
  return Impl(document) ? kVkOk : kVkErrArgument;
}

VK_API int32_t VectorCommitView(VectorDocument* document, int32_t /*a*/) {
  return Impl(document) ? kVkOk : kVkErrArgument;
}

VK_API int32_t VectorGetState(VectorDocument* document, VectorState* state) {
  Document* doc = Impl(document);
  if (!doc || !state) return kVkErrArgument;
  *state = doc->state;
  return kVkOk;
}

VK_API int32_t VectorSetState(VectorDocument* document, const VectorState* state) {
  Document* doc = Impl(document);
  if (!doc || !state) return kVkErrArgument;
  doc->state = *state;
  return kVkOk;
}

VK_API int32_t VectorGetExtent(VectorDocument* document, KernelPoint* lower,
                               KernelPoint* upper) {
  if (!Impl(document) || !lower || !upper) return kVkErrArgument;
  *lower = document->lowerBound;
  *upper = document->upperBound;
  return kVkOk;
}

VK_API int32_t VectorGetUnits(VectorDocument* document, VectorUnits* units) {
  Document* doc = Impl(document);
  if (!doc || !units) return kVkErrArgument;
  *units = VectorUnits{};
  units->size = static_cast<int32_t>(sizeof(VectorUnits));
  units->unit = doc->unit;
  return kVkOk;
}

VK_API int32_t VectorSetUnits(VectorDocument* document, int32_t unit) {
  Document* doc = Impl(document);
  if (!doc) return kVkErrArgument;
  doc->unit = unit;  // codes outside 0-9 read as pixels, like the default 10
  return kVkOk;
}

VK_API int32_t VectorAddLayer(VectorDocument* document, const VectorLayerDesc* desc,
                              VectorLayerRef* layer, int32_t /*flag*/) {
  Document* doc = Impl(document);
  if (!doc || !desc || !layer) return kVkErrArgument;
  if (desc->size < static_cast<int32_t>(sizeof(VectorLayerDesc))) return kVkErrArgument;
  try {
    vk::Layer entry;
    entry.id = static_cast<VectorLayerRef>(doc->layers.size()) + 1;
    entry.name = vk::FieldName(desc->name, sizeof(desc->name) / sizeof(desc->name[0]));
    entry.visible = desc->visible;
    doc->layers.push_back(std::move(entry));
  } catch (const std::bad_alloc&) {
    return kVkErrNoMemory;
  }
  *layer = doc->layers.back().id;
  // The first layer is where objects go until the caller picks another.
  if (doc->activeLayer == 0) doc->activeLayer = *layer;
  return kVkOk;
}

VK_API int32_t VectorSetActiveLayer(VectorDocument* document, VectorLayerRef layer) {
  Document* doc = Impl(document);
  if (!doc) return kVkErrArgument;
  if (layer < 1 || static_cast<size_t>(layer) > doc->layers.size()) return kVkErrArgument;
  doc->activeLayer = layer;
  return kVkOk;
}

VK_API int32_t VectorAddGroup(VectorDocument* document, const VectorGroupDesc* desc,
                              VectorGroupRef* group, int32_t /*flag*/) {
  Document* doc = Impl(document);
  if (!doc || !desc || !group) return kVkErrArgument;
  if (desc->size < static_cast<int32_t>(sizeof(VectorGroupDesc))) return kVkErrArgument;
  try {
    vk::Group entry;
    entry.id = static_cast<int32_t>(doc->groups.size()) + 1;
    entry.layer = vk::ActiveLayer(*doc);
    entry.name = vk::FieldName(desc->name, sizeof(desc->name) / sizeof(desc->name[0]));
    doc->groups.push_back(std::move(entry));
  } catch (const std::bad_alloc&) {
    return kVkErrNoMemory;
  }
  group->group = doc->groups.back().id;
  group->layer = doc->groups.back().layer;
  return kVkOk;
}

VK_API int32_t VectorSetLink(VectorDocument* document, VectorObjectRef object,
                             const VectorLinkRecord* link) {
  Document* doc = Impl(document);
  if (!doc || !link) return kVkErrArgument;
  vk::Object* target = vk::FindObject(*doc, object);
  if (!target) return kVkErrNoObject;
  constexpr size_t kMaxUnits = sizeof(link->text) / sizeof(link->text[0]) - 1;
  try {
    target->link = vk::FieldName(link->text, kMaxUnits);
  } catch (const std::bad_alloc&) {
    return kVkErrNoMemory;
  }
  return kVkOk;
}

VK_API int32_t VectorGetLink(VectorDocument* document, VectorObjectRef object,
                             VectorLinkRecord* link) {
  Document* doc = Impl(document);
  if (!doc || !link) return kVkErrArgument;
  const vk::Object* target = vk::FindObject(*doc, object);
  if (!target) return kVkErrNoObject;
  *link = VectorLinkRecord{};
  link->size = static_cast<int32_t>(sizeof(VectorLinkRecord));
  // SetLink already cut the text to the field's capacity less its NUL.
  std::copy(target->link.begin(), target->link.end(), link->text);
  return kVkOk;
}

VK_API int32_t VectorObjectCount(VectorDocument* document) {
  Document* doc = Impl(document);
  if (!doc) return kVkErrArgument;
  return static_cast<int32_t>(doc->objects.size());
}

}  // extern "C"
