// Feeds arbitrary bytes to the whole load as a host makes it: fltInfo, then
// fltLoad in vector mode into a document of the host's. Each call must end
// with a status and give back every kernel block, bitmap, memory handle,
// context, file and tracked object it took.
#include <cstddef>
#include <cstdint>

#include "LoadHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string name = fuzzload::WriteInput("load.svg", data, size);

  KernelAccounting before{};
  KernelGetAccounting(&before);
  (void)fuzzload::Info(name);
  fuzzload::CheckNothingLiveSince(before, "fltInfo");

  {
    fuzzload::HostDocument document;
    (void)fuzzload::LoadVector(name, document.get());
  }
  fuzzload::CheckNothingLiveSince(before, "fltLoad");
  return 0;
}
