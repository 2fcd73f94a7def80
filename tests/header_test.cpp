#include <gtest/gtest.h>

#include <random>

#include "input/header.h"
#include "test_util.h"
#include "text/str_ops.h"

namespace pctlfit {
namespace {

// The column count spelled out with the string operations, step by step, as the tool has always
// counted; the fast count must agree with it on every header.
int count_by_cutting(const std::string& header_with_newline) {
  if (header_with_newline.size() <= 12) return -1;
  std::string t = header_with_newline.substr(12) + "\t";
  int n = 0;
  do {
    while (str_position(t, "\t") == 0) {
      if (t.empty()) break;
      str_cut(t, 1, static_cast<int>(t.size()) - 1);
    }
    if (!t.empty()) {
      ++n;
      const int q = str_position(t, "\t");
      str_cut(t, q, 1 - q + static_cast<int>(t.size()));
    }
  } while (!t.empty());
  return n;
}

TEST(HeaderColumns, Examples) {
  struct Case {
    std::string line;  // without its newline
    bool had_newline;
    int expected;
  };
  const Case cases[] = {
      {"YYYY MM DD H\tQ1\tQ2\tQ3", true, 3},
      {"YYYY MM DD H\tQ1\t\tQ2", true, 2},   // empty heading is no column
      {"YYYY MM DD H\tQ1\tQ2\t", true, 3},   // the newline alone is a column
      {"YYYY MM DD H", true, 1},             // 13 characters with the newline
      {"YYYY MM DD H", false, -1},           // 12 characters: too short
      {"YYYY MM DD ", true, -1},
      {"YYYY MM DD H\tQ1\tQ2", false, 2},    // last line without newline
      {"YYYY MM DD H\t  \tQ2", true, 2},     // a heading of spaces counts
      {"YYYY MM DD H\t", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(count_header_columns(c.line, c.had_newline), c.expected);
  }
}

TEST(HeaderColumns, AgreesWithCuttingOnRandomHeaders) {
  std::mt19937 random(42);
  const char alphabet[] = {'\t', '\t', 'a', ' ', 'Q', '1'};
  for (int round = 0; round < 2000; ++round) {
    std::string line;
    const int length = static_cast<int>(random() % 40);
    for (int i = 0; i < length; ++i) line += alphabet[random() % sizeof alphabet];
    SCOPED_TRACE(line);
    EXPECT_EQ(count_header_columns(line, true), count_by_cutting(line + "\n"));
  }
}

TEST(HeaderColumns, ThousandsOfColumns) {
  std::string line = "YYYY MM DD H";
  for (int c = 1; c <= 5000; ++c) line += "\tQ" + std::to_string(c);
  EXPECT_EQ(count_header_columns(line, true), 5000);
}

TEST(CountColumns, FromTheFirstEntry) {
  test::TempDir dir;
  test::write_file(dir / "crlf.dat", "t\r\nYYYY MM DD H\tQ1\tQ2\r\nu\r\n");
  test::write_file(dir / "one_line.dat", "only a title\n");
  test::write_file(dir / "short.dat", "t\nYYYY MM DD\n");
  struct Case {
    std::string entry;
    InputErrorKind error;
    int columns;
  };
  const Case cases[] = {
      {dir / "crlf.dat", InputErrorKind::none, 2},  // CR before the newline is dropped
      {dir / "one_line.dat", InputErrorKind::header_too_short, 0},
      {dir / "short.dat", InputErrorKind::header_too_short, 0},
      {dir / "missing.dat", InputErrorKind::first_cannot_open, 0},
      {dir.path.string(), InputErrorKind::first_cannot_read, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    int columns = 0;
    EXPECT_EQ(count_columns({c.entry}, columns).kind, c.error);
    if (c.error == InputErrorKind::none) {
      EXPECT_EQ(columns, c.columns);
    }
  }
  int columns = 0;
  EXPECT_EQ(count_columns({}, columns).kind, InputErrorKind::list_names_no_file);
}

}  // namespace
}  // namespace pctlfit
