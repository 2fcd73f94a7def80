#include "stats/rank_select.h"

#include <algorithm>
#include <array>
#include <bit>
#include <iterator>

#include "stats/rank_select_kernels.h"

namespace pctlfit {

namespace {

constexpr int kMostBucketBits = 12;
constexpr size_t kFewKeys = 256;  // fewer are selected in place at once

// A selection per rank, each among what the one before left above it.
template <typename Key>
void select_in_place(std::vector<Key>& keys, const std::vector<uint64_t>& ranks,
                     std::vector<uint64_t>& found) {
  auto from = keys.begin();
  for (uint64_t rank : ranks) {
    const auto at = keys.begin() + static_cast<std::ptrdiff_t>(rank - 1);
    std::nth_element(from, at, keys.end());
    found.push_back(*at);
    from = at + 1;
  }
}

template <typename Key>
struct Buckets {
  Key least = 0;
  int shift = 0;
  std::vector<uint64_t> before;  // keys in the buckets below each, and the total at the end
  size_t of(Key key) const { return static_cast<size_t>(Key(key - least) >> shift); }
};

const NarrowKeyKernels& narrow_kernels() {
  static const NarrowKeyKernels kernels = narrow_key_kernels();
  return kernels;
}

// By value, not by place (as minmax_element finds them): half the work, no branches.
template <typename Key>
void key_bounds(const std::vector<Key>& keys, Key& least, Key& greatest) {
  if constexpr (sizeof(Key) == sizeof(uint32_t)) {
    narrow_kernels().bounds(keys.data(), keys.size(), least, greatest);
  } else {
    least = static_cast<Key>(~Key{0});
    greatest = 0;
    for (Key key : keys) {
      least = std::min(least, key);
      greatest = std::max(greatest, key);
    }
  }
}

// About four keys a bucket, so that counting costs no more than the keys' own pass.
template <typename Key>
Buckets<Key> count_buckets(const std::vector<Key>& keys) {
  Key least = 0;
  Key greatest = 0;
  key_bounds(keys, least, greatest);
  Buckets<Key> buckets;
  buckets.least = least;
  const int bucket_bits = std::clamp(int(std::bit_width(keys.size())) - 2, 4, kMostBucketBits);
  buckets.shift = std::max(0, int(std::bit_width(Key(greatest - least))) - bucket_bits);
  buckets.before.assign(buckets.of(greatest) + 2, 0);
  for (Key key : keys) ++buckets.before[buckets.of(key) + 1];
  for (size_t b = 1; b < buckets.before.size(); ++b) buckets.before[b] += buckets.before[b - 1];
  return buckets;
}

// The bucket that holds the key of `rank`: the last whose keys below it are fewer than rank.
template <typename Key>
size_t bucket_of_rank(const Buckets<Key>& buckets, uint64_t rank) {
  const auto above = std::lower_bound(buckets.before.begin(), buckets.before.end(), rank);
  return static_cast<size_t>(std::distance(buckets.before.begin(), above)) - 1;
}

// The keys of the wanted buckets (their numbers ascending) into `into`, in any order.
template <typename Key>
void gather_wanted(const std::vector<Key>& keys, const Buckets<Key>& buckets,
                   const std::vector<size_t>& wanted, std::vector<Key>& into) {
  if constexpr (sizeof(Key) == sizeof(uint32_t)) {
    const std::vector<uint32_t> numbers(wanted.begin(), wanted.end());
    const size_t gathered = into.size();
    into.resize(gathered + 16);
    narrow_kernels().gather(keys.data(), keys.size(), buckets.least, buckets.shift, numbers.data(),
                            numbers.size(), into.data());
    into.resize(gathered);
  } else {
    // Every key is written, only the wanted ones kept: no branch to mispredict.
    std::vector<bool> is_wanted(buckets.before.size());
    for (size_t bucket : wanted) is_wanted[bucket] = true;
    const size_t gathered = into.size();
    into.resize(gathered + 1);
    size_t taken = 0;
    for (Key key : keys) {
      into[taken] = key;
      taken += is_wanted[buckets.of(key)];
    }
    into.resize(gathered);
  }
}

}  // namespace

void narrow_bounds_plain(const uint32_t* keys, size_t n, uint32_t& least, uint32_t& greatest) {
  least = ~uint32_t{0};
  greatest = 0;
  for (size_t i = 0; i < n; ++i) {
    least = std::min(least, keys[i]);
    greatest = std::max(greatest, keys[i]);
  }
}

size_t narrow_gather_plain(const uint32_t* keys, size_t n, uint32_t least, int shift,
                           const uint32_t* wanted, size_t wanted_count, uint32_t* out) {
  // A byte per bucket up to the highest wanted, and one for every bucket above it: a key's test
  // is one load, however many buckets are wanted (a figure's and its interval's ends are more).
  uint32_t top = 0;
  for (size_t w = 0; w < wanted_count; ++w) top = std::max(top, wanted[w]);
  std::vector<unsigned char> keep(size_t(top) + 2, 0);
  for (size_t w = 0; w < wanted_count; ++w) keep[wanted[w]] = 1;
  size_t taken = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint32_t bucket = std::min((keys[i] - least) >> shift, top + 1);
    out[taken] = keys[i];
    taken += keep[bucket];
  }
  return taken;
}

template <typename Key>
void select_ranks(std::vector<Key>& keys, const std::vector<uint64_t>& ranks,
                  std::vector<uint64_t>& found) {
  found.clear();
  if (keys.size() < kFewKeys || ranks.size() >= 0xffff) return select_in_place(keys, ranks, found);
  const Buckets<Key> buckets = count_buckets(keys);
  std::vector<size_t> wanted;  // the ranks' buckets, ascending, each once
  for (uint64_t rank : ranks) {
    const size_t bucket = bucket_of_rank(buckets, rank);
    if (wanted.empty() || wanted.back() != bucket) wanted.push_back(bucket);
  }
  // The wanted buckets' keys gathered in one buffer, in any order: a key's rank among them
  // is its rank in its bucket plus the keys of the wanted buckets below.
  std::vector<uint64_t> wanted_below(buckets.before.size());
  size_t gathered = 0;
  for (size_t bucket : wanted) {
    wanted_below[bucket] = gathered;
    gathered += buckets.before[bucket + 1] - buckets.before[bucket];
  }
  if (gathered > kMostGathered) return select_in_place(keys, ranks, found);
  std::vector<Key> gather(gathered);
  gather_wanted(keys, buckets, wanted, gather);
  auto from = gather.begin();
  for (uint64_t rank : ranks) {
    const size_t bucket = bucket_of_rank(buckets, rank);
    const auto at = gather.begin() + static_cast<std::ptrdiff_t>(wanted_below[bucket] + rank - 1 -
                                                                 buckets.before[bucket]);
    std::nth_element(from, at, gather.end());
    found.push_back(*at);
    from = at + 1;
  }
}

template void select_ranks(std::vector<uint32_t>&, const std::vector<uint64_t>&,
                           std::vector<uint64_t>&);
template void select_ranks(std::vector<uint64_t>&, const std::vector<uint64_t>&,
                           std::vector<uint64_t>&);

}  // namespace pctlfit
