#include "input/record/number_scan.h"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <string>

#include "text/c_locale.h"

namespace pctlfit {

namespace {

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

const char* scan_double_general(const char* pos, const char* end, double& value) {
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
