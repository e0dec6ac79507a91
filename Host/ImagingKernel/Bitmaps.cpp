// Bitmap records: description, image memory, palettes, deep copies and row
// access.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "BitmapMemory.h"
#include "KernelState.h"

namespace ikernel {

namespace {

// The 16 colours of the VGA palette in the Windows order, 0x00BBGGRR.
constexpr uint32_t kVgaPalette[16] = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
    0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};

}  // namespace

bool ValidRecordSize(int32_t recordSize) {
  return recordSize == 216 || recordSize == static_cast<int32_t>(sizeof(BitmapRecord));
}

bool ValidDepth(int32_t bitsPerPixel) {
  switch (bitsPerPixel) {
    case 1: case 4: case 8: case 24: case 32: return true;
    default: return false;
  }
}

int64_t RowBytes(int64_t width, int32_t bitsPerPixel) {
  return (bitsPerPixel * width + 31) / 32 * 4;
}

uint8_t* NewImageMemory(uint32_t bytes) {
  auto* bits = static_cast<uint8_t*>(std::calloc(bytes, 1));
  if (bits == nullptr) return nullptr;
  auto& state = State();
  std::lock_guard lock(state.mutex);
  state.bitmapMemory.insert(bits);
  return bits;
}

void DeleteImageMemory(uint8_t* bits) {
  if (bits == nullptr) return;
  {
    auto& state = State();
    std::lock_guard lock(state.mutex);
    if (state.bitmapMemory.erase(bits) == 0) {
      ReportInvalidRelease("bitmap memory release", bits);
      return;
    }
  }
  std::free(bits);
}

uint32_t* NewPalette(int32_t count, const uint32_t* entries) {
  if (count <= 0) return nullptr;
  auto* palette = static_cast<uint32_t*>(std::calloc(static_cast<size_t>(count), sizeof(uint32_t)));
  if (palette == nullptr) return nullptr;
  if (entries != nullptr) std::memcpy(palette, entries, static_cast<size_t>(count) * sizeof(uint32_t));
  auto& state = State();
  std::lock_guard lock(state.mutex);
  state.palettes.insert(palette);
  return palette;
}

void DeletePalette(uint32_t* palette) {
  if (palette == nullptr) return;
  {
    auto& state = State();
    std::lock_guard lock(state.mutex);
    if (state.palettes.erase(palette) == 0) {
      ReportInvalidRelease("palette release", palette);
      return;
    }
  }
  std::free(palette);
}

int32_t DefaultPalette(int32_t bitsPerPixel, uint32_t* out) {
  switch (bitsPerPixel) {
    case 8:
      for (uint32_t i = 0; i < 256; ++i) out[i] = i | (i << 8) | (i << 16);
      return 256;
    case 4:
      std::memcpy(out, kVgaPalette, sizeof kVgaPalette);
      return 16;
    case 1:
      out[0] = 0x000000;
      out[1] = 0xFFFFFF;
      return 2;
    default:
      return 0;
  }
}

}  // namespace ikernel

