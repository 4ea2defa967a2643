#include "selection/folder_listing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "automation/base/error.h"
#include "tests/support/temp_folder.h"

namespace tavrio::selection {
namespace {

using Names = std::vector<std::string>;

TEST(ReadFolder, ListsVisibleFilesAndFoldersApartInChineseOrder) {
  testing::TempFolder folder;
  for (const char* file :
       {"上海.xlsx", "北京.xlsx", "b.txt", "A.xlsx", ".~lock.北京.xlsx#", ".hidden.xlsx"}) {
    folder.AddFile(file);
  }
  for (const char* sub : {"乙", "甲", ".git"}) folder.AddFolder(sub);

  const FolderListing listing = ReadFolder(folder.path());

  EXPECT_EQ(listing.files, (Names{"北京.xlsx", "上海.xlsx", "A.xlsx", "b.txt"}));
  EXPECT_EQ(listing.folders, (Names{"甲", "乙"}));
}

TEST(ReadFolder, FollowsLinksAndLeavesOutBrokenOnesAndSpecialFiles) {
  testing::TempFolder folder;
  folder.AddFile("data/real.xlsx");
  folder.AddFolder("data/sub");
  namespace fs = std::filesystem;
  fs::create_symlink(folder.File("data/real.xlsx"), folder.File("data/link.xlsx"));
  fs::create_directory_symlink(folder.File("data/sub"), folder.File("data/linked_sub"));
  fs::create_symlink(folder.File("data/gone.xlsx"), folder.File("data/broken.xlsx"));

  const FolderListing listing = ReadFolder(folder.File("data"));

  EXPECT_EQ(listing.files, (Names{"link.xlsx", "real.xlsx"}));
  EXPECT_EQ(listing.folders, (Names{"linked_sub", "sub"}));
}

TEST(ReadFolder, EmptyFolderGivesEmptyLists) {
  testing::TempFolder folder;
  const FolderListing listing = ReadFolder(folder.path());
  EXPECT_TRUE(listing.files.empty());
  EXPECT_TRUE(listing.folders.empty());
}

struct FailureCase {
  const char* label;
  const char* relative;  // inside the test folder; "a.xlsx" exists as a file
  int number;
  const char* reason;
};

class ReadFolderFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ReadFolderFailure, NamesTheFolderAndSaysWhy) {
  testing::TempFolder folder;
  folder.AddFile("a.xlsx");
  const std::string path = folder.File(GetParam().relative);
  try {
    ReadFolder(path);
    FAIL() << "no error for " << path;
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), GetParam().number);
    EXPECT_EQ(error.description(), "无法打开文件夹“" + path + "”：" + GetParam().reason);
  }
}

INSTANTIATE_TEST_SUITE_P(Folders, ReadFolderFailure,
                         ::testing::Values(FailureCase{"Missing", "不存在", 76, "路径未找到"},
                                           FailureCase{"AFileNotAFolder", "a.xlsx", 76,
                                                       "路径未找到"}),
                         [](const auto& info) { return std::string(info.param.label); });

struct CleanCase {
  const char* given;
  const char* clean;
};

TEST(CleanFolderPath, EndsInASlashOnlyAtTheRoot) {
  for (const CleanCase& c : std::vector<CleanCase>{{"/", "/"},
                                                   {"/home/", "/home"},
                                                   {"/home//user/", "/home/user"},
                                                   {"/a/./b/../c", "/a/c"},
                                                   {"/..", "/"},
                                                   {"/数据/", "/数据"}}) {
    SCOPED_TRACE(c.given);
    EXPECT_EQ(CleanFolderPath(c.given), c.clean);
  }
}

}  // namespace
}  // namespace tavrio::selection
