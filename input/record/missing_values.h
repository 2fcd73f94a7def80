#pragma once
// How a record's values that are not pooled are marked in place: a value that was not read
// (after a bad field, or a short record) and a missing one (not above -9999, NaN included).

#include <bit>
#include <cstdint>

namespace pctlfit {

inline constexpr double kMissingMarker = -9999.0;

// NaNs with payloads that no arithmetic produces, so that a NaN from the logarithm of a
// negative value is still added; they differ in their lowest two bits only, so one test finds
// them all, and the two bits left leave room for a pass's own mark (the bound's, with --zeros).
inline constexpr uint64_t kNotReadBits = 0x7ff4'dead'beef'0000ULL;
inline constexpr uint64_t kMissingBits = 0x7ff4'dead'beef'0001ULL;
inline bool is_not_accumulated(double v) {
  return (std::bit_cast<uint64_t>(v) | 3) == (kNotReadBits | 3);
}

// Marks the values of row[0, count) that are not above kMissingMarker as missing (the active
// reading's step: two at a time where it has vectors).
void mark_missing(double* row, int count);

// The reference, one value at a time.
void mark_missing_byte_by_byte(double* row, int count);

}  // namespace pctlfit
