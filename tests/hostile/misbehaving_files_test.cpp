// Files that change under a running merge, and outputs that cannot be written: each is reported
// with a message naming the file and saying why, what was merged before stays merged, and no
// source file is ever written.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "automation/base/error.h"
#include "automation/engine_host.h"
#include "automation/readers/workbook_reader.h"
#include "batch/batch_controls.h"
#include "batch/input_files.h"
#include "merge/combine_workbooks.h"
#include "tests/automation/readers/crafted_package.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/hostile/hostile_support.h"
#include "tests/support/temp_folder.h"

namespace tavrio::hostile {
namespace {

namespace fs = std::filesystem;
using automation::readers::OpenWorkbookFile;
using automation::readers::testing::RecordingSink;
using automation::readers::testing::SheetXml;
using automation::readers::testing::WorkbookParts;
using automation::readers::testing::WritePackage;
using tavrio::testing::ReadFile;
using tavrio::testing::TempFolder;
using tavrio::testing::WriteFile;

// A workbook whose column A holds a header and then `first`, `first` + 1, ... (`rows` numbers).
void WriteBook(const std::string& path, int first, int rows = 2) {
  std::string xml = R"(<row r="1"><c r="A1" t="inlineStr"><is><t>编号</t></is></c></row>)";
  for (int i = 0; i < rows; ++i) {
    std::string r = std::to_string(i + 2);
    xml += "<row r=\"" + r + "\"><c r=\"A" + r + "\"><v>" + std::to_string(first + i) +
           "</v></c><c r=\"B" + r + "\" t=\"inlineStr\"><is><t>第" + std::to_string(first + i) +
           "行的说明文字</t></is></c></row>";
  }
  WritePackage(path, WorkbookParts({{"Sheet1", SheetXml(xml)}}));
}

// Column A of the first sheet of a saved workbook, numbers as text: {"编号", "11", "12", ...}.
std::vector<std::string> ColumnA(const std::string& path) {
  RecordingSink sink;
  OpenWorkbookFile(path)->ReadSheet(0, sink);
  std::vector<std::string> values;
  for (const auto& [at, cell] : sink.cells()) {
    if (at.second != 1) continue;
    values.push_back(cell.text.empty() ? std::to_string(static_cast<int>(cell.number)) : cell.text);
  }
  return values;
}

// Three sources a.xlsx, b.xlsx, c.xlsx with 11 12, 21 22 and 31 32 under their headers.
struct Sources {
  TempFolder dir;
  std::vector<std::string> paths = {dir.File("a.xlsx"), dir.File("b.xlsx"), dir.File("c.xlsx")};
  Sources() {
    for (int i = 0; i < 3; ++i) WriteBook(paths[i], 10 * (i + 1) + 1);
  }
};

struct TurnCase {
  std::string name;
  int turn;  // the 0-based file whose turn the change waits for
  std::function<void(const std::string& path)> change;
  std::string reason;               // empty when the merge succeeds
  std::vector<std::string> merged;  // column A of the merged workbook afterwards
};

const std::vector<TurnCase>& TurnCases() {
  static const std::vector<TurnCase> cases = {
      {"DeletedBeforeItsTurn",
       2,
       [](const std::string& p) { fs::remove(p); },
       "文件不存在",
       {"编号", "11", "12", "21", "22"}},
      {"ReplacedByAnotherWorkbook",
       1,
       [](const std::string& p) {
         WriteBook(p + ".new", 91);
         fs::rename(p + ".new", p);
       },
       "",
       {"编号", "11", "12", "91", "92", "31", "32"}},
      {"ReplacedByAnImage",
       1,
       [](const std::string& p) { WriteFile(p, std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)); },
       "不是工作簿文件",
       {"编号", "11", "12"}},
      {"ReplacedByAFolderOfTheSameName",
       2,
       [](const std::string& p) {
         fs::remove(p);
         fs::create_directory(p);
       },
       "这是一个文件夹，不是文件",
       {"编号", "11", "12", "21", "22"}},
      {"StillBeingWritten",
       1,
       [](const std::string& p) {
         std::string bytes = ReadFile(p);
         WriteFile(p, bytes.substr(0, bytes.size() * 2 / 3));
       },
       "文件已损坏：无法读取压缩包目录",
       {"编号", "11", "12"}},
  };
  return cases;
}

class FileChangedBeforeItsTurnTest : public ::testing::TestWithParam<TurnCase> {};

// The window's merge on the engine, through the batch mode's controls, whose file list tells
// when each file's turn comes: the change happens just before the merge opens that file.
TEST_P(FileChangedBeforeItsTurnTest, IsReportedAndKeepsTheEarlierBlocks) {
  const TurnCase& c = GetParam();
  Sources sources;
  const std::string& changed = sources.paths[c.turn];
  SourceSnapshot snapshot(sources.paths);

  batch::BatchOptions options;
  options.inputs = sources.paths;
  batch::BatchControls controls(options, batch::ResolveInputs(sources.paths),
                                [&](int index, int, const std::string&) {
                                  if (index == c.turn) c.change(changed);
                                });
  automation::EngineHost host;
  std::optional<Error> failure;
  try {
    merge::CombineWorkbooks(controls, host);
  } catch (const Error& error) {
    failure = error;
  }

  if (c.reason.empty()) {
    ASSERT_FALSE(failure) << failure->description();
    EXPECT_EQ(controls.summary(), "已完成，共合并文件3个文件！");
  } else {
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->number(), 1004);
    EXPECT_EQ(failure->description(), "无法打开文件“" + changed + "”：" + c.reason + "。");
    EXPECT_EQ(controls.summary(), "");
  }
  automation::Engine& engine = host.engine();
  ASSERT_NE(engine.FindWorkbook("工作簿1"), nullptr);
  const std::string saved = sources.dir.File("kept.xlsx");
  engine.SaveWorkbookAs("工作簿1", saved);
  EXPECT_EQ(ColumnA(saved), c.merged);
  EXPECT_EQ(snapshot.Changed(), std::vector<std::string>{changed});
}

