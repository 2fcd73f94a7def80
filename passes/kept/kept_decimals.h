#pragma once
// Values read from text mostly carry a few decimals. Such a value is kept as the integer m of
// m / 10^scale in 4 bytes instead of 8, which halves the memory the kept values take and touch.
// A block is kept so only where every pooled value comes back bit for bit (checked, not
// assumed: a parser's rounding, -0, inf, long mantissas all fall back to doubles).
//
// Decimals compare as integers: m * 10^(K - scale) orders values of scales up to K exactly as
// the doubles order them, since two values of at most ten digits each are never as close as
// two neighbouring doubles.

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "input/record/missing_values.h"
#include "passes/engine/bound_mark.h"

namespace pctlfit {

inline constexpr int kRawDoubles = -1;  // a block kept as doubles
inline constexpr int kMostScale = 9;
inline constexpr int32_t kNotPooledCode = INT32_MIN;
inline constexpr std::array<double, 10> kPowersOfTen = {1e0, 1e1, 1e2, 1e3, 1e4,
                                                        1e5, 1e6, 1e7, 1e8, 1e9};

// The integer nearest v * power into m (as a double), and whether it gives v back bit for bit
// and fits 32 bits (NaN and inf never do). Bitwise operators, not && and ||: no branch keeps a
// loop of it from running vectors.
[[gnu::always_inline]] inline bool nearest_decimal(double v, double power, double& m) {
  // Rounds to the nearest integer in the default rounding mode, without a library call.
  constexpr double kRound = 6755399441055744.0;  // 1.5 * 2^52
  const double scaled = v * power;
  m = (scaled + kRound) - kRound;
  return (std::bit_cast<uint64_t>(m / power) == std::bit_cast<uint64_t>(v)) &
         (std::fabs(scaled) <= 2147483646.0);
}

// Whether v comes back bit for bit from its integer at `scale`.
inline bool fits_decimal(double v, int scale) {
  double m = 0;
  return nearest_decimal(v, kPowersOfTen[size_t(scale)], m);
}

// The least scale from `hint` on at which every pooled value(i), i < count, fits; kRawDoubles
// where none up to kMostScale does. Marks of what is not pooled fit any scale.
template <typename Value>
int decimal_scale(size_t count, const Value& value, int hint) {
  int scale = std::clamp(hint, 0, kMostScale);
  for (size_t i = 0; i < count;) {
    const double v = value(i);
    if (is_not_accumulated(v) || fits_decimal(v, scale)) {
      ++i;
    } else if (++scale > kMostScale) {
      return kRawDoubles;
    } else {
      i = 0;  // the values before may not fit the larger scale
    }
  }
  return scale;
}

// out[i] = the integer at `scale` of the value as read: values[i], or read[i] where `read` is
// given and values[i] is no mark of what is not pooled (the transformed rows' marks); a mark
// gives kNotPooledCode. Whether every value fits; where one does not, its out[i] is 0.
bool encode_decimals(const double* values, const double* read, int32_t* out, size_t n, int scale);

// The loop, without branches so that it runs a vector of values a step; inlined into each
// processor's kernel.
template <bool kRead>
[[gnu::always_inline]] inline bool encode_decimals_loop(const double* values, const double* read,
                                                        int32_t* out, size_t n, int scale) {
  const double power = kPowersOfTen[size_t(scale)];
  uint64_t misfits = 0;
  for (size_t i = 0; i < n; ++i) {
    // Bitwise operators, not && and ||, as in nearest_decimal.
    uint64_t bits = std::bit_cast<uint64_t>(values[i]);
    bool mark = (bits | 3) == (kNotReadBits | 3);
    if constexpr (kRead) {
      const uint64_t as_read = std::bit_cast<uint64_t>(read[i]);  // read whether taken or not
      mark = mark & (bits != kAtBoundBits);
      const uint64_t keep = uint64_t{0} - uint64_t{mark};  // all ones to keep the mark
      bits = as_read ^ ((bits ^ as_read) & keep);
    }
    double m = 0;
    const bool fits = nearest_decimal(std::bit_cast<double>(bits), power, m);
    const double safe = fits ? m : 0.0;  // never a conversion out of range
    out[i] = mark ? kNotPooledCode : static_cast<int32_t>(safe);
    misfits |= static_cast<uint64_t>(!fits & !mark);
  }
  return misfits == 0;
}

using DecimalKernel = bool (*)(const double* values, const double* read, int32_t* out, size_t n,
                               int scale);
// The loop for any processor, and the one this processor runs best.
bool encode_decimals_plain(const double* values, const double* read, int32_t* out, size_t n,
                           int scale);
DecimalKernel decimal_kernel();

inline double decimal_value(int32_t code, int scale) {
  return static_cast<double>(code) / kPowersOfTen[size_t(scale)];
}

// A decimal's key among those of scales up to K, factor = 10^(K - scale); unsigned, so that
// keys compare as the values do.
inline uint64_t decimal_key(int32_t code, int64_t factor) {
  return static_cast<uint64_t>(int64_t{code} * factor) ^ (uint64_t{1} << 63);
}

// The key of a decimal among those of its own scale alone, and back.
inline uint32_t narrow_decimal_key(int32_t code) {
  return static_cast<uint32_t>(code) ^ (uint32_t{1} << 31);
}
inline int32_t narrow_decimal_code(uint32_t key) {
  return static_cast<int32_t>(key ^ (uint32_t{1} << 31));
}

// The double whose key at scale K this is.
double decimal_key_value(uint64_t key, int scale);

}  // namespace pctlfit
