#include "stats/fit_comparison.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "stats/cell_fit.h"

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

FitComparison allocate_comparison(int columns, const Distribution& dist, bool families,
                                  bool gamma_alone) {
  FitComparison comparison;
  comparison.columns = columns;
  comparison.run_mode = dist.mode;
  comparison.table_scale = family_of(dist.mode).scale;
  comparison.lower_limit = dist.lower_limit;
  comparison.families = families;
  comparison.moments = !gamma_alone;
  const size_t cells = grid_cells(columns);
  if (families || comparison.table_scale != FitScale::values) comparison.nv.resize(cells);
  if (!gamma_alone && (families || comparison.table_scale != FitScale::log_values)) {
    comparison.ln2.resize(cells);
  }
  return comparison;
}

const DomainSums& values_sums(const FitComparison& comparison, size_t cell) {
  static const DomainSums none;
  return comparison.nv.empty() ? none : comparison.nv[cell];
}

const DomainSums& log_sums(const FitComparison& comparison, size_t cell) {
  static const DomainSums none;
  return comparison.ln2.empty() ? none : comparison.ln2[cell];
}

namespace {

// The moment fits' log-likelihoods from the second look: P3 and LP3 (LP3 with the Jacobian,
// the sum of ln x) at their own bound, LN3 per cell at its mu and sigma.
std::optional<double> pearson_log_likelihood(const std::optional<PearsonLikelihood>& fit, double n,
                                             double logs, double beyond, double jacobian) {
  if (!fit || beyond > 0) return std::nullopt;
  return (fit->shape - 1) * logs - n * fit->shape -
         n * (std::lgamma(fit->shape) + fit->shape * std::log(fit->scale)) - jacobian;
}

std::optional<double> ln3_log_likelihood(const std::optional<Ln3Fit>& fit, double n,
                                         const SecondLook& look) {
  if (!fit || look.ln3_beyond > 0) return std::nullopt;
  return -n * (std::log(fit->sigma) + 0.5 * std::log(2 * std::numbers::pi)) - look.ln3_logs -
         look.ln3_squares / (2 * fit->sigma * fit->sigma);
}

// The AICs of the families beyond the normals: GAM from the sums, the moment fits from the
// second look (where it ran).
void family_aics(const FitComparison& comparison, const MonthStats& record, size_t cell,
                 CellAic& result) {
  const DomainSums& x = comparison.nv[cell];
  const DomainSums& ln = comparison.ln2[cell];
  const CellSums sums{comparison.table_scale, record, x, ln};
  const CellFit gamma = fit_cell(DistributionMode::GAM, sums, 0.0);
  std::array<std::optional<double>, kFitModes> lnl;
  if (gamma.fitted) {
    lnl[comparison_slot(DistributionMode::GAM)] =
        gamma_log_likelihood(gamma.gamma, x.n, x.shift + x.about / x.n, ln.shift + ln.about / ln.n);
  }
  if (!comparison.second.empty()) {
    const SecondLook& look = comparison.second[cell];
    const SecondLookFits& fits = comparison.fits[cell];
    const double sum_ln = ln.n * ln.shift + ln.about;
    lnl[comparison_slot(DistributionMode::P3)] =
        pearson_log_likelihood(fits.p3, x.n, look.p3_logs, look.p3_beyond, 0.0);
    if (ln.n == x.n) {
      lnl[comparison_slot(DistributionMode::LP3)] =
          pearson_log_likelihood(fits.lp3, x.n, look.lp3_logs, look.lp3_beyond, sum_ln);
    }
    if (comparison.run_mode == DistributionMode::LN3_auto) {
      lnl[comparison_slot(DistributionMode::LN3)] = ln3_log_likelihood(fits.ln3, x.n, look);
    }
  }
  for (size_t slot = 0; slot < kFitModes; ++slot) {
    if (!lnl[slot] || !std::isfinite(*lnl[slot])) continue;
    const double k = kCompared[slot] == DistributionMode::GAM ? 2 : 3;
    result.aic[slot] = 2 * k - 2 * *lnl[slot];
  }
}

}  // namespace

CellAic cell_aic(const FitComparison& comparison, const MonthStats& record, size_t cell) {
  CellAic result;
  const DistributionMode run = comparison.run_mode;
  const DomainSums own{record.count, 0.0, record.sum, record.sum_sq, 0.0};
  // All values equal: no spread in any domain, however the sums round. Every deviation from the
  // first value is then exactly 0, and any other value makes one that is not.
  const bool spread = has_bound(run) ? comparison.nv[cell].squares > 0 : record.min < record.max;
  if (!spread) return result;
  for (const DistributionMode mode : kCompared) {
    if (!is_normal_fit(mode)) continue;
    const std::optional<double> lnl =
        log_likelihood(sums_of(comparison, family_of(mode), cell, own), record.count, mode);
    if (lnl) result.aic[family_index(mode)] = 4 - 2 * *lnl;
  }
  if (comparison.families) family_aics(comparison, record, cell, result);
  for (size_t slot = 0; slot < kFitModes; ++slot) {
    if (!result.aic[slot]) continue;
    if (!result.best || *result.aic[slot] < *result.aic[comparison_slot(*result.best)]) {
      result.best = kCompared[slot];
    }
  }
  return result;
}

bool is_compared(const FitComparison& comparison, DistributionMode mode) {
  // A lower limit is compared where it is the run's, given or per cell; the families beyond
  // the normals where the run asks for them.
  if (mode == DistributionMode::LN3) {
    return comparison.run_mode == DistributionMode::LN3 ||
           comparison.run_mode == DistributionMode::LN3_auto;
  }
  return is_normal_fit(mode) || comparison.families;
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
      ++summary.wins[comparison_slot(*aic.best)];
      for (size_t m = 0; m < kFitModes; ++m) {
        if (is_compared(comparison, kCompared[m]) && !aic.aic[m]) ++summary.not_fitted[m];
      }
      const std::optional<double> own = aic.aic[comparison_slot(mode)];
      const double best = *aic.aic[comparison_slot(*aic.best)];
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
