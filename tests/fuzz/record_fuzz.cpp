// Fuzzes the record-line parser. Properties: every reading (byte by byte, 16- and 64-byte wide)
// says the same of every line, to the bit of every value; a line accepted as a record, printed
// again with its month and values, reads back to the same month and the same bits; and each value
// is a whole field: with a letter glued to one of them, that value is "not a number" and the values
// before it are still read.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "input/record/readings.h"
#include "input/record/record_parser.h"

using pctlfit::parse_record;
using pctlfit::parse_record_with;
using pctlfit::RecordParse;
using pctlfit::RecordStatus;

namespace {
bool same_value(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::memcmp(&a, &b, sizeof a) == 0;
}

bool same_parse(const RecordParse& a, const double* a_values, const RecordParse& b,
                const double* b_values) {
  if (a.status != b.status || a.month != b.month || a.values_read != b.values_read ||
      a.extra_values != b.extra_values || a.values_end != b.values_end ||
      a.bad_values != b.bad_values || a.bad_column != b.bad_column ||
      a.bad_field_begin != b.bad_field_begin || a.bad_field_length != b.bad_field_length) {
    return false;
  }
  for (int c = 0; c < a.values_read; ++c) {
    if (!same_value(a_values[c], b_values[c])) return false;
  }
  return true;
}
}  // namespace

// Says at start-up which readings are held against each other and which this build or
// processor lacks, so that a run that compared fewer is seen as such.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string compared, skipped;
  for (const pctlfit::Reading& reading : pctlfit::value_readings()) {
    std::string& list = reading.available() ? compared : skipped;
    list += list.empty() ? "" : ", ";
    list += reading.name;
  }
  std::fprintf(stderr, "record_fuzz: readings compared: %s; skipped: %s\n", compared.c_str(),
               skipped.empty() ? "none" : skipped.c_str());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int columns = data[0] % 41;  // up to 40: several eight-field steps
  // An exact-size copy without terminator, so that any read past the line is caught.
  const size_t length = size - 1;
  std::unique_ptr<char[]> line(new char[length == 0 ? 1 : length]);
  std::memcpy(line.get(), data + 1, length);
  for (size_t i = 0; i < length; ++i) {
    if (line[i] == '\n') line[i] = ' ';  // a record line holds no newline
  }
  std::vector<double> values(static_cast<size_t>(columns) + 1);
  const std::string_view text(line.get(), length);
  const RecordParse parse = parse_record(text, columns, values.data());
  std::vector<double> other(static_cast<size_t>(columns) + 1);
  for (const pctlfit::Reading& reading : pctlfit::value_readings()) {
    if (!reading.available()) continue;
    const RecordParse again = parse_record_with(reading.reading, text, columns, other.data());
    if (!same_parse(parse, values.data(), again, other.data())) __builtin_trap();
  }
  if (parse.values_read < 0 || parse.values_read > columns) __builtin_trap();
  if (parse.status != RecordStatus::record) return 0;
  if (parse.values_read != columns || parse.month < 0 || parse.month > 12) __builtin_trap();

  std::string printed = "2001 " + std::to_string(parse.month) + " 1 0";
  std::string glued = printed;
  const int glued_column = columns > 0 ? data[0] / 9 % columns : -1;
  char cell[64];
  for (int c = 0; c < columns; ++c) {
    std::snprintf(cell, sizeof cell, " %.17g", values[static_cast<size_t>(c)]);
    printed += cell;
    glued += cell;
    if (c == glued_column) glued += "x";
  }
  if (glued_column >= 0) {
    std::vector<double> before(static_cast<size_t>(columns) + 1);
    const RecordParse bad = parse_record(glued, columns, before.data());
    if (bad.status != RecordStatus::bad_value || bad.bad_column != glued_column) __builtin_trap();
    if (bad.values_read != columns || bad.bad_values != 1) __builtin_trap();
    if (glued[bad.bad_field_begin + bad.bad_field_length - 1] != 'x') __builtin_trap();
  }
  std::vector<double> again(static_cast<size_t>(columns) + 1);
  const RecordParse reparse = parse_record(printed, columns, again.data());
  if (reparse.status != RecordStatus::record || reparse.month != parse.month) __builtin_trap();
  for (int c = 0; c < columns; ++c) {
    if (!same_value(values[static_cast<size_t>(c)], again[static_cast<size_t>(c)]))
      __builtin_trap();
  }
  return 0;
}
