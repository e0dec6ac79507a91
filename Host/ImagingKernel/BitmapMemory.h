// Image memory and palettes of bitmap records, shared by the record
// operations and the pixel operations. Every block is registered, so that a
// second release of a copied record is caught instead of freeing twice.
#pragma once

#include <cstdint>

#include "ImagingKernel/ImagingKernel.h"

namespace ikernel {

// The record sizes a caller may pass: the host's 216, or this build's size
// of the record when pointers are wider.
bool ValidRecordSize(int32_t recordSize);
bool ValidDepth(int32_t bitsPerPixel);
// Bytes of one row: whole 32-bit words.
int64_t RowBytes(int64_t width, int32_t bitsPerPixel);

// Zeroed, registered image memory; null when memory runs out.
uint8_t* NewImageMemory(uint32_t bytes);
// Frees registered image memory; unknown memory is reported and kept.
void DeleteImageMemory(uint8_t* bits);
// A registered palette of `count` entries (copied from `entries` if given).
uint32_t* NewPalette(int32_t count, const uint32_t* entries);
void DeletePalette(uint32_t* palette);

// The palette AllocateBitmap gives a bitmap of this depth: a grey ramp for
// 8 bits, the 16 VGA colours for 4, black and white for 1. Returns the
// number of entries written to `out` (room for 256), 0 above 8 bits.
int32_t DefaultPalette(int32_t bitsPerPixel, uint32_t* out);

}  // namespace ikernel
