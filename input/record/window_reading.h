#pragma once
// The values of a record read window by window, written once for every vector reading: a
// kernel gives the classify step and the two convert steps (eight plain decimals at once, and
// the plain decimals of a window one or two at a time); every other field goes to the exact
// path. Instantiated in each kernel's source, so that its steps are inlined.

#include "input/record/token_window.h"
#include "input/record/value_fields.h"

namespace pctlfit {

// Where the reading of a line's values stands between windows.
struct WindowCursor {
  const char* next = nullptr;  // where the next window opens
  const char* pos = nullptr;   // just after the last field read
  int column = 0;              // the next column to read
};

enum class WindowEnd {
  columns_read,  // the last column is read
  line_ended,    // the window held the line's end
  next_window,   // the next window opens at cursor.next
  long_token,    // the token at cursor.next is as long as a window: the exact path reads it
};

// The tokens of an opened window, from cursor.column on, until the window is done, the last
// column is read or a token goes on past the window. Plain decimals are converted by the
// kernel; a token of any other form is read field by field by the exact path (a sign inside it
// starts a new field).
template <class Kernel>
WindowEnd read_window(const ValueFields& fields, TokenWindow& window, WindowCursor& cursor,
                      RecordParse& result) {
  if (all_tokens_plain(window)) {
    unsigned last_end = 0;
    const int read = Kernel::read_plain(window, fields.columns - cursor.column,
                                        fields.values + cursor.column, last_end);
    cursor.column += read;
    if (read > 0) cursor.pos = window.line_at + last_end;
    if (cursor.column == fields.columns) return WindowEnd::columns_read;
  }
  while (window.starts != 0) {
    const unsigned s = unsigned(std::countr_zero(window.starts));
    if (window.ends == 0) {
      cursor.next = window.line_at + s;  // the token goes on: read it whole
      return s == 0 ? WindowEnd::long_token : WindowEnd::next_window;
    }
    const unsigned e = unsigned(std::countr_zero(window.ends));
    window.starts &= window.starts - 1;
    window.ends &= window.ends - 1;
    const char* const token_end = window.line_at + e;
    for (cursor.pos = window.line_at + s; cursor.pos < token_end;) {
      cursor.pos = read_field(fields.line, cursor.pos, cursor.column, fields.values, result);
      if (++cursor.column == fields.columns) return WindowEnd::columns_read;
    }
  }
  if (window.holds_end) return WindowEnd::line_ended;
  cursor.next = window.line_at + kWindowBytes;
  return WindowEnd::next_window;
}

// The same as read_values_byte_by_byte, with tokens found and plain decimals read 64 bytes at a
// time.
template <class Kernel>
void read_values_in_windows(const ValueFields& fields, RecordParse& result) {
  const char* const end = fields.line.data() + fields.line.size();
  char tail[kWindowReach];
  TokenWindow window;
  WindowCursor cursor{fields.from, fields.from, 0};
  WindowEnd step = WindowEnd::next_window;
  while (cursor.column < fields.columns &&
         (step == WindowEnd::next_window || step == WindowEnd::long_token)) {
    if (step == WindowEnd::long_token) {
      cursor.pos = read_field(fields.line, cursor.next, cursor.column++, fields.values, result);
      cursor.next = cursor.pos;
      step = WindowEnd::next_window;
      continue;
    }
    open_window<Kernel::classify>(window, cursor.next, end, fields.readable_end, tail);
    if (cursor.column + 8 <= fields.columns) {
      if (const unsigned after = Kernel::read_eight(window, fields.values + cursor.column)) {
        cursor.column += 8;
        cursor.next = cursor.pos = window.line_at + after;
        continue;
      }
    }
    step = read_window<Kernel>(fields, window, cursor, result);
  }
  result.values_read = cursor.column;
  if (cursor.column < fields.columns) {
    result.status = RecordStatus::short_record;
    return;
  }
  finish_values(fields.line, cursor.pos, result);
}

}  // namespace pctlfit
