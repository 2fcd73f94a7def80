#include "stats/fit_check.h"

#include <algorithm>
#include <cmath>

#include "stats/family_fit.h"

namespace pctlfit {

namespace {

// The share of values below a true 5 % line, and how unlikely a count must be to be a misfit:
// outside the two-sided 99 % band.
constexpr double kLineShare = 0.05;
constexpr double kImplausible = 0.005;

double log_binomial_term(uint64_t n, uint64_t i, double p) {
  const double dn = static_cast<double>(n), di = static_cast<double>(i);
  return std::lgamma(dn + 1) - std::lgamma(di + 1) - std::lgamma(dn - di + 1) + di * std::log(p) +
         (dn - di) * std::log1p(-p);
}

// The sum of the terms from i = from outwards (downwards when `down`) while they matter. Used
// only from a point at or beyond the mode outwards, where the terms shrink at every step; each
// term comes from the one before by the ratio of neighbouring terms.
double tail_sum(uint64_t n, uint64_t from, double p, bool down) {
  const double odds = p / (1 - p);
  double term = std::exp(log_binomial_term(n, from, p));
  double sum = 0;
  for (uint64_t i = from;;) {
    sum += term;
    if (term <= sum * 1e-17 || (down && i == 0) || (!down && i == n)) break;
    const double di = static_cast<double>(i), dn = static_cast<double>(n);
    term *= down ? di / (dn - di + 1) / odds : (dn - di) / (di + 1) * odds;
    down ? --i : ++i;
  }
  return std::min(sum, 1.0);
}

}  // namespace

double binomial_at_most(uint64_t n, uint64_t k, double p) {
  if (k >= n) return 1.0;
  // Sum the shorter tail: below the mode directly, above it as the complement.
  const double mode = std::floor(static_cast<double>(n + 1) * p);
  if (static_cast<double>(k) <= mode) return tail_sum(n, k, p, true);
  return std::max(0.0, 1.0 - tail_sum(n, k + 1, p, false));
}

double binomial_at_least(uint64_t n, uint64_t k, double p) {
  if (k == 0) return 1.0;
  return std::max(0.0, 1.0 - binomial_at_most(n, k - 1, p));
}

FitCheck prepare_fit_check(const StatsTable& table, const Distribution& dist,
                           const CellCounts* zeros, const std::vector<CellFit>* fits) {
  FitCheck check;
  check.columns = table.columns;
  check.cells.resize(table.cells.size());
  for (size_t i = 0; i < table.cells.size(); ++i) {
    const MonthStats& stats = table.cells[i];
    FitCell& cell = check.cells[i];
    cell.zeros = zeros != nullptr ? zeros->cells[i] : 0;
    const CellFit* fit = fits != nullptr ? &(*fits)[i] : nullptr;
    cell.checked = stats.count > 0 && std::isfinite(stats.mean) && std::isfinite(stats.std_dev) &&
                   (fit == nullptr || fit->fitted);
    if (!cell.checked) continue;
    cell.mean = stats.mean;
    cell.p5 = cell_figure(dist, stats, cell.zeros, fit, 5.0);
    cell.p95 = cell_figure(dist, stats, cell.zeros, fit, 95.0);
    const double p0 = double(cell.zeros) / (stats.count + double(cell.zeros));
    cell.judge_below = p0 < kLineShare;
    cell.judge_above = p0 < 1 - kLineShare;
  }
  return check;
}

bool counts_match(const FitCheck& check, const StatsTable& table) {
  for (size_t i = 0; i < check.cells.size(); ++i) {
    const FitCell& cell = check.cells[i];
    if (cell.checked && cell.values != uint64_t(table.cells[i].count) + cell.zeros) return false;
  }
  return true;
}

FitVerdict judge_fit(const FitCell& cell, uint64_t n) {
  FitVerdict verdict;
  if (!cell.checked || n == 0) return verdict;
  if (n >= 3 && cell.m2 > 0) {
    const double dn = static_cast<double>(n);
    const double m2 = cell.m2 / dn, m3 = cell.m3 / dn;
    verdict.skew = skewness_g1(dn, m2, m3);
  }
  // The lines are of every value, the mass at the bound among them.
  const uint64_t all = n + cell.zeros;
  for (const auto& [count, judged] :
       {std::pair{cell.below_p5, cell.judge_below}, std::pair{cell.above_p95, cell.judge_above}}) {
    if (!judged) continue;
    verdict.tail = std::min({verdict.tail, binomial_at_most(all, count, kLineShare),
                             binomial_at_least(all, count, kLineShare)});
  }
  verdict.misfit = verdict.tail < kImplausible;
  return verdict;
}

MisfitRanking rank_misfits(const FitCheck& check, const StatsTable& table) {
  MisfitRanking ranking;
  for (int month = 1; month <= kMonths; ++month) {
    for (int column = 1; column <= check.columns; ++column) {
      const FitCell& cell = check_cell(check, column, month);
      const auto n = static_cast<uint64_t>(table_cell(table, column, month).count);
      if (!cell.checked) {
        ++(n > 0 ? ranking.not_finite : cell.zeros > 0 ? ranking.only_zeros : ranking.empty);
        continue;
      }
      ++ranking.checked;
      const FitVerdict verdict = judge_fit(cell, n);
      if (verdict.misfit) ranking.misfits.push_back({verdict.tail, column, month, n, &cell});
    }
  }
  std::stable_sort(ranking.misfits.begin(), ranking.misfits.end(),
                   [](const Misfit& a, const Misfit& b) { return a.tail < b.tail; });
  return ranking;
}

}  // namespace pctlfit
