#pragma once

// A read-only view of a zip package that refuses what no spreadsheet application writes but
// zip bombs do: too many entries, duplicate names, entries that inflate past a size cap or far
// beyond their compressed size. Sizes are counted while inflating; the headers' claims are only
// checked against what the data really holds.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "automation/readers/chunk_pipeline.h"

namespace tavrio::automation::readers {

inline constexpr std::size_t kMaxZipEntries = 1000;
// Parts are held whole in memory (shared strings, styles) or streamed (sheets). 2 GiB is far
// beyond the biggest part a spreadsheet application writes within its sheet limits in practice
// and keeps any part held whole, with its parse tree, within the memory of an ordinary desktop.
inline constexpr std::uint64_t kMaxEntryInflatedSize = std::uint64_t{2} << 30;
// Below this many inflated bytes the compression ratio is not judged: small repetitive parts
// legitimately compress very well.
inline constexpr std::uint64_t kCompressionRatioGrace = 100 * 1024;
// An entry read whole whose compressed bytes are fewer than 1/kMaxCompressionRatio of its
// inflated bytes is refused as a zip bomb. A streamed entry is not judged so: it costs memory
// of one chunk whatever its ratio, the size limit bounds its time, and a sheet of long
// repeating texts, which applications and our own writer write, deflates past 100:1.
inline constexpr std::uint64_t kMaxCompressionRatio = 100;

class ZipArchive {
 public:
  // Opens the package and reads its directory. Throws ReadFault when it is not a zip file,
  // is damaged, or breaks a limit on its entries.
  explicit ZipArchive(const std::string& path);
  ZipArchive(ZipArchive&&) noexcept;
  ZipArchive& operator=(ZipArchive&&) noexcept;
  ~ZipArchive();

  // Part names compare without regard to ASCII case, as package part names do.
  bool Contains(std::string_view name) const;

  // Inflates entry `name` and hands it over in chunks of bounded size, each valid only during
  // the call. Throws ReadFault when the entry is missing, damaged or breaks a size limit.
  void Inflate(std::string_view name, const std::function<void(std::string_view)>& consumer);
  // As Inflate, with chunks the consumer may change and write in front of (see ChunkConsumer).
  // A large entry is inflated on a second thread while the consumer works on the chunk before;
  // the chunks, the errors and their order are the same either way.
  void InflateInPlace(std::string_view name, const ChunkConsumer& consumer);

  // The whole inflated entry; refused as a zip bomb past kMaxCompressionRatio.
  std::string ReadWhole(std::string_view name);

 private:
  struct Entry;
  enum class Ratio { kJudged, kUnjudged };
  void InflateInPlace(std::string_view name, Ratio ratio, const ChunkConsumer& consumer);
  struct Closer {
    void operator()(void* handle) const;
  };

  void ReadDirectory();
  const Entry& Find(std::string_view name) const;

  std::unique_ptr<void, Closer> handle_;
  std::vector<Entry> entries_;
  std::unordered_map<std::string, std::size_t> index_;  // lower-cased name -> entry
};

}  // namespace tavrio::automation::readers
