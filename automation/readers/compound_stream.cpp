#include "automation/readers/compound_stream.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kMaxSectorId = 0xFFFFFFFA;
constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kEntrySize = 128;

[[noreturn]] void Damaged() { throw ReadFault("文件已损坏：复合文档结构无效"); }

std::uint32_t U32(const char* p) {
  auto b = reinterpret_cast<const unsigned char*>(p);
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}
std::uint16_t U16(const char* p) {
  auto b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

class CompoundFile {
 public:
  explicit CompoundFile(int fd) : fd_(fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0 || pread(fd, header_, kHeaderSize, 0) != kHeaderSize) Damaged();
    unsigned shift = U16(header_ + 0x1E);
    if (shift != 9 && shift != 12) Damaged();
    sector_size_ = std::size_t{1} << shift;
    sector_count_ = static_cast<std::uint64_t>(info.st_size) / sector_size_;
    ReadFat();
  }

  // The bytes of the regular chain starting at `start`, cut to `size`.
  std::string Chain(std::uint32_t start, std::uint64_t size) const {
    if (size > sector_count_ * sector_size_) Damaged();
    std::string data;
    for (std::uint32_t id = start; data.size() < size; id = fat_[id]) {
      if (id > kMaxSectorId || id >= fat_.size() || data.size() > size) Damaged();
      data += Sector(id);
    }
    data.resize(size);
    return data;
  }

  // The whole regular chain starting at `start`.
  std::string WholeChain(std::uint32_t start) const {
    std::string data;
    for (std::uint32_t id = start; id != kEndOfChain; id = fat_[id]) {
      if (id > kMaxSectorId || id >= fat_.size() || data.size() >= fat_.size() * sector_size_) {
        Damaged();
      }
      data += Sector(id);
    }
    return data;
  }

  std::string Stream(std::string_view name) const {
    std::string directory = WholeChain(U32(header_ + 0x30));
    if (directory.size() < kEntrySize) Damaged();
    for (std::size_t at = 0; at + kEntrySize <= directory.size(); at += kEntrySize) {
      const char* entry = directory.data() + at;
      if (entry[0x42] != 2 || !NameIs(entry, name)) continue;
      std::uint64_t size = U32(entry + 0x78);
      if (size < U32(header_ + 0x38)) return MiniStream(directory.data(), U32(entry + 0x74), size);
      return Chain(U32(entry + 0x74), size);
    }
    return {};
  }

 private:
  std::string Sector(std::uint32_t id) const {
    if (id >= sector_count_) Damaged();
    std::string sector(sector_size_, '\0');
    off_t offset = static_cast<off_t>((std::uint64_t{id} + 1) * sector_size_);
    if (pread(fd_, sector.data(), sector_size_, offset) != static_cast<ssize_t>(sector_size_)) {
      Damaged();
    }
    return sector;
  }

  void ReadFat() {
    std::vector<std::uint32_t> fat_sectors;
    for (std::size_t i = 0; i < 109; ++i) {
      std::uint32_t id = U32(header_ + 0x4C + 4 * i);
      if (id <= kMaxSectorId) fat_sectors.push_back(id);
    }
    const std::size_t per_sector = sector_size_ / 4;
    std::uint32_t difat = U32(header_ + 0x44);
    for (std::uint64_t hops = 0; difat <= kMaxSectorId; ++hops) {
      if (hops > sector_count_) Damaged();
      std::string sector = Sector(difat);
      for (std::size_t i = 0; i + 1 < per_sector; ++i) {
        std::uint32_t id = U32(sector.data() + 4 * i);
        if (id <= kMaxSectorId) fat_sectors.push_back(id);
      }
      difat = U32(sector.data() + 4 * (per_sector - 1));
    }
    if (fat_sectors.size() > sector_count_) Damaged();
    for (std::uint32_t id : fat_sectors) {
      std::string sector = Sector(id);
      for (std::size_t i = 0; i < per_sector; ++i) fat_.push_back(U32(sector.data() + 4 * i));
    }
  }

  std::string MiniStream(const char* root, std::uint32_t start, std::uint64_t size) const {
    const unsigned shift = U16(header_ + 0x20);
    if (shift > 12) Damaged();
    const std::size_t mini_size = std::size_t{1} << shift;
    if (mini_size > sector_size_) Damaged();
    std::string container = WholeChain(U32(root + 0x74));
    std::string mini_fat_bytes = WholeChain(U32(header_ + 0x3C));
    std::string data;
    std::uint64_t hops = 0;
    for (std::uint32_t id = start; data.size() < size; ++hops) {
      std::uint64_t offset = std::uint64_t{id} * mini_size;
      if (offset + mini_size > container.size() ||
          4 * std::uint64_t{id} + 4 > mini_fat_bytes.size() ||
          hops > container.size() / mini_size) {
        Damaged();
      }
      data.append(container, offset, mini_size);
      id = U32(mini_fat_bytes.data() + 4 * std::uint64_t{id});
    }
    data.resize(size);
    return data;
  }

  static bool NameIs(const char* entry, std::string_view name) {
    std::size_t bytes = U16(entry + 0x40);
    if (bytes != 2 * (name.size() + 1) || bytes > 64) return false;
    std::string ascii;
    for (std::size_t i = 0; i < name.size(); ++i) {
      std::uint16_t unit = U16(entry + 2 * i);
      if (unit >= 0x80) return false;
      ascii.push_back(static_cast<char>(unit));
    }
    return strncasecmp(ascii.c_str(), std::string(name).c_str(), name.size()) == 0;
  }

  int fd_;
  char header_[kHeaderSize];
  std::size_t sector_size_ = 512;
  std::uint64_t sector_count_ = 0;
  std::vector<std::uint32_t> fat_;
};

}  // namespace

std::string ReadCompoundFileStream(int fd, std::string_view name) {
  return CompoundFile(fd).Stream(name);
}

}  // namespace tavrio::automation::readers
