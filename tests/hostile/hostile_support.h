#pragma once

// Running tavrio-merge as a user's script would, measuring it, and proving that no source file
// was touched.

#include <map>
#include <string>
#include <vector>

namespace tavrio::hostile {

struct MergeOutcome {
  int exit_code = -1;
  std::string out;
  std::string err;
  long peak_rss_kib = 0;  // the child's maximum resident set, from wait4
};

// Runs tavrio-merge with `arguments` in its own process, stdin closed; with `as_nobody`, after
// dropping the privileges of root to the user nobody (the caller must be root).
MergeOutcome RunMergeProgram(const std::vector<std::string>& arguments, bool as_nobody = false);

// What tavrio-merge prints for a failed merge: the error's number and description.
std::string FailureText(int number, const std::string& description);

// Remembers the content and modification time of every file given, so that a test can show
// that a merge, failed or not, wrote none of them.
class SourceSnapshot {
 public:
  explicit SourceSnapshot(const std::vector<std::string>& paths);
  // Paths whose file changed or vanished since the snapshot; empty when all are intact.
  std::vector<std::string> Changed() const;

 private:
  struct Fingerprint {
    bool exists = false;
    unsigned long long hash = 0;
    long long size = 0;
    long long mtime_ns = 0;
  };
  static Fingerprint Take(const std::string& path);

  std::map<std::string, Fingerprint> files_;
};

}  // namespace tavrio::hostile
