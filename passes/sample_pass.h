#pragma once
// --sample: a further pass (or several) over the files for the exact sample percentiles of
// every cell's pooled values, in bounded memory. When the values (8 bytes each) fit the
// budget, one pass keeps them and sorts each cell's; otherwise each pass narrows every wanted
// rank's value by the next bits of its totalOrder key, counted into buckets (16 bits a pass
// where the budget allows), so that at most 64 / bits passes find every figure exactly,
// whatever the ties.

#include <cstdint>
#include <string>
#include <vector>

#include "input/input_error.h"
#include "passes/kept_values.h"
#include "passes/pass_setup.h"
#include "stats/month_stats.h"
#include "stats/sample_percentile.h"

namespace pctlfit {

struct SampleRequest {
  SampleMethod method;
  std::vector<double> levels;  // in percent
  uint64_t memory = uint64_t{1} << 30;
};

struct SampleFigures {
  std::vector<double> figures;  // by cell_index-like order: (column, month) then level
  int passes = 0;               // over the files after the data pass
  bool kept_in_memory = false;  // the values fitted the budget
};

// The most passes a run can take under a budget: 1 when the values fit, else 64 / bits.
int sample_pass_bound(uint64_t values, uint64_t targets, uint64_t memory);

// The figures of every cell of `table` (finalised or not: its counts are read) at every level:
// from the values the data pass kept, if it kept them all (which it frees), else from further
// passes. Stops at the first file that cannot be read.
InputError sample_data_files(const std::vector<std::string>& entries, const StatsTable& table,
                             const SampleRequest& request, const PassOptions& options,
                             SampleFigures& out, KeptValues* kept = nullptr);

}  // namespace pctlfit
