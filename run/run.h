#pragma once
// The run sequence of pctlfit, from the command line to "ready..".

#include <optional>
#include <string>
#include <vector>

#include "run/run_context.h"

namespace pctlfit {

// The mode a second argument selects; any other text than NV, LN2, LN3 means LN2.
DistributionMode select_mode(const std::optional<std::string>& keyword);

// Parsing threads: PCTLFIT_THREADS when it is a positive number, else the machine's cores.
int thread_count(const char* env_value, unsigned hardware_threads);

// Runs pctlfit with `args` (without the program name). Returns the exit status.
int run_pctlfit(const std::vector<std::string>& args, const Console& console);

}  // namespace pctlfit
