// The growable list of fixed-size entries.
#include <gtest/gtest.h>

#include <cstring>

#include "ImagingKernel/ImagingKernel.h"
#include "VectorKernel/VectorKernel.h"
#include "support/KernelLeakGuard.h"

namespace {

struct Pair {
  int32_t element, object;
};

TEST(VectorObjectList, GrowsByItsStepInOneBlockKeepsEntriesAndSurvivesFailedGrowth) {
  const int64_t before = svgflt::testing::KernelSnapshot().liveBlocks;
  VectorObjectList list{};
  ASSERT_EQ(VectorObjectListInit(&list, sizeof(Pair), 1000, 0xAA55AA55u), kVkOk);
  for (int32_t i = 0; i < 2000; ++i) {
    const Pair entry{i, 10000 + i};
    ASSERT_EQ(VectorObjectListAppend(&list, &entry, sizeof(Pair)), kVkOk);
  }
  EXPECT_EQ(list.capacity, 2000);
  const Pair entry{2000, 12000};
  KernelFailAllocation(1);
  EXPECT_EQ(VectorObjectListAppend(&list, &entry, sizeof(Pair)), kVkErrNoMemory);
  EXPECT_EQ(list.count, 2000);
  EXPECT_EQ(list.capacity, 2000);
  ASSERT_EQ(VectorObjectListAppend(&list, &entry, sizeof(Pair)), kVkOk);
  EXPECT_EQ(list.capacity, 3000);
  for (int32_t i : {0, 999, 1000, 2000}) {
    Pair stored{};
    std::memcpy(&stored, list.data + i * sizeof(Pair), sizeof(Pair));
    EXPECT_EQ(stored.element, i);
    EXPECT_EQ(stored.object, 10000 + i);
  }
  EXPECT_EQ(svgflt::testing::KernelSnapshot().liveBlocks, before + 1);
  ASSERT_EQ(VectorObjectListFree(&list), kVkOk);
  EXPECT_TRUE(list.data == nullptr && list.count == 0);
}

}  // namespace
