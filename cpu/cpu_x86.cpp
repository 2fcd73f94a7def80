#include "cpu/features.h"

namespace pctlfit {

bool cpu_runs_wide64() {
#define PCTLFIT_FEATURE_CHECK(name) __builtin_cpu_supports(#name)
  static const bool runs = [] {
    __builtin_cpu_init();
    return PCTLFIT_WIDE64_FEATURES(PCTLFIT_FEATURE_CHECK, &&);
  }();
#undef PCTLFIT_FEATURE_CHECK
  return runs && vector_width_limit() >= 64;
}

void clear_upper_vector_state() {
  static const bool has_avx = __builtin_cpu_supports("avx");
  if (has_avx) asm volatile("vzeroupper" ::: "memory");
}

}  // namespace pctlfit
