#include "input/record/record_parser.h"

#include <limits>

#include "input/record/number_scan.h"
#include "input/record/readings.h"
#include "input/record/value_fields.h"
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

RecordParse parse_fields(const Reading& reading, std::string_view line, const char* readable_end,
                         int columns, double* values) {
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
  reading.read_values({line, pos, readable_end, columns, values}, result);
  return result;
}

RecordParse parse_line(const Reading& reading, std::string_view line, size_t readable_after,
                       int columns, double* values) {
  const size_t longest = longest_record_line(columns);
  const char* const readable_end = line.data() + line.size() + readable_after;
  if (line.size() <= longest) return parse_fields(reading, line, readable_end, columns, values);
  // Only what ends before the cut is known to be whole: a field that reaches it may go on.
  RecordParse result =
      parse_fields(reading, line.substr(0, longest), readable_end, columns, values);
  const bool has_values =
      result.status == RecordStatus::record || result.status == RecordStatus::bad_value;
  if (!has_values || result.values_end >= longest) {
    result = RecordParse{};
    result.status = RecordStatus::too_long;
  }
  return result;
}

}  // namespace

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

void read_values_byte_by_byte(const ValueFields& fields, RecordParse& result) {
  const char* const end = fields.line.data() + fields.line.size();
  const char* pos = fields.from;
  for (int c = 0; c < fields.columns; ++c) {
    pos = skip_space(pos, end);
    if (pos == end) {
      result.status = RecordStatus::short_record;
      return;
    }
    pos = read_field(fields.line, pos, c, fields.values, result);
    result.values_read = c + 1;
  }
  finish_values(fields.line, pos, result);
}

RecordParse parse_record_with(ValueReading reading, std::string_view line, int columns,
                              double* values, size_t readable_after) {
  return parse_line(reading_of(reading), line, readable_after, columns, values);
}

RecordParse parse_record(std::string_view line, int columns, double* values,
                         size_t readable_after) {
  return parse_line(active_reading(), line, readable_after, columns, values);
}

}  // namespace pctlfit
