#pragma once
// A later data file's column headings held against the first file's: the same, the same set in
// another order (its values are then pooled by heading), or other names (pooled by position).

#include <string>
#include <vector>

namespace pctlfit {

enum class HeadingMatch { same, reordered, renamed, other_count };

struct HeadingComparison {
  HeadingMatch match = HeadingMatch::same;
  // reordered: for each of the later file's columns, the first file's column (0-based)
  std::vector<int> order;
  // reordered: the first heading out of place, its column here and in the first file;
  // renamed: the first column whose heading differs (both the same)
  int here = 0;
  int there = 0;
};

// Compares trimmed headings. A reordering needs the first file's headings to be distinct, so
// that each value has one column to go to; otherwise another order counts as other names.
HeadingComparison compare_headings(const std::vector<std::string>& first,
                                   const std::vector<std::string>& later);

// The warning for a file whose headings are reordered or renamed; empty for the others (another
// count has a warning of its own).
std::string describe_heading_difference(const HeadingComparison& comparison,
                                        const std::vector<std::string>& first,
                                        const std::vector<std::string>& later);

}  // namespace pctlfit
