// Measures the record-line parser and the accumulation on their own, so that a change to either
// can be judged without the file system.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "input/record/readings.h"
#include "passes/engine/block_parser.h"
#include "passes/sums_tally.h"

namespace pctlfit {
namespace {

constexpr int kColumns = 500;

// Records as the benchmark workload's: values of 0.5 to 300 with two decimals, tab-separated.
std::string make_block(int records) {
  std::mt19937 random(3);
  std::string block;
  char value[32];
  for (int r = 0; r < records; ++r) {
    block += "1950 " + std::to_string(r % 13) + " 1 0";
    for (int c = 0; c < kColumns; ++c) {
      std::snprintf(value, sizeof value, "\t%.2f",
                    static_cast<double>(random() % 30000) / 100.0 + 0.5);
      block += value;
    }
    block += '\n';
  }
  return block;
}

// The record parser alone, byte by byte and wide, on the lines of a block in turn (one line
// over and over would let the branch predictor learn it): the part of the pass that the wide
// reading speeds up.
void BM_ParseRecord(benchmark::State& state) {
  const std::string block = make_block(64);
  std::vector<std::string_view> lines;
  for (size_t pos = 0; pos < block.size();) {
    const size_t newline = block.find('\n', pos);
    lines.emplace_back(block.data() + pos, newline - pos);
    pos = newline + 1;
  }
  std::vector<double> values(kColumns);
  const auto reading = static_cast<ValueReading>(state.range(0));
  if (!value_reading_available(reading)) {
    state.SkipWithError("this processor does not have that reading");
    return;
  }
  size_t next = 0;
  for (auto _ : state) {
    const std::string_view line = lines[next++ % lines.size()];
    const RecordParse parse = parse_record_with(reading, line, kColumns, values.data());
    benchmark::DoNotOptimize(parse);
    benchmark::DoNotOptimize(values.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(block.size() / 64));
  state.SetItemsProcessed(state.iterations() * kColumns);
}
BENCHMARK(BM_ParseRecord)->Arg(0)->Arg(1)->Arg(2)->ArgName("reading");  // byte, 16, 64

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
