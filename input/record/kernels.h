#pragma once
// The vector readings' entries. A build with the vector readings compiles them from wide16.cpp
// and wide64.cpp; any other build from vector_absent.cpp, where none is available.

#include "input/record/value_fields.h"

namespace pctlfit {

// Whether this build has the reading and this processor runs it.
bool wide16_available();
bool wide64_available();

// As read_values_byte_by_byte; only where available.
void read_values_wide16(const ValueFields& fields, RecordParse& result);
void read_values_wide64(const ValueFields& fields, RecordParse& result);

// As mark_missing_byte_by_byte, two values at a time.
void mark_missing_wide16(double* row, int count);

}  // namespace pctlfit
