#include "passes/sample_pass.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <thread>

#include "passes/sample_narrowing.h"
#include "passes/value_pass.h"
#include "stats/rank_select.h"

namespace pctlfit {

namespace {

constexpr int kKeyBits = 64;

// Cells are the statistics table's, month-major; the figures come out column after column.
uint64_t cell_count(const StatsTable& table, size_t cell) {
  return static_cast<uint64_t>(table.cells[cell].count);
}

// The figures of month-major cells, column after column as the figure table reads them.
std::vector<double> by_column(const std::vector<double>& figures, int columns, size_t levels) {
  std::vector<double> out(figures.size());
  const size_t width = static_cast<size_t>(columns);
  for (size_t cell = 0; cell * levels < figures.size(); ++cell) {
    const size_t column = cell % width;
    const size_t month = cell / width;
    std::copy_n(figures.begin() + static_cast<std::ptrdiff_t>(cell * levels), levels,
                out.begin() + static_cast<std::ptrdiff_t>((column * kMonths + month) * levels));
  }
  return out;
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

// A cell's figures at every level into figures[0 ..), n of its values, x_r = at(r).
template <typename At>
void cell_figures(const SampleRequest& request, uint64_t n, const At& at, double* figures) {
  for (size_t l = 0; l < request.levels.size(); ++l) {
    figures[l] = n == 0 ? std::numeric_limits<double>::quiet_NaN()
                        : sample_figure(request.method, n, request.levels[l] / 100, at);
  }
}

// The figures of a cell from its keys (which it frees).
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
  cell_figures(request, n, at, figures);
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

// Every cell's span (its count from the table; its least and greatest key from the data pass,
// where it saw them) and the ranks its figures read.
RankQuery rank_query(const StatsTable& table, const SampleRequest& request,
                     const KeptValues* kept) {
  RankQuery query;
  const size_t cells = static_cast<size_t>(table.columns) * kMonths;
  for (size_t cell = 0; cell < cells; ++cell) {
    CellSpan span = kept != nullptr ? kept_span(*kept, cell) : CellSpan{};
    span.count = cell_count(table, cell);
    query.spans.push_back(span);
    query.begin.push_back(query.ranks.size());
    const std::vector<uint64_t> ranks = cell_ranks(request, span.count);
    query.ranks.insert(query.ranks.end(), ranks.begin(), ranks.end());
  }
  query.begin.push_back(query.ranks.size());
  return query;
}

InputError by_narrowing(const std::vector<std::string>& entries, const StatsTable& table,
                        const SampleRequest& request, const PassOptions& options,
                        const KeptValues* kept, SampleFigures& out) {
  RankQuery query = rank_query(table, request, kept);
  const InputError error = narrow_ranks(entries, table.columns, options, request.memory, query);
  out.passes = query.passes;
  out.changed = query.changed;
  if (failed(error) || query.changed) return error;
  const size_t cells = static_cast<size_t>(table.columns) * kMonths;
  out.figures.resize(cells * request.levels.size());
  for (size_t cell = 0; cell < cells; ++cell) {
    const auto first = query.ranks.begin() + static_cast<std::ptrdiff_t>(query.begin[cell]);
    const auto last = query.ranks.begin() + static_cast<std::ptrdiff_t>(query.begin[cell + 1]);
    const auto at = [&](uint64_t rank) {
      const auto t = static_cast<size_t>(std::lower_bound(first, last, rank) - query.ranks.begin());
      return std::bit_cast<double>(total_order_bits(query.found[t]));
    };
    cell_figures(request, query.spans[cell].count, at, &out.figures[cell * request.levels.size()]);
  }
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
  const int bits = narrowing_bits(targets, memory);
  return (kKeyBits + bits - 1) / bits;
}

InputError sample_data_files(const std::vector<std::string>& entries, const StatsTable& table,
                             const SampleRequest& request, const PassOptions& options,
                             SampleFigures& out, KeptValues* kept) {
  out = {};
  InputError error;
  if (kept != nullptr && !kept->given_up.load()) {
    out.kept_in_memory = true;
    std::vector<std::vector<uint64_t>> keys = take_kept(*kept);
    select_cells(request, options.threads, keys, out);
  } else {
    if (kept != nullptr) give_up_kept(*kept);  // its spans stay
    error = pooled_values(table) <= request.memory / 8
                ? in_memory(entries, table, request, options, out)
                : by_narrowing(entries, table, request, options, kept, out);
  }
  out.figures = by_column(out.figures, table.columns, request.levels.size());
  return error;
}

}  // namespace pctlfit
