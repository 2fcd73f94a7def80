#include "stats/fit_comparison.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pctlfit {

namespace {

size_t mode_index(DistributionMode mode) { return static_cast<size_t>(mode) - 1; }

// A mode's log-likelihood at its maximum-likelihood parameters; none where it has no density.
std::optional<double> log_likelihood(const DomainSums& sums, double all, DistributionMode mode) {
  if (sums.n < all || sums.n < 3) return std::nullopt;
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
  comparison.run_mode = dist.mode;
  comparison.lower_limit = dist.lower_limit;
  const size_t cells = static_cast<size_t>(columns < 0 ? 0 : columns) * kMonths;
  if (dist.mode != DistributionMode::NV) comparison.nv.resize(cells);
  if (dist.mode != DistributionMode::LN2) comparison.ln2.resize(cells);
  return comparison;
}

CellAic cell_aic(const FitComparison& comparison, const MonthStats& record, size_t cell) {
  CellAic result;
  const DistributionMode run = comparison.run_mode;
  const DomainSums own{record.count, 0.0, record.sum, record.sum_sq};
  const DomainSums none;
  const DomainSums* sums[kFitModes] = {run == DistributionMode::NV ? &own : &comparison.nv[cell],
                                       run == DistributionMode::LN2 ? &own : &comparison.ln2[cell],
                                       run == DistributionMode::LN3 ? &own : &none};
  // All values equal: no spread in any domain, however the sums round. Every deviation from the
  // first value is then exactly 0, and any other value makes one that is not.
  const bool spread =
      run == DistributionMode::NV ? record.min < record.max : comparison.nv[cell].squares > 0;
  if (!spread) return result;
  for (const DistributionMode mode :
       {DistributionMode::NV, DistributionMode::LN2, DistributionMode::LN3}) {
    const std::optional<double> lnl = log_likelihood(*sums[mode_index(mode)], record.count, mode);
    if (!lnl) continue;
    const double aic = 4 - 2 * *lnl;
    result.aic[mode_index(mode)] = aic;
    if (!result.best || aic < *result.aic[mode_index(*result.best)]) result.best = mode;
  }
  return result;
}

ComparisonSummary summarise_comparison(const FitComparison& comparison, const StatsTable& table) {
  const DistributionMode mode = comparison.run_mode;
  ComparisonSummary summary;
  for (int column = 1; column <= comparison.columns; ++column) {
    for (int month = 1; month <= kMonths; ++month) {
      const size_t cell = size_t(month - 1) * size_t(comparison.columns) + size_t(column - 1);
      ++summary.months;
      const CellAic aic = cell_aic(comparison, table.cells[cell], cell);
      if (!aic.best) continue;
      ++summary.compared;
      ++summary.wins[mode_index(*aic.best)];
      for (size_t m = 0; m < kFitModes; ++m) {
        const bool compared = m != mode_index(DistributionMode::LN3) || mode == DistributionMode::LN3;
        if (compared && !aic.aic[m]) ++summary.not_fitted[m];
      }
      const std::optional<double> own = aic.aic[mode_index(mode)];
      const double best = *aic.aic[mode_index(*aic.best)];
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
