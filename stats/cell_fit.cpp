#include "stats/cell_fit.h"

#include <cmath>
#include <limits>

#include "stats/normal_quantile.h"

namespace pctlfit {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// The table's own mean and SD where it holds the family's scale; the further sums' otherwise.
std::optional<Moments> scale_moments(const CellSums& sums, FitScale scale) {
  const DomainSums& domain = scale == FitScale::values ? sums.values : sums.logs;
  std::optional<Moments> moments = moments_of(domain);
  if (!moments || scale != sums.table_scale) return moments;
  moments->mean = sums.record.mean;
  moments->sd = sums.record.std_dev;
  return moments;
}

// Every value of the cell lies in the family's domain: all of them have a logarithm.
bool all_logs(const CellSums& sums) { return sums.logs.n == sums.values.n && sums.values.n > 0; }

CellFit fit_normal(CellFit fit, const CellSums& sums, double lower_limit) {
  const FitScale scale = family_of(fit.mode).scale;
  if (scale == FitScale::log_above_limit) {
    // A given limit is compared in its own runs only, where the table holds ln(x - limit).
    if (sums.table_scale != scale || sums.record.count < 3) return fit;
    fit.normal = {lower_limit, sums.record.mean, sums.record.std_dev};
  } else {
    if (scale == FitScale::log_values && !all_logs(sums)) return fit;
    const std::optional<Moments> m = scale_moments(sums, scale);
    if (!m) return fit;
    fit.normal = {0.0, m->mean, m->sd};
  }
  fit.fitted = fit.normal.sigma > 0 && std::isfinite(fit.normal.mu);
  return fit;
}

CellFit fit_pearson(CellFit fit, const CellSums& sums, FitScale scale) {
  if (scale == FitScale::log_values && !all_logs(sums)) return fit;
  const std::optional<Moments> m = scale_moments(sums, scale);
  if (!m || !(m->sd > 0) || !std::isfinite(m->skew)) return fit;
  fit.pearson = {m->mean, m->sd, m->skew};
  fit.fitted = true;
  return fit;
}

// The mean of ln x: the table's where it holds ln x (a value at or below 0 there makes its mean
// or least value not finite), so that a gamma's figures are the same whatever else the run
// asks for; else the further sums'.
std::optional<double> mean_of_logs(const CellSums& sums) {
  const MonthStats& record = sums.record;
  if (sums.table_scale == FitScale::log_values) {
    const bool all_positive =
        record.count == sums.values.n && std::isfinite(record.mean) && std::isfinite(record.min);
    return all_positive ? std::optional<double>(record.mean) : std::nullopt;
  }
  if (!all_logs(sums)) return std::nullopt;
  return sums.logs.shift + sums.logs.about / sums.logs.n;
}

CellFit fit_gamma_cell(CellFit fit, const CellSums& sums) {
  const std::optional<double> mean_ln = mean_of_logs(sums);
  if (!mean_ln || sums.values.n < 3) return fit;
  const DomainSums& x = sums.values;
  const std::optional<GammaFit> gamma = fit_gamma(x.shift + x.about / x.n, *mean_ln);
  if (!gamma) return fit;
  fit.gamma = *gamma;
  fit.fitted = true;
  return fit;
}

CellFit fit_ln3_cell(CellFit fit, const CellSums& sums) {
  const std::optional<Moments> m = scale_moments(sums, FitScale::values);
  const std::optional<Ln3Fit> ln3 = m ? fit_ln3_moments(*m) : std::nullopt;
  // The bound must lie below every value: each has a density then.
  const double least =
      sums.table_scale == FitScale::values ? sums.record.min : std::exp(sums.record.min);
  if (!ln3 || !(ln3->bound < least)) return fit;
  fit.normal = *ln3;
  fit.fitted = true;
  return fit;
}

// The normal families' transform back to the data's units, as the run's own figures take it.
Distribution normal_distribution(const CellFit& fit) {
  Distribution dist;
  dist.mode = fit.mode == DistributionMode::LN3_auto ? DistributionMode::LN3 : fit.mode;
  dist.lower_limit = fit.normal.bound;
  return dist;
}

}  // namespace

std::optional<Moments> moments_of(const DomainSums& sums) {
  const double n = sums.n;
  if (n < 3) return std::nullopt;
  const double d = sums.about / n;
  const double m2 = sums.squares / n - d * d;
  const double m3 = sums.cubes / n - 3 * d * sums.squares / n + 2 * d * d * d;
  if (!(m2 > 0) || !std::isfinite(m2)) return std::nullopt;
  return Moments{n, sums.shift + d, std::sqrt(m2 * n / (n - 1)), skewness_g1(n, m2, m3)};
}

CellFit fit_cell(DistributionMode mode, const CellSums& sums, double lower_limit) {
  CellFit fit;
  fit.mode = mode;
  switch (family_of(mode).kind) {
    case FitKind::normal:
      return fit_normal(fit, sums, lower_limit);
    case FitKind::gamma:
      return fit_gamma_cell(fit, sums);
    case FitKind::pearson:
      return fit_pearson(fit, sums, FitScale::values);
    case FitKind::log_pearson:
      return fit_pearson(fit, sums, FitScale::log_values);
    case FitKind::ln3_moments:
      return fit_ln3_cell(fit, sums);
  }
  return fit;
}

double cell_fit_quantile(const CellFit& fit, double q) {
  if (!fit.fitted) return kNone;
  switch (family_of(fit.mode).kind) {
    case FitKind::normal:
    case FitKind::ln3_moments:
      return back_transform(normal_distribution(fit),
                            fit.normal.mu + normal_quantile(q) * fit.normal.sigma);
    case FitKind::gamma:
      return gamma_quantile(fit.gamma, q);
    case FitKind::pearson:
      return pearson_quantile(fit.pearson, q);
    case FitKind::log_pearson:
      return std::exp(pearson_quantile(fit.pearson, q));
  }
  return kNone;
}

double cell_fit_at_level(const CellFit& fit, double level) {
  if (!fit.fitted) return kNone;
  const FitKind kind = family_of(fit.mode).kind;
  if (kind != FitKind::normal && kind != FitKind::ln3_moments) {
    return cell_fit_quantile(fit, level / 100);
  }
  MonthStats record;
  record.count = 3;
  record.mean = fit.normal.mu;
  record.std_dev = fit.normal.sigma;
  return fitted_at_level(normal_distribution(fit), record, level);
}

double cell_figure(const Distribution& dist, const MonthStats& record, uint64_t at_bound,
                   const CellFit* fit, double level) {
  if (fit == nullptr) return mixed_at_level(dist, record, at_bound, level);
  if (at_bound == 0) return cell_fit_at_level(*fit, level);
  const double p = level / 100;
  const double p0 = double(at_bound) / (record.count + double(at_bound));
  if (record.count == 0 || p <= p0) return log_normal_bound(dist);
  return cell_fit_quantile(*fit, (p - p0) / (1 - p0));
}

std::optional<double> fitted_lower_limit(const CellFit& fit) {
  if (!fit.fitted || !has_lower_limit(normal_distribution(fit).mode)) return std::nullopt;
  return fit.normal.bound;
}

}  // namespace pctlfit
