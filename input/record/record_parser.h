#pragma once
// One record line of a data file: four integers (the second is the month), then the values.

#include <string_view>

#include "input/layout.h"

namespace pctlfit {

enum class ValueReading;  // input/record/readings.h

enum class RecordStatus {
  record,              // four integers and all values
  blank,               // only white space: skipped silently
  not_a_record,        // the first four fields are not four whole integers (or no date)
  month_out_of_range,  // month outside 0..12
  bad_value,           // all values read, but bad_values of them are not whole numbers: NaN
  short_record,        // the line ends after values_read values
  too_long,            // the first columns + 4 fields do not end within longest_record_line
};

// The longest part of a record line that is read: its four integers and its values must end
// within it, and the rest of a longer line is skipped unread. 64 bytes a value is far above
// any number's text; the fixed part leaves room for blanks.
constexpr size_t longest_record_line(int columns) {
  return (size_t{64} << 10) + 64 * static_cast<size_t>(columns < 0 ? 0 : columns);
}

// What is wrong with a date layout record's date, though its values are read: a day or a time
// that no calendar holds, or a time zone offset after the time (skipped, not read as a value).
enum class DateProblem { none, no_such_day, no_such_time, offset };

struct RecordParse {
  RecordStatus status = RecordStatus::blank;
  long long month = 0;
  // The rest of the record's date: the first, third and fourth integers, or the date field's
  // year, day and hour (0 without a time).
  long long year = 0;
  long long day = 0;
  long long hour = 0;
  int values_read = 0;
  // The date layout: what is wrong with the date, and the text of its field(s)
  // line[date_begin, + date_length)
  DateProblem date_problem = DateProblem::none;
  size_t date_begin = 0;
  size_t date_length = 0;
  int extra_values = 0;   // record: whole numbers after the `columns`-th value (not read)
  size_t values_end = 0;  // record: the offset just after the `columns`-th value
  // bad_value: how many fields are not numbers, and the first of them, its column (0-based)
  // and its text line[bad_field_begin, + bad_field_length)
  int bad_values = 0;
  int bad_column = 0;
  // record or bad_value: empty fields between two tabs, each one missing value in its own
  // column, and the first of those columns (0-based)
  int empty_fields = 0;
  int empty_column = 0;
  size_t bad_field_begin = 0;
  size_t bad_field_length = 0;
};

// Reads `line` (without its newline) as the C library's scans would, but never past the line
// and only whole fields (see ends_field): four integers, then up to `columns` values into
// values[0 ..). What follows the last value is not read, only counted when it is numbers.
// Does not allocate for ordinary numbers. A line longer than longest_record_line(columns) is
// read that far; it is a record only when its fields end before, else too_long.
// The values are read by the active reading (input/record/readings.h); the `readable_after`
// bytes that follow the line in memory may then be loaded, never parsed, which spares copying
// the line's end.
// Values separated by tabs may leave a field empty (two tabs with at most blanks between): when
// such a line has too few or too many fields otherwise, each empty field is one missing value (-9999) of its
// column and the columns after it keep their places. A tab after the last value is nothing.
// In the date layout the four integers are one date field instead, YYYY-MM-DD, optionally with
// a time (YYYY-MM-DDTHH:MM, or HH:MM as a field of its own, seconds allowed), whose month is the
// record's: one that is not 1..12 is month_out_of_range. A day that its month does not have, a
// time past 24:00, and a time zone offset after the time (+0100, +01:00, Z, UTC; skipped) are
// noted in date_problem.
RecordParse parse_record(std::string_view line, int columns, double* values,
                         size_t readable_after = 0, FileLayout layout = FileLayout::standard);

// Whether the line starts with a date field as the date layout reads it.
bool starts_with_date(std::string_view line);

// parse_record with the given reading, which must be available: for the tests and benchmarks
// that hold the readings against each other.
RecordParse parse_record_with(ValueReading reading, std::string_view line, int columns,
                              double* values, size_t readable_after = 0);

}  // namespace pctlfit
