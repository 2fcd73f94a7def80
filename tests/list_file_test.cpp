#include "input/list_file.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "test_util.h"

namespace pctlfit {
namespace {

using Entries = std::vector<std::string>;

// The list's names, read from a file holding `text`; {"error"} when reading fails.
Entries read_entries(const std::string& text, std::vector<long>* lines = nullptr) {
  test::TempDir dir;
  test::write_file(dir / "list.txt", text);
  Entries entries;
  if (failed(read_list_file(dir / "list.txt", entries, lines))) return {"error"};
  return entries;
}

TEST(ListFile, EntriesAreFirstWords) {
  struct Case {
    const char* name;
    std::string text;
    Entries expected;
  };
  const std::string longest(longest_path_name(), 'n');
  const Case cases[] = {
      {"final newline", "a.txt\nb.txt\nc.txt\n", {"a.txt", "b.txt", "c.txt"}},
      {"no final newline", "a.txt\nb.txt\nc.txt", {"a.txt", "b.txt", "c.txt"}},
      {"comment", "run1.txt  comment here\n", {"run1.txt"}},
      {"leading space", "  \trun1.txt\n", {"run1.txt"}},
      // Blank lines name nothing: they are not entries (no file read twice).
      {"blank lines", "a\n\n   \nb\n\n", {"a", "b"}},
      {"crlf", "a.txt\r\nb.txt\r\n", {"a.txt", "b.txt"}},
      {"byte-order mark",
       "\xEF\xBB\xBF"
       "a.txt\n",
       {"a.txt"}},
      {"empty", "", {}},
      {"nul ends a name", std::string("ab\0cd\nx\n", 8), {"ab", "x"}},
      {"comment lines",
       "# members of 2001\na.txt\n  #b.txt\nc.txt # not a comment\n",
       {"a.txt", "c.txt"}},
      // Names up to the system's longest; longer comments are skipped, longer names are errors.
      {"longest name", longest + "\nb\n", {longest, "b"}},
      {"longest name with a comment",
       longest + " " + std::string(9000, 'c') + "\nb",
       {longest, "b"}},
      {"long comment line", "#" + std::string(9000, 'c') + "\nb\n", {"b"}},
      {"name too long", "a\n" + longest + "n\n", {"error"}},
      {"name too long after blanks", std::string(longest.size() + 1, ' ') + "a\n", {"error"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(read_entries(c.text), c.expected);
  }
}

TEST(ListFile, LineOfEachEntry) {
  std::vector<long> lines;
  EXPECT_EQ(read_entries("# c\na\n\n  b x\n#\nc", &lines), (Entries{"a", "b", "c"}));
  EXPECT_EQ(lines, (std::vector<long>{2, 4, 6}));
}

TEST(ListFile, ReadFailures) {
  test::TempDir dir;
  Entries entries;
  EXPECT_EQ(read_list_file(dir / "missing.txt", entries).kind, InputErrorKind::list_cannot_open);
  EXPECT_EQ(
      read_list_file(dir.path.string(), entries).kind,
      test::kFolderOpens ? InputErrorKind::list_cannot_read : InputErrorKind::list_cannot_open);
  test::write_file(dir / "list.txt", "x.dat\n");
  EXPECT_FALSE(failed(read_list_file(dir / "list.txt", entries)));
  EXPECT_EQ(entries, Entries{"x.dat"});
}

}  // namespace
}  // namespace pctlfit
