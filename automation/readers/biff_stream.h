#pragma once

// The record layer of the binary workbook formats (BIFF2 to BIFF8): a stream of records, each
// a 16-bit type, a 16-bit length and that many bytes. Everything above it reads payloads
// through the helpers here, which refuse to read past a record's end.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrio::automation::readers {

// The generations that matter to a reader: how records are numbered, how strings are stored.
// Excel 5.0 and 95 (BIFF5 and BIFF7) store alike and both read as kBiff5.
enum class BiffVersion : std::uint8_t {
  kBiff2 = 2,
  kBiff3 = 3,
  kBiff4 = 4,
  kBiff5 = 5,
  kBiff8 = 8
};

namespace biff {
inline constexpr std::uint16_t kBof2 = 0x0009, kBof3 = 0x0209, kBof4 = 0x0409, kBof = 0x0809;
inline constexpr std::uint16_t kEof = 0x000A;
inline constexpr std::uint16_t kContinue = 0x003C;
inline constexpr std::uint16_t kFilePass = 0x002F;
inline constexpr std::uint16_t kBoundSheet = 0x0085;  // a sheet's name, kind and substream
// The substream types a BOF record names.
inline constexpr std::uint16_t kGlobals = 0x0005, kWorksheet = 0x0010, kChart = 0x0020,
                               kMacroSheet = 0x0040;
}  // namespace biff

inline bool IsBiffBof(std::uint16_t type) {
  return type == biff::kBof2 || type == biff::kBof3 || type == biff::kBof4 || type == biff::kBof;
}

// The fault every malformed record reports.
[[noreturn]] void BiffDamaged();

// Little-endian fields of a payload; reading past its end throws BiffDamaged's fault.
std::uint8_t BiffU8(std::string_view data, std::size_t at);
std::uint16_t BiffU16(std::string_view data, std::size_t at);
std::uint32_t BiffU32(std::string_view data, std::size_t at);
double BiffDouble(std::string_view data, std::size_t at);
// An RK value: a 30-bit integer or the high 30 bits of a double, perhaps divided by 100.
double BiffRk(std::uint32_t rk);

struct BiffRecord {
  std::uint16_t type = 0;
  std::string_view data;
  std::size_t offset = 0;  // of the record's header within the stream
};

// Walks records from an offset, never reading past the stream.
class BiffCursor {
 public:
  // Throws when `at` is past the stream.
  BiffCursor(std::string_view stream, std::size_t at);
  // False at the stream's end (or fewer than 4 bytes before it); throws when a record claims
  // more bytes than the stream holds.
  bool Next(BiffRecord& record);
  // The next record's type, 0 at the end.
  std::uint16_t PeekType() const;

 private:
  std::string_view stream_;
  std::size_t at_;
};

// The generation a BOF record states, and the kind of substream it opens. Throws when the
// record is no BOF.
struct BiffBof {
  BiffVersion version;
  std::uint16_t substream;
};
BiffBof ReadBof(const BiffRecord& record);

// A record's payload followed by the CONTINUE records that carry on from it, read as one
// sequence of bytes, except that character data resumed in a CONTINUE record starts with a new
// width flag (BIFF8). Used for the shared string table and long STRING records.
class BiffPieces {
 public:
  // Takes `first` and every CONTINUE record that follows it from `cursor`.
  BiffPieces(std::string_view first, BiffCursor& cursor);

  std::uint8_t U8();
  std::uint16_t U16();
  std::uint32_t U32();
  void Skip(std::size_t count);
  // `count` characters, 16-bit when `wide`, as UTF-16 units appended to `out`; a CONTINUE
  // record in between restates the width in its first byte.
  void Chars(std::size_t count, bool wide, std::u16string& out);
  bool AtEnd() const;

 private:
  // Moves to the next piece when the current one is used up; throws at the last one's end.
  void Refill();

  std::vector<std::string_view> pieces_;
  std::size_t piece_ = 0;
  std::size_t at_ = 0;
};

// UTF-16 units as UTF-8. An unpaired surrogate is carried on its own, as the other readers
// carry one, so that a save can say it could not keep it.
std::string Utf16ToUtf8(std::u16string_view units);

}  // namespace tavrio::automation::readers
