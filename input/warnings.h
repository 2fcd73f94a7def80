#pragma once
// Warnings about the lines and files read, on standard error, so that standard output stays as
// it is: their texts, and the sink that writes them (text/warning_text.h has their form).

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "input/record/record_parser.h"

namespace pctlfit {

// The warning text of a malformed record line ("not a record", "only 3 of 5 values", ...).
// `field` is the text of a field that is not a number, shortened; `headings` are the first
// file's column headings (may be empty), so that a bad value names its own.
std::string describe_record_problem(const RecordParse& parse, const std::string& field, int columns,
                                    const std::vector<std::string>& headings);

// "5 values, the header names 3 columns; values after the 3rd are not read", and where the
// header names one column whose heading holds blanks, that headings are separated by tabs.
std::string describe_extra_values(int values, int columns,
                                  const std::vector<std::string>& headings);

// An empty field between two tabs in column `column` (0-based), read as a missing value.
std::string describe_empty_field(int column, const std::vector<std::string>& headings);

// A later file whose header names another number of columns than the first file's.
std::string describe_column_count(int columns, int first_columns);

// A data file without any record: empty, only its header lines, or blank lines.
constexpr std::string_view kNoRecords = "no records";

// A file whose lines end in a carriage return alone (as old Mac editors saved them): each is
// read as a line end.
constexpr std::string_view kCarriageReturnLineEnds =
    "lines end in a carriage return alone; each is read as a line end";

// A third header line that reads as a record (a file with two header lines, most likely).
constexpr std::string_view kThirdLineLooksLikeRecord =
    "looks like a record; the three header lines are skipped whole";

// The same in a file whose second line starts with DATE and whose third with a date.
constexpr std::string_view kThirdLineLooksDated =
    "a dated record below a DATE line: files of one date field a record are read with "
    "--layout=date";

// Line warnings shown per file; more are counted only.
constexpr int kLineWarningsShownPerFile = 20;

// Writes warnings, at most `per_file_limit` line warnings per file; the rest of a file's are
// counted and summed up in one line when the file ends.
struct WarningSink {
  std::FILE* out = nullptr;  // nullptr: warnings are dropped
  const char* prefix = "";   // written before each warning (erases a progress line)
  int per_file_limit = kLineWarningsShownPerFile;
  int shown_in_file = 0;
  long suppressed_in_file = 0;
  long total = 0;  // every warning given, shown or not
};

void warn_line(WarningSink& sink, std::string_view file, long line, std::string_view what);
// Counts `count` line warnings of the current file that are known not to be shown.
void count_unshown_warnings(WarningSink& sink, long count);
void warn_file(WarningSink& sink, std::string_view file, std::string_view what);
// Writes the summary line of a file's suppressed warnings, if any, and starts counting anew.
void end_file_warnings(WarningSink& sink, std::string_view file);

}  // namespace pctlfit
