// Tagged allocation, tracking and movable memory. The leak guard linked into
// this program fails any test that leaves a block live, so the tests check
// the counts going up and leave the way back down to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "support/KernelLeakGuard.h"

namespace {

using svgflt::testing::KernelSnapshot;
using svgflt::testing::ScopedLeakAllowance;

constexpr char16_t kSvgTag[] = u"Common/svg";
constexpr char16_t kVectorTag[] = u"Common/Vector";

TEST(KernelAlloc, GivesCountTimesSizePatternedBytesAndRefusesBadSizes) {
  KernelAccounting before = KernelSnapshot();
  auto* block = static_cast<unsigned char*>(KernelAlloc(3, 5, 10, kSvgTag));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(KernelSnapshot().liveBlocks, before.liveBlocks + 1);
  EXPECT_EQ(KernelSnapshot().liveBytes, before.liveBytes + 15);
  // Fresh blocks are not zero: callers that forget to clear them must notice.
  for (int i = 0; i < 15; ++i) EXPECT_EQ(block[i], 0xCD) << i;
  KernelFree(block, 11, kSvgTag);

  struct Case {
    uint32_t count, size;
  };
  for (Case c : {Case{0, 4}, Case{4, 0}, Case{0x10000, 0x10000}, Case{UINT32_MAX, 2}}) {
    SCOPED_TRACE(std::to_string(c.count) + " x " + std::to_string(c.size));
    EXPECT_EQ(KernelAlloc(c.count, c.size, 1, kSvgTag), nullptr);
    EXPECT_EQ(KernelSnapshot().liveBlocks, before.liveBlocks);
  }
}

TEST(KernelLiveBlocksTagged, CountsByPathPrefixAndKeepsTheTagText) {
  void* a = KernelAlloc(1, 4, 1, kSvgTag);
  void* b = KernelAlloc(1, 4, 2, kVectorTag);
  std::u16string path = u"Common/Vector";
  void* c = KernelAlloc(1, 4, 3, path.c_str());
  path = u"Something/els";  // same buffer, other text
  struct Case {
    const char16_t* prefix;
    int64_t count;
  };
  for (Case k : {Case{u"Common/svg", 1}, Case{u"Common/Vector", 2}, Case{u"Common/", 3},
                 Case{u"Common/Vectors", 0}, Case{u"Something", 0}}) {
    EXPECT_EQ(KernelLiveBlocksTagged(k.prefix), k.count);
  }
  KernelFree(b, 4, kVectorTag);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/Vector"), 1);
  KernelFree(a, 5, kSvgTag);
  KernelFree(c, 6, kVectorTag);
}

TEST(KernelRealloc, GrowsKeepingContentsRetagsAndCountsAsAnAllocation) {
  KernelAccounting before = KernelSnapshot();
  auto* block = static_cast<char*>(KernelAlloc(1, 4, 1, kSvgTag));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "abcd", 4);
  auto* grown = static_cast<char*>(KernelRealloc(block, 100, 7, kVectorTag));
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(std::memcmp(grown, "abcd", 4), 0);
  EXPECT_EQ(KernelSnapshot().liveBytes, before.liveBytes + 100);
  EXPECT_EQ(KernelSnapshot().totalAllocations, before.totalAllocations + 2);
  EXPECT_EQ(KernelLiveBlocksTagged(kSvgTag), 0);
  EXPECT_EQ(KernelLiveBlocksTagged(kVectorTag), 1);
  // Size zero is refused and the block kept.
  EXPECT_EQ(KernelRealloc(grown, 0, 2, kVectorTag), nullptr);
  EXPECT_EQ(KernelLiveBlocksTagged(kVectorTag), 1);
  KernelFree(grown, 8, kVectorTag);

  void* fresh = KernelRealloc(nullptr, 12, 1, kSvgTag);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(KernelLiveBlocksTagged(kSvgTag), 1);
  KernelFree(fresh, 2, kSvgTag);
}

TEST(KernelFree, IgnoresNullAndCountsUnknownAndDoubleReleasesAndTracking) {
  ScopedLeakAllowance allowance;
  int64_t invalid = KernelInvalidReleases();
  KernelFree(nullptr, 1, kSvgTag);
  EXPECT_EQ(KernelInvalidReleases(), invalid);
  int local = 0;
  KernelFree(&local, 1, kSvgTag);
  void* block = KernelAlloc(1, 4, 1, kSvgTag);
  KernelFree(block, 2, kSvgTag);
  KernelFree(block, 3, kSvgTag);
  EXPECT_EQ(KernelRealloc(&local, 8, 4, kSvgTag), nullptr);
  KernelUntrackObject(kTrackObject, &local, 1, kSvgTag);
  EXPECT_EQ(KernelInvalidReleases(), invalid + 4);
  // Tracked twice without an untrack between: the first registration is stale.
  KernelTrackObject(kTrackObject, &local, 2, kSvgTag);
  KernelTrackObject(kTrackObject, &local, 3, kSvgTag);
  KernelUntrackObject(kTrackObject, &local, 4, kSvgTag);
  EXPECT_EQ(KernelInvalidReleases(), invalid + 5);
}

