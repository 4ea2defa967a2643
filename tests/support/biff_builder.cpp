#include "tests/support/biff_builder.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

namespace tavrio::testing {
namespace {

constexpr std::size_t kSector = 512;
constexpr std::size_t kMiniSector = 64;
constexpr std::size_t kMiniCutoff = 4096;
constexpr std::uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSector = 0xFFFFFFFD,
                        kDifatSector = 0xFFFFFFFC;

std::u32string CodePoints(std::string_view utf8) {
  std::u32string out;
  for (std::size_t i = 0; i < utf8.size();) {
    auto byte = static_cast<unsigned char>(utf8[i]);
    int length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
    char32_t code = length == 1 ? byte : byte & (0x3F >> (length - 1));
    for (int k = 1; k < length; ++k) code = (code << 6) | (utf8[i + k] & 0x3F);
    out.push_back(code);
    i += length;
  }
  return out;
}

void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
  bytes.replace(at, 4, U32(value));
}

}  // namespace

std::string U8(std::uint8_t value) { return std::string(1, static_cast<char>(value)); }
std::string U16(std::uint16_t value) {
  return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}
std::string U32(std::uint32_t value) {
  return U16(static_cast<std::uint16_t>(value)) + U16(static_cast<std::uint16_t>(value >> 16));
}
std::string F64(double value) {
  std::string bytes(8, '\0');
  std::memcpy(bytes.data(), &value, 8);
  return bytes;
}

std::string BiffRecord(std::uint16_t type, std::string_view payload) {
  if (payload.size() > 8224) throw std::length_error("record too long");
  return U16(type) + U16(static_cast<std::uint16_t>(payload.size())) + std::string(payload);
}

