#pragma once
// The layouts of a data file that pctlfit reads: the standard one (three header lines, the
// second's first 12 characters a label; records of year, month, day and hour, then the values)
// and the date layout that several basin models write (a comment line, then a line of a first
// word such as DATE and the headings separated by tabs; records of one date field, YYYY-MM-DD,
// optionally with a time, then the values).

namespace pctlfit {

enum class FileLayout { standard, date };

// The lines before the records.
constexpr long header_lines(FileLayout layout) { return layout == FileLayout::date ? 2 : 3; }

}  // namespace pctlfit
