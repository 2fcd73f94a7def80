// Fuzzes the column count of a header line. Properties: never more columns than tabs plus one,
// -1 exactly for lines of 12 characters or fewer, the same count as the step-by-step cutting,
// and one heading per column.
#include <algorithm>
#include <cstdint>
#include <string>

#include "cutting_reference.h"
#include "input/header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool had_newline = (data[0] & 1) != 0;
  std::string line(reinterpret_cast<const char*>(data + 1), size - 1);
  std::replace(line.begin(), line.end(), '\n', ' ');
  const int count = pctlfit::count_header_columns(line, had_newline);
  const long tabs = std::count(line.begin(), line.end(), '\t');
  if (count > tabs + 1) __builtin_trap();
  const size_t length = line.size() + (had_newline ? 1 : 0);
  if ((count == -1) != (length <= 12)) __builtin_trap();
  if (count != pctlfit::test::count_columns_by_cutting(line + (had_newline ? "\n" : ""))) {
    __builtin_trap();
  }
  // One heading per column.
  if (pctlfit::column_headings(line, had_newline).size() != size_t(count < 0 ? 0 : count)) {
    __builtin_trap();
  }
  return 0;
}
