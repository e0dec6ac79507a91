#include <gtest/gtest.h>

#include <cstring>
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

TEST(KernelAlloc, GivesCountTimesSizeBytesFilledWithAPattern) {
  KernelAccounting before = KernelSnapshot();
  auto* block = static_cast<unsigned char*>(KernelAlloc(3, 5, 10, kSvgTag));
  ASSERT_NE(block, nullptr);
  KernelAccounting after = KernelSnapshot();
  EXPECT_EQ(after.liveBlocks, before.liveBlocks + 1);
  EXPECT_EQ(after.liveBytes, before.liveBytes + 15);
  // Fresh blocks are not zero: callers that forget to clear them must notice.
  for (int i = 0; i < 15; ++i) EXPECT_EQ(block[i], 0xCD) << i;
  KernelFree(block, 11, kSvgTag);
  EXPECT_EQ(KernelSnapshot().liveBytes, before.liveBytes);
}

TEST(KernelAlloc, RefusesEmptyAndOverflowingSizes) {
  struct Case {
    uint32_t count, size;
  };
  for (Case c : {Case{0, 4}, Case{4, 0}, Case{0x10000, 0x10000}, Case{UINT32_MAX, 2}}) {
    SCOPED_TRACE(std::to_string(c.count) + " x " + std::to_string(c.size));
    KernelAccounting before = KernelSnapshot();
    EXPECT_EQ(KernelAlloc(c.count, c.size, 1, kSvgTag), nullptr);
    EXPECT_EQ(KernelSnapshot().liveBlocks, before.liveBlocks);
  }
}

TEST(KernelAlloc, CountsEveryCallInTotalAllocations) {
  int64_t before = KernelSnapshot().totalAllocations;
  void* a = KernelAlloc(1, 8, 1, kSvgTag);
  void* b = KernelRealloc(a, 16, 2, kSvgTag);
  ASSERT_NE(b, nullptr);
  KernelFree(b, 3, kSvgTag);
  EXPECT_EQ(KernelSnapshot().totalAllocations, before + 2);
}

TEST(KernelLiveBlocksTagged, CountsBlocksByPathPrefix) {
  void* a = KernelAlloc(1, 4, 1, kSvgTag);
  void* b = KernelAlloc(1, 4, 2, kVectorTag);
  void* c = KernelAlloc(1, 4, 3, kVectorTag);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/svg"), 1);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/Vector"), 2);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/"), 3);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/Vectors"), 0);
  KernelFree(b, 4, kVectorTag);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/Vector"), 1);
  KernelFree(a, 5, kSvgTag);
  KernelFree(c, 6, kVectorTag);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/"), 0);
}

TEST(KernelLiveBlocksTagged, KeepsTheTagTextNotItsAddress) {
  std::u16string path = u"Common/Temporary";
  void* block = KernelAlloc(1, 4, 1, path.c_str());
  path = u"Something/else!!";  // same buffer, other text
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/Temporary"), 1);
  KernelFree(block, 2, kSvgTag);
}

TEST(KernelRealloc, GrowsKeepingContentsAndRetagsTheBlock) {
  auto* block = static_cast<char*>(KernelAlloc(1, 4, 1, kSvgTag));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "abcd", 4);
  int64_t bytesBefore = KernelSnapshot().liveBytes;
  auto* grown = static_cast<char*>(KernelRealloc(block, 100, 7, kVectorTag));
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(std::memcmp(grown, "abcd", 4), 0);
  EXPECT_EQ(KernelSnapshot().liveBytes, bytesBefore + 96);
  EXPECT_EQ(KernelLiveBlocksTagged(kSvgTag), 0);
  EXPECT_EQ(KernelLiveBlocksTagged(kVectorTag), 1);
  KernelFree(grown, 8, kVectorTag);
}

TEST(KernelRealloc, AllocatesForANullBlock) {
  void* block = KernelRealloc(nullptr, 12, 1, kSvgTag);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(KernelLiveBlocksTagged(kSvgTag), 1);
  KernelFree(block, 2, kSvgTag);
}

