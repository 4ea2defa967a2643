#pragma once

// Runs one program the way the benchmark times it: a child process of its own, so that its
// peak resident memory is its own and not the harness's.

#include <filesystem>
#include <string>
#include <vector>

namespace tavrio::bench {

struct Measurement {
  double seconds = 0;      // wall time from spawn to exit
  double cpu_seconds = 0;  // user + system time: steadier than wall time on a busy machine
  long peak_rss_kib = 0;   // largest resident set of the child or anything it waited for
  int exit_code = 0;       // 0 on success; 128 + signal number when a signal ended it
  std::string output;      // what it printed on stdout and stderr, in order
};

// Runs `argv` (argv[0] is the program's path) with stdin from /dev/null and stdout and stderr
// both written to `log`, which is replaced; the log's text is also returned in the result.
// Throws tavrio::Error when the program cannot be started at all; a program that starts and
// fails is a result with a non-zero exit code, not an error.
Measurement RunMeasured(const std::vector<std::string>& argv, const std::filesystem::path& log);

// The figures of several runs of one step: the median wall and CPU times (steadier than the
// mean on a shared machine) and the largest peak memory. The exit code and output are
// those of the first failing run, or of the last run when all succeeded.
Measurement Combine(const std::vector<Measurement>& runs);

}  // namespace tavrio::bench
