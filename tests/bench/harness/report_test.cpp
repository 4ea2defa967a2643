#include "bench/harness/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrio::bench {
namespace {

StepResult Ran(Step step, double seconds, double peak_mib, int exit_code = 0,
               std::string output = "") {
  StepResult result;
  result.step = step;
  result.ran = true;
  result.figures.seconds = seconds;
  result.figures.cpu_seconds = seconds / 2;
  result.figures.peak_rss_kib = static_cast<long>(peak_mib * 1024);
  result.figures.exit_code = exit_code;
  result.figures.output = std::move(output);
  return result;
}

StepResult Skipped(Step step, std::string why) {
  StepResult result;
  result.step = step;
  result.note = std::move(why);
  return result;
}

SetResult Figures(std::string set, double a, double b, double c, double d, double c_mib,
                  double e_mib) {
  return {{std::move(set), 2, 3, 12},
          1048576,
          {Ran(Step::kFloor, a, 5), Ran(Step::kEngineMerge, b, c_mib - 10),
           Ran(Step::kBatchMerge, c, c_mib), Ran(Step::kOpenpyxl, d, 60),
           Ran(Step::kTailMerge, c / 3, e_mib)}};
}

std::vector<TargetState> States(const SetResult& result) {
  std::vector<TargetState> states;
  for (const TargetCheck& check : CheckTargets(result)) states.push_back(check.state);
  return states;
}

constexpr TargetState kMet = TargetState::kMet;
constexpr TargetState kMissed = TargetState::kMissed;
constexpr TargetState kUnknown = TargetState::kUnknown;

TEST(CheckTargetsTest, JudgesEachTargetAtItsBoundary) {
  struct Case {
    std::string name;
    SetResult figures;
    std::vector<TargetState> states;
  };
  const std::vector<Case> cases = {
      {"all met", Figures("many", 1, 2, 2, 30, 100, 49), {kMet, kMet, kMet}},
      {"merge just over twice the floor",
       Figures("many", 1, 2.01, 2, 30, 100, 10),
       {kMissed, kMet, kMet}},
      {"python only 14.9x slower", Figures("many", 1, 1, 2, 29.8, 100, 10), {kMet, kMissed, kMet}},
      {"memory follows the inputs", Figures("many", 1, 1, 2, 30, 100, 50), {kMet, kMet, kMissed}},
      {"million set under 1 GiB",
       Figures("million", 1, 1, 1, 15, 1000, 10),
       {kMet, kMet, kMet, kMet, kMet}},
      {"million set at 1 GiB",
       Figures("million", 1, 1, 1, 15, 1024, 10),
       {kMet, kMet, kMet, kMet, kMissed}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(States(c.figures), c.states);
  }
}

TEST(CheckTargetsTest, AFailedOrSkippedStepMeetsNoTarget) {
  SetResult failed = Figures("million", 1, 1, 1, 30, 100, 10);
  failed.steps[2] = Ran(Step::kBatchMerge, 0.001, 1, 1, "boom");
  EXPECT_EQ(States(failed), (std::vector<TargetState>{kMet, kUnknown, kUnknown, kMet, kUnknown}));

  SetResult skipped = Figures("many", 1, 1, 1, 30, 100, 10);
  skipped.steps[3] = Skipped(Step::kOpenpyxl, "--no-python");
  skipped.steps[1] = Skipped(Step::kEngineMerge, "not built");
  EXPECT_EQ(States(skipped), (std::vector<TargetState>{kUnknown, kUnknown, kMet}));
}

TEST(CheckTargetsTest, AWrongResultCountsAsAFailure) {
  SetResult result = Figures("many", 1, 0.01, 1, 30, 100, 10);
  result.steps[1].wrong_result = "merged 1 rows, expected 7";
  EXPECT_FALSE(Succeeded(result.steps[1]));
  EXPECT_TRUE(Succeeded(result.steps[0]));
  EXPECT_EQ(States(result), (std::vector<TargetState>{kUnknown, kMet, kMet}));
  EXPECT_NE(FormatSetReport(result).find("WRONG: merged 1 rows, expected 7\n"), std::string::npos);
}

TEST(CheckTargetsTest, SpellsOutTheRatios) {
  const std::vector<TargetCheck> checks = CheckTargets(Figures("many", 0.5, 0.75, 2, 41, 100, 25));
  ASSERT_EQ(checks.size(), 3u);
  EXPECT_EQ(checks[0].text, "(b)/(a) = 1.50 (target <= 2); CPU time 1.50");
  EXPECT_EQ(checks[1].text, "(d)/(c) = 20.50 (target >= 15); CPU time 20.50");
  EXPECT_EQ(checks[2].text,
            "peak memory follows the output, not the inputs: (e) 25.0 MiB vs (c) 100.0 MiB "
            "(target (e) < (c)/2)");
}

TEST(FormatSetReportTest, ShowsEveryStepAndWhyOneDidNotRun) {
  SetResult result = Figures("many", 0.5, 0.75, 2, 41, 100, 25);
  result.steps[0].figures.output = "log line\ninflated 4 parts\n\n";
  result.steps[2] = Ran(Step::kBatchMerge, 2, 100, 1, "运行时错误 '1004':\n\n无法打开文件\n");
  result.steps[3] = Skipped(Step::kOpenpyxl, "--no-python");
  const std::string report = FormatSetReport(result);
  for (const char* expected : {
           "set many: 2 files x 3 rows x 12 columns, 1.0 MiB on disk\n",
           "  (a) floor: inflate sheet + strings         0.500     0.250        5.0  inflated 4 "
           "parts\n",
           "(c) tavrio-merge, with save                2.000     1.000      100.0  FAILED (exit "
           "1): "
           "无法打开文件\n",
           "  (d) openpyxl read-only/write-only              -         -          -  skipped: "
           "--no-python\n",
           "    met     (b)/(a) = 1.50 (target <= 2); CPU time 1.50\n",
           "    ?       (d)/(c): not measured (target >= 15)\n",
       }) {
    SCOPED_TRACE(expected);
    EXPECT_NE(report.find(expected), std::string::npos) << report;
  }
}

TEST(FormatSetReportTest, CutsALongNoteBetweenCharacters) {
  SetResult result = Figures("many", 1, 1, 1, 30, 100, 10);
  std::string chinese;
  for (int i = 0; i < 40; ++i) chinese += "合";  // 3 bytes each
  result.steps[0].figures.output = chinese;
  const std::string report = FormatSetReport(result);
  EXPECT_NE(report.find(chinese.substr(0, 69) + "...\n"), std::string::npos) << report;
}

TEST(LastLineTest, FindsTheLastLineWithText) {
  struct Case {
    std::string output, line;
  };
  for (const Case& c : std::vector<Case>{{"", ""},
                                         {"\n\n", ""},
                                         {"one", "one"},
                                         {"one\ntwo\n", "two"},
                                         {"one\r\ntwo  \r\n\n", "two"},
                                         {"a\n  b c\n", "  b c"}}) {
    SCOPED_TRACE(c.output);
    EXPECT_EQ(LastLine(c.output), c.line);
  }
}

}  // namespace
}  // namespace tavrio::bench
