// The imaging kernel's shared state: one registry per kind of resource it
// hands out, behind one mutex, so that the accounting always sees a
// consistent picture and a release of something unknown can be detected
// instead of crashing.
#pragma once

#include <atomic>
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
  std::unordered_map<const void*, BlockInfo> blocks;  // KernelAlloc blocks
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
  // Last tag interned, by the caller's pointer: tags are almost always the
  // same literal, so the hash lookup is skipped when the text still matches.
  const char16_t* lastTagPointer = nullptr;
  Tag lastTag = nullptr;

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

}  // namespace ikernel
