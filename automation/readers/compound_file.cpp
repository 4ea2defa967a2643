#include "automation/readers/compound_file.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint32_t kMaxSectorId = 0xFFFFFFFA;
constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kHeaderFatSlots = 109;
constexpr std::size_t kEntrySize = 128;
constexpr std::size_t kMaxNameBytes = 64;
constexpr std::uint8_t kStream = 2;
constexpr std::uint8_t kRootStorage = 5;

[[noreturn]] void Damaged() { throw ReadFault("文件已损坏：复合文档结构无效"); }

std::uint32_t U32(const char* p) {
  auto b = reinterpret_cast<const unsigned char*>(p);
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}
std::uint16_t U16(const char* p) {
  auto b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

void ReadAt(int fd, char* into, std::size_t size, std::uint64_t offset) {
  for (std::size_t done = 0; done < size;) {
    ssize_t read = pread(fd, into + done, size - done, static_cast<off_t>(offset + done));
    if (read <= 0) Damaged();
    done += static_cast<std::size_t>(read);
  }
}

std::string EntryName(const char* entry) {
  const std::size_t bytes = U16(entry + 0x40);
  // A longer name would run into the entry's other fields; readers that trusted it read past
  // the entry, so the file is refused rather than guessed at.
  if (bytes > kMaxNameBytes) throw ReadFault("文件已损坏：复合文档目录中的名称过长");
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

CompoundFile::CompoundFile(int fd) : fd_(fd) {
  struct stat info {};
  char header[kHeaderSize];
  if (fstat(fd, &info) != 0 || info.st_size < static_cast<off_t>(kHeaderSize)) Damaged();
  ReadAt(fd, header, kHeaderSize, 0);
  file_size_ = static_cast<std::uint64_t>(info.st_size);
  sector_shift_ = U16(header + 0x1E);
  mini_shift_ = U16(header + 0x20);
  if (sector_shift_ != 9 && sector_shift_ != 12) Damaged();
  if (mini_shift_ > sector_shift_) Damaged();
  directory_start_ = U32(header + 0x30);
  mini_cutoff_ = U32(header + 0x38);
  mini_fat_start_ = U32(header + 0x3C);
  difat_start_ = U32(header + 0x44);
  for (std::size_t i = 0; i < kHeaderFatSlots; ++i) {
    difat_head_.push_back(U32(header + 0x4C + 4 * i));
  }
  ReadFat();
  ReadDirectory();
}

bool CompoundFile::IsSector(std::uint32_t id) const {
  return id <= kMaxSectorId && id < fat_.size() &&
         ((std::uint64_t{id} + 1) << sector_shift_) < file_size_;
}

// Reads `count` sectors from `id` on; a last sector cut short by the file's end reads as
// zeros past it, as some writers leave it.
void CompoundFile::ReadSectors(std::uint32_t id, std::size_t count, char* into) const {
  const std::uint64_t offset = (std::uint64_t{id} + 1) << sector_shift_;
  const std::size_t wanted = count << sector_shift_;
  const std::size_t available =
      static_cast<std::size_t>(std::min<std::uint64_t>(wanted, file_size_ - offset));
  ReadAt(fd_, into, available, offset);
  std::memset(into + available, 0, wanted - available);
}

// The chain starting at `start`: `size` bytes of it, or all of it when `whole_chain`. Runs of
// consecutive sectors are read in one call, as writers mostly lay a stream out.
std::string CompoundFile::Sectors(std::uint32_t start, std::uint64_t size, bool whole_chain) const {
  const std::size_t sector_size = std::size_t{1} << sector_shift_;
  const std::uint64_t sector_count = file_size_ >> sector_shift_;
  if (!whole_chain && size > file_size_) Damaged();
  std::string data;
  std::uint64_t hops = 0;
  for (std::uint32_t id = start; whole_chain ? id != kEndOfChain : data.size() < size;) {
    if (!IsSector(id)) Damaged();
    std::size_t run = 1;
    while (fat_[id + run - 1] == id + run && IsSector(id + run) &&
           (whole_chain || data.size() + run * sector_size < size)) {
      ++run;
    }
    hops += run;
    if (hops > sector_count) Damaged();
    const std::size_t at = data.size();
    data.resize(at + run * sector_size);
    ReadSectors(id, run, data.data() + at);
    id = fat_[id + run - 1];
  }
  if (!whole_chain) data.resize(size);
  return data;
}

// The FAT, gathered from the header's slots and the DIFAT chain.
void CompoundFile::ReadFat() {
  const std::size_t sector_size = std::size_t{1} << sector_shift_;
  const std::uint64_t sector_count = file_size_ >> sector_shift_;
  const std::size_t per_sector = sector_size / 4;
  std::vector<std::uint32_t> fat_sectors;
  for (std::uint32_t id : difat_head_) {
    if (id <= kMaxSectorId) fat_sectors.push_back(id);
  }
  std::string sector(sector_size, '\0');
  std::uint32_t difat = difat_start_;
  for (std::uint64_t hops = 0; difat <= kMaxSectorId; ++hops) {
    if (hops > sector_count || ((std::uint64_t{difat} + 1) << sector_shift_) >= file_size_) {
      Damaged();
    }
    ReadSectors(difat, 1, sector.data());
    for (std::size_t i = 0; i + 1 < per_sector; ++i) {
      std::uint32_t id = U32(sector.data() + 4 * i);
      if (id <= kMaxSectorId) fat_sectors.push_back(id);
    }
    difat = U32(sector.data() + 4 * (per_sector - 1));
  }
  if (fat_sectors.size() > sector_count) Damaged();
  fat_.reserve(fat_sectors.size() * per_sector);
  for (std::uint32_t id : fat_sectors) {
    if (((std::uint64_t{id} + 1) << sector_shift_) >= file_size_) Damaged();
    ReadSectors(id, 1, sector.data());
    for (std::size_t i = 0; i < per_sector; ++i) fat_.push_back(U32(sector.data() + 4 * i));
  }
}

void CompoundFile::ReadDirectory() {
  const std::string directory = Sectors(directory_start_, 0, true);
  for (std::size_t at = 0; at + kEntrySize <= directory.size(); at += kEntrySize) {
    const char* raw = directory.data() + at;
    Entry entry;
    entry.name = EntryName(raw);
    entry.type = static_cast<std::uint8_t>(raw[0x42]);
    entry.left = U32(raw + 0x44);
    entry.right = U32(raw + 0x48);
    entry.child = U32(raw + 0x4C);
    entry.start = U32(raw + 0x74);
    // Version 3 files keep only the low half; the high half may hold garbage there.
    entry.size = sector_shift_ == 9 ? U32(raw + 0x78)
                                    : U32(raw + 0x78) | (std::uint64_t{U32(raw + 0x7C)} << 32);
    entries_.push_back(std::move(entry));
  }
  if (entries_.empty() || entries_[0].type != kRootStorage) Damaged();
  // The root's children form a tree of siblings. Some writers leave the tree's links zero or
  // broken; their streams are then found by a look at every entry, as in directory order.
  if (!WalkRootChildren()) {
    root_children_.clear();
    for (std::size_t id = 1; id < entries_.size(); ++id) {
      if (entries_[id].type != 0) root_children_.push_back(id);
    }
  }
}

// False when the tree loops or points past the directory.
bool CompoundFile::WalkRootChildren() {
  std::vector<bool> seen(entries_.size(), false);
  std::vector<std::uint32_t> pending = {entries_[0].child};
  seen[0] = true;
  while (!pending.empty()) {
    const std::uint32_t id = pending.back();
    pending.pop_back();
    if (id == kNoStream) continue;
    if (id >= entries_.size() || seen[id]) return false;
    seen[id] = true;
    if (entries_[id].type != 0) root_children_.push_back(id);
    pending.push_back(entries_[id].left);
    pending.push_back(entries_[id].right);
  }
  return true;
}

const CompoundFile::Entry* CompoundFile::Find(std::string_view name) const {
  for (std::size_t id : root_children_) {
    const Entry& entry = entries_[id];
    if (entry.name.size() == name.size() &&
        strncasecmp(entry.name.c_str(), std::string(name).c_str(), name.size()) == 0) {
      return &entry;
    }
  }
  return nullptr;
}

bool CompoundFile::Has(std::string_view name) const { return Find(name) != nullptr; }

std::optional<std::string> CompoundFile::ReadStream(std::string_view name) const {
  const Entry* entry = Find(name);
  if (entry == nullptr || entry->type != kStream) return std::nullopt;
  if (entry->size < mini_cutoff_) return MiniStream(entry->start, entry->size);
  return Sectors(entry->start, entry->size, false);
}

std::string CompoundFile::MiniStream(std::uint32_t start, std::uint64_t size) const {
  if (size == 0) return {};
  const std::size_t mini_size = std::size_t{1} << mini_shift_;
  const Entry& root = entries_[0];
  const std::string container = Sectors(root.start, root.size, false);
  const std::string mini_fat = Sectors(mini_fat_start_, 0, true);
  std::string data;
  std::uint64_t hops = 0;
  for (std::uint32_t id = start; data.size() < size; ++hops) {
    const std::uint64_t offset = std::uint64_t{id} * mini_size;
    if (offset + mini_size > container.size() || 4 * std::uint64_t{id} + 4 > mini_fat.size() ||
        hops > container.size() / mini_size) {
      Damaged();
    }
    data.append(container, offset, mini_size);
    id = U32(mini_fat.data() + 4 * std::uint64_t{id});
  }
  data.resize(size);
  return data;
}

}  // namespace tavrio::automation::readers
