#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "VkTestDocument.h"

namespace vktest {
namespace {

using AddObject = VkDocumentFixture;
using Enumeration = VkDocumentFixture;
using Description = VkDocumentFixture;
using Clips = VkDocumentFixture;
using GroupObjects = VkDocumentFixture;
using Rasters = VkDocumentFixture;

// Storage big enough for any record, aligned for its doubles and pointers,
// with a few bytes beyond the largest to catch writes past a record.
union AnyRecord {
  VectorObjectDesc desc;
  unsigned char bytes[sizeof(VectorObjectDesc) + 8];
};

TEST(VectorInitObject, FillsDefaultsForEveryType) {
  struct Case {
    int32_t type;
    size_t size;
    bool pen, brush;
  };
  const Case cases[] = {
      {kVoPoint, sizeof(VectorPointObject), true, false},
      {kVoLine, sizeof(VectorLineObject), true, false},
      {kVoRect, sizeof(VectorRectObject), true, true},
      {kVoPolyline, sizeof(VectorPolylineObject), true, false},
      {kVoBezier, sizeof(VectorPolylineObject), true, false},
      {kVoPolygon, sizeof(VectorPolygonObject), true, true},
      {kVoEllipse, sizeof(VectorEllipseObject), true, true},
      {kVoCircle, sizeof(VectorCircleObject), true, true},
      {kVoPolyBezier, sizeof(VectorPolylineObject), true, false},
      {kVoArc, sizeof(VectorArcObject), true, false},
      {kVoClosedBezier, sizeof(VectorPolygonObject), true, true},
      {kVoPie, sizeof(VectorPieObject), true, true},
      {kVoPath, sizeof(VectorPathObject), true, true},
      {kVoText, sizeof(VectorTextObject), true, true},
      {kVoRaster, sizeof(VectorRasterObject), false, false},
      {kVoClip, sizeof(VectorClipObject), false, false},
      {kVoGroupObject, sizeof(VectorGroupObject), false, false},
      {kVoSpline, sizeof(VectorPolylineObject), true, false},
      {kVoClosedSpline, sizeof(VectorPolygonObject), true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    AnyRecord record;
    std::memset(record.bytes, 0xA5, sizeof(record.bytes));
    ASSERT_EQ(VectorInitObject(&record, c.type), kVkOk);
    EXPECT_EQ(record.desc.h.size, static_cast<int32_t>(c.size));
    EXPECT_EQ(record.desc.h.type, c.type);
    EXPECT_EQ(record.desc.h.flags, 0u);
    EXPECT_EQ(record.bytes[c.size - 1], 0) << "record not cleared to its end";
    EXPECT_EQ(record.bytes[c.size], 0xA5) << "written past the record";
    if (c.pen) {
      const VectorPen& pen = record.desc.line.pen;
      EXPECT_EQ(pen.size, 64);
      EXPECT_EQ(pen.style, static_cast<uint32_t>(kPenSolid));
      EXPECT_EQ(pen.width, 1);
      EXPECT_EQ(pen.colour, 0u);
    }
    if (c.brush) {
      const VectorBrush& brush = record.desc.rect.brush;
      EXPECT_EQ(brush.w[0], 224);
      EXPECT_EQ(brush.w[1], 0);
      EXPECT_EQ(brush.w[2], kBrushSolid);
      EXPECT_EQ(brush.w[3], 0xFFFFFF);
    }
  }
  AnyRecord raster;
  ASSERT_EQ(VectorInitObject(&raster, kVoRaster), kVkOk);
  EXPECT_EQ(raster.desc.raster.value58, 220);
  EXPECT_EQ(raster.desc.raster.bitmap.recordSize, static_cast<int32_t>(sizeof(BitmapRecord)));
  EXPECT_EQ(raster.desc.raster.bitmap.bits, nullptr);
}

TEST(VectorInitObject, RejectsUnknownTypesAndNull) {
  AnyRecord record;
  for (int32_t type : {0, 20, -1, 100}) {
    SCOPED_TRACE(type);
    EXPECT_EQ(VectorInitObject(&record, type), kVkErrUnsupported);
  }
  EXPECT_EQ(VectorInitObject(nullptr, kVoLine), kVkErrArgument);
}

TEST_F(AddObject, RejectsInvalidRecords) {
  static KernelPoint points[2] = {Pt(0, 0), Pt(1, 1)};
  const struct {
    const char* what;
    int32_t type;
    void (*spoil)(VectorObjectDesc&);
    int32_t status;
  } cases[] = {
      {"type word differs", kVoLine, [](VectorObjectDesc& r) { r.h.type = kVoRect; }, kVkErrArgument},
      {"size too small", kVoRect, [](VectorObjectDesc& r) { r.h.size = sizeof(VectorLineObject); },
       kVkErrArgument},
      {"negative count", kVoPolyline,
       [](VectorObjectDesc& r) { r.polyline.count = -1, r.polyline.points = points; }, kVkErrArgument},
      {"points missing", kVoPolygon, [](VectorObjectDesc& r) { r.polygon.count = 2; }, kVkErrArgument},
      {"path kinds missing", kVoPath,
       [](VectorObjectDesc& r) { r.path.count = 2, r.path.points = points; }, kVkErrArgument},
      {"clip through add", kVoClip, [](VectorObjectDesc&) {}, kVkErrArgument},
      {"unknown type 0", kVoLine, [](VectorObjectDesc& r) { r.h.type = 0; }, kVkErrUnsupported},
      {"unknown type 20", kVoLine, [](VectorObjectDesc& r) { r.h.type = 20; }, kVkErrUnsupported},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    AnyRecord record;
    ASSERT_EQ(VectorInitObject(&record, c.type), kVkOk);
    c.spoil(record.desc);
    VectorObjectRef ref = 77;
    // Unknown types are passed as the call's type too; otherwise the call
    // names the type the record was made for.
    const int32_t type = c.status == kVkErrUnsupported ? record.desc.h.type : c.type;
    EXPECT_EQ(VectorAddObject(&doc_, 0, type, &record, &ref), c.status);
    EXPECT_EQ(ref, 77);
  }
  EXPECT_EQ(VectorAddObject(&doc_, 0, kVoLine, nullptr, nullptr), kVkErrArgument);
  EXPECT_EQ(VectorObjectCount(&doc_), 0);
}

TEST_F(AddObject, IdsFollowInsertionAndAreNeverReused) {
  EXPECT_EQ(AddLine(0, 0, 1, 1), 1);
  auto bad = Made<VectorRectObject>(kVoRect);
  bad.h.size = 8;
  EXPECT_EQ(VectorAddObject(&doc_, 0, kVoRect, &bad, nullptr), kVkErrArgument);
  EXPECT_EQ(AddCircle(0, 0, 1), 2);
  EXPECT_EQ(AddText(u"x", Pt(0, 0), 10), 3);
  EXPECT_EQ(VectorObjectCount(&doc_), 3);
}

TEST_F(AddObject, CopiesTheCallersArrays) {
  auto points = std::make_unique<KernelPoint[]>(3);
  auto kinds = std::make_unique<uint8_t[]>(3);
  for (int i = 0; i < 3; ++i) points[i] = Pt(1 + 2 * i, 2 + 2 * i);
  kinds[0] = kPtMoveTo;
  kinds[1] = kPtLineTo;
  kinds[2] = kPtLineTo | kPtCloseFigure;
  auto path = Made<VectorPathObject>(kVoPath);
  path.count = 3;
  path.points = points.get();
  path.kinds = kinds.get();
  path.h.fillRule = kFillAlternate;
  const VectorObjectRef ref = Add(kVoPath, &path);
  auto text = std::make_unique<char16_t[]>(4);
  std::u16string(u"abc").copy(text.get(), 3);
  text[3] = u'\0';
  const VectorObjectRef textRef = AddText(text.get(), Pt(0, 0), 10);
  // The caller's storage goes away right after adding.
  points.reset();
  kinds.reset();
  text.reset();

  Described stored(&doc_, ref, kVoPath);
  ASSERT_EQ(stored.status, kVkOk);
  ASSERT_EQ(stored->path.count, 3);
  EXPECT_EQ(stored->path.points[2].x, 5);
  EXPECT_EQ(stored->path.points[2].y, 6);
  EXPECT_EQ(stored->path.kinds[0], kPtMoveTo);
  EXPECT_EQ(stored->path.kinds[2], kPtLineTo | kPtCloseFigure);
  EXPECT_EQ(stored->path.h.fillRule, kFillAlternate);
  Described storedText(&doc_, textRef, kVoText);
  ASSERT_EQ(storedText.status, kVkOk);
  EXPECT_EQ(std::u16string(storedText->text.text), u"abc");
}

TEST_F(Enumeration, VisitsEveryObjectInInsertionOrder) {
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

  const std::vector<VectorObjectHandle> seen = Enumerate();
  const int32_t wantTypes[] = {kVoLine, kVoRect, kVoClip, kVoGroupObject, kVoCircle};
  ASSERT_EQ(seen.size(), std::size(wantTypes));
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].id, static_cast<int32_t>(i) + 1) << i;
    EXPECT_EQ(seen[i].type, wantTypes[i]) << i;
  }
}