INSTANTIATE_TEST_SUITE_P(Turns, FileChangedBeforeItsTurnTest, ::testing::ValuesIn(TurnCases()),
                         [](const auto& info) { return info.param.name; });

TEST(MisbehavingFileTest, AFileWithoutReadPermission) {
  Sources sources;
  fs::permissions(sources.dir.path(), fs::perms::all);
  const std::string out_folder = sources.dir.File("out");
  fs::create_directory(out_folder);
  fs::permissions(out_folder, fs::perms::all);
  for (const std::string& path : sources.paths) {
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  }
  fs::permissions(sources.paths[1], fs::perms::none);
  const bool as_nobody = geteuid() == 0;
  if (!as_nobody && access(sources.paths[1].c_str(), R_OK) == 0) {
    GTEST_SKIP() << "permissions do not bind this user";
  }
  SourceSnapshot snapshot(sources.paths);
  const std::string output = out_folder + "/merged.xlsx";
  MergeOutcome outcome = RunMergeProgram({"-o", output, sources.dir.path()}, as_nobody);
  if (as_nobody && outcome.exit_code >= 126) {
    GTEST_SKIP() << "the user nobody cannot run tavrio-merge where it was built";
  }
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.err,
            FailureText(1004, "无法打开文件“" + sources.paths[1] + "”：没有读取权限。"));
  EXPECT_FALSE(fs::exists(output));
  EXPECT_TRUE(snapshot.Changed().empty());
}

TEST(MisbehavingFileTest, AFolderNamedLikeAWorkbookIsNotTakenForOne) {
  Sources sources;
  fs::create_directory(sources.dir.File("b2.xlsx"));
  WriteBook(sources.dir.File("b2.xlsx/inside.xlsx"), 71);
  SourceSnapshot snapshot(sources.paths);
  TempFolder elsewhere;
  const std::string output = elsewhere.File("merged.xlsx");
  MergeOutcome outcome = RunMergeProgram({"-o", output, sources.dir.path()});
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "已完成，共合并文件3个文件！\n");
  EXPECT_EQ(ColumnA(output),
            (std::vector<std::string>{"编号", "11", "12", "21", "22", "31", "32"}));

  MergeOutcome given = RunMergeProgram(
      {"-o", sources.dir.File("m.xlsx"), sources.paths[0], sources.dir.File("b2.xlsx")});
  EXPECT_EQ(given.exit_code, 1);
  EXPECT_EQ(given.err, FailureText(5, "“" + sources.dir.File("b2.xlsx") +
                                          "”是文件夹：只给出一个文件夹，或者只给出文件"));
  EXPECT_FALSE(fs::exists(sources.dir.File("m.xlsx")));
  EXPECT_TRUE(snapshot.Changed().empty());
}

