// A build without the vector readings (another processor, or PCTLFIT_PORTABLE_SCAN): none is
// available, and the entries, never chosen, read byte by byte.
#include "input/record/kernels.h"
#include "input/record/missing_values.h"

namespace pctlfit {

bool wide16_available() { return false; }
bool wide64_available() { return false; }

void read_values_wide16(const ValueFields& fields, RecordParse& result) {
  read_values_byte_by_byte(fields, result);
}
void mark_missing_wide16(double* row, int count) { mark_missing_byte_by_byte(row, count); }
void read_values_wide64(const ValueFields& fields, RecordParse& result) {
  read_values_byte_by_byte(fields, result);
}

}  // namespace pctlfit
