// Loads arbitrary bytes in vector mode, saves what loaded with fltSave and
// loads the saved file again. Every call must end with a status and leave
// nothing live in the kernel; a document that loads and saves must give a
// file that loads again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "LoadHarness.h"
#include "svgfilter/FilterStatus.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string input = fuzzload::WriteInput("writer-in.svg", data, size);
  const std::u16string output = fuzzload::Wide(fuzzload::ScratchFolder() + "/writer-out.svg");

  KernelAccounting before{};
  KernelGetAccounting(&before);
  {
    fuzzload::HostDocument document;
    if (fuzzload::LoadVector(input, document.get()) == svgflt::kOk) {
      const svgflt::Status saved = fuzzload::Save(output, document.get());
      if (saved == svgflt::kOk) {
        fuzzload::HostDocument again;
        const svgflt::Status reloaded = fuzzload::LoadVector(output, again.get());
        if (reloaded != svgflt::kOk) {
          std::fprintf(stderr, "the saved file does not load again: %s\n",
                       svgflt::StatusName(reloaded));
          std::abort();
        }
      }
    }
  }
  fuzzload::CheckNothingLiveSince(before, "the round trip");
  return 0;
}
