// Each loop that has a vector form, in its plain form and in the form this processor runs,
// against a reference written the obvious way: a fault in either is caught on any processor
// that has both (the vector forms are shown as skipped where the processor lacks them).
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "cpu/features.h"
#include "stats/log_each.h"
#include "stats/rank_select_kernels.h"

namespace pctlfit {
namespace {

struct NamedKernels {
  const char* name;
  NarrowKeyKernels kernels;
};

std::vector<NamedKernels> narrow_key_forms() {
  std::vector<NamedKernels> forms = {{"plain", {narrow_bounds_plain, narrow_gather_plain}}};
  if (cpu_runs_wide64()) forms.push_back({"wide64", narrow_key_kernels()});
  return forms;
}

TEST(VectorKernels, RankSelectionBoundsAndGatherAsALoopWould) {
  if (!cpu_runs_wide64()) std::puts("wide64: skipped, this processor lacks it");
  std::mt19937 random(11);
  for (const size_t n : {size_t{1}, size_t{15}, size_t{16}, size_t{17}, size_t{1000}}) {
    std::vector<uint32_t> keys(n);
    for (uint32_t& key : keys) key = uint32_t(1000 + random() % 5000);
    const uint32_t least = *std::min_element(keys.begin(), keys.end());
    const uint32_t greatest = *std::max_element(keys.begin(), keys.end());
    const int shift = 6;
    const std::vector<uint32_t> wanted = {0, 3, 77};
    std::vector<uint32_t> expected;
    for (const uint32_t key : keys) {
      if (std::find(wanted.begin(), wanted.end(), (key - least) >> shift) != wanted.end())
        expected.push_back(key);
    }
    for (const NamedKernels& form : narrow_key_forms()) {
      SCOPED_TRACE(std::string(form.name) + ", " + std::to_string(n) + " keys");
      uint32_t low = 0, high = 0;
      form.kernels.bounds(keys.data(), n, low, high);
      EXPECT_EQ(low, least);
      EXPECT_EQ(high, greatest);
      std::vector<uint32_t> out(n + 16);
      const size_t taken = form.kernels.gather(keys.data(), n, least, shift, wanted.data(),
                                               wanted.size(), out.data());
      out.resize(taken);
      EXPECT_EQ(out, expected);
    }
  }
}

// The logarithms the fit comparison takes many at a time: within a few units in the last place
// of std::log, and std::log's own answer below and at 0.
TEST(VectorKernels, LogarithmsWithinAFewUlpsOfStdLog) {
  std::mt19937 random(5);
  std::vector<double> in(1003);
  for (double& v : in)
    v = std::ldexp(1.0 + double(random() % 1000000) / 1e6, int(random() % 200) - 100);
  in[0] = 0;
  in[1] = -2;
  in[2] = 1;
  const std::pair<const char*, LogKernel> kernels[] = {{"plain", log_each_plain},
                                                       {"this processor's", log_each_kernel()}};
  for (const auto& [name, kernel] : kernels) {
    SCOPED_TRACE(name);
    std::vector<double> out(in.size());
    kernel(in.data(), out.data(), in.size());
    EXPECT_EQ(out[0], -HUGE_VAL);
    EXPECT_TRUE(std::isnan(out[1]));
    EXPECT_EQ(out[2], 0.0);
    for (size_t i = 3; i < in.size(); ++i) {
      const double exact = std::log(in[i]);
      const auto ulps = std::bit_cast<int64_t>(out[i]) - std::bit_cast<int64_t>(exact);
      ASSERT_LE(std::abs(ulps), 4) << in[i];
    }
  }
}

}  // namespace
}  // namespace pctlfit