std::string Utf16Bytes(std::string_view utf8) {
  std::string bytes;
  for (char32_t code : CodePoints(utf8)) {
    if (code >= 0x10000) {
      code -= 0x10000;
      bytes += U16(static_cast<std::uint16_t>(0xD800 + (code >> 10)));
      bytes += U16(static_cast<std::uint16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      bytes += U16(static_cast<std::uint16_t>(code));
    }
  }
  return bytes;
}

std::string Biff8String(std::string_view utf8, int count_bytes, bool wide) {
  const std::u32string codes = CodePoints(utf8);
  wide = wide || std::any_of(codes.begin(), codes.end(), [](char32_t c) { return c > 0xFF; });
  const std::string units = Utf16Bytes(utf8);
  const std::size_t count = units.size() / 2;
  std::string out = count_bytes == 1 ? U8(static_cast<std::uint8_t>(count))
                                     : U16(static_cast<std::uint16_t>(count));
  out += U8(wide ? 1 : 0);
  if (wide) return out + units;
  for (char32_t code : codes) out.push_back(static_cast<char>(code));
  return out;
}

std::string BiffBof(int generation, std::uint16_t type) {
  switch (generation) {
    case 2:
      return BiffRecord(0x0009, U16(0x0002) + U16(type));
    case 3:
      return BiffRecord(0x0209, U16(0x0000) + U16(type) + U16(0));
    case 4:
      return BiffRecord(0x0409, U16(0x0000) + U16(type) + U16(0));
    case 5:
      return BiffRecord(0x0809, U16(0x0500) + U16(type) + U16(0) + U16(0));
    default:
      return BiffRecord(0x0809,
                        U16(0x0600) + U16(type) + U16(0x0DBB) + U16(0x07CC) + U32(0) + U32(0x06));
  }
}

std::string BiffEof() { return BiffRecord(0x000A, ""); }

std::string BiffWorkbookStream(int generation, const std::string& globals,
                               const std::vector<BiffSheetBytes>& sheets) {
  auto bound_sheet = [generation](const BiffSheetBytes& sheet, std::uint32_t offset) {
    std::string name = generation == 8
                           ? Biff8String(sheet.name, 1)
                           : U8(static_cast<std::uint8_t>(sheet.name.size())) + sheet.name;
    return BiffRecord(0x0085, U32(offset) + U8(sheet.visibility) + U8(sheet.type) + name);
  };
  std::string head = BiffBof(generation, 0x0005) + globals;
  std::size_t offset = head.size() + BiffEof().size();
  for (const BiffSheetBytes& sheet : sheets) offset += bound_sheet(sheet, 0).size();
  std::string bodies;
  for (const BiffSheetBytes& sheet : sheets) {
    head += bound_sheet(sheet, static_cast<std::uint32_t>(offset + bodies.size()));
    // Writers put DIMENSIONS first; LibreOffice skips whatever record comes there.
    const std::string dimensions =
        generation == 8 ? BiffRecord(0x0200, U32(0) + U32(0) + U16(0) + U16(0) + U16(0))
                        : BiffRecord(0x0200, U16(0) + U16(0) + U16(0) + U16(0) + U16(0));
    bodies += BiffBof(generation, sheet.type == 2 ? 0x0020 : 0x0010) +
              (sheet.type == 0 ? dimensions : std::string()) + sheet.records + BiffEof();
  }
  return head + BiffEof() + bodies;
}

std::string CompoundFileBytes(const std::vector<std::pair<std::string, std::string>>& streams) {
  // Sectors in order: big streams, the mini stream, the mini FAT, the directory, the FAT.
  std::vector<std::uint32_t> fat;
  std::string body;
  auto chain = [&](const std::string& data) -> std::uint32_t {
    if (data.empty()) return kEnd;
    const std::uint32_t first = static_cast<std::uint32_t>(fat.size());
    const std::size_t count = (data.size() + kSector - 1) / kSector;
    for (std::size_t i = 0; i < count; ++i) {
      fat.push_back(i + 1 == count ? kEnd : static_cast<std::uint32_t>(fat.size() + 1));
    }
    std::string padded = data;
    padded.resize(count * kSector, '\0');
    body += padded;
    return first;
  };
  std::vector<std::pair<std::string, std::string>> sorted = streams;
  // Siblings of a storage are ordered by name length, then by upper-cased name.
  auto upper = [](std::string name) {
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
  };
  std::sort(sorted.begin(), sorted.end(), [&](const auto& a, const auto& b) {
    if (a.first.size() != b.first.size()) return a.first.size() < b.first.size();
    return upper(a.first) < upper(b.first);
  });
  std::vector<std::uint32_t> starts;
  std::string mini;
  std::vector<std::uint32_t> mini_fat;
  for (const auto& [name, data] : sorted) {
    if (data.size() >= kMiniCutoff) {
      starts.push_back(chain(data));
      continue;
    }
    if (data.empty()) {
      starts.push_back(kEnd);
      continue;
    }
    const std::uint32_t first = static_cast<std::uint32_t>(mini_fat.size());
    const std::size_t count = (data.size() + kMiniSector - 1) / kMiniSector;
    for (std::size_t i = 0; i < count; ++i) {
      mini_fat.push_back(i + 1 == count ? kEnd : static_cast<std::uint32_t>(mini_fat.size() + 1));
    }
    std::string padded = data;
    padded.resize(count * kMiniSector, '\0');
    mini += padded;
    starts.push_back(first);
  }
  const std::uint32_t mini_start = chain(mini);
  std::string mini_fat_bytes;
  for (std::uint32_t next : mini_fat) mini_fat_bytes += U32(next);
  const std::uint32_t mini_fat_start = chain(mini_fat_bytes);
  std::string directory;
  auto entry = [&directory](const std::string& name, std::uint8_t type, std::uint32_t right,
                            std::uint32_t child, std::uint32_t start, std::uint32_t size) {
    std::string raw(128, '\0');
    const std::string units = Utf16Bytes(name);
    raw.replace(0, units.size(), units);
    raw.replace(0x40, 2, U16(static_cast<std::uint16_t>(units.size() + 2)));
    raw[0x42] = static_cast<char>(type);
    raw[0x43] = 1;  // black
    Put32(raw, 0x44, kFree);
    Put32(raw, 0x48, right);
    Put32(raw, 0x4C, child);
    Put32(raw, 0x74, start);
    Put32(raw, 0x78, size);
    directory += raw;
  };
  entry("Root Entry", 5, kFree, sorted.empty() ? kFree : 1, mini_start,
        static_cast<std::uint32_t>(mini.size()));
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    const std::uint32_t right = i + 1 < sorted.size() ? static_cast<std::uint32_t>(i + 2) : kFree;
    entry(sorted[i].first, 2, right, kFree, starts[i],
          static_cast<std::uint32_t>(sorted[i].second.size()));
  }
  const std::uint32_t directory_start = chain(directory);
  // The FAT covers every sector, its own and the DIFAT's included; past the header's 109 slots
  // the FAT's sectors are listed in DIFAT sectors of 127 entries and a link to the next.
  constexpr std::size_t kHeaderSlots = 109, kPerSector = kSector / 4;
  auto difat_for = [](std::size_t fat_sectors) {
    return fat_sectors <= kHeaderSlots ? 0 : (fat_sectors - kHeaderSlots + kPerSector - 2) /
                                                 (kPerSector - 1);
  };
  std::size_t fat_sectors = 1;
  while (fat.size() + fat_sectors + difat_for(fat_sectors) > fat_sectors * kPerSector) {
    ++fat_sectors;
  }
  const std::size_t difat_sectors = difat_for(fat_sectors);
  const std::uint32_t fat_start = static_cast<std::uint32_t>(fat.size());
  const std::uint32_t difat_start = static_cast<std::uint32_t>(fat_start + fat_sectors);
  for (std::size_t i = 0; i < fat_sectors; ++i) fat.push_back(kFatSector);
  for (std::size_t i = 0; i < difat_sectors; ++i) fat.push_back(kDifatSector);
  fat.resize(fat_sectors * kPerSector, kFree);
  for (std::uint32_t next : fat) body += U32(next);
  for (std::size_t d = 0; d < difat_sectors; ++d) {
    for (std::size_t i = 0; i + 1 < kPerSector; ++i) {
      const std::size_t listed = kHeaderSlots + d * (kPerSector - 1) + i;
      body += U32(listed < fat_sectors ? fat_start + static_cast<std::uint32_t>(listed) : kFree);
    }
    body += U32(d + 1 < difat_sectors ? difat_start + static_cast<std::uint32_t>(d + 1) : kEnd);
  }

  std::string header(kSector, '\0');
  header.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
  header.replace(0x18, 2, U16(0x3E));
  header.replace(0x1A, 2, U16(3));
  header.replace(0x1C, 2, U16(0xFFFE));
  header.replace(0x1E, 2, U16(9));
  header.replace(0x20, 2, U16(6));
  Put32(header, 0x2C, static_cast<std::uint32_t>(fat_sectors));
  Put32(header, 0x30, directory_start);
  Put32(header, 0x38, kMiniCutoff);
  Put32(header, 0x3C, mini_fat.empty() ? kEnd : mini_fat_start);
  Put32(header, 0x40, static_cast<std::uint32_t>((mini_fat_bytes.size() + kSector - 1) / kSector));
  Put32(header, 0x44, difat_sectors == 0 ? kEnd : difat_start);
  Put32(header, 0x48, static_cast<std::uint32_t>(difat_sectors));
  for (std::size_t i = 0; i < kHeaderSlots; ++i) {
    Put32(header, 0x4C + 4 * i,
          i < fat_sectors ? fat_start + static_cast<std::uint32_t>(i) : kFree);
  }
  return header + body;
}

