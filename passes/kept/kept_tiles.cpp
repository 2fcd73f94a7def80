// The kept values' keys, a tile of cells at a time: each block's run of the tile is read in
// turn, the next few prefetched, and each value's key written to its column's buffer.

#include <algorithm>
#include <array>
#include <bit>

#include "passes/kept/kept_values.h"

namespace pctlfit {

std::vector<KeptTile> kept_tiles(const KeptValues& kept) {
  std::vector<KeptTile> tiles;
  const size_t columns = static_cast<size_t>(kept.columns);
  for (int month = 1; month <= 12; ++month) {
    for (size_t first = 0; first < columns; first += kTileColumns) {
      tiles.push_back({month, first, std::min(columns, first + kTileColumns)});
    }
  }
  return tiles;
}

KeyForm kept_key_form(const KeptValues& kept) {
  KeyForm form{0, true};
  for (const KeptBlock& block : kept.blocks) {
    if (block.scale == kRawDoubles) return {};
    if (&block != &kept.blocks.front() && block.scale != form.scale) form.narrow = false;
    form.scale = std::max(form.scale, block.scale);
  }
  return form;
}

namespace {

constexpr size_t kRunsAhead = 4;

size_t element_bytes(const KeptBlock& block) {
  return block.scale == kRawDoubles ? sizeof(double) : sizeof(int32_t);
}

// Where a tile's values of a block begin, and how many rows of it there are.
const char* tile_run(const KeptBlock& block, const KeptTile& tile, size_t& rows) {
  const size_t m = static_cast<size_t>(tile.month);
  rows = block.month_start[m] - block.month_start[m - 1];
  const size_t at =
      kept_place(block.rows, tile.first, tile.end - tile.first, block.month_start[m - 1]);
  return static_cast<const char*>(block.values) + at * element_bytes(block);
}

// The pooled keys of `rows` rows of `width` values into out[c] (advanced past them);
// key(element, pooled) gives the key and whether the value is pooled. A width known when
// compiled lets each row's loop unroll; the outputs are pointers, which the keys' stores
// cannot alias, so they stay in registers.
template <size_t kWidth, typename Element, typename Key, typename KeyOf>
void gather_run(const Element* run, size_t rows, size_t width, Key** out, const KeyOf& key) {
  const size_t w = kWidth != 0 ? kWidth : width;
  for (const Element* row = run; row != run + rows * w; row += w) {
    for (size_t c = 0; c < w; ++c) {
      bool pooled = false;
      *out[c] = key(row[c], pooled);
      out[c] += pooled;
    }
  }
}

template <typename Element, typename Key, typename KeyOf>
void gather_block(const char* run, size_t rows, size_t width, Key** out, const KeyOf& key) {
  const auto* elements = reinterpret_cast<const Element*>(run);
  if (width == kTileColumns) {
    gather_run<kTileColumns>(elements, rows, width, out, key);
  } else {
    gather_run<0>(elements, rows, width, out, key);
  }
}

// A block's run in the keys' form: narrow keys, where every block has the form's scale.
void gather(const KeptBlock&, KeyForm, const char* run, size_t rows, size_t width, uint32_t** out) {
  gather_block<int32_t>(run, rows, width, out, [](int32_t code, bool& pooled) {
    pooled = code != kNotPooledCode;
    return narrow_decimal_key(code);
  });
}

// Wide keys: doubles, decimals read as doubles, or decimals of several scales.
void gather(const KeptBlock& block, KeyForm form, const char* run, size_t rows, size_t width,
            uint64_t** out) {
  if (block.scale == kRawDoubles) {
    gather_block<double>(run, rows, width, out, [](double v, bool& pooled) {
      pooled = !is_not_accumulated(v);
      return total_order_key(std::bit_cast<uint64_t>(v));
    });
  } else if (form.scale == kRawDoubles) {
    const int scale = block.scale;
    gather_block<int32_t>(run, rows, width, out, [scale](int32_t code, bool& pooled) {
      pooled = code != kNotPooledCode;
      return total_order_key(std::bit_cast<uint64_t>(decimal_value(code, scale)));
    });
  } else {
    const auto factor = static_cast<int64_t>(kPowersOfTen[size_t(form.scale - block.scale)]);
    gather_block<int32_t>(run, rows, width, out, [factor](int32_t code, bool& pooled) {
      pooled = code != kNotPooledCode;
      return decimal_key(code, factor);
    });
  }
}

}  // namespace

template <typename Key>
void tile_keys(const KeptValues& kept, const KeptTile& tile, KeyForm form,
               std::vector<std::vector<Key>>& keys) {
  const size_t width = tile.end - tile.first;
  size_t most = 0;
  for (const KeptBlock& block : kept.blocks) {
    size_t rows = 0;
    tile_run(block, tile, rows);
    most += rows;
  }
  keys.resize(width);
  std::array<Key*, kTileColumns> out{};
  for (size_t c = 0; c < width; ++c) {
    keys[c].resize(most);
    out[c] = keys[c].data();
  }
  for (size_t b = 0; b < kept.blocks.size(); ++b) {
    // A block's run is too short for the processor to foresee the next, which lies far apart.
    // (Written out here: the compiler drops a call to a function that only prefetches.)
    if (b + kRunsAhead < kept.blocks.size()) {
      const KeptBlock& ahead_block = kept.blocks[b + kRunsAhead];
      size_t ahead_rows = 0;
      const char* ahead = tile_run(ahead_block, tile, ahead_rows);
      const size_t bytes = ahead_rows * width * element_bytes(ahead_block);
      for (size_t at = 0; at < bytes; at += 64) __builtin_prefetch(ahead + at);
    }
    size_t rows = 0;
    const char* run = tile_run(kept.blocks[b], tile, rows);
    gather(kept.blocks[b], form, run, rows, width, out.data());
  }
  for (size_t c = 0; c < width; ++c) keys[c].resize(size_t(out[c] - keys[c].data()));
}

template void tile_keys(const KeptValues&, const KeptTile&, KeyForm,
                        std::vector<std::vector<uint32_t>>&);
template void tile_keys(const KeptValues&, const KeptTile&, KeyForm,
                        std::vector<std::vector<uint64_t>>&);

}  // namespace pctlfit
