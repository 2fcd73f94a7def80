#pragma once
// The data pass's own tally: every pooled value into its cell's sums, record by record, column
// by column, and the values not pooled counted (missing; with --zeros, those at the bound).

#include "passes/engine/tally.h"
#include "stats/month_stats.h"

namespace pctlfit {

// Adds a parsed block to the table, record by record, column by column, and counts its missing
// values per column and month into `missing` (laid out for the table's columns).
void accumulate_block(const ParsedBlock& block, StatsTable& table, CellCounts& missing);

// As accumulate_block, for the columns [first, end) (0-based) only; with --zeros also counts
// the values at the bound into `at_bound`.
void accumulate_columns(const ParsedBlock& block, StatsTable& table, CellCounts& missing,
                        size_t first, size_t end, CellCounts* at_bound = nullptr);

// The tally that does so a column range at a time.
Tally sums_tally(StatsTable& table, CellCounts& missing, CellCounts* at_bound);

}  // namespace pctlfit
