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

StepResult Saved(StepResult step, std::uintmax_t bytes) {
  step.output_bytes = bytes;
  return step;
}

// (c) saves a file of `c_file` MiB, (d) one of 10 MiB.
SetResult Figures(std::string set, double a, double b, double c, double d, double c_mib,
                  double e_mib, double c_file = 11) {
  return {{std::move(set), 2, 3, 12},
          1048576,
          {Ran(Step::kFloor, a, 5), Ran(Step::kEngineMerge, b, c_mib - 10),
           Saved(Ran(Step::kBatchMerge, c, c_mib), static_cast<std::uintmax_t>(c_file * 1048576)),
           Saved(Ran(Step::kOpenpyxl, d, 60), 10 * 1048576), Ran(Step::kTailMerge, c / 3, e_mib),
           Ran(Step::kSave, c - b, c_mib)}};
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
      {"all met", Figures("many", 1, 1.3, 2.5, 125, 100, 49), {kMet, kMet, kMet, kMet, kMet}},
      {"merge just over 1.3x the floor",
       Figures("many", 1, 1.31, 2, 125, 100, 10),
       {kMissed, kMet, kMet, kMet, kMet}},
      {"merge with save just over 2.5x the floor",
       Figures("many", 1, 1, 2.51, 200, 100, 10),
       {kMet, kMissed, kMet, kMet, kMet}},
      {"python only 49.9x slower",
       Figures("many", 1, 1, 2, 99.8, 100, 10),
       {kMet, kMet, kMissed, kMet, kMet}},
      {"file over 1.1x python's",
       Figures("many", 1, 1, 2, 100, 100, 10, 11.1),
       {kMet, kMet, kMet, kMissed, kMet}},
      {"memory follows the inputs",
       Figures("many", 1, 1, 2, 100, 100, 50),
       {kMet, kMet, kMet, kMet, kMissed}},
      {"million set under 1 GiB",
       Figures("million", 1, 1, 1, 50, 1000, 10),
       {kMet, kMet, kMet, kMet, kMet, kMet, kMet}},
      {"million set at 1 GiB",
       Figures("million", 1, 1, 1, 50, 1024, 10),
       {kMet, kMet, kMet, kMet, kMet, kMet, kMissed}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(States(c.figures), c.states);
  }
}

TEST(CheckTargetsTest, AFailedOrSkippedStepMeetsNoTarget) {
  SetResult failed = Figures("million", 1, 1, 1, 50, 100, 10);
  failed.steps[2] = Ran(Step::kBatchMerge, 0.001, 1, 1, "boom");
  EXPECT_EQ(States(failed), (std::vector<TargetState>{kMet, kUnknown, kUnknown, kUnknown, kUnknown,
                                                      kMet, kUnknown}));

  SetResult skipped = Figures("many", 1, 1, 1, 50, 100, 10);
  skipped.steps[3] = Skipped(Step::kOpenpyxl, "--no-python");
  skipped.steps[1] = Skipped(Step::kEngineMerge, "not built");
  EXPECT_EQ(States(skipped), (std::vector<TargetState>{kUnknown, kMet, kUnknown, kUnknown, kMet}));
}

TEST(CheckTargetsTest, AWrongResultCountsAsAFailure) {
  SetResult result = Figures("many", 1, 0.01, 1, 50, 100, 10);
  result.steps[1].wrong_result = "merged 1 rows, expected 7";
  EXPECT_FALSE(Succeeded(result.steps[1]));
  EXPECT_TRUE(Succeeded(result.steps[0]));
  EXPECT_EQ(States(result), (std::vector<TargetState>{kUnknown, kMet, kMet, kMet, kMet}));
  EXPECT_NE(FormatSetReport(result).find("WRONG: merged 1 rows, expected 7\n"), std::string::npos);
}

TEST(CheckTargetsTest, SpellsOutTheRatios) {
  const std::vector<TargetCheck> checks = CheckTargets(Figures("many", 0.5, 0.6, 1, 41, 100, 25));
  ASSERT_EQ(checks.size(), 5u);
  EXPECT_EQ(checks[0].text, "(b)/(a) = 1.20 (target <= 1.3); CPU time 1.20");
  EXPECT_EQ(checks[1].text, "(c)/(a) = 2.00 (target <= 2.5); CPU time 2.00");
  EXPECT_EQ(checks[2].text, "(d)/(c) = 41.00 (target >= 50); CPU time 41.00");
  EXPECT_EQ(checks[3].text, "(c)'s file vs (d)'s: 11.0 MiB vs 10.0 MiB = 1.10x (target <= 1.1x)");
  EXPECT_EQ(checks[4].text,
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
           "  (s) save after (b), timed alone            1.250     0.625      100.0  \n",
           "    MISSED  (b)/(a) = 1.50 (target <= 1.3); CPU time 1.50\n",
           "    ?       (c)/(a): not measured (target <= 2.5)\n",
           "    ?       (d)/(c): not measured (target >= 50)\n",
           "    ?       (c)'s file vs (d)'s: not measured (target <= 1.1x)\n",
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
