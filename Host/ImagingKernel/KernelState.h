// The imaging kernel's shared state: one registry per kind of resource it
// hands out, behind one mutex, so that the accounting always sees a
// consistent picture and a release of something unknown can be detected
// instead of crashing.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"

namespace ikernel {

// A source path tag, interned once so that live blocks can point at it.
using Tag = const std::u16string*;

struct BlockInfo {
  uint32_t bytes;
  int32_t line;
  Tag tag;
};

// The live KernelAlloc blocks by address: a flat open-addressing table
// (linear probing, tombstones, a power-of-two capacity kept at most half
// used), so registering and releasing a block cost no heap node and usually
// one cache line. Not thread safe: used under the kernel mutex.
class BlockTable {
 public:
  BlockTable() = default;
  BlockTable(const BlockTable&) = delete;
  BlockTable& operator=(const BlockTable&) = delete;
  ~BlockTable();

  // Registers a block not yet in the table; false when the table is full and
  // cannot grow (out of memory).
  bool Insert(const void* address, const BlockInfo& info);
  // Takes a block out of the table into `info`; false for an unknown address.
  bool Take(const void* address, BlockInfo* info);
  std::size_t Size() const { return size_; }

  // Calls `visit(info)` for every live block, in no particular order.
  template <typename Visit>
  void ForEach(Visit visit) const {
    for (std::size_t i = 0; i < capacity_; ++i) {
      if (slots_[i].address != nullptr && slots_[i].address != Removed()) visit(slots_[i].info);
    }
  }

 private:
  // An empty slot has a null address, a removed entry's slot the address
  // of removedMark_ (a probe goes on past it); neither is ever registered.
  struct Slot {
    const void* address;
    BlockInfo info;
  };
  static inline const char removedMark_ = 0;
  static const void* Removed() { return &removedMark_; }

  std::size_t Home(const void* address) const;
  void Place(const void* address, const BlockInfo& info);
  bool Rebuild();

  Slot* slots_ = nullptr;
  std::size_t capacity_ = 0;  // 0 or a power of two
  std::size_t size_ = 0;
  std::size_t removed_ = 0;   // slots holding the removed mark
  int bits_ = 0;              // log2(capacity_)
};

struct TrackInfo {
  int32_t kind;
  int32_t line;
  Tag tag;
};

// Movable memory: the handle is the address of this record.
struct MovableBlock {
  void* data;
  uint32_t size;
  int32_t lockCount;
};

// One thread's share of the tracked-object count. Only its thread writes
// it (a plain load and store, no locked instruction); others only read it.
struct TrackCounter {
  std::atomic<int64_t> count{0};
};

struct KernelState {
  std::mutex mutex;
  BlockTable blocks;  // KernelAlloc blocks
  int64_t liveBytes = 0;
  int64_t totalAllocations = 0;
  std::unordered_map<const void*, TrackInfo> objects;  // tracked objects
  std::unordered_set<const void*> bitmapMemory;        // image memory of bitmaps
  std::unordered_set<const void*> palettes;            // palettes of bitmaps
  std::unordered_set<const void*> memHandles;          // MovableBlock records
  std::unordered_set<const void*> contexts;            // drawing contexts
  std::unordered_set<int32_t> files;                   // open file handles
  // Interned tags by hash of their text; the strings never move or die.
  std::unordered_multimap<std::size_t, std::unique_ptr<std::u16string>> tags;

  // Tracked objects: always counted, in a counter of the thread that tracks
  // or untracks (its sum over threads is the live count); recorded one by
  // one only with detail on (tests and leak hunts), so that hosts pay next
  // to nothing per node. Counters of live threads are listed here; a thread
  // that ends adds its counter to retiredTracked.
  std::vector<TrackCounter*> trackCounters;
  int64_t retiredTracked = 0;
  std::atomic<bool> trackingDetail{false};
  // Tags interned lately, by a hash of the caller's pointer: tags are almost
  // always one of a few literals, so the hash lookup of the text is skipped
  // when the pointer's entry still holds the same text.
  struct RecentTag {
    const char16_t* pointer = nullptr;
    Tag tag = nullptr;
  };
  static constexpr int kRecentTagBits = 4;
  std::array<RecentTag, std::size_t{1} << kRecentTagBits> recentTags{};

  std::atomic<int64_t> failCountdown{0};
  std::atomic<int64_t> invalidReleases{0};
  std::atomic<int32_t> screenResolutionX{96};
  std::atomic<int32_t> screenResolutionY{96};
};

// The one kernel state of the process. It is never destroyed, so static
// destructors elsewhere may still release through the kernel at exit.
KernelState& State();

// The interned copy of a source path; the caller holds State().mutex.
Tag InternTag(KernelState& state, const char16_t* sourcePath);

// Consumes one allocation for the fault injection switch: false when this
// allocation is the one that must fail.
bool TakeAllocationTicket();

// Counts and reports a release of something the kernel never handed out
// (or already took back).
void ReportInvalidRelease(const char* what, const void* address);

// Adds `delta` to the calling thread's tracked-object counter.
void AddTracked(int64_t delta);

// Maps in the whole pages of a fresh block about to be written all over, in
// one call rather than one page fault per page; small blocks are left alone.
void MapInPages(void* start, std::size_t bytes);

}  // namespace ikernel
