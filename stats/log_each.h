#pragma once
// The natural logarithm of many values at once, for the fit comparison's domains other than the
// run's own (its figures never read these): the vector math library's where the system has one,
// within a few units in the last place of std::log, several times faster.

#include <cstddef>

namespace pctlfit {

// out[i] = ln in[i] for i < n; in[i] <= 0 gives a NaN or -inf, as std::log would.
void log_each(const double* in, double* out, size_t n);

using LogKernel = void (*)(const double* in, double* out, size_t n);

// The loop for any processor, and the one this processor runs best (stats/log_each_*.cpp).
void log_each_plain(const double* in, double* out, size_t n);
LogKernel log_each_kernel();

}  // namespace pctlfit
