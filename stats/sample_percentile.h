#pragma once
// Sample percentiles of a cell's pooled values, exactly as sorting the n values
// x_1 <= ... <= x_n (IEEE totalOrder, so -0 before 0) and applying one of Hyndman and Fan's
// nine definitions gives them, in doubles.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pctlfit {

struct SampleMethod {
  const char* name;  // as --sample names it
  int type;          // Hyndman and Fan's number, 1 to 9
  double a;          // the interpolating types' h = (n + 1 - 2a) p + a; unused by 1 to 4
};

// The method that `text` names (a name or a type number "1" to "9"); nullopt for none.
std::optional<SampleMethod> find_sample_method(std::string_view text);
// "weibull (6), hazen (5), ..." for a message.
std::string sample_method_names();
// The default: weibull, type 6, i / (n + 1).
SampleMethod default_sample_method();

// The ranks (1-based) that the figure at `p` (a fraction) of n values reads: j and j + 1,
// clipped to 1..n; `first` is j clipped, `second` j + 1 clipped. n > 0.
struct SampleRanks {
  uint64_t first;
  uint64_t second;
};
SampleRanks sample_ranks(const SampleMethod& method, uint64_t n, double p);

// The figure at `p` of n > 0 values, `at(r)` giving x_r for the ranks sample_ranks names.
double sample_figure(const SampleMethod& method, uint64_t n, double p,
                     const std::function<double(uint64_t)>& at);

// A double's place in IEEE totalOrder as an unsigned key: a < b in totalOrder exactly when
// key(a) < key(b). And back.
inline uint64_t total_order_key(uint64_t bits) {
  return bits >> 63 ? ~bits : bits | (uint64_t{1} << 63);
}
inline uint64_t total_order_bits(uint64_t key) {
  return key >> 63 ? key & ~(uint64_t{1} << 63) : ~key;
}

}  // namespace pctlfit
