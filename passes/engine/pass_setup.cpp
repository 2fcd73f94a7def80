#include "passes/engine/pass_setup.h"

#include "input/record/record_parser.h"
#include "passes/engine/block_source.h"
#include "platform/platform.h"

namespace pctlfit {

PassFiles pass_files(const std::vector<std::string>& entries, int columns) {
  uint64_t total = 0;
  for (const std::string& entry : entries) {
    uint64_t size = 0;
    if (file_size(entry, size)) total += size;
  }
  return {entries, columns, total};
}

int pass_threads(const PassOptions& options, const PassFiles& files) {
  return files.total_bytes >= options.min_bytes_for_threads ? options.threads : 1;
}

void run_pass(const PassFiles& files, const PassOptions& options, PassSteps steps) {
  BlockSource source;
  source.entries = &files.entries;
  source.block_size = options.block_size;
  source.longest_line = longest_record_line(files.columns);
  source.read_at_offsets = options.read_at_offsets;
  source.layout = options.layout;
  source.reference_headings = options.headings;
  steps.columns = static_cast<size_t>(files.columns < 0 ? 0 : files.columns);
  run_pipeline(source, pass_threads(options, files), steps);
  close_block_source(source);
}

InputError run_pass_to_failure(const PassFiles& files, const PassOptions& options,
                               const ParseItem& parse, const ApplyColumns& apply) {
  InputError error;
  PassProgress progress{options.pass_name, options.pass_number, 0, files.entries.size(), nullptr, 0,
                        files.total_bytes};
  const auto in_order = [&](const WorkItem& item) {
    if (item.kind == ItemKind::failure) error = item.error;
    const bool going = item.kind != ItemKind::done && item.kind != ItemKind::failure;
    if (going && options.progress) {
      progress.bytes_read += item.file_bytes;
      progress.files_done = item.kind == ItemKind::file_end ? item.file + 1 : item.file;
      progress.file = &files.entries[item.file];
      options.progress(progress);
    }
    return going;
  };
  run_pass(files, options, {parse, apply, in_order});
  return error;
}

}  // namespace pctlfit
