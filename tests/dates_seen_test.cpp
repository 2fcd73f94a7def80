#include "passes/dates_seen.h"

#include <gtest/gtest.h>

namespace pctlfit {
namespace {

RowDate date(long long year, long long month, long long day = 1, long long hour = 0) {
  RowDate d;
  d.year = year;
  d.month = month;
  d.day = day;
  d.hour = hour;
  return d;
}

// Each date noted at its line; the first line of an earlier equal date, or -1.
TEST(DatesSeen, FindsTheFirstLineOfADateThatComesAgain) {
  struct Note {
    RowDate date;
    long line;
    long first;
  };
  const std::vector<Note> notes = {
      {date(2001, 1), 4, -1},
      {date(2001, 2), 5, -1},
      {date(2001, 3), 9, -1},  // lines skipped: a new run of lines
      {date(2001, 4), 10, -1},
      {date(2001, 2, 1, 1), 11, -1},  // out of order, new
      {date(2001, 4), 12, 10},
      {date(2001, 2), 13, 5},
      {date(2001, 3), 14, 9},
      {date(2001, 2, 1, 1), 15, 11},
      {date(1LL << 50, 1), 16, -1},  // beyond packing: kept whole
      {date(1LL << 50, 1), 17, 16},
      {date(2002, 1, 1, 5000), 18, -1},
      {date(2002, 1, 1, 5000), 19, 18},
      {date(2002, 1, 1, 6), 20, -1},  // after an unpacked date, packed again
      {date(2002, 1, 1, 6), 21, 20},
      {date(-5, 1), 22, -1},
  };
  DatesSeen seen;
  for (const Note& note : notes) {
    SCOPED_TRACE(note.line);
    EXPECT_EQ(note_date(seen, note.date, note.line), note.first);
  }
  forget_dates(seen);
  EXPECT_EQ(note_date(seen, date(2001, 1), 4), -1);
}

}  // namespace
}  // namespace pctlfit
