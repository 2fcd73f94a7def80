#include "passes/sample_pass.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <limits>
#include <thread>

#include "passes/engine/value_pass.h"
#include "passes/sample_narrowing.h"
#include "stats/rank_select.h"

namespace pctlfit {

namespace {

// Cells are the statistics table's, month-major, and so are the figures.
uint64_t cell_count(const StatsTable& table, const SampleRequest& request, size_t cell) {
  const uint64_t at_bound = request.at_bound != nullptr ? request.at_bound->cells[cell] : 0;
  return static_cast<uint64_t>(table.cells[cell].count) + at_bound;
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

// The figures of a cell from its keys (which it reorders), of the form given.
template <typename Key>
void select_cell(const SampleRequest& request, std::vector<Key>& keys, double* figures,
                 KeyForm form = {}) {
  const uint64_t n = keys.size();
  const std::vector<uint64_t> ranks = cell_ranks(request, n);
  std::vector<uint64_t> found;
  select_ranks(keys, ranks, found);
  const auto at = [&](uint64_t rank) {
    const auto place = std::lower_bound(ranks.begin(), ranks.end(), rank) - ranks.begin();
    return kept_key_value(found[static_cast<size_t>(place)], form);
  };
  cell_figures(request, n, at, figures);
}

// Runs select(part) for part 0 .. threads - 1 on as many threads (this one among them).
template <typename Select>
void on_threads(int thread_count, const Select& select) {
  const size_t threads = static_cast<size_t>(std::max(thread_count, 1));
  std::vector<std::thread> workers;
  for (size_t part = 1; part < threads; ++part) workers.emplace_back(select, part, threads);
  select(0, threads);
  for (std::thread& worker : workers) worker.join();
}

// Every cell's figures from its keys (which it frees), the cells on the pass's threads.
void select_cells(const SampleRequest& request, int threads,
                  std::vector<std::vector<uint64_t>>& keys, SampleFigures& out) {
  const size_t levels = request.levels.size();
  out.figures.resize(keys.size() * levels);
  on_threads(threads, [&](size_t part, size_t parts) {
    for (size_t cell = part; cell < keys.size(); cell += parts) {
      select_cell(request, keys[cell], &out.figures[cell * levels]);
      std::vector<uint64_t>().swap(keys[cell]);
    }
  });
}

// Every cell's figures from the rows the data pass kept, a tile of cells at a time, with keys
// of the given type.
template <typename Key>
void select_tiles(const SampleRequest& request, int threads, const KeptValues& kept, KeyForm form,
                  SampleFigures& out) {
  const size_t columns = static_cast<size_t>(kept.columns);
  const size_t levels = request.levels.size();
  const std::vector<KeptTile> tiles = kept_tiles(kept);
  on_threads(threads, [&](size_t part, size_t parts) {
    std::vector<std::vector<Key>> keys;
    for (size_t t = part; t < tiles.size(); t += parts) {
      const KeptTile& tile = tiles[t];
      tile_keys(kept, tile, form, keys);
      for (size_t c = tile.first; c < tile.end; ++c) {
        const size_t cell = month_row(columns, size_t(tile.month)) + c;
        select_cell(request, keys[c - tile.first], &out.figures[cell * levels], form);
      }
    }
  });
}

void select_kept(const SampleRequest& request, int threads, const KeptValues& kept,
                 SampleFigures& out) {
  out.figures.resize(grid_cells(kept.columns) * request.levels.size());
  const KeyForm form = kept_key_form(kept);
  if (form.narrow) {
    select_tiles<uint32_t>(request, threads, kept, form, out);
  } else {
    select_tiles<uint64_t>(request, threads, kept, form, out);
  }
}

InputError in_memory(const std::vector<std::string>& entries, const StatsTable& table,
                     const SampleRequest& request, const PassOptions& options, SampleFigures& out) {
  const size_t cells = table.cells.size();
  std::vector<std::vector<uint64_t>> keys(cells);
  for (size_t cell = 0; cell < cells; ++cell) keys[cell].reserve(cell_count(table, request, cell));
  out.passes = 1;
  out.kept_in_memory = true;
  std::atomic<bool> beyond{false};  // set by the threads that take the values
  const InputError error = pass_values(entries, table.columns, options, [&](size_t cell, double v) {
    // Beyond the data pass's count the files changed in between: nothing more is kept.
    if (keys[cell].size() < keys[cell].capacity()) {
      keys[cell].push_back(total_order_key(std::bit_cast<uint64_t>(v)));
    } else {
      beyond.store(true, std::memory_order_relaxed);
    }
  });
  if (failed(error)) return error;
  out.changed = beyond.load();
  for (size_t cell = 0; cell < cells; ++cell) {
    if (keys[cell].size() != cell_count(table, request, cell)) out.changed = true;
  }
  if (out.changed) return {};
  select_cells(request, options.threads, keys, out);
  return {};
}

// Every cell's span (its count from the table; its least and greatest key from the data pass,
// where it saw them) and the ranks its figures read.
RankQuery rank_query(const StatsTable& table, const SampleRequest& request,
                     const KeptValues* kept) {
  RankQuery query;
  const size_t cells = table.cells.size();
  for (size_t cell = 0; cell < cells; ++cell) {
    CellSpan span = kept != nullptr ? kept_span(*kept, cell) : CellSpan{};
    span.count = cell_count(table, request, cell);
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
  const size_t cells = table.cells.size();
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

uint64_t pooled_values(const StatsTable& table, const SampleRequest& request) {
  uint64_t total = 0;
  for (size_t cell = 0; cell < table.cells.size(); ++cell)
    total += cell_count(table, request, cell);
  return total;
}

}  // namespace

InputError sample_data_files(const std::vector<std::string>& entries, const StatsTable& table,
                             const SampleRequest& request, const PassOptions& options,
                             SampleFigures& out, KeptValues* kept) {
  out = {};
  InputError error;
  if (kept != nullptr && !kept->given_up.load()) {
    out.kept_in_memory = true;
    select_kept(request, options.threads, *kept, out);
    free_kept(*kept);
  } else {
    if (kept != nullptr) give_up_kept(*kept);
    error = pooled_values(table, request) <= request.memory / kHeldValueBytes
                ? in_memory(entries, table, request, options, out)
                : by_narrowing(entries, table, request, options, kept, out);
  }
  return error;
}

}  // namespace pctlfit
