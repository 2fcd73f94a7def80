#pragma once
// The report: a column header line, a title line, then one row per month with minimum, 5 %,
// 50 %, 95 % and maximum of every column.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "stats/cell_results.h"
#include "stats/distribution.h"
#include "stats/month_stats.h"

namespace pctlfit {

// The title line's opening words for a mode (the NV title ends in a space, the others do not);
// with --zeros (LN2, LN3, GAM, LP3) a title that says so; with --fit=best one of its own.
const char* report_title(DistributionMode mode, bool zeros = false, bool best = false);

// Writes the column header line and the title line naming every entry. False if a write failed.
bool write_report_head(std::FILE* report, int columns, DistributionMode mode,
                       const std::vector<std::string>& entries, bool zeros = false,
                       bool best = false);

// Whether `title_line` (a report's second line, without its newline) is a report title that
// names other files than `entries`, in any mode; false for a line that is no report title.
bool title_names_other_files(std::string_view title_line, const std::vector<std::string>& entries);

// Writes the twelve month rows from finalised results (with --zeros, the figures are the
// mixture's of the values at the bound and the fit). False if a write failed.
bool write_month_rows(std::FILE* report, const CellResults& results, const Distribution& dist);

}  // namespace pctlfit
