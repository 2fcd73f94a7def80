#pragma once
// The distribution families the tool fits, one row each: the mode word, the scale on which the
// family is a normal distribution, and what the report, the table, the options and the
// warnings say of it. Everything that differs between families reads this table, so a new
// family is one row here plus its fitting and quantile functions.

#include <iterator>
#include <optional>
#include <string_view>

namespace pctlfit {

enum class DistributionMode { NV = 1, LN2 = 2, LN3 = 3 };

// Where a family's values are normal: as read, as ln x, as ln(x - lower limit).
enum class FitScale { values, log_values, log_above_limit };

struct DistributionFamily {
  DistributionMode mode;
  const char* keyword;  // the mode word, the table's `mode` column, the warnings' name
  FitScale scale;
  const char* title;        // the report's title line, before the files' names
  const char* zeros_title;  // the same with --zeros; null where the family has no bound
};

inline constexpr DistributionFamily kFamilies[] = {
    {DistributionMode::NV, "NV", FitScale::values,
     "Percentiles for Gaussian distribution for monthly values from ", nullptr},
    {DistributionMode::LN2, "LN2", FitScale::log_values,
     "Percentiles for Log-Gaussian distribution (LN2) for monthly values from",
     "Percentiles for Log-Gaussian distribution (LN2), values at 0 as a mass of their own "
     "(--zeros), for monthly values from"},
    {DistributionMode::LN3, "LN3", FitScale::log_above_limit,
     "Percentiles for Log-Gaussian distribution (LN3) for monthly values from",
     "Percentiles for Log-Gaussian distribution (LN3), values at the lower limit as a mass of "
     "their own (--zeros), for monthly values from"},
};

inline constexpr size_t kFamilyCount = std::size(kFamilies);

// The family's place in kFamilies, also the index of per-family arrays.
inline constexpr size_t family_index(DistributionMode mode) { return size_t(mode) - 1; }

inline constexpr const DistributionFamily& family_of(DistributionMode mode) {
  return kFamilies[family_index(mode)];
}

// The family whose mode word is exactly `keyword` (case matters).
std::optional<DistributionMode> family_named(std::string_view keyword);

// The family's values have a bound below which it has no density (0 or the lower limit).
inline constexpr bool has_bound(DistributionMode mode) {
  return family_of(mode).scale != FitScale::values;
}

// The family's bound is the lower limit the user gives.
inline constexpr bool has_lower_limit(DistributionMode mode) {
  return family_of(mode).scale == FitScale::log_above_limit;
}

}  // namespace pctlfit
