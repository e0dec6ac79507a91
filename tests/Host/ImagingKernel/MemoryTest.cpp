// Tagged allocation, tracking, movable memory, accounting and fault
// injection. The leak guard linked into this program fails any test that
// leaves a block live, so the tests check the counts going up only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "support/KernelLeakGuard.h"

namespace {

using svgflt::testing::KernelSnapshot;
using svgflt::testing::ScopedLeakAllowance;

constexpr char16_t kSvg[] = u"Common/svg";
constexpr char16_t kVector[] = u"Common/Vector";

TEST(KernelAlloc, GivesPatternedCountedBlocksTaggedByPathAndRefusesBadSizes) {
  KernelAccounting before = KernelSnapshot();
  auto* block = static_cast<unsigned char*>(KernelAlloc(3, 5, 10, kSvg));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(KernelSnapshot().liveBytes, before.liveBytes + 15);
  // Fresh blocks are not zero: callers that forget to clear them must notice.
  EXPECT_EQ(std::count(block, block + 15, 0xCD), 15);
  std::u16string path = kVector;
  void* other = KernelAlloc(1, 4, 3, path.c_str());
  path = u"Something/els";  // same buffer, other text: the kernel kept its own copy
  struct Case { const char16_t* prefix; int64_t count; };
  for (Case c : {Case{kSvg, 1}, Case{u"Common/", 2}, Case{u"Common/Vectors", 0}, Case{u"Something", 0}}) {
    EXPECT_EQ(KernelLiveBlocksTagged(c.prefix), c.count);
  }
  KernelFree(other, 11, kSvg);
  KernelCopyMemory(block + 1, block, 4);  // overlapping: the bytes move like memmove's
  KernelFillMemory(block, 0x1A7, 1);      // the low byte only
  EXPECT_EQ(std::vector<unsigned char>(block, block + 3), (std::vector<unsigned char>{0xA7, 0xCD, 0xCD}));
  KernelFree(block, 11, kSvg);
  struct Size { uint32_t count, size; };
  for (Size c : {Size{0, 4}, Size{4, 0}, Size{0x10000, 0x10000}, Size{UINT32_MAX, 2}}) {
    EXPECT_EQ(KernelAlloc(c.count, c.size, 1, kSvg), nullptr) << c.count << " x " << c.size;
  }
  EXPECT_EQ(KernelSnapshot().liveBlocks, before.liveBlocks);
}

TEST(KernelRealloc, GrowsKeepingContentsRetagsAndCountsAsAnAllocation) {
  KernelAccounting before = KernelSnapshot();
  auto* block = static_cast<char*>(KernelRealloc(nullptr, 4, 1, kSvg));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "abcd", 4);
  auto* grown = static_cast<char*>(KernelRealloc(block, 100, 7, kVector));
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(std::memcmp(grown, "abcd", 4), 0);
  EXPECT_EQ(KernelSnapshot().liveBytes, before.liveBytes + 100);
  EXPECT_EQ(KernelSnapshot().totalAllocations, before.totalAllocations + 2);
  EXPECT_EQ(KernelLiveBlocksTagged(kSvg), 0);
  EXPECT_EQ(KernelRealloc(grown, 0, 2, kVector), nullptr);  // refused, block kept
  // A failed reallocation leaves the old block valid, counted and tagged.
  KernelFailAllocation(1);
  EXPECT_EQ(KernelRealloc(grown, 4096, 2, kSvg), nullptr);
  EXPECT_EQ(KernelSnapshot().liveBytes, before.liveBytes + 100);
  EXPECT_EQ(KernelLiveBlocksTagged(kVector), 1);
  EXPECT_EQ(std::memcmp(grown, "abcd", 4), 0);
  KernelFree(grown, 8, kVector);
}

// Tables grow a few entries at a time; a large block must not move on every
// growth, or such a table costs quadratic time where realloc always moves.
TEST(KernelRealloc, LargeBlockGrowingInSmallStepsMovesRarelyAndKeepsItsBytes) {
  const KernelAccounting before = KernelSnapshot();
  uint32_t size = 65536;
  auto* block = static_cast<unsigned char*>(KernelAlloc(1, size, 1, kSvg));
  ASSERT_NE(block, nullptr);
  int moves = 0;
  for (int step = 0; step < 200; ++step) {
    block[size - 1] = static_cast<unsigned char>(step);
    auto* grown = static_cast<unsigned char*>(KernelRealloc(block, size + 1336, 1, kSvg));
    ASSERT_NE(grown, nullptr);
    moves += grown != block ? 1 : 0;
    EXPECT_EQ(grown[size - 1], static_cast<unsigned char>(step));
    EXPECT_EQ(grown[size], 0xCD);  // the grown part is patterned like a fresh block
    block = grown;
    size += 1336;
  }
  EXPECT_LE(moves, 12);
  EXPECT_EQ(KernelSnapshot().liveBytes, before.liveBytes + size);
  KernelFree(block, 1, kSvg);
}

