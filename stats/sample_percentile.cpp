#include "stats/sample_percentile.h"

#include <cmath>

namespace pctlfit {

namespace {

constexpr SampleMethod kMethods[] = {
    {"weibull", 6, 0.0},
    {"hazen", 5, 0.5},
    {"linear", 7, 1.0},
    {"median-unbiased", 8, 1.0 / 3},
    {"normal-unbiased", 9, 3.0 / 8},
    {"cunnane", 0, 0.4},
    {"gringorten", 0, 0.44},
    {"type4", 4, 0.0},
    {"type1", 1, 0.0},
    {"type2", 2, 0.0},
    {"type3", 3, 0.0},
};

// h for the method: n p, n p - 0.5 (type 3), or (n + 1 - 2a) p + a.
double position(const SampleMethod& method, uint64_t n, double p) {
  const double count = static_cast<double>(n);
  if (method.type >= 1 && method.type <= 4) {
    return method.type == 3 ? count * p - 0.5 : count * p;
  }
  return (count + 1 - 2 * method.a) * p + method.a;
}

uint64_t clip(double rank, uint64_t n) {
  if (!(rank >= 1)) return 1;
  if (rank >= static_cast<double>(n)) return n;
  return static_cast<uint64_t>(rank);
}

}  // namespace

std::optional<SampleMethod> find_sample_method(std::string_view text) {
  for (const SampleMethod& method : kMethods) {
    if (text == method.name) return method;
    if (method.type > 0 && text.size() == 1 && text[0] == char('0' + method.type)) return method;
  }
  return std::nullopt;
}

std::string sample_method_names() {
  std::string names;
  for (const SampleMethod& method : kMethods) {
    if (method.type == 0 || method.type > 4) {
      names += (names.empty() ? "" : ", ") + std::string(method.name);
      if (method.type > 0) names += " (" + std::to_string(method.type) + ")";
    }
  }
  return names + ", or a type number 1 to 9";
}

SampleMethod default_sample_method() { return kMethods[0]; }

SampleRanks sample_ranks(const SampleMethod& method, uint64_t n, double p) {
  const double j = std::floor(position(method, n, p));
  return {clip(j, n), clip(j + 1, n)};
}

double sample_figure(const SampleMethod& method, uint64_t n, double p,
                     const std::function<double(uint64_t)>& at) {
  const double h = position(method, n, p);
  const double j = std::floor(h);
  const double g = h - j;
  const SampleRanks ranks = sample_ranks(method, n, p);
  switch (method.type) {
    case 1:
      return g == 0 ? at(ranks.first) : at(ranks.second);
    case 2:
      return g == 0 ? 0.5 * (at(ranks.first) + at(ranks.second)) : at(ranks.second);
    case 3:
      return g == 0 && std::fmod(j, 2) == 0 ? at(ranks.first) : at(ranks.second);
    default:
      break;
  }
  if (j < 1) return at(1);
  if (j >= static_cast<double>(n)) return at(n);
  const double low = at(ranks.first);
  const double high = at(ranks.second);
  if (g == 0 || low == high) return low;
  return low + g * (high - low);
}

}  // namespace pctlfit
