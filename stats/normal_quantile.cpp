#include "stats/normal_quantile.h"

#include <cmath>
#include <limits>

namespace pctlfit {

namespace {

// For a tail probability q <= 0.5: the t of Abramowitz and Stegun 26.2.23, |error| < 4.5e-4.
double first_guess(double q) {
  const double t = std::sqrt(-2 * std::log(q));
  return t - (2.515517 + 0.802853 * t + 0.010328 * t * t) /
                 (1 + 1.432788 * t + 0.189269 * t * t + 0.001308 * t * t * t);
}

// The x >= 0 whose upper tail P(Z > x) is q <= 0.5: Newton's method on 0.5 erfc(x / sqrt 2) - q,
// whose error falls quadratically; it stops when a step no longer changes x.
double upper_tail_quantile(double q) {
  constexpr double kRootHalf = 0.70710678118654752440;
  constexpr double kRootTwoPi = 2.50662827463100050242;
  double x = first_guess(q);
  for (int step = 0; step < 50; ++step) {
    const double tail = 0.5 * std::erfc(x * kRootHalf);
    const double density = std::exp(-0.5 * x * x) / kRootTwoPi;
    const double next = x + (tail - q) / density;
    if (next == x || !std::isfinite(next)) break;
    x = next;
  }
  return x;
}

}  // namespace

double normal_quantile(double p) {
  if (!(p > 0 && p < 1)) return std::numeric_limits<double>::quiet_NaN();
  if (p == 0.5) return 0;
  // 1 - p is exact for p in [0.5, 1).
  return p > 0.5 ? upper_tail_quantile(1 - p) : -upper_tail_quantile(p);
}

}  // namespace pctlfit