TEST(KernelRealloc, RefusesSizeZeroAndKeepsTheBlock) {
  auto* block = static_cast<char*>(KernelAlloc(1, 4, 1, kSvgTag));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(KernelRealloc(block, 0, 2, kSvgTag), nullptr);
  EXPECT_EQ(KernelLiveBlocksTagged(kSvgTag), 1);
  KernelFree(block, 3, kSvgTag);
}

TEST(KernelFree, IgnoresNullSilently) {
  int64_t invalid = KernelInvalidReleases();
  KernelFree(nullptr, 1, kSvgTag);
  EXPECT_EQ(KernelInvalidReleases(), invalid);
}

TEST(KernelFree, CountsAndIgnoresUnknownAndDoubleFrees) {
  ScopedLeakAllowance allowance;
  int64_t invalid = KernelInvalidReleases();
  int local = 0;
  KernelFree(&local, 1, kSvgTag);
  void* block = KernelAlloc(1, 4, 1, kSvgTag);
  KernelFree(block, 2, kSvgTag);
  KernelFree(block, 3, kSvgTag);
  EXPECT_EQ(KernelRealloc(&local, 8, 4, kSvgTag), nullptr);
  EXPECT_EQ(KernelInvalidReleases(), invalid + 3);
}

TEST(KernelFillMemory, SetsEveryByte) {
  unsigned char bytes[6] = {1, 2, 3, 4, 5, 6};
  KernelFillMemory(bytes, 0x1A7, 5);  // only the low byte counts
  for (int i = 0; i < 5; ++i) EXPECT_EQ(bytes[i], 0xA7) << i;
  EXPECT_EQ(bytes[5], 6);
}

TEST(KernelCopyMemory, CopiesAndAllowsOverlap) {
  char text[] = "abcdef";
  KernelCopyMemory(text + 1, text, 4);
  EXPECT_STREQ(text, "aabcdf");
  char target[4] = {};
  KernelCopyMemory(target, "xyz", 3);
  EXPECT_STREQ(target, "xyz");
}

TEST(KernelFailAllocation, FailsExactlyTheNthAllocation) {
  KernelFailAllocation(3);
  void* first = KernelAlloc(1, 4, 1, kSvgTag);
  void* second = KernelAlloc(1, 4, 2, kSvgTag);
  void* third = KernelAlloc(1, 4, 3, kSvgTag);
  void* fourth = KernelAlloc(1, 4, 4, kSvgTag);
  EXPECT_NE(first, nullptr);
  EXPECT_NE(second, nullptr);
  EXPECT_EQ(third, nullptr);
  EXPECT_NE(fourth, nullptr);
  for (void* block : {first, second, fourth}) KernelFree(block, 5, kSvgTag);
}

TEST(KernelFailAllocation, ZeroDisablesIt) {
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
  KernelAccounting after = KernelSnapshot();
  EXPECT_EQ(after.liveBlocks, before.liveBlocks);
  EXPECT_EQ(after.liveBytes, before.liveBytes);
  EXPECT_EQ(KernelLiveBlocksTagged(kSvgTag), 1);
  EXPECT_STREQ(block, "keep me");
  KernelFree(block, 3, kSvgTag);
}

TEST(KernelFailAllocation, CountsBitmapsAndMovableMemoryToo) {
  KernelFailAllocation(3);
  KernelMemHandle handle = KernelAllocMemory(16, 1, kSvgTag);  // 1st
  BitmapRecord first{};
  BitmapRecord second{};
  ASSERT_EQ(InitBitmap(&first, 216, 2, 2, 24), kIkOk);
  ASSERT_EQ(InitBitmap(&second, 216, 2, 2, 24), kIkOk);
  EXPECT_EQ(AllocateBitmap(&first, 1), kIkOk);             // 2nd
  EXPECT_EQ(AllocateBitmap(&second, 1), kIkErrNoMemory);   // 3rd fails
  EXPECT_EQ(second.bits, nullptr);
  EXPECT_NE(handle, nullptr);
  KernelFreeMemory(handle, 2, kSvgTag);
  EXPECT_EQ(FreeBitmap(&first), kIkOk);
  EXPECT_EQ(FreeBitmap(&second), kIkOk);
}

