#pragma once
// A later pass that hands each pooled value, as read, to a step: the sample percentiles' passes
// and the digits' pass.

#include <string>
#include <vector>

#include "input/record/missing_values.h"
#include "passes/engine/tally.h"

namespace pctlfit {

// A tally whose apply step hands each pooled value of a block to `take(cell, value)`, cells as
// the statistics table lays them out, for the block's columns [first, end) on that range's
// turn: two threads never take values of one cell at once. `take` is copied into the tally
// (what it refers to must outlive the pass) and called per value, inline.
template <typename Take>
Tally value_tally(int columns, const Take& take) {
  Tally tally;
  tally.apply = [columns, take](const WorkItem& item, size_t first, size_t end) {
    const double* row = item.parsed.values.data();
    const size_t width = static_cast<size_t>(columns);
    for (unsigned char month : item.parsed.months) {
      const size_t month_cells = month_row(width, month);
      for (size_t c = first; c < end; ++c) {
        if (!is_not_accumulated(row[c])) take(month_cells + c, row[c]);
      }
      row += columns;
    }
  };
  return tally;
}

// Runs one later pass of the value tally.
template <typename Take>
InputError pass_values(const std::vector<std::string>& entries, int columns,
                       const PassOptions& options, const Take& take) {
  return run_later_pass(entries, columns, options, {value_tally(columns, take)});
}

}  // namespace pctlfit
