#pragma once
// The two passes of the rank selection over keys of 32 bits that vectors do best: the keys'
// least and greatest, and the gathering of the keys of the wanted buckets. The loops for any
// processor here; a processor's own where it has one (stats/rank_select_*.cpp).

#include <cstddef>
#include <cstdint>

namespace pctlfit {

struct NarrowKeyKernels {
  // least and greatest of keys[0, n), n > 0.
  void (*bounds)(const uint32_t* keys, size_t n, uint32_t& least, uint32_t& greatest);
  // Writes to out, in order, each key whose bucket ((key - least) >> shift) is one of
  // wanted[0, wanted_count); returns how many. out has room for their number plus 16.
  size_t (*gather)(const uint32_t* keys, size_t n, uint32_t least, int shift,
                   const uint32_t* wanted, size_t wanted_count, uint32_t* out);
};

void narrow_bounds_plain(const uint32_t* keys, size_t n, uint32_t& least, uint32_t& greatest);
size_t narrow_gather_plain(const uint32_t* keys, size_t n, uint32_t least, int shift,
                           const uint32_t* wanted, size_t wanted_count, uint32_t* out);

// The kernels this processor runs best.
NarrowKeyKernels narrow_key_kernels();

}  // namespace pctlfit
