// Fixture, record builders and descriptions shared by the vector kernel's
// tests. The leak guard linked into every test program checks that nothing
// the kernel took from the imaging kernel is left live after a test.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "VectorKernel/VectorKernel.h"

namespace vktest {

inline KernelPoint Pt(double x, double y) { return KernelPoint{x, y, 0.0, 0}; }

// A record of `type` holding the kernel's defaults.
template <typename Record>
Record Made(int32_t type) {
  Record record{};
  EXPECT_EQ(VectorInitObject(&record, type), kVkOk);
  return record;
}

inline void ExpectBox(const KernelPoint& lo, const KernelPoint& hi, double x0, double y0, double x1, double y1) {
  EXPECT_NEAR(lo.x, x0, 1e-9);
  EXPECT_NEAR(lo.y, y0, 1e-9);
  EXPECT_NEAR(hi.x, x1, 1e-9);
  EXPECT_NEAR(hi.y, y1, 1e-9);
}

// The kernel's description of a stored object, released at the end of scope.
struct Described {
  Described(VectorDocument* doc, VectorObjectRef id, int32_t objectType) : type(objectType) {
    const VectorObjectHandle handle{id, type};
    status = VectorGetObject(doc, &handle, type, &desc);
  }
  ~Described() { EXPECT_EQ(status == kVkOk ? VectorFreeObjectData(type, &desc) : kVkOk, kVkOk); }
  const VectorObjectDesc* operator->() const { return &desc; }

  int32_t type;
  int32_t status;
  VectorObjectDesc desc{};
};

// A fresh document per test, freed at the end.
class VkDocumentFixture : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(VectorInit(&doc_), kVkOk); }
  void TearDown() override {
    KernelFailAllocation(0);
    EXPECT_EQ(doc_.impl ? VectorFree(&doc_) : kVkOk, kVkOk);
  }

  // Adds `record` of `type` to the active layer; its id.
  VectorObjectRef Add(int32_t type, const void* record) {
    VectorObjectRef ref = 0;
    EXPECT_EQ(VectorAddObject(&doc_, 0, type, record, &ref), kVkOk);
    return ref;
  }
  VectorObjectRef AddLine(double x1, double y1, double x2, double y2) {
    auto line = Made<VectorLineObject>(kVoLine);
    line.from = Pt(x1, y1);
    line.to = Pt(x2, y2);
    return Add(kVoLine, &line);
  }
  VectorObjectRef AddRect(KernelPoint a, KernelPoint b) {
    auto rect = Made<VectorRectObject>(kVoRect);
    rect.corner1 = a;
    rect.corner2 = b;
    return Add(kVoRect, &rect);
  }
  VectorObjectRef AddCircle(double cx, double cy, double r) {
    auto circle = Made<VectorCircleObject>(kVoCircle);
    circle.centre = Pt(cx, cy);
    circle.r = r;
    return Add(kVoCircle, &circle);
  }
  VectorObjectRef AddText(const char16_t* text, KernelPoint at, double size, int32_t alignment = kAlignStart,
                          int32_t escapement = 0) {
    auto record = Made<VectorTextObject>(kVoText);
    record.text = text;
    record.position = at;
    record.fontSize = size;
    record.alignment = alignment;
    record.escapement = escapement;
    return Add(kVoText, &record);
  }
  void ExpectExtent(VectorObjectRef ref, double x0, double y0, double x1, double y1) {
    KernelPoint lo{}, hi{};
    ASSERT_EQ(VectorGetObjectExtent(&doc_, ref, &lo, &hi), kVkOk);
    ExpectBox(lo, hi, x0, y0, x1, y1);
  }

  VectorDocument doc_{};
};

}  // namespace vktest
