#include "passes/kept/kept_decimals.h"

namespace pctlfit {

DecimalKernel decimal_kernel() { return encode_decimals_plain; }

}  // namespace pctlfit
