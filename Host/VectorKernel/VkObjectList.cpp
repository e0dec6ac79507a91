// The kernel object list: a growable array of fixed-size entries whose
// storage comes from the imaging kernel, so an unfreed list shows in its
// accounting.
#include <cstring>
#include <limits>

#include "ImagingKernel/ImagingKernel.h"
#include "VkStore.h"

extern "C" {

VK_API int32_t VectorObjectListInit(VectorObjectList* list, int32_t elementSize,
                                    int32_t growth, uint32_t tag) {
  if (!list || elementSize <= 0 || growth <= 0) return kVkErrArgument;
  // Storage is taken on the first append: many conversions never add one.
  *list = VectorObjectList{};
  list->elementSize = elementSize;
  list->growth = growth;
  list->tag = tag;
  return kVkOk;
}

VK_API int32_t VectorObjectListAppend(VectorObjectList* list, const void* entry,
                                      int32_t elementSize) {
  if (!list || !entry || list->elementSize <= 0 || elementSize != list->elementSize) {
    return kVkErrArgument;
  }
  if (list->count == list->capacity) {
    const int64_t capacity = static_cast<int64_t>(list->capacity) + list->growth;
    const int64_t bytes = capacity * list->elementSize;
    if (capacity > std::numeric_limits<int32_t>::max() ||
        bytes > std::numeric_limits<uint32_t>::max()) {
      return kVkErrNoMemory;
    }
    void* block = list->data
                      ? KernelRealloc(list->data, static_cast<uint32_t>(bytes), __LINE__,
                                      vk::kVkSourcePath)
                      : KernelAlloc(static_cast<uint32_t>(capacity),
                                    static_cast<uint32_t>(list->elementSize), __LINE__,
                                    vk::kVkSourcePath);
    if (!block) return kVkErrNoMemory;  // the list keeps its old storage
    list->data = static_cast<uint8_t*>(block);
    list->capacity = static_cast<int32_t>(capacity);
  }
  std::memcpy(list->data + static_cast<size_t>(list->count) * static_cast<size_t>(elementSize),
              entry, static_cast<size_t>(elementSize));
  ++list->count;
  return kVkOk;
}

VK_API int32_t VectorObjectListFree(VectorObjectList* list) {
  if (!list) return kVkErrArgument;
  if (list->data) KernelFree(list->data, __LINE__, vk::kVkSourcePath);
  *list = VectorObjectList{};
  return kVkOk;
}

}  // extern "C"
