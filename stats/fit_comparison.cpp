#include "stats/fit_comparison.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pctlfit {

namespace {

size_t mode_index(DistributionMode mode) { return static_cast<size_t>(mode) - 1; }

// A mode's log-likelihood at its maximum-likelihood parameters; none where it has no density.
std::optional<double> log_likelihood(const DomainSums& sums, DistributionMode mode) {
  if (sums.outside > 0 || sums.n < 3) return std::nullopt;
  const double n = sums.n;
  const double s2 = (sums.squares - sums.about * sums.about / n) / n;
  if (!(s2 > 0) || !std::isfinite(s2)) return std::nullopt;
  const double jacobian = mode == DistributionMode::NV ? 0.0 : n * sums.shift + sums.about;
  const double value = -n / 2 * (std::log(2 * std::numbers::pi * s2) + 1) - jacobian;
  return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

}  // namespace

FitComparison allocate_comparison(int columns, const Distribution& dist) {
  FitComparison comparison;
  comparison.columns = columns;
  comparison.with_ln3 = dist.mode == DistributionMode::LN3;
  comparison.lower_limit = dist.lower_limit;
  comparison.cells.resize(static_cast<size_t>(columns < 0 ? 0 : columns) * kMonths);
  return comparison;
}

CellAic cell_aic(const CompareCell& cell) {
  CellAic result;
  // All values equal: no spread in any domain, however the sums round. Every deviation from the
  // first value is then exactly 0, and any other value makes one that is not.
  if (!(cell.modes[0].squares > 0)) return result;
  for (const DistributionMode mode :
       {DistributionMode::NV, DistributionMode::LN2, DistributionMode::LN3}) {
    const std::optional<double> lnl = log_likelihood(cell.modes[mode_index(mode)], mode);
    if (!lnl) continue;
    const double aic = 4 - 2 * *lnl;
    result.aic[mode_index(mode)] = aic;
    if (!result.best || aic < *result.aic[mode_index(*result.best)]) result.best = mode;
  }
  return result;
}

ComparisonSummary summarise_comparison(const FitComparison& comparison, DistributionMode mode) {
  ComparisonSummary summary;
  for (int column = 1; column <= comparison.columns; ++column) {
    for (int month = 1; month <= kMonths; ++month) {
      const CompareCell& cell =
          comparison.cells[size_t(month - 1) * size_t(comparison.columns) + size_t(column - 1)];
      ++summary.months;
      const CellAic aic = cell_aic(cell);
      if (!aic.best) continue;
      ++summary.compared;
      ++summary.wins[mode_index(*aic.best)];
      const std::optional<double> own = aic.aic[mode_index(mode)];
      const double best = *aic.aic[mode_index(*aic.best)];
      if (own && *own - best > kNoSupport) {
        const auto n = static_cast<uint64_t>(cell.modes[mode_index(mode)].n);
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