TEST(KernelFailAllocation, AMovableMemoryFailureGivesNoHandle) {
  KernelFailAllocation(1);
  EXPECT_EQ(KernelAllocMemory(16, 1, kSvgTag), nullptr);
}

struct Listed {
  std::u16string path;
  int32_t line;
  uint32_t bytes;
};

void Collect(const char16_t* path, int32_t line, uint32_t bytes, void* userData) {
  static_cast<std::vector<Listed>*>(userData)->push_back({path, line, bytes});
}

TEST(KernelReportLiveBlocks, ListsPathLineAndSize) {
  void* block = KernelAlloc(6, 7, 4242, u"Common/Report");
  std::vector<Listed> listed;
  KernelReportLiveBlocks(Collect, &listed);
  int found = 0;
  for (const Listed& entry : listed) {
    if (entry.path == u"Common/Report") {
      ++found;
      EXPECT_EQ(entry.line, 4242);
      EXPECT_EQ(entry.bytes, 42u);
    }
  }
  EXPECT_EQ(found, 1);
  KernelFree(block, 1, kSvgTag);
}

TEST(KernelTrackObject, CountsObjectsUntilUntracked) {
  int objects[2];
  KernelAccounting before = KernelSnapshot();
  KernelTrackObject(kTrackObject, &objects[0], 10, u"Common/Parser/Elements");
  KernelTrackObject(kTrackArray, &objects[1], 11, u"Common/outstr");
  EXPECT_EQ(KernelSnapshot().trackedObjects, before.trackedObjects + 2);

  std::vector<Listed> listed;
  KernelReportTrackedObjects(Collect, &listed);
  bool sawArray = false;
  for (const Listed& entry : listed) {
    if (entry.path == u"Common/outstr" && entry.line == 11) sawArray = entry.bytes == kTrackArray;
  }
  EXPECT_TRUE(sawArray);

  KernelUntrackObject(kTrackObject, &objects[0], 12, u"Common/Parser/Elements");
  KernelUntrackObject(kTrackArray, &objects[1], 13, u"Common/outstr");
  EXPECT_EQ(KernelSnapshot().trackedObjects, before.trackedObjects);
}

TEST(KernelTrackObject, CountsUntrackingAnUnknownObjectAsInvalid) {
  ScopedLeakAllowance allowance;
  int64_t invalid = KernelInvalidReleases();
  int object = 0;
  KernelUntrackObject(kTrackObject, &object, 1, kSvgTag);
  EXPECT_EQ(KernelInvalidReleases(), invalid + 1);
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
  EXPECT_EQ(KernelSnapshot().liveMemHandles, before.liveMemHandles);
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
      for (int i = 0; i < kRounds; ++i) {
        void* block = KernelAlloc(1, static_cast<uint32_t>(8 + i % 64), i, u"Common/Thread");
        if (block == nullptr) {
          ++failures[t];
          continue;
        }
        KernelTrackObject(kTrackObject, block, i, u"Common/Thread");
        if (i % 3 == 0) {
          void* grown = KernelRealloc(block, 200, i, u"Common/Thread");
          KernelUntrackObject(kTrackObject, block, i, u"Common/Thread");
          if (grown == nullptr) {
            ++failures[t];
          } else {
            block = grown;
          }
          KernelTrackObject(kTrackObject, block, i, u"Common/Thread");
        }
        held.push_back(block);
        if (held.size() > 16) {
          KernelUntrackObject(kTrackObject, held.front(), i, u"Common/Thread");
          KernelFree(held.front(), i, u"Common/Thread");
          held.erase(held.begin());
        }
      }
      for (void* block : held) {
        KernelUntrackObject(kTrackObject, block, 0, u"Common/Thread");
        KernelFree(block, 0, u"Common/Thread");
      }
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
