#include "automation/readers/zip_archive.h"

#include <minizip/unzip.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>

#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::size_t kInputChunk = 64 * 1024;
constexpr std::size_t kOutputChunk = 256 * 1024;

std::string Lowered(std::string_view name) {
  std::string lowered(name);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lowered;
}

[[noreturn]] void Damaged(std::string_view part, std::string_view why) {
  throw ReadFault("文件已损坏：" + PartName(part) + std::string(why));
}

// Owns a raw inflate stream; the entry is read raw so that the compressed bytes really consumed
// are known, whatever the headers claim.
class Inflater {
 public:
  Inflater() {
    if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) throw ReadFault("内存不足，无法解压");
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  ~Inflater() { inflateEnd(&stream_); }
  z_stream& stream() { return stream_; }

 private:
  z_stream stream_{};
};

// Opens the current entry raw and closes it again on every path out.
class OpenEntry {
 public:
  OpenEntry(unzFile file, std::string_view part) : file_(file) {
    if (unzOpenCurrentFile2(file_, &method_, &level_, 1) != UNZ_OK) Damaged(part, "无法读取");
  }
  OpenEntry(const OpenEntry&) = delete;
  OpenEntry& operator=(const OpenEntry&) = delete;
  ~OpenEntry() { unzCloseCurrentFile(file_); }
  int method() const { return method_; }

 private:
  unzFile file_;
  int method_ = 0;
  int level_ = 0;
};

// Counts what an entry really inflates to and refuses it as soon as it breaks a limit.
class InflateGuard {
 public:
  explicit InflateGuard(std::string_view part) : part_(part) {}

  void Check(std::uint64_t compressed, std::uint64_t inflated) const {
    if (inflated > kMaxEntryInflatedSize) {
      throw ReadFault("超出限制：" + PartName(part_) + "解压后超过 2 GiB 的大小上限");
    }
    if (inflated > kCompressionRatioGrace && compressed * kMaxCompressionRatio < inflated) {
      throw ReadFault("超出限制：" + PartName(part_) +
                      "的压缩比异常（压缩数据不足解压后大小的 1%），疑似压缩炸弹");
    }
  }

 private:
  std::string_view part_;
};

}  // namespace

struct ZipArchive::Entry {
  std::string name;
  unz64_file_pos position;
  std::uint64_t inflated_size;
  std::uint32_t crc;
  bool encrypted;
};

void ZipArchive::Closer::operator()(void* handle) const { unzClose(handle); }

ZipArchive::ZipArchive(const std::string& path) : handle_(unzOpen64(path.c_str())) {
  if (!handle_) throw ReadFault("文件已损坏：无法读取压缩包目录");
  ReadDirectory();
}

ZipArchive::ZipArchive(ZipArchive&&) noexcept = default;
ZipArchive& ZipArchive::operator=(ZipArchive&&) noexcept = default;
ZipArchive::~ZipArchive() = default;

void ZipArchive::ReadDirectory() {
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(handle_.get(), &global) != UNZ_OK) {
    throw ReadFault("文件已损坏：无法读取压缩包目录");
  }
  if (global.number_entry > kMaxZipEntries) {
    throw ReadFault("超出限制：压缩包含有 " + std::to_string(global.number_entry) +
                    " 个条目，最多允许 1000 个");
  }
  for (int status = unzGoToFirstFile(handle_.get()); status != UNZ_END_OF_LIST_OF_FILE;
       status = unzGoToNextFile(handle_.get())) {
    if (status != UNZ_OK) throw ReadFault("文件已损坏：压缩包目录不完整");
    if (entries_.size() == kMaxZipEntries) {
      throw ReadFault("超出限制：压缩包的条目超过 1000 个");
    }
    char name[1024];
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(handle_.get(), &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
        UNZ_OK) {
      throw ReadFault("文件已损坏：压缩包目录不完整");
    }
    Entry entry{name,
                {},
                info.uncompressed_size,
                static_cast<std::uint32_t>(info.crc),
                (info.flag & 1) != 0};
    unzGetFilePos64(handle_.get(), &entry.position);
    if (!index_.emplace(Lowered(entry.name), entries_.size()).second) {
      throw ReadFault("超出限制：压缩包中有重名条目“" + entry.name + "”");
    }
    entries_.push_back(std::move(entry));
  }
}

bool ZipArchive::Contains(std::string_view name) const { return index_.count(Lowered(name)) != 0; }

const ZipArchive::Entry& ZipArchive::Find(std::string_view name) const {
  auto found = index_.find(Lowered(name));
  if (found == index_.end()) throw ReadFault("文件已损坏：缺少" + PartName(name));
  return entries_[found->second];
}

void ZipArchive::Inflate(std::string_view name,
                         const std::function<void(std::string_view)>& consumer) {
  const Entry& entry = Find(name);
  if (entry.encrypted) throw ReadFault("文件受密码保护：" + PartName(name) + "已加密");
  if (unzGoToFilePos64(handle_.get(), &entry.position) != UNZ_OK) Damaged(name, "无法定位");
  OpenEntry open(handle_.get(), name);
  if (open.method() != 0 && open.method() != Z_DEFLATED) {
    throw ReadFault(PartName(name) + "使用了不支持的压缩方法");
  }
  const bool stored = open.method() == 0;
  InflateGuard guard(name);
  Inflater inflater;
  z_stream& stream = inflater.stream();
  std::vector<unsigned char> input(kInputChunk);
  std::vector<unsigned char> output(kOutputChunk);
  std::uint64_t compressed = 0;
  std::uint64_t inflated = 0;
  std::uint32_t crc = crc32(0, nullptr, 0);
  bool ended = false;
  auto emit = [&](const unsigned char* data, std::size_t size) {
    inflated += size;
    guard.Check(compressed, inflated);
    crc = crc32(crc, data, static_cast<uInt>(size));
    consumer(std::string_view(reinterpret_cast<const char*>(data), size));
  };
  while (!ended) {
    int read = unzReadCurrentFile(handle_.get(), input.data(), kInputChunk);
    if (read < 0) Damaged(name, "的压缩数据无法读取");
    if (read == 0) break;
    if (stored) {
      compressed += read;
      emit(input.data(), read);
      continue;
    }
    stream.next_in = input.data();
    stream.avail_in = static_cast<uInt>(read);
    do {
      stream.next_out = output.data();
      stream.avail_out = static_cast<uInt>(output.size());
      const uInt input_before = stream.avail_in;
      int status = inflate(&stream, Z_NO_FLUSH);
      if (status == Z_STREAM_END) {
        ended = true;
      } else if (status != Z_OK && status != Z_BUF_ERROR) {
        Damaged(name, "的压缩数据无效");
      }
      compressed = stream.total_in;
      std::size_t produced = output.size() - stream.avail_out;
      if (produced > 0) emit(output.data(), produced);
      if (produced == 0 && stream.avail_in == input_before) {
        if (stream.avail_in > 0) Damaged(name, "的压缩数据无效");
        break;
      }
    } while (!ended && (stream.avail_in > 0 || stream.avail_out == 0));
  }
  if (!stored && !ended) Damaged(name, "的压缩数据被截断");
  if (inflated != entry.inflated_size || crc != entry.crc) Damaged(name, "的校验和不符");
}

std::string ZipArchive::ReadWhole(std::string_view name) {
  std::string whole;
  Inflate(name, [&whole](std::string_view chunk) { whole.append(chunk); });
  return whole;
}

}  // namespace tavrio::automation::readers
