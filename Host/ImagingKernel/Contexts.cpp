// Drawing contexts: one on a bitmap, or one standing for the screen, whose
// resolution the host (or a test) can set.
#include <cstdlib>

#include "KernelState.h"

struct DrawingContext {
  BitmapRecord* bitmap;  // null for the screen
};

namespace {

DrawingContext* NewContext(BitmapRecord* bitmap) {
  auto* context = static_cast<DrawingContext*>(std::malloc(sizeof(DrawingContext)));
  if (context == nullptr) return nullptr;
  context->bitmap = bitmap;
  auto& state = ikernel::State();
  std::lock_guard lock(state.mutex);
  state.contexts.insert(context);
  return context;
}

// Forgets and frees a context if it is live and of the wanted kind.
int32_t DeleteContext(DrawingContext* context, bool screen, const char* what) {
  if (context == nullptr) return kIkErrArgument;
  {
    auto& state = ikernel::State();
    std::lock_guard lock(state.mutex);
    auto it = state.contexts.find(context);
    if (it == state.contexts.end()) {
      ikernel::ReportInvalidRelease(what, context);
      return kIkErrArgument;
    }
    if ((context->bitmap == nullptr) != screen) return kIkErrArgument;
    state.contexts.erase(it);
  }
  std::free(context);
  return kIkOk;
}

bool IsLive(DrawingContext* context) {
  auto& state = ikernel::State();
  std::lock_guard lock(state.mutex);
  return state.contexts.count(context) != 0;
}

}  // namespace

extern "C" {

IK_API DrawingContext* CreateBitmapDC(BitmapRecord* bitmap) {
  if (bitmap == nullptr || bitmap->bits == nullptr) return nullptr;
  return NewContext(bitmap);
}

IK_API int32_t DeleteBitmapDC(DrawingContext* context) {
  return DeleteContext(context, false, "DeleteBitmapDC");
}

IK_API BitmapRecord* DrawingContextBitmap(DrawingContext* context) {
  if (context == nullptr || !IsLive(context)) return nullptr;
  return context->bitmap;
}

// Every call lends a context of its own, released by ReleaseScreenDC.
IK_API DrawingContext* GetScreenDC(int32_t /*window*/, int32_t /*line*/,
                                   const char16_t* /*sourcePath*/) {
  return NewContext(nullptr);
}

IK_API int32_t ReleaseScreenDC(int32_t /*window*/, DrawingContext* context, int32_t /*line*/,
                               const char16_t* /*sourcePath*/) {
  return DeleteContext(context, true, "ReleaseScreenDC");
}

// 0 for a null or unknown context, as the Windows device query answers for
// an invalid context.
IK_API int32_t DrawingContextResolution(DrawingContext* context, int32_t vertical) {
  if (context == nullptr || !IsLive(context)) return 0;
  if (context->bitmap != nullptr) {
    int32_t own = vertical != 0 ? context->bitmap->yResolution : context->bitmap->xResolution;
    if (own > 0) return own;
  }
  auto& state = ikernel::State();
  return vertical != 0 ? state.screenResolutionY.load() : state.screenResolutionX.load();
}

// Values below 1 leave that direction unchanged.
IK_API void KernelSetScreenResolution(int32_t horizontal, int32_t vertical) {
  auto& state = ikernel::State();
  if (horizontal > 0) state.screenResolutionX.store(horizontal);
  if (vertical > 0) state.screenResolutionY.store(vertical);
}

}  // extern "C"