// A small tmpfs mounted for one test and unmounted however it ends; mounting needs root with
// the right to mount, which a container may not grant.
class TmpfsMount {
 public:
  TmpfsMount(const std::string& path, const std::string& size, bool read_only) : path_(path) {
    fs::create_directory(path_);
    mounted_ = mount("tmpfs", path_.c_str(), "tmpfs", read_only ? MS_RDONLY : 0,
                     ("size=" + size).c_str()) == 0;
  }
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;
  ~TmpfsMount() {
    if (mounted_) umount2(path_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  std::string path_;
  bool mounted_ = false;
};

struct OutputCase {
  std::string name;
  std::string size;
  bool read_only;
  int rows;  // per source: enough to overflow the small disk
  std::string reason;
};

class UnwritableOutputTest : public ::testing::TestWithParam<OutputCase> {};

TEST_P(UnwritableOutputTest, IsReportedAndLeavesNothingBehind) {
  const OutputCase& c = GetParam();
  Sources sources;
  for (int i = 0; i < 3; ++i) WriteBook(sources.paths[i], 1000 * (i + 1), c.rows);
  TmpfsMount disk(sources.dir.File("disk"), c.size, c.read_only);
  if (!disk.mounted()) GTEST_SKIP() << "mounting a tmpfs is not permitted here";
  SourceSnapshot snapshot(sources.paths);
  const std::string output = sources.dir.File("disk/合并 结果.xlsx");
  MergeOutcome outcome = RunMergeProgram({"-o", output, sources.dir.path()});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.err, FailureText(1004, "无法保存文件“" + output + "”：" + c.reason + "。"));
  EXPECT_TRUE(fs::is_empty(sources.dir.File("disk")));
  EXPECT_TRUE(snapshot.Changed().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, UnwritableOutputTest,
    ::testing::Values(OutputCase{"ReadOnlyFolder", "1m", true, 2, "文件系统是只读的"},
                      OutputCase{"FullDisk", "64k", false, 6000, "写入文件时出错：磁盘空间不足"}),
    [](const auto& info) { return info.param.name; });

// The earlier output of the same name survives a save that runs out of disk: the new file is
// written under a temporary name and only renamed once complete and flushed.
TEST(MisbehavingFileTest, AFullDiskKeepsTheEarlierOutputOfTheSameName) {
  Sources sources;
  for (int i = 0; i < 3; ++i) WriteBook(sources.paths[i], 1000 * (i + 1), 6000);
  TmpfsMount disk(sources.dir.File("disk"), "64k", false);
  if (!disk.mounted()) GTEST_SKIP() << "mounting a tmpfs is not permitted here";
  const std::string output = sources.dir.File("disk/合并.xlsx");
  WriteBook(output, 7, 2);
  const std::string earlier = ReadFile(output);
  MergeOutcome outcome = RunMergeProgram({"-o", output, sources.dir.path()});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.err,
            FailureText(1004, "无法保存文件“" + output + "”：写入文件时出错：磁盘空间不足。"));
  EXPECT_EQ(ReadFile(output), earlier);
  EXPECT_EQ(
      std::distance(fs::directory_iterator(sources.dir.File("disk")), fs::directory_iterator()), 1);
}

TEST(MisbehavingFileTest, PathsWithSpacesChineseAndNewlines) {
  TempFolder dir;
  const std::string folder = dir.File("源 文件\n第一季度");
  fs::create_directory(folder);
  const std::vector<std::string> sources = {folder + "/一月 销售.xlsx",
                                            folder + "/二月\n销售.xlsx"};
  WriteBook(sources[0], 11);
  WriteBook(sources[1], 21);
  SourceSnapshot snapshot(sources);
  const std::string output = dir.File("合并\n结果 一.xlsx");
  MergeOutcome outcome = RunMergeProgram({"-o", output, sources[0], sources[1]});
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "已完成，共合并文件2个文件！\n");
  EXPECT_EQ(ColumnA(output), (std::vector<std::string>{"编号", "11", "12", "21", "22"}));

  const std::string missing = folder + "/三月\n销售 .xlsx";
  MergeOutcome failed = RunMergeProgram({"-o", dir.File("其他 结果.xlsx"), sources[0], missing});
  EXPECT_EQ(failed.exit_code, 1);
  EXPECT_EQ(failed.err, FailureText(1004, "无法打开文件“" + missing + "”：文件不存在。"));
  EXPECT_FALSE(fs::exists(dir.File("其他 结果.xlsx")));
  EXPECT_TRUE(snapshot.Changed().empty());
}

}  // namespace
}  // namespace tavrio::hostile
