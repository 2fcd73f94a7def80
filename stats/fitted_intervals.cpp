#include "stats/fitted_intervals.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "stats/normal_quantile.h"
#include "stats/on_threads.h"

namespace pctlfit {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// What one interval needs: the sample size and the standard normal quantile of its level.
struct FactorKey {
  uint64_t n;
  double z;
  auto operator<=>(const FactorKey&) const = default;
};

// One cell's interval at one level: either the bound (the figure is the mixture's mass there),
// or the factors of a key, or none.
struct CellLevel {
  enum class Kind { none, bound, fitted } kind = Kind::none;
  FactorKey key{};
};

CellLevel cell_level(const MonthStats& cell, uint64_t at_bound, double level) {
  const double p = level / 100;
  double q = p;
  if (at_bound > 0) {
    const double p0 = double(at_bound) / (cell.count + double(at_bound));
    if (cell.count == 0 || p <= p0) return {CellLevel::Kind::bound, {}};
    q = (p - p0) / (1 - p0);
  }
  const bool fitted = cell.count >= 3 && std::isfinite(cell.mean) && std::isfinite(cell.std_dev) &&
                      cell.std_dev > 0;
  if (!fitted) return {};
  return {CellLevel::Kind::fitted, {static_cast<uint64_t>(cell.count), normal_quantile(q)}};
}

// The factors of every key, each worked out once, the keys shared out over the threads: the
// library's quantile takes up to milliseconds at large n, and most cells share their n.
std::vector<QuantileFactors> factors_of(const std::vector<FactorKey>& keys, double confidence,
                                        int thread_count) {
  std::vector<QuantileFactors> factors(keys.size());
  const int threads = static_cast<int>(std::min(keys.size(), static_cast<size_t>(thread_count)));
  on_threads(threads, [&](size_t part, size_t parts) {
    for (size_t i = part; i < keys.size(); i += parts) {
      factors[i] = normal_quantile_factors(keys[i].n, keys[i].z, confidence);
    }
  });
  return factors;
}

}  // namespace

std::vector<IntervalEnds> fitted_intervals(const StatsTable& table, const Distribution& dist,
                                           const FittedIntervalRequest& request) {
  const size_t levels = request.levels.size();
  std::vector<CellLevel> wanted;
  wanted.reserve(table.cells.size() * levels);
  std::vector<FactorKey> keys;
  for (size_t cell = 0; cell < table.cells.size(); ++cell) {
    const uint64_t at_bound = request.at_bound != nullptr ? request.at_bound->cells[cell] : 0;
    for (double level : request.levels) {
      wanted.push_back(cell_level(table.cells[cell], at_bound, level));
      if (wanted.back().kind == CellLevel::Kind::fitted) keys.push_back(wanted.back().key);
    }
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  const std::vector<QuantileFactors> factors =
      factors_of(keys, request.confidence, request.threads);

  std::vector<IntervalEnds> ends(wanted.size(), IntervalEnds{kNone, kNone});
  const double bound = has_bound(dist.mode) ? log_normal_bound(dist) : kNone;
  for (size_t i = 0; i < wanted.size(); ++i) {
    if (wanted[i].kind == CellLevel::Kind::bound) ends[i] = {bound, bound};
    if (wanted[i].kind != CellLevel::Kind::fitted) continue;
    const MonthStats& cell = table.cells[i / levels];
    const size_t k = static_cast<size_t>(std::lower_bound(keys.begin(), keys.end(), wanted[i].key) -
                                         keys.begin());
    ends[i] = {back_transform(dist, cell.mean + factors[k].lo * cell.std_dev),
               back_transform(dist, cell.mean + factors[k].hi * cell.std_dev)};
  }
  return ends;
}

uint64_t cells_with_intervals(const std::vector<IntervalEnds>& ends, size_t levels) {
  uint64_t cells = 0;
  for (size_t first = 0; levels > 0 && first + levels <= ends.size(); first += levels) {
    cells += std::any_of(
        ends.begin() + std::ptrdiff_t(first), ends.begin() + std::ptrdiff_t(first + levels),
        [](const IntervalEnds& e) { return !std::isnan(e.lo) || !std::isnan(e.hi); });
  }
  return cells;
}

}  // namespace pctlfit
