#include "automation/readers/biff_text.h"

namespace tavrio::automation::readers {

BiffText::BiffText(BiffVersion version, std::uint16_t code_page)
    : version_(version), decoder_(code_page) {}

void BiffText::SetCodePage(std::uint16_t code_page) {
  if (code_page != decoder_.code_page()) decoder_ = CodePageDecoder(code_page);
}

std::string BiffText::Read(std::string_view data, std::size_t& at, int count_bytes) const {
  const std::size_t count = count_bytes == 1 ? BiffU8(data, at) : BiffU16(data, at);
  at += static_cast<std::size_t>(count_bytes);
  return Chars(data, at, count);
}

std::string BiffText::Chars(std::string_view data, std::size_t& at, std::size_t count) const {
  if (version_ != BiffVersion::kBiff8) {
    if (data.size() < at || data.size() - at < count) BiffDamaged();
    std::string text = Bytes(data.substr(at, count));
    at += count;
    return text;
  }
  const std::uint8_t flags = BiffU8(data, at++);
  std::size_t runs = 0, extra = 0;
  if (flags & 0x08) runs = BiffU16(data, at), at += 2;
  if (flags & 0x04) extra = BiffU32(data, at), at += 4;
  const bool wide = (flags & 0x01) != 0;
  const std::size_t bytes = count * (wide ? 2 : 1);
  if (data.size() < at || data.size() - at < bytes) BiffDamaged();
  std::u16string units;
  units.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    units.push_back(wide ? static_cast<char16_t>(BiffU16(data, at + 2 * i))
                         : static_cast<char16_t>(static_cast<unsigned char>(data[at + i])));
  }
  at += bytes + 4 * runs + extra;
  return Utf16ToUtf8(units);
}

}  // namespace tavrio::automation::readers
