#include "passes/dates_seen.h"

#include <algorithm>
#include <optional>

namespace pctlfit {

namespace {

constexpr long long kYearReach = 1LL << 42;

// A date as one number in calendar order, where its fields fit (every real calendar's do);
// the others are looked up in the set.
std::optional<uint64_t> pack_date(const RowDate& date) {
  if (date.year < -kYearReach || date.year >= kYearReach || date.month < 0 || date.month > 15 ||
      date.day < 0 || date.day > 63 || date.hour < 0 || date.hour > 1023) {
    return std::nullopt;
  }
  return uint64_t(date.year + kYearReach) << 20 | uint64_t(date.month) << 16 |
         uint64_t(date.day) << 10 | uint64_t(date.hour);
}

long line_of(const DatesSeen& seen, size_t index) {
  const auto after =
      std::upper_bound(seen.line_runs.begin(), seen.line_runs.end(), index,
                       [](size_t i, const std::pair<size_t, long>& run) { return i < run.first; });
  const auto& [first, line] = *(after - 1);
  return line + static_cast<long>(index - first);
}

}  // namespace

size_t RowDateHash::operator()(const RowDate& date) const {
  const auto mix = [](size_t seed, long long part) {
    return seed * 1000003u ^ std::hash<long long>{}(part);
  };
  return mix(mix(mix(std::hash<long long>{}(date.year), date.month), date.day), date.hour);
}

long note_date(DatesSeen& seen, const RowDate& date, long line) {
  const std::optional<uint64_t> packed = pack_date(date);
  if (packed && (seen.in_order.empty() || seen.in_order.back() < *packed)) {
    const size_t index = seen.in_order.size();
    if (seen.line_runs.empty() || line_of(seen, index - 1) + 1 != line) {
      seen.line_runs.emplace_back(index, line);
    }
    seen.in_order.push_back(*packed);
    return -1;
  }
  if (packed) {
    const auto found = std::lower_bound(seen.in_order.begin(), seen.in_order.end(), *packed);
    if (found != seen.in_order.end() && *found == *packed) {
      return line_of(seen, static_cast<size_t>(found - seen.in_order.begin()));
    }
  }
  const auto [other, inserted] = seen.others.emplace(date, line);
  return inserted ? -1 : other->second;
}

void forget_dates(DatesSeen& seen) {
  seen.in_order.clear();
  seen.line_runs.clear();
  seen.others.clear();
}

}  // namespace pctlfit
