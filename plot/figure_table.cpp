#include "plot/figure_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "report/table_columns.h"

namespace pctlfit::plot {

namespace {

bool parse_count(const std::string& text, uint64_t& value) {
  const char* end = text.data() + text.size();
  const auto [parsed_end, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && parsed_end == end;
}

// A figure's field: NaN where it is empty (a month without values).
double figure_or_nan(const std::string& text) {
  return text.empty() ? NAN : std::strtod(text.c_str(), nullptr);
}

// A month's figures, sample figures, flags and best mode, from a row already placed.
void read_month_fields(const std::vector<std::string>& fields, size_t m, FigureTable& table) {
  for (size_t f = 0; f < 5; ++f) {
    table.figures.back()[m][f] = figure_or_nan(fields[index_of(TableColumn::min) + f]);
  }
  if (table.fields > index_of(TableColumn::flag)) {
    table.no_fit.back()[m] = fields[index_of(TableColumn::flag)] == "no fit";
  }
  if (table.fields > index_of(TableColumn::mode)) table.mode = fields[index_of(TableColumn::mode)];
  if (table.compared) table.best.back()[m] = fields[table.best_field];
  if (table.with_families) table.families.back()[m] = fields[table.family_field];
  for (size_t f = 0; f < 3; ++f) {
    table.sample.back()[m][f] = table.sampled ? figure_or_nan(fields[table.sample_fields[f]]) : NAN;
  }
  for (size_t f = 0; f < 6; ++f) {
    table.intervals.back()[m][f] =
        table.with_intervals ? figure_or_nan(fields[table.interval_fields[f]]) : NAN;
  }
  if (table.fields > index_of(TableColumn::misfit)) {
    const std::string& misfit = fields[index_of(TableColumn::misfit)];
    table.misfit.back()[m] = misfit == "1";
    table.checked = table.checked || !misfit.empty();
  }
}

// One row: its column, month and n, in order (column 1 months 1..12, then column 2, ...).
bool parse_row(const std::vector<std::string>& fields, size_t index, FigureTable& table,
               std::string& what) {
  if (fields.size() != table.fields) {
    what = "expected " + std::to_string(table.fields) + " fields, found " +
           std::to_string(fields.size());
    return false;
  }
  const uint64_t column = index / 12 + 1;
  const uint64_t month = index % 12 + 1;
  uint64_t read_column = 0, read_month = 0, n = 0;
  if (!parse_count(fields[index_of(TableColumn::column)], read_column) ||
      !parse_count(fields[index_of(TableColumn::month)], read_month) || read_column != column ||
      read_month != month) {
    what = "expected column " + std::to_string(column) + ", month " + std::to_string(month);
    return false;
  }
  if (!parse_count(fields[index_of(TableColumn::n)], n)) {
    what = "n is not a count";
    return false;
  }
  if (month == 1) {
    table.headings.push_back(fields[index_of(TableColumn::heading)]);
    table.counts.push_back({});
    table.misfit.push_back({});
    table.sample.push_back({});
    table.intervals.push_back({});
    table.no_fit.push_back({});
    table.best.push_back({});
    table.families.push_back({});
    table.figures.push_back({});
  }
  table.counts.back()[month - 1] = n;
  read_month_fields(fields, month - 1, table);
  return true;
}

}  // namespace

std::vector<std::vector<std::string>> parse_csv(const std::string& text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> fields(1);
  bool quoted = false;
  bool any = false;  // the current record has begun
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    any = true;
    if (quoted) {
      if (c != '"') {
        fields.back() += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      if (c == '\r') ++i;
      records.push_back(std::move(fields));
      fields.assign(1, {});
      any = false;
    } else {
      fields.back() += c;
    }
  }
  if (any) records.push_back(std::move(fields));
  return records;
}

namespace {

// The fields of a table's rows, by its header line: the tables of every version, with or
// without the check's columns, with the columns of further levels; 0 for no figure table.
size_t table_fields(const std::vector<std::vector<std::string>>& records) {
  // Tables of every version: with or without the check's columns.
  const auto is_header = [&](size_t fields) {
    return !records.empty() &&
           records[0] == std::vector<std::string>(
                             kTableColumnNames.begin(),
                             kTableColumnNames.begin() + static_cast<std::ptrdiff_t>(fields));
  };
  // A table of a run with --levels has a column for each further level after all the others.
  const bool with_levels =
      !records.empty() && records[0].size() > kTableColumns &&
      std::equal(kTableColumnNames.begin(), kTableColumnNames.end(), records[0].begin());
  const size_t fields = with_levels                            ? records[0].size()
                        : is_header(kTableColumns)             ? kTableColumns
                        : is_header(kTableColumnsWithoutFlag)  ? kTableColumnsWithoutFlag
                        : is_header(kTableColumnsWithoutMode)  ? kTableColumnsWithoutMode
                        : is_header(kTableColumnsWithoutCheck) ? kTableColumnsWithoutCheck
                                                               : 0;
  return fields;
}

// Whether the header has every one of `names`, with their places into `places`.
template <size_t N>
bool find_columns(const std::vector<std::string>& header, const std::array<const char*, N>& names,
                  std::array<size_t, N>& places) {
  for (size_t f = 0; f < N; ++f) {
    const auto found = std::find(header.begin(), header.end(), names[f]);
    if (found == header.end()) return false;
    places[f] = static_cast<size_t>(found - header.begin());
  }
  return true;
}

// Where the columns that stand anywhere after the others are: the sample figures at 5, 50 and
// 95 %, the intervals of the fitted ones, the best mode, each month's family, the zeros' p0.
void find_later_columns(const std::vector<std::string>& header, bool with_levels,
                        FigureTable& table) {
  const std::array<const char*, 3> sample_names = {"sample_p5", "sample_p50", "sample_p95"};
  table.sampled = with_levels && find_columns(header, sample_names, table.sample_fields);
  const std::array<const char*, 6> interval_names = {"lo_p5",  "hi_p5",  "lo_p50",
                                                     "hi_p50", "lo_p95", "hi_p95"};
  table.with_intervals = with_levels && find_columns(header, interval_names, table.interval_fields);
  const auto best = std::find(header.begin(), header.end(), "best");
  table.compared = with_levels && best != header.end();
  table.zeros = with_levels && std::find(header.begin(), header.end(), "p0") != header.end();
  table.best_field = static_cast<size_t>(best - header.begin());
  const auto family = std::find(header.begin(), header.end(), "family");
  table.with_families = with_levels && family != header.end();
  table.family_field = static_cast<size_t>(family - header.begin());
}

}  // namespace

bool parse_figure_table(const std::string& text, const std::string& file, FigureTable& table,
                        std::string& error) {
  const std::vector<std::vector<std::string>> records = parse_csv(text);
  const size_t fields = table_fields(records);
  if (fields == 0) {
    error = file + ":1: not a pctlfit figure table (expected the header " +
            "column,heading,month,n,...)";
    return false;
  }
  table = {};
  table.fields = fields;
  find_later_columns(records[0], fields > kTableColumns, table);
  for (size_t i = 1; i < records.size(); ++i) {
    std::string what;
    if (!parse_row(records[i], i - 1, table, what)) {
      error = file + ":" + std::to_string(i + 1) + ": " + what;
      return false;
    }
  }
  if ((records.size() - 1) % 12 != 0) {
    error = file + ": the last column has only " + std::to_string((records.size() - 1) % 12) +
            " of 12 months";
    return false;
  }
  return true;
}

}  // namespace pctlfit::plot
