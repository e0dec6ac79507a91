// Text layout of the vector kernel: font lookup, measurement and glyph
// outlines of text objects (type 14). Implemented with the font engine in
// VkText.cpp; a build without the painter supplies fallbacks that report
// "no layout" so callers use their approximations.
#pragma once

#include <vector>

#include "VkDocument.h"

namespace vk {

// Layout box of a text object in kernel coordinates (y up): the advance of
// the whole string along the baseline and the font's ascent and descent
// across it, placed by the alignment word and turned by the escapement.
// False when the text is empty, has no size or no font engine is built in.
bool TextLayoutExtent(const Object& object, KernelPoint* lower, KernelPoint* upper);

// Glyph outlines of a text object (and its underline) appended as a point
// path in kernel coordinates; empty text or a size of 0 appends nothing.
// kVkOk, kVkErrArgument for a non-text object, kVkErrUnsupported without a
// font engine, kVkErrNoMemory, kVkErrFailed when the engine fails.
int32_t TextOutline(const Object& object, std::vector<KernelPoint>& points,
                    std::vector<uint8_t>& kinds);

}  // namespace vk
