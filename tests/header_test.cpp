#include "input/header.h"

#include <gtest/gtest.h>

#include <random>

#include "cutting_reference.h"
#include "test_util.h"

namespace pctlfit {
namespace {

TEST(HeaderColumns, Examples) {
  using Headings = std::vector<std::string>;
  struct Case {
    std::string line;  // without its newline
    bool had_newline;
    int expected;
    Headings headings;
  };
  const Case cases[] = {
      {"YYYY MM DD H\tQ1\tQ2\tQ3", true, 3, {"Q1", "Q2", "Q3"}},
      {"YYYY MM DD H\tQ1\t\tQ2", true, 2, {"Q1", "Q2"}},      // empty heading is no column
      {"YYYY MM DD H\tQ1\tQ2\t", true, 3, {"Q1", "Q2", ""}},  // the newline alone is a column
      {"YYYY MM DD H", true, 1, {""}},                        // 13 characters with the newline
      {"YYYY MM DD H", false, -1, {}},                        // 12 characters: too short
      {"YYYY MM DD ", true, -1, {}},
      {"YYYY MM DD H\tQ1\tQ2", false, 2, {"Q1", "Q2"}},  // last line without newline
      {"YYYY MM DD H\t  \tQ2", true, 2, {"", "Q2"}},     // a heading of spaces counts
      {"YYYY MM DD H\t", false, 0, {}},
      {"YYYY MM DD H\t SB 1 \t\r", true, 2, {"SB 1", ""}},  // trimmed; a lone CR is blank
      {"YYYY MM DD H Q1 Q2 Q3", true, 1, {"Q1 Q2 Q3"}},     // spaces do not separate
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(count_header_columns(c.line, c.had_newline), c.expected);
    EXPECT_EQ(column_headings(c.line, c.had_newline), c.headings);
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
    EXPECT_EQ(count_header_columns(line, true), test::count_columns_by_cutting(line + "\n"));
    const int count = count_header_columns(line, true);
    EXPECT_EQ(column_headings(line, true).size(), size_t(count < 0 ? 0 : count));
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
      {dir.path.string(),
       test::kFolderOpens ? InputErrorKind::first_cannot_read : InputErrorKind::first_cannot_open,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    int columns = 0;
    std::vector<std::string> headings;
    EXPECT_EQ(count_columns("list.txt", {c.entry}, columns, headings).kind, c.error);
    if (c.error == InputErrorKind::none) {
      EXPECT_EQ(columns, c.columns);
      EXPECT_EQ(headings, (std::vector<std::string>{"Q1", "Q2"}));  // CR dropped
    }
  }
  int columns = 0;
  std::vector<std::string> headings;
  const InputError no_file = count_columns("list.txt", {}, columns, headings);
  EXPECT_EQ(no_file.kind, InputErrorKind::list_names_no_file);
  EXPECT_EQ(no_file.path, "list.txt");
}

// The date layout's header: a first word up to its tab, then the headings separated by tabs.
TEST(HeaderColumns, DateLayout) {
  struct Case {
    std::string line;
    int columns;
    std::vector<std::string> headings;
  };
  const Case cases[] = {
      {"DATE\tSB1\tSB2", 2, {"SB1", "SB2"}},
      {"Date\t 1 \t\t3", 2, {"1", "3"}},  // an empty heading between two tabs is none
      {"DATE", -1, {}},                   // no tab: too short
      {"DATE SB1 SB2", -1, {}},
      {"\tSB1", 1, {"SB1"}},  // an empty first word
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(count_header_columns(c.line, false, FileLayout::date), c.columns);
    EXPECT_EQ(column_headings(c.line, false, FileLayout::date), c.headings);
  }
}

}  // namespace
}  // namespace pctlfit
