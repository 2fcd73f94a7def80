#pragma once
// The run's output files: the report and, with --table, the figure table. Neither may be an
// input: opening it for writing would truncate that input.

#include "run/exit_status.h"
#include "run/options.h"
#include "run/run_context.h"

namespace pctlfit {

// Names the report (-o, or after the list, with a warning when the name leaves the list's
// folder) and opens it. Prints the failure and returns its status.
ExitStatus open_report(RunContext& context, const Options& options);

// Opens the figure table named by --table, if any. Prints the failure and returns its status.
ExitStatus open_table(RunContext& context, const Options& options);

// Flushes and closes `file`; false, with the first error's errno kept in `error_number`, when
// any of it was not written.
bool close_output(FilePtr& file, int& error_number);

}  // namespace pctlfit
