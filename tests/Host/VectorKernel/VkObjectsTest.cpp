// Object records: defaults, validation, storage, enumeration, description,
// clips, group objects, rasters and brushes.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "VkTestDocument.h"

namespace vktest {
namespace {

using Objects = VkDocumentFixture;

// Storage big enough for any record, aligned for its doubles and pointers,
// with a few bytes beyond the largest to catch writes past a record.
union AnyRecord {
  VectorObjectDesc desc;
  unsigned char bytes[sizeof(VectorObjectDesc) + 8];
};

// Handles in enumeration order.
std::vector<VectorObjectHandle> Enumerate(VectorDocument* doc) {
  std::vector<VectorObjectHandle> seen;
  EXPECT_EQ(VectorEnumObjects(doc, [](VectorDocument*, const VectorObjectHandle* object, void* user) -> int32_t {
    static_cast<std::vector<VectorObjectHandle>*>(user)->push_back(*object);
    return kVkOk;
  }, &seen, 0), kVkOk);
  return seen;
}

TEST(VectorInitObject, FillsDefaultsForEveryTypeWithinItsRecord) {
  struct Case { int32_t type; size_t size; bool pen, brush; };
  const Case cases[] = {
      {kVoPoint, sizeof(VectorPointObject), true, false},  {kVoLine, sizeof(VectorLineObject), true, false},
      {kVoRect, sizeof(VectorRectObject), true, true},     {kVoPolyline, sizeof(VectorPolylineObject), true, false},
      {kVoBezier, sizeof(VectorPolylineObject), true, false}, {kVoPolygon, sizeof(VectorPolygonObject), true, true},
      {kVoEllipse, sizeof(VectorEllipseObject), true, true}, {kVoCircle, sizeof(VectorCircleObject), true, true},
      {kVoPolyBezier, sizeof(VectorPolylineObject), true, false}, {kVoArc, sizeof(VectorArcObject), true, false},
      {kVoClosedBezier, sizeof(VectorPolygonObject), true, true}, {kVoPie, sizeof(VectorPieObject), true, true},
      {kVoPath, sizeof(VectorPathObject), true, true},       {kVoText, sizeof(VectorTextObject), true, true},
      {kVoRaster, sizeof(VectorRasterObject), false, false}, {kVoClip, sizeof(VectorClipObject), false, false},
      {kVoGroupObject, sizeof(VectorGroupObject), false, false}, {kVoSpline, sizeof(VectorPolylineObject), true, false},
      {kVoClosedSpline, sizeof(VectorPolygonObject), true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    AnyRecord record;
    std::memset(record.bytes, 0xA5, sizeof(record.bytes));
    ASSERT_EQ(VectorInitObject(&record, c.type), kVkOk);
    EXPECT_EQ(record.desc.h.size, static_cast<int32_t>(c.size));
    EXPECT_EQ(record.desc.h.type, c.type);
    EXPECT_EQ(record.bytes[c.size - 1], 0) << "record not cleared to its end";
    EXPECT_EQ(record.bytes[c.size], 0xA5) << "written past the record";
    const VectorPen& pen = record.desc.line.pen;
    EXPECT_TRUE(!c.pen || (pen.size == 64 && pen.style == kPenSolid && pen.width == 1 && pen.colour == 0));
    const VectorBrush& b = record.desc.rect.brush;
    EXPECT_TRUE(!c.brush || (b.w[0] == 224 && b.w[2] == kBrushSolid && b.w[3] == 0xFFFFFF));
  }
  AnyRecord raster;
  ASSERT_EQ(VectorInitObject(&raster, kVoRaster), kVkOk);
  EXPECT_EQ(raster.desc.raster.value58, 220);
  EXPECT_EQ(raster.desc.raster.bitmap.recordSize, static_cast<int32_t>(sizeof(BitmapRecord)));
  for (int32_t type : {0, 20, -1}) EXPECT_EQ(VectorInitObject(&raster, type), kVkErrUnsupported) << type;
  EXPECT_EQ(VectorInitObject(nullptr, kVoLine), kVkErrArgument);
}

TEST_F(Objects, InvalidRecordsAreRejectedAndTakeNoId) {
  static KernelPoint points[2] = {Pt(0, 0), Pt(1, 1)};
  const struct { const char* what; int32_t type; void (*spoil)(VectorObjectDesc&); int32_t status; } cases[] = {
      {"type word differs", kVoLine, [](VectorObjectDesc& r) { r.h.type = kVoRect; }, kVkErrArgument},
      {"size too small", kVoRect, [](VectorObjectDesc& r) { r.h.size = sizeof(VectorLineObject); }, kVkErrArgument},
      {"negative count", kVoPolyline, [](VectorObjectDesc& r) { r.polyline.count = -1, r.polyline.points = points; },
       kVkErrArgument},
      {"points missing", kVoPolygon, [](VectorObjectDesc& r) { r.polygon.count = 2; }, kVkErrArgument},
      {"path kinds missing", kVoPath, [](VectorObjectDesc& r) { r.path.count = 2, r.path.points = points; },
       kVkErrArgument},
      {"clip through add", kVoClip, [](VectorObjectDesc&) {}, kVkErrArgument},
      {"unknown type", kVoLine, [](VectorObjectDesc& r) { r.h.type = 20; }, kVkErrUnsupported},
  };
  EXPECT_EQ(AddLine(0, 0, 1, 1), 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    AnyRecord record;
    ASSERT_EQ(VectorInitObject(&record, c.type), kVkOk);
    c.spoil(record.desc);
    VectorObjectRef ref = 77;
    // Unknown types are passed as the call's type too.
    const int32_t type = c.status == kVkErrUnsupported ? record.desc.h.type : c.type;
    EXPECT_EQ(VectorAddObject(&doc_, 0, type, &record, &ref), c.status);
    EXPECT_EQ(ref, 77);
  }
  EXPECT_EQ(VectorAddObject(&doc_, 0, kVoLine, nullptr, nullptr), kVkErrArgument);
  EXPECT_EQ(AddCircle(0, 0, 1), 2);
  EXPECT_EQ(VectorObjectCount(&doc_), 2);
}

TEST_F(Objects, KeepTheirOwnCopyOfTheCallersArrays) {
  auto points = std::make_unique<KernelPoint[]>(3);
  auto kinds = std::make_unique<uint8_t[]>(3);
  for (int i = 0; i < 3; ++i) points[i] = Pt(1 + 2 * i, 2 + 2 * i), kinds[i] = kPtLineTo;
  kinds[0] = kPtMoveTo;
  kinds[2] |= kPtCloseFigure;
  auto path = Made<VectorPathObject>(kVoPath);
  path.count = 3;
  path.points = points.get();
  path.kinds = kinds.get();
  path.h.fillRule = kFillAlternate;
  const VectorObjectRef ref = Add(kVoPath, &path);
  auto text = std::make_unique<char16_t[]>(4);
  std::u16string(u"abc").copy(text.get(), 4);
  const VectorObjectRef textRef = AddText(text.get(), Pt(0, 0), 10);
  points.reset(), kinds.reset(), text.reset();  // the caller's storage goes right after adding
  Described stored(&doc_, ref, kVoPath);
  ASSERT_EQ(stored.status, kVkOk);
  ASSERT_EQ(stored->path.count, 3);
  EXPECT_EQ(stored->path.points[2].y, 6);
  EXPECT_EQ(stored->path.kinds[2], kPtLineTo | kPtCloseFigure);
  EXPECT_EQ(stored->path.h.fillRule, kFillAlternate);
  EXPECT_EQ(std::u16string(Described(&doc_, textRef, kVoText)->text.text), u"abc");
}

TEST_F(Objects, EnumerationVisitsEveryObjectInOrderAndReturnsTheFirstError) {
  VectorGroupDesc groupDesc{};
  groupDesc.size = sizeof(groupDesc);
  VectorGroupRef group{};
  ASSERT_EQ(VectorAddGroup(&doc_, &groupDesc, &group, 4), kVkOk);
  AddLine(0, 0, 1, 1);
  auto rect = Made<VectorRectObject>(kVoRect);
  ASSERT_EQ(VectorAddObjectToGroup(&doc_, group, kVoRect, &rect, nullptr), kVkOk);
  KernelPoint outline[2] = {Pt(0, 0), Pt(1, 0)};
  uint8_t kinds[2] = {kPtMoveTo, kPtLineTo};
  const VectorPointPath clip{2, outline, kinds};
  ASSERT_EQ(VectorSetClip(&doc_, &clip), kVkOk);
  auto groupObject = Made<VectorGroupObject>(kVoGroupObject);
  Add(kVoGroupObject, &groupObject);
  AddCircle(0, 0, 1);
  const std::vector<VectorObjectHandle> seen = Enumerate(&doc_);
  const int32_t wantTypes[] = {kVoLine, kVoRect, kVoClip, kVoGroupObject, kVoCircle};
  ASSERT_EQ(seen.size(), std::size(wantTypes));
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].id, static_cast<int32_t>(i) + 1) << i;
    EXPECT_EQ(seen[i].type, wantTypes[i]) << i;
  }
  int calls = 0;
  EXPECT_EQ(VectorEnumObjects(&doc_, [](VectorDocument*, const VectorObjectHandle* object, void* user) -> int32_t {
    ++*static_cast<int*>(user);
    return object->id == 2 ? kVkErrFailed : object->id == 3 ? kVkErrNoMemory : kVkOk;
  }, &calls, 0), kVkErrFailed);
  EXPECT_EQ(calls, 5);
  EXPECT_EQ(VectorEnumObjects(&doc_, nullptr, nullptr, 0), kVkErrArgument);
}

