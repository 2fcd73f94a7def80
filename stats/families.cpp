#include "stats/families.h"

namespace pctlfit {

std::optional<DistributionMode> family_named(std::string_view keyword) {
  for (const DistributionFamily& family : kFamilies) {
    if (family.mode_word && keyword == family.keyword) return family.mode;
  }
  return std::nullopt;
}

std::optional<DistributionMode> fit_family_named(std::string_view word) {
  for (const DistributionFamily& family : kFamilies) {
    if (family.mode != DistributionMode::LN3_auto && word == family.keyword) return family.mode;
  }
  return std::nullopt;
}

}  // namespace pctlfit
