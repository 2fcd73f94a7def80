#pragma once
// The data pass: every listed file in list order, every record accumulated into the table.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "input/input_error.h"
#include "input/warnings.h"
#include "passes/engine/pass_setup.h"
#include "passes/engine/tally.h"
#include "stats/distribution.h"
#include "stats/domain_check.h"
#include "stats/month_stats.h"

namespace pctlfit {

// What the record lines of all files were, so that a run that pools nothing can say why.
struct PassSummary {
  long records = 0;      // lines with values, also of month 0
  long month_zero = 0;   // of those, records of month 0
  long not_records = 0;  // lines that are neither records nor blank
};

struct DataPassOptions {
  PassOptions pass;
  ProgressSink progress;
  CellCounts* bound_counts = nullptr;    // counts values at or below the log-normal bound
  CellCounts* missing_counts = nullptr;  // counts missing values
  CellCounts* zero_counts = nullptr;     // --zeros: counts values exactly at the bound
  PassSummary* summary = nullptr;        // counts the lines
  const std::vector<std::string>* headings = nullptr;  // the first file's, for the warnings
  // The features beyond the sums and counts, in the order their steps run (--sample's kept
  // values, --compare-fits' sums, ...).
  std::vector<Tally> tallies;
};

// Reads the record lines of every entry and accumulates them into `table` (whose column count is
// the count N of the first file). Malformed lines and files whose header names another number of
// columns, and files without records, give warnings. Stops at the first file that cannot be opened
// or read.
InputError read_data_files(const std::vector<std::string>& entries, const Distribution& dist,
                           StatsTable& table, WarningSink& warnings,
                           const DataPassOptions& options);

}  // namespace pctlfit
