#include "run/messages.h"

namespace pctlfit {

void print_banner(std::FILE* out) {
  std::fputs("pctlfit: calculating percentiles for \n", out);
  std::fputs(
      "5%, 50% und 95% for time series of monthly values (e.g. results from sumflow)\n"
      "For each time series, a LN3-distribution is fitted to the data (with a given lower limit)\n",
      out);
  std::fputs(
      "All input-files has to have the same number of columns and the same subbasin structure\n",
      out);
}

void print_usage(std::FILE* out) {
  std::fputs("usage: pctlfit <listfilename> [NV|LN2|LN3]\n\n", out);
  std::fputs("The list file contains a list of all files, which should be processed\n", out);
  std::fputs("NV  : optionale Parameter for using Gaussian distribution \n", out);
  std::fputs("LN2 : optionale Parameter for using logarithmic Gaussian distribution (default)\n",
             out);
  std::fputs("LN3 : optionale Parameter for using Log-Gaussian distribution with an lower limit\n",
             out);
}

void print_help_pointer(std::FILE* out) {
  std::fputs(
      "See 'man pctlfit' or README.md for the file formats, the report and the exit statuses.\n",
      out);
}

void print_version(std::FILE* out) { std::fprintf(out, "pctlfit %s\n", PCTLFIT_VERSION); }

void print_ln3_prompt(std::FILE* out) {
  std::fputs("lower limit for LN3: ", out);
  std::fflush(out);  // the user must see the question before typing the answer
}

void print_ready(std::FILE* out) { std::fputs("ready..\n", out); }

ExitStatus report_input_error(std::FILE* out, const InputError& error) {
  const char* name = error.path.c_str();
  switch (error.kind) {
    case InputErrorKind::none:
      return kExitOk;
    case InputErrorKind::list_cannot_open:
      std::fprintf(out, "error opening script file %s\n", name);
      return kExitInput;
    case InputErrorKind::list_names_no_file:
      std::fprintf(out, "list file %s names no data file\n", name);
      return kExitInput;
    case InputErrorKind::first_cannot_open:
      std::fprintf(out, "error opening file %s \n", name);
      return kExitInput;
    case InputErrorKind::header_too_short:
      std::fputs("'satz' falsch gelesen\n", out);
      return kExitHeaderTooShort;
    case InputErrorKind::data_cannot_open:
      std::fprintf(out, "error opening %s \n", name);
      return kExitInput;
    case InputErrorKind::list_cannot_read:
    case InputErrorKind::first_cannot_read:
    case InputErrorKind::data_cannot_read:
      std::fprintf(out, "error reading %s \n", name);
      return kExitInput;
  }
  return kExitInput;
}

ExitStatus report_cannot_open_report(std::FILE* out, const std::string& report_name) {
  std::fprintf(out, "error opening output file %s \n", report_name.c_str());
  return kExitReport;
}

ExitStatus report_report_is_input(std::FILE* out, const std::string& report_name) {
  std::fprintf(out, "output file %s is also an input file\n", report_name.c_str());
  return kExitReport;
}

ExitStatus report_cannot_write_report(std::FILE* out, const std::string& report_name) {
  std::fprintf(out, "error writing output file %s \n", report_name.c_str());
  return kExitReport;
}

}  // namespace pctlfit
