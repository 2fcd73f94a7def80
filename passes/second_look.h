#pragma once
// --compare-fits' second look at the values: the moment fits of P3, LP3 and LN3 per cell place
// their distribution by the cell's moments, so their likelihood needs every value against that
// place, which the data pass's sums cannot give.

#include <string>
#include <vector>

#include "input/input_error.h"
#include "passes/engine/pass_setup.h"
#include "stats/distribution.h"
#include "stats/fit_comparison.h"

namespace pctlfit {

// Sets each cell's moment fits from the finalised table and the data pass's sums; false where
// no cell has one (the pass is then not needed).
bool prepare_second_look(FitComparison& comparison, const StatsTable& table);

// Reads the files again into `comparison.second`, values at the bound left out with --zeros
// as the data pass left them out. Stops at the first file that cannot be opened or read.
InputError look_again(const std::vector<std::string>& entries, const Distribution& dist,
                      FitComparison& comparison, const PassOptions& options);

}  // namespace pctlfit
