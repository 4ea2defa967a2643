#include "tests/hostile/hostile_support.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tavrio::hostile {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A scratch file for one of the child's output streams, removed afterwards.
class CaptureFile {
 public:
  CaptureFile() {
    char pattern[] = "/tmp/tavrio-hostile-capture-XXXXXX";
    fd_ = mkstemp(pattern);
    if (fd_ < 0) throw std::runtime_error("mkstemp failed");
    path_ = pattern;
  }
  CaptureFile(const CaptureFile&) = delete;
  CaptureFile& operator=(const CaptureFile&) = delete;
  ~CaptureFile() {
    close(fd_);
    unlink(path_.c_str());
  }
  int fd() const { return fd_; }
  std::string Contents() const { return ReadAll(path_); }

 private:
  int fd_;
  std::string path_;
};

}  // namespace

MergeOutcome RunMergeProgram(const std::vector<std::string>& arguments, bool as_nobody) {
  std::vector<std::string> argv_text = {TAVRIO_MERGE_PROGRAM};
  argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : argv_text) argv.push_back(text.data());
  argv.push_back(nullptr);

  CaptureFile out, err;
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    int null = open("/dev/null", O_RDONLY);
    if (null < 0 || dup2(null, STDIN_FILENO) < 0 || dup2(out.fd(), STDOUT_FILENO) < 0 ||
        dup2(err.fd(), STDERR_FILENO) < 0) {
      _exit(126);
    }
    constexpr uid_t kNobody = 65534;
    if (as_nobody && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
      _exit(126);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) throw std::runtime_error("wait4 failed");
  MergeOutcome outcome;
  outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  outcome.out = out.Contents();
  outcome.err = err.Contents();
  outcome.peak_rss_kib = usage.ru_maxrss;
  return outcome;
}

std::string FailureText(int number, const std::string& description) {
  return "运行时错误 '" + std::to_string(number) + "':\n\n" + description + "\n";
}

SourceSnapshot::SourceSnapshot(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) files_[path] = Take(path);
}

SourceSnapshot::Fingerprint SourceSnapshot::Take(const std::string& path) {
  Fingerprint print;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return print;
  print.exists = true;
  print.size = info.st_size;
  print.mtime_ns = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
  // FNV-1a over the bytes: a change of any byte shows, which is all this needs.
  print.hash = 14695981039346656037ULL;
  for (unsigned char c : ReadAll(path)) print.hash = (print.hash ^ c) * 1099511628211ULL;
  return print;
}

std::vector<std::string> SourceSnapshot::Changed() const {
  std::vector<std::string> changed;
  for (const auto& [path, before] : files_) {
    Fingerprint now = Take(path);
    if (now.exists != before.exists || now.hash != before.hash || now.size != before.size ||
        now.mtime_ns != before.mtime_ns) {
      changed.push_back(path);
    }
  }
  return changed;
}

}  // namespace tavrio::hostile