TEST_F(Objects, DescriptionRejectsUnknownIdsAndWrongTypesAndLeavesNothingWhenACopyFails) {
  KernelPoint points[3] = {Pt(0, 0), Pt(1, 1), Pt(2, 0)};
  auto polyline = Made<VectorPolylineObject>(kVoPolyline);
  polyline.count = 3;
  polyline.points = points;
  polyline.h.flags = kVoFlagHidden;
  const VectorObjectRef ref = Add(kVoPolyline, &polyline);
  VectorObjectDesc desc{};
  VectorObjectHandle handle{ref, kVoPolyline};
  EXPECT_EQ(VectorGetObject(&doc_, &handle, kVoRect, &desc), kVkErrArgument);
  EXPECT_EQ(VectorGetObject(&doc_, nullptr, kVoPolyline, &desc), kVkErrArgument);
  for (VectorObjectRef id : {ref + 1, 0}) {
    handle.id = id;
    EXPECT_EQ(VectorGetObject(&doc_, &handle, kVoPolyline, &desc), kVkErrNoObject) << id;
  }
  EXPECT_EQ(VectorFreeObjectData(kVoLine, nullptr), kVkErrArgument);
  EXPECT_EQ(VectorFreeObjectData(0, &desc), kVkErrUnsupported);
  KernelFailAllocation(1);
  EXPECT_EQ(Described(&doc_, ref, kVoPolyline).status, kVkErrNoMemory);
  KernelFailAllocation(0);
  Described stored(&doc_, ref, kVoPolyline);
  ASSERT_EQ(stored.status, kVkOk);
  EXPECT_EQ(stored->h.id, ref);
  EXPECT_EQ(stored->h.flags, static_cast<uint32_t>(kVoFlagHidden));
  EXPECT_EQ(stored->polyline.points[2].x, 2);
}

