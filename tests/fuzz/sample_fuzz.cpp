// Fuzzes the sample percentiles: values, levels, a method and a budget from the input, written
// as a data file of up to six columns and twelve months. Properties: the narrowing passes under
// the budget, and the values the data pass kept (as decimals where they come back exactly,
// blocks of any size), give the figures of the values read again and sorted in memory, bit for
// bit; and the narrowing holds no more than the budget and the bookkeeping the run's budget
// check charges for the cells and levels, with a little room for reading the files.
#include <fuzzer/FuzzedDataProvider.h>
#include <sanitizer/allocator_interface.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "passes/data_pass.h"
#include "passes/kept/kept_tally.h"
#include "passes/sample_pass.h"

using namespace pctlfit;

namespace {

const std::string& data_path() {
  static const std::string path = [] {
    char pattern[] = "/tmp/pctlfit_sample_fuzz_XXXXXX";
    if (::mkdtemp(pattern) == nullptr) std::abort();
    return std::string(pattern) + "/a.dat";
  }();
  return path;
}

// A decimal of 0 to 10 places, its digits up to the 32-bit integers' reach and a little beyond.
std::string decimal_text(FuzzedDataProvider& data) {
  const auto digits = data.ConsumeIntegralInRange<int64_t>(-(int64_t{1} << 32), int64_t{1} << 32);
  const auto places = data.ConsumeIntegralInRange<size_t>(0, 10);
  std::string text = std::to_string(digits < 0 ? -digits : digits);
  if (text.size() <= places) text.insert(0, places + 1 - text.size(), '0');
  if (places > 0) text.insert(text.size() - places, ".");
  return (digits < 0 ? "-" : "") + text;
}

// A value of every kind the files hold: small integers (ties), -0 and 0, infinities, missing,
// decimals and any double.
std::string value_text(FuzzedDataProvider& data) {
  switch (data.ConsumeIntegralInRange(0, 9)) {
    case 0:
      return std::to_string(data.ConsumeIntegralInRange(-3, 3));
    case 1:
      return "-0";
    case 2:
      return data.ConsumeBool() ? "inf" : "-inf";
    case 3:
      return "-9999";
    case 4:
    case 5:
      return decimal_text(data);
    default: {
      const double v = data.ConsumeFloatingPoint<double>();
      char text[40];
      std::snprintf(text, sizeof text, "%.17g", v);
      return text;
    }
  }
}

// The bytes the heap holds, and the most it held since the last reset, from the sanitizer's
// hooks on every allocation.
std::atomic<int64_t> live_bytes{0};
std::atomic<int64_t> peak_bytes{0};

void on_malloc(const volatile void*, size_t size) {
  const int64_t now = live_bytes.fetch_add(int64_t(size)) + int64_t(size);
  int64_t peak = peak_bytes.load();
  while (now > peak && !peak_bytes.compare_exchange_weak(peak, now)) {
  }
}

void on_free(const volatile void* pointer) {
  live_bytes.fetch_sub(int64_t(__sanitizer_get_allocated_size(const_cast<const void*>(pointer))));
}

// What reading the files may hold besides the sample's own: blocks, queues, names, a thread.
constexpr int64_t kReadingRoom = int64_t{1} << 20;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  __sanitizer_install_malloc_and_free_hooks(on_malloc, on_free);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  const char* methods[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "cunnane", "gringorten"};
  const SampleMethod method = *find_sample_method(methods[data.ConsumeIntegralInRange(0, 10)]);
  std::vector<double> levels;
  for (int i = data.ConsumeIntegralInRange(1, 40); i > 0; --i) {
    levels.push_back(data.ConsumeFloatingPointInRange<double>(1e-6, 100 - 1e-6));
  }
  // --ci: the intervals' order statistics are further ranks, kept and narrowed alike.
  std::optional<double> confidence;
  if (data.ConsumeBool()) confidence = data.ConsumeFloatingPointInRange<double>(1e-6, 1 - 1e-6);
  const uint64_t memory = data.ConsumeIntegralInRange<uint64_t>(64, 4096);
  const size_t block_size = data.ConsumeIntegralInRange<size_t>(64, 4096);
  const int columns = data.ConsumeIntegralInRange(1, 6);
  std::string records = "t\nYYYY MM DD H";
  for (int c = 0; c < columns; ++c) records += "\tC" + std::to_string(c + 1);
  records += "\nu\n";
  for (int r = data.ConsumeIntegralInRange(1, 300); r > 0 && data.remaining_bytes() > 0; --r) {
    records += std::to_string(2001 + r) + " " + std::to_string(data.ConsumeIntegralInRange(1, 12)) +
               " 1 0";
    for (int c = 0; c < columns; ++c) records += " " + value_text(data);
    records += "\n";
  }
  std::ofstream(data_path(), std::ios::binary) << records;
  const std::vector<std::string> entries = {data_path()};
  StatsTable table = allocate_table(columns);
  WarningSink sink;
  KeptValues keeper(columns, uint64_t{1} << 30);
  DataPassOptions keeping;
  keeping.tallies.push_back(kept_tally(keeper));
  keeping.pass.block_size = block_size;
  if (failed(read_data_files(entries, {DistributionMode::NV, 0.0}, table, sink, keeping))) {
    return 0;
  }
  SampleFigures again, narrowed, kept;
  const SampleRequest in_memory{method, levels, uint64_t{1} << 30, nullptr, confidence};
  if (failed(sample_data_files(entries, table, in_memory, {}, again))) __builtin_trap();
  const int64_t before = live_bytes.load();
  peak_bytes.store(before);
  const SampleRequest budgeted{method, levels, memory, nullptr, confidence};
  if (failed(sample_data_files(entries, table, budgeted, {}, narrowed))) __builtin_trap();
  const uint64_t rank_sets = levels.size() * rank_sets_per_level(confidence.has_value());
  const int64_t bound = int64_t(memory + sample_bookkeeping(uint64_t(columns) * 12, rank_sets));
  if (peak_bytes.load() - before > bound + kReadingRoom) __builtin_trap();
  if (failed(sample_data_files(entries, table, in_memory, {}, kept, &keeper))) __builtin_trap();
  for (const SampleFigures* other : {&narrowed, &kept}) {
    if (other->figures.size() != again.figures.size()) __builtin_trap();
    for (size_t i = 0; i < again.figures.size(); ++i) {
      if (std::bit_cast<uint64_t>(other->figures[i]) != std::bit_cast<uint64_t>(again.figures[i]))
        __builtin_trap();
    }
    if (other->intervals.size() != again.intervals.size()) __builtin_trap();
    for (size_t i = 0; i < again.intervals.size(); ++i) {
      const IntervalEnds& a = again.intervals[i];
      const IntervalEnds& b = other->intervals[i];
      if (std::bit_cast<uint64_t>(a.lo) != std::bit_cast<uint64_t>(b.lo) ||
          std::bit_cast<uint64_t>(a.hi) != std::bit_cast<uint64_t>(b.hi))
        __builtin_trap();
    }
  }
  return 0;
}