// Enough blocks for the registry to grow several times, released in a
// scrambled order, so that entries sharing a probe run are taken out
// between the ones that stay. Addresses next to live blocks (inside them, or
// in the same 16-byte unit) and released ones must stay unknown.
TEST(KernelFree, FindsEveryLiveBlockAmongManyAndNoOther) {
  ScopedLeakAllowance allowance;
  constexpr char16_t kTag[] = u"Common/Many";
  constexpr int kBlocks = 6000;
  KernelAccounting before = KernelSnapshot();
  std::vector<char*> blocks;
  for (int i = 0; i < kBlocks; ++i) {
    blocks.push_back(static_cast<char*>(KernelAlloc(1, 24 + i % 7 * 16, i, kTag)));
    ASSERT_NE(blocks.back(), nullptr);
  }
  for (int i = 0; i < kBlocks; i += 3) {
    blocks[i] = static_cast<char*>(KernelRealloc(blocks[i], 200, i, kTag));
    ASSERT_NE(blocks[i], nullptr);
  }
  std::shuffle(blocks.begin(), blocks.end(), std::mt19937(7));
  int64_t invalid = KernelInvalidReleases();
  for (int i = 0; i < kBlocks / 2; ++i) KernelFree(blocks[i], 1, kTag);
  EXPECT_EQ(KernelInvalidReleases(), invalid);
  EXPECT_EQ(KernelLiveBlocksTagged(kTag), kBlocks / 2);
  EXPECT_EQ(KernelSnapshot().liveBlocks, before.liveBlocks + kBlocks / 2);

  int bogus = 0;
  for (int i = 0; i < kBlocks; i += 97) {
    char* address = blocks[i];
    for (char* near : {address + 1, address + 16}) {
      KernelFree(near, 2, kTag);
      ++bogus;
    }
    if (i < kBlocks / 2) {
      KernelFree(address, 3, kTag);
      ++bogus;
    }
  }
  EXPECT_EQ(KernelInvalidReleases(), invalid + bogus);
  for (int i = kBlocks / 2; i < kBlocks; ++i) KernelFree(blocks[i], 4, kTag);
  EXPECT_EQ(KernelInvalidReleases(), invalid + bogus);
  EXPECT_EQ(KernelSnapshot().liveBlocks, before.liveBlocks);
  EXPECT_EQ(KernelSnapshot().liveBytes, before.liveBytes);
}

TEST(KernelFillMemory, SetsTheLowByteAndCopyMemoryAllowsOverlap) {
  unsigned char bytes[6] = {1, 2, 3, 4, 5, 6};
  KernelFillMemory(bytes, 0x1A7, 5);
  EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 6),
            (std::vector<unsigned char>{0xA7, 0xA7, 0xA7, 0xA7, 0xA7, 6}));
  char text[] = "abcdef";
  KernelCopyMemory(text + 1, text, 4);
  EXPECT_STREQ(text, "aabcdf");
}

TEST(KernelFailAllocation, FailsExactlyTheNthAllocationOfAnyKindUntilReset) {
  KernelFailAllocation(4);
  KernelMemHandle handle = KernelAllocMemory(16, 1, kSvgTag);
  void* second = KernelAlloc(1, 4, 2, kSvgTag);
  BitmapRecord third{};
  BitmapRecord fourth{};
  ASSERT_EQ(InitBitmap(&third, 216, 2, 2, 24), kIkOk);
  ASSERT_EQ(InitBitmap(&fourth, 216, 2, 2, 24), kIkOk);
  EXPECT_EQ(AllocateBitmap(&third, 1), kIkOk);
  EXPECT_EQ(AllocateBitmap(&fourth, 1), kIkErrNoMemory);
  EXPECT_EQ(fourth.bits, nullptr);
  void* fifth = KernelAlloc(1, 4, 4, kSvgTag);
  EXPECT_NE(handle, nullptr);
  EXPECT_NE(second, nullptr);
  EXPECT_NE(fifth, nullptr);
  KernelFreeMemory(handle, 2, kSvgTag);
  for (void* block : {second, fifth}) KernelFree(block, 5, kSvgTag);
  EXPECT_EQ(FreeBitmap(&third), kIkOk);

  KernelFailAllocation(1);
  EXPECT_EQ(KernelAllocMemory(16, 1, kSvgTag), nullptr);
  KernelFailAllocation(1);
  KernelFailAllocation(0);
  void* block = KernelAlloc(1, 4, 1, kSvgTag);
  EXPECT_NE(block, nullptr);
  KernelFree(block, 2, kSvgTag);
}

TEST(KernelFailAllocation, AFailedReallocLeavesTheOldBlockValid) {
  auto* block = static_cast<char*>(KernelAlloc(1, 8, 1, kSvgTag));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "keep me", 8);
  KernelAccounting before = KernelSnapshot();
  KernelFailAllocation(1);
  EXPECT_EQ(KernelRealloc(block, 4096, 2, kVectorTag), nullptr);
  EXPECT_EQ(KernelSnapshot().liveBlocks, before.liveBlocks);
  EXPECT_EQ(KernelSnapshot().liveBytes, before.liveBytes);
  EXPECT_EQ(KernelLiveBlocksTagged(kSvgTag), 1);
  EXPECT_STREQ(block, "keep me");
  KernelFree(block, 3, kSvgTag);
}

