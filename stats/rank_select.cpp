#include "stats/rank_select.h"

#include <algorithm>
#include <bit>
#include <iterator>

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

// About four keys a bucket, so that counting costs no more than the keys' own pass.
template <typename Key>
Buckets<Key> count_buckets(const std::vector<Key>& keys) {
  // By value, not by place (as minmax_element finds them): half the work, no branches.
  Key least = static_cast<Key>(~Key{0});
  Key greatest = 0;
  for (Key key : keys) {
    least = std::min(least, key);
    greatest = std::max(greatest, key);
  }
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

}  // namespace

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
  // Each wanted bucket's keys side by side in one buffer; slot[b]: b's place among the wanted.
  constexpr uint16_t kNotWanted = 0xffff;
  std::vector<uint16_t> slot(buckets.before.size(), kNotWanted);
  std::vector<size_t> start, next;
  size_t gathered = 0;
  for (size_t bucket : wanted) {
    slot[bucket] = static_cast<uint16_t>(start.size());
    start.push_back(gathered);
    gathered += buckets.before[bucket + 1] - buckets.before[bucket];
  }
  if (gathered > kMostGathered) return select_in_place(keys, ranks, found);
  next = start;
  std::vector<Key> gather(gathered);
  for (Key key : keys) {
    const uint16_t place = slot[buckets.of(key)];
    if (place != kNotWanted) gather[next[place]++] = key;
  }
  for (uint64_t rank : ranks) {
    const size_t bucket = bucket_of_rank(buckets, rank);
    const auto first = gather.begin() + static_cast<std::ptrdiff_t>(start[slot[bucket]]);
    const auto at = first + static_cast<std::ptrdiff_t>(rank - 1 - buckets.before[bucket]);
    std::nth_element(first, at, gather.begin() + static_cast<std::ptrdiff_t>(next[slot[bucket]]));
    found.push_back(*at);
  }
}

template void select_ranks(std::vector<uint32_t>&, const std::vector<uint64_t>&,
                           std::vector<uint64_t>&);
template void select_ranks(std::vector<uint64_t>&, const std::vector<uint64_t>&,
                           std::vector<uint64_t>&);

}  // namespace pctlfit
