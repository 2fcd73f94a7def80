// Built as log_each.cpp is: the 64-byte reading's processors take eight values a step.
#include <cmath>

#include "cpu/features.h"
#include "stats/log_each.h"

namespace pctlfit {

namespace {

PCTLFIT_TARGET_WIDE64 void log_each_wide64(const double* in, double* out, size_t n) {
#pragma omp simd
  for (size_t i = 0; i < n; ++i) out[i] = std::log(in[i]);
}

}  // namespace

LogKernel log_each_kernel() { return cpu_runs_wide64() ? log_each_wide64 : log_each_plain; }

}  // namespace pctlfit
