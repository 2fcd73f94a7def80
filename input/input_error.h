#pragma once
// What went wrong while reading the inputs; run control turns it into a message and a status.

#include <string>

namespace pctlfit {

enum class InputErrorKind {
  none,
  list_cannot_open,
  list_cannot_read,
  list_names_no_file,
  first_cannot_open,
  first_cannot_read,
  header_too_short,
  data_cannot_open,
  data_cannot_read,
};

struct InputError {
  InputErrorKind kind = InputErrorKind::none;
  std::string path;  // the file concerned
};

inline bool failed(const InputError& error) { return error.kind != InputErrorKind::none; }

}  // namespace pctlfit
