#pragma once
// The standard normal quantile, for levels that the z table does not hold.

namespace pctlfit {

// z with P(Z <= z) = p for a standard normal Z, 0 < p < 1, to double precision: a rational
// first guess (Abramowitz and Stegun 26.2.23), then Newton steps on the standard library's
// erfc, each tail solved on its own side so that no 1 - p loses digits. NaN outside (0, 1).
double normal_quantile(double p);

}  // namespace pctlfit
