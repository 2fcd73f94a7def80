#pragma once
// Number reading as the C library's scans read numbers, on a line in memory: leading white space
// is skipped, the number is the longest prefix that converts. Never reads past `end`, never
// allocates for ordinary numbers, no locale.

#include <array>
#include <cstddef>
#include <cstdint>

#include "text/c_locale.h"

namespace pctlfit {

inline const char* skip_space(const char* pos, const char* end) {
  while (pos < end && is_c_space(*pos)) ++pos;
  return pos;
}

// A value in a record line is a whole field: it ends at white space, at the end of the line, or
// where a sign starts the next value (fixed-width model output runs "12.345-9999.000" together).
// Anything else right after a number ("12.5.3", "4.7O1", "1,0") makes the field no number.
inline constexpr std::array<bool, 256> kEndsField = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) table[size_t(c)] = is_c_space(char(c)) || c == '-' || c == '+';
  return table;
}();
inline bool ends_field(const char* pos, const char* end) {
  return pos == end || kEndsField[static_cast<unsigned char>(*pos)];
}

// Plain decimals of up to 15 digits without exponent, the bulk of every data file. The digits
// form an integer below 2^53 and the divisor a power of ten up to 10^15, both exact in a double,
// so the one correctly rounded division gives exactly what strtod gives. Returns nullptr for any
// other form, which the general parser then reads. `pos` < `end`.
inline const char* scan_plain_decimal(const char* pos, const char* end, double& value) {
  static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  constexpr int kMaxDigits = 15;
  const char* p = pos;
  const bool negative = *p == '-';
  if (negative) ++p;
  uint64_t digits_value = 0;
  int digits = 0;
  for (; p < end && is_digit(*p); ++p, ++digits)
    digits_value = digits_value * 10 + uint64_t(*p - '0');
  int fraction_digits = 0;
  if (p < end && *p == '.') {
    for (++p; p < end && is_digit(*p); ++p, ++fraction_digits) {
      digits_value = digits_value * 10 + uint64_t(*p - '0');
    }
  }
  digits += fraction_digits;
  if (digits == 0 || digits > kMaxDigits) return nullptr;
  // Only a number that ends its field: an exponent or the x of a hexadecimal 0x may follow, or
  // something that is no number at all; the general parser and the caller tell which.
  if (p < end && !kEndsField[static_cast<unsigned char>(*p)]) return nullptr;
  const double magnitude = static_cast<double>(digits_value) / kPowersOfTen[fraction_digits];
  value = negative ? -magnitude : magnitude;
  return p;
}

// The forms scan_plain_decimal leaves: signs, exponents, inf, nan, hexadecimal, long digits.
// `pos` is past any leading white space.
const char* scan_double_general(const char* pos, const char* end, double& value);

// A whole field at `pos` (past white space, `pos` < `end`) read as scan_double reads it: the
// position after it, or nullptr when the field does not start with a number or does not end
// where the number ends (see ends_field).
inline const char* scan_field(const char* pos, const char* end, double& value) {
  if (const char* plain_end = scan_plain_decimal(pos, end, value)) return plain_end;
  const char* number_end = scan_double_general(pos, end, value);
  return number_end != nullptr && ends_field(number_end, end) ? number_end : nullptr;
}

// Like "%d": optional sign and decimal digits. The value saturates instead of overflowing.
// Returns the position after the number, or nullptr when no integer starts there.
const char* scan_integer(const char* pos, const char* end, long long& value);

// Like "%lf" and strtod: decimal or exponent notation, "inf", "infinity", "nan", hexadecimal,
// with an optional sign; out of range gives ±inf or a (sub)normal or zero, as strtod does.
// Returns the position after the number, or nullptr when no number starts there.
inline const char* scan_double(const char* pos, const char* end, double& value) {
  pos = skip_space(pos, end);
  if (pos == end) return nullptr;
  if (const char* plain_end = scan_plain_decimal(pos, end, value)) return plain_end;
  return scan_double_general(pos, end, value);
}

}  // namespace pctlfit
