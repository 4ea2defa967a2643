// Saving through a temporary file: what is left behind on success and on failure.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <fstream>

#include "../engine/error_of.h"
#include "../engine/fake_files.h"
#include "automation/engine/engine.h"
#include "automation/writers/atomic_file.h"
#include "automation/writers/save_workbook.h"
#include "automation/writers/workbook_writer.h"
#include "writer_test_support.h"

namespace tavrio::automation {
namespace {

using testing::ErrorOf;
using testing::FakeFiles;
using testing::FakeSheet;

class SaveTest : public ::testing::Test {
 protected:
  SaveTest() { files_.Add("/in/a.xlsx", {{FakeSheet("Sheet1", {{1, 1, std::string("a")}})}}); }

  testing::TempFolder folder_;
  FakeFiles files_;
  Engine engine_{files_.Factory(), &writers::SaveWorkbook};
};

TEST_F(SaveTest, SavedWorkbookTakesTheFileNameAndHasNoUnsavedChanges) {
  engine_.AddWorkbook();
  engine_.SetCellText(std::int16_t{1}, 1, "x");
  EXPECT_TRUE(engine_.HasUnsavedChanges("工作簿1"));
  const std::string path = folder_.File("合并结果.xlsx");
  engine_.SaveWorkbookAs("工作簿1", path);
  EXPECT_EQ(engine_.WorkbookNames(), std::vector<std::string>{"合并结果.xlsx"});
  EXPECT_FALSE(engine_.HasUnsavedChanges("合并结果.xlsx"));
  EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"合并结果.xlsx"});
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_NE(info.st_mode & S_IRGRP, 0u) << "saved with the private mode of a temporary file";
}

TEST_F(SaveTest, ASavedFileIsReplacedWhole) {
  engine_.AddWorkbook();
  const std::string path = folder_.File("out.csv");
  engine_.SetCellText(std::int16_t{1}, 1, "first");
  engine_.SaveWorkbookAs("工作簿1", path);
  engine_.SetCellText(std::int16_t{1}, 1, "2");
  engine_.SaveWorkbookAs("out.csv", path);
  EXPECT_EQ(testing::ReadFile(path),
            "\xEF\xBB\xBF"
            "2\r\n");
}

TEST_F(SaveTest, FailuresLeaveNoFileBehind) {
  engine_.AddWorkbook();
  std::filesystem::create_directory(std::filesystem::path(folder_.path()) / "taken.xlsx");
  struct Case {
    std::string path;
    std::string description;
  };
  const Case cases[] = {
      {folder_.File("missing/out.xlsx"),
       "无法保存文件“" + folder_.File("missing/out.xlsx") + "”：文件夹不存在。"},
      {folder_.File("taken.xlsx"),
       "无法保存文件“" + folder_.File("taken.xlsx") + "”：已有同名的文件夹。"},
      {folder_.path() + "/", "无法保存文件“" + folder_.path() + "/”：路径中没有文件名。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const Error error = ErrorOf([&] { engine_.SaveWorkbookAs("工作簿1", c.path); });
    EXPECT_EQ(error.number(), 1004);
    EXPECT_EQ(error.description(), c.description);
  }
  EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"taken.xlsx"});
  EXPECT_EQ(engine_.WorkbookNames(), std::vector<std::string>{"工作簿1"});
}

TEST_F(SaveTest, AWriterFailingHalfwayLeavesTheOldFileAndNoTemporaryFile) {
  const std::string path = folder_.File("keep.xlsx");
  {
    std::ofstream old(path);
    old << "old content";
  }
  const auto failure = ErrorOf([&] {
    try {
      writers::WriteAtomically(path, [](const std::string& temporary) {
        std::ofstream partial(temporary);
        partial << "half";
        partial.close();
        throw writers::WriteFailure("磁盘已满");
      });
    } catch (const writers::WriteFailure& fault) {
      throw Error(1, fault.what());
    }
  });
  EXPECT_EQ(failure.description(), "磁盘已满");
  EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"keep.xlsx"});
  EXPECT_EQ(testing::ReadFile(path), "old content");
}

// Files this process writes may not grow past `bytes` while it lives: a write past it fails
// (EFBIG) as a write to a full disk does (ENOSPC), without needing the right to mount a small
// disk. The signal the kernel sends with it is ignored, as a program that reports errors must.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_handler_);
  }

 private:
  rlimit saved_{};
  void (*previous_handler_)(int) = nullptr;
};

