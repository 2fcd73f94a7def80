#pragma once
// The run's output files: the report and, with --table, the figure table. Neither may be an
// input: opening it for writing would truncate that input.

#include <optional>
#include <string>

#include "run/exit_status.h"
#include "run/options.h"
#include "run/run_context.h"

namespace pctlfit {

// The report's name: the list file's name up to its first point, with ".sta" appended. A point
// at the very start does not count ('./list.txt' gives './list.txt.sta').
std::string derive_report_name(const std::string& list_name);

// An output file that was not written whole, and the system's reason.
struct WriteFailure {
  std::string name;
  int error_number = 0;
};

// Names the report (-o, or after the list, with a warning when the name leaves the list's
// folder) and opens it. Prints the failure and returns its status.
ExitStatus open_report(RunContext& context, const Options& options);

// Opens the figure table named by --table, if any. Prints the failure and returns its status.
ExitStatus open_table(RunContext& context, const Options& options);

// Renames the report and the table, both written whole and closed, over their targets; the
// failure of the first that cannot be.
std::optional<WriteFailure> commit_outputs(RunContext& context);

// Removes what an unfinished run wrote under temporary names: the previous files stand.
void discard_unfinished_outputs(RunContext& context);

// Flushes and closes `file`, named `name`; the failure when any of it was not written.
// `write_error` is the errno of a write that already failed, 0 when none did.
std::optional<WriteFailure> finish_output(FilePtr& file, const std::string& name, int write_error);

}  // namespace pctlfit
