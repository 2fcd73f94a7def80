#pragma once
// The 16-byte reading's steps, with SSE2, which every x86-64 processor has: a window's bytes
// classified 16 at a time, and plain decimals converted two at a time. Compiled only into builds
// that have the vector readings (see CMakeLists.txt); the 64-byte reading converts the tokens it
// does not take eight at a time with these steps too.

#include <emmintrin.h>

#include "input/record/token_window.h"

namespace pctlfit::wide16 {

struct Classes16 {
  unsigned blank, point, minus, other;
};

inline Classes16 classify16(const char* p) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // Unsigned "x - low <= span" by a saturating minimum: SSE2 has no unsigned compare.
  const __m128i from_tab = _mm_sub_epi8(x, _mm_set1_epi8('\t'));
  const __m128i controls = _mm_cmpeq_epi8(_mm_min_epu8(from_tab, _mm_set1_epi8(4)), from_tab);
  const __m128i blank = _mm_or_si128(controls, _mm_cmpeq_epi8(x, _mm_set1_epi8(' ')));
  const __m128i from_zero = _mm_sub_epi8(x, _mm_set1_epi8('0'));
  const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(from_zero, _mm_set1_epi8(9)), from_zero);
  const __m128i point = _mm_cmpeq_epi8(x, _mm_set1_epi8('.'));
  const __m128i minus = _mm_cmpeq_epi8(x, _mm_set1_epi8('-'));
  const __m128i known = _mm_or_si128(_mm_or_si128(blank, digit), _mm_or_si128(point, minus));
  return {unsigned(_mm_movemask_epi8(blank)), unsigned(_mm_movemask_epi8(point)),
          unsigned(_mm_movemask_epi8(minus)), unsigned(_mm_movemask_epi8(known)) ^ 0xFFFFu};
}

// The classify step: text[0, 64) in four loads.
inline void classify_window(TokenWindow& window, unsigned valid) {
  uint64_t blank = 0;
  window.point = window.minus = window.other = 0;
  for (unsigned part = 0; part < 4; ++part) {
    const Classes16 c = classify16(window.text + 16 * part);
    blank |= uint64_t{c.blank} << (16 * part);
    window.point |= uint64_t{c.point} << (16 * part);
    window.minus |= uint64_t{c.minus} << (16 * part);
    window.other |= uint64_t{c.other} << (16 * part);
  }
  set_tokens(window, blank, valid);
}

// Two words of eight digits (ASCII or values, the first in byte 0) as two doubles: pairs of
// digits, then fours, then eights, each a multiply-add on the lanes. Below 10^8, so exact.
inline __m128d two_numbers(__m128i text) {
  const __m128i digit = _mm_and_si128(text, _mm_set1_epi8(0x0F));
  const __m128i pairs = _mm_add_epi16(
      _mm_mullo_epi16(_mm_and_si128(digit, _mm_set1_epi16(0x00FF)), _mm_set1_epi16(10)),
      _mm_srli_epi16(digit, 8));
  const __m128i fours = _mm_madd_epi16(pairs, _mm_set1_epi32(0x0001'0064));  // 100, 1
  const __m128i eights =
      _mm_add_epi64(_mm_mul_epu32(fours, _mm_set1_epi64x(10000)), _mm_srli_epi64(fours, 32));
  return _mm_cvtepi32_pd(_mm_shuffle_epi32(eights, _MM_SHUFFLE(3, 1, 2, 0)));
}

// The next two tokens of a plain window into values[0, 2): one division for both.
inline void read_two_plain(const TokenWindow& window, PlainTokens& tokens, double* values) {
  const PlainToken a = take_plain(window, tokens);
  const PlainToken b = take_plain(window, tokens);
  const __m128i digits =
      _mm_set_epi64x(static_cast<long long>(b.digits), static_cast<long long>(a.digits));
  _mm_storeu_pd(values, _mm_div_pd(two_numbers(digits), _mm_set_pd(b.divisor, a.divisor)));
}

// Reads the tokens that end in a window that all_tokens_plain accepts, at most `most`, into
// values[0 ..), two at a time, and takes them from its starts and ends. Each is one correctly
// rounded division of two doubles that hold their integers exactly (digits below 10^8, divisors
// powers of ten up to 10^7), so it is exactly what strtod gives. Returns how many; `last_end`:
// the blank after the last.
inline int read_plain(TokenWindow& window, int most, double* values, unsigned& last_end) {
  PlainTokens tokens{window.starts, window.ends};
  int count = 0;
  for (; (tokens.ends & (tokens.ends - 1)) != 0 && count + 2 <= most; count += 2) {
    read_two_plain(window, tokens, values + count);
  }
  if (tokens.ends != 0 && count < most) {
    const PlainToken a = take_plain(window, tokens);
    const __m128i digits = _mm_cvtsi64_si128(static_cast<long long>(a.digits));
    _mm_storel_pd(values + count++, _mm_div_sd(two_numbers(digits), _mm_set_sd(a.divisor)));
  }
  last_end = tokens.last_end;
  window.starts = tokens.starts;
  window.ends = tokens.ends;
  return count;
}

// The convert step: the first eight tokens of a window into values[0, 8), when all eight end in
// it and are plain decimals: then the blank after the eighth, else 0 and nothing read. Its steps
// are the same for every eight fields of a long record, so that the processor foresees them all.
inline unsigned read_eight_plain(const TokenWindow& window, double* values) {
  uint64_t eighth = window.ends;
  for (int i = 0; i < 7; ++i) eighth &= eighth - 1;
  const unsigned last_end = eighth_plain_end(window, eighth);
  if (last_end == 0) return 0;
  PlainTokens tokens{window.starts, window.ends};
  for (int i = 0; i < 8; i += 2) read_two_plain(window, tokens, values + i);
  return last_end;
}

}  // namespace pctlfit::wide16
