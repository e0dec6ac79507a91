// Painting for builds without the drawing library: documents still load,
// measure and save, but cannot be painted.
#include "VectorKernel/VectorKernel.h"

extern "C" {

VK_API int32_t VectorPaint(DrawingContext* /*context*/, VectorDocument* /*document*/,
                           int32_t /*flag*/) {
  return kVkErrUnsupported;
}

}  // extern "C"
