// Kernel-tagged memory for the filter: every heap block comes from the
// imaging kernel's tagged allocation and goes back through its tagged free.
// Each source file names its tag once:
//   namespace { constexpr char16_t kSourceTag[] = u"Common/Vector"; }
// and allocates with SVGFLT_ALLOC(T, count), which zero-fills.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "ImagingKernel/ImagingKernel.h"

namespace svgflt {

// Tag of frees made through the common free routine.
inline constexpr char16_t kCommonFreeTag[] = u"api/filters/svg/common/SVGParsUtil";
inline constexpr int32_t kCommonFreeLine = 97;

// A zero-filled array of `count` T from the kernel, or null.
template <typename T>
[[nodiscard]] T* KernelAllocZeroed(std::size_t count, int32_t line, const char16_t* tag) {
  static_assert(std::is_trivially_copyable_v<T>, "kernel blocks hold plain records");
  if (count == 0 || count > UINT32_MAX / sizeof(T)) return nullptr;
  void* block = KernelAlloc(static_cast<uint32_t>(count), static_cast<uint32_t>(sizeof(T)),
                            line, tag);
  if (block != nullptr) KernelFillMemory(block, 0, static_cast<uint32_t>(count * sizeof(T)));
  return static_cast<T*>(block);
}

// Frees a kernel block (null is ignored) with the common free tag.
inline void KernelRelease(void* block) {
  if (block != nullptr) KernelFree(block, kCommonFreeLine, kCommonFreeTag);
}

// Grows a kernel array from `oldCount` to `newCount` elements, zero-filling
// the new room. Returns the new block, or null (the old block stays valid).
template <typename T>
[[nodiscard]] T* KernelGrowZeroed(T* block, std::size_t oldCount, std::size_t newCount,
                                  int32_t line, const char16_t* tag) {
  static_assert(std::is_trivially_copyable_v<T>, "kernel blocks hold plain records");
  if (newCount > UINT32_MAX / sizeof(T)) return nullptr;
  if (block == nullptr) return KernelAllocZeroed<T>(newCount, line, tag);
  void* grown = KernelRealloc(block, static_cast<uint32_t>(newCount * sizeof(T)), line, tag);
  if (grown == nullptr) return nullptr;
  if (newCount > oldCount) {
    std::memset(static_cast<char*>(grown) + oldCount * sizeof(T), 0,
                (newCount - oldCount) * sizeof(T));
  }
  return static_cast<T*>(grown);
}

// Move-only owner of one kernel block.
template <typename T>
class KernelBlock {
 public:
  KernelBlock() = default;
  explicit KernelBlock(T* block) : block_(block) {}
  KernelBlock(const KernelBlock&) = delete;
  KernelBlock& operator=(const KernelBlock&) = delete;
  KernelBlock(KernelBlock&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
  KernelBlock& operator=(KernelBlock&& other) noexcept {
    if (this != &other) {
      KernelRelease(block_);
      block_ = std::exchange(other.block_, nullptr);
    }
    return *this;
  }
  ~KernelBlock() { KernelRelease(block_); }

  explicit operator bool() const { return block_ != nullptr; }
  T* get() const { return block_; }
  T* operator->() const { return block_; }
  T& operator*() const { return *block_; }
  T& operator[](std::size_t i) const { return block_[i]; }
  // Hands the block over; the owner forgets it.
  [[nodiscard]] T* Release() { return std::exchange(block_, nullptr); }
  void Reset(T* block = nullptr) {
    KernelRelease(block_);
    block_ = block;
  }

 private:
  T* block_ = nullptr;
};

}  // namespace svgflt

// Zero-filled array of `count` T, tagged with this file's kSourceTag and line.
#define SVGFLT_ALLOC(T, count) ::svgflt::KernelAllocZeroed<T>((count), __LINE__, kSourceTag)
#define SVGFLT_GROW(T, block, oldCount, newCount) \
  ::svgflt::KernelGrowZeroed<T>((block), (oldCount), (newCount), __LINE__, kSourceTag)
