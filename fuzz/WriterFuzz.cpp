// Loads arbitrary bytes in vector mode, saves what loaded with fltSave and
// loads the saved file again. Every call must end with a status and leave
// nothing live in the kernel; a document that loads and saves must give a
// file that loads again.
#include <cmath>
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
// magnitudes, and the reader's length and point grammars have no exponent:
// such a file does not load again (kErrBadLength, or kErrBadValue from a
// point list). Known and reported.
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

// True when every bound of the loaded document is finite. Numbers that
// overflow (path data "1e500") load as infinite coordinates; the writer then
// prints "inf" and "nan", which do not load again (kErrBadLength or
// kErrBadValue, by where they land). Known and reported.
bool FiniteBounds(const VectorDocument& document) {
  return std::isfinite(document.lowerBound.x) && std::isfinite(document.lowerBound.y) &&
         std::isfinite(document.upperBound.x) && std::isfinite(document.upperBound.y);
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
        const bool known =
            ((reloaded == svgflt::kErrBadLength || reloaded == svgflt::kErrBadValue) &&
             HoldsExponentNumber(outputPath)) ||
            !FiniteBounds(*document.get());
        if (reloaded != svgflt::kOk && !known) {
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
