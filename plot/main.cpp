#include <cstdio>
#include <string>
#include <vector>

#include "plot/plot_run.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return pctlfit::plot::run_plot(args, stdout, stderr);
}
