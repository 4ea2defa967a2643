#include "bench/harness/measure.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "automation/base/error.h"
#include "tests/support/temp_folder.h"

namespace tavrio::bench {
namespace {

namespace fs = std::filesystem;

class RunMeasuredTest : public ::testing::Test {
 protected:
  Measurement Shell(const std::string& script) {
    return RunMeasured({"/bin/sh", "-c", script}, folder_ / "run.log");
  }

  testing::TempFolder temp_;
  fs::path folder_ = temp_.path();
};

TEST_F(RunMeasuredTest, ReportsHowTheProgramEnded) {
  struct Case {
    std::string script;
    int exit_code;
  };
  for (const Case& c :
       std::vector<Case>{{"exit 0", 0}, {"exit 3", 3}, {"kill -9 $$", 137}, {"kill -15 $$", 143}}) {
    SCOPED_TRACE(c.script);
    EXPECT_EQ(Shell(c.script).exit_code, c.exit_code);
  }
}

TEST_F(RunMeasuredTest, CapturesStdoutAndStderrInOrderInTheLogAndTheResult) {
  const Measurement run = Shell("echo one; echo two >&2; echo three");
  EXPECT_EQ(run.output, "one\ntwo\nthree\n");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_GE(run.seconds, 0);
  EXPECT_GE(run.cpu_seconds, 0);
  EXPECT_GT(run.peak_rss_kib, 0);
}

TEST_F(RunMeasuredTest, ReplacesAnOlderLog) {
  Shell("echo a much longer first output");
  EXPECT_EQ(Shell("echo short").output, "short\n");
}

TEST_F(RunMeasuredTest, GivesTheChildNoInput) { EXPECT_EQ(Shell("cat; echo end").output, "end\n"); }

TEST_F(RunMeasuredTest, CpuTimeCountsTheChildsWorkNotItsWaiting) {
  const Measurement busy = Shell("i=0; while [ $i -lt 200000 ]; do i=$((i + 1)); done");
  ASSERT_EQ(busy.exit_code, 0) << busy.output;
  EXPECT_GT(busy.cpu_seconds, 0.05);
  EXPECT_LT(Shell("sleep 0.3").cpu_seconds, 0.1);
}

TEST_F(RunMeasuredTest, PeakMemoryIsTheChildsOwn) {
  // 64 MiB touched by the child shows in its figure, and not in a later run's.
  const Measurement big = Shell("x=$(head -c 67108864 /dev/zero | tr '\\0' a); echo ${#x}");
  ASSERT_EQ(big.exit_code, 0) << big.output;
  EXPECT_EQ(big.output, "67108864\n");
  EXPECT_GE(big.peak_rss_kib, 64 * 1024);
  EXPECT_LT(Shell("exit 0").peak_rss_kib, 16 * 1024);
}

TEST_F(RunMeasuredTest, AProgramThatCannotStartIsAnError) {
  const std::string missing = (folder_ / "no-such-program").string();
  try {
    RunMeasured({missing}, folder_ / "run.log");
    FAIL() << "started";
  } catch (const Error& error) {
    EXPECT_EQ(error.description(), "无法启动程序“" + missing + "”：No such file or directory");
  }
}

TEST_F(RunMeasuredTest, ALogThatCannotBeWrittenIsAnError) {
  EXPECT_THROW(RunMeasured({"/bin/sh", "-c", "exit 0"}, folder_ / "missing" / "run.log"), Error);
}

Measurement Figures(double seconds, long peak, int exit_code, std::string output = "") {
  Measurement run;
  run.seconds = seconds;
  run.cpu_seconds = seconds * 10;
  run.peak_rss_kib = peak;
  run.exit_code = exit_code;
  run.output = std::move(output);
  return run;
}

TEST(CombineTest, TakesTheMedianTimeAndTheLargestPeak) {
  struct Case {
    std::vector<Measurement> runs;
    double seconds;
    long peak;
  };
  for (const Case& c : std::vector<Case>{
           {{Figures(2, 10, 0)}, 2, 10},
           {{Figures(5, 10, 0), Figures(1, 30, 0), Figures(3, 20, 0)}, 3, 30},
           {{Figures(4, 10, 0), Figures(1, 5, 0), Figures(2, 7, 0), Figures(9, 6, 0)}, 3, 10}}) {
    SCOPED_TRACE(c.runs.size());
    const Measurement combined = Combine(c.runs);
    EXPECT_DOUBLE_EQ(combined.seconds, c.seconds);
    EXPECT_DOUBLE_EQ(combined.cpu_seconds, c.seconds * 10);
    EXPECT_EQ(combined.peak_rss_kib, c.peak);
    EXPECT_EQ(combined.exit_code, 0);
  }
}

TEST(CombineTest, KeepsTheFirstFailureAndItsOutput) {
  const Measurement combined =
      Combine({Figures(1, 1, 0, "fine"), Figures(1, 1, 4, "broke"), Figures(1, 1, 5, "again")});
  EXPECT_EQ(combined.exit_code, 4);
  EXPECT_EQ(combined.output, "broke");
  EXPECT_EQ(Combine({Figures(1, 1, 0, "first"), Figures(1, 1, 0, "last")}).output, "last");
}

TEST(CombineTest, NoRunsGiveEmptyFigures) {
  const Measurement combined = Combine({});
  EXPECT_EQ(combined.seconds, 0);
  EXPECT_EQ(combined.peak_rss_kib, 0);
}

}  // namespace
}  // namespace tavrio::bench
