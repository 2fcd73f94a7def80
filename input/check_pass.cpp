#include "input/check_pass.h"

#include "input/block_source.h"
#include "input/pipeline.h"

namespace pctlfit {

namespace {

// Places a parsed block's values against their cells' lines, and turns each into its deviation
// from the fitted mean: the logarithms and comparisons, on the worker that parsed the block.
void place_block(ParsedBlock& block, const Distribution& dist, const FitCheck& check) {
  const size_t width = static_cast<size_t>(check.columns);
  block.sides.resize(block.months.size() * width);
  double* row = block.values.data();
  unsigned char* sides = block.sides.data();
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

// Counts a placed block, row by row, in order.
void count_block(const ParsedBlock& block, FitCheck& check) {
  const size_t width = static_cast<size_t>(check.columns);
  const double* row = block.values.data();
  const unsigned char* sides = block.sides.data();
  for (unsigned char month : block.months) {
    FitCell* cells = &check_cell(check, 1, month);
    for (size_t c = 0; c < width; ++c) count_value(cells[c], ValueSide(sides[c]), row[c]);
    row += width;
    sides += width;
  }
}

}  // namespace

InputError check_data_files(const std::vector<std::string>& entries, const Distribution& dist,
                            FitCheck& check, const DataPassOptions& options) {
  BlockSource source;
  source.entries = &entries;
  source.block_size = options.block_size;
  source.longest_line = longest_record_line(check.columns);
  // Parsed as they are, untransformed: a value is held against the lines in the data's units.
  const Distribution as_read{DistributionMode::NV, 0.0};
  const int columns = check.columns;
  const auto parse = [&](WorkItem& item) {
    if (item.kind != ItemKind::block) return;
    parse_block({item.bytes.data(), item.length}, columns, as_read, item.parsed);
    place_block(item.parsed, dist, check);
  };
  InputError error;
  const auto apply = [&](const WorkItem& item) {
    if (item.kind == ItemKind::failure) error = item.error;
    if (item.kind == ItemKind::block) count_block(item.parsed, check);
    return item.kind != ItemKind::done && item.kind != ItemKind::failure;
  };
  run_pipeline(source, pass_threads(options, total_file_size(entries)), parse, apply);
  close_block_source(source);
  return error;
}

}  // namespace pctlfit
