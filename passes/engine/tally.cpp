#include "passes/engine/tally.h"

#include "passes/engine/pipeline.h"

namespace pctlfit {

void start_tallies(const std::vector<Tally>& tallies, const PassStart& start) {
  for (const Tally& tally : tallies) {
    if (tally.start) tally.start(start);
  }
}

void parse_tallies(const std::vector<Tally>& tallies, WorkItem& item) {
  for (const Tally& tally : tallies) {
    if (tally.parse) tally.parse(item);
  }
}

void apply_tallies(const std::vector<Tally>& tallies, const WorkItem& item, size_t first,
                   size_t end) {
  for (const Tally& tally : tallies) {
    if (tally.apply) tally.apply(item, first, end);
  }
}

PassStart pass_start(const PassFiles& files, const PassOptions& options) {
  return {files.total_bytes, pipeline_slots(pass_threads(options, files))};
}

InputError run_later_pass(const std::vector<std::string>& entries, int columns,
                          const PassOptions& options, const std::vector<Tally>& tallies) {
  const PassFiles files = pass_files(entries, columns);
  start_tallies(tallies, pass_start(files, options));
  const FileLayout layout = options.layout;
  const auto parse = [&](WorkItem& item) {
    if (item.kind != ItemKind::block) return;
    parse_block_values({item.bytes.data(), item.length}, columns, item.parsed, layout,
                       item.column_order.get());
    parse_tallies(tallies, item);
  };
  const auto apply = [&](const WorkItem& item, size_t first, size_t end) {
    apply_tallies(tallies, item, first, end);
  };
  return run_pass_to_failure(files, options, parse, apply);
}

}  // namespace pctlfit
