#pragma once
// A later pass that hands each pooled value, as read, to a step: the sample percentiles' passes.

#include <string>
#include <vector>

#include "input/record/missing_values.h"
#include "passes/engine/block_parser.h"
#include "passes/engine/pass_setup.h"

namespace pctlfit {

// Runs one pass whose apply step hands each pooled value of a block to `take(cell, value)`,
// cells as the statistics table lays them out, for the block's columns [first, end) on that range's
// turn: two threads never take values of one cell at once.
template <typename Take>
InputError pass_values(const std::vector<std::string>& entries, int columns,
                       const PassOptions& options, const Take& take) {
  const PassFiles files = pass_files(entries, columns);
  const FileLayout layout = options.layout;
  const auto parse = [&](WorkItem& item) {
    if (item.kind == ItemKind::block) {
      parse_block_values({item.bytes.data(), item.length}, columns, item.parsed, layout,
                         item.column_order.get());
    }
  };
  const auto apply = [&](const WorkItem& item, size_t first, size_t end) {
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
  return run_pass_to_failure(files, options, parse, apply);
}

}  // namespace pctlfit
