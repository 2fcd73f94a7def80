// Built where the 64-byte reading is: its processors take sixteen keys a step.
#include <immintrin.h>

#include "cpu/features.h"
#include "stats/rank_select_kernels.h"

namespace pctlfit {

namespace {

PCTLFIT_TARGET_WIDE64 void narrow_bounds_wide64(const uint32_t* keys, size_t n, uint32_t& least,
                                                uint32_t& greatest) {
  __m512i low = _mm512_set1_epi32(-1);
  __m512i high = _mm512_setzero_si512();
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m512i k = _mm512_loadu_si512(keys + i);
    low = _mm512_min_epu32(low, k);
    high = _mm512_max_epu32(high, k);
  }
  alignas(64) uint32_t lows[16];
  alignas(64) uint32_t highs[16];
  _mm512_store_si512(lows, low);
  _mm512_store_si512(highs, high);
  least = lows[0];
  greatest = highs[0];
  for (int lane = 1; lane < 16; ++lane) {
    least = lows[lane] < least ? lows[lane] : least;
    greatest = highs[lane] > greatest ? highs[lane] : greatest;
  }
  for (; i < n; ++i) {
    least = keys[i] < least ? keys[i] : least;
    greatest = keys[i] > greatest ? keys[i] : greatest;
  }
}

PCTLFIT_TARGET_WIDE64 size_t narrow_gather_wide64(const uint32_t* keys, size_t n, uint32_t least,
                                                  int shift, const uint32_t* wanted,
                                                  size_t wanted_count, uint32_t* out) {
  const __m512i base = _mm512_set1_epi32(static_cast<int>(least));
  const __m128i count = _mm_cvtsi32_si128(shift);
  size_t taken = 0;
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m512i k = _mm512_loadu_si512(keys + i);
    const __m512i bucket = _mm512_srl_epi32(_mm512_sub_epi32(k, base), count);
    __mmask16 keep = 0;
    for (size_t w = 0; w < wanted_count; ++w) {
      keep |= _mm512_cmpeq_epi32_mask(bucket, _mm512_set1_epi32(static_cast<int>(wanted[w])));
    }
    // Compressed in a register, then stored whole: a compressing store is slow on some cores.
    _mm512_storeu_si512(out + taken, _mm512_maskz_compress_epi32(keep, k));
    taken += static_cast<size_t>(__builtin_popcount(keep));
  }
  return taken +
         narrow_gather_plain(keys + i, n - i, least, shift, wanted, wanted_count, out + taken);
}

}  // namespace

NarrowKeyKernels narrow_key_kernels() {
  if (cpu_runs_wide64()) return {narrow_bounds_wide64, narrow_gather_wide64};
  return {narrow_bounds_plain, narrow_gather_plain};
}

}  // namespace pctlfit
