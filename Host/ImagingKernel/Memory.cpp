// Tagged memory, the object tracker, the fault injection switch and the
// accounting of everything the kernel hands out.
#include <malloc.h>
#include <sys/mman.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <algorithm>
#include <vector>

#include "KernelState.h"

#if defined(__SANITIZE_ADDRESS__)
#define IK_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define IK_ADDRESS_SANITIZER 1
#endif
#endif
#ifdef IK_ADDRESS_SANITIZER
#include <sanitizer/asan_interface.h>
#endif

namespace ikernel {

namespace {

// Fresh blocks are filled with this byte so that a caller that forgets to
// zero its block reads obvious garbage rather than lucky zeros.
constexpr int kFreshFill = 0xCD;

// Slots of the block table when the first block comes.
constexpr std::size_t kFirstBlockCapacity = 1024;

// 2^64 divided by the golden ratio: the top bits of a product with it are
// a well-mixed number.
constexpr uint64_t kAddressHashFactor = 0x9E3779B97F4A7C15u;

// Whether the null-terminated `text` is exactly `tag`, read in one pass.
// Interned tags hold no null character, so the end of `text` never matches.
bool SameText(const char16_t* text, const std::u16string& tag) {
  for (char16_t c : tag) {
    if (*text++ != c) return false;
  }
  return *text == 0;
}

}  // namespace

// Fresh pages are otherwise faulted in one by one as the fill or the caller
// first writes them, each fault a trip through the trap handler; large
// files grow blocks of tens of megabytes. Kernels without the call refuse
// it, and the pages then fault in as before.
void MapInPages(void* start, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  constexpr std::size_t kMinBytes = 16384;
  constexpr std::uintptr_t kPage = 4096;
  if (bytes < kMinBytes) return;
  const auto begin = reinterpret_cast<std::uintptr_t>(start);
  const std::uintptr_t first = (begin + kPage - 1) & ~(kPage - 1);
  const std::uintptr_t last = (begin + bytes) & ~(kPage - 1);
  if (last > first) (void)madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
  (void)start;
  (void)bytes;
#endif
}

BlockTable::~BlockTable() { std::free(slots_); }

// The home slot keeps malloc's locality: addresses within one window of
// capacity * 16 bytes map in order onto the slots (16 bytes being malloc's
// alignment), so blocks allocated or freed one after another touch
// neighbouring slots rather than a cache line each. Each window starts at a
// slot of its own, taken from a hash of the window number, so that windows
// spread over the table instead of piling up on its start.
std::size_t BlockTable::Home(const void* address) const {
  uint64_t key = reinterpret_cast<std::uintptr_t>(address);
  uint64_t windowStart = ((key >> (4 + bits_)) * kAddressHashFactor) >> (64 - bits_);
  return static_cast<std::size_t>(((key >> 4) + windowStart) & (capacity_ - 1));
}

// Puts an entry in the first empty or removed slot from its home on; the
// caller made sure there is one.
void BlockTable::Place(const void* address, const BlockInfo& info) {
  std::size_t mask = capacity_ - 1;
  std::size_t i = Home(address);
  while (slots_[i].address != nullptr && slots_[i].address != Removed()) i = (i + 1) & mask;
  if (slots_[i].address == Removed()) --removed_;
  slots_[i] = {address, info};
}

// Moves the entries into a fresh array without removed slots, twice as large
// unless they fill at most a quarter of the present one.
bool BlockTable::Rebuild() {
  std::size_t capacity = capacity_ == 0 ? kFirstBlockCapacity
                         : (size_ + 1) * 4 <= capacity_ ? capacity_
                                                        : capacity_ * 2;
  if (capacity < capacity_ || capacity > SIZE_MAX / sizeof(Slot)) return false;
  // calloc: an all-zero slot has a null address, so it is empty.
  auto* slots = static_cast<Slot*>(std::calloc(capacity, sizeof(Slot)));
  if (slots == nullptr) return false;
  MapInPages(slots, capacity * sizeof(Slot));  // the entries spread over all of it
  Slot* old = slots_;
  std::size_t oldCapacity = capacity_;
  slots_ = slots;
  capacity_ = capacity;
  removed_ = 0;
  bits_ = std::countr_zero(capacity);
  for (std::size_t i = 0; i < oldCapacity; ++i) {
    if (old[i].address != nullptr && old[i].address != Removed()) Place(old[i].address, old[i].info);
  }
  std::free(old);
  return true;
}

bool BlockTable::Insert(const void* address, const BlockInfo& info) {
  // Rebuilt when half the slots are taken or removed. When that fails, the
  // table fills on while one slot stays empty, so that every probe ends.
  std::size_t used = size_ + removed_ + 1;
  if (used * 2 > capacity_ && !Rebuild() && used >= capacity_) return false;
  Place(address, info);
  ++size_;
  return true;
}

bool BlockTable::Take(const void* address, BlockInfo* info) {
  if (size_ == 0 || address == nullptr || address == Removed()) return false;
  std::size_t mask = capacity_ - 1;
  std::size_t i = Home(address);
  while (slots_[i].address != address) {
    if (slots_[i].address == nullptr) return false;
    i = (i + 1) & mask;
  }
  *info = slots_[i].info;
  // A removed mark rather than an empty slot, so that probes for entries
  // placed past this one still reach them; an empty slot right after lets
  // the slot be empty itself.
  if (slots_[(i + 1) & mask].address != nullptr) {
    slots_[i].address = Removed();
    ++removed_;
  } else {
    // The probe run ends here, so the removed marks just before lead nowhere
    // either.
    slots_[i].address = nullptr;
    for (i = (i - 1) & mask; slots_[i].address == Removed(); i = (i - 1) & mask) {
      slots_[i].address = nullptr;
      --removed_;
    }
  }
  --size_;
  return true;
}

KernelState& State() {
  static KernelState* state = new KernelState;
  return *state;
}

Tag InternTag(KernelState& state, const char16_t* sourcePath) {
  KernelState::RecentTag* recent = nullptr;
  if (sourcePath != nullptr) {
    uint64_t key = reinterpret_cast<std::uintptr_t>(sourcePath);
    recent = &state.recentTags[(key * kAddressHashFactor) >> (64 - KernelState::kRecentTagBits)];
    if (recent->pointer == sourcePath && SameText(sourcePath, *recent->tag)) return recent->tag;
  }
  std::u16string_view text = sourcePath != nullptr ? std::u16string_view(sourcePath)
                                                   : std::u16string_view(u"(no path)");
  Tag tag = nullptr;
  std::size_t hash = std::hash<std::u16string_view>{}(text);
  auto [first, last] = state.tags.equal_range(hash);
  for (auto it = first; it != last && tag == nullptr; ++it) {
    if (*it->second == text) tag = it->second.get();
  }
  if (tag == nullptr) tag = state.tags.emplace(hash, std::make_unique<std::u16string>(text))->second.get();
  if (recent != nullptr) *recent = {sourcePath, tag};
  return tag;
}

bool TakeAllocationTicket() {
  std::atomic<int64_t>& countdown = State().failCountdown;
  int64_t n = countdown.load();
  while (n > 0) {
    if (countdown.compare_exchange_weak(n, n - 1)) return n != 1;
  }
  return true;
}

namespace {

// The calling thread's tracked-object counter, listed in the kernel state
// from the thread's first use on; when the thread ends, its count moves to
// the retired total.
class ThreadTrackCounter {
 public:
  ThreadTrackCounter(const ThreadTrackCounter&) = delete;
  ThreadTrackCounter& operator=(const ThreadTrackCounter&) = delete;
  ThreadTrackCounter() {
    KernelState& state = State();
    std::lock_guard lock(state.mutex);
    state.trackCounters.push_back(&counter_);
  }
  ~ThreadTrackCounter() {
    KernelState& state = State();
    std::lock_guard lock(state.mutex);
    state.retiredTracked += counter_.count.load(std::memory_order_relaxed);
    std::erase(state.trackCounters, &counter_);
  }
  TrackCounter& Counter() { return counter_; }

