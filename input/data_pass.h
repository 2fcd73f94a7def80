#pragma once
// The data pass: every listed file in list order, every record accumulated into the table.

#include <cstdint>
#include <string>
#include <vector>

#include "input/input_error.h"
#include "input/warnings.h"
#include "stats/distribution.h"
#include "stats/domain_check.h"
#include "stats/month_stats.h"

namespace pctlfit {

// How far the data pass has come. The bytes are those on disk: compressed ones for a compressed
// file, so that they add up to the files' sizes.
struct PassProgress {
  size_t files_done = 0;
  size_t files_total = 0;
  const std::string* file = nullptr;  // the current one
  uint64_t bytes_read = 0;
  uint64_t bytes_total = 0;
};

// Called after each file and block in order; may be null.
struct ProgressSink {
  void (*report)(void* context, const PassProgress& progress) = nullptr;
  void* context = nullptr;
};

// What the record lines of all files were, so that a run that pools nothing can say why.
struct PassSummary {
  long records = 0;      // lines with values, also of month 0
  long month_zero = 0;   // of those, records of month 0
  long not_records = 0;  // lines that are neither records nor blank
};

struct DataPassOptions {
  int threads = 1;                            // parsing threads; 1 reads on the calling thread only
  uint64_t min_bytes_for_threads = 8u << 20;  // smaller inputs are read on the calling thread
  // A block's values (8 bytes for each 6 or so of text) stay in the second-level cache between
  // parsing and summing: 256 KiB ran 10 % faster than 1 MiB. Compressed files: four times as
  // much (see block_source.cpp).
  size_t block_size = 256u << 10;
  ProgressSink progress;
  CellCounts* bound_counts = nullptr;    // counts values at or below the log-normal bound
  CellCounts* missing_counts = nullptr;  // counts missing values
  PassSummary* summary = nullptr;        // counts the lines
  const std::vector<std::string>* headings = nullptr;  // the first file's, for the warnings
};

// The entries' sizes on disk, summed (a file without one counts 0).
uint64_t total_file_size(const std::vector<std::string>& entries);

// The parsing threads for a pass over `total_bytes`: small inputs are read on the calling thread.
inline int pass_threads(const DataPassOptions& options, uint64_t total_bytes) {
  return total_bytes >= options.min_bytes_for_threads ? options.threads : 1;
}

// Reads the record lines of every entry and accumulates them into `table` (whose column count is
// the count N of the first file). Malformed lines and files whose header names another number of
// columns, and files without records, give warnings. Stops at the first file that cannot be opened
// or read.
InputError read_data_files(const std::vector<std::string>& entries, const Distribution& dist,
                           StatsTable& table, WarningSink& warnings,
                           const DataPassOptions& options);

}  // namespace pctlfit
