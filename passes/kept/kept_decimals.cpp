#include "passes/kept/kept_decimals.h"

namespace pctlfit {

bool encode_decimals_plain(const double* values, const double* read, int32_t* out, size_t n,
                           int scale) {
  return read != nullptr ? encode_decimals_loop<true>(values, read, out, n, scale)
                         : encode_decimals_loop<false>(values, read, out, n, scale);
}

bool encode_decimals(const double* values, const double* read, int32_t* out, size_t n, int scale) {
  static const DecimalKernel kernel = decimal_kernel();
  return kernel(values, read, out, n, scale);
}

double decimal_key_value(uint64_t key, int scale) {
  // code * 10^(K - scale) is code * 2^i * 5^i, i <= 9: below 2^31 * 5^9 < 2^53 once the
  // powers of two are set apart, so the double holds it exactly, and the one division rounds
  // the number the parser rounded.
  const auto m = static_cast<int64_t>(key ^ (uint64_t{1} << 63));
  return static_cast<double>(m) / kPowersOfTen[size_t(scale)];
}

}  // namespace pctlfit
