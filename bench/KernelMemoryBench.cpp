// The imaging kernel's tagged allocation: a pair of KernelAlloc and
// KernelFree with a given number of other blocks live, freed in the order
// they came (as a document's blocks go) or in a random one (the registry's
// worst case: no two neighbouring releases share a cache line).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"

namespace {

constexpr char16_t kTag[] = u"bench/KernelMemory";

// `state.range(0)` blocks of 8 to 200 bytes allocated, then all freed: in
// order when `shuffled` is false.
void AllocThenFree(benchmark::State& state, bool shuffled) {
  const auto count = static_cast<std::size_t>(state.range(0));
  std::vector<void*> blocks(count);
  std::mt19937 random(1);
  for (auto _ : state) {
    for (std::size_t i = 0; i < count; ++i) {
      blocks[i] = KernelAlloc(1, static_cast<uint32_t>(8 + i % 193), 1, kTag);
    }
    if (shuffled) {
      state.PauseTiming();
      std::shuffle(blocks.begin(), blocks.end(), random);
      state.ResumeTiming();
    }
    for (void* block : blocks) KernelFree(block, 2, kTag);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(count));
}

void BM_AllocFreeInOrder(benchmark::State& state) { AllocThenFree(state, false); }
void BM_AllocFreeShuffled(benchmark::State& state) { AllocThenFree(state, true); }

BENCHMARK(BM_AllocFreeInOrder)->RangeMultiplier(16)->Range(1 << 10, 1 << 18);
BENCHMARK(BM_AllocFreeShuffled)->RangeMultiplier(16)->Range(1 << 10, 1 << 18);

}  // namespace
