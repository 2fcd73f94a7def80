#pragma once
// The pass that keeps the digits of cells whose one-pass sums lose them: the same files, in the
// same order and by the same rules as the data pass, the values of those cells only summed about
// their one-pass means. It runs only where a cell needs it.

#include <string>
#include <vector>

#include "input/input_error.h"
#include "passes/engine/pass_setup.h"
#include "stats/distribution.h"
#include "stats/shifted_sums.h"

namespace pctlfit {

// Adds every value that the data pass pooled into one of `cells` (transformed as it was) to its
// shifted sums. Stops at the first file that cannot be opened or read.
InputError shift_data_files(const std::vector<std::string>& entries, int columns,
                            const Distribution& dist, ShiftedCells& cells,
                            const PassOptions& options);

}  // namespace pctlfit
