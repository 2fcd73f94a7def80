#pragma once
// Everything run control says on the console. Scripts read these texts: keep them byte for byte.

#include <cstdio>
#include <string>

#include "input/input_error.h"
#include "run/exit_status.h"

namespace pctlfit {

void print_banner(std::FILE* out);
void print_usage(std::FILE* out);
void print_help_pointer(std::FILE* out);
void print_version(std::FILE* out);
void print_ln3_prompt(std::FILE* out);
void print_ready(std::FILE* out);

// Prints the message of an input failure and returns its exit status.
ExitStatus report_input_error(std::FILE* out, const InputError& error);
ExitStatus report_cannot_open_report(std::FILE* out, const std::string& report_name);
ExitStatus report_report_is_input(std::FILE* out, const std::string& report_name);
ExitStatus report_cannot_write_report(std::FILE* out, const std::string& report_name);

}  // namespace pctlfit