 private:
  TrackCounter counter_;
};

}  // namespace

void AddTracked(int64_t delta) {
  thread_local ThreadTrackCounter counter;
  std::atomic<int64_t>& count = counter.Counter().count;
  count.store(count.load(std::memory_order_relaxed) + delta, std::memory_order_relaxed);
}

void ReportInvalidRelease(const char* what, const void* address) {
  State().invalidReleases.fetch_add(1);
  std::fprintf(stderr, "ImagingKernel: %s of unknown %p ignored\n", what, address);
}

namespace {

// Registers a block KernelRealloc cannot hand back as a failure (the caller
// already owns it); the caller holds the mutex. A table that is full and
// cannot grow leaves the block neither accountable nor returnable, so the
// process ends.
void RegisterOwnedBlock(KernelState& state, const void* block, const BlockInfo& info) {
  if (!state.blocks.Insert(block, info)) {
    std::fprintf(stderr, "ImagingKernel: out of memory for the block registry\n");
    std::abort();
  }
}

// Blocks of at least this size that grow get spare room.
constexpr uint32_t kRoomyBlockBytes = 65536;

// The spare room of a block past its `bytes` is closed to the address
// sanitizer, so that a read or write past the asked size is still caught.
void CloseSpareRoom(void* block, uint32_t bytes) {
#ifdef IK_ADDRESS_SANITIZER
  const std::size_t room = malloc_usable_size(block);
  if (room > bytes) ASAN_POISON_MEMORY_REGION(static_cast<char*>(block) + bytes, room - bytes);
#else
  (void)block;
  (void)bytes;
#endif
}

// Callers grow tables a fixed number of entries at a time. A large block
// that grows is given half as much room again as asked, and later growths
// within that room keep it where it is, so such a table costs linear time
// in its final size even where realloc always moves (sanitizer allocators,
// heaps without page remapping). Small blocks and shrinking blocks get
// exactly what they ask for.
void* Resize(void* block, uint32_t oldSize, uint32_t newSize) {
  if (newSize > oldSize && newSize >= kRoomyBlockBytes) {
    if (malloc_usable_size(block) >= newSize) {
#ifdef IK_ADDRESS_SANITIZER
      ASAN_UNPOISON_MEMORY_REGION(static_cast<char*>(block) + oldSize, newSize - oldSize);
#endif
      return block;
    }
    const uint64_t ample = uint64_t{newSize} + newSize / 2;
    if (ample <= UINT32_MAX) {
      if (void* grown = std::realloc(block, static_cast<std::size_t>(ample))) {
        CloseSpareRoom(grown, newSize);
        return grown;
      }
    }
  }
  void* resized = std::realloc(block, newSize);
  if (resized != nullptr) CloseSpareRoom(resized, newSize);
  return resized;
}

}  // namespace

}  // namespace ikernel

