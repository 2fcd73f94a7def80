#include "plot/column_selection.h"

#include <charconv>

namespace pctlfit::plot {

namespace {

bool parse_column(std::string_view text, size_t available, int& column) {
  const char* end = text.data() + text.size();
  const auto [parsed_end, ec] = std::from_chars(text.data(), end, column);
  return ec == std::errc() && parsed_end == end && column >= 1 && size_t(column) <= available;
}

// "7" or "3-9" (a range from low to high); false for anything else.
bool add_number_or_range(std::string_view item, size_t available, std::vector<int>& columns) {
  const size_t dash = item.find('-', 1);
  int first = 0, last = 0;
  if (dash == std::string_view::npos) {
    if (!parse_column(item, available, first)) return false;
    columns.push_back(first);
    return true;
  }
  if (!parse_column(item.substr(0, dash), available, first) ||
      !parse_column(item.substr(dash + 1), available, last) || first > last) {
    return false;
  }
  for (int c = first; c <= last; ++c) columns.push_back(c);
  return true;
}

// Every column whose heading is `name`; false when there is none.
bool add_heading(std::string_view name, const std::vector<std::string>& headings,
                 std::vector<int>& columns) {
  bool found = false;
  for (size_t i = 0; i < headings.size(); ++i) {
    if (headings[i] != name || name.empty()) continue;
    columns.push_back(int(i + 1));
    found = true;
  }
  return found;
}

bool add_item(std::string_view item, size_t available, const std::vector<std::string>& headings,
              std::vector<int>& columns) {
  return add_number_or_range(item, available, columns) || add_heading(item, headings, columns);
}

}  // namespace

bool select_columns(const std::vector<std::string>& words, size_t available,
                    const std::vector<std::string>& headings, std::vector<int>& columns,
                    std::string& bad) {
  for (const std::string& word : words) {
    // A heading may hold a comma itself: the whole word is tried before its items.
    if (add_item(word, available, headings, columns)) continue;
    for (size_t start = 0; start <= word.size();) {
      size_t comma = word.find(',', start);
      if (comma == std::string::npos) comma = word.size();
      const std::string item = word.substr(start, comma - start);
      if (!add_item(item, available, headings, columns)) {
        bad = item.empty() ? word : item;
        return false;
      }
      start = comma + 1;
    }
  }
  if (words.empty()) {
    for (size_t c = 1; c <= available; ++c) columns.push_back(int(c));
  }
  return true;
}

}  // namespace pctlfit::plot
