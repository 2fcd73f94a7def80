#pragma once
// The keys at given ranks of an unsorted set, as a sort would place them, without sorting: a
// count of the keys into buckets between their least and greatest finds each rank's bucket, and
// only those buckets' keys are selected among. Keys are unsigned (totalOrder keys of doubles,
// or those of kept decimals).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pctlfit {

// found[i] = the key of rank ranks[i] (1-based, ascending, each in 1..keys.size()). `keys` is
// reordered. Extra memory: the buckets and at most kMostGathered keys, whatever keys.size().
// Keys of 32 bits (where they suffice) take half the memory and time.
template <typename Key>
void select_ranks(std::vector<Key>& keys, const std::vector<uint64_t>& ranks,
                  std::vector<uint64_t>& found);
extern template void select_ranks(std::vector<uint32_t>&, const std::vector<uint64_t>&,
                                  std::vector<uint64_t>&);
extern template void select_ranks(std::vector<uint64_t>&, const std::vector<uint64_t>&,
                                  std::vector<uint64_t>&);

// Beyond this many keys in the wanted buckets (ties, a heavy mode), each rank is selected in
// place instead.
inline constexpr size_t kMostGathered = size_t{1} << 16;

}  // namespace pctlfit
