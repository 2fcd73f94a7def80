#include "input/record_parser.h"

#include <limits>

#include "input/number_scan.h"
#include "input/wide_scan.h"
#include "input/wide_scan_avx512.h"
#include "text/c_locale.h"

namespace pctlfit {

namespace {

bool is_blank(std::string_view line) {
  for (char c : line) {
    if (!is_c_space(c)) return false;
  }
  return true;
}

// The whole numbers from `pos` to the end of the line, up to the first field that is not one.
int count_values(const char* pos, const char* end) {
  int count = 0;
  double ignored;
  for (pos = skip_space(pos, end); pos < end; pos = skip_space(pos, end)) {
    pos = scan_field(pos, end, ignored);
    if (pos == nullptr) break;
    ++count;
  }
  return count;
}

// The end of the field at `pos`, which is not a number: the next white space or the line's end.
const char* bad_field_end(const char* pos, const char* end) {
  while (pos < end && !is_c_space(*pos)) ++pos;
  return pos;
}

// One field at `pos` read exactly, into values[c]: a field that is not a number is one missing
// value (NaN, which is not above -9999), noted in `result`; the others stand alone. The
// position after it.
const char* read_field(std::string_view line, const char* pos, int c, double* values,
                       RecordParse& result) {
  const char* const end = line.data() + line.size();
  const char* next = scan_field(pos, end, values[c]);
  if (next != nullptr) return next;
  next = bad_field_end(pos, end);
  values[c] = std::numeric_limits<double>::quiet_NaN();
  if (result.bad_values++ == 0) {
    result.bad_column = c;
    result.bad_field_begin = static_cast<size_t>(pos - line.data());
    result.bad_field_length = static_cast<size_t>(next - pos);
  }
  return next;
}

void finish_values(std::string_view line, const char* pos, RecordParse& result) {
  result.values_end = static_cast<size_t>(pos - line.data());
  result.extra_values = count_values(pos, line.data() + line.size());
  result.status = result.bad_values > 0 ? RecordStatus::bad_value : RecordStatus::record;
}

// The values after the four integers, from `pos`, byte by byte.
void parse_values(std::string_view line, const char* pos, int columns, double* values,
                  RecordParse& result) {
  const char* const end = line.data() + line.size();
  for (int c = 0; c < columns; ++c) {
    pos = skip_space(pos, end);
    if (pos == end) {
      result.status = RecordStatus::short_record;
      return;
    }
    pos = read_field(line, pos, c, values, result);
    result.values_read = c + 1;
  }
  finish_values(line, pos, result);
}

#if PCTLFIT_WIDE_SCAN
// The tokens of a window, from `c` on, until the window is done, the last column is read or a
// token goes on past the window. Plain decimals are converted here; a token of any other form
// is read field by field by the exact path (a sign inside it starts a new field). Returns where
// the next window starts, or nullptr when the window held the line's end.
const char* read_window(std::string_view line, TokenWindow& window, int columns, int& c,
                        double* values, RecordParse& result, const char*& pos) {
  if (all_tokens_plain(window)) {
    unsigned last_end = 0;
    const int read = read_plain(window, columns - c, values + c, last_end);
    c += read;
    if (read > 0) pos = window.line_at + last_end;
    if (c == columns) return nullptr;
  }
  while (window.starts != 0) {
    const unsigned s = unsigned(__builtin_ctzll(window.starts));
    if (window.ends == 0) return window.line_at + s;  // the token goes on: read it whole next
    const unsigned e = unsigned(__builtin_ctzll(window.ends));
    window.starts &= window.starts - 1;
    window.ends &= window.ends - 1;
    const char* const token_end = window.line_at + e;
    for (pos = window.line_at + s; pos < token_end;) {
      pos = read_field(line, pos, c, values, result);
      if (++c == columns) return nullptr;
    }
  }
  return window.holds_end ? nullptr : window.line_at + 64;
}

// The wide reading's vector steps: with 16-byte vectors on every x86-64 processor, with 64-byte
// ones where the processor has them.
struct Steps16 {
  static constexpr ClassifyWindow classify = classify_window;
  static unsigned read_eight(const TokenWindow& window, double* values) {
    return read_eight_plain(window, values);
  }
};
#if PCTLFIT_AVX512_SCAN
struct Steps64 {
  static constexpr ClassifyWindow classify = classify_window_avx512;
  static unsigned read_eight(const TokenWindow& window, double* values) {
    return read_eight_plain_avx512(window, values);
  }
};
#endif

// The same as parse_values, with tokens found and plain decimals read 64 bytes at a time.
template <class Steps>
void parse_values_wide(std::string_view line, const char* readable_end, const char* pos,
                       int columns, double* values, RecordParse& result) {
  const char* const end = line.data() + line.size();
  char tail[kWindowReach];
  TokenWindow window;
  int c = 0;
  for (const char* next = pos; next != nullptr && c < columns;) {
    if (next == window.line_at) {
      // A token as long as the window: the exact path reads it, the window goes on after it.
      pos = read_field(line, next, c, values, result);
      ++c;
      next = pos;
      continue;
    }
    open_window<Steps::classify>(window, next, end, readable_end, tail);
    if (c + 8 <= columns) {
      if (const unsigned after = Steps::read_eight(window, values + c)) {
        c += 8;
        next = pos = window.line_at + after;
        continue;
      }
    }
    next = read_window(line, window, columns, c, values, result, pos);
  }
  result.values_read = c;
  if (c < columns) {
    result.status = RecordStatus::short_record;
    return;
  }
  finish_values(line, pos, result);
}
#endif

template <ValueReading kReading>
RecordParse parse_fields(std::string_view line, const char* readable_end, int columns,
                         double* values) {
  RecordParse result;
  const char* pos = line.data();
  const char* const end = line.data() + line.size();
  long long fields[4];
  for (long long& field : fields) {
    pos = scan_integer(pos, end, field);
    if (pos == nullptr || !ends_field(pos, end)) {
      result.status = is_blank(line) ? RecordStatus::blank : RecordStatus::not_a_record;
      return result;
    }
  }
  result.month = fields[1];
  if (result.month < 0 || result.month > 12) {
    result.status = RecordStatus::month_out_of_range;
    return result;
  }
#if PCTLFIT_WIDE_SCAN
  if constexpr (kReading == ValueReading::wide16) {
    parse_values_wide<Steps16>(line, readable_end, pos, columns, values, result);
    return result;
  }
#endif
#if PCTLFIT_AVX512_SCAN
  if constexpr (kReading == ValueReading::wide64) {
    parse_values_wide<Steps64>(line, readable_end, pos, columns, values, result);
    return result;
  }
#endif
  (void)readable_end;
  parse_values(line, pos, columns, values, result);
  return result;
}

template <ValueReading kReading>
RecordParse parse_line(std::string_view line, size_t readable_after, int columns, double* values) {
  const size_t longest = longest_record_line(columns);
  const char* const readable_end = line.data() + line.size() + readable_after;
  if (line.size() <= longest) return parse_fields<kReading>(line, readable_end, columns, values);
  // Only what ends before the cut is known to be whole: a field that reaches it may go on.
  RecordParse result =
      parse_fields<kReading>(line.substr(0, longest), readable_end, columns, values);
  const bool has_values =
      result.status == RecordStatus::record || result.status == RecordStatus::bad_value;
  if (!has_values || result.values_end >= longest) {
    result = RecordParse{};
    result.status = RecordStatus::too_long;
  }
  return result;
}

RecordParse parse_line_with(ValueReading reading, std::string_view line, size_t readable_after,
                            int columns, double* values) {
  switch (reading) {
    case ValueReading::wide16:
      return parse_line<ValueReading::wide16>(line, readable_after, columns, values);
    case ValueReading::wide64:
      return parse_line<ValueReading::wide64>(line, readable_after, columns, values);
    case ValueReading::byte_by_byte:
      break;
  }
  return parse_line<ValueReading::byte_by_byte>(line, readable_after, columns, values);
}

ValueReading fastest_value_reading() {
  if (value_reading_available(ValueReading::wide64)) return ValueReading::wide64;
  if (value_reading_available(ValueReading::wide16)) return ValueReading::wide16;
  return ValueReading::byte_by_byte;
}

}  // namespace

bool value_reading_available(ValueReading reading) {
  switch (reading) {
    case ValueReading::byte_by_byte:
      return true;
    case ValueReading::wide16:
      return kWideScan;
    case ValueReading::wide64:
      return avx512_scan_available();
  }
  return false;
}

RecordParse parse_record_with(ValueReading reading, std::string_view line, int columns,
                              double* values, size_t readable_after) {
  if (!value_reading_available(reading)) reading = ValueReading::byte_by_byte;
  return parse_line_with(reading, line, readable_after, columns, values);
}

RecordParse parse_record(std::string_view line, int columns, double* values,
                         size_t readable_after) {
  static const ValueReading fastest = fastest_value_reading();
  return parse_line_with(fastest, line, readable_after, columns, values);
}

}  // namespace pctlfit
