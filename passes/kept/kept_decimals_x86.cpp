// Built where the 64-byte reading is: its processors encode eight values a step.
#include "cpu/features.h"
#include "passes/kept/kept_decimals.h"

namespace pctlfit {

namespace {

PCTLFIT_TARGET_WIDE64 bool encode_decimals_wide64(const double* values, const double* read,
                                                  int32_t* out, size_t n, int scale) {
  return read != nullptr ? encode_decimals_loop<true>(values, read, out, n, scale)
                         : encode_decimals_loop<false>(values, read, out, n, scale);
}

}  // namespace

DecimalKernel decimal_kernel() {
  return cpu_runs_wide64() ? encode_decimals_wide64 : encode_decimals_plain;
}

}  // namespace pctlfit
