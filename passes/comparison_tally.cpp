#include "passes/comparison_tally.h"

namespace pctlfit {

namespace {

// --compare-fits: the block's pooled values of the columns [first, end) into the other modes'
// sums, in record order, as the table's; the modes chosen once for the block.
template <bool kNv, bool kLn2, bool kMoments = true>
void compare_rows(FitComparison& comparison, const ParsedBlock& block, size_t first, size_t end) {
  const size_t width = static_cast<size_t>(comparison.columns);
  for (size_t r = 0; r < block.months.size(); ++r) {
    const double* row = block.values.data() + r * width;
    const double* read = block.has_read ? block.read.data() + r * width : row;
    const double* logs = block.has_logs ? block.logs.data() + r * width : row;
    const size_t month_cells = month_row(width, block.months[r]);
    DomainSums* nv = kNv ? comparison.nv.data() + month_cells : nullptr;
    DomainSums* ln2 = kLn2 ? comparison.ln2.data() + month_cells : nullptr;
    for (size_t c = first; c < end; ++c) {
      if (is_not_accumulated(row[c])) continue;
      if constexpr (kNv && kMoments) add_to_domain(nv[c], read[c]);
      if constexpr (kNv && !kMoments) add_to_mean(nv[c], read[c]);
      if constexpr (kLn2) {
        if (read[c] > 0) add_to_domain(ln2[c], logs[c]);
      }
    }
  }
}

void compare_columns(FitComparison& comparison, const ParsedBlock& block, size_t first,
                     size_t end) {
  if (!comparison.moments) return compare_rows<true, false, false>(comparison, block, first, end);
  if (comparison.nv.empty()) return compare_rows<false, true>(comparison, block, first, end);
  if (comparison.ln2.empty()) return compare_rows<true, false>(comparison, block, first, end);
  compare_rows<true, true>(comparison, block, first, end);
}

}  // namespace

Tally comparison_tally(FitComparison& comparison) {
  Tally tally;
  // A gamma's run alone reads the values as read beside its table's logarithms, nothing more.
  tally.copies = {true, comparison.moments};
  tally.apply = [&comparison](const WorkItem& item, size_t first, size_t end) {
    compare_columns(comparison, item.parsed, first, end);
  };
  return tally;
}

}  // namespace pctlfit
