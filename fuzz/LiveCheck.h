// Shared by the fuzz targets: an input must leave no kernel block and no
// tracked object behind.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "ImagingKernel/ImagingKernel.h"

inline void AbortIfLeftLive(const KernelAccounting& before) {
  KernelAccounting after{};
  KernelGetAccounting(&after);
  if (after.liveBlocks != before.liveBlocks || after.trackedObjects != before.trackedObjects) {
    std::fprintf(stderr, "left live: %lld kernel blocks, %lld tracked objects\n",
                 static_cast<long long>(after.liveBlocks - before.liveBlocks),
                 static_cast<long long>(after.trackedObjects - before.trackedObjects));
    std::abort();
  }
}
