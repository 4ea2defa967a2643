#include "bench/harness/measure.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "automation/base/error.h"

extern char** environ;

namespace tavrio::bench {
namespace {

// posix_spawn's file actions are a C handle; this keeps them from leaking on every exit path.
class SpawnFileActions {
 public:
  SpawnFileActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnFileActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double Seconds(const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

Error CannotStart(const std::string& program, int error) {
  return Error(error_number::kApplicationDefined,
               "无法启动程序“" + program + "”：" + std::strerror(error));
}

}  // namespace

Measurement RunMeasured(const std::vector<std::string>& argv, const std::filesystem::path& log) {
  if (argv.empty()) throw CannotStart("", ENOENT);
  SpawnFileActions actions;
  posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, log.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(actions.get(), STDOUT_FILENO, STDERR_FILENO);

  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  // What an earlier step wrote (a merged workbook of hundreds of MiB) is written back first:
  // the kernel would otherwise do it during this run, on the cores the run is timed on.
  sync();
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawn_error =
      posix_spawn(&pid, argv[0].c_str(), actions.get(), nullptr, args.data(), environ);
  if (spawn_error != 0) throw CannotStart(argv[0], spawn_error);

  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) throw CannotStart(argv[0], errno);
  }
  Measurement result;
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.cpu_seconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  result.peak_rss_kib = usage.ru_maxrss;
  if (WIFEXITED(status)) {
    result.exit_code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.exit_code = 128 + WTERMSIG(status);
  }
  result.output = ReadWholeFile(log);
  return result;
}

Measurement Combine(const std::vector<Measurement>& runs) {
  Measurement combined;
  if (runs.empty()) return combined;
  std::vector<double> seconds;
  std::vector<double> cpu_seconds;
  for (const Measurement& run : runs) {
    seconds.push_back(run.seconds);
    cpu_seconds.push_back(run.cpu_seconds);
    combined.peak_rss_kib = std::max(combined.peak_rss_kib, run.peak_rss_kib);
    if (combined.exit_code == 0) {
      combined.exit_code = run.exit_code;
      combined.output = run.output;
    }
  }
  combined.seconds = Median(seconds);
  combined.cpu_seconds = Median(cpu_seconds);
  return combined;
}

}  // namespace tavrio::bench