TEST_F(SaveTest, AWriteThatFailsHalfwayReportsItAndKeepsTheEarlierFile) {
  files_.Add("/in/big.xlsx", {{testing::GridSheet("Sheet1", 30000, 4)}});
  engine_.OpenWorkbook("/in/big.xlsx");
  struct Case {
    std::string name;
    std::string reason;
  };
  const Case cases[] = {{"out.xlsx", "写入文件时出错：文件超过了系统允许的大小"},
                        {"out.csv", "写入 CSV 文件时出错：文件超过了系统允许的大小"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder_.File(c.name);
    {
      std::ofstream earlier(path);
      earlier << "earlier content";
    }
    const Error error = ErrorOf([&] {
      FileSizeLimit limit(64 * 1024);
      engine_.SaveWorkbookAs("big.xlsx", path);
    });
    EXPECT_EQ(error.description(), "无法保存文件“" + path + "”：" + c.reason + "。");
    EXPECT_EQ(testing::ReadFile(path), "earlier content");
  }
  EXPECT_EQ(folder_.Entries(), (std::vector<std::string>{"out.csv", "out.xlsx"}));
  EXPECT_EQ(engine_.WorkbookNames(), std::vector<std::string>{"big.xlsx"});
}

// The folder removed while the file is written: the rename fails, and says why.
TEST_F(SaveTest, AFolderRemovedDuringTheSaveIsReported) {
  const std::filesystem::path folder = std::filesystem::path(folder_.path()) / "gone";
  std::filesystem::create_directory(folder);
  const std::string path = (folder / "out.xlsx").string();
  std::string what;
  try {
    writers::WriteAtomically(path, [&](const std::string& temporary) {
      std::ofstream(temporary) << "content";
      std::filesystem::remove_all(folder);
    });
  } catch (const writers::WriteFailure& failure) {
    what = failure.what();
  }
  EXPECT_EQ(what, "文件夹不存在");
  EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST_F(SaveTest, TextTooLongForACellFailsTheSaveNamingTheCell) {
  files_.Add("/in/long.xlsx", {{FakeSheet("长文本", {{3, 2, std::string(32768, 'x')}})}});
  engine_.OpenWorkbook("/in/long.xlsx");
  const std::string path = folder_.File("long_out.xlsx");
  const Error error = ErrorOf([&] { engine_.SaveWorkbookAs("long.xlsx", path); });
  EXPECT_EQ(error.description(), "无法保存文件“" + path +
                                     "”：工作表“长文本”的单元格 B3 的文本超过 32767 个字符，"
                                     "单元格容纳不下。");
  EXPECT_TRUE(folder_.Entries().empty());
  EXPECT_TRUE(engine_.ActiveWorkbook() != nullptr);
  EXPECT_EQ(engine_.ActiveWorkbookName(), "long.xlsx");
}

// A sheet name may hold a NUL (a control character is no reason to refuse a name); the error
// that quotes it must still say the whole of why.
TEST_F(SaveTest, AnErrorQuotingASheetNameWithANulSaysItAll) {
  const std::string name("数\0据", 7);
  files_.Add("/in/nul.xlsx", {{FakeSheet(name, {{1, 1, std::string(32768, 'x')}})}});
  engine_.OpenWorkbook("/in/nul.xlsx");
  const std::string path = folder_.File("nul_out.xlsx");
  const Error error = ErrorOf([&] { engine_.SaveWorkbookAs("nul.xlsx", path); });
  EXPECT_EQ(error.description(), "无法保存文件“" + path + "”：工作表“" + name +
                                     "”的单元格 A1 的文本超过 32767 个字符，单元格容纳不下。");
}

TEST_F(SaveTest, SourceFilesAreNeverWritten) {
  const std::string source = folder_.File("source.xlsx");
  {
    std::ofstream file(source);
    file << "source bytes";
  }
  files_.Add(source, {{FakeSheet("Sheet1", {{1, 1, 1.0}})}});
  engine_.OpenWorkbook(source);
  engine_.CloseActiveWindow();  // closed or not, a file once opened stays a source
  engine_.AddWorkbook();
  for (const std::string& path : {source, folder_.path() + "/./source.xlsx"}) {
    SCOPED_TRACE(path);
    const Error error = ErrorOf([&] { engine_.SaveWorkbookAs("工作簿1", path); });
    EXPECT_EQ(error.description(),
              "无法保存到文件“" + path + "”：这是打开过的源文件，源文件从不改写。");
  }
  EXPECT_EQ(testing::ReadFile(source), "source bytes");
}

TEST_F(SaveTest, NamesThatWouldClashOrDoNotExistAreRefused) {
  engine_.OpenWorkbook("/in/a.xlsx");
  engine_.AddWorkbook();
  EXPECT_EQ(
      ErrorOf([&] { engine_.SaveWorkbookAs("工作簿1", folder_.File("A.XLSX")); }).description(),
      "无法保存到文件“" + folder_.File("A.XLSX") + "”：已经打开了同名的工作簿“a.xlsx”。");
  const Error missing = ErrorOf([&] { engine_.SaveWorkbookAs("工作簿9", folder_.File("x.xlsx")); });
  EXPECT_EQ(missing.number(), 9);
  EXPECT_EQ(missing.description(), "下标越界：没有名为“工作簿9”的打开的工作簿。");
  EXPECT_TRUE(folder_.Entries().empty());
}

}  // namespace
}  // namespace tavrio::automation
