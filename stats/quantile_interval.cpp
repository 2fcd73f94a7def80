#include "stats/quantile_interval.h"

#include <cmath>
#include <limits>

// Errors are reported as values, never thrown: a quantile the library cannot reach comes back
// as NaN (an empty end), and the run goes on.
#define BOOST_MATH_DOMAIN_ERROR_POLICY ignore_error
#define BOOST_MATH_POLE_ERROR_POLICY ignore_error
#define BOOST_MATH_OVERFLOW_ERROR_POLICY ignore_error
#define BOOST_MATH_EVALUATION_ERROR_POLICY ignore_error
#define BOOST_MATH_ROUNDING_ERROR_POLICY ignore_error
#include <boost/math/distributions/binomial.hpp>
#include <boost/math/distributions/non_central_t.hpp>

namespace pctlfit {

QuantileFactors normal_quantile_factors(uint64_t n, double z, double confidence) {
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  if (n < 3 || !std::isfinite(z) || !(confidence > 0 && confidence < 1)) return {kNone, kNone};
  const double root_n = std::sqrt(double(n));
  const boost::math::non_central_t t(double(n - 1), z * root_n);
  const double tail = (1 - confidence) / 2;
  return {boost::math::quantile(t, tail) / root_n,
          boost::math::quantile(boost::math::complement(t, tail)) / root_n};
}

namespace {

// The largest k in -1..n - 1 with P(B <= k) <= half (k = -1: none), by bisection on the
// library's exact distribution function, which rises with k.
int64_t largest_below(const boost::math::binomial& b, uint64_t n, double half) {
  int64_t low = -1;                        // P(B <= low) <= half holds (P(B <= -1) = 0)
  int64_t high = static_cast<int64_t>(n);  // and fails here (P(B <= n) = 1 > half)
  while (high - low > 1) {
    const int64_t mid = low + (high - low) / 2;
    if (boost::math::cdf(b, double(mid)) <= half) {
      low = mid;
    } else {
      high = mid;
    }
  }
  return low;
}

// The smallest k in 0..n with P(B > k) <= half, the upper tail taken as its own complement so
// that no 1 - P(B <= k) loses its digits.
int64_t smallest_above(const boost::math::binomial& b, uint64_t n, double half) {
  int64_t low = -1;                        // P(B > -1) = 1 > half
  int64_t high = static_cast<int64_t>(n);  // P(B > n) = 0 <= half
  while (high - low > 1) {
    const int64_t mid = low + (high - low) / 2;
    if (boost::math::cdf(boost::math::complement(b, double(mid))) <= half) {
      high = mid;
    } else {
      low = mid;
    }
  }
  return high;
}

}  // namespace

OrderRanks order_statistic_ranks(uint64_t n, double p, double confidence) {
  if (n == 0 || !(p > 0 && p < 1) || !(confidence > 0 && confidence < 1)) return {0, 0};
  const boost::math::binomial b(double(n), p);
  const double half = (1 - confidence) / 2;
  const uint64_t lo = static_cast<uint64_t>(largest_below(b, n, half) + 1);
  const uint64_t hi = static_cast<uint64_t>(smallest_above(b, n, half) + 1);
  return {lo, hi <= n ? hi : 0};
}

}  // namespace pctlfit
