#pragma once
// Confidence intervals of percentiles: of a fitted normal percentile, exact through the
// noncentral t distribution; of a sample percentile, free of any distribution, as two order
// statistics.

#include <cstdint>

namespace pctlfit {

// An interval's ends, in the data's units; NaN for an end it does not have.
struct IntervalEnds {
  double lo;
  double hi;
};

// The fitted percentile mean + z * sd of n values from one normal distribution lies, at the
// given confidence (a fraction, 0.9), between mean + lo * sd and mean + hi * sd, where lo and
// hi are t' / sqrt(n) and t' the noncentral t quantiles at (1 -+ confidence) / 2 with n - 1
// degrees of freedom and noncentrality z * sqrt(n). Both NaN for n < 3 (the interval would rest
// on one degree of freedom) or a z or confidence that is not finite.
struct QuantileFactors {
  double lo;
  double hi;
};
QuantileFactors normal_quantile_factors(uint64_t n, double z, double confidence);

// The ranks (1-based) of the order statistics that bound the percentile at p (a fraction) of n
// values at the given confidence, each tail at most (1 - confidence) / 2: with B ~ Binomial(n, p)
// and half = (1 - confidence) / 2, lo - 1 is the largest k with P(B <= k) <= half and hi - 1 the
// smallest k with P(B > k) <= half. An end that falls outside 1..n is 0: the sample cannot
// bound it.
struct OrderRanks {
  uint64_t lo;
  uint64_t hi;
};
OrderRanks order_statistic_ranks(uint64_t n, double p, double confidence);

}  // namespace pctlfit
