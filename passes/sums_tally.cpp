#include "passes/sums_tally.h"

#include <bit>

#include "passes/engine/bound_mark.h"

namespace pctlfit {

void accumulate_columns(const ParsedBlock& block, StatsTable& table, CellCounts& missing,
                        size_t first, size_t end, CellCounts* at_bound) {
  const size_t width = static_cast<size_t>(table.columns);
  if (width == 0) return;
  const double* row = block.values.data();
  for (unsigned char month : block.months) {
    MonthStats* cells = &table_cell(table, 1, month);
    uint32_t* missing_in_month = &missing.cells[cell_index(missing, 1, month)];
    for (size_t c = first; c < end; ++c) {
      if (!is_not_accumulated(row[c])) {
        accumulate_value(cells[c], row[c]);
      } else if (std::bit_cast<uint64_t>(row[c]) == kMissingBits) {
        ++missing_in_month[c];
      } else if (at_bound != nullptr && is_at_bound_mark(row[c])) {
        ++at_bound->cells[cell_index(*at_bound, int(c) + 1, month)];
      }
    }
    row += width;
  }
}

void accumulate_block(const ParsedBlock& block, StatsTable& table, CellCounts& missing) {
  accumulate_columns(block, table, missing, 0, static_cast<size_t>(table.columns));
}

Tally sums_tally(StatsTable& table, CellCounts& missing, CellCounts* at_bound) {
  Tally tally;
  tally.apply = [&table, &missing, at_bound](const WorkItem& item, size_t first, size_t end) {
    accumulate_columns(item.parsed, table, missing, first, end, at_bound);
  };
  return tally;
}

}  // namespace pctlfit
