#pragma once
// The dates of a file's records so far, each with its first line, to find a date that comes
// again. Records mostly come in time order: a date later than every one before is appended to
// a sorted list without a lookup; the others (a file sorted by month, a run appended to itself)
// are looked up there and in a set. The sorted list holds each date packed in 8 bytes and its
// lines as runs of consecutive lines, so that a file of millions of records costs tens of
// megabytes, not hundreds.

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "passes/engine/block_parser.h"

namespace pctlfit {

struct RowDateHash {
  size_t operator()(const RowDate& date) const;
};

struct DatesSeen {
  std::vector<uint64_t> in_order;                  // packed dates, ascending
  std::vector<std::pair<size_t, long>> line_runs;  // from in_order[i] on, line L, L + 1, ...
  std::unordered_map<RowDate, long, RowDateHash> others;
};

// The file's first line with `date`, or -1 when the date is new (and now noted at `line`).
long note_date(DatesSeen& seen, const RowDate& date, long line);

void forget_dates(DatesSeen& seen);

}  // namespace pctlfit
