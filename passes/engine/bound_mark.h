#pragma once
// --zeros: a value exactly at the log-normal bound has a probability of its own; the block
// parser marks it in place, pooled but not into the sums. Its mark is a NaN of the family of
// the record's own marks (is_not_accumulated finds it with them) that only it has.

#include <bit>
#include <cstdint>

#include "input/record/missing_values.h"

namespace pctlfit {

inline constexpr uint64_t kAtBoundBits = kNotReadBits | 2;
static_assert((kAtBoundBits | 3) == (kNotReadBits | 3) && kAtBoundBits != kMissingBits);

inline bool is_at_bound_mark(double v) { return std::bit_cast<uint64_t>(v) == kAtBoundBits; }

}  // namespace pctlfit
