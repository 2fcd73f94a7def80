#include "stats/domain_check.h"

#include <cstdio>

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
  if (dist.mode == DistributionMode::LN2) return "0";
  char text[64];
  std::snprintf(text, sizeof text, "%g", dist.lower_limit);
  return text;
}

// Adds `line` unless `limit` lines were added already; then counts it in `more`.
void add_limited(std::vector<std::string>& lines, const std::string& line, int& shown, int& more,
                 int limit) {
  if (shown < limit) {
    lines.push_back(line);
    ++shown;
  } else {
    ++more;
  }
}

}  // namespace

BoundCounts allocate_bound_counts(int columns) {
  BoundCounts counts;
  if (columns < 1) return counts;
  counts.columns = columns;
  counts.counts.assign(static_cast<size_t>(kMonths) * static_cast<size_t>(columns), 0);
  return counts;
}

std::vector<std::string> domain_warnings(const StatsTable& table, const BoundCounts& counts,
                                         const Distribution& dist, int limit) {
  std::vector<std::string> lines;
  const bool has_bound = dist.mode != DistributionMode::NV && counts.columns == table.columns;
  int shown = 0;
  int more = 0;
  for (int column = 1; has_bound && column <= table.columns; ++column) {
    uint64_t total = 0;
    std::vector<int> months;
    for (int month = 1; month <= kMonths; ++month) {
      const uint32_t n = counts.counts[bound_index(counts, column, month)];
      total += n;
      if (n > 0) months.push_back(month);
    }
    if (total == 0) continue;
    add_limited(lines,
                "pctlfit: warning: column " + std::to_string(column) + ": " +
                    std::to_string(total) + " values at or below " + bound_text(dist) +
                    "; months " + month_list(months) + " report non-finite or zero percentiles\n",
                shown, more, limit);
  }
  if (more > 0) {
    lines.push_back("pctlfit: warning: " + std::to_string(more) +
                    " more columns with values at or below " + bound_text(dist) + "\n");
  }
  shown = 0;
  more = 0;
  for (int column = 1; column <= table.columns; ++column) {
    std::vector<int> months;
    for (int month = 1; month <= kMonths; ++month) {
      if (table_cell(table, column, month).count == 0) months.push_back(month);
    }
    if (months.empty()) continue;
    add_limited(lines,
                "pctlfit: warning: column " + std::to_string(column) + ": no values in months " +
                    month_list(months) + "\n",
                shown, more, limit);
  }
  if (more > 0) {
    lines.push_back("pctlfit: warning: " + std::to_string(more) +
                    " more columns with months without values\n");
  }
  return lines;
}

}  // namespace pctlfit
