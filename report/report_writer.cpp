#include "report/report_writer.h"

namespace pctlfit {

const char* report_title(DistributionMode mode, bool zeros, bool best) {
  if (best) return zeros ? kBestZerosTitle : kBestTitle;
  // With --zeros the figures are of a mixture, not of the mode alone: the title says so, so that
  // two reports of one data set that differ in it can be told apart.
  const DistributionFamily& family = family_of(mode);
  return zeros && family.zeros_title != nullptr ? family.zeros_title : family.title;
}

bool write_report_head(std::FILE* report, int columns, DistributionMode mode,
                       const std::vector<std::string>& entries, bool zeros, bool best) {
  bool ok = std::fputs("MM", report) >= 0;
  for (int j = 1; j <= columns && ok; ++j) {
    ok = std::fprintf(report, "\t%d_Min\t%d_5%%\t%d_50%%\t%d_95%%\t%d_Max", j, j, j, j, j) >= 0;
  }
  ok = ok && std::fputs("\n", report) >= 0;
  ok = ok && std::fputs(report_title(mode, zeros, best), report) >= 0;
  for (const std::string& entry : entries) {
    if (!ok) break;
    ok = std::fwrite(entry.data(), 1, entry.size(), report) == entry.size() &&
         std::fputc(' ', report) != EOF;
  }
  return ok && std::fputs("\n", report) >= 0;
}

bool title_names_other_files(std::string_view title_line, const std::vector<std::string>& entries) {
  std::string names;
  for (const std::string& entry : entries) names += entry + ' ';
  std::vector<const char*> titles = {kBestZerosTitle, kBestTitle};
  for (const DistributionFamily& family : kFamilies) {
    titles.push_back(family.zeros_title);
    titles.push_back(family.title);
  }
  for (const char* title : titles) {
    if (title != nullptr && title_line.starts_with(title)) {
      return title_line.substr(std::string_view(title).size()) != names;
    }
  }
  return false;
}

bool write_month_rows(std::FILE* report, const CellResults& results, const Distribution& dist) {
  const StatsTable& table = results.table;
  bool ok = true;
  for (int month = 1; month <= kMonths && ok; ++month) {
    ok = std::fprintf(report, "%d", month) >= 0;
    for (int column = 1; column <= table.columns && ok; ++column) {
      const MonthStats& cell = table_cell(table, column, month);
      const uint64_t zeros = results.zeros ? results.zeros->at(column, month) : 0;
      const CellFit* fit = figure_fit(results, table.index(column, month));
      // printf's own rounding and its spelling of inf and nan are part of the format.
      ok = std::fprintf(
               report, "\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f", mixed_min(dist, cell, zeros),
               cell_figure(dist, cell, zeros, fit, 5.0), cell_figure(dist, cell, zeros, fit, 50.0),
               cell_figure(dist, cell, zeros, fit, 95.0), mixed_max(dist, cell, zeros)) >= 0;
    }
    ok = ok && std::fputs("\n", report) >= 0;
  }
  return ok;
}

}  // namespace pctlfit
