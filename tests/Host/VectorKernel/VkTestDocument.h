// Fixture and record builders shared by the vector kernel's document tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "VectorKernel/VectorKernel.h"

namespace vktest {

inline KernelPoint Pt(double x, double y) { return KernelPoint{x, y, 0.0, 0}; }

// A fresh document per test. At the end it is freed, and nothing that the
// kernel took from the imaging kernel (blocks, bitmaps) may be outstanding.
class VkDocumentFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    KernelGetAccounting(&before_);
    ASSERT_EQ(VectorInit(&doc_), kVkOk);
  }
  void TearDown() override {
    KernelFailAllocation(0);
    if (doc_.impl) {
      EXPECT_EQ(VectorFree(&doc_), kVkOk);
    }
    KernelAccounting after{};
    KernelGetAccounting(&after);
    EXPECT_EQ(after.liveBlocks, before_.liveBlocks);
    EXPECT_EQ(after.liveBitmaps, before_.liveBitmaps);
  }

  VectorObjectRef AddLine(double x1, double y1, double x2, double y2) {
    VectorLineObject line{};
    EXPECT_EQ(VectorInitObject(&line, kVoLine), kVkOk);
    line.from = Pt(x1, y1);
    line.to = Pt(x2, y2);
    VectorObjectRef ref = 0;
    EXPECT_EQ(VectorAddObject(&doc_, 0, kVoLine, &line, &ref), kVkOk);
    return ref;
  }
  VectorObjectRef AddRect(KernelPoint a, KernelPoint b) {
    VectorRectObject rect{};
    EXPECT_EQ(VectorInitObject(&rect, kVoRect), kVkOk);
    rect.corner1 = a;
    rect.corner2 = b;
    VectorObjectRef ref = 0;
    EXPECT_EQ(VectorAddObject(&doc_, 0, kVoRect, &rect, &ref), kVkOk);
    return ref;
  }
  VectorObjectRef AddCircle(double cx, double cy, double r) {
    VectorCircleObject circle{};
    EXPECT_EQ(VectorInitObject(&circle, kVoCircle), kVkOk);
    circle.centre = Pt(cx, cy);
    circle.r = r;
    VectorObjectRef ref = 0;
    EXPECT_EQ(VectorAddObject(&doc_, 0, kVoCircle, &circle, &ref), kVkOk);
    return ref;
  }
  VectorObjectRef AddText(const char16_t* text, KernelPoint at, double size,
                          int32_t alignment = kAlignStart, int32_t escapement = 0) {
    VectorTextObject record{};
    EXPECT_EQ(VectorInitObject(&record, kVoText), kVkOk);
    record.text = text;
    record.position = at;
    record.fontSize = size;
    record.alignment = alignment;
    record.escapement = escapement;
    VectorObjectRef ref = 0;
    EXPECT_EQ(VectorAddObject(&doc_, 0, kVoText, &record, &ref), kVkOk);
    return ref;
  }

  // Handles in enumeration order.
  std::vector<VectorObjectHandle> Enumerate() {
    std::vector<VectorObjectHandle> seen;
    const int32_t status = VectorEnumObjects(
        &doc_,
        [](VectorDocument*, const VectorObjectHandle* object, void* user) -> int32_t {
          static_cast<std::vector<VectorObjectHandle>*>(user)->push_back(*object);
          return kVkOk;
        },
        &seen, 0);
    EXPECT_EQ(status, kVkOk);
    return seen;
  }

  VectorDocument doc_{};
  KernelAccounting before_{};
};

}  // namespace vktest
