#pragma once
// Record values read 64 bytes at a time: the bytes are sorted into classes by vector compares,
// fields are found by bit operations on those classes, and a short plain decimal is converted
// eight digits at once. Every other field is left to the exact byte-by-byte reading, so both
// give the same double for every field. SSE2 is part of every x86-64 processor, so no runtime
// check is needed; other processors, and builds with PCTLFIT_PORTABLE_SCAN, read byte by byte.
// Processors with AVX-512 take two of the steps with 64-byte vectors (input/wide_scan_avx512.h).

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && !defined(PCTLFIT_PORTABLE_SCAN)
#include <emmintrin.h>
#define PCTLFIT_WIDE_SCAN 1
#else
#define PCTLFIT_WIDE_SCAN 0
#endif

namespace pctlfit {

inline constexpr bool kWideScan = PCTLFIT_WIDE_SCAN != 0;

#if PCTLFIT_WIDE_SCAN

// 64 bytes of a line, one bit a byte (bit i: byte i). A token is a run of bytes that are not
// blank; `starts` and `ends` mark its first byte and the blank after it.
struct TokenWindow {
  const char* text = nullptr;     // the bytes (the line itself, or a padded copy of its end)
  const char* line_at = nullptr;  // the line's byte that text[0] stands for
  uint64_t blank = 0;             // white space, and every byte after the line's end
  uint64_t point = 0;
  uint64_t minus = 0;
  uint64_t other = 0;  // neither blank, digit, point nor minus
  uint64_t starts = 0;
  uint64_t ends = 0;
  bool holds_end = false;  // the line ends in this window: nothing follows
};

// Bytes that a window may read past its 64: the eight of a number starting in its last ones.
inline constexpr size_t kWindowReach = 80;

namespace wide_detail {

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

}  // namespace wide_detail

// Sets the window's blanks, counting those from `valid` on (the line has ended), and its
// tokens' starts and ends from them. The byte before text[0] counts as blank: a window starts
// at a token or between tokens.
inline void set_tokens(TokenWindow& window, uint64_t blank, unsigned valid) {
  if (valid < 64) blank |= ~uint64_t{0} << valid;
  window.blank = blank;
  const uint64_t token = ~blank;
  window.starts = token & ((blank << 1) | 1);
  window.ends = blank & (token << 1);
}

// Classifies text[0, 64); bytes from `valid` on count as blank (see set_tokens).
inline void classify_window(TokenWindow& window, unsigned valid) {
  uint64_t blank = 0;
  window.point = window.minus = window.other = 0;
  for (unsigned part = 0; part < 4; ++part) {
    const wide_detail::Classes16 c = wide_detail::classify16(window.text + 16 * part);
    blank |= uint64_t{c.blank} << (16 * part);
    window.point |= uint64_t{c.point} << (16 * part);
    window.minus |= uint64_t{c.minus} << (16 * part);
    window.other |= uint64_t{c.other} << (16 * part);
  }
  set_tokens(window, blank, valid);
}

using ClassifyWindow = void (*)(TokenWindow& window, unsigned valid);

// Opens the window at `at` of a line ending at `end`, whose memory may be read up to
// `readable_end` (the bytes after the line are not parsed), and classifies it. Near the end of
// what may be read, the rest of the line is copied into `tail` (blanks after it), so that no
// read passes it.
template <ClassifyWindow kClassify = classify_window>
inline void open_window(TokenWindow& window, const char* at, const char* end,
                        const char* readable_end, char (&tail)[kWindowReach]) {
  const size_t left = static_cast<size_t>(end - at);
  window.line_at = at;
  window.holds_end = left <= 64;
  const unsigned valid = window.holds_end ? static_cast<unsigned>(left) : 64;
  if (static_cast<size_t>(readable_end - at) >= kWindowReach) {
    window.text = at;
    kClassify(window, valid);
    return;
  }
  std::memcpy(tail, at, left);
  std::memset(tail + left, ' ', sizeof tail - left);
  window.text = tail;
  kClassify(window, valid);
}

// The bytes that keep a token from being a plain decimal that the wide reading converts: an
// optional minus, then digits with at most one point among them, at least one digit, and at
// most eight bytes after the sign. Each such token has a bit at or before the blank after it.
// Found for all tokens at once, by bit operations on the classes.
inline uint64_t not_plain(const TokenWindow& window) {
  const uint64_t token = ~window.blank;
  uint64_t nine = token & (token >> 1);  // bit i: bytes i .. i + 8 are all in a token
  nine &= nine >> 2;
  nine &= nine >> 4;
  nine &= token >> 8;
  const uint64_t no_digit = window.point | window.minus;
  // Adding a token's first bit carries through its run of points and minus signs: the carry
  // lands on its blank when no digit follows. Adding the points carries each one to the end of
  // its token, unless a second point stops it.
  const uint64_t without_digits = (no_digit + (window.starts & no_digit)) & window.blank;
  const uint64_t second_points = (token + window.point) & window.point;
  return window.other | (window.minus & ~window.starts) | (nine & ~window.minus) | without_digits |
         second_points;
}

inline bool all_tokens_plain(const TokenWindow& window) { return not_plain(window) == 0; }

namespace wide_detail {

// The divisor of a plain decimal by its sign and by its length after the sign less the point's
// byte in it, plus 8 (8 or less: no point in it): ten to the number of digits after the point,
// negative for a minus sign (the division is exact in its sign: -(m / d) == m / -d).
inline constexpr auto kDivisors = [] {
  std::array<std::array<double, 17>, 2> table{};
  for (unsigned index = 0; index < 17; ++index) {
    double divisor = 1;
    for (unsigned d = 10; d <= index; ++d) divisor *= 10;
    table[0][index] = divisor;
    table[1][index] = -divisor;
  }
  return table;
}();

// Bytes 0 .. n - 1 of a word.
inline constexpr auto kLowBytes = [] {
  std::array<uint64_t, 9> table{};
  for (unsigned n = 1; n < 9; ++n) table[n] = (table[n - 1] << 8) | 0xFF;
  return table;
}();

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

// One token of a plain window, taken from its starts and ends: its digits closed up over the
// point and moved to the top bytes (the bytes after the token drop out and zeros lead), and its
// divisor. `e` is the blank after it.
struct PlainToken {
  uint64_t digits;
  double divisor;
};

inline PlainToken take_plain(const char* text, uint64_t point, uint64_t minus, uint64_t& starts,
                             uint64_t& ends, unsigned& e) {
  const unsigned s = unsigned(__builtin_ctzll(starts));
  e = unsigned(__builtin_ctzll(ends));
  starts &= starts - 1;
  ends &= ends - 1;
  const unsigned negative = static_cast<unsigned>(minus >> s) & 1;
  const unsigned first = s + negative;
  const unsigned length = e - first;
  // The point's byte, or 8 when no point lies in the eight bytes (one after the token is not in
  // it: then point_at >= length).
  const unsigned point_at = unsigned(__builtin_ctzll((point >> first) | 0x100));
  const unsigned digits = length - (point_at < length);
  uint64_t word;
  std::memcpy(&word, text + first, 8);
  const uint64_t before_point = kLowBytes[point_at];
  word = (word & before_point) | ((word >> 8) & ~before_point);
  return {word << (8 * (8 - digits)), kDivisors[negative][length + 8 - point_at]};
}

// The next two tokens of a plain window into values[0, 2): one division for both.
inline void read_two_plain(const TokenWindow& window, uint64_t& starts, uint64_t& ends, unsigned& e,
                           double* values) {
  const PlainToken a = take_plain(window.text, window.point, window.minus, starts, ends, e);
  const PlainToken b = take_plain(window.text, window.point, window.minus, starts, ends, e);
  const __m128i digits =
      _mm_set_epi64x(static_cast<long long>(b.digits), static_cast<long long>(a.digits));
  _mm_storeu_pd(values, _mm_div_pd(two_numbers(digits), _mm_set_pd(b.divisor, a.divisor)));
}

}  // namespace wide_detail

// Reads the tokens that end in a window that all_tokens_plain accepts, at most `most`, into
// values[0 ..), two at a time, and takes them from its starts and ends. Each is one correctly
// rounded division of two doubles that hold their integers exactly (digits below 10^8, divisors
// powers of ten up to 10^7), so it is exactly what strtod gives. Returns how many; `last_end`:
// the blank after the last.
inline int read_plain(TokenWindow& window, int most, double* values, unsigned& last_end) {
  uint64_t starts = window.starts;
  uint64_t ends = window.ends;
  int count = 0;
  for (; (ends & (ends - 1)) != 0 && count + 2 <= most; count += 2) {
    wide_detail::read_two_plain(window, starts, ends, last_end, values + count);
  }
  if (ends != 0 && count < most) {
    const wide_detail::PlainToken a =
        wide_detail::take_plain(window.text, window.point, window.minus, starts, ends, last_end);
    const __m128i digits = _mm_cvtsi64_si128(static_cast<long long>(a.digits));
    _mm_storel_pd(values + count++,
                  _mm_div_sd(wide_detail::two_numbers(digits), _mm_set_sd(a.divisor)));
  }
  window.starts = starts;
  window.ends = ends;
  return count;
}

// The first eight tokens of a window into values[0, 8), when all eight end in it and are plain
// decimals: then the blank after the eighth, else 0 and nothing read. Its steps are the same for
// every eight fields of a long record, so that the processor foresees them all.
inline unsigned read_eight_plain(const TokenWindow& window, double* values) {
  uint64_t eighth = window.ends;
  for (int i = 0; i < 7; ++i) eighth &= eighth - 1;
  if (eighth == 0) return 0;
  const unsigned last_end = unsigned(__builtin_ctzll(eighth));
  if ((not_plain(window) & ((uint64_t{2} << last_end) - 1)) != 0) return 0;
  uint64_t starts = window.starts;
  uint64_t ends = window.ends;
  unsigned e = 0;
  for (int i = 0; i < 8; i += 2) wide_detail::read_two_plain(window, starts, ends, e, values + i);
  return last_end;
}

#endif

}  // namespace pctlfit
