#include "passes/check_pass.h"

#include <memory>

#include "passes/engine/block_parser.h"

namespace pctlfit {

namespace {

// Each value's ValueSide, per pipeline slot.
using SlotSides = std::vector<std::vector<unsigned char>>;

// Places a parsed block's values against their cells' lines, and turns each into its deviation
// from the fitted mean: the logarithms and comparisons, on the worker that parsed the block.
void place_block(ParsedBlock& block, const Distribution& dist, const FitCheck& check,
                 std::vector<unsigned char>& block_sides) {
  const size_t width = static_cast<size_t>(check.columns);
  block_sides.resize(block.months.size() * width);
  double* row = block.values.data();
  unsigned char* sides = block_sides.data();
  for (unsigned char month : block.months) {
    const FitCell* cells = &check_cell(check, 1, month);
    for (size_t c = 0; c < width; ++c) {
      const bool pooled = !is_not_accumulated(row[c]);
      const ValueSide side = pooled ? place_value(cells[c], dist, row[c]) : ValueSide::not_counted;
      sides[c] = static_cast<unsigned char>(side);
    }
    row += width;
    sides += width;
  }
}

// Counts a placed block's columns [first, end), row by row, in order.
void count_columns(const ParsedBlock& block, const std::vector<unsigned char>& block_sides,
                   FitCheck& check, size_t first, size_t end) {
  const size_t width = static_cast<size_t>(check.columns);
  const double* row = block.values.data();
  const unsigned char* sides = block_sides.data();
  for (unsigned char month : block.months) {
    FitCell* cells = &check_cell(check, 1, month);
    for (size_t c = first; c < end; ++c) count_value(cells[c], ValueSide(sides[c]), row[c]);
    row += width;
    sides += width;
  }
}

}  // namespace

Tally check_tally(const Distribution& dist, FitCheck& check) {
  // Each value's side, per pipeline slot: a block's sides are placed by the worker that parsed
  // it and counted when the block's turn comes.
  const auto sides = std::make_shared<SlotSides>();
  Tally tally;
  tally.start = [sides](const PassStart& start) { sides->assign(start.slots, {}); };
  tally.parse = [sides, &dist, &check](WorkItem& item) {
    place_block(item.parsed, dist, check, (*sides)[item.slot]);
  };
  tally.apply = [sides, &check](const WorkItem& item, size_t first, size_t end) {
    count_columns(item.parsed, (*sides)[item.slot], check, first, end);
  };
  return tally;
}

InputError check_data_files(const std::vector<std::string>& entries, const Distribution& dist,
                            FitCheck& check, const PassOptions& options) {
  // Parsed as they are, untransformed: a value is held against the lines in the data's units.
  return run_later_pass(entries, check.columns, options, {check_tally(dist, check)});
}

}  // namespace pctlfit
