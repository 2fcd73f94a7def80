#pragma once
// --sample: the exact sample percentiles of every cell's pooled values, in bounded memory.
// When the values (8 bytes each) fit the budget, the data pass keeps them (or, where it gave
// them up, one more pass does) and each cell's ranks are selected; otherwise further passes
// narrow each wanted rank to the values that fit (see sample_narrowing.h), at most 64 / bits
// passes, whatever the ties.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "input/input_error.h"
#include "passes/engine/pass_setup.h"
#include "passes/kept/kept_values.h"
#include "passes/sample_narrowing.h"
#include "stats/month_stats.h"
#include "stats/quantile_interval.h"
#include "stats/sample_percentile.h"

namespace pctlfit {

struct SampleRequest {
  SampleMethod method;
  std::vector<double> levels;  // in percent
  uint64_t memory = uint64_t{1} << 30;
  // --zeros: each cell's values at the bound, pooled here but not in the table's counts
  const CellCounts* at_bound = nullptr;
  // --ci: the confidence (a fraction) of the intervals at every level, each bounded by two
  // order statistics, which are two more wanted ranks a level
  std::optional<double> confidence = std::nullopt;
};

struct SampleFigures {
  std::vector<double> figures;  // the cells month-major, as cell_index orders them, then level
  std::vector<IntervalEnds> intervals;  // --ci: laid out as the figures
  int passes = 0;                       // over the files after the data pass
  bool kept_in_memory = false;          // the values fitted the budget
  bool changed = false;                 // a pass found other counts: the files changed in between
};

// The wanted ranks a level costs the bookkeeping in units of a level without intervals: --ci's
// order statistics are two more ranks beside the figure's two.
inline uint64_t rank_sets_per_level(bool intervals) { return intervals ? 2 : 1; }

// What the sample percentiles hold besides the values themselves, whatever the budget, for
// `cells` cells of `levels` levels each: per cell its span, count, place and kept bounds, per
// wanted rank its window, least buckets, found key and figures, with the copies the passes make
// of them (256 and 272 bytes, as measured at the peak: 5000 columns of 3 levels hold 1080 bytes
// a cell). The budget pays for it first; the values get the rest.
inline uint64_t sample_bookkeeping(uint64_t cells, uint64_t levels) {
  return cells * 256 + cells * levels * 272;
}

// --memory shared out once for a run's cells and levels: the bookkeeping first, the values the
// rest. Every pass reads its share from here.
struct SampleBudget {
  uint64_t memory = 0;       // --memory
  uint64_t bookkeeping = 0;  // sample_bookkeeping of the run's cells and levels

  bool fits() const { return bookkeeping < memory; }
  uint64_t values() const { return fits() ? memory - bookkeeping : 0; }  // bytes for values
  uint64_t held_values() const { return values() / kHeldValueBytes; }
};

inline SampleBudget plan_sample_budget(uint64_t memory, uint64_t cells, uint64_t levels) {
  return {memory, sample_bookkeeping(cells, levels)};
}

// The figures of every cell of `table` (finalised or not: its counts are read) at every level:
// from the values the data pass kept, if it kept them all (which it frees), else from further
// passes. Stops at the first file that cannot be read.
InputError sample_data_files(const std::vector<std::string>& entries, const StatsTable& table,
                             const SampleRequest& request, const PassOptions& options,
                             SampleFigures& out, KeptValues* kept = nullptr);

}  // namespace pctlfit
