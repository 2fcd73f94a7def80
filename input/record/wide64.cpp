// The 64-byte reading, for processors with AVX-512 (checked at run time): a window's classes
// from one load, and eight plain decimals converted in one vector: their digits packed by
// dropping points and signs, each number's eight bytes picked out by a byte permutation, and
// eight divisions at once. The plain decimals it does not take eight at a time go to the 16-byte
// steps. Same results as the 16-byte reading, bit for bit.
#include <immintrin.h>

#include "cpu/features.h"
#include "input/record/kernels.h"
#include "input/record/wide16.h"
#include "input/record/window_reading.h"

namespace pctlfit {

namespace {

PCTLFIT_TARGET_WIDE64 void classify_window(TokenWindow& window, unsigned valid) {
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

// Byte i of every lane: i.
PCTLFIT_TARGET_WIDE64 __m512i byte_positions() {
  alignas(64) static constexpr unsigned char kPositions[64] = {
      0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
      22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
      44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
  return _mm512_load_si512(kPositions);
}

// The positions of the first eight set bits of `bits`, one to a 64-bit lane.
PCTLFIT_TARGET_WIDE64 __m512i first_eight_positions(uint64_t bits) {
  const __m512i packed = _mm512_maskz_compress_epi8(bits, byte_positions());
  return _mm512_cvtepu8_epi64(_mm512_castsi512_si128(packed));
}

// The window's digits and blanks closed up (points and signs dropped): each number's digits
// stand together, blanks between numbers. `digit` and `fraction` mark, in the packed bytes, the
// digits and those of them after a point.
struct PackedDigits {
  __m512i bytes;
  uint64_t digit;
  uint64_t fraction;
};

PCTLFIT_TARGET_WIDE64 PackedDigits pack_digits(const TokenWindow& window) {
  const uint64_t token = ~window.blank;
  const uint64_t digit = token & ~(window.point | window.minus);
  const uint64_t kept = window.blank | digit;
  // Adding a token's point carries it to the token's end: the digits passed are its fraction.
  const uint64_t fraction = ((token + window.point) ^ token) & digit;
  return {_mm512_maskz_compress_epi8(kept, _mm512_loadu_si512(window.text)), _pext_u64(digit, kept),
          _pext_u64(fraction, kept)};
}

// For each of the eight numbers, one to a lane: the byte permutation that picks the eight packed
// bytes ending with its last digit, and the mask of the bytes that are its own (those before its
// first digit become leading zeros).
struct NumberLanes {
  __m512i index;
  __m512i own;
};

PCTLFIT_TARGET_WIDE64 NumberLanes number_lanes(uint64_t packed_digit) {
  const __m512i first = first_eight_positions(packed_digit & ~(packed_digit << 1));
  const __m512i last = first_eight_positions(packed_digit & ~(packed_digit >> 1));
  const __m512i index =
      _mm512_add_epi8(_mm512_mullo_epi64(last, _mm512_set1_epi64(0x0101'0101'0101'0101)),
                      _mm512_set1_epi64(0x00FF'FEFD'FCFB'FAF9));  // -7 .. 0
  const __m512i length = _mm512_sub_epi64(_mm512_add_epi64(last, _mm512_set1_epi64(1)), first);
  const __m512i own = _mm512_sllv_epi64(
      _mm512_set1_epi64(-1), _mm512_slli_epi64(_mm512_sub_epi64(_mm512_set1_epi64(8), length), 3));
  return {index, own};
}

// Each lane's digits as values 0 to 9, the first in its lowest byte.
PCTLFIT_TARGET_WIDE64 __m512i lane_digits(const PackedDigits& packed, const NumberLanes& lanes) {
  return _mm512_and_si512(_mm512_permutexvar_epi8(lanes.index, packed.bytes),
                          _mm512_and_si512(lanes.own, _mm512_set1_epi8(0x0F)));
}

// The eight numbers' digits as integers: pairs, fours, then eights, by multiply-adds.
PCTLFIT_TARGET_WIDE64 __m512i eight_digit_values(__m512i digits) {
  const __m512i pairs = _mm512_maddubs_epi16(digits, _mm512_set1_epi16(0x010A));   // 10, 1
  const __m512i fours = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x0001'0064));  // 100, 1
  return _mm512_add_epi64(_mm512_mul_epu32(fours, _mm512_set1_epi64(10000)),
                          _mm512_srli_epi64(fours, 32));
}

// Each number's divisor: ten to its digits after the point, negative for a minus sign, as in
// the 16-byte steps (0 / -1 is -0).
PCTLFIT_TARGET_WIDE64 __m512d signed_divisors(const TokenWindow& window, const PackedDigits& packed,
                                              const NumberLanes& lanes) {
  const __m512i fraction = _mm512_and_si512(
      _mm512_permutexvar_epi8(lanes.index,
                              _mm512_maskz_mov_epi8(packed.fraction, _mm512_set1_epi8(1))),
      lanes.own);
  const __m512i fraction_digits = _mm512_sad_epu8(fraction, _mm512_setzero_si512());
  const __m512d powers = _mm512_set_pd(1e7, 1e6, 1e5, 1e4, 1e3, 1e2, 1e1, 1e0);
  const __m512d divisors = _mm512_permutexvar_pd(fraction_digits, powers);
  const __mmask8 negative =
      static_cast<__mmask8>(_pext_u64(window.minus & window.starts, window.starts));
  return _mm512_mask_xor_pd(divisors, negative, divisors, _mm512_set1_pd(-0.0));
}

PCTLFIT_TARGET_WIDE64 unsigned read_eight_plain(const TokenWindow& window, double* values) {
  const unsigned last_end = eighth_plain_end(window, _pdep_u64(uint64_t{1} << 7, window.ends));
  if (last_end == 0) return 0;
  const PackedDigits packed = pack_digits(window);
  const NumberLanes lanes = number_lanes(packed.digit);
  const __m512d numbers = _mm512_cvtepi64_pd(eight_digit_values(lane_digits(packed, lanes)));
  _mm512_storeu_pd(values, _mm512_div_pd(numbers, signed_divisors(window, packed, lanes)));
  return last_end;
}

struct Wide64 {
  static constexpr ClassifyWindow classify = classify_window;
  static unsigned read_eight(const TokenWindow& window, double* values) {
    return read_eight_plain(window, values);
  }
  static int read_plain(TokenWindow& window, int most, double* values, unsigned& last_end) {
    return wide16::read_plain(window, most, values, last_end);
  }
};

}  // namespace

bool wide64_available() { return cpu_runs_wide64(); }

void read_values_wide64(const ValueFields& fields, RecordParse& result) {
  read_values_in_windows<Wide64>(fields, result);
}

}  // namespace pctlfit