TEST_F(Enumeration, GoesOnAfterAnErrorAndReturnsTheFirst) {
  for (int i = 0; i < 4; ++i) AddLine(i, i, i + 1, i + 1);
  int calls = 0;
  const int32_t status = VectorEnumObjects(
      &doc_,
      [](VectorDocument*, const VectorObjectHandle* object, void* user) -> int32_t {
        ++*static_cast<int*>(user);
        if (object->id == 2) return kVkErrFailed;
        return object->id == 3 ? kVkErrNoMemory : kVkOk;
      },
      &calls, 0);
  EXPECT_EQ(status, kVkErrFailed);
  EXPECT_EQ(calls, 4);
  EXPECT_EQ(VectorEnumObjects(&doc_, nullptr, nullptr, 0), kVkErrArgument);
}

TEST_F(Description, FillsHeaderPenBrushAndGeometry) {
  auto ellipse = Made<VectorEllipseObject>(kVoEllipse);
  ellipse.h.flags = kVoFlagHidden;
  ellipse.pen.colour = 0x0000FF;
  ellipse.pen.width = 3;
  ellipse.brush.w[3] = 0x00FF00;
  ellipse.centre = Pt(10, 20);
  ellipse.rx = 4;
  ellipse.ry = 2;
  const VectorObjectRef ref = Add(kVoEllipse, &ellipse);
  Described stored(&doc_, ref, kVoEllipse);
  ASSERT_EQ(stored.status, kVkOk);
  const VectorEllipseObject& back = stored->ellipse;
  EXPECT_EQ(back.h.size, static_cast<int32_t>(sizeof(VectorEllipseObject)));
  EXPECT_EQ(std::tuple(back.h.type, back.h.id, back.h.layer, back.h.flags),
            std::tuple(kVoEllipse, ref, 1, static_cast<uint32_t>(kVoFlagHidden)));
  EXPECT_EQ(std::tuple(back.pen.colour, back.pen.width, back.brush.w[3]),
            std::tuple(0x0000FFu, 3, 0x00FF00));
  EXPECT_EQ(std::tuple(back.centre.x, back.centre.y, back.rx, back.ry), std::tuple(10, 20, 4, 2));
}

