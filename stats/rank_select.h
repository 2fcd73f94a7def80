#pragma once
// The keys at given ranks of an unsorted set, as a sort would place them, without sorting: a
// count of the keys into buckets between their least and greatest finds each rank's bucket, and
// only those buckets' keys are selected among. Keys are unsigned (totalOrder keys of doubles).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pctlfit {

// found[i] = the key of rank ranks[i] (1-based, ascending, each in 1..keys.size()). `keys` is
// reordered. Extra memory: the buckets and at most kMostGathered keys, whatever keys.size().
void select_ranks(std::vector<uint64_t>& keys, const std::vector<uint64_t>& ranks,
                  std::vector<uint64_t>& found);

// Beyond this many keys in the wanted buckets (ties, a heavy mode), each rank is selected in
// place instead.
inline constexpr size_t kMostGathered = size_t{1} << 16;

}  // namespace pctlfit
