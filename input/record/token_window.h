#pragma once
// The window logic that every vector reading shares and that needs no vector instruction: 64
// bytes of a line as bit masks (one bit a byte), the tokens found from its blanks, the test that
// every token is a plain decimal, and the digits and divisor of one such token. A kernel
// (wide16.h, wide64.cpp) only classifies the bytes and converts the digits.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace pctlfit {

// One classify step reads this many bytes of a line.
inline constexpr size_t kWindowBytes = 64;
// take_plain loads a token's digits as one word.
inline constexpr size_t kDigitWordBytes = 8;
// How far past a window's start a reading may load. The last token that ends in a window has
// at least one byte and the blank after it there, so it starts at byte 62 at most, and its digit
// word ends before 62 + 8 = 70; the classify load ends at 64.
inline constexpr size_t kWindowReach = kWindowBytes - 2 + kDigitWordBytes;
static_assert(kWindowReach >= kWindowBytes, "a window's classify load must stay in reach");

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

// A kernel's classify step: the masks of text[0, 64), bytes from `valid` on blank (set_tokens).
using ClassifyWindow = void (*)(TokenWindow& window, unsigned valid);

// Opens the window at `at` of a line ending at `end`, whose memory may be read up to
// `readable_end` (the bytes after the line are not parsed), and classifies it. When fewer than
// kWindowReach bytes may be read from `at`, the rest of the line is copied into `tail` (blanks
// after it), so that no load passes what may be read.
template <ClassifyWindow kClassify>
inline void open_window(TokenWindow& window, const char* at, const char* end,
                        const char* readable_end, char (&tail)[kWindowReach]) {
  const size_t left = static_cast<size_t>(end - at);
  window.line_at = at;
  window.holds_end = left <= kWindowBytes;
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
  // Bit i: bytes i .. i + 8 are all in a token, nine bytes; allowed only where byte i is a sign.
  uint64_t nine = token & (token >> 1);
  nine &= nine >> 2;
  nine &= nine >> 4;
  nine &= token >> 8;
  const uint64_t no_digit = window.point | window.minus;
  // A token's start bit added to its run of points and signs carries to the first byte after
  // the run; that byte is the blank when no digit follows. "-. 5" (bytes 0 to 3): no_digit
  // 0011, its start 0001, the sum 0100 lands on the blank at byte 2; "-5" gives 10, a digit.
  const uint64_t without_digits = (no_digit + (window.starts & no_digit)) & window.blank;
  // A point's bit added to its token's bits carries to the token's end and clears the bytes
  // between, a second point among them too, which the second point's own bit then sets again.
  // "1.2.3": token 011111, points 01010, the sum 101001 keeps the point at byte 3.
  const uint64_t second_points = (token + window.point) & window.point;
  return window.other | (window.minus & ~window.starts) | (nine & ~window.minus) | without_digits |
         second_points;
}

inline bool all_tokens_plain(const TokenWindow& window) { return not_plain(window) == 0; }

// The divisor of a plain decimal, by its sign and by the index `length + 8 - point_at` (length
// after the sign, point_at the point's byte in it, 8 when there is none): 9 + k for k digits
// after the point, 8 or less without a point; divisor 10^k, negative for a minus sign (the
// division is exact in its sign: -(m / d) == m / -d). "-12.5": sign 1, length 4, point_at 2,
// index 10, divisor -10, and 125 / -10 = -12.5. "42": length 2, no point, index 2, divisor 1.
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

// One token of a plain window: its digits closed up over the point and moved to the top bytes
// of a word (the bytes after the token drop out and zeros lead), and its divisor.
struct PlainToken {
  uint64_t digits;
  double divisor;
};

// The tokens of a plain window still to be taken, first to last.
struct PlainTokens {
  uint64_t starts;
  uint64_t ends;
  unsigned last_end = 0;  // the blank after the token taken last
};

// Takes the next token of `tokens`, which must have one.
inline PlainToken take_plain(const TokenWindow& window, PlainTokens& tokens) {
  const unsigned s = unsigned(std::countr_zero(tokens.starts));
  const unsigned e = unsigned(std::countr_zero(tokens.ends));
  tokens.last_end = e;
  tokens.starts &= tokens.starts - 1;
  tokens.ends &= tokens.ends - 1;
  const unsigned negative = static_cast<unsigned>(window.minus >> s) & 1;
  const unsigned first = s + negative;
  const unsigned length = e - first;
  // The point's byte, or 8 when no point lies in the eight bytes (one after the token is not in
  // it: then point_at >= length).
  const unsigned point_at = unsigned(std::countr_zero((window.point >> first) | 0x100));
  const unsigned digits = length - (point_at < length);
  uint64_t word;
  std::memcpy(&word, window.text + first, kDigitWordBytes);
  const uint64_t before_point = kLowBytes[point_at];
  word = (word & before_point) | ((word >> 8) & ~before_point);
  return {word << (8 * (8 - digits)), kDivisors[negative][length + 8 - point_at]};
}

// The blank after a window's eighth token, or 0 when fewer than eight tokens end in it or one
// of the first eight is not a plain decimal: where a kernel converts eight at once.
inline unsigned eighth_plain_end(const TokenWindow& window, uint64_t eighth_end) {
  if (eighth_end == 0) return 0;
  const unsigned last_end = unsigned(std::countr_zero(eighth_end));
  if ((not_plain(window) & ((uint64_t{2} << last_end) - 1)) != 0) return 0;
  return last_end;
}

}  // namespace pctlfit
