#include "input/record/wide16.h"

#include "input/record/kernels.h"
#include "input/record/missing_values.h"
#include "input/record/window_reading.h"

namespace pctlfit {

namespace {

struct Wide16 {
  static constexpr ClassifyWindow classify = wide16::classify_window;
  static unsigned read_eight(const TokenWindow& window, double* values) {
    return wide16::read_eight_plain(window, values);
  }
  static int read_plain(TokenWindow& window, int most, double* values, unsigned& last_end) {
    return wide16::read_plain(window, most, values, last_end);
  }
};

}  // namespace

// SSE2 is part of every x86-64 processor.
bool wide16_available() { return true; }

void mark_missing_wide16(double* row, int count) {
  const __m128d marker = _mm_set1_pd(kMissingMarker);
  const __m128d missing = _mm_set1_pd(std::bit_cast<double>(kMissingBits));
  int c = 0;
  for (; c + 2 <= count; c += 2) {
    const __m128d value = _mm_loadu_pd(row + c);
    const __m128d kept = _mm_cmpgt_pd(value, marker);  // false for NaN
    _mm_storeu_pd(row + c, _mm_or_pd(_mm_and_pd(kept, value), _mm_andnot_pd(kept, missing)));
  }
  mark_missing_byte_by_byte(row + c, count - c);
}

void read_values_wide16(const ValueFields& fields, RecordParse& result) {
  read_values_in_windows<Wide16>(fields, result);
}

}  // namespace pctlfit
