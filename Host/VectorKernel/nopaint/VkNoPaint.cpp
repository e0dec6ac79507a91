// Painting for builds without the drawing library: documents still load,
// measure and save, but cannot be painted.
#include "VectorKernel/VectorKernel.h"
#include "VectorKernel/VkText.h"

namespace vk {

// Without a font engine text keeps its approximate box and has no outline.
bool TextLayoutExtent(const Object& /*object*/, KernelPoint* /*lower*/, KernelPoint* /*upper*/) {
  return false;
}

int32_t TextOutline(const Object& object, std::vector<KernelPoint>& /*points*/,
                    std::vector<uint8_t>& /*kinds*/) {
  return object.type == kVoText ? kVkErrUnsupported : kVkErrArgument;
}

}  // namespace vk

extern "C" {

VK_API int32_t VectorPaint(DrawingContext* /*context*/, VectorDocument* /*document*/,
                           int32_t /*flag*/) {
  return kVkErrUnsupported;
}

}  // extern "C"
