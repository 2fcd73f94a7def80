#include "stats/rank_select_kernels.h"

namespace pctlfit {

NarrowKeyKernels narrow_key_kernels() { return {narrow_bounds_plain, narrow_gather_plain}; }

}  // namespace pctlfit
