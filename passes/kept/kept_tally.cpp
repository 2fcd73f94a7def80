#include "passes/kept/kept_tally.h"

namespace pctlfit {

Tally kept_tally(KeptValues& kept) {
  Tally tally;
  tally.copies.read = true;
  tally.start = [&kept](uint64_t input_bytes) { kept.listed_file_bytes = input_bytes; };
  tally.parse = [&kept](WorkItem& item) { keep_rows(kept, item.parsed, item.file_bytes); };
  tally.apply = [&kept](const ParsedBlock& block, size_t first, size_t end) {
    note_spans(kept, block, first, end);
  };
  return tally;
}

}  // namespace pctlfit
