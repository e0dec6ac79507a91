// Leak checking against the imaging kernel's accounting. Linking
// KernelLeakGuard.cpp into a test program registers a listener that fails
// every test after which more kernel blocks, bitmaps, movable memory
// handles, drawing contexts, open files or tracked objects are live than
// before it, or during which something unknown was released.
#pragma once

#include <string>

#include "ImagingKernel/ImagingKernel.h"

namespace svgflt::testing {

// The kernel's accounting now.
KernelAccounting KernelSnapshot();

// Adds a failure listing what is live now beyond `before` (nothing when
// nothing more is live).
void ExpectNothingLiveSince(const KernelAccounting& before);

// What is live now beyond `before`, one line per kind and per live block;
// empty when nothing is.
std::string DescribeLiveSince(const KernelAccounting& before);

// Excuses what the enclosing scope leaves live on purpose: the growth of
// the live counts between construction and destruction is not held
// against the running test. Releases of unknown things are excused too.
class ScopedLeakAllowance {
 public:
  ScopedLeakAllowance();
  ~ScopedLeakAllowance();
  ScopedLeakAllowance(const ScopedLeakAllowance&) = delete;
  ScopedLeakAllowance& operator=(const ScopedLeakAllowance&) = delete;

 private:
  KernelAccounting start_;
  long long invalidReleasesAtStart_;
};

}  // namespace svgflt::testing
