#include "batch/input_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "automation/base/error.h"
#include "merge/file_order.h"
#include "tests/support/temp_folder.h"

namespace tavrio::batch {
namespace {

using testing::TempFolder;

std::vector<std::string> Paths(const std::vector<InputFile>& files) {
  std::vector<std::string> paths;
  for (const InputFile& file : files) paths.push_back(file.folder + "/" + file.name);
  return paths;
}

TEST(ResolveInputsTest, GivenFilesKeepTheirOrderAndTheirExactPaths) {
  const struct {
    std::vector<std::string> inputs;
    std::vector<std::string> paths;
  } cases[] = {
      {{"/d/b.xlsx", "/d/a.xlsx"}, {"/d/b.xlsx", "/d/a.xlsx"}},
      {{"x/一月.xlsx", "/e/f/g.xlsm"}, {"x/一月.xlsx", "/e/f/g.xlsm"}},
      {{"a.xlsx"}, {"./a.xlsx"}},
      {{"/a.xlsx"}, {"//a.xlsx"}},
      {{"/d/a.xlsx", "/e/a.xlsx"}, {"/d/a.xlsx", "/e/a.xlsx"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.inputs.front());
    EXPECT_EQ(Paths(ResolveInputs(c.inputs)), c.paths);
  }
}

TEST(ResolveInputsTest, FolderGivesItsVisibleFilesInTheWindowsOrder) {
  TempFolder folder;
  for (const char* name : {"b.xlsx", "A.xlsx", "销售.xlsx", "北京.xlsx", "10.xlsx", "2.xlsx",
                           ".~lock.a.xlsx#", ".hidden.xlsx"}) {
    testing::WriteFile(folder.File(name), "x");
  }
  std::filesystem::create_directory(std::filesystem::path(folder.path()) / "sub");
  std::vector<std::string> expected = {"b.xlsx",    "A.xlsx",  "销售.xlsx",
                                       "北京.xlsx", "10.xlsx", "2.xlsx"};
  merge::SortFileNames(expected);
  for (const std::string& given : {folder.path(), folder.path() + "/"}) {
    SCOPED_TRACE(given);
    const std::vector<InputFile> files = ResolveInputs({given});
    std::vector<std::string> names;
    for (const InputFile& file : files) {
      EXPECT_EQ(file.folder, folder.path());
      names.push_back(file.name);
    }
    EXPECT_EQ(names, expected);
  }
  // The order is the collation's, not the bytes': 北京 (bei) before 销售 (xiao), A before b.
  const auto at = [&](const std::string& name) {
    return std::find(expected.begin(), expected.end(), name) - expected.begin();
  };
  EXPECT_LT(at("北京.xlsx"), at("销售.xlsx"));
  EXPECT_LT(at("A.xlsx"), at("b.xlsx"));
}

TEST(ResolveInputsTest, RecursiveTakesSubfoldersFolderByFolderInTheWindowsOrder) {
  TempFolder root;
  namespace fs = std::filesystem;
  for (const char* folder : {"上海", "北京/海淀", "北京/朝阳", ".隐藏", "空"}) {
    fs::create_directories(fs::path(root.path()) / folder);
  }
  for (const char* file : {"b.xlsx", "A.xlsx", "上海/1.xlsx", "北京/2.xlsx", "北京/海淀/x.xlsx",
                           "北京/朝阳/y.xlsx", ".隐藏/h.xlsx"}) {
    testing::WriteFile(root.File(file), "x");
  }
  // A link back up the tree is not followed, or the walk would never end.
  fs::create_directory_symlink(root.path(), fs::path(root.path()) / "北京" / "回到上层");
  const std::string top = root.path();
  EXPECT_EQ(Paths(ResolveInputs({top}, true)),
            (std::vector<std::string>{top + "/A.xlsx", top + "/b.xlsx", top + "/北京/2.xlsx",
                                      top + "/北京/朝阳/y.xlsx", top + "/北京/海淀/x.xlsx",
                                      top + "/上海/1.xlsx"}));
  EXPECT_EQ(Paths(ResolveInputs({top})),
            (std::vector<std::string>{top + "/A.xlsx", top + "/b.xlsx"}));
  // Files given one by one are what they are, with or without the flag.
  EXPECT_EQ(Paths(ResolveInputs({top + "/上海/1.xlsx"}, true)),
            std::vector<std::string>{top + "/上海/1.xlsx"});
}

TEST(ResolveInputsTest, RecursiveFindsFilesOnlyInSubfolders) {
  TempFolder root;
  std::filesystem::create_directories(std::filesystem::path(root.path()) / "一月");
  testing::WriteFile(root.File("一月/a.xlsx"), "x");
  const std::string top = root.path();
  EXPECT_EQ(Paths(ResolveInputs({top}, true)), std::vector<std::string>{top + "/一月/a.xlsx"});
  EXPECT_THROW(ResolveInputs({top}), Error);
}

TEST(ResolveInputsTest, RefusesWhatCannotBeMerged) {
  TempFolder folder;
  TempFolder empty;
  testing::WriteFile(folder.File("a.xlsx"), "x");
  const std::string dir = folder.path();
  const struct {
    std::vector<std::string> inputs;
    int number;
    std::string description;
  } cases[] = {
      {{empty.path()}, 5, "文件夹“" + empty.path() + "”中没有可合并的文件"},
      {{dir, dir + "/a.xlsx"}, 5, "“" + dir + "”是文件夹：只给出一个文件夹，或者只给出文件"},
      {{"/d/"}, 76, "“/d/”不是文件"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.description);
    try {
      ResolveInputs(c.inputs);
      ADD_FAILURE() << "accepted";
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), c.number);
      EXPECT_EQ(error.description(), c.description);
    }
  }
}

TEST(ResolveInputsTest, RefusesMoreFilesThanOneRunCanCount) {
  std::vector<std::string> inputs(32766, "/d/a.xlsx");
  EXPECT_EQ(ResolveInputs(inputs).size(), 32766u);
  inputs.push_back("/d/a.xlsx");
  try {
    ResolveInputs(inputs);
    ADD_FAILURE() << "accepted";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), 6);
    EXPECT_EQ(error.description(), "一次最多合并 32766 个文件，这里有 32767 个");
  }
}

}  // namespace
}  // namespace tavrio::batch
