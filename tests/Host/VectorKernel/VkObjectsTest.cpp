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

// A record written past its end shows in the sanitizer build, where every
// test's Made<Record> sits on the stack.
TEST(VectorInitObject, ClearsEachRecordToItsEndAndRefusesUnknownTypes) {
  for (int32_t type = kVoPoint; type <= kVoClosedSpline; ++type) {
    AnyRecord record;
    std::memset(record.bytes, 0xA5, sizeof(record.bytes));
    ASSERT_EQ(VectorInitObject(&record, type), kVkOk) << type;
    ASSERT_TRUE(record.desc.h.size > 0 && record.desc.h.size <= static_cast<int32_t>(sizeof(VectorObjectDesc)));
    EXPECT_EQ(record.desc.h.type, type);
    EXPECT_EQ(record.bytes[record.desc.h.size - 1], 0) << type << ": not cleared to its end";
    EXPECT_EQ(record.bytes[record.desc.h.size], 0xA5) << type << ": written past the record";
  }
  AnyRecord record;
  for (int32_t type : {0, 20, -1}) EXPECT_EQ(VectorInitObject(&record, type), kVkErrUnsupported) << type;
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

TEST_F(Objects, KeepTheirOwnCopyOfTheCallersArraysAndDescribeItOrNothing) {
  auto points = std::make_unique<KernelPoint[]>(3);
  auto kinds = std::make_unique<uint8_t[]>(3);
  for (int i = 0; i < 3; ++i) points[i] = Pt(1 + 2 * i, 2 + 2 * i), kinds[i] = kPtLineTo;
  kinds[0] = kPtMoveTo;
  kinds[2] |= kPtCloseFigure;
  auto path = Made<VectorPathObject>(kVoPath);
  path.count = 3;
  path.points = points.get();
  path.kinds = kinds.get();
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
  EXPECT_EQ(std::u16string(Described(&doc_, textRef, kVoText)->text.text), u"abc");
  VectorObjectDesc desc{};
  VectorObjectHandle handle{textRef + 1, kVoPath};
  EXPECT_EQ(VectorGetObject(&doc_, &handle, kVoPath, &desc), kVkErrNoObject);
}

// Clips and group objects are enumerated in their place but take no room.
TEST_F(Objects, EnumerationVisitsEveryObjectInOrderAndReturnsTheFirstError) {
  VectorGroupDesc groupDesc{};
  groupDesc.size = sizeof(groupDesc);
  VectorGroupRef group{};
  ASSERT_EQ(VectorAddGroup(&doc_, &groupDesc, &group, 4), kVkOk);
  AddLine(0, 0, 10, 10);
  auto rect = Made<VectorRectObject>(kVoRect);
  ASSERT_EQ(VectorAddObjectToGroup(&doc_, group, kVoRect, &rect, nullptr), kVkOk);
  KernelPoint outline[3] = {Pt(-50, -50), Pt(50, -50), Pt(50, 50)};
  uint8_t kinds[3] = {kPtMoveTo, kPtLineTo, kPtLineTo | kPtCloseFigure};
  const VectorPointPath clip{3, outline, kinds}, noKinds{2, outline, nullptr};
  ASSERT_EQ(VectorSetClip(&doc_, &clip), kVkOk);
  EXPECT_EQ(VectorSetClip(&doc_, &noKinds), kVkErrArgument);
  const auto groupObject = Made<VectorGroupObject>(kVoGroupObject);
  Add(kVoGroupObject, &groupObject);
  AddCircle(0, 0, 1);
  std::vector<int32_t> seen;  // id and type of each object
  ASSERT_EQ(VectorEnumObjects(&doc_, [](VectorDocument*, const VectorObjectHandle* object, void* user) -> int32_t {
    static_cast<std::vector<int32_t>*>(user)->insert(static_cast<std::vector<int32_t>*>(user)->end(), {object->id, object->type});
    return kVkOk;
  }, &seen, 0), kVkOk);
  EXPECT_EQ(seen, (std::vector<int32_t>{1, kVoLine, 2, kVoRect, 3, kVoClip, 4, kVoGroupObject, 5, kVoCircle}));
  ExpectBox(doc_.lowerBound, doc_.upperBound, -1, -1, 10, 10);
  KernelPoint lo{}, hi{};
  EXPECT_EQ(VectorGetObjectExtent(&doc_, 3, &lo, &hi), kVkErrFailed);
  int calls = 0;
  EXPECT_EQ(VectorEnumObjects(&doc_, [](VectorDocument*, const VectorObjectHandle* object, void* user) -> int32_t {
    ++*static_cast<int*>(user);
    return object->id == 2 ? kVkErrFailed : object->id == 3 ? kVkErrNoMemory : kVkOk;
  }, &calls, 0), kVkErrFailed);
  EXPECT_EQ(calls, 5);
  EXPECT_EQ(VectorEnumObjects(&doc_, nullptr, nullptr, 0), kVkErrArgument);
}

TEST_F(Objects, RastersKeepTheirOwnCopyOfThePicture) {
  auto raster = Made<VectorRasterObject>(kVoRaster);
  ASSERT_EQ(InitBitmap(&raster.bitmap, sizeof(BitmapRecord), 3, 2, 24), kIkOk);
  const VectorObjectRef empty = Add(kVoRaster, &raster);
  EXPECT_EQ(Described(&doc_, empty, kVoRaster)->raster.bitmap.bits, nullptr);
  ASSERT_EQ(AllocateBitmap(&raster.bitmap, 1), kIkOk);
  ASSERT_EQ(FillBitmap(&raster.bitmap, 0x123456), kIkOk);
  const VectorObjectRef ref = Add(kVoRaster, &raster);
  const std::vector<uint8_t> pixels(raster.bitmap.bits, raster.bitmap.bits + raster.bitmap.imageSize);
  ASSERT_EQ(FreeBitmap(&raster.bitmap), kIkOk);  // the caller's picture goes; the document's stays
  Described stored(&doc_, ref, kVoRaster);
  ASSERT_EQ(stored.status, kVkOk);
  const BitmapRecord& kept = stored->raster.bitmap;
  EXPECT_EQ(std::vector<uint8_t>(kept.bits, kept.bits + kept.imageSize), pixels);
}

}  // namespace
}  // namespace vktest
