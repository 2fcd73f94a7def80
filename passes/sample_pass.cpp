#include "passes/sample_pass.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <thread>

#include "passes/block_parser.h"
#include "stats/rank_select.h"

namespace pctlfit {

namespace {

constexpr int kKeyBits = 64;
constexpr int kMostBitsPerPass = 16;

uint64_t cell_count(const StatsTable& table, size_t cell) {
  const int column = static_cast<int>(cell / kMonths) + 1;
  const int month = static_cast<int>(cell % kMonths) + 1;
  return static_cast<uint64_t>(table_cell(table, column, month).count);
}

// Runs one pass whose apply step hands each pooled value of a block, with its cell, to `take`
// (for the block's columns [first, end), on that range's turn).
template <typename Take>
InputError pass_values(const std::vector<std::string>& entries, int columns,
                       const PassOptions& options, const Take& take) {
  const PassFiles files = pass_files(entries, columns);
  const FileLayout layout = options.layout;
  const auto parse = [&](WorkItem& item) {
    if (item.kind == ItemKind::block) {
      parse_block_values({item.bytes.data(), item.length}, columns, item.parsed, layout);
    }
  };
  const auto apply = [&](const WorkItem& item, size_t first, size_t end) {
    const double* row = item.parsed.values.data();
    for (unsigned char month : item.parsed.months) {
      for (size_t c = first; c < end; ++c) {
        if (!is_not_accumulated(row[c])) take(sample_cell(int(c) + 1, month), row[c]);
      }
      row += columns;
    }
  };
  return run_pass_to_failure(files, options, parse, apply);
}

// The ranks (1-based, unique, ascending) that a cell's figures read.
std::vector<uint64_t> cell_ranks(const SampleRequest& request, uint64_t n) {
  std::vector<uint64_t> ranks;
  if (n == 0) return ranks;
  for (double level : request.levels) {
    const SampleRanks r = sample_ranks(request.method, n, level / 100);
    ranks.push_back(r.first);
    ranks.push_back(r.second);
  }
  std::sort(ranks.begin(), ranks.end());
  ranks.erase(std::unique(ranks.begin(), ranks.end()), ranks.end());
  return ranks;
}

// Every cell's ranks that its figures read, unique and sorted, laid out cell after cell.
struct Targets {
  std::vector<size_t> begin;     // by cell, and one past the last
  std::vector<uint64_t> wanted;  // 1-based, among the cell's values, as the figures read them
  std::vector<uint64_t> rank;    // what is left of each among the values that share its key bits
  std::vector<uint64_t> key;     // found so far: the top `known` bits
  int known = 0;                 // bits of every key found so far
};

Targets wanted_ranks(const StatsTable& table, const SampleRequest& request) {
  Targets targets;
  const size_t cells = static_cast<size_t>(table.columns) * kMonths;
  for (size_t cell = 0; cell < cells; ++cell) {
    targets.begin.push_back(targets.rank.size());
    const std::vector<uint64_t> ranks = cell_ranks(request, cell_count(table, cell));
    targets.rank.insert(targets.rank.end(), ranks.begin(), ranks.end());
  }
  targets.begin.push_back(targets.rank.size());
  targets.key.assign(targets.rank.size(), 0);
  targets.wanted = targets.rank;
  return targets;
}

// Bits a pass narrows by: as many as the buckets of every target fit the budget, at most 16.
int bits_per_pass(uint64_t targets, uint64_t memory) {
  int bits = kMostBitsPerPass;
  while (bits > 1 && targets * (uint64_t{8} << bits) > memory) --bits;
  return bits;
}

// One narrowing pass: each target's values that share its known top bits are counted by their
// next `bits` bits; the bucket that holds the target's rank gives those bits.
InputError narrow(const std::vector<std::string>& entries, int columns, const PassOptions& options,
                  Targets& targets, int bits) {
  bits = std::min(bits, kKeyBits - targets.known);
  const size_t buckets = size_t{1} << bits;
  std::vector<uint64_t> counts(targets.rank.size() * buckets, 0);
  const int known = targets.known;
  const auto take = [&](size_t cell, double value) {
    const uint64_t key = total_order_key(std::bit_cast<uint64_t>(value));
    for (size_t t = targets.begin[cell]; t < targets.begin[cell + 1]; ++t) {
      if (known > 0 && (key >> (kKeyBits - known)) != targets.key[t]) continue;
      ++counts[t * buckets + ((key >> (kKeyBits - known - bits)) & (buckets - 1))];
    }
  };
  const InputError error = pass_values(entries, columns, options, take);
  for (size_t t = 0; t < targets.rank.size(); ++t) {
    uint64_t bucket = 0;
    for (; bucket + 1 < buckets && counts[t * buckets + bucket] < targets.rank[t]; ++bucket) {
      targets.rank[t] -= counts[t * buckets + bucket];
    }
    targets.key[t] = (targets.key[t] << bits) | bucket;
  }
  targets.known += bits;
  return error;
}

// The figures from each cell's found values: x_r is the value of the target of rank r.
void figures_from_targets(const StatsTable& table, const SampleRequest& request,
                          const Targets& targets, SampleFigures& out) {
  const size_t cells = static_cast<size_t>(table.columns) * kMonths;
  for (size_t cell = 0; cell < cells; ++cell) {
    const uint64_t n = cell_count(table, cell);
    const auto at = [&](uint64_t rank) {
      const auto first = targets.wanted.begin() + static_cast<std::ptrdiff_t>(targets.begin[cell]);
      const auto last =
          targets.wanted.begin() + static_cast<std::ptrdiff_t>(targets.begin[cell + 1]);
      const auto t =
          static_cast<size_t>(std::lower_bound(first, last, rank) - targets.wanted.begin());
      return std::bit_cast<double>(total_order_bits(targets.key[t]));
    };
    for (double level : request.levels) {
      out.figures.push_back(n == 0 ? std::numeric_limits<double>::quiet_NaN()
                                   : sample_figure(request.method, n, level / 100, at));
    }
  }
}

InputError by_narrowing(const std::vector<std::string>& entries, const StatsTable& table,
                        const SampleRequest& request, const PassOptions& options,
                        SampleFigures& out) {
  Targets targets = wanted_ranks(table, request);
  const int bits = bits_per_pass(targets.rank.size(), request.memory);
  while (targets.known < kKeyBits) {
    ++out.passes;
    const InputError error = narrow(entries, table.columns, options, targets, bits);
    if (failed(error)) return error;
  }
  figures_from_targets(table, request, targets, out);
  return {};
}

// A cell's figures at every level into figures[0 ..), from its keys (which it frees).
void select_cell(const SampleRequest& request, std::vector<uint64_t>& keys, double* figures) {
  const uint64_t n = keys.size();
  const std::vector<uint64_t> ranks = cell_ranks(request, n);
  std::vector<uint64_t> found;
  select_ranks(keys, ranks, found);
  std::vector<uint64_t>().swap(keys);
  const auto at = [&](uint64_t rank) {
    const auto place = std::lower_bound(ranks.begin(), ranks.end(), rank) - ranks.begin();
    return std::bit_cast<double>(total_order_bits(found[static_cast<size_t>(place)]));
  };
  for (size_t l = 0; l < request.levels.size(); ++l) {
    figures[l] = n == 0 ? std::numeric_limits<double>::quiet_NaN()
                        : sample_figure(request.method, n, request.levels[l] / 100, at);
  }
}

// Every cell's figures from its keys, the cells' selections on the pass's threads (they are
// independent).
void select_cells(const SampleRequest& request, int thread_count,
                  std::vector<std::vector<uint64_t>>& keys, SampleFigures& out) {
  const size_t cells = keys.size();
  out.figures.resize(cells * request.levels.size());
  const size_t threads = static_cast<size_t>(std::max(thread_count, 1));
  const auto select = [&](size_t part) {
    for (size_t cell = part; cell < cells; cell += threads) {
      select_cell(request, keys[cell], &out.figures[cell * request.levels.size()]);
    }
  };
  std::vector<std::thread> workers;
  for (size_t part = 1; part < threads; ++part) workers.emplace_back(select, part);
  select(0);
  for (std::thread& worker : workers) worker.join();
}

InputError in_memory(const std::vector<std::string>& entries, const StatsTable& table,
                     const SampleRequest& request, const PassOptions& options, SampleFigures& out) {
  const size_t cells = static_cast<size_t>(table.columns) * kMonths;
  std::vector<std::vector<uint64_t>> keys(cells);
  for (size_t cell = 0; cell < cells; ++cell) keys[cell].reserve(cell_count(table, cell));
  out.passes = 1;
  out.kept_in_memory = true;
  const InputError error = pass_values(entries, table.columns, options, [&](size_t cell, double v) {
    keys[cell].push_back(total_order_key(std::bit_cast<uint64_t>(v)));
  });
  if (failed(error)) return error;
  select_cells(request, options.threads, keys, out);
  return {};
}

uint64_t pooled_values(const StatsTable& table) {
  uint64_t total = 0;
  for (const MonthStats& cell : table.cells) total += static_cast<uint64_t>(cell.count);
  return total;
}

}  // namespace

int sample_pass_bound(uint64_t values, uint64_t targets, uint64_t memory) {
  if (values <= memory / 8) return 1;
  const int bits = bits_per_pass(targets, memory);
  return (kKeyBits + bits - 1) / bits;
}

InputError sample_data_files(const std::vector<std::string>& entries, const StatsTable& table,
                             const SampleRequest& request, const PassOptions& options,
                             SampleFigures& out, KeptValues* kept) {
  out = {};
  if (kept != nullptr && !kept->given_up.load()) {
    out.kept_in_memory = true;
    std::vector<std::vector<uint64_t>> keys = take_kept(*kept);
    select_cells(request, options.threads, keys, out);
    return {};
  }
  if (kept != nullptr) give_up_kept(*kept);
  if (pooled_values(table) <= request.memory / 8) {
    return in_memory(entries, table, request, options, out);
  }
  return by_narrowing(entries, table, request, options, out);
}

}  // namespace pctlfit
