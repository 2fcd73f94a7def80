#pragma once
// One record line of a data file: four integers (the second is the month), then the values.

#include <string_view>

namespace pctlfit {

enum class RecordStatus {
  record,              // four integers and all values
  blank,               // only white space: skipped silently
  not_a_record,        // the first four fields are not four whole integers
  month_out_of_range,  // month outside 0..12
  bad_value,           // value number values_read + 1 is not a whole number (see bad_field)
  short_record,        // the line ends after values_read values
};

struct RecordParse {
  RecordStatus status = RecordStatus::blank;
  long long month = 0;
  int values_read = 0;
  int extra_values = 0;  // record: whole numbers after the `columns`-th value (not read)
  // bad_value: the field that is not a number, line[bad_field_begin, + bad_field_length)
  size_t bad_field_begin = 0;
  size_t bad_field_length = 0;
};

// Reads `line` (without its newline) as the C library's scans would, but never past the line
// and only whole fields (see ends_field): four integers, then up to `columns` values into
// values[0 ..). What follows the last value is not read, only counted when it is numbers.
// Does not allocate for ordinary numbers.
RecordParse parse_record(std::string_view line, int columns, double* values);

}  // namespace pctlfit
