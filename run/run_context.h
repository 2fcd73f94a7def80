#pragma once
// The state of one run, owned by the run sequence.

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "input/layout.h"
#include "passes/kept/kept_values.h"
#include "platform/platform.h"
#include "run/progress.h"
#include "stats/cell_results.h"
#include "stats/distribution.h"

namespace pctlfit {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct Console {
  std::FILE* in = stdin;
  std::FILE* out = stdout;
  std::FILE* err = stderr;
};

// An output written under a temporary name beside its target (the name with symbolic links
// followed) and renamed over it once the run has written it whole, so that a run that fails or
// is interrupted leaves the previous file as it was. Both empty: written in place (a device).
struct PendingOutput {
  std::string temporary;
  std::string target;
};

struct RunContext {
  Console console;
  std::string list_name;
  std::string report_name;
  std::vector<std::string> entries;   // the data files, in list order; F is their number
  std::vector<long> entry_lines;      // the list file's line of each entry
  int column_count = 0;               // N
  std::vector<std::string> headings;  // the first file's column headings, N of them
  Distribution distribution;
  FileLayout layout = FileLayout::standard;  // of the data files
  std::vector<double> levels;                // the figure table's levels, in percent
  bool fit_best = false;                     // --fit=best: each cell's family by least AIC
  std::unique_ptr<KeptValues> kept;          // --sample: the values the data pass keeps
  FilePtr report;
  PendingOutput report_pending;
  std::string table_name;  // --table: the figure table
  FilePtr table_file;
  PendingOutput table_pending;
  CellResults results;
  // The files as the data pass found them, for any later pass (none for a file without a stamp)
  std::vector<std::optional<FileStamp>> stamps;
  // On a terminal, the progress line of every pass (its `out` null elsewhere: no line).
  ProgressLine progress;
  int threads = 1;
  long input_warnings = 0;  // warnings about the input so far (--strict counts them)
};

}  // namespace pctlfit
