// Built with the math library's vector variants allowed (-ffast-math -fopenmp-simd): the loop
// may call them; nothing else is in this file.
#include "stats/log_each.h"

#include <cmath>

namespace pctlfit {

void log_each_plain(const double* in, double* out, size_t n) {
#pragma omp simd
  for (size_t i = 0; i < n; ++i) out[i] = std::log(in[i]);
}

void log_each(const double* in, double* out, size_t n) {
  static const LogKernel kernel = log_each_kernel();
  kernel(in, out, n);
}

}  // namespace pctlfit
