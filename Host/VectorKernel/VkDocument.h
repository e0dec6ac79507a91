// The vector kernel's own document model, behind VectorDocument::impl.
// Shared by the document operations (VkDocument.cpp), the geometry
// operations (VkGeometry.cpp) and the painter (VkPaint.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VectorKernel.h"

namespace vk {

// One stored object. Geometry is kept in kernel coordinates (y up), in the
// document's units. Which fields are used depends on `type`:
//   1 point        points[0]
//   2 line         points[0..1]
//   3 rect         points[0..1] (two corners, any order)
//   4,5,9,18       points (polyline, Bezier, poly-Bezier, open spline)
//   6,11,19        points + polyFillMode (polygon, closed poly-Bezier, closed spline)
//   7 ellipse      points[0] centre, rx, ry
//   8 circle       points[0] centre, rx (= r)
//   10,12          points[0] centre, rx, ry, start, extent, rotation (arc, pie)
//   13 path        points + kinds, header.fillRule
//   14 text        points[0] position, text, font fields
//   15 raster      points[0..1] corners, rare->bitmap (owned image memory), rotation
//   16 clip        points + kinds (the clip outline)
//   17 group obj   rare->groupObject record copy
struct Object {
  VectorObjectRef id = 0;
  int32_t type = 0;
  VectorLayerRef layer = 0;
  int32_t group = 0;            // 0: directly on the layer
  uint32_t flags = 0;           // header flags word
  int32_t fillRule = 0;         // type 13
  bool hasPen = false;
  bool hasBrush = false;
  VectorPen pen{};
  VectorBrush brush{};
  std::vector<KernelPoint> points;
  std::vector<uint8_t> kinds;
  double rx = 0, ry = 0;
  double start = 0, extent = 0, rotation = 0;  // degrees; rotation also for rasters
  int32_t polyFillMode = kFillAlternate;
  // text
  std::u16string text;
  double fontSize = 0;
  int32_t alignment = 0;
  int32_t escapement = 0;
  VectorLogFont font{};
  // Raster (type 15) and group object (type 17) records: large and rare,
  // so kept out of line; null for every other type.
  struct Rare {
    BitmapRecord bitmap{};  // raster: owned deep copy (image memory from the imaging kernel)
    bool hasBitmap = false;
    VectorGroupObject groupObject{};
  };
  std::unique_ptr<Rare> rare;
  // hyperlink attached with VectorSetLink
  std::u16string link;
};

// Objects in insertion order, in blocks of a fixed number that never move:
// adding an object neither copies those stored (as a growing array would,
// with 100,000 objects) nor costs a heap block of its own (as a deque of
// records this large does).
class ObjectStore {
 public:
  ObjectStore() = default;
  ObjectStore(const ObjectStore&) = delete;
  ObjectStore& operator=(const ObjectStore&) = delete;
  ~ObjectStore();

  size_t size() const { return size_; }
  Object& operator[](size_t i) { return blocks_[i / kBlock][i % kBlock]; }
  const Object& operator[](size_t i) const { return blocks_[i / kBlock][i % kBlock]; }
  Object& back() { return (*this)[size_ - 1]; }
  // Throws std::bad_alloc, storing nothing.
  void push_back(Object&& object);

  template <typename Store, typename Item>
  class Iterator {
   public:
    Iterator(Store* store, size_t i) : store_(store), i_(i) {}
    Item& operator*() const { return (*store_)[i_]; }
    Iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return i_ != other.i_; }

   private:
    Store* store_;
    size_t i_;
  };
  Iterator<ObjectStore, Object> begin() { return {this, 0}; }
  Iterator<ObjectStore, Object> end() { return {this, size_}; }
  Iterator<const ObjectStore, const Object> begin() const { return {this, 0}; }
  Iterator<const ObjectStore, const Object> end() const { return {this, size_}; }

 private:
  static constexpr size_t kBlock = 64;
  std::vector<Object*> blocks_;  // raw room for kBlock objects each
  size_t size_ = 0;
};

struct Layer {
  VectorLayerRef id = 0;
  std::u16string name;
  int32_t visible = 1;
};

struct Group {
  int32_t id = 0;
  VectorLayerRef layer = 0;
  std::u16string name;
};

// Document bounds as a value: the record's two corners and whether any
// object has set them.
struct Extent {
  KernelPoint lower{};
  KernelPoint upper{};
  bool any = false;
};

struct Document {
  // In insertion (= enumeration and paint) order.
  ObjectStore objects;
  std::vector<Layer> layers;
  std::vector<Group> groups;
  VectorLayerRef activeLayer = 0;
  int32_t option = 0;
  int32_t unit = 10;              // pixels
  KernelPoint pan{};
  VectorState state{};
  int32_t nextObjectId = 1;
  bool hasBounds = false;         // false until the first object with geometry
  // The converter moves, scales and turns the object it has just added.
  // Measuring every object again after each such change would make a load
  // quadratic, so the bounds without the newest object are kept: a change
  // of that object only adds its new box to them. `newest` is 0 while they
  // are not known (another object changed since), and they count only while
  // the record's bounds are still those the kernel last set
  // (`kernelBounds`; the host may widen them itself).
  VectorObjectRef newest = 0;
  Extent withoutNewest;
  Extent kernelBounds;
  // Objects after a clip object show only inside its outline until the
  // clip is ended, so they add only that part of their box to the bounds.
  // `openClips` holds the boxes of the clips open after the last object,
  // each cut by those before it (`any` false: nothing shows).
  std::vector<Extent> openClips;
  size_t clipObjects = 0;
};

// The document behind a record; null when VectorInit has not run.
Document* Impl(VectorDocument* document);
// Object by id, null when unknown.
Object* FindObject(Document& doc, VectorObjectRef id);

// Bounds of one object (kernel coordinates); false when it has no geometry
// (group objects, empty paths). Text bounds come from the font's metrics.
bool ObjectBounds(const Object& object, KernelPoint* lower, KernelPoint* upper);
// Recomputes the document's lowerBound/upperBound from all its objects,
// each cut by the clips open before it.
void UpdateBounds(VectorDocument* document);
// Opens or ends a clip for the objects stored after `object` (a clip object
// or a type-13 clip end); other objects change nothing.
void TrackClip(Document& doc, const Object& object);
// The record's bounds as an Extent.
Extent CurrentExtent(const VectorDocument& document, const Document& doc);
// True when the record's bounds are still those the kernel last set.
bool BoundsAsKernelSet(const VectorDocument& document, const Document& doc);
// Box of a text object (type 14) around its position, from its font size,
// character count, alignment word and escapement; false for empty text.
bool TextExtent(const Object& object, KernelPoint* lower, KernelPoint* upper);

// Point path of an object with curves (circle, ellipse, arc, pie, spline,
// Bezier, text outlines): appends to `points`/`kinds` in kernel coordinates.
int32_t ObjectOutline(const Object& object, std::vector<KernelPoint>& points,
                      std::vector<uint8_t>& kinds);

}  // namespace vk
