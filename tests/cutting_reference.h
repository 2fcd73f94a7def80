#pragma once
// The column count spelled out with the string operations, step by step, as the tool has always
// counted; the fast count must agree with it on every header. Quadratic: for tests only.

#include <string>

#include "str_ops.h"

namespace pctlfit::test {

inline int count_columns_by_cutting(const std::string& header_with_newline) {
  if (header_with_newline.size() <= 12) return -1;
  std::string t = header_with_newline.substr(12) + "\t";
  int n = 0;
  do {
    while (str_position(t, "\t") == 0) {
      if (t.empty()) break;
      str_cut(t, 1, static_cast<int>(t.size()) - 1);
    }
    if (!t.empty()) {
      ++n;
      const int q = str_position(t, "\t");
      str_cut(t, q, 1 - q + static_cast<int>(t.size()));
    }
  } while (!t.empty());
  return n;
}

}  // namespace pctlfit::test
