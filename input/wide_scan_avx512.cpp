#include "input/wide_scan_avx512.h"

#if PCTLFIT_AVX512_SCAN
#include <immintrin.h>
// GCC 12's AVX-512 intrinsics start their results from _mm512_undefined_*(), which its
// maybe-uninitialized analysis takes for an unset variable once they are inlined here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#endif

namespace pctlfit {

#if !PCTLFIT_AVX512_SCAN

bool avx512_scan_available() { return false; }

#else

bool avx512_scan_available() {
  static const bool available = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vbmi") &&
           __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi2");
  }();
  return available;
}

#define PCTLFIT_TARGET_AVX512 \
  __attribute__((target("avx512f,avx512bw,avx512dq,avx512vbmi,avx512vbmi2,bmi,bmi2")))

PCTLFIT_TARGET_AVX512 void classify_window_avx512(TokenWindow& window, unsigned valid) {
  const __m512i x = _mm512_loadu_si512(window.text);
  const uint64_t controls =
      _mm512_cmple_epu8_mask(_mm512_sub_epi8(x, _mm512_set1_epi8('\t')), _mm512_set1_epi8(4));
  const uint64_t blank = controls | _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8(' '));
  const uint64_t digit =
      _mm512_cmple_epu8_mask(_mm512_sub_epi8(x, _mm512_set1_epi8('0')), _mm512_set1_epi8(9));
  window.point = _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('.'));
  window.minus = _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('-'));
  window.other = ~(blank | digit | window.point | window.minus);
  set_tokens(window, blank, valid);
}

namespace {

// Byte i of every lane: i.
PCTLFIT_TARGET_AVX512 __m512i byte_positions() {
  alignas(64) static constexpr unsigned char kPositions[64] = {
      0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
      22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
      44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
  return _mm512_load_si512(kPositions);
}

// The positions of the first eight set bits of `bits`, one to a 64-bit lane.
PCTLFIT_TARGET_AVX512 __m512i first_eight_positions(uint64_t bits) {
  const __m512i packed = _mm512_maskz_compress_epi8(bits, byte_positions());
  return _mm512_cvtepu8_epi64(_mm512_castsi512_si128(packed));
}

// The eight numbers' digits as integers: pairs, fours, then eights, by multiply-adds.
PCTLFIT_TARGET_AVX512 __m512i eight_digit_values(__m512i digits) {
  const __m512i pairs = _mm512_maddubs_epi16(digits, _mm512_set1_epi16(0x010A));   // 10, 1
  const __m512i fours = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x0001'0064));  // 100, 1
  return _mm512_add_epi64(_mm512_mul_epu32(fours, _mm512_set1_epi64(10000)),
                          _mm512_srli_epi64(fours, 32));
}

}  // namespace

PCTLFIT_TARGET_AVX512 unsigned read_eight_plain_avx512(const TokenWindow& window, double* values) {
  const uint64_t eighth = _pdep_u64(uint64_t{1} << 7, window.ends);
  if (eighth == 0) return 0;
  const unsigned last_end = unsigned(__builtin_ctzll(eighth));
  if ((not_plain(window) & ((uint64_t{2} << last_end) - 1)) != 0) return 0;
  // Points and signs dropped: each number's digits stand together, blanks between numbers.
  const uint64_t token = ~window.blank;
  const uint64_t digit = token & ~(window.point | window.minus);
  const uint64_t kept = window.blank | digit;
  const __m512i packed = _mm512_maskz_compress_epi8(kept, _mm512_loadu_si512(window.text));
  const uint64_t packed_digit = _pext_u64(digit, kept);
  // Adding a token's point carries it to the token's end: the digits passed are its fraction.
  const uint64_t packed_fraction = _pext_u64(((token + window.point) ^ token) & digit, kept);
  const __m512i first = first_eight_positions(packed_digit & ~(packed_digit << 1));
  const __m512i last = first_eight_positions(packed_digit & ~(packed_digit >> 1));
  // Lane i takes the eight packed bytes that end with its last digit; those before its first
  // digit become leading zeros.
  const __m512i index =
      _mm512_add_epi8(_mm512_mullo_epi64(last, _mm512_set1_epi64(0x0101'0101'0101'0101)),
                      _mm512_set1_epi64(0x00FF'FEFD'FCFB'FAF9));  // -7 .. 0
  const __m512i length = _mm512_sub_epi64(_mm512_add_epi64(last, _mm512_set1_epi64(1)), first);
  const __m512i own = _mm512_sllv_epi64(
      _mm512_set1_epi64(-1), _mm512_slli_epi64(_mm512_sub_epi64(_mm512_set1_epi64(8), length), 3));
  const __m512i digits = _mm512_and_si512(_mm512_permutexvar_epi8(index, packed),
                                          _mm512_and_si512(own, _mm512_set1_epi8(0x0F)));
  const __m512i fraction = _mm512_and_si512(
      _mm512_permutexvar_epi8(index, _mm512_maskz_mov_epi8(packed_fraction, _mm512_set1_epi8(1))),
      own);
  const __m512i fraction_digits = _mm512_sad_epu8(fraction, _mm512_setzero_si512());
  const __m512d powers = _mm512_set_pd(1e7, 1e6, 1e5, 1e4, 1e3, 1e2, 1e1, 1e0);
  // A minus sign goes into the divisor, as in the 16-byte steps: 0 / -1 is -0.
  const __mmask8 negative =
      static_cast<__mmask8>(_pext_u64(window.minus & window.starts, window.starts));
  const __m512d divisors = _mm512_permutexvar_pd(fraction_digits, powers);
  const __m512d signed_divisors =
      _mm512_mask_xor_pd(divisors, negative, divisors, _mm512_set1_pd(-0.0));
  _mm512_storeu_pd(values,
                   _mm512_div_pd(_mm512_cvtepi64_pd(eight_digit_values(digits)), signed_divisors));
  return last_end;
}

#endif

}  // namespace pctlfit