TEST_F(Description, RejectsUnknownIdsAndWrongTypesAndLeavesNothingWhenACopyFails) {
  KernelPoint points[3] = {Pt(0, 0), Pt(1, 1), Pt(2, 0)};
  auto polyline = Made<VectorPolylineObject>(kVoPolyline);
  polyline.count = 3;
  polyline.points = points;
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
  Described stored(&doc_, ref, kVoPolyline);  // and succeeds once memory is there again
  ASSERT_EQ(stored.status, kVkOk);
  EXPECT_EQ(stored->polyline.count, 3);
  EXPECT_EQ(stored->polyline.points[2].x, 2);
}

TEST_F(Clips, StoredAsOutlineObjectsWithoutBounds) {
  AddLine(0, 0, 10, 10);
  KernelPoint outline[5] = {Pt(-50, -50), Pt(50, -50), Pt(50, 50), Pt(-50, 50), Pt(-50, -50)};
  uint8_t kinds[5] = {kPtMoveTo, kPtLineTo, kPtLineTo, kPtLineTo, kPtLineTo | kPtCloseFigure};
  const VectorPointPath clip{5, outline, kinds};
  ASSERT_EQ(VectorSetClip(&doc_, &clip), kVkOk);
  EXPECT_EQ(doc_.lowerBound.x, 0);
  EXPECT_EQ(doc_.upperBound.x, 10);
  const std::vector<VectorObjectHandle> seen = Enumerate();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].type, kVoClip);
  {
    Described stored(&doc_, seen[1].id, kVoClip);
    ASSERT_EQ(stored.status, kVkOk);
    ASSERT_EQ(stored->clip.count, 5);
    EXPECT_EQ(stored->clip.points[1].x, 50);
    EXPECT_EQ(stored->clip.kinds[4], kPtLineTo | kPtCloseFigure);
  }
  KernelPoint lo{}, hi{};
  EXPECT_EQ(VectorGetObjectExtent(&doc_, seen[1].id, &lo, &hi), kVkErrFailed);

  const VectorPointPath noKinds{2, outline, nullptr};
  const VectorPointPath negative{-1, outline, kinds};
  EXPECT_EQ(VectorSetClip(&doc_, &noKinds), kVkErrArgument);
  EXPECT_EQ(VectorSetClip(&doc_, &negative), kVkErrArgument);
  EXPECT_EQ(VectorSetClip(&doc_, nullptr), kVkErrArgument);
  EXPECT_EQ(VectorObjectCount(&doc_), 2);
}

