#include "input/record/record_parser.h"

#include <limits>

#include "input/record/missing_values.h"
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

// `count` digits at `pos` into `value`; nullptr unless all are there.
const char* scan_digits(const char* pos, const char* end, int count, long long& value) {
  value = 0;
  for (int i = 0; i < count; ++i, ++pos) {
    if (pos == end || *pos < '0' || *pos > '9') return nullptr;
    value = 10 * value + (*pos - '0');
  }
  return pos;
}

// HH:MM or HH:MM:SS at `pos`, its hour into `hour` and whether a clock shows it into `valid`
// (24:00 ends a day; a leap second is allowed); the position after it, or nullptr.
const char* scan_time(const char* pos, const char* end, long long& hour, bool& valid) {
  long long minute = 0, second = 0;
  pos = scan_digits(pos, end, 2, hour);
  if (pos == nullptr || pos == end || *pos != ':') return nullptr;
  pos = scan_digits(pos + 1, end, 2, minute);
  if (pos != nullptr && pos < end && *pos == ':') pos = scan_digits(pos + 1, end, 2, second);
  valid = (hour < 24 && minute < 60 && second <= 60) || (hour == 24 && minute == 0 && second == 0);
  return pos;
}

bool is_leap_year(long long year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Whether the calendar has that day (the month is checked on its own).
bool day_exists(long long year, long long month, long long day) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return true;  // the month has a warning of its own
  if (day < 1) return false;
  const long long days = kDays[month - 1] + (month == 2 && is_leap_year(year) ? 1 : 0);
  return day <= days;
}

// A time zone offset at `pos`, a token of its own: +HHMM, -HHMM, +HH:MM, -HH:MM, Z, UTC or GMT.
// The position after it, or nullptr.
const char* scan_offset(const char* pos, const char* end) {
  const char* token_end = pos;
  while (token_end < end && !is_c_space(*token_end)) ++token_end;
  const std::string_view token(pos, static_cast<size_t>(token_end - pos));
  if (token == "Z" || token == "UTC" || token == "GMT") return token_end;
  if (token.size() != 5 && token.size() != 6) return nullptr;
  if (token[0] != '+' && token[0] != '-') return nullptr;
  long long part;
  const char* at = scan_digits(pos + 1, token_end, 2, part);
  if (at != nullptr && token.size() == 6) at = *at == ':' ? at + 1 : nullptr;
  at = at != nullptr ? scan_digits(at, token_end, 2, part) : nullptr;
  return at == token_end ? token_end : nullptr;
}

bool ends_token(const char* pos, const char* end) { return pos == end || is_c_space(*pos); }

// The date field (and a time after it) at `pos` into `date`; the position after it, or nullptr
// when the line does not start with a date.
const char* scan_date(const char* pos, const char* end, RecordParse& date) {
  const char* const begin = skip_space(pos, end);
  bool time_valid = true;
  pos = scan_digits(begin, end, 4, date.year);
  if (pos == nullptr || pos == end || *pos != '-') return nullptr;
  pos = scan_digits(pos + 1, end, 2, date.month);
  if (pos == nullptr || pos == end || *pos != '-') return nullptr;
  pos = scan_digits(pos + 1, end, 2, date.day);
  if (pos != nullptr && pos < end && *pos == 'T')
    pos = scan_time(pos + 1, end, date.hour, time_valid);
  if (pos == nullptr || !ends_token(pos, end)) return nullptr;
  const char* time = skip_space(pos, end);
  long long hour = 0;
  bool separate_valid = true;
  const char* after_time = time < end ? scan_time(time, end, hour, separate_valid) : nullptr;
  if (after_time != nullptr && ends_token(after_time, end)) {
    date.hour = hour;
    time_valid = separate_valid;
    pos = after_time;
  }
  if (!day_exists(date.year, date.month, date.day)) {
    date.date_problem = DateProblem::no_such_day;
  } else if (!time_valid) {
    date.date_problem = DateProblem::no_such_time;
  }
  const char* offset_start = skip_space(pos, end);
  const char* after_offset = offset_start < end ? scan_offset(offset_start, end) : nullptr;
  if (after_offset != nullptr) {
    if (date.date_problem == DateProblem::none) date.date_problem = DateProblem::offset;
    pos = after_offset;
  }
  date.date_length = static_cast<size_t>(pos - begin);  // date_begin: set by the caller
  return pos;
}

