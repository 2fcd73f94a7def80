#include "stats/families.h"

namespace pctlfit {

std::optional<DistributionMode> family_named(std::string_view keyword) {
  for (const DistributionFamily& family : kFamilies) {
    if (keyword == family.keyword) return family.mode;
  }
  return std::nullopt;
}

}  // namespace pctlfit