TEST(KernelFree, IgnoresNullAndCountsUnknownAndDoubleReleasesAndTracking) {
  ScopedLeakAllowance allowance;
  int64_t invalid = KernelInvalidReleases();
  KernelFree(nullptr, 1, kSvg);
  EXPECT_EQ(KernelInvalidReleases(), invalid);
  int local = 0;
  KernelFree(&local, 1, kSvg);
  void* block = KernelAlloc(1, 4, 1, kSvg);
  KernelFree(block, 2, kSvg);
  KernelFree(block, 3, kSvg);
  EXPECT_EQ(KernelRealloc(&local, 8, 4, kSvg), nullptr);
  KernelUntrackObject(kTrackObject, &local, 1, kSvg);
  KernelFreeMemory(&local, 1, kSvg);
  EXPECT_EQ(KernelInvalidReleases(), invalid + 5);
  // Tracked twice without an untrack between: the first registration is stale.
  KernelTrackObject(kTrackObject, &local, 2, kSvg);
  KernelTrackObject(kTrackObject, &local, 3, kSvg);
  KernelUntrackObject(kTrackObject, &local, 4, kSvg);
  EXPECT_EQ(KernelInvalidReleases(), invalid + 6);
}

// Enough blocks for the registry to grow several times, released in a
// scrambled order, so that entries sharing a probe run are taken out between
// the ones that stay. Addresses next to live blocks (inside them, or in the
// same 16-byte unit) and released ones must stay unknown.
TEST(KernelFree, FindsEveryLiveBlockAmongManyAndNoOther) {
  ScopedLeakAllowance allowance;
  constexpr char16_t kTag[] = u"Common/Many";
  constexpr int kBlocks = 6000;
  KernelAccounting before = KernelSnapshot();
  std::vector<char*> blocks;
  for (int i = 0; i < kBlocks; ++i) {
    blocks.push_back(static_cast<char*>(KernelAlloc(1, 24 + i % 7 * 16, i, kTag)));
    if (i % 3 == 0) blocks[i] = static_cast<char*>(KernelRealloc(blocks[i], 200, i, kTag));
    ASSERT_NE(blocks.back(), nullptr);
  }
  std::shuffle(blocks.begin(), blocks.end(), std::mt19937(7));
  int64_t invalid = KernelInvalidReleases();
  for (int i = 0; i < kBlocks / 2; ++i) KernelFree(blocks[i], 1, kTag);
  EXPECT_EQ(KernelLiveBlocksTagged(kTag), kBlocks / 2);
  for (int i = 0; i < kBlocks; i += 97) KernelFree(blocks[i] + 1, 2, kTag);  // inside a block, or a released one
  for (int i = kBlocks / 2; i < kBlocks; ++i) KernelFree(blocks[i], 4, kTag);
  EXPECT_EQ(KernelInvalidReleases(), invalid + (kBlocks + 96) / 97);
  EXPECT_EQ(KernelSnapshot().liveBlocks, before.liveBlocks);
  EXPECT_EQ(KernelSnapshot().liveBytes, before.liveBytes);
}

TEST(KernelFailAllocation, FailsExactlyTheNthAllocationOfAnyKind) {
  KernelFailAllocation(4);
  KernelMemHandle handle = KernelAllocMemory(16, 1, kSvg);
  void* second = KernelAlloc(1, 8, 2, kSvg);
  BitmapRecord third{}, fourth{};
  for (BitmapRecord* bitmap : {&third, &fourth}) ASSERT_EQ(InitBitmap(bitmap, 216, 2, 2, 24), kIkOk);
  EXPECT_EQ(AllocateBitmap(&third, 1), kIkOk);
  EXPECT_EQ(AllocateBitmap(&fourth, 1), kIkErrNoMemory);
  void* fifth = KernelAlloc(1, 4, 4, kSvg);
  EXPECT_TRUE(handle != nullptr && second != nullptr && fifth != nullptr);
  KernelFreeMemory(handle, 2, kSvg);
  for (void* block : {second, fifth}) KernelFree(block, 5, kSvg);
  EXPECT_EQ(FreeBitmap(&third), kIkOk);
}

TEST(KernelAllocMemory, LocksToTheSameBytesAndCountsTheLocksDown) {
  KernelMemHandle handle = KernelAllocMemory(40, 1, kSvg);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(KernelMemorySize(handle), 40);
  void* bytes = KernelLockMemory(handle);
  EXPECT_TRUE(bytes != nullptr && KernelLockMemory(handle) == bytes);
  for (int32_t left : {1, 0, 0}) EXPECT_EQ(KernelUnlockMemory(handle), left);
  KernelFreeMemory(handle, 2, kSvg);  // freed while locked
}

}  // namespace
