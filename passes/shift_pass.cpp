#include "passes/shift_pass.h"

#include "passes/engine/value_pass.h"

namespace pctlfit {

InputError shift_data_files(const std::vector<std::string>& entries, int columns,
                            const Distribution& dist, ShiftedCells& cells,
                            const PassOptions& options) {
  const double bound = log_normal_bound(dist);
  const auto take = [&](size_t cell, double value) {
    const int32_t slot = cells.slot[cell];
    if (slot < 0) return;
    if (dist.zeros && value == bound) return;  // a mass of its own, not in the sums
    add_shifted(cells.sums[static_cast<size_t>(slot)], transform_value(dist, value));
  };
  return pass_values(entries, columns, options, take);
}

}  // namespace pctlfit
