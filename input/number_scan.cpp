#include "input/number_scan.h"

#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "text/c_locale.h"

namespace pctlfit {

namespace {

const char* skip_space(const char* pos, const char* end) {
  while (pos < end && is_c_space(*pos)) ++pos;
  return pos;
}

bool is_hex_prefix(const char* pos, const char* end) {
  return end - pos >= 2 && pos[0] == '0' && (pos[1] == 'x' || pos[1] == 'X');
}

// strtod for the forms from_chars does not take: a '+' sign, hexadecimal, out of range. The
// token is copied so that strtod cannot run past the line.
const char* scan_double_slow(const char* pos, const char* end, double& value) {
  const char* token_end = pos;
  while (token_end < end && !is_c_space(*token_end) && *token_end != '\0') ++token_end;
  char small[64];
  std::string large;
  const char* text;
  const size_t length = static_cast<size_t>(token_end - pos);
  if (length < sizeof small) {
    std::char_traits<char>::copy(small, pos, length);
    small[length] = '\0';
    text = small;
  } else {
    large.assign(pos, length);
    text = large.c_str();
  }
  char* parsed_end = nullptr;
  const double parsed = std::strtod(text, &parsed_end);
  if (parsed_end == text) return nullptr;
  value = parsed;
  return pos + (parsed_end - text);
}

// Plain decimals of up to 15 digits without exponent, the bulk of every data file. The digits
// form an integer below 2^53 and the divisor a power of ten up to 10^15, both exact in a double,
// so the one correctly rounded division gives exactly what strtod gives. Returns nullptr for any
// other form, which the general parser then reads.
const char* scan_plain_decimal(const char* pos, const char* end, double& value) {
  static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  constexpr int kMaxDigits = 15;
  const char* p = pos;
  const bool negative = *p == '-';
  if (negative) ++p;
  uint64_t digits_value = 0;
  int digits = 0;
  for (; p < end && is_digit(*p); ++p, ++digits) digits_value = digits_value * 10 + uint64_t(*p - '0');
  int fraction_digits = 0;
  if (p < end && *p == '.') {
    for (++p; p < end && is_digit(*p); ++p, ++fraction_digits) {
      digits_value = digits_value * 10 + uint64_t(*p - '0');
    }
  }
  digits += fraction_digits;
  if (digits == 0 || digits > kMaxDigits) return nullptr;
  // An exponent may follow, or this is the 0 of a hexadecimal 0x.
  if (p < end && (*p == 'e' || *p == 'E' || *p == 'x' || *p == 'X')) return nullptr;
  const double magnitude = static_cast<double>(digits_value) / kPowersOfTen[fraction_digits];
  value = negative ? -magnitude : magnitude;
  return p;
}

}  // namespace

const char* scan_integer(const char* pos, const char* end, long long& value) {
  pos = skip_space(pos, end);
  bool negative = false;
  if (pos < end && (*pos == '+' || *pos == '-')) {
    negative = *pos == '-';
    ++pos;
  }
  if (pos == end || !is_digit(*pos)) return nullptr;
  long long magnitude = 0;
  for (; pos < end && is_digit(*pos); ++pos) {
    const int digit = *pos - '0';
    magnitude = magnitude > (LLONG_MAX - digit) / 10 ? LLONG_MAX : magnitude * 10 + digit;
  }
  value = negative ? -magnitude : magnitude;
  return pos;
}

const char* scan_double(const char* pos, const char* end, double& value) {
  pos = skip_space(pos, end);
  if (pos == end) return nullptr;
  if (const char* plain_end = scan_plain_decimal(pos, end, value)) return plain_end;
  const char* unsigned_start = (*pos == '-') ? pos + 1 : pos;
  if (*pos == '+' || is_hex_prefix(unsigned_start, end)) return scan_double_slow(pos, end, value);
  double parsed;
  const auto [parsed_end, ec] = std::from_chars(pos, end, parsed, std::chars_format::general);
  if (ec == std::errc()) {
    value = parsed;
    return parsed_end;
  }
  if (ec == std::errc::result_out_of_range) return scan_double_slow(pos, end, value);
  return nullptr;
}

}  // namespace pctlfit
