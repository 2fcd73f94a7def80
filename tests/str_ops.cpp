#include "str_ops.h"

#include <algorithm>

namespace pctlfit {

int str_position(std::string_view text, std::string_view pattern) {
  const size_t found = text.find(pattern);
  if (found == std::string_view::npos) return 0;
  return static_cast<int>(found);
}

std::string& str_cut(std::string& buffer, int start, int n) {
  if (start < 0 || n < 0) return buffer;
  const size_t end = static_cast<size_t>(start) + static_cast<size_t>(n) + 1;
  if (end < buffer.size()) buffer.resize(end);
  // A start past the end leaves nothing to keep rather than reading beyond the string.
  buffer.erase(0, std::min(static_cast<size_t>(start), buffer.size()));
  return buffer;
}

}  // namespace pctlfit
