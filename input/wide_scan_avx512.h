#pragma once
// The wide reading's two steps with 64-byte vectors, for processors that have them (checked at
// run time): the classes of a window's bytes from one load, and eight plain decimals converted
// in one vector: their digits packed by dropping points and signs, each number's eight bytes
// picked out by a byte permutation, and eight divisions at once. Same results as the 16-byte
// steps in input/wide_scan.h, bit for bit.

#include "input/wide_scan.h"

#if PCTLFIT_WIDE_SCAN && defined(__x86_64__) && defined(__GNUC__)
#define PCTLFIT_AVX512_SCAN 1
#else
#define PCTLFIT_AVX512_SCAN 0
#endif

namespace pctlfit {

// True when this build has the 64-byte steps and this processor runs them (AVX-512 with byte
// permutes and byte compression, and BMI2).
bool avx512_scan_available();

#if PCTLFIT_AVX512_SCAN
// As classify_window.
void classify_window_avx512(TokenWindow& window, unsigned valid);

// As read_eight_plain.
unsigned read_eight_plain_avx512(const TokenWindow& window, double* values);
#endif

}  // namespace pctlfit
