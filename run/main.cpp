#include <string>
#include <vector>

#include "run/run.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return pctlfit::run_pctlfit(args, pctlfit::Console{});
}
