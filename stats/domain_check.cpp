#include "stats/domain_check.h"

#include <cstdio>

#include "text/warning_text.h"

namespace pctlfit {

namespace {

std::string month_list(const std::vector<int>& months) {
  std::string text;
  for (int month : months) {
    if (!text.empty()) text += ", ";
    text += std::to_string(month);
  }
  return text;
}

std::string bound_text(const Distribution& dist) {
  if (!has_lower_limit(dist.mode)) return "0";
  char text[64];
  std::snprintf(text, sizeof text, "%g", dist.lower_limit);
  return text;
}

// After the shown lines of a kind: how many columns more, and where all of them are.
std::string more_columns(int more, const std::string& what) {
  return warning_text("", std::to_string(more) + " more columns " + what +
                              " (the figure table, --table, lists every column and month)");
}

// Lines of one kind, at most `limit` of them; the rest are counted in `more`.
struct LimitedLines {
  std::vector<std::string>& lines;
  int limit;
  int shown = 0;
  int more = 0;
  void add(const std::string& line) {
    if (shown < limit) {
      lines.push_back(line);
      ++shown;
    } else {
      ++more;
    }
  }
};

// The months (1..12) of a column for which `holds(month)` is true.
template <typename Holds>
std::vector<int> months_where(Holds holds) {
  std::vector<int> months;
  for (int month = 1; month <= kMonths; ++month) {
    if (holds(month)) months.push_back(month);
  }
  return months;
}

void add_bound_warnings(std::vector<std::string>& lines, const StatsTable& table,
                        const CellCounts& counts, const Distribution& dist,
                        const std::vector<std::string>& headings, int limit) {
  LimitedLines limited{lines, limit};
  for (int column = 1; column <= table.columns; ++column) {
    const auto count = [&](int month) { return counts.cells[cell_index(counts, column, month)]; };
    const std::vector<int> months = months_where([&](int month) { return count(month) > 0; });
    if (months.empty()) continue;
    uint64_t total = 0;
    for (int month : months) total += count(month);
    limited.add(warning_text(column_name(column, headings),
                             std::to_string(total) + " values at or below " + bound_text(dist) +
                                 "; months " + month_list(months) +
                                 " report non-finite or zero percentiles"));
  }
  if (limited.more > 0) {
    lines.push_back(more_columns(limited.more, "with values at or below " + bound_text(dist)));
  }
}

void add_empty_month_warnings(std::vector<std::string>& lines, const StatsTable& table,
                              const std::vector<std::string>& headings, int limit,
                              const CellCounts* zeros) {
  LimitedLines limited{lines, limit};
  for (int column = 1; column <= table.columns; ++column) {
    const std::vector<int> months = months_where([&](int month) {
      return table_cell(table, column, month).count == 0 &&
             (zeros == nullptr || zeros->cells[cell_index(*zeros, column, month)] == 0);
    });
    if (months.empty()) continue;
    limited.add(
        warning_text(column_name(column, headings), "no values in months " + month_list(months)));
  }
  if (limited.more > 0) lines.push_back(more_columns(limited.more, "with months without values"));
}

// A month whose values are all at or above 0 and whose fitted 5 % figure is below 0.
bool fits_below_zero(const MonthStats& sums, const Distribution& dist) {
  if (sums.count == 0 || !(sums.min >= 0)) return false;
  MonthStats cell = sums;
  finalize_stats(cell);
  return percentile(dist, cell, 5.0) < 0;
}

}  // namespace

std::string column_name(int column, const std::vector<std::string>& headings) {
  const size_t index = static_cast<size_t>(column - 1);
  const std::string number = "column " + std::to_string(column);
  return index < headings.size() && !headings[index].empty() ? number + " (" + headings[index] + ")"
                                                             : number;
}

std::vector<std::string> negative_fit_warnings(const StatsTable& table, const Distribution& dist,
                                               const std::vector<std::string>& headings,
                                               int limit) {
  std::vector<std::string> lines;
  if (has_bound(dist.mode)) return lines;  // its figures stay above the bound
  LimitedLines limited{lines, limit};
  for (int column = 1; column <= table.columns; ++column) {
    const std::vector<int> months = months_where(
        [&](int month) { return fits_below_zero(table_cell(table, column, month), dist); });
    if (months.empty()) continue;
    limited.add(warning_text(column_name(column, headings),
                             "values all at or above 0, but the normal fit's 5 % figure is "
                             "below 0 in months " +
                                 month_list(months) + "; LN2 or LN3 keeps figures above 0"));
  }
  if (limited.more > 0) {
    lines.push_back(more_columns(limited.more, "whose normal fit goes below 0"));
  }
  return lines;
}

std::vector<std::string> domain_warnings(const StatsTable& table, const CellCounts& counts,
                                         const Distribution& dist,
                                         const std::vector<std::string>& headings, int limit,
                                         const CellCounts* zeros) {
  std::vector<std::string> lines;
  if (has_bound(dist.mode) && counts.columns == table.columns) {
    add_bound_warnings(lines, table, counts, dist, headings, limit);
  }
  add_empty_month_warnings(lines, table, headings, limit, zeros);
  return lines;
}

}  // namespace pctlfit
