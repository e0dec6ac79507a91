#include "support/KernelLeakGuard.h"

#include <gtest/gtest.h>

#include <sstream>

namespace svgflt::testing {

namespace {

// A kernel count the guard watches, with its name for reports.
struct Counter {
  const char* name;
  int64_t KernelAccounting::*field;
};

constexpr Counter kCounters[] = {
    {"kernel blocks", &KernelAccounting::liveBlocks},
    {"bitmaps with image memory", &KernelAccounting::liveBitmaps},
    {"movable memory handles", &KernelAccounting::liveMemHandles},
    {"drawing contexts", &KernelAccounting::liveContexts},
    {"open files", &KernelAccounting::openFiles},
    {"tracked objects", &KernelAccounting::trackedObjects},
};

// How many live blocks and objects a report lists at most.
constexpr int kMaxListed = 25;

// What the running test is excused by its ScopedLeakAllowance objects.
KernelAccounting allowance{};
int64_t allowedInvalidReleases = 0;

std::string Narrow(const char16_t* text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) {
    out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  }
  return out;
}

struct ListState {
  std::ostringstream* out;
  bool blocks;  // blocks (sizes) or tracked objects (kinds)
  int listed;
  int skipped;
};

void ListEntry(const char16_t* sourcePath, int32_t line, uint32_t bytes, void* userData) {
  auto* state = static_cast<ListState*>(userData);
  if (state->listed >= kMaxListed) {
    ++state->skipped;
    return;
  }
  ++state->listed;
  *state->out << "    " << Narrow(sourcePath) << ":" << line << ", ";
  if (state->blocks) {
    *state->out << bytes << " bytes\n";
  } else {
    *state->out << "kind " << bytes << "\n";
  }
}

void List(std::ostringstream& out, bool blocks, void (*report)(KernelBlockSink, void*)) {
  ListState state{&out, blocks, 0, 0};
  report(ListEntry, &state);
  if (state.skipped > 0) out << "    ... and " << state.skipped << " more\n";
}

// The report of live counts above `before` plus `excused`.
std::string Describe(const KernelAccounting& before, const KernelAccounting& excused) {
  KernelAccounting now = KernelSnapshot();
  std::ostringstream out;
  bool blocks = false;
  bool objects = false;
  for (const Counter& counter : kCounters) {
    int64_t extra = now.*counter.field - before.*counter.field - excused.*counter.field;
    if (extra <= 0) continue;
    out << "  " << extra << " more " << counter.name << " live than before (now "
        << now.*counter.field << ")\n";
    blocks = blocks || counter.field == &KernelAccounting::liveBlocks;
    objects = objects || counter.field == &KernelAccounting::trackedObjects;
  }
  if (blocks) {
    out << "  live kernel blocks:\n";
    List(out, true, KernelReportLiveBlocks);
  }
  if (objects) {
    out << "  tracked objects:\n";
    List(out, false, KernelReportTrackedObjects);
  }
  return out.str();
}

// Checks every test against the accounting taken when it started.
class LeakListener : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo& /*info*/) override {
    allowance = KernelAccounting{};
    allowedInvalidReleases = 0;
    before_ = KernelSnapshot();
    invalidBefore_ = KernelInvalidReleases();
  }

  void OnTestEnd(const ::testing::TestInfo& /*info*/) override {
    // A test that stopped early must not leave the fault switch armed for
    // the next one.
    KernelFailAllocation(0);
    std::string report = Describe(before_, allowance);
    if (!report.empty()) ADD_FAILURE() << "The test left kernel resources live:\n" << report;
    int64_t invalid = KernelInvalidReleases() - invalidBefore_ - allowedInvalidReleases;
    if (invalid > 0) {
      ADD_FAILURE() << "The test released " << invalid
                    << " block(s), handle(s) or object(s) the kernel did not hand out";
    }
  }

 private:
  KernelAccounting before_{};
  int64_t invalidBefore_ = 0;
};

// Registers the listener when the test program starts; the listener list
// owns it from then on.
struct Registration {
  Registration() {
    // Record tracked objects one by one, so a leak report can name them.
    KernelSetTrackingDetail(1);
    ::testing::UnitTest::GetInstance()->listeners().Append(new LeakListener);
  }
} registration;

}  // namespace

KernelAccounting KernelSnapshot() {
  KernelAccounting accounting{};
  KernelGetAccounting(&accounting);
  return accounting;
}

std::string DescribeLiveSince(const KernelAccounting& before) {
  return Describe(before, KernelAccounting{});
}

void ExpectNothingLiveSince(const KernelAccounting& before) {
  std::string report = DescribeLiveSince(before);
  if (!report.empty()) ADD_FAILURE() << "Kernel resources still live:\n" << report;
}

ScopedLeakAllowance::ScopedLeakAllowance()
    : start_(KernelSnapshot()), invalidReleasesAtStart_(KernelInvalidReleases()) {}

ScopedLeakAllowance::~ScopedLeakAllowance() {
  KernelAccounting now = KernelSnapshot();
  for (const Counter& counter : kCounters) {
    int64_t grown = now.*counter.field - start_.*counter.field;
    if (grown > 0) allowance.*counter.field += grown;
  }
  allowedInvalidReleases += KernelInvalidReleases() - invalidReleasesAtStart_;
}

}  // namespace svgflt::testing
