#!/usr/bin/env python3
"""Reference quantiles of the noncentral t distribution, computed in arbitrary precision with
mpmath (Debian's python3-mpmath) from the distribution's definition alone, independent of the
library pctlfit uses: T = (Z + delta) / sqrt(V / nu), Z standard normal, V chi-square with nu
degrees of freedom, so that

    P(T <= t) = integral over u > 0 of Phi(t * sqrt(u / nu) - delta) * chi2_nu density(u) du,

integrated about the density's peak, and the quantile is the root of P(T <= t) = gamma.

Prints one C++ initialiser line per case: n, level p, confidence, and lo, hi = t' / sqrt(n) at
(1 - confidence) / 2 and (1 + confidence) / 2, with nu = n - 1 and delta = z_p * sqrt(n).
tests/quantile_interval_test.cpp holds its output."""
import mpmath as mp

mp.mp.dps = 40


def cdf(t, nu, delta):
    # u = nu + sqrt(2 nu) y: the chi-square's mass lies within a few units of y = 0.
    scale = mp.sqrt(2 * nu)
    log_norm = -(nu / 2) * mp.log(2) - mp.loggamma(nu / 2)

    def integrand(y):
        u = nu + scale * y
        if u <= 0:
            return mp.mpf(0)
        density = mp.exp(log_norm + (nu / 2 - 1) * mp.log(u) - u / 2) * scale
        return mp.ncdf(t * mp.sqrt(u / nu) - delta) * density

    start = -nu / scale
    cuts = [start] + [c for c in (-30, -10, -5, -2, 0, 2, 5, 10, 30, 80) if c > start] + [mp.inf]
    return mp.quad(integrand, cuts)


def quantile(gamma, nu, delta):
    # The large-sample normal approximation as the first guess.
    z_gamma = mp.sqrt(2) * mp.erfinv(2 * gamma - 1)
    guess = delta + z_gamma * mp.sqrt(1 + delta**2 / (2 * nu))
    return mp.findroot(lambda t: cdf(t, nu, delta) - gamma, (guess * 0.999 - 0.01, guess * 1.001 + 0.01),
                       solver="anderson", tol=mp.mpf(10) ** -30)


def main():
    cases = []
    for n in (3, 4, 10, 30, 100, 500, 3000, 100000, 1000000):
        for p in ("0.05", "0.5", "0.95"):
            cases.append((n, p, "0.9"))
    for n in (3, 30, 500, 3000):
        cases.append((n, "0.001", "0.99"))
        cases.append((n, "0.999", "0.5"))
    for n, p, confidence in cases:
        nu = mp.mpf(n - 1)
        z = mp.sqrt(2) * mp.erfinv(2 * mp.mpf(p) - 1)
        delta = z * mp.sqrt(n)
        c = mp.mpf(confidence)
        lo = quantile((1 - c) / 2, nu, delta) / mp.sqrt(n)
        hi = quantile((1 + c) / 2, nu, delta) / mp.sqrt(n)
        print("    {%d, %s, %s, %s, %s}," % (n, p, confidence, mp.nstr(lo, 20), mp.nstr(hi, 20)),
              flush=True)


if __name__ == "__main__":
    main()
