// Measures the record-line parser and the accumulation on their own, so that a change to either
// can be judged without the file system.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "input/block_parser.h"

namespace pctlfit {
namespace {

constexpr int kColumns = 500;

std::string make_block(int records) {
  std::mt19937 random(3);
  std::string block;
  char value[32];
  for (int r = 0; r < records; ++r) {
    block += "1950 " + std::to_string(r % 13) + " 1 0";
    for (int c = 0; c < kColumns; ++c) {
      std::snprintf(value, sizeof value, "\t%.3f",
                    static_cast<double>(random() % 200000) / 1000.0 + 0.5);
      block += value;
    }
    block += '\n';
  }
  return block;
}

void BM_ParseBlock(benchmark::State& state) {
  const std::string block = make_block(200);
  const Distribution dist{static_cast<DistributionMode>(state.range(0)), 0.0};
  ParsedBlock parsed;
  for (auto _ : state) {
    parse_block(block, kColumns, dist, parsed);
    benchmark::DoNotOptimize(parsed.values.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(block.size()));
}
BENCHMARK(BM_ParseBlock)->Arg(1)->Arg(2)->ArgName("mode");

void BM_AccumulateBlock(benchmark::State& state) {
  const std::string block = make_block(200);
  ParsedBlock parsed;
  parse_block(block, kColumns, {DistributionMode::LN2, 0.0}, parsed);
  StatsTable table = allocate_table(kColumns);
  CellCounts missing = allocate_cell_counts(kColumns);
  for (auto _ : state) {
    accumulate_block(parsed, table, missing);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(parsed.values.size()));
}
BENCHMARK(BM_AccumulateBlock);

}  // namespace
}  // namespace pctlfit

BENCHMARK_MAIN();
