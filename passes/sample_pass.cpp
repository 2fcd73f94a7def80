#include "passes/sample_pass.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <limits>

#include "passes/engine/value_pass.h"
#include "passes/sample_narrowing.h"
#include "stats/on_threads.h"
#include "stats/rank_select.h"

namespace pctlfit {

namespace {

// Cells are the statistics table's, month-major, and so are the figures.
uint64_t cell_count(const StatsTable& table, const SampleRequest& request, size_t cell) {
  const uint64_t at_bound = request.at_bound != nullptr ? request.at_bound->cells[cell] : 0;
  return static_cast<uint64_t>(table.cells[cell].count) + at_bound;
}

// --ci: the order statistics' ranks at every level for each count that a cell has, worked out
// once per count (cells mostly share theirs) on the pass's threads; empty without --ci.
using IntervalRanks = std::unordered_map<uint64_t, std::vector<OrderRanks>>;

// What a cell's figures need: the request, and the interval ranks of its count.
struct CellWants {
  const SampleRequest& request;
  const IntervalRanks& intervals;

  // A cell's values per level: its figure, then with --ci the interval's two ends.
  size_t stride() const { return request.levels.size() * (request.confidence ? 3 : 1); }
  const std::vector<OrderRanks>* interval_ranks_of(uint64_t n) const {
    const auto found = intervals.find(n);
    return found == intervals.end() ? nullptr : &found->second;
  }
};

// The ranks (1-based, unique, ascending) that a cell's figures read.
std::vector<uint64_t> cell_ranks(const CellWants& wants, uint64_t n) {
  std::vector<uint64_t> ranks;
  if (n == 0) return ranks;
  for (double level : wants.request.levels) {
    const SampleRanks r = sample_ranks(wants.request.method, n, level / 100);
    ranks.push_back(r.first);
    ranks.push_back(r.second);
  }
  if (const std::vector<OrderRanks>* ends = wants.interval_ranks_of(n)) {
    for (const OrderRanks& end : *ends) {
      if (end.lo != 0) ranks.push_back(end.lo);
      if (end.hi != 0) ranks.push_back(end.hi);
    }
  }
  std::sort(ranks.begin(), ranks.end());
  ranks.erase(std::unique(ranks.begin(), ranks.end()), ranks.end());
  return ranks;
}

// A cell's figures at every level into figures[0 ..), n of its values, x_r = at(r); with --ci
// each level's interval after them, its ends at figures[levels + 2 l] and [levels + 2 l + 1].
template <typename At>
void cell_figures(const CellWants& wants, uint64_t n, const At& at, double* figures) {
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  const SampleRequest& request = wants.request;
  const size_t levels = request.levels.size();
  for (size_t l = 0; l < levels; ++l) {
    figures[l] = n == 0 ? kNone : sample_figure(request.method, n, request.levels[l] / 100, at);
  }
  if (!request.confidence) return;
  const std::vector<OrderRanks>* ends = wants.interval_ranks_of(n);
  for (size_t l = 0; l < levels; ++l) {
    const OrderRanks r = ends != nullptr ? (*ends)[l] : OrderRanks{0, 0};
    figures[levels + 2 * l] = r.lo != 0 ? at(r.lo) : kNone;
    figures[levels + 2 * l + 1] = r.hi != 0 ? at(r.hi) : kNone;
  }
}

// The figures of a cell from its keys (which it reorders), of the form given.
template <typename Key>
void select_cell(const CellWants& wants, std::vector<Key>& keys, double* figures,
                 KeyForm form = {}) {
  const uint64_t n = keys.size();
  const std::vector<uint64_t> ranks = cell_ranks(wants, n);
  std::vector<uint64_t> found;
  select_ranks(keys, ranks, found);
  const auto at = [&](uint64_t rank) {
    const auto place = std::lower_bound(ranks.begin(), ranks.end(), rank) - ranks.begin();
    return kept_key_value(found[static_cast<size_t>(place)], form);
  };
  cell_figures(wants, n, at, figures);
}

// Every cell's figures from its keys (which it frees), the cells on the pass's threads.
void select_cells(const CellWants& wants, int threads, std::vector<std::vector<uint64_t>>& keys,
                  std::vector<double>& figures) {
  const size_t stride = wants.stride();
  figures.resize(keys.size() * stride);
  on_threads(threads, [&](size_t part, size_t parts) {
    for (size_t cell = part; cell < keys.size(); cell += parts) {
      select_cell(wants, keys[cell], &figures[cell * stride]);
      std::vector<uint64_t>().swap(keys[cell]);
    }
  });
}

// Every cell's figures from the rows the data pass kept, a tile of cells at a time, with keys
// of the given type.
template <typename Key>
void select_tiles(const CellWants& wants, int threads, const KeptValues& kept, KeyForm form,
                  std::vector<double>& figures) {
  const size_t columns = static_cast<size_t>(kept.columns);
  const size_t stride = wants.stride();
  const std::vector<KeptTile> tiles = kept_tiles(kept);
  on_threads(threads, [&](size_t part, size_t parts) {
    std::vector<std::vector<Key>> keys;
    for (size_t t = part; t < tiles.size(); t += parts) {
      const KeptTile& tile = tiles[t];
      tile_keys(kept, tile, form, keys);
      for (size_t c = tile.first; c < tile.end; ++c) {
        const size_t cell = month_row(columns, size_t(tile.month)) + c;
        select_cell(wants, keys[c - tile.first], &figures[cell * stride], form);
      }
    }
  });
}

void select_kept(const CellWants& wants, int threads, const KeptValues& kept,
                 std::vector<double>& figures) {
  figures.resize(grid_cells(kept.columns) * wants.stride());
  const KeyForm form = kept_key_form(kept);
  if (form.narrow) {
    select_tiles<uint32_t>(wants, threads, kept, form, figures);
  } else {
    select_tiles<uint64_t>(wants, threads, kept, form, figures);
  }
}

InputError in_memory(const std::vector<std::string>& entries, const StatsTable& table,
                     const CellWants& wants, const PassOptions& options, SampleFigures& out,
                     std::vector<double>& figures) {
  const SampleRequest& request = wants.request;
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
  select_cells(wants, options.threads, keys, figures);
  return {};
}

// Every cell's span (its count from the table; its least and greatest key from the data pass,
// where it saw them) and the ranks its figures read.
RankQuery rank_query(const StatsTable& table, const CellWants& wants, const KeptValues* kept) {
  RankQuery query;
  const size_t cells = table.cells.size();
  for (size_t cell = 0; cell < cells; ++cell) {
    CellSpan span = kept != nullptr ? kept_span(*kept, cell) : CellSpan{};
    span.count = cell_count(table, wants.request, cell);
    query.spans.push_back(span);
    query.begin.push_back(query.ranks.size());
    const std::vector<uint64_t> ranks = cell_ranks(wants, span.count);
    query.ranks.insert(query.ranks.end(), ranks.begin(), ranks.end());
  }
  query.begin.push_back(query.ranks.size());
  return query;
}

InputError by_narrowing(const std::vector<std::string>& entries, const StatsTable& table,
                        const CellWants& wants, const PassOptions& options, const KeptValues* kept,
                        SampleFigures& out, std::vector<double>& figures) {
  RankQuery query = rank_query(table, wants, kept);
  const InputError error =
      narrow_ranks(entries, table.columns, options, wants.request.memory, query);
  out.passes = query.passes;
  out.changed = query.changed;
  if (failed(error) || query.changed) return error;
  const size_t cells = table.cells.size();
  const size_t stride = wants.stride();
  figures.resize(cells * stride);
  for (size_t cell = 0; cell < cells; ++cell) {
    const auto first = query.ranks.begin() + static_cast<std::ptrdiff_t>(query.begin[cell]);
    const auto last = query.ranks.begin() + static_cast<std::ptrdiff_t>(query.begin[cell + 1]);
    const auto at = [&](uint64_t rank) {
      const auto t = static_cast<size_t>(std::lower_bound(first, last, rank) - query.ranks.begin());
      return std::bit_cast<double>(total_order_bits(query.found[t]));
    };
    cell_figures(wants, query.spans[cell].count, at, &figures[cell * stride]);
  }
  return {};
}

uint64_t pooled_values(const StatsTable& table, const SampleRequest& request) {
  uint64_t total = 0;
  for (size_t cell = 0; cell < table.cells.size(); ++cell)
    total += cell_count(table, request, cell);
  return total;
}

IntervalRanks interval_ranks(const StatsTable& table, const SampleRequest& request, int threads) {
  IntervalRanks ranks;
  if (!request.confidence) return ranks;
  for (size_t cell = 0; cell < table.cells.size(); ++cell) {
    ranks.try_emplace(cell_count(table, request, cell));
  }
  std::vector<std::pair<const uint64_t, std::vector<OrderRanks>>*> counts;
  for (auto& entry : ranks) counts.push_back(&entry);
  on_threads(threads, [&](size_t part, size_t parts) {
    for (size_t i = part; i < counts.size(); i += parts) {
      for (double level : request.levels) {
        counts[i]->second.push_back(
            order_statistic_ranks(counts[i]->first, level / 100, *request.confidence));
      }
    }
  });
  return ranks;
}

// The figures laid out a cell at a time (stride values each) into the figures and, with --ci,
// the intervals, each cell's levels together.
void split_figures(const CellWants& wants, const std::vector<double>& figures, SampleFigures& out) {
  const size_t levels = wants.request.levels.size();
  const size_t stride = wants.stride();
  const size_t cells = stride == 0 ? 0 : figures.size() / stride;
  out.figures.resize(cells * levels);
  if (wants.request.confidence) out.intervals.resize(cells * levels);
  for (size_t cell = 0; cell < cells; ++cell) {
    const double* from = &figures[cell * stride];
    std::copy(from, from + levels, &out.figures[cell * levels]);
    if (!wants.request.confidence) continue;
    for (size_t l = 0; l < levels; ++l) {
      out.intervals[cell * levels + l] = {from[levels + 2 * l], from[levels + 2 * l + 1]};
    }
  }
}

}  // namespace

InputError sample_data_files(const std::vector<std::string>& entries, const StatsTable& table,
                             const SampleRequest& request, const PassOptions& options,
                             SampleFigures& out, KeptValues* kept) {
  out = {};
  const IntervalRanks intervals = interval_ranks(table, request, options.threads);
  const CellWants wants{request, intervals};
  std::vector<double> figures;
  InputError error;
  if (kept != nullptr && !kept->given_up.load()) {
    out.kept_in_memory = true;
    select_kept(wants, options.threads, *kept, figures);
    free_kept(*kept);
  } else {
    if (kept != nullptr) give_up_kept(*kept);
    error = pooled_values(table, request) <= request.memory / kHeldValueBytes
                ? in_memory(entries, table, wants, options, out, figures)
                : by_narrowing(entries, table, wants, options, kept, out, figures);
  }
  if (!failed(error) && !out.changed) split_figures(wants, figures, out);
  return error;
}

}  // namespace pctlfit