namespace biff {
namespace {

std::string Head(std::uint16_t row, std::uint16_t col, std::uint16_t xf) {
  return U16(row) + U16(col) + U16(xf);
}
std::string Head2(std::uint16_t row, std::uint16_t col, std::uint8_t format) {
  return U16(row) + U16(col) + U8(0) + U8(format) + U8(0);
}
std::string Bytes8(std::string_view bytes) {
  return U8(static_cast<std::uint8_t>(bytes.size())) + std::string(bytes);
}
std::string Bytes16(std::string_view bytes) {
  return U16(static_cast<std::uint16_t>(bytes.size())) + std::string(bytes);
}
std::string SpecialResult(std::uint8_t kind, std::uint8_t value) {
  return U8(kind) + U8(0) + U8(value) + U8(0) + U8(0) + U8(0) + U16(0xFFFF);
}

}  // namespace

std::string CodePage(std::uint16_t code_page) { return BiffRecord(0x0042, U16(code_page)); }
std::string Format2(std::string_view code) { return BiffRecord(0x001E, Bytes8(code)); }
std::string Format4(std::string_view code) { return BiffRecord(0x041E, U16(0) + Bytes8(code)); }
std::string Format5(std::uint16_t id, std::string_view code) {
  return BiffRecord(0x041E, U16(id) + Bytes8(code));
}
std::string Format8(std::uint16_t id, std::string_view utf8) {
  return BiffRecord(0x041E, U16(id) + Biff8String(utf8, 2));
}
std::string Xf3(std::uint8_t format) {
  return BiffRecord(0x0243, U8(0) + U8(format) + U8(0) + U8(0) + U16(0) + U16(0) + U32(0));
}
std::string Xf4(std::uint8_t format) {
  return BiffRecord(0x0443, U8(0) + U8(format) + U16(0) + U8(0x20) + U8(0) + U16(0) + U32(0));
}
std::string Xf5(std::uint16_t format) {
  return BiffRecord(0x00E0, U16(0) + U16(format) + U16(0) + U8(0x20) + U8(0) + U32(0) + U32(0));
}
std::string Xf8(std::uint16_t font, std::uint16_t format, std::uint8_t alignment,
                std::uint32_t lines, std::uint32_t more_lines, std::uint16_t fill_colors) {
  return BiffRecord(0x00E0, U16(font) + U16(format) + U16(0) + U8(alignment) + U8(0) + U8(0) +
                                U8(0) + U32(lines) + U32(more_lines) + U16(fill_colors));
}
std::string Font8(std::string_view name, std::uint16_t twips, std::uint16_t weight,
                  std::uint16_t color, std::uint16_t options, std::uint8_t underline) {
  return BiffRecord(0x0031, U16(twips) + U16(options) + U16(color) + U16(weight) + U16(0) +
                                U8(underline) + U8(0) + U8(0) + U8(0) + Biff8String(name, 1));
}

std::string Number(std::uint16_t row, std::uint16_t col, std::uint16_t xf, double value) {
  return BiffRecord(0x0203, Head(row, col, xf) + F64(value));
}
std::string Rk(std::uint16_t row, std::uint16_t col, std::uint16_t xf, std::uint32_t rk) {
  return BiffRecord(0x027E, Head(row, col, xf) + U32(rk));
}
std::string MulRk(std::uint16_t row, std::uint16_t first_col,
                  const std::vector<std::pair<std::uint16_t, std::uint32_t>>& xf_rks) {
  std::string payload = U16(row) + U16(first_col);
  for (const auto& [xf, rk] : xf_rks) payload += U16(xf) + U32(rk);
  return BiffRecord(0x00BD,
                    payload + U16(static_cast<std::uint16_t>(first_col + xf_rks.size() - 1)));
}
std::string Blank(std::uint16_t row, std::uint16_t col, std::uint16_t xf) {
  return BiffRecord(0x0201, Head(row, col, xf));
}
std::string Label5(std::uint16_t row, std::uint16_t col, std::uint16_t xf, std::string_view bytes) {
  return BiffRecord(0x0204, Head(row, col, xf) + Bytes16(bytes));
}
std::string Label8(std::uint16_t row, std::uint16_t col, std::uint16_t xf, std::string_view utf8) {
  return BiffRecord(0x0204, Head(row, col, xf) + Biff8String(utf8, 2));
}
std::string LabelSst(std::uint16_t row, std::uint16_t col, std::uint16_t xf, std::uint32_t index) {
  return BiffRecord(0x00FD, Head(row, col, xf) + U32(index));
}
std::string BoolErr(std::uint16_t row, std::uint16_t col, std::uint16_t xf, std::uint8_t value,
                    bool error) {
  return BiffRecord(0x0205, Head(row, col, xf) + U8(value) + U8(error ? 1 : 0));
}
std::string NumberResult(double value) { return F64(value); }
std::string StringResult() { return SpecialResult(0, 0); }
std::string BooleanResult(bool value) { return SpecialResult(1, value ? 1 : 0); }
std::string ErrorResult(std::uint8_t code) { return SpecialResult(2, code); }
std::string EmptyResult() { return SpecialResult(3, 0); }
std::string Formula(std::uint16_t row, std::uint16_t col, std::uint16_t xf,
                    const std::string& result, int generation, const std::string& tokens) {
  const std::string count = U16(static_cast<std::uint16_t>(tokens.size()));
  if (generation == 3 || generation == 4) {
    return BiffRecord(generation == 3 ? 0x0206 : 0x0406,
                      Head(row, col, xf) + result + U16(0) + count + tokens);
  }
  return BiffRecord(0x0006, Head(row, col, xf) + result + U16(0) + U32(0) + count + tokens);
}
std::string PtgExp(std::uint16_t row, std::uint16_t col) { return U8(0x01) + U16(row) + U16(col); }
std::string String5(std::string_view bytes) { return BiffRecord(0x0207, Bytes16(bytes)); }
std::string String8(std::string_view utf8) { return BiffRecord(0x0207, Biff8String(utf8, 2)); }
std::string Utf16(std::string_view utf8) { return Utf16Bytes(utf8); }

std::string Number2(std::uint16_t row, std::uint16_t col, std::uint8_t format, double value) {
  return BiffRecord(0x0003, Head2(row, col, format) + F64(value));
}
std::string Integer2(std::uint16_t row, std::uint16_t col, std::uint8_t format,
                     std::uint16_t value) {
  return BiffRecord(0x0002, Head2(row, col, format) + U16(value));
}
std::string Label2(std::uint16_t row, std::uint16_t col, std::string_view bytes) {
  return BiffRecord(0x0004, Head2(row, col, 0) + Bytes8(bytes));
}
std::string BoolErr2(std::uint16_t row, std::uint16_t col, std::uint8_t value, bool error) {
  return BiffRecord(0x0005, Head2(row, col, 0) + U8(value) + U8(error ? 1 : 0));
}
std::string Formula2(std::uint16_t row, std::uint16_t col, const std::string& result) {
  const std::string tokens("\x1E\x09\x00", 3);
  return BiffRecord(0x0006, Head2(row, col, 0) + result + U8(0) + U8(3) + tokens);
}

}  // namespace biff
}  // namespace tavrio::testing
