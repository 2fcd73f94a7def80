#include "input/warnings.h"

#include <algorithm>

#include "text/warning_text.h"

namespace pctlfit {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A field such as "3,887" or "-0,5": digits, one comma, digits.
bool is_decimal_comma(std::string_view field) {
  if (field.starts_with('-')) field.remove_prefix(1);
  const size_t comma = field.find(',');
  if (comma == std::string_view::npos || comma == 0 || comma + 1 == field.size()) return false;
  const auto digits = [](std::string_view part) {
    return std::all_of(part.begin(), part.end(), is_digit);
  };
  return digits(field.substr(0, comma)) && digits(field.substr(comma + 1));
}

// The field with its comma as a point.
std::string decimal_hint(std::string_view field) {
  std::string point(field);
  point[point.find(',')] = '.';
  return " (a decimal comma: values are written with a point, " + point + ")";
}

// What a line that is no record holds instead of blanks or tabs between its fields.
std::string separator_hint(std::string_view line_start) {
  if (line_start.find(';') != std::string_view::npos) {
    return "; its fields are separated by ';', where blanks or tabs belong";
  }
  if (line_start.find(',') != std::string_view::npos) {
    return "; its fields are separated by ',', where blanks or tabs belong";
  }
  return {};
}

std::string bad_value_text(const RecordParse& parse, const std::string& field,
                           const std::vector<std::string>& headings) {
  const size_t index = static_cast<size_t>(parse.bad_column);
  const bool named = index < headings.size() && !headings[index].empty();
  const std::string more = parse.bad_values > 1
                               ? "it and " + std::to_string(parse.bad_values - 1) + " more are"
                               : "it is";
  return "value " + std::to_string(parse.bad_column + 1) +
         (named ? " (" + headings[index] + ")" : "") + " is not a number: \"" + field + "\"; " +
         more + " left out as missing";
}

}  // namespace

namespace {
// A date layout record's date that no calendar or clock holds, or an offset after its time.
std::string date_problem_text(DateProblem problem, const std::string& date) {
  switch (problem) {
    case DateProblem::no_such_day:
      return "\"" + date + "\" is no day of the calendar; the record is pooled by its month";
    case DateProblem::no_such_time:
      return "\"" + date + "\" holds no time of a clock; the record is pooled by its month";
    case DateProblem::offset:
      return "\"" + date + "\": a time zone offset after the time is no value; it is skipped";
    case DateProblem::none:
      break;
  }
  return {};
}
}  // namespace

std::string describe_record_problem(const RecordParse& parse, const std::string& field, int columns,
                                    const std::vector<std::string>& headings) {
  if (parse.date_problem != DateProblem::none && parse.status != RecordStatus::month_out_of_range) {
    const size_t tab = field.find('\t');
    std::string text = date_problem_text(parse.date_problem, field.substr(0, tab));
    if (parse.status == RecordStatus::bad_value) {
      text += "; " + bad_value_text(parse, field.substr(tab + 1), headings);
    } else if (parse.status == RecordStatus::short_record) {
      text += "; only " + std::to_string(parse.values_read) + " of " + std::to_string(columns) +
              " values";
    }
    return text;
  }
  switch (parse.status) {
    case RecordStatus::not_a_record:
      return "not a record: \"" + field + "\"" + separator_hint(field);
    case RecordStatus::month_out_of_range:
      return "month " + std::to_string(parse.month) + " outside 1..12";
    case RecordStatus::bad_value: {
      const std::string text = bad_value_text(parse, field, headings);
      return is_decimal_comma(field) ? text + decimal_hint(field) : text;
    }
    case RecordStatus::short_record:
      return "only " + std::to_string(parse.values_read) + " of " + std::to_string(columns) +
             " values";
    case RecordStatus::too_long:
      return "not a record: its first " + std::to_string(columns + 4) +
             " fields do not end within " + std::to_string(longest_record_line(columns)) +
             " bytes; the line is skipped";
    case RecordStatus::record:
    case RecordStatus::blank:
      break;
  }
  return {};
}

namespace {
// 1st, 2nd, 3rd, 4th, ..., 11th, 12th, 13th, ..., 21st
std::string ordinal(int n) {
  const int tens = n % 100;
  const char* suffix = "th";
  if (tens < 11 || tens > 13) {
    if (n % 10 == 1) suffix = "st";
    if (n % 10 == 2) suffix = "nd";
    if (n % 10 == 3) suffix = "rd";
  }
  return std::to_string(n) + suffix;
}
}  // namespace

std::string describe_extra_values(int values, int columns,
                                  const std::vector<std::string>& headings) {
  std::string text = std::to_string(values) + " values, the header names " +
                     std::to_string(columns) + " columns; values after the " + ordinal(columns) +
                     " are not read";
  if (headings.size() == 1 && headings.front().find(' ') != std::string::npos) {
    text += " (the one heading is \"" + headings.front() +
            "\": headings are separated by tabs, after the line's first 12 characters)";
  }
  return text;
}

std::string describe_empty_field(int column, const std::vector<std::string>& headings) {
  const size_t index = static_cast<size_t>(column);
  const bool named = index < headings.size() && !headings[index].empty();
  return "an empty field between two tabs: value " + std::to_string(column + 1) +
         (named ? " (" + headings[index] + ")" : "") +
         " is missing; the values after it keep their columns (further empty fields of this "
         "file are not named)";
}

std::string describe_column_count(int columns, int first_columns) {
  return std::to_string(columns) + " columns, the first file has " + std::to_string(first_columns);
}

namespace {
void emit(WarningSink& sink, const std::string& text) {
  if (sink.out == nullptr) return;
  std::fputs(sink.prefix, sink.out);
  std::fwrite(text.data(), 1, text.size(), sink.out);
}
}  // namespace

void warn_line(WarningSink& sink, std::string_view file, long line, std::string_view what) {
  ++sink.total;
  if (sink.shown_in_file >= sink.per_file_limit) {
    ++sink.suppressed_in_file;
    return;
  }
  ++sink.shown_in_file;
  emit(sink, warning_text(at_line(file, line), what));
}

void count_unshown_warnings(WarningSink& sink, long count) {
  sink.total += count;
  sink.suppressed_in_file += count;
}

void warn_file(WarningSink& sink, std::string_view file, std::string_view what) {
  ++sink.total;
  emit(sink, warning_text(file, what));
}

void end_file_warnings(WarningSink& sink, std::string_view file) {
  if (sink.suppressed_in_file > 0) {
    emit(sink,
         warning_text(file, std::to_string(sink.suppressed_in_file) + " more warnings not shown"));
  }
  sink.shown_in_file = 0;
  sink.suppressed_in_file = 0;
}

}  // namespace pctlfit
