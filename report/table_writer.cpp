#include "report/table_writer.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "stats/cell_flag.h"

namespace pctlfit {

std::string csv_field(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string shortest_double(double value) {
  if (std::isnan(value)) return "nan";  // whatever its sign bit
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char text[32];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  return ec == std::errc() ? std::string(text, end) : "nan";
}

namespace {

// One row's data: its place, its counts, and the finalised cell.
struct TableRow {
  const FigureTableInput& input;
  int column;
  int month;
  const MonthStats& cell;
  size_t counted;             // its index in the count tables
  const FitCell* fit;         // its check, if --check-fit ran and the cell was checked
  FitVerdict verdict;         // of `fit`
  uint64_t zeros;             // --zeros: its values at the bound
  const CellFit* family_fit;  // the fit of its figures; null for the table's own normal
};

// The row's fitted figure at `level` percent.
double figure_at(const TableRow& row, double level) {
  return cell_figure(row.input.dist, row.cell, row.zeros, row.family_fit, level);
}

// A figure of a month with values; empty for a month without any.
std::string figure(const TableRow& row, double value) {
  return row.cell.count == 0 && row.zeros == 0 ? std::string() : shortest_double(value);
}

// A figure of the values above the bound (mean, sd); empty where there are none.
std::string fitted_figure(const TableRow& row, double value) {
  return row.cell.count == 0 ? std::string() : shortest_double(value);
}

// --check-fit's cells: empty without the check, or for a month it did not check.
std::string check_text(const TableRow& row, TableColumn column) {
  if (row.fit == nullptr) return {};
  if (column == TableColumn::below_p5) return std::to_string(row.fit->below_p5);
  if (column == TableColumn::above_p95) return std::to_string(row.fit->above_p95);
  if (column == TableColumn::skew)
    return row.verdict.skew ? shortest_double(*row.verdict.skew) : "";
  return row.verdict.misfit ? "1" : "0";
}

// The percentage of a percentile column.
double percent_of(TableColumn column) {
  return column == TableColumn::p5 ? 5.0 : column == TableColumn::p50 ? 50.0 : 95.0;
}

// The columns that say which cell it is and how many values it has.
std::string count_text(const TableRow& row, TableColumn column) {
  switch (column) {
    case TableColumn::column:
      return std::to_string(row.column);
    case TableColumn::heading: {
      const size_t index = static_cast<size_t>(row.column - 1);
      return csv_field(index < row.input.headings.size() ? row.input.headings[index] : "");
    }
    case TableColumn::month:
      return std::to_string(row.month);
    case TableColumn::n:
      return std::to_string(static_cast<uint64_t>(row.cell.count) + row.zeros);
    case TableColumn::missing:
      return std::to_string(row.input.results.missing.cells[row.counted]);
    default:
      return std::to_string(row.input.results.at_or_below_bound.cells[row.counted]);
  }
}

// The fit's figures.
std::string fit_text(const TableRow& row, TableColumn column) {
  const Distribution& dist = row.input.dist;
  const MonthStats& cell = row.cell;
  switch (column) {
    case TableColumn::mean:
      return fitted_figure(row, cell.mean);
    case TableColumn::sd:
      return fitted_figure(row, cell.std_dev);
    case TableColumn::min:
      return figure(row, mixed_min(dist, cell, row.zeros));
    case TableColumn::max:
      return figure(row, mixed_max(dist, cell, row.zeros));
    default:
      return figure(row, figure_at(row, percent_of(column)));
  }
}

// A given LN3 limit, or the bound a fit of LN3 per cell found; empty in other families.
std::string lower_limit_text(const TableRow& row) {
  if (row.family_fit != nullptr) {
    const std::optional<double> limit = fitted_lower_limit(*row.family_fit);
    return limit ? shortest_double(*limit) : "";
  }
  const Distribution& dist = row.input.dist;
  return has_lower_limit(dist.mode) ? shortest_double(dist.lower_limit) : "";
}

std::string cell_text(const TableRow& row, TableColumn column) {
  const Distribution& dist = row.input.dist;
  switch (column) {
    case TableColumn::column:
    case TableColumn::heading:
    case TableColumn::month:
    case TableColumn::n:
    case TableColumn::missing:
    case TableColumn::at_or_below_bound:
      return count_text(row, column);
    case TableColumn::mean:
    case TableColumn::sd:
    case TableColumn::min:
    case TableColumn::p5:
    case TableColumn::p50:
    case TableColumn::p95:
    case TableColumn::max:
      return fit_text(row, column);
    case TableColumn::below_p5:
    case TableColumn::above_p95:
    case TableColumn::skew:
    case TableColumn::misfit:
      return check_text(row, column);
    case TableColumn::mode:
      return mode_name(dist.mode);
    case TableColumn::lower_limit:
      return lower_limit_text(row);
    case TableColumn::flag:
      return std::string(flag_word(cell_flag(dist, row.cell,
                                             row.input.results.at_or_below_bound.cells[row.counted],
                                             row.verdict.misfit, row.zeros, row.family_fit)));
  }
  return {};
}

// --compare-fits' cells, each after a comma: the three AICs (empty where a mode has none) and
// the best mode.
std::string comparison_text(const FitComparison& comparison, const MonthStats& record, int column,
                            int month) {
  const CellAic aic = cell_aic(comparison, record, cell_index(comparison.columns, column, month));
  std::string text;
  for (const std::optional<double>& value : aic.aic) {
    text.append(",").append(value ? shortest_double(*value) : "");
  }
  return text.append(",").append(aic.best ? mode_name(*aic.best) : "");
}

// --compare-fits' cells and --fit=best's family, each after a comma.
std::string choice_text(const TableRow& row) {
  const CellResults& results = row.input.results;
  std::string text;
  if (results.comparison && results.comparison->reported) {
    text += comparison_text(*results.comparison, row.cell, row.column, row.month);
  }
  if (row.input.best) {
    const CellFit* fit = row.family_fit;
    text.append(",").append(fit != nullptr && fit->fitted ? mode_name(fit->mode) : "");
  }
  return text;
}

// --ci: a cell's intervals at its `levels` levels, each end after a comma, empty where it has
// none.
std::string interval_text(const std::vector<IntervalEnds>& ends, size_t cell, size_t levels) {
  std::string text;
  for (size_t l = 0; l < levels; ++l) {
    const IntervalEnds& end = ends[cell * levels + l];
    text.append(",").append(std::isnan(end.lo) ? "" : shortest_double(end.lo));
    text.append(",").append(std::isnan(end.hi) ? "" : shortest_double(end.hi));
  }
  return text;
}

std::string row_text(const FigureTableInput& input, int column, int month) {
  const CellResults& results = input.results;
  const MonthStats& cell = table_cell(results.table, column, month);
  const FitCell* fit = results.fit_check ? &check_cell(*results.fit_check, column, month) : nullptr;
  if (fit != nullptr && !fit->checked) fit = nullptr;
  const FitVerdict verdict =
      fit != nullptr ? judge_fit(*fit, static_cast<uint64_t>(cell.count)) : FitVerdict{};
  const size_t counted = cell_index(results.missing, column, month);
  const uint64_t zeros = results.zeros ? results.zeros->cells[counted] : 0;
  const TableRow row{
      input, column, month, cell, counted, fit, verdict, zeros, figure_fit(results, counted)};
  std::string text;
  for (size_t c = 0; c < kTableColumns; ++c) {
    if (c > 0) text += ',';
    text += cell_text(row, static_cast<TableColumn>(c));
  }
  for (double level : input.extra_levels) {
    text.append(",").append(figure(row, figure_at(row, level)));
  }
  const size_t levels = input.sample_levels.size();
  const size_t first = counted * levels;
  for (size_t l = 0; l < levels; ++l) {
    text += ',';
    if (results.sample) text += figure(row, (*results.sample)[first + l]);
  }
  text += choice_text(row);
  if (results.zeros) {
    const double total = cell.count + double(row.zeros);
    text.append(",").append(total == 0 ? "" : shortest_double(double(row.zeros) / total));
  }
  if (results.fitted_intervals) {
    text += interval_text(*results.fitted_intervals, counted, 3 + input.extra_levels.size());
  }
  if (results.sample_intervals) {
    text += interval_text(*results.sample_intervals, counted, levels);
  }
  return text + "\n";
}

}  // namespace

std::vector<double> extra_levels(const std::vector<double>& levels) {
  std::vector<double> extra;
  for (double level : levels) {
    if (level != 5.0 && level != 50.0 && level != 95.0) extra.push_back(level);
  }
  return extra;
}

std::string level_column_name(double level) {
  char text[32];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, level);
  std::string name = "p";
  name.append(text, ec == std::errc() ? end : text);
  return name;
}

std::vector<double> fitted_table_levels(const std::vector<double>& extra) {
  std::vector<double> levels = {5.0, 50.0, 95.0};
  levels.insert(levels.end(), extra.begin(), extra.end());
  return levels;
}

std::string figure_table_header(const TableExtras& extras) {
  std::string text;
  for (const std::string_view name : kTableColumnNames) {
    if (!text.empty()) text += ',';
    text += name;
  }
  for (double level : extras.extra_levels) text.append(",").append(level_column_name(level));
  for (double level : extras.sample_levels) {
    text.append(",sample_").append(level_column_name(level));
  }
  if (extras.compared) {
    for (const DistributionMode mode : kCompared) {
      text.append(",aic_").append(family_of(mode).option);
    }
    text += ",best";
  }
  if (extras.best) text += ",family";
  if (extras.zeros) text += ",p0";
  if (extras.fitted_intervals) {
    for (double level : fitted_table_levels(extras.extra_levels)) {
      const std::string name = level_column_name(level);
      text.append(",lo_").append(name).append(",hi_").append(name);
    }
  }
  if (extras.sample_intervals) {
    for (double level : extras.sample_levels) {
      const std::string name = level_column_name(level);
      text.append(",sample_lo_").append(name).append(",sample_hi_").append(name);
    }
  }
  return text;
}

bool write_figure_table(std::FILE* out, const FigureTableInput& input) {
  const CellResults& results = input.results;
  const TableExtras extras{input.extra_levels,
                           input.sample_levels,
                           results.comparison && results.comparison->reported,
                           input.best,
                           results.zeros.has_value(),
                           results.fitted_intervals.has_value(),
                           results.sample_intervals.has_value()};
  bool ok = std::fprintf(out, "%s\n", figure_table_header(extras).c_str()) >= 0;
  for (int column = 1; column <= input.results.table.columns && ok; ++column) {
    for (int month = 1; month <= kMonths && ok; ++month) {
      const std::string text = row_text(input, column, month);
      ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    }
  }
  return ok;
}

}  // namespace pctlfit