TEST_F(Objects, ClipsAndGroupObjectsAreStoredWithoutBounds) {
  AddLine(0, 0, 10, 10);
  KernelPoint outline[3] = {Pt(-50, -50), Pt(50, -50), Pt(50, 50)};
  uint8_t kinds[3] = {kPtMoveTo, kPtLineTo, kPtLineTo | kPtCloseFigure};
  const VectorPointPath clip{3, outline, kinds};
  ASSERT_EQ(VectorSetClip(&doc_, &clip), kVkOk);
  auto group = Made<VectorGroupObject>(kVoGroupObject);
  group.group = 1;
  group.scale[2] = 1.0;
  const VectorObjectRef groupRef = Add(kVoGroupObject, &group);
  ExpectBox(doc_.lowerBound, doc_.upperBound, 0, 0, 10, 10);
  {
    Described stored(&doc_, 2, kVoClip);
    ASSERT_EQ(stored.status, kVkOk);
    ASSERT_EQ(stored->clip.count, 3);
    EXPECT_EQ(stored->clip.points[1].x, 50);
    EXPECT_EQ(stored->clip.kinds[2], kPtLineTo | kPtCloseFigure);
  }
  EXPECT_EQ(Described(&doc_, groupRef, kVoGroupObject)->groupObject.scale[2], 1.0);
  KernelPoint lo{}, hi{};
  EXPECT_EQ(VectorGetObjectExtent(&doc_, 2, &lo, &hi), kVkErrFailed);
  const VectorPointPath noKinds{2, outline, nullptr}, negative{-1, outline, kinds};
  for (const VectorPointPath* bad : {&noKinds, &negative, static_cast<const VectorPointPath*>(nullptr)}) {
    EXPECT_EQ(VectorSetClip(&doc_, bad), kVkErrArgument);
  }
  EXPECT_EQ(VectorObjectCount(&doc_), 3);
}

