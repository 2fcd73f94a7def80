#!/usr/bin/python3
"""Reference values for the gamma, Pearson III and LN3 fits, from SciPy (Debian's
python3-scipy): scipy.stats.gamma.fit with the location fixed at 0 (maximum likelihood) and
gamma.ppf; scipy.stats.pearson3.ppf given skew, location and scale; scipy.stats.lognorm.ppf for
the three-parameter log-normal, whose parameters come from the closed form evaluated in mpmath
at 40 digits. Prints C++ initialisers for tests/families_test.cpp."""
import math

import mpmath
import numpy as np
from scipy import stats

mpmath.mp.dps = 40
PROBS = [0.001, 0.05, 0.2, 0.5, 0.8, 0.95, 0.999]


def gamma_cases():
    rng = np.random.default_rng(20261210)
    print("// {mean_x, mean_ln, shape, scale, {quantiles at kProbs}}")
    for shape, scale, n in [(0.3, 50.0, 400), (1.0, 2.0, 1000), (2.5, 40.0, 3000),
                            (12.0, 0.5, 200), (150.0, 3.0, 50)]:
        x = rng.gamma(shape, scale, n)
        mean_x = math.fsum(x) / n
        mean_ln = math.fsum(np.log(x)) / n
        a, loc, b = stats.gamma.fit(x, floc=0)
        q = [stats.gamma.ppf(p, a, scale=b) for p in PROBS]
        print("{%r, %r, %r, %r, {%s}}," % (mean_x, mean_ln, a, b, ", ".join(repr(v) for v in q)))


def pearson_cases():
    print("// {mean, sd, skew, {quantiles at kProbs}}")
    for mean, sd, skew in [(10.0, 2.0, 0.8), (10.0, 2.0, -0.8), (100.0, 30.0, 2.5),
                           (0.0, 1.0, 0.001), (-5.0, 0.5, -1.7), (3.0, 1.5, 0.05)]:
        q = [stats.pearson3.ppf(p, skew, loc=mean, scale=sd) for p in PROBS]
        print("{%r, %r, %r, {%s}}," % (mean, sd, skew, ", ".join(repr(v) for v in q)))


def ln3_cases():
    print("// {mean, sd, skew, bound, mu, sigma, {quantiles at kProbs}}")
    for mean, sd, g in [(10.0, 2.0, 0.8), (100.0, 30.0, 2.5), (1.0, 0.1, 0.2), (50.0, 45.0, 5.0)]:
        m, s, gg = mpmath.mpf(mean), mpmath.mpf(sd), mpmath.mpf(g)
        b = (gg + mpmath.sqrt(gg * gg + 4)) / 2
        w = b ** (mpmath.mpf(2) / 3) + b ** (-mpmath.mpf(2) / 3) - 1
        sigma = mpmath.sqrt(mpmath.log(w))
        mu = mpmath.log(s / mpmath.sqrt(w * (w - 1)))
        tau = m - s / mpmath.sqrt(w - 1)
        q = [stats.lognorm.ppf(p, float(sigma), loc=float(tau), scale=float(mpmath.exp(mu)))
             for p in PROBS]
        print("{%r, %r, %r, %r, %r, %r, {%s}}," % (mean, sd, g, float(tau), float(mu),
                                                   float(sigma), ", ".join(repr(v) for v in q)))


if __name__ == "__main__":
    gamma_cases()
    pearson_cases()
    ln3_cases()
