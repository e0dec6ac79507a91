// Helpers shared by the document-side units of the vector kernel
// (VkDocument.cpp, VkObjects.cpp, VkBounds.cpp, VkObjectList.cpp).
#pragma once

#include "VkDocument.h"

namespace vk {

// Tag of the kernel's own imaging-kernel allocations (descriptions, lists).
inline constexpr const char16_t* kVkSourcePath = u"Host/VectorKernel";

// The active layer, creating the default layer "0" (and making it active)
// when the document has none yet. Throws std::bad_alloc.
VectorLayerRef ActiveLayer(Document& doc);

// Gives `object` the next id, appends it and widens the document's bounds
// by its own. Throws std::bad_alloc (the object is then not stored).
VectorObjectRef StoreObject(VectorDocument* document, Document& doc, Object&& object);

// Widens the document record's bounds by those of one object.
void AddObjectBounds(VectorDocument* document, Document& doc, const Object& object);

}  // namespace vk