// The fields before the values: four integers, the second the month, or one date, into
// `date`. The position after them, or nullptr when the line has none.
const char* scan_record_start(std::string_view line, FileLayout layout, RecordParse& date) {
  const char* pos = line.data();
  const char* const end = line.data() + line.size();
  if (layout == FileLayout::date) {
    date.date_begin = static_cast<size_t>(skip_space(pos, end) - pos);
    return scan_date(pos, end, date);
  }
  long long* const fields[4] = {&date.year, &date.month, &date.day, &date.hour};
  for (long long* field : fields) {
    pos = scan_integer(pos, end, *field);
    if (pos == nullptr || !ends_field(pos, end)) return nullptr;
  }
  return pos;
}

bool is_blank_not_tab(char c) { return c != '\t' && is_c_space(c); }

const char* skip_blanks(const char* pos, const char* end) {
  while (pos < end && is_blank_not_tab(*pos)) ++pos;
  return pos;
}

// Whether the values from `pos` on hold an empty field: a tab, at most blanks, a tab.
bool has_empty_tab_field(const char* pos, const char* end) {
  for (; pos < end; ++pos) {
    if (*pos != '\t') continue;
    const char* next = skip_blanks(pos + 1, end);
    if (next < end && *next == '\t') return true;
  }
  return false;
}

// The values read again as fields closed by tabs, an empty field being one missing value.
// Only for a line that the ordinary reading found short or long, so that a well-formed record
// costs nothing.
void read_tab_fields(const ValueFields& fields, RecordParse& result) {
  const char* const end = fields.line.data() + fields.line.size();
  RecordParse again;
  again.month = result.month;
  again.year = result.year;
  again.day = result.day;
  again.hour = result.hour;
  again.date_problem = result.date_problem;
  again.date_begin = result.date_begin;
  again.date_length = result.date_length;
  const char* pos = skip_blanks(fields.from, end);
  if (pos < end && *pos == '\t') ++pos;  // the tab after the record's date
  for (int c = 0; c < fields.columns; ++c) {
    pos = skip_blanks(pos, end);
    if (pos == end) return;  // short after all: the first reading stands
    if (*pos == '\t') {
      fields.values[c] = kMissingMarker;
      if (again.empty_fields++ == 0) again.empty_column = c;
      ++pos;
      continue;
    }
    pos = read_field(fields.line, pos, c, fields.values, again);
    pos = skip_blanks(pos, end);
    if (pos < end && *pos == '\t' && c + 1 < fields.columns) ++pos;  // the field's closing tab
  }
  again.values_read = fields.columns;
  finish_values(fields.line, pos, again);
  result = again;
}

RecordParse parse_fields(const Reading& reading, std::string_view line, const char* readable_end,
                         int columns, double* values, FileLayout layout) {
  RecordParse result;
  const char* const pos = scan_record_start(line, layout, result);
  if (pos == nullptr) {
    result.month = result.year = result.day = result.hour = 0;
    result.date_problem = DateProblem::none;
    result.status = is_blank(line) ? RecordStatus::blank : RecordStatus::not_a_record;
    return result;
  }
  // Month 0 marks a record to skip in the standard layout; no date has it.
  const bool no_month = result.month == 0 && layout == FileLayout::date;
  if (result.month < 0 || result.month > 12 || no_month) {
    result.status = RecordStatus::month_out_of_range;
    return result;
  }
  const ValueFields fields{line, pos, readable_end, columns, values};
  reading.read_values(fields, result);
  // Too few fields, or more than the columns: where an empty field is why, its place matters.
  const bool miscounted = result.status == RecordStatus::short_record || result.extra_values > 0;
  if (miscounted && has_empty_tab_field(pos, line.data() + line.size())) {
    read_tab_fields(fields, result);
  }
  return result;
}

RecordParse parse_line(const Reading& reading, std::string_view line, size_t readable_after,
                       int columns, double* values, FileLayout layout = FileLayout::standard) {
  const size_t longest = longest_record_line(columns);
  const char* const readable_end = line.data() + line.size() + readable_after;
  if (line.size() <= longest) {
    return parse_fields(reading, line, readable_end, columns, values, layout);
  }
  // Only what ends before the cut is known to be whole: a field that reaches it may go on.
  RecordParse result =
      parse_fields(reading, line.substr(0, longest), readable_end, columns, values, layout);
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

RecordParse parse_record(std::string_view line, int columns, double* values, size_t readable_after,
                         FileLayout layout) {
  return parse_line(active_reading(), line, readable_after, columns, values, layout);
}

bool starts_with_date(std::string_view line) {
  RecordParse date;
  return scan_date(line.data(), line.data() + line.size(), date) != nullptr;
}

}  // namespace pctlfit
