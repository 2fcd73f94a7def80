#include "input/heading_match.h"

#include <unordered_map>

namespace pctlfit {

namespace {

// The first file's column of each heading; empty when two columns share a heading.
std::unordered_map<std::string, int> distinct_columns(const std::vector<std::string>& headings) {
  std::unordered_map<std::string, int> columns;
  for (size_t c = 0; c < headings.size(); ++c) {
    if (!columns.emplace(headings[c], static_cast<int>(c)).second) return {};
  }
  return columns;
}

// The first file's columns in the later file's order, when the later headings are those of the
// first in another order; empty otherwise.
std::vector<int> reordering(const std::vector<std::string>& first,
                            const std::vector<std::string>& later) {
  const std::unordered_map<std::string, int> columns = distinct_columns(first);
  if (columns.empty()) return {};
  std::vector<int> order;
  std::vector<bool> taken(first.size(), false);
  for (const std::string& heading : later) {
    const auto found = columns.find(heading);
    if (found == columns.end() || taken[static_cast<size_t>(found->second)]) return {};
    taken[static_cast<size_t>(found->second)] = true;
    order.push_back(found->second);
  }
  return order;
}

}  // namespace

HeadingComparison compare_headings(const std::vector<std::string>& first,
                                   const std::vector<std::string>& later) {
  HeadingComparison comparison;
  if (first.size() != later.size()) {
    comparison.match = HeadingMatch::other_count;
    return comparison;
  }
  size_t differs = 0;
  while (differs < first.size() && first[differs] == later[differs]) ++differs;
  if (differs == first.size()) return comparison;
  comparison.order = reordering(first, later);
  comparison.here = static_cast<int>(differs);
  if (comparison.order.empty()) {
    comparison.match = HeadingMatch::renamed;
    comparison.there = comparison.here;
  } else {
    comparison.match = HeadingMatch::reordered;
    comparison.there = comparison.order[differs];
  }
  return comparison;
}

std::string describe_heading_difference(const HeadingComparison& comparison,
                                        const std::vector<std::string>& first,
                                        const std::vector<std::string>& later) {
  const auto here = static_cast<size_t>(comparison.here);
  if (comparison.match == HeadingMatch::reordered) {
    return "its columns stand in another order than the first file's: " + later[here] +
           " is column " + std::to_string(comparison.here + 1) + " here, column " +
           std::to_string(comparison.there + 1) +
           " in the first file; each value is pooled under its heading";
  }
  if (comparison.match == HeadingMatch::renamed) {
    return "column " + std::to_string(comparison.here + 1) + " is headed \"" + later[here] +
           "\", in the first file \"" + first[here] +
           "\"; the values are pooled by position, as the first file names them";
  }
  return {};
}

}  // namespace pctlfit
