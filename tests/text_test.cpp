#include <gtest/gtest.h>

#include "str_ops.h"

namespace pctlfit {
namespace {

TEST(StrPosition, ZeroMeansAbsentOrAtStart) {
  struct Case {
    const char* text;
    const char* pattern;
    int expected;
  };
  const Case cases[] = {
      {"a.b.c", ".", 1}, {".abc", ".", 0},  // at offset 0: indistinguishable from absent
      {"abc", ".", 0},   {"", "\t", 0},    {"YYYY\tQ1", "\t", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(str_position(c.text, c.pattern), c.expected);
  }
}

TEST(StrCut, KeepsInclusiveRange) {
  struct Case {
    std::string text;
    int start;
    int n;
    std::string expected;
  };
  const Case cases[] = {
      {"data.txt", 0, 3, "data"},
      {"\tA\tB", 1, 3, "A\tB"},       // drops the first character
      {"A\tB\n\t", 1, 5, "\tB\n\t"},  // end beyond the terminator does not shorten
      {"abc", 0, 2, "abc"},           // end exactly at the terminator
      {"abc", -1, 2, "abc"},          // negative start: unchanged
      {"abc", 0, -1, "abc"},          // negative length: unchanged
      {"abc", 5, 1, ""},              // start past the end keeps nothing
  };
  for (Case c : cases) {
    SCOPED_TRACE(c.text);
    std::string buffer = c.text;
    EXPECT_EQ(&str_cut(buffer, c.start, c.n), &buffer);
    EXPECT_EQ(buffer, c.expected);
  }
}

TEST(StrCut, HandlesLongStrings) {
  std::string buffer(5000, 'x');
  buffer += "\ty";
  str_cut(buffer, 4000, 5000);
  EXPECT_EQ(buffer, std::string(1000, 'x') + "\ty");
}

}  // namespace
}  // namespace pctlfit
