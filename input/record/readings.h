#pragma once
// The readings of a record's values, in one table: the byte-by-byte reading, the reference that
// every build has, and the vector readings, each with its name and its availability on this
// build and processor. The table is the only place that chooses between them. A reading named
// for the run (PCTLFIT_READING) also sets how wide every other vector kernel may be: "byte"
// runs the plain loops everywhere.

#include <span>
#include <string>

#include "input/record/value_fields.h"

namespace pctlfit {

enum class ValueReading {
  byte_by_byte,  // every build
  wide16,        // 16-byte vectors: every x86-64 build without PCTLFIT_PORTABLE_SCAN
  wide64,        // 64-byte vectors, on processors with AVX-512 (checked at run time)
};

struct Reading {
  ValueReading reading;
  const char* name;     // as PCTLFIT_READING names it
  bool (*available)();  // this build has it and this processor runs it
  ReadValues read_values;
  void (*mark_missing)(double* row, int count);  // as mark_missing_byte_by_byte
  int vector_bytes;  // the widest vectors the run's other kernels may use with it
};

// Every reading, slowest first.
std::span<const Reading> value_readings();
const Reading& reading_of(ValueReading reading);
bool value_reading_available(ValueReading reading);

// The reading that PCTLFIT_READING's value names (the fastest available when it is null or
// empty), or nullptr with `error` saying why it cannot be had.
const Reading* reading_from_environment(const char* value, std::string& error);

// The reading that parse_record uses from now on, for the whole program; call it before any
// pass starts its threads. Until then parse_record uses the fastest available.
void use_value_reading(const Reading& reading);

// The reading, and every other vector kernel no wider than it, for the whole run: before any
// pass, and before any kernel is first chosen.
void use_kernel_set(const Reading& reading);
const Reading& active_reading();

}  // namespace pctlfit
