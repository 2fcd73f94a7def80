#pragma once
// The part of a record line after its four integers, as each reading of the values takes it, and
// the exact field reading that every reading falls back on for a field it does not convert.

#include <string_view>

#include "input/record/record_parser.h"

namespace pctlfit {

struct ValueFields {
  std::string_view line;
  const char* from = nullptr;          // just after the four integers
  const char* readable_end = nullptr;  // the memory after the line may be loaded up to here,
                                       // never parsed
  int columns = 0;
  double* values = nullptr;  // values[0, columns)
};

// A reading of the values: fills values[0 ..) and result's values_read, status and the fields
// after the last column, all as read_values_byte_by_byte does, bit for bit.
using ReadValues = void (*)(const ValueFields& fields, RecordParse& result);

// The reference: every field read byte by byte.
void read_values_byte_by_byte(const ValueFields& fields, RecordParse& result);

// One field at `pos` read exactly into values[c]; a field that is not a number is one missing
// value (NaN), noted in `result`. Returns the position after it.
const char* read_field(std::string_view line, const char* pos, int c, double* values,
                       RecordParse& result);

// After the last column's field, which ends at `pos`: counts the numbers that follow and sets
// the status.
void finish_values(std::string_view line, const char* pos, RecordParse& result);

}  // namespace pctlfit
