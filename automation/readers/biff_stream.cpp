#include "automation/readers/biff_stream.h"

#include <cstring>

#include "automation/base/utf8.h"
#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {

void BiffDamaged() { throw ReadFault("文件已损坏：工作簿数据无效"); }

std::uint8_t BiffU8(std::string_view data, std::size_t at) {
  if (at >= data.size()) BiffDamaged();
  return static_cast<std::uint8_t>(data[at]);
}

std::uint16_t BiffU16(std::string_view data, std::size_t at) {
  if (at > data.size() || data.size() - at < 2) BiffDamaged();
  auto b = reinterpret_cast<const unsigned char*>(data.data() + at);
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t BiffU32(std::string_view data, std::size_t at) {
  return BiffU16(data, at) | (static_cast<std::uint32_t>(BiffU16(data, at + 2)) << 16);
}

double BiffDouble(std::string_view data, std::size_t at) {
  const std::uint64_t bits =
      BiffU32(data, at) | (static_cast<std::uint64_t>(BiffU32(data, at + 4)) << 32);
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

double BiffRk(std::uint32_t rk) {
  double value = 0;
  if (rk & 2) {
    value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFC) << 32;
    std::memcpy(&value, &bits, sizeof value);
  }
  return (rk & 1) ? value / 100 : value;
}

BiffCursor::BiffCursor(std::string_view stream, std::size_t at) : stream_(stream), at_(at) {
  if (at > stream.size()) BiffDamaged();
}

bool BiffCursor::Next(BiffRecord& record) {
  if (stream_.size() - at_ < 4) return false;
  const std::size_t length = BiffU16(stream_, at_ + 2);
  if (stream_.size() - at_ - 4 < length) BiffDamaged();
  record = {BiffU16(stream_, at_), stream_.substr(at_ + 4, length), at_};
  at_ += 4 + length;
  return true;
}

std::uint16_t BiffCursor::PeekType() const {
  return stream_.size() - at_ >= 4 ? BiffU16(stream_, at_) : 0;
}

BiffBof ReadBof(const BiffRecord& record) {
  switch (record.type) {
    case biff::kBof2:
      return {BiffVersion::kBiff2, BiffU16(record.data, 2)};
    case biff::kBof3:
      return {BiffVersion::kBiff3, BiffU16(record.data, 2)};
    case biff::kBof4:
      return {BiffVersion::kBiff4, BiffU16(record.data, 2)};
    case biff::kBof:
      // BIFF8 says 0x0600; BIFF5 and BIFF7 say 0x0500, and some writers of BIFF5 leave it 0.
      return {BiffU16(record.data, 0) == 0x0600 ? BiffVersion::kBiff8 : BiffVersion::kBiff5,
              BiffU16(record.data, 2)};
    default:
      BiffDamaged();
  }
}

BiffPieces::BiffPieces(std::string_view first, BiffCursor& cursor) : pieces_{first} {
  BiffRecord more;
  while (cursor.PeekType() == biff::kContinue && cursor.Next(more)) pieces_.push_back(more.data);
}

void BiffPieces::Refill() {
  while (at_ == pieces_[piece_].size()) {
    if (piece_ + 1 == pieces_.size()) BiffDamaged();
    ++piece_;
    at_ = 0;
  }
}

std::uint8_t BiffPieces::U8() {
  Refill();
  return static_cast<std::uint8_t>(pieces_[piece_][at_++]);
}

std::uint16_t BiffPieces::U16() {
  const std::uint16_t low = U8();
  return static_cast<std::uint16_t>(low | (U8() << 8));
}

std::uint32_t BiffPieces::U32() {
  const std::uint32_t low = U16();
  return low | (static_cast<std::uint32_t>(U16()) << 16);
}

void BiffPieces::Skip(std::size_t count) {
  while (count > 0) {
    Refill();
    const std::size_t take = std::min(count, pieces_[piece_].size() - at_);
    at_ += take;
    count -= take;
  }
}

void BiffPieces::Chars(std::size_t count, bool wide, std::u16string& out) {
  while (count > 0) {
    if (at_ == pieces_[piece_].size()) {
      if (piece_ + 1 == pieces_.size()) BiffDamaged();
      ++piece_;
      at_ = 0;
      wide = (U8() & 1) != 0;
    }
    const std::string_view piece = pieces_[piece_];
    const std::size_t fit = (piece.size() - at_) / (wide ? 2 : 1);
    // A character split between two records is damage: the format never splits one.
    if (fit == 0) BiffDamaged();
    const std::size_t take = std::min(count, fit);
    const auto* bytes = reinterpret_cast<const unsigned char*>(piece.data() + at_);
    for (std::size_t i = 0; i < take; ++i) {
      out.push_back(wide ? static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8))
                         : static_cast<char16_t>(bytes[i]));
    }
    at_ += take * (wide ? 2 : 1);
    count -= take;
  }
}

bool BiffPieces::AtEnd() const {
  if (at_ < pieces_[piece_].size()) return false;
  for (std::size_t i = piece_ + 1; i < pieces_.size(); ++i) {
    if (!pieces_[i].empty()) return false;
  }
  return true;
}

std::string Utf16ToUtf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::uint32_t code = units[i];
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
      continue;
    }
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00);
    }
    AppendUtf8(code, out);
  }
  return out;
}

}  // namespace tavrio::automation::readers
