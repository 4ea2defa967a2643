#include "selection/drive_list.h"

#include <QDir>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <algorithm>
#include <filesystem>
#include <set>

namespace tavrio::selection {
namespace {

bool IsNetworkFileSystem(const QByteArray& type) {
  static const std::set<QByteArray> kTypes = {"cifs", "smb3", "smbfs", "nfs",        "nfs4",
                                              "afs",  "9p",   "ncpfs", "fuse.sshfs", "davfs"};
  return kTypes.count(type) > 0;
}

bool StartsWithFolder(const std::string& path, const std::string& folder) {
  if (folder == "/") return !path.empty() && path.front() == '/';
  return path == folder || path.rfind(folder + "/", 0) == 0;
}

bool IsRemovableMount(const std::string& root) {
  return StartsWithFolder(root, "/media") || StartsWithFolder(root, "/run/media") ||
         StartsWithFolder(root, "/mnt");
}

}  // namespace

QString VolumeName(const QString& label, const QString& device, const std::string& root,
                   bool network) {
  if (!label.isEmpty()) return label;
  if (network) {
    // //host/share (SMB) or host:/export (NFS, sshfs).
    QString host;
    QString share;
    if (device.startsWith("//")) {
      host = device.mid(2).section('/', 0, 0);
      share = device.mid(2).section('/', 1);
    } else if (device.contains(':')) {
      host = device.section(':', 0, 0);
      share = device.section(':', 1);
    }
    share = share.section('/', -1, -1, QString::SectionSkipEmpty);
    if (!host.isEmpty() && !share.isEmpty()) return share + " 于 " + host;
  }
  const std::string folder = std::filesystem::path(root).filename().string();
  return QString::fromStdString(folder.empty() ? root : folder);
}

std::vector<DriveEntry> SystemDrives() {
  const std::string home = QDir::homePath().toStdString();
  std::vector<DriveEntry> drives = {{"文件系统", "/"}};
  if (home != "/") drives.push_back({"主文件夹", home});
  std::vector<DriveEntry> volumes;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    const std::string root = volume.rootPath().toStdString();
    const bool network = IsNetworkFileSystem(volume.fileSystemType());
    if (root == "/" || root == home || !(network || IsRemovableMount(root))) continue;
    volumes.push_back(
        {VolumeName(volume.name(), QString::fromUtf8(volume.device()), root, network), root});
  }
  std::sort(volumes.begin(), volumes.end(),
            [](const DriveEntry& a, const DriveEntry& b) { return a.name < b.name; });
  drives.insert(drives.end(), volumes.begin(), volumes.end());
  return drives;
}

DriveList::DriveList(Provider provider, QWidget* parent)
    : QComboBox(parent), provider_(std::move(provider)) {
  Fill(provider_(), QDir::currentPath().toStdString());
  connect(this, &QComboBox::currentIndexChanged, this, &DriveList::Change);
}

std::string DriveList::Drive() const {
  return currentIndex() < 0 ? std::string("/") : currentData().toByteArray().toStdString();
}

void DriveList::ShowDriveOf(const std::string& folder) {
  int best = -1;
  size_t best_length = 0;
  for (int index = 0; index < count(); ++index) {
    const std::string root = itemData(index).toByteArray().toStdString();
    if (StartsWithFolder(folder, root) && (best < 0 || root.size() > best_length)) {
      best = index;
      best_length = root.size();
    }
  }
  const QSignalBlocker quiet(this);
  setCurrentIndex(best);
}

void DriveList::showPopup() {
  Fill(provider_(), Drive());
  QComboBox::showPopup();
}

void DriveList::Fill(const std::vector<selection::DriveEntry>& drives,
                     const std::string& keep_root) {
  const QSignalBlocker quiet(this);
  clear();
  for (const selection::DriveEntry& drive : drives) {
    addItem(drive.name, QByteArray::fromStdString(drive.root));
  }
  // When the chosen volume has gone, the drive that now holds its folder takes its place.
  ShowDriveOf(keep_root);
}

}  // namespace tavrio::selection
