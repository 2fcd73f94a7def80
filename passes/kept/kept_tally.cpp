#include "passes/kept/kept_tally.h"

namespace pctlfit {

Tally kept_tally(KeptValues& kept) {
  Tally tally;
  tally.copies.read = true;
  tally.start = [&kept](const PassStart& start) { kept.listed_file_bytes = start.input_bytes; };
  tally.parse = [&kept](WorkItem& item) { keep_rows(kept, item.parsed, item.file_bytes); };
  tally.apply = [&kept](const WorkItem& item, size_t first, size_t end) {
    note_spans(kept, item.parsed, first, end);
  };
  return tally;
}

}  // namespace pctlfit
