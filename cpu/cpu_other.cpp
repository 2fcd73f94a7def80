// Processors other than x86-64: no vector reading needs a run-time check, no state to clear.
#include "cpu/features.h"

namespace pctlfit {

bool cpu_runs_wide64() { return false; }

void clear_upper_vector_state() {}

}  // namespace pctlfit