using ikernel::State;

extern "C" {

IK_API void* KernelAlloc(uint32_t count, uint32_t elementSize, int32_t line,
                         const char16_t* sourcePath) {
  auto& state = State();
  uint64_t bytes = static_cast<uint64_t>(count) * elementSize;
  void* block = nullptr;
  if (bytes != 0 && bytes <= UINT32_MAX && ikernel::TakeAllocationTicket()) {
    block = std::malloc(bytes);
    if (block != nullptr) {
      ikernel::MapInPages(block, bytes);
      std::memset(block, ikernel::kFreshFill, bytes);
    }
  }
  {
    std::lock_guard lock(state.mutex);
    ++state.totalAllocations;
    if (block == nullptr) return nullptr;
    if (state.blocks.Insert(block, {static_cast<uint32_t>(bytes), line,
                                    InternTag(state, sourcePath)})) {
      state.liveBytes += static_cast<int64_t>(bytes);
      return block;
    }
  }
  // No room to register it: the allocation fails.
  std::free(block);
  return nullptr;
}

IK_API void KernelFree(void* block, int32_t /*line*/, const char16_t* /*sourcePath*/) {
  if (block == nullptr) return;
  auto& state = State();
  ikernel::BlockInfo info{};
  bool known = false;
  {
    std::lock_guard lock(state.mutex);
    known = state.blocks.Take(block, &info);
    if (known) state.liveBytes -= info.bytes;
  }
  if (!known) {
    ikernel::ReportInvalidRelease("KernelFree", block);
    return;
  }
  std::free(block);
}

// A null block allocates. A size of 0 is refused like a failed allocation:
// null is returned and the block stays as it was.
IK_API void* KernelRealloc(void* block, uint32_t newSize, int32_t line,
                           const char16_t* sourcePath) {
  if (block == nullptr) return KernelAlloc(1, newSize, line, sourcePath);
  auto& state = State();
  ikernel::BlockInfo old{};
  bool known = false;
  {
    std::lock_guard lock(state.mutex);
    ++state.totalAllocations;
    // Out of the registry while realloc runs: once realloc has given the old
    // address back, another thread's allocation may get it and register it.
    known = state.blocks.Take(block, &old);
  }
  if (!known) {
    ikernel::ReportInvalidRelease("KernelRealloc", block);
    return nullptr;
  }
  void* grown = nullptr;
  if (newSize != 0 && ikernel::TakeAllocationTicket()) grown = ikernel::Resize(block, old.bytes, newSize);
  if (grown != nullptr && newSize > old.bytes) {
    ikernel::MapInPages(static_cast<char*>(grown) + old.bytes, newSize - old.bytes);
    std::memset(static_cast<char*>(grown) + old.bytes, ikernel::kFreshFill, newSize - old.bytes);
  }
  std::lock_guard lock(state.mutex);
  if (grown == nullptr) {
    ikernel::RegisterOwnedBlock(state, block, old);  // the block stays as it was
    return nullptr;
  }
  ikernel::RegisterOwnedBlock(state, grown, {newSize, line, InternTag(state, sourcePath)});
  state.liveBytes += static_cast<int64_t>(newSize) - static_cast<int64_t>(old.bytes);
  return grown;
}

IK_API void KernelFillMemory(void* block, int32_t value, uint32_t byteCount) {
  if (block == nullptr || byteCount == 0) return;
  std::memset(block, static_cast<unsigned char>(value), byteCount);
}

// Overlapping ranges are allowed (a move), which costs nothing over a copy.
IK_API void KernelCopyMemory(void* destination, const void* source, uint32_t byteCount) {
  if (destination == nullptr || source == nullptr || byteCount == 0) return;
  std::memmove(destination, source, byteCount);
}

IK_API void KernelTrackObject(int32_t kind, const void* object, int32_t line,
                              const char16_t* sourcePath) {
  if (object == nullptr) return;
  auto& state = State();
  ikernel::AddTracked(1);
  if (!state.trackingDetail.load(std::memory_order_relaxed)) return;
  std::lock_guard lock(state.mutex);
  auto [it, inserted] = state.objects.try_emplace(object);
  if (!inserted) {
    // Tracked twice without being untracked: the first registration is stale.
    std::fprintf(stderr, "ImagingKernel: object %p tracked twice\n", object);
    state.invalidReleases.fetch_add(1);
  }
  it->second = {kind, line, InternTag(state, sourcePath)};
}

IK_API void KernelUntrackObject(int32_t /*kind*/, const void* object, int32_t /*line*/,
                                const char16_t* /*sourcePath*/) {
  if (object == nullptr) return;
  auto& state = State();
  if (!state.trackingDetail.load(std::memory_order_relaxed)) {
    ikernel::AddTracked(-1);
    return;
  }
  std::size_t erased = 0;
  {
    std::lock_guard lock(state.mutex);
    erased = state.objects.erase(object);
  }
  // Outside the lock: the thread's first count registers its counter.
  if (erased == 0) {
    ikernel::ReportInvalidRelease("KernelUntrackObject", object);
  } else {
    ikernel::AddTracked(-1);
  }
}

IK_API void KernelTrackObjects(int32_t /*kind*/, int64_t count, int32_t /*line*/,
                               const char16_t* /*sourcePath*/) {
  if (count > 0) ikernel::AddTracked(count);
}

IK_API void KernelUntrackObjects(int32_t /*kind*/, int64_t count, int32_t /*line*/,
                                 const char16_t* /*sourcePath*/) {
  if (count > 0) ikernel::AddTracked(-count);
}

IK_API KernelMemHandle KernelAllocMemory(uint32_t byteCount, int32_t /*line*/,
                                         const char16_t* /*sourcePath*/) {
  if (byteCount == 0 || !ikernel::TakeAllocationTicket()) return nullptr;
  auto* handle = static_cast<ikernel::MovableBlock*>(std::malloc(sizeof(ikernel::MovableBlock)));
  void* data = std::malloc(byteCount);
  if (handle == nullptr || data == nullptr) {
    std::free(handle);
    std::free(data);
    return nullptr;
  }
  std::memset(data, ikernel::kFreshFill, byteCount);
  *handle = {data, byteCount, 0};
  auto& state = State();
  std::lock_guard lock(state.mutex);
  state.memHandles.insert(handle);
  return handle;
}

namespace {

// The movable block behind a handle, or null for an unknown handle; the
// caller holds the mutex.
ikernel::MovableBlock* FindMovable(ikernel::KernelState& state, KernelMemHandle handle) {
  if (state.memHandles.count(handle) == 0) return nullptr;
  return static_cast<ikernel::MovableBlock*>(handle);
}

}  // namespace

IK_API void* KernelLockMemory(KernelMemHandle handle) {
  auto& state = State();
  std::lock_guard lock(state.mutex);
  ikernel::MovableBlock* block = FindMovable(state, handle);
  if (block == nullptr) return nullptr;
  ++block->lockCount;
  return block->data;
}

// Returns the lock count left, 0 once the block is unlocked (or the handle
// is unknown or was not locked), as the Windows global-memory calls do.
IK_API int32_t KernelUnlockMemory(KernelMemHandle handle) {
  auto& state = State();
  std::lock_guard lock(state.mutex);
  ikernel::MovableBlock* block = FindMovable(state, handle);
  if (block == nullptr || block->lockCount == 0) return 0;
  return --block->lockCount;
}

IK_API int32_t KernelMemorySize(KernelMemHandle handle) {
  auto& state = State();
  std::lock_guard lock(state.mutex);
  ikernel::MovableBlock* block = FindMovable(state, handle);
  return block != nullptr ? static_cast<int32_t>(block->size) : 0;
}

// Frees the block even while locked, as the Windows global-memory free does.
IK_API void KernelFreeMemory(KernelMemHandle handle, int32_t /*line*/,
                             const char16_t* /*sourcePath*/) {
  if (handle == nullptr) return;
  auto& state = State();
  {
    std::lock_guard lock(state.mutex);
    if (state.memHandles.erase(handle) == 0) {
      ikernel::ReportInvalidRelease("KernelFreeMemory", handle);
      return;
    }
  }
  auto* block = static_cast<ikernel::MovableBlock*>(handle);
  std::free(block->data);
  std::free(block);
}

IK_API void KernelGetAccounting(KernelAccounting* out) {
  if (out == nullptr) return;
  auto& state = State();
  std::lock_guard lock(state.mutex);
  out->liveBlocks = static_cast<int64_t>(state.blocks.Size());
  out->liveBytes = state.liveBytes;
  out->liveBitmaps = static_cast<int64_t>(state.bitmapMemory.size());
  out->liveMemHandles = static_cast<int64_t>(state.memHandles.size());
  out->liveContexts = static_cast<int64_t>(state.contexts.size());
  out->openFiles = static_cast<int64_t>(state.files.size());
  out->trackedObjects = state.retiredTracked;
  for (const ikernel::TrackCounter* counter : state.trackCounters) {
    out->trackedObjects += counter->count.load(std::memory_order_relaxed);
  }
  out->totalAllocations = state.totalAllocations;
}

IK_API int64_t KernelLiveBlocksTagged(const char16_t* prefix) {
  std::u16string_view wanted = prefix != nullptr ? std::u16string_view(prefix) : u"";
  auto& state = State();
  std::lock_guard lock(state.mutex);
  int64_t count = 0;
  state.blocks.ForEach([&](const ikernel::BlockInfo& info) {
    if (std::u16string_view(*info.tag).substr(0, wanted.size()) == wanted) ++count;
  });
  return count;
}

namespace {

struct LiveEntry {
  ikernel::Tag tag;
  int32_t line;
  uint32_t bytes;
};

// Reports outside the lock, so that a sink may call the kernel itself;
// interned tags live for the whole process.
void ReportEntries(const std::vector<LiveEntry>& entries, KernelBlockSink sink, void* userData) {
  for (const LiveEntry& entry : entries) sink(entry.tag->c_str(), entry.line, entry.bytes, userData);
}

}  // namespace

IK_API void KernelReportLiveBlocks(KernelBlockSink sink, void* userData) {
  if (sink == nullptr) return;
  std::vector<LiveEntry> entries;
  {
    auto& state = State();
    std::lock_guard lock(state.mutex);
    entries.reserve(state.blocks.Size());
    state.blocks.ForEach([&](const ikernel::BlockInfo& info) {
      entries.push_back({info.tag, info.line, info.bytes});
    });
  }
  ReportEntries(entries, sink, userData);
}

IK_API void KernelReportTrackedObjects(KernelBlockSink sink, void* userData) {
  if (sink == nullptr) return;
  std::vector<LiveEntry> entries;
  {
    auto& state = State();
    std::lock_guard lock(state.mutex);
    entries.reserve(state.objects.size());
    for (const auto& entry : state.objects) {
      entries.push_back({entry.second.tag, entry.second.line,
                         static_cast<uint32_t>(entry.second.kind)});
    }
  }
  ReportEntries(entries, sink, userData);
}

IK_API int64_t KernelInvalidReleases(void) { return State().invalidReleases.load(); }

IK_API void KernelSetTrackingDetail(int32_t on) {
  auto& state = State();
  std::lock_guard lock(state.mutex);
  // Objects tracked before detail was switched on are only counted; they
  // untrack without a record, so the switch is meant for process start.
  state.trackingDetail.store(on != 0);
}

IK_API int32_t KernelTrackingDetail(void) {
  return State().trackingDetail.load(std::memory_order_relaxed) ? 1 : 0;
}

IK_API void KernelFailAllocation(int64_t n) { State().failCountdown.store(n > 0 ? n : 0); }

}  // extern "C"