TEST_F(Objects, RastersKeepTheirOwnCopyOfThePictureOrAddNothing) {
  auto raster = Made<VectorRasterObject>(kVoRaster);
  ASSERT_EQ(InitBitmap(&raster.bitmap, sizeof(BitmapRecord), 3, 2, 24), kIkOk);
  const VectorObjectRef empty = Add(kVoRaster, &raster);
  EXPECT_EQ(Described(&doc_, empty, kVoRaster)->raster.bitmap.bits, nullptr);
  ASSERT_EQ(AllocateBitmap(&raster.bitmap, 1), kIkOk);
  ASSERT_EQ(FillBitmap(&raster.bitmap, 0x123456), kIkOk);
  KernelFailAllocation(1);
  EXPECT_EQ(VectorAddObject(&doc_, 0, kVoRaster, &raster, nullptr), kVkErrNoMemory);
  KernelFailAllocation(0);
  const VectorObjectRef ref = Add(kVoRaster, &raster);
  EXPECT_EQ(ref, 2) << "the failed object took no id";
  const std::vector<uint8_t> pixels(raster.bitmap.bits, raster.bitmap.bits + raster.bitmap.imageSize);
  ASSERT_EQ(FreeBitmap(&raster.bitmap), kIkOk);  // the caller's picture goes; the document's stays
  Described stored(&doc_, ref, kVoRaster);
  ASSERT_EQ(stored.status, kVkOk);
  const BitmapRecord& kept = stored->raster.bitmap;
  EXPECT_EQ(std::vector<uint8_t>(kept.bits, kept.bits + kept.imageSize), pixels);
}

TEST(VectorGetBrush, ReadsPlainHatchedAndTwoColourBrushes) {
  struct Case { int32_t w[6]; int32_t style; uint32_t colour; int32_t hatch; };
  const Case cases[] = {
      {{224, 0, kBrushHollow, 0xFFFFFF, 0, 0}, kBrushHollow, 0xFFFFFF, 0},
      {{224, 0, kBrushHatched, 0x00FF00, kHatchCross, 0}, kBrushHatched, 0x00FF00, kHatchCross},
      {{16, 2, 0x0000FF, 0x8080FF, 255, 3}, kBrushSolid, 0x8080FF, 0},  // two colours: the second
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.w[2]);
    VectorBrush brush{};
    std::copy(std::begin(c.w), std::end(c.w), brush.w);
    VectorBrushValues values{-1, 0, -1};
    ASSERT_EQ(VectorGetBrush(&brush, &values), kVkOk);
    EXPECT_EQ(values.style, c.style);
    EXPECT_EQ(values.colour, c.colour);
    EXPECT_EQ(values.hatch, c.hatch);
  }
  VectorBrush unknown{};
  VectorBrushValues values{};
  EXPECT_EQ(VectorGetBrush(&unknown, &values), kVkErrArgument);
  EXPECT_EQ(VectorGetBrush(nullptr, &values), kVkErrArgument);
}

}  // namespace
}  // namespace vktest