struct Listed {
  std::u16string path;
  int32_t line;
  uint32_t bytes;
  bool operator==(const Listed&) const = default;
};

void Collect(const char16_t* path, int32_t line, uint32_t bytes, void* userData) {
  static_cast<std::vector<Listed>*>(userData)->push_back({path, line, bytes});
}

// How often `entry` is in a report.
template <typename Report>
long Listings(Report report, const Listed& entry) {
  std::vector<Listed> listed;
  report(Collect, &listed);
  return std::count(listed.begin(), listed.end(), entry);
}

TEST(KernelReport, ListsLiveBlocksAndTrackedObjectsWithTheirTags) {
  void* block = KernelAlloc(6, 7, 4242, u"Common/Report");
  EXPECT_EQ(Listings(KernelReportLiveBlocks, {u"Common/Report", 4242, 42}), 1);
  KernelFree(block, 1, kSvgTag);

  int objects[2];
  KernelAccounting before = KernelSnapshot();
  KernelTrackObject(kTrackObject, &objects[0], 10, u"Common/Parser/Elements");
  KernelTrackObject(kTrackArray, &objects[1], 11, u"Common/outstr");
  EXPECT_EQ(KernelSnapshot().trackedObjects, before.trackedObjects + 2);
  EXPECT_EQ(Listings(KernelReportTrackedObjects, {u"Common/outstr", 11, kTrackArray}), 1);
  KernelUntrackObject(kTrackObject, &objects[0], 12, u"Common/Parser/Elements");
  KernelUntrackObject(kTrackArray, &objects[1], 13, u"Common/outstr");
  EXPECT_EQ(Listings(KernelReportTrackedObjects, {u"Common/outstr", 11, kTrackArray}), 0);
}

TEST(KernelAllocMemory, LocksToTheSameBytesAndCountsHandles) {
  KernelAccounting before = KernelSnapshot();
  KernelMemHandle handle = KernelAllocMemory(40, 1, kSvgTag);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(KernelSnapshot().liveMemHandles, before.liveMemHandles + 1);
  EXPECT_EQ(KernelMemorySize(handle), 40);
  auto* bytes = static_cast<char*>(KernelLockMemory(handle));
  ASSERT_NE(bytes, nullptr);
  std::memcpy(bytes, "png", 4);
  EXPECT_EQ(KernelLockMemory(handle), bytes);
  EXPECT_EQ(KernelUnlockMemory(handle), 1);
  EXPECT_EQ(KernelUnlockMemory(handle), 0);
  EXPECT_EQ(KernelUnlockMemory(handle), 0);
  EXPECT_STREQ(static_cast<char*>(KernelLockMemory(handle)), "png");
  KernelFreeMemory(handle, 2, kSvgTag);  // freed while locked
}

TEST(KernelAllocMemory, AnswersNothingForUnknownHandles) {
  ScopedLeakAllowance allowance;
  int local = 0;
  EXPECT_EQ(KernelAllocMemory(0, 1, kSvgTag), nullptr);
  EXPECT_EQ(KernelLockMemory(&local), nullptr);
  EXPECT_EQ(KernelMemorySize(&local), 0);
  EXPECT_EQ(KernelUnlockMemory(&local), 0);
  int64_t invalid = KernelInvalidReleases();
  KernelFreeMemory(&local, 1, kSvgTag);
  EXPECT_EQ(KernelInvalidReleases(), invalid + 1);
}

TEST(KernelGetAccounting, StaysExactUnderConcurrentUse) {
  KernelAccounting before = KernelSnapshot();
  constexpr int kThreads = 4;
  constexpr int kRounds = 2000;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      std::vector<void*> held;
      auto release = [](void* block, int line) {
        KernelUntrackObject(kTrackObject, block, line, u"Common/Thread");
        KernelFree(block, line, u"Common/Thread");
      };
      for (int i = 0; i < kRounds; ++i) {
        void* block = KernelAlloc(1, static_cast<uint32_t>(8 + i % 64), i, u"Common/Thread");
        if (block != nullptr && i % 3 == 0) block = KernelRealloc(block, 200, i, u"Common/Thread");
        if (block == nullptr) {
          ++failures[t];
          continue;
        }
        KernelTrackObject(kTrackObject, block, i, u"Common/Thread");
        held.push_back(block);
        if (held.size() > 16) {
          release(held.front(), i);
          held.erase(held.begin());
        }
      }
      for (void* block : held) release(block, 0);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << t;
  KernelAccounting after = KernelSnapshot();
  EXPECT_EQ(after.liveBlocks, before.liveBlocks);
  EXPECT_EQ(after.liveBytes, before.liveBytes);
  EXPECT_EQ(after.trackedObjects, before.trackedObjects);
  EXPECT_EQ(after.totalAllocations, before.totalAllocations + kThreads * (kRounds + (kRounds + 2) / 3));
}

}  // namespace
