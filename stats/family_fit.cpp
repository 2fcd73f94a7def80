#include "stats/family_fit.h"

#include <cmath>

#include "stats/boost_math_policy.h"
// (first: it sets how the Boost.Math headers below behave)
#include <boost/math/special_functions/digamma.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <boost/math/special_functions/trigamma.hpp>

#include "stats/normal_quantile.h"

namespace pctlfit {

std::optional<GammaFit> fit_gamma(double mean_x, double mean_ln) {
  const double a_stat = std::log(mean_x) - mean_ln;
  if (!(a_stat > 0) || !std::isfinite(a_stat)) return std::nullopt;
  // Newton's method on ln a - digamma(a) - A, which falls with a and is convex: from Thom's
  // start it converges from below in a handful of steps.
  double shape = (1 + std::sqrt(1 + 4 * a_stat / 3)) / (4 * a_stat);
  for (int step = 0; step < 50; ++step) {
    const double f = std::log(shape) - boost::math::digamma(shape) - a_stat;
    const double slope = 1 / shape - boost::math::trigamma(shape);
    const double next = shape - f / slope;
    if (!(next > 0) || !std::isfinite(next)) break;
    const bool converged = std::fabs(next - shape) <= 1e-15 * shape;
    shape = next;
    if (converged) break;
  }
  if (!(shape > 0) || !std::isfinite(shape)) return std::nullopt;
  return GammaFit{shape, mean_x / shape};
}

double gamma_quantile(const GammaFit& fit, double p) {
  return fit.scale * boost::math::gamma_p_inv(fit.shape, p);
}

double gamma_log_likelihood(const GammaFit& fit, double n, double mean_x, double mean_ln) {
  return n * ((fit.shape - 1) * mean_ln - mean_x / fit.scale - std::lgamma(fit.shape) -
              fit.shape * std::log(fit.scale));
}

namespace {

// Below this |G1| the gamma's quantile loses more digits to cancellation (about 2e-16 / G1 of
// the SD) than the Cornish-Fisher expansion leaves out (about G1^3).
constexpr double kSmallSkew = 1e-4;

// The standardised Pearson III's quantile at p: exact from the gamma of shape 4 / G1^2, in the
// skew's direction.
double frequency_factor(double skew, double p) {
  if (std::fabs(skew) < kSmallSkew) {
    const double z = normal_quantile(p);
    return z + (z * z - 1) * skew / 6 + (z * z * z - 7 * z) * skew * skew / 144;
  }
  const double shape = 4 / (skew * skew);
  const double root = 2 / std::fabs(skew);
  if (skew > 0) return (boost::math::gamma_p_inv(shape, p) - shape) / root;
  return (shape - boost::math::gamma_q_inv(shape, p)) / root;
}

}  // namespace

double pearson_quantile(const PearsonFit& fit, double p) {
  return fit.mean + fit.sd * frequency_factor(fit.skew, p);
}

std::optional<double> pearson_bound(const PearsonFit& fit) {
  if (fit.skew == 0 || !std::isfinite(fit.skew)) return std::nullopt;
  return fit.mean - 2 * fit.sd / fit.skew;
}

std::optional<PearsonLikelihood> pearson_likelihood_terms(const PearsonFit& fit) {
  const std::optional<double> bound = pearson_bound(fit);
  if (!bound || !(fit.sd > 0)) return std::nullopt;
  return PearsonLikelihood{4 / (fit.skew * fit.skew), fit.sd * std::fabs(fit.skew) / 2, *bound,
                           fit.skew > 0 ? 1.0 : -1.0};
}

std::optional<Ln3Fit> fit_ln3_moments(const Moments& moments) {
  const double g = moments.skew;
  if (!(g > 0) || !std::isfinite(g) || !(moments.sd > 0)) return std::nullopt;
  const double b = (g + std::sqrt(g * g + 4)) / 2;
  const double b23 = std::cbrt(b * b);
  const double w = b23 + 1 / b23 - 1;
  const double sigma = std::sqrt(std::log(w));
  const double mu = std::log(moments.sd / std::sqrt(w * (w - 1)));
  const double bound = moments.mean - moments.sd / std::sqrt(w - 1);
  if (!std::isfinite(sigma) || !(sigma > 0) || !std::isfinite(mu) || !std::isfinite(bound)) {
    return std::nullopt;
  }
  return Ln3Fit{bound, mu, sigma};
}

}  // namespace pctlfit
