#include "input/record_parser.h"

#include "input/number_scan.h"
#include "text/c_locale.h"

namespace pctlfit {

namespace {
bool is_blank(std::string_view line) {
  for (char c : line) {
    if (!is_c_space(c)) return false;
  }
  return true;
}
}  // namespace

RecordParse parse_record(std::string_view line, int columns, double* values) {
  RecordParse result;
  const char* pos = line.data();
  const char* const end = line.data() + line.size();
  long long fields[4];
  for (long long& field : fields) {
    pos = scan_integer(pos, end, field);
    if (pos == nullptr) {
      result.status = is_blank(line) ? RecordStatus::blank : RecordStatus::not_a_record;
      return result;
    }
  }
  result.month = fields[1];
  if (result.month < 0 || result.month > 12) {
    result.status = RecordStatus::month_out_of_range;
    return result;
  }
  for (int c = 0; c < columns; ++c) {
    const char* next = scan_double(pos, end, values[c]);
    if (next == nullptr) {
      const bool line_ended = is_blank(std::string_view(pos, static_cast<size_t>(end - pos)));
      result.status = line_ended ? RecordStatus::short_record : RecordStatus::bad_value;
      return result;
    }
    pos = next;
    result.values_read = c + 1;
  }
  result.status = RecordStatus::record;
  return result;
}

}  // namespace pctlfit
