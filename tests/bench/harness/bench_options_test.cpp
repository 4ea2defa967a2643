#include "bench/harness/bench_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/base/error.h"

namespace tavrio::bench {
namespace {

struct RejectedCase {
  std::vector<std::string> args;
  std::string description;
};

class RejectedOptionsTest : public testing::TestWithParam<RejectedCase> {};

TEST_P(RejectedOptionsTest, NamesTheFlagAndWhy) {
  try {
    ParseOptions(GetParam().args);
    FAIL() << "accepted";
  } catch (const Error& error) {
    EXPECT_EQ(error.description(), GetParam().description);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Flags, RejectedOptionsTest,
    testing::Values(
        RejectedCase{{"--fast"}, "未知的参数：--fast"}, RejectedCase{{"many"}, "未知的参数：many"},
        RejectedCase{{"--set"}, "参数 --set 缺少取值"},
        RejectedCase{{"--set", "huge"},
                     "--set 只接受 many、million、many-formatted、million-formatted、"
                     "many-uncalculated、million-uncalculated 或 all，而不是“huge”"},
        RejectedCase{{"--repeat"}, "参数 --repeat 缺少取值"},
        RejectedCase{{"--repeat", "0"}, "--repeat 的取值应为 1 到 100 之间的整数，而不是“0”"},
        RejectedCase{{"--repeat", "101"}, "--repeat 的取值应为 1 到 100 之间的整数，而不是“101”"},
        RejectedCase{{"--repeat", "3x"}, "--repeat 的取值应为 1 到 100 之间的整数，而不是“3x”"},
        RejectedCase{{"--repeat", "-2"}, "--repeat 的取值应为 1 到 100 之间的整数，而不是“-2”"},
        RejectedCase{{"--repeat", ""}, "--repeat 的取值应为 1 到 100 之间的整数，而不是“”"},
        RejectedCase{{"--data", ""}, "--data 的取值不能为空"},
        RejectedCase{{"--quick", "--data"}, "参数 --data 缺少取值"}));

TEST(ParseOptionsTest, DefaultsRunEverySetOnceWithPython) {
  const BenchOptions options = ParseOptions({});
  EXPECT_FALSE(options.help);
  EXPECT_FALSE(options.quick);
  EXPECT_TRUE(options.set_names.empty());
  EXPECT_EQ(options.repeat, 1);
  EXPECT_TRUE(options.python);
  EXPECT_FALSE(options.formatted);
  EXPECT_FALSE(options.uncalculated);
  EXPECT_EQ(options.data_root, "bench-data");
}

TEST(ParseOptionsTest, ReadsEveryFlag) {
  const BenchOptions options =
      ParseOptions({"--quick", "--set", "million", "--repeat", "5", "--data", "x/y", "--no-python",
                    "-h", "--formatted", "--uncalculated"});
  EXPECT_TRUE(options.help);
  EXPECT_TRUE(options.quick);
  EXPECT_EQ(options.set_names, std::vector<std::string>{"million"});
  EXPECT_EQ(options.repeat, 5);
  EXPECT_EQ(options.data_root, "x/y");
  EXPECT_FALSE(options.python);
  EXPECT_TRUE(options.formatted);
  EXPECT_TRUE(options.uncalculated);
}

TEST(ParseOptionsTest, SetsKeepTheirOrderAndAllChoosesEverySet) {
  EXPECT_EQ(ParseOptions({"--set", "million", "--set", "many"}).set_names,
            (std::vector<std::string>{"million", "many"}));
  EXPECT_TRUE(ParseOptions({"--set", "many", "--set", "all"}).set_names.empty());
  EXPECT_EQ(ParseOptions({"--set", "many-formatted", "--set", "million-formatted"}).set_names,
            (std::vector<std::string>{"many-formatted", "million-formatted"}));
  EXPECT_EQ(ParseOptions({"--set", "million-uncalculated"}).set_names,
            (std::vector<std::string>{"million-uncalculated"}));
}

TEST(ParseOptionsTest, UsageNamesEveryFlag) {
  for (const char* flag :
       {"--quick", "--set", "--repeat", "--data", "--no-python", "--formatted", "--uncalculated"}) {
    SCOPED_TRACE(flag);
    EXPECT_NE(Usage().find(flag), std::string::npos);
  }
}

}  // namespace
}  // namespace tavrio::bench
