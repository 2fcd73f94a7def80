#pragma once
// What the processor runs, asked once at run time (cpu/cpu_x86.cpp; cpu/cpu_other.cpp elsewhere).
// The features that the 64-byte reading needs are written once, here: the run-time check and
// the kernel's target attribute are both made from this list.

// `feature(name)` for each feature, joined by `join`.
#define PCTLFIT_WIDE64_FEATURES(feature, join) \
  feature(avx512f) join feature(avx512bw)      \
  join feature(avx512dq)                       \
  join feature(avx512vbmi)                     \
  join feature(avx512vbmi2)                    \
  join feature(bmi)                            \
  join feature(bmi2)

#define PCTLFIT_FEATURE_NAME(name) #name
// Compiles a function for the 64-byte reading's features.
#define PCTLFIT_TARGET_WIDE64 \
  __attribute__((target(PCTLFIT_WIDE64_FEATURES(PCTLFIT_FEATURE_NAME, ","))))

namespace pctlfit {

// The processor has every feature of PCTLFIT_WIDE64_FEATURES, and the run allows vectors that
// wide. Every 64-byte kernel (the readings, the rank selection, the decimal encoding, the
// logarithms) is chosen by this answer, so that one switch governs them all.
bool cpu_runs_wide64();

// The widest vectors the run's kernels may use, in bytes: 64 (the default), 16, or 0 for the
// plain loops wherever a kernel has one. Set once, before any kernel is first chosen.
void limit_vector_width(int bytes);
int vector_width_limit();

// After a library's code that may leave the upper halves of the vector registers in use (the
// decompressors' AVX code): clears that state, which would slow every SSE instruction after it.
void clear_upper_vector_state();

}  // namespace pctlfit