TEST_F(GroupObjects, DescribedWithTheirGroupReferenceAndTakeNoRoom) {
  VectorGroupDesc groupDesc{};
  groupDesc.size = sizeof(groupDesc);
  VectorGroupRef group{};
  ASSERT_EQ(VectorAddGroup(&doc_, &groupDesc, &group, 4), kVkOk);
  auto record = Made<VectorGroupObject>(kVoGroupObject);
  record.group = group.group;
  record.layer = group.layer;
  record.groupFlags = 1u << 8;
  record.scale[0] = record.scale[1] = record.scale[2] = 1.0;
  const VectorObjectRef ref = Add(kVoGroupObject, &record);
  EXPECT_EQ(doc_.upperBound.x, 0);
  Described stored(&doc_, ref, kVoGroupObject);
  ASSERT_EQ(stored.status, kVkOk);
  EXPECT_EQ(stored->h.id, ref);
  EXPECT_EQ(stored->groupObject.group, group.group);
  EXPECT_EQ(stored->groupObject.layer, group.layer);
  EXPECT_EQ(stored->groupObject.groupFlags, 1u << 8);
  EXPECT_EQ(stored->groupObject.scale[2], 1.0);
}

TEST_F(Rasters, KeepTheirOwnCopyOfThePicture) {
  auto raster = Made<VectorRasterObject>(kVoRaster);
  ASSERT_EQ(InitBitmap(&raster.bitmap, sizeof(BitmapRecord), 3, 2, 24), kIkOk);
  ASSERT_EQ(AllocateBitmap(&raster.bitmap, 1), kIkOk);
  ASSERT_EQ(FillBitmap(&raster.bitmap, 0x123456), kIkOk);
  raster.corner2 = Pt(100, -50);
  const VectorObjectRef ref = Add(kVoRaster, &raster);
  const uint8_t* callerBits = raster.bitmap.bits;
  const std::vector<uint8_t> pixels(callerBits, callerBits + raster.bitmap.imageSize);
  {
    Described stored(&doc_, ref, kVoRaster);
    ASSERT_EQ(stored.status, kVkOk);
    EXPECT_EQ(stored->raster.value58, 220);
    EXPECT_EQ(stored->raster.corner2.y, -50);
    EXPECT_EQ(stored->raster.bitmap.width, 3);
    ASSERT_NE(stored->raster.bitmap.bits, nullptr);
    EXPECT_NE(stored->raster.bitmap.bits, callerBits);
  }
  // The caller's picture goes; the document's stays readable.
  ASSERT_EQ(FreeBitmap(&raster.bitmap), kIkOk);
  Described stored(&doc_, ref, kVoRaster);
  ASSERT_EQ(stored.status, kVkOk);
  EXPECT_EQ(std::vector<uint8_t>(stored->raster.bitmap.bits,
                                 stored->raster.bitmap.bits + stored->raster.bitmap.imageSize),
            pixels);
}

TEST_F(Rasters, FailedPictureCopyAddsNothingAndAnEmptyPictureIsAccepted) {
  auto raster = Made<VectorRasterObject>(kVoRaster);
  raster.corner2 = Pt(10, 10);
  ASSERT_EQ(InitBitmap(&raster.bitmap, sizeof(BitmapRecord), 2, 2, 24), kIkOk);
  const VectorObjectRef empty = Add(kVoRaster, &raster);
  EXPECT_EQ(Described(&doc_, empty, kVoRaster)->raster.bitmap.bits, nullptr);

  ASSERT_EQ(AllocateBitmap(&raster.bitmap, 1), kIkOk);
  KernelFailAllocation(1);
  EXPECT_EQ(VectorAddObject(&doc_, 0, kVoRaster, &raster, nullptr), kVkErrNoMemory);
  KernelFailAllocation(0);
  ASSERT_EQ(FreeBitmap(&raster.bitmap), kIkOk);
  EXPECT_EQ(VectorObjectCount(&doc_), 1);
  EXPECT_EQ(AddLine(0, 0, 1, 1), 2) << "the failed object took no id";
}

TEST(VectorGetBrush, ReadsPlainAndTwoColourBrushes) {
  struct Case {
    const char* what;
    int32_t w[6];
    int32_t style;
    uint32_t colour;
    int32_t hatch;
  };
  const Case cases[] = {
      {"solid", {224, 0, kBrushSolid, 0x0000FF, 0, 0}, kBrushSolid, 0x0000FF, 0},
      {"hollow", {224, 0, kBrushHollow, 0xFFFFFF, 0, 0}, kBrushHollow, 0xFFFFFF, 0},
      {"hatched", {224, 0, kBrushHatched, 0x00FF00, kHatchCross, 0}, kBrushHatched, 0x00FF00,
       kHatchCross},
      {"two colours", {16, 2, 0x0000FF, 0x8080FF, 255, 3}, kBrushSolid, 0x8080FF, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
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
