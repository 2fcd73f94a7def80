#include "stats/log_each.h"

namespace pctlfit {

LogKernel log_each_kernel() { return log_each_plain; }

}  // namespace pctlfit
