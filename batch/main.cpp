// tavrio-merge: the merge of the window, run from scripts.

#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "batch/batch_run.h"

int main(int argc, char** argv) {
  const bool terminal = isatty(STDERR_FILENO) == 1;
  return tavrio::batch::RunBatch(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                 std::cerr, terminal);
}