extern "C" {

IK_API int32_t InitBitmap(BitmapRecord* bitmap, int32_t recordSize, int32_t width,
                          int32_t height, int32_t bitsPerPixel) {
  if (bitmap == nullptr || !ikernel::ValidRecordSize(recordSize) || width < 1 || height < 1 ||
      !ikernel::ValidDepth(bitsPerPixel)) {
    return kIkErrArgument;
  }
  int64_t rowBytes = ikernel::RowBytes(width, bitsPerPixel);
  int64_t imageSize = rowBytes * height;
  if (imageSize > INT32_MAX) return kIkErrArgument;
  std::memset(bitmap, 0, sizeof *bitmap);
  bitmap->recordSize = recordSize;
  bitmap->width = width;
  bitmap->height = height;
  bitmap->bitsPerPixel = bitsPerPixel;
  bitmap->bytesPerRow = static_cast<int32_t>(rowBytes);
  bitmap->imageSize = static_cast<int32_t>(imageSize);
  return kIkOk;
}

// A bitmap that already holds image memory is refused: allocating again
// would lose the memory it holds.
IK_API int32_t AllocateBitmap(BitmapRecord* bitmap, int32_t kind) {
  if (bitmap == nullptr || bitmap->bits != nullptr || bitmap->width < 1 || bitmap->height < 1 ||
      !ikernel::ValidDepth(bitmap->bitsPerPixel)) {
    return kIkErrArgument;
  }
  int64_t rowBytes = ikernel::RowBytes(bitmap->width, bitmap->bitsPerPixel);
  if (rowBytes != bitmap->bytesPerRow || rowBytes * bitmap->height != bitmap->imageSize) {
    return kIkErrArgument;
  }
  if (!ikernel::TakeAllocationTicket()) return kIkErrNoMemory;
  uint8_t* bits = ikernel::NewImageMemory(static_cast<uint32_t>(bitmap->imageSize));
  if (bits == nullptr) return kIkErrNoMemory;
  if (bitmap->bitsPerPixel <= 8 && bitmap->palette == nullptr) {
    uint32_t entries[256];
    int32_t count = ikernel::DefaultPalette(bitmap->bitsPerPixel, entries);
    uint32_t* palette = ikernel::NewPalette(count, entries);
    if (palette == nullptr) {
      ikernel::DeleteImageMemory(bits);
      return kIkErrNoMemory;
    }
    bitmap->palette = palette;
    bitmap->paletteCount = count;
  }
  bitmap->bits = bits;
  bitmap->allocKind = kind;
  bitmap->accessCount = 0;
  return kIkOk;
}

IK_API int32_t FreeBitmap(BitmapRecord* bitmap) {
  if (bitmap == nullptr) return kIkErrArgument;
  ikernel::DeleteImageMemory(bitmap->bits);
  ikernel::DeletePalette(bitmap->palette);
  bitmap->bits = nullptr;
  bitmap->palette = nullptr;
  bitmap->paletteCount = 0;
  bitmap->accessCount = 0;
  bitmap->allocKind = 0;
  return kIkOk;
}

// The destination's earlier contents are overwritten, not released: it is
// usually a fresh record on the caller's stack.
IK_API int32_t CopyBitmapRecord(BitmapRecord* destination, const BitmapRecord* source,
                                int32_t recordSize) {
  if (destination == nullptr || source == nullptr || !ikernel::ValidRecordSize(recordSize)) {
    return kIkErrArgument;
  }
  if (destination == source) return kIkOk;
  if (source->bits != nullptr && (source->imageSize <= 0)) return kIkErrArgument;
  *destination = *source;
  destination->bits = nullptr;
  destination->palette = nullptr;
  destination->paletteCount = 0;
  destination->accessCount = 0;
  bool needsMemory = source->bits != nullptr || (source->palette != nullptr && source->paletteCount > 0);
  if (!needsMemory) return kIkOk;
  if (!ikernel::TakeAllocationTicket()) return kIkErrNoMemory;
  uint8_t* bits = nullptr;
  if (source->bits != nullptr) {
    bits = ikernel::NewImageMemory(static_cast<uint32_t>(source->imageSize));
    if (bits == nullptr) return kIkErrNoMemory;
    std::memcpy(bits, source->bits, static_cast<size_t>(source->imageSize));
  }
  uint32_t* palette = nullptr;
  if (source->palette != nullptr && source->paletteCount > 0) {
    palette = ikernel::NewPalette(source->paletteCount, source->palette);
    if (palette == nullptr) {
      ikernel::DeleteImageMemory(bits);
      return kIkErrNoMemory;
    }
  }
  destination->bits = bits;
  destination->palette = palette;
  destination->paletteCount = palette != nullptr ? source->paletteCount : 0;
  return kIkOk;
}

// A count of 0 removes the target's palette.
IK_API int32_t SetBitmapPalette(BitmapRecord* target, int32_t paletteCount,
                                const uint32_t* palette) {
  if (target == nullptr || paletteCount < 0 || paletteCount > 256 ||
      (paletteCount > 0 && palette == nullptr)) {
    return kIkErrArgument;
  }
  if (palette == target->palette && paletteCount == target->paletteCount) return kIkOk;
  uint32_t* copy = nullptr;
  if (paletteCount > 0) {
    if (!ikernel::TakeAllocationTicket()) return kIkErrNoMemory;
    copy = ikernel::NewPalette(paletteCount, palette);
    if (copy == nullptr) return kIkErrNoMemory;
  }
  ikernel::DeletePalette(target->palette);
  target->palette = copy;
  target->paletteCount = paletteCount;
  return kIkOk;
}

IK_API int32_t AccessBitmap(BitmapRecord* bitmap, int32_t /*flag*/) {
  if (bitmap == nullptr) return kIkErrArgument;
  if (bitmap->bits == nullptr) return kIkErrNoImage;
  ++bitmap->accessCount;
  return kIkOk;
}

IK_API int32_t ReleaseBitmap(BitmapRecord* bitmap, int32_t /*flag*/, int32_t lastStatus) {
  if (bitmap == nullptr || bitmap->accessCount <= 0) return kIkErrArgument;
  --bitmap->accessCount;
  return lastStatus;
}

IK_API int32_t GetBitmapRow(const BitmapRecord* bitmap, uint8_t* buffer, int32_t row,
                            int32_t byteCount) {
  if (bitmap == nullptr || buffer == nullptr || byteCount < 0) return kIkErrArgument;
  if (bitmap->bits == nullptr) return kIkErrNoImage;
  if (row < 0 || row >= bitmap->height) return kIkErrArgument;
  int32_t count = byteCount < bitmap->bytesPerRow ? byteCount : bitmap->bytesPerRow;
  std::memcpy(buffer, bitmap->bits + static_cast<int64_t>(row) * bitmap->bytesPerRow,
              static_cast<size_t>(count));
  return kIkOk;
}

}  // extern "C"
