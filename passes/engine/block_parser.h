#pragma once
// Turns a block of record lines into transformed values, and adds those to the table in order.
// Parsing may run on any thread; accumulation must run block after block, in file order, so that
// every sum is formed in file, record, column order.

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "input/record/missing_values.h"
#include "input/record/record_parser.h"
#include "stats/distribution.h"
#include "stats/month_stats.h"

namespace pctlfit {

struct BlockWarning {
  long line = 0;  // 0-based line within the block
  RecordParse parse;
  std::string field;  // bad_value: the field's text, shortened to kShownFieldLength;
                      // not_a_record: the line's start, escaped (kShownLineLength)
};

// The longest text of a bad field that a warning shows; a longer one is cut and ends in "...".
constexpr size_t kShownFieldLength = 40;
// The longest start of a line that is no record that a warning shows.
constexpr size_t kShownLineLength = 60;

// The first line of a block that holds more values than the header names columns.
struct ExtraValues {
  long line = -1;  // 0-based line within the block; -1: none
  int values = 0;  // all values of that line
};

// The first line of a block with an empty field between two tabs (read as a missing value).
struct EmptyField {
  long line = -1;  // 0-based line within the block; -1: none
  int column = 0;  // 0-based
};

// The date of a pooled record and its line (0-based within the block), to find a date that a
// file holds twice.
struct RowDate {
  long long year = 0, month = 0, day = 0, hour = 0;
  long line = 0;
  bool operator==(const RowDate& other) const {
    return year == other.year && month == other.month && day == other.day && hour == other.hour;
  }
  // Calendar order (the line does not count).
  bool operator<(const RowDate& other) const {
    if (year != other.year) return year < other.year;
    if (month != other.month) return month < other.month;
    if (day != other.day) return day < other.day;
    return hour < other.hour;
  }
};

struct ParsedBlock {
  std::vector<unsigned char> months;  // month 1..12 of each record that contributes
  std::vector<double> values;         // `columns` transformed values per such record; the
                                      // buffer may be longer, months.size() rows are valid
  // When asked for (and the values are transformed): the records' values as read, rows as in
  // `values`, whose markers tell which are pooled.
  std::vector<double> read;
  bool has_read = false;
  // When asked for: the natural logarithm of each value as read (a NaN for one not above 0),
  // rows as in `values`.
  std::vector<double> logs;
  bool has_logs = false;
  bool rows_kept = false;  // --sample: a copy of the rows is kept (set by whoever keeps it)
  // The first warnings in line order, as many as a file shows; the rest are only counted, so
  // that a block of garbage lines holds no more than a block of records.
  std::vector<BlockWarning> warnings;
  long unshown_warnings = 0;
  // (record, column), both 0-based, of each value at or below the log-normal bound: rare, so
  // they are noted here and counted later, off the summing loop.
  std::vector<std::pair<uint32_t, uint32_t>> bound_hits;
  long lines = 0;        // lines in the block
  long records = 0;      // lines with values, also of month 0
  long month_zero = 0;   // of those, records of month 0
  long not_records = 0;  // lines that are neither records nor blank
  ExtraValues extra;
  EmptyField empty;
  std::vector<double> reordered;  // a row as read, while it is moved into another column order
  std::vector<RowDate> dates;     // the data pass: each pooled record's date, rows as `months`
};

// What a block keeps besides its transformed values.
struct RowCopies {
  bool read = false;  // the values as read, where the mode transforms them
  bool logs = false;  // their logarithms, where the mode is not LN2
};

// Parses every line of `block` (whole lines; the last may lack its newline).
// `order`, where given, holds for each of the file's columns the column its values go to.
void parse_block(std::string_view block, int columns, const Distribution& dist, ParsedBlock& out,
                 FileLayout layout = FileLayout::standard, RowCopies copies = {},
                 const std::vector<int>* order = nullptr);

// As parse_block, for a later pass over files whose lines the data pass has described: only the
// months and the values as read (missing ones marked), no warnings, counts or bound hits.
void parse_block_values(std::string_view block, int columns, ParsedBlock& out,
                        FileLayout layout = FileLayout::standard,
                        const std::vector<int>* order = nullptr);

}  // namespace pctlfit
