#pragma once
// The fits of the families that are not a normal on some scale (gamma, Pearson III,
// log-Pearson III) and LN3 with its bound per cell: parameters from a cell's sums, quantiles
// at any probability, and the log-likelihood where the sums alone give it.

#include <cmath>
#include <optional>

namespace pctlfit {

// A cell's moments on one scale: the count, the mean and SD (divisor n - 1) and the skew
// G1 = sqrt(n(n - 1)) / (n - 2) * m3 / m2^1.5.
struct Moments {
  double n = 0;
  double mean = 0;
  double sd = 0;
  double skew = 0;
};

// G1 = sqrt(n(n - 1)) / (n - 2) * m3 / m2^1.5 of n values whose central moments (divisor n) are
// m2 and m3: the fit check's skew and the moment fits'.
inline double skewness_g1(double n, double m2, double m3) {
  return std::sqrt(n * (n - 1)) / (n - 2) * m3 / std::pow(m2, 1.5);
}

// Two-parameter gamma by maximum likelihood: shape alpha, scale beta.
struct GammaFit {
  double shape = 0;
  double scale = 0;
};

// The gamma fit of n values above 0 with mean `mean_x` and mean of logarithms `mean_ln`: the
// shape solves ln a - digamma(a) = A, A = ln mean_x - mean_ln, by Newton's method from Thom's
// start; the scale is mean_x / shape. None where A is not above 0 (all values equal) or not
// finite.
std::optional<GammaFit> fit_gamma(double mean_x, double mean_ln);

// The gamma's quantile at lower-tail probability p (0 < p < 1).
double gamma_quantile(const GammaFit& fit, double p);

// The gamma's log-likelihood of n values with these means: n ((a - 1) mean_ln - mean_x / b -
// ln Gamma(a) - a ln b).
double gamma_log_likelihood(const GammaFit& fit, double n, double mean_x, double mean_ln);

// Pearson III by moments: a gamma of shape 4 / G1^2 in the skew's direction with the moments'
// mean and SD; the normal where the skew is 0.
struct PearsonFit {
  double mean = 0;
  double sd = 0;
  double skew = 0;
};

// The Pearson III quantile at p: mean + sd * K(G1, p), K the standardised gamma's quantile.
// Where |G1| is so small that the gamma's quantile would lose its digits to cancellation, K is
// the Cornish-Fisher expansion to G1^2, which meets the exact one there within 1e-9.
double pearson_quantile(const PearsonFit& fit, double p);

// The Pearson III's own bound (mean - 2 sd / G1): below it for G1 > 0, above for G1 < 0, no
// values lie; none for G1 = 0.
std::optional<double> pearson_bound(const PearsonFit& fit);

// The Pearson III's log-density terms that do not depend on the values: with a = 4 / G1^2 and
// b = sd |G1| / 2, lnL = (a - 1) sum ln|x - bound| - sum |x - bound| / b - n (ln Gamma(a) +
// a ln b). None without a bound.
struct PearsonLikelihood {
  double shape = 0;
  double scale = 0;
  double bound = 0;
  double side = 1;  // +1 where the values lie above the bound (G1 > 0), -1 below
};
std::optional<PearsonLikelihood> pearson_likelihood_terms(const PearsonFit& fit);

// LN3 by moments: bound tau, and the normal's mean mu and SD sigma of ln(x - tau).
struct Ln3Fit {
  double bound = 0;
  double mu = 0;
  double sigma = 0;
};

// From the moments' mean, SD and skew G1 > 0: b = (G1 + sqrt(G1^2 + 4)) / 2,
// w = b^(2/3) + b^(-2/3) - 1, sigma^2 = ln w, e^mu = sd / sqrt(w (w - 1)),
// tau = mean - sd / sqrt(w - 1). None where G1 is not above 0 or a figure is not finite.
std::optional<Ln3Fit> fit_ln3_moments(const Moments& moments);

}  // namespace pctlfit
