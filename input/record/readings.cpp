#include "input/record/readings.h"

#include <cstring>

#include "cpu/features.h"
#include "input/record/kernels.h"
#include "input/record/missing_values.h"

namespace pctlfit {

namespace {

bool always() { return true; }

constexpr Reading kReadings[] = {
    {ValueReading::byte_by_byte, "byte", always, read_values_byte_by_byte,
     mark_missing_byte_by_byte, 0},
    {ValueReading::wide16, "wide16", wide16_available, read_values_wide16, mark_missing_wide16, 16},
    {ValueReading::wide64, "wide64", wide64_available, read_values_wide64, mark_missing_wide16, 64},
};

const Reading& fastest_reading() {
  for (size_t i = std::size(kReadings); i-- > 1;) {
    if (kReadings[i].available()) return kReadings[i];
  }
  return kReadings[0];
}

std::string available_names() {
  std::string names;
  for (const Reading& reading : kReadings) {
    if (!reading.available()) continue;
    if (!names.empty()) names += ", ";
    names += reading.name;
  }
  return names;
}

const Reading* g_active = nullptr;

}  // namespace

std::span<const Reading> value_readings() { return kReadings; }

const Reading& reading_of(ValueReading reading) { return kReadings[static_cast<size_t>(reading)]; }

bool value_reading_available(ValueReading reading) { return reading_of(reading).available(); }

const Reading* reading_from_environment(const char* value, std::string& error) {
  if (value == nullptr || *value == '\0') return &fastest_reading();
  for (const Reading& reading : kReadings) {
    if (std::strcmp(reading.name, value) != 0) continue;
    if (reading.available()) return &reading;
    error = std::string("PCTLFIT_READING=") + value + ": this build or processor lacks the " +
            value + " reading; it has " + available_names();
    return nullptr;
  }
  error = std::string("PCTLFIT_READING=") + value + ": no such reading; use one of " +
          available_names();
  return nullptr;
}

void use_value_reading(const Reading& reading) { g_active = &reading; }

void use_kernel_set(const Reading& reading) {
  use_value_reading(reading);
  limit_vector_width(reading.vector_bytes);
}

const Reading& active_reading() {
  static const Reading& fastest = fastest_reading();
  return g_active != nullptr ? *g_active : fastest;
}

void mark_missing_byte_by_byte(double* row, int count) {
  for (int c = 0; c < count; ++c) {
    if (!(row[c] > kMissingMarker)) row[c] = std::bit_cast<double>(kMissingBits);
  }
}

void mark_missing(double* row, int count) { active_reading().mark_missing(row, count); }

}  // namespace pctlfit
