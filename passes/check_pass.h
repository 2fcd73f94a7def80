#pragma once
// The second pass of --check-fit: the same files, in the same order and by the same rules as
// the data pass, each pooled value counted against its cell's fitted lines. Its warnings about
// malformed lines are those of the data pass and are not given again.

#include <string>
#include <vector>

#include "input/input_error.h"
#include "passes/engine/pass_setup.h"
#include "passes/engine/tally.h"
#include "stats/distribution.h"
#include "stats/fit_check.h"

namespace pctlfit {

// The check as a tally of a later pass: each pooled value placed against its cell's lines on
// the parsing threads, counted in file order.
Tally check_tally(const Distribution& dist, FitCheck& check);

// Counts every value that the data pass pooled into `check` (from prepare_fit_check). Stops at
// the first file that cannot be opened or read.
InputError check_data_files(const std::vector<std::string>& entries, const Distribution& dist,
                            FitCheck& check, const PassOptions& options);

}  // namespace pctlfit
