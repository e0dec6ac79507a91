// The growable list of fixed-size entries.
#include <gtest/gtest.h>

#include <cstring>

#include "ImagingKernel/ImagingKernel.h"
#include "VectorKernel/VectorKernel.h"
#include "support/KernelLeakGuard.h"

namespace {

struct Pair {
  int32_t element;
  int32_t object;
};

TEST(VectorObjectList, GrowsByItsStepInOneBlockAndKeepsEntries) {
  const int64_t before = svgflt::testing::KernelSnapshot().liveBlocks;
  VectorObjectList list{};
  ASSERT_EQ(VectorObjectListInit(&list, sizeof(Pair), 1000, 0xAA55AA55u), kVkOk);
  EXPECT_EQ(list.tag, 0xAA55AA55u);
  for (int32_t i = 0; i < 2500; ++i) {
    const Pair entry{i, 10000 + i};
    ASSERT_EQ(VectorObjectListAppend(&list, &entry, sizeof(Pair)), kVkOk);
  }
  EXPECT_EQ(list.count, 2500);
  EXPECT_EQ(list.capacity, 3000);
  for (int32_t i : {0, 999, 1000, 2499}) {
    Pair entry{};
    std::memcpy(&entry, list.data + i * sizeof(Pair), sizeof(Pair));
    EXPECT_EQ(entry.element, i);
    EXPECT_EQ(entry.object, 10000 + i);
  }
  EXPECT_EQ(svgflt::testing::KernelSnapshot().liveBlocks, before + 1);
  ASSERT_EQ(VectorObjectListFree(&list), kVkOk);
  EXPECT_EQ(list.data, nullptr);
  EXPECT_EQ(list.count, 0);
}

TEST(VectorObjectList, FailedGrowthKeepsTheList) {
  VectorObjectList list{};
  ASSERT_EQ(VectorObjectListInit(&list, sizeof(Pair), 2, 0xAA55AA55u), kVkOk);
  const Pair entry{1, 2};
  ASSERT_EQ(VectorObjectListAppend(&list, &entry, sizeof(Pair)), kVkOk);
  ASSERT_EQ(VectorObjectListAppend(&list, &entry, sizeof(Pair)), kVkOk);
  KernelFailAllocation(1);
  EXPECT_EQ(VectorObjectListAppend(&list, &entry, sizeof(Pair)), kVkErrNoMemory);
  KernelFailAllocation(0);
  EXPECT_EQ(list.count, 2);
  EXPECT_EQ(list.capacity, 2);
  ASSERT_EQ(VectorObjectListAppend(&list, &entry, sizeof(Pair)), kVkOk);
  EXPECT_EQ(list.count, 3);
  ASSERT_EQ(VectorObjectListFree(&list), kVkOk);
}

TEST(VectorObjectList, RejectsBadArguments) {
  VectorObjectList list{};
  EXPECT_EQ(VectorObjectListInit(nullptr, 8, 1000, 0), kVkErrArgument);
  EXPECT_EQ(VectorObjectListInit(&list, 0, 1000, 0), kVkErrArgument);
  EXPECT_EQ(VectorObjectListInit(&list, 8, 0, 0), kVkErrArgument);
  const Pair entry{};
  EXPECT_EQ(VectorObjectListAppend(&list, &entry, sizeof(Pair)), kVkErrArgument) << "not initialised";
  ASSERT_EQ(VectorObjectListInit(&list, sizeof(Pair), 1000, 0), kVkOk);
  EXPECT_EQ(VectorObjectListAppend(&list, &entry, 4), kVkErrArgument);
  EXPECT_EQ(VectorObjectListAppend(&list, nullptr, sizeof(Pair)), kVkErrArgument);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(VectorObjectListFree(&list), kVkOk);
  EXPECT_EQ(VectorObjectListFree(nullptr), kVkErrArgument);
}

}  // namespace
