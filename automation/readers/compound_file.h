#pragma once

// The compound file (OLE2) container of old Office documents: its header, sector allocation
// table and directory, read once, and any stream of the root storage read whole. Legacy .xls
// workbooks keep their records in a "Workbook" (BIFF8) or "Book" (BIFF5) stream;
// password-protected .xlsx files are compound files holding an "EncryptedPackage" stream.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrio::automation::readers {

// True when `header` starts with the compound file signature.
bool IsCompoundFileSignature(std::string_view header);

class CompoundFile {
 public:
  // Reads the structure of the compound file open at `fd` (which must stay open while this
  // lives). Throws ReadFault when it is damaged, or when a directory entry's name claims more
  // than the 64 bytes an entry holds.
  explicit CompoundFile(int fd);

  // Whether the root storage holds an entry (stream or storage) of that name. Names compare
  // case-insensitively in ASCII, as the format defines ("BOOK" is "Book").
  bool Has(std::string_view name) const;

  // The bytes of the root storage's stream `name`, nullopt when there is none. Streams in
  // nested storages (an embedded object's own "Workbook") are never taken for it. A stream
  // shorter than the file's cutoff is read from the mini stream. Throws ReadFault when a
  // chain is broken, loops or ends before the stream's size.
  std::optional<std::string> ReadStream(std::string_view name) const;

 private:
  struct Entry {
    std::string name;  // ASCII; other characters as '?'
    std::uint8_t type = 0;
    std::uint32_t left = 0, right = 0, child = 0;
    std::uint32_t start = 0;
    std::uint64_t size = 0;
  };

  bool IsSector(std::uint32_t id) const;
  void ReadSectors(std::uint32_t id, std::size_t count, char* into) const;
  std::string Sectors(std::uint32_t start, std::uint64_t size, bool whole_chain) const;
  std::string MiniStream(std::uint32_t start, std::uint64_t size) const;
  void ReadFat();
  void ReadDirectory();
  bool WalkRootChildren();
  const Entry* Find(std::string_view name) const;

  int fd_;
  std::uint64_t file_size_ = 0;
  unsigned sector_shift_ = 9;
  unsigned mini_shift_ = 6;
  std::uint32_t mini_cutoff_ = 4096;
  std::uint32_t directory_start_ = 0;
  std::uint32_t mini_fat_start_ = 0;
  std::vector<std::uint32_t> fat_;
  std::vector<Entry> entries_;
  std::vector<std::size_t> root_children_;  // indexes into entries_
  std::vector<std::uint32_t> difat_head_;   // the header's 109 FAT sector slots
  std::uint32_t difat_start_ = 0;
};

}  // namespace tavrio::automation::readers
