#include "stats/fit_comparison.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pctlfit {

namespace {

// A mode's log-likelihood at its maximum-likelihood parameters; none where it has no density.
std::optional<double> log_likelihood(const DomainSums& sums, double all, DistributionMode mode) {
  if (sums.n < all || sums.n < 3) return std::nullopt;
  const double n = sums.n;
  const double s2 = (sums.squares - sums.about * sums.about / n) / n;
  if (!(s2 > 0) || !std::isfinite(s2)) return std::nullopt;
  const double jacobian = has_bound(mode) ? n * sums.shift + sums.about : 0.0;
  const double value = -n / 2 * (std::log(2 * std::numbers::pi * s2) + 1) - jacobian;
  return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// The sums a family's fit of `cell` reads: the table's own for the run's family, else those
// the data pass kept on the family's scale (none for a lower limit other than the run's).
const DomainSums& sums_of(const FitComparison& comparison, const DistributionFamily& family,
                          size_t cell, const DomainSums& own) {
  static const DomainSums none;
  if (family.mode == comparison.run_mode) return own;
  switch (family.scale) {
    case FitScale::values:
      return comparison.nv[cell];
    case FitScale::log_values:
      return comparison.ln2[cell];
    case FitScale::log_above_limit:
      return none;
  }
  return none;
}

}  // namespace

FitComparison allocate_comparison(int columns, const Distribution& dist) {
  FitComparison comparison;
  comparison.columns = columns;
  comparison.run_mode = dist.mode;
  comparison.lower_limit = dist.lower_limit;
  const size_t cells = grid_cells(columns);
  const FitScale scale = family_of(dist.mode).scale;
  if (scale != FitScale::values) comparison.nv.resize(cells);
  if (scale != FitScale::log_values) comparison.ln2.resize(cells);
  return comparison;
}

CellAic cell_aic(const FitComparison& comparison, const MonthStats& record, size_t cell) {
  CellAic result;
  const DistributionMode run = comparison.run_mode;
  const DomainSums own{record.count, 0.0, record.sum, record.sum_sq};
  // All values equal: no spread in any domain, however the sums round. Every deviation from the
  // first value is then exactly 0, and any other value makes one that is not.
  const bool spread = has_bound(run) ? comparison.nv[cell].squares > 0 : record.min < record.max;
  if (!spread) return result;
  for (const DistributionFamily& family : kFamilies) {
    const DistributionMode mode = family.mode;
    const std::optional<double> lnl =
        log_likelihood(sums_of(comparison, family, cell, own), record.count, mode);
    if (!lnl) continue;
    const double aic = 4 - 2 * *lnl;
    result.aic[family_index(mode)] = aic;
    if (!result.best || aic < *result.aic[family_index(*result.best)]) result.best = mode;
  }
  return result;
}

ComparisonSummary summarise_comparison(const FitComparison& comparison, const StatsTable& table) {
  const DistributionMode mode = comparison.run_mode;
  ComparisonSummary summary;
  for (int column = 1; column <= comparison.columns; ++column) {
    for (int month = 1; month <= kMonths; ++month) {
      const size_t cell = cell_index(comparison.columns, column, month);
      ++summary.months;
      const CellAic aic = cell_aic(comparison, table.cells[cell], cell);
      if (!aic.best) continue;
      ++summary.compared;
      ++summary.wins[family_index(*aic.best)];
      for (size_t m = 0; m < kFitModes; ++m) {
        // A lower limit is compared where it is the run's, the one given.
        const bool compared = !has_lower_limit(kFamilies[m].mode) || kFamilies[m].mode == mode;
        if (compared && !aic.aic[m]) ++summary.not_fitted[m];
      }
      const std::optional<double> own = aic.aic[family_index(mode)];
      const double best = *aic.aic[family_index(*aic.best)];
      if (own && *own - best > kNoSupport) {
        const auto n = static_cast<uint64_t>(table.cells[cell].count);
        summary.losses.push_back({column, month, n, *own, best, *aic.best});
      }
    }
  }
  std::stable_sort(
      summary.losses.begin(), summary.losses.end(),
      [](const AicLoss& a, const AicLoss& b) { return a.own - a.best > b.own - b.best; });
  return summary;
}

}  // namespace pctlfit
