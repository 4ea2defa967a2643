#include "automation/readers/biff_formula_names.h"

#include <algorithm>
#include <optional>

#include "automation/readers/biff_stream.h"
#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::uint16_t kName = 0x0018;
constexpr std::uint16_t kExternSheet = 0x0017;
constexpr std::uint16_t kSupBook = 0x01AE;
constexpr std::uint16_t kExternName = 0x0023;
constexpr std::uint16_t kBuiltInName = 0x0020;
// A SUPBOOK of four bytes whose name length reads 0x0401 stands for this workbook, 0x3A01 for
// the add-ins.
constexpr std::uint16_t kSelfReference = 0x0401;
constexpr std::uint16_t kAddIns = 0x3A01;
// An XTI's first sheet: past this, a reference to the workbook itself (0xFFFE) or to a sheet
// that was deleted (0xFFFF).
constexpr std::uint16_t kLastSheetIndex = 0xFFFD;

template <typename T>
std::optional<T> At(const std::vector<T>& items, std::size_t index) {
  if (index >= items.size()) return std::nullopt;
  return items[index];
}

// A damaged name only costs the formulas that use it their text, not the workbook: empty.
std::string NameAt(const BiffText& text, std::string_view data, std::size_t at,
                   std::size_t count_at) {
  try {
    return text.Chars(data, at, BiffU8(data, count_at));
  } catch (const ReadFault&) {
    return {};
  }
}

}  // namespace

bool BiffFormulaNames::Take(const BiffRecord& record, const BiffText& text) {
  const std::string_view data = record.data;
  const bool biff8 = text.version() == BiffVersion::kBiff8;
  if (text.version() < BiffVersion::kBiff5) return false;
  switch (record.type) {
    case biff::kBoundSheet:
      sheets_.push_back(NameAt(text, data, 7, 6));
      return true;
    case kName: {
      // Built-in names are stored as a one-character code, not as the text a formula shows.
      const bool built_in = data.size() < 2 || (BiffU16(data, 0) & kBuiltInName) != 0;
      defined_.push_back(built_in ? std::string() : NameAt(text, data, 14, 3));
      return true;
    }
    case kSupBook:
      if (!biff8) return false;
      books_.push_back({data.size() == 4 && BiffU16(data, 2) == kSelfReference,
                        data.size() == 4 && BiffU16(data, 2) == kAddIns,
                        {}});
      return true;
    case kExternName: {
      if (!biff8 || books_.empty()) return false;
      books_.back().external_names.push_back(NameAt(text, data, 7, 6));
      return true;
    }
    case kExternSheet: {
      if (!biff8 || data.size() < 2) return false;
      // Entries past the record's end (they would go on in a CONTINUE record) stay unknown.
      const std::size_t count = std::min<std::size_t>(BiffU16(data, 0), (data.size() - 2) / 6);
      for (std::size_t i = 0; i < count; ++i) {
        xti_.push_back(
            {BiffU16(data, 2 + 6 * i), BiffU16(data, 4 + 6 * i), BiffU16(data, 6 + 6 * i)});
      }
      return true;
    }
    default:
      return false;
  }
}

void BiffFormulaNames::Fill(BiffFormulaContext& context, const BiffText& text) const {
  context.biff = static_cast<int>(text.version());
  if (text.version() < BiffVersion::kBiff5) return;
  context.defined_name = [this](std::uint32_t index) -> std::optional<std::string> {
    std::optional<std::string> name = index == 0 ? std::nullopt : At(defined_, index - 1);
    if (name && name->empty()) return std::nullopt;
    return name;
  };
  if (text.version() == BiffVersion::kBiff5) {
    context.sheet_name = [this](std::uint16_t index) { return At(sheets_, index); };
    context.decode_bytes = [&text](std::string_view bytes) -> std::optional<std::string> {
      return text.Bytes(bytes);
    };
    return;
  }
  context.externsheet_sheets = [this](std::uint16_t ixti) -> std::optional<BiffSheetSpan> {
    const std::optional<Xti> xti = At(xti_, ixti);
    if (!xti || xti->book >= books_.size() || !books_[xti->book].self) return std::nullopt;
    if (xti->first > kLastSheetIndex || xti->last < xti->first) return std::nullopt;
    const std::optional<std::string> first = At(sheets_, xti->first);
    const std::optional<std::string> last = At(sheets_, xti->last);
    if (!first || !last) return std::nullopt;
    return BiffSheetSpan{*first, xti->first == xti->last ? std::string() : *last};
  };
  context.external_name = [this](std::uint16_t ixti,
                                 std::uint32_t index) -> std::optional<std::string> {
    const std::optional<Xti> xti = At(xti_, ixti);
    // A name defined in another workbook would lose the workbook it lives in: no text.
    if (!xti || xti->book >= books_.size() || !books_[xti->book].add_ins || index == 0) {
      return std::nullopt;
    }
    std::optional<std::string> name = At(books_[xti->book].external_names, index - 1);
    if (name && name->empty()) return std::nullopt;
    return name;
  };
}

}  // namespace tavrio::automation::readers
