#include "selection/drive_list.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <string>
#include <vector>

namespace tavrio::selection {
namespace {

struct NameCase {
  const char* label;
  const char* volume_label;
  const char* device;
  const char* root;
  bool network;
  const char* name;
};

class VolumeNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(VolumeNameTest, NamesTheVolumeAsAFileManagerWould) {
  const NameCase& c = GetParam();
  EXPECT_EQ(
      VolumeName(QString::fromUtf8(c.volume_label), QString::fromUtf8(c.device), c.root, c.network)
          .toStdString(),
      c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Volumes, VolumeNameTest,
    ::testing::Values(
        NameCase{"Label", "我的U盘", "/dev/sdb1", "/media/user/1234-ABCD", false, "我的U盘"},
        NameCase{"NoLabel", "", "/dev/sdb1", "/media/user/1234-ABCD", false, "1234-ABCD"},
        NameCase{"SmbShare", "", "//fileserver/财务", "/mnt/finance", true, "财务 于 fileserver"},
        NameCase{"NfsExport", "", "nas:/export/data/", "/mnt/data", true, "data 于 nas"},
        NameCase{"NetworkWithoutHost", "", "share", "/mnt/share", true, "share"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(SystemDrives, StartWithTheRootAndTheHomeFolder) {
  const std::vector<DriveEntry> drives = SystemDrives();
  ASSERT_GE(drives.size(), 1u);
  EXPECT_EQ(drives[0].name.toStdString(), "文件系统");
  EXPECT_EQ(drives[0].root, "/");
  if (drives.size() > 1 && drives[1].root != "/") {
    EXPECT_EQ(drives[1].name.toStdString(), "主文件夹");
  }
}

std::vector<DriveEntry> FakeDrives() {
  return {{"文件系统", "/"}, {"主文件夹", "/home/user"}, {"U盘", "/home/user/media/usb"}};
}

TEST(DriveList, ShowsTheDriveWithTheLongestRootThatHoldsTheFolderWithoutRaisingChange) {
  DriveList list(FakeDrives);
  QSignalSpy changes(&list, &DriveList::Change);
  for (const auto& [folder, drive] : std::vector<std::pair<std::string, std::string>>{
           {"/home/user/media/usb/报表", "/home/user/media/usb"},
           {"/home/user", "/home/user"},
           {"/home/username", "/"},
           {"/etc", "/"}}) {
    SCOPED_TRACE(folder);
    list.ShowDriveOf(folder);
    EXPECT_EQ(list.Drive(), drive);
  }
  EXPECT_EQ(changes.count(), 0);
}

TEST(DriveList, ChoosingADriveRaisesChange) {
  DriveList list(FakeDrives);
  list.ShowDriveOf("/");
  QSignalSpy changes(&list, &DriveList::Change);
  list.setCurrentIndex(2);
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(list.Drive(), "/home/user/media/usb");
}

}  // namespace
}  // namespace tavrio::selection
