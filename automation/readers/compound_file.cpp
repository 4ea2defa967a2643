#include "automation/readers/compound_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string_view>

#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kMaxSectorId = 0xFFFFFFFA;
constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kHeaderFatSlots = 109;
constexpr std::size_t kDirectoryEntrySize = 128;
constexpr std::size_t kMaxNameBytes = 64;

[[noreturn]] void Damaged() { throw ReadFault("文件已损坏：复合文档结构无效"); }

std::uint32_t U32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t U16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

class SectorFile {
 public:
  SectorFile(int fd, unsigned shift, std::uint64_t file_size)
      : fd_(fd), size_(std::size_t{1} << shift), file_size_(file_size) {}

  std::size_t size() const { return size_; }
  std::uint64_t count() const { return file_size_ / size_; }

  std::vector<unsigned char> Read(std::uint32_t id) const {
    if (id > kMaxSectorId || id >= count()) Damaged();
    std::vector<unsigned char> sector(size_);
    off_t offset = static_cast<off_t>((std::uint64_t{id} + 1) * size_);
    if (pread(fd_, sector.data(), size_, offset) != static_cast<ssize_t>(size_)) Damaged();
    return sector;
  }

 private:
  int fd_;
  std::size_t size_;
  std::uint64_t file_size_;
};

// The sector allocation table, gathered from the header's slots and the DIFAT chain.
std::vector<std::uint32_t> ReadFat(const SectorFile& file, const unsigned char* header) {
  std::vector<std::uint32_t> fat_sectors;
  for (std::size_t i = 0; i < kHeaderFatSlots; ++i) {
    std::uint32_t id = U32(header + 0x4C + 4 * i);
    if (id <= kMaxSectorId) fat_sectors.push_back(id);
  }
  const std::size_t per_sector = file.size() / 4;
  std::uint32_t difat = U32(header + 0x44);
  for (std::uint64_t hops = 0; difat <= kMaxSectorId; ++hops) {
    if (hops > file.count()) Damaged();
    auto sector = file.Read(difat);
    for (std::size_t i = 0; i + 1 < per_sector; ++i) {
      std::uint32_t id = U32(sector.data() + 4 * i);
      if (id <= kMaxSectorId) fat_sectors.push_back(id);
    }
    difat = U32(sector.data() + 4 * (per_sector - 1));
  }
  if (fat_sectors.size() > file.count()) Damaged();
  std::vector<std::uint32_t> fat;
  for (std::uint32_t id : fat_sectors) {
    auto sector = file.Read(id);
    for (std::size_t i = 0; i < per_sector; ++i) fat.push_back(U32(sector.data() + 4 * i));
  }
  return fat;
}

std::string EntryName(const unsigned char* entry) {
  std::size_t bytes = U16(entry + 0x40);
  std::string name;
  for (std::size_t i = 0; i + 1 < bytes; i += 2) {
    std::uint16_t unit = U16(entry + i);
    if (unit == 0) break;
    name.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
  }
  return name;
}

}  // namespace

bool IsCompoundFileSignature(std::string_view header) {
  return header.substr(0, 8) == std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
}

std::vector<std::string> CompoundFileEntryNames(int fd) {
  struct stat info {};
  unsigned char header[kHeaderSize];
  if (fstat(fd, &info) != 0 || pread(fd, header, kHeaderSize, 0) != kHeaderSize) Damaged();
  unsigned shift = U16(header + 0x1E);
  if (shift != 9 && shift != 12) Damaged();
  SectorFile file(fd, shift, static_cast<std::uint64_t>(info.st_size));
  std::vector<std::uint32_t> fat = ReadFat(file, header);
  std::vector<std::string> names;
  std::uint32_t sector_id = U32(header + 0x30);
  for (std::uint64_t hops = 0; sector_id != kEndOfChain; ++hops) {
    if (hops > file.count() || sector_id >= fat.size()) Damaged();
    auto sector = file.Read(sector_id);
    for (std::size_t at = 0; at + kDirectoryEntrySize <= sector.size(); at += kDirectoryEntrySize) {
      // freexl converts every entry's name with the length the entry claims, reading past the
      // entry on a longer one, so such a file must not reach it.
      if (U16(sector.data() + at + 0x40) > kMaxNameBytes) {
        throw ReadFault("文件已损坏：复合文档目录中的名称过长");
      }
      if (sector[at + 0x42] != 0) names.push_back(EntryName(sector.data() + at));
    }
    sector_id = fat[sector_id];
  }
  return names;
}

}  // namespace tavrio::automation::readers
