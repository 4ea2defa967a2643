#include "tests/automation/readers/biff_test_workbook.h"

#include <fcntl.h>
#include <unistd.h>

#include <memory>

#include "automation/readers/biff_formula_text.h"
#include "automation/readers/compound_file.h"

namespace tavrio::automation::readers::testing {
namespace {

constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kSupbook = 0x01AE;
constexpr std::uint16_t kExternSheet = 0x0017;
constexpr std::uint16_t kExternName = 0x0023;
constexpr std::uint16_t kName = 0x0018;
constexpr std::uint16_t kFormula = 0x0006;
constexpr std::uint16_t kSharedFormula = 0x04BC;

std::uint16_t U16(std::span<const std::uint8_t> data, std::size_t at) {
  return static_cast<std::uint16_t>(data[at] | (data[at + 1] << 8));
}
std::uint32_t U32(std::span<const std::uint8_t> data, std::size_t at) {
  return U16(data, at) | (static_cast<std::uint32_t>(U16(data, at + 2)) << 16);
}

// A string of `length` characters at `at` with its flags byte; `at` moves past it.
std::string UnicodeString(std::span<const std::uint8_t> data, std::size_t& at, std::size_t length) {
  const bool compressed = (data[at++] & 0x01) == 0;
  const std::size_t size = compressed ? length : 2 * length;
  std::string text = Utf16ToUtf8(data.subspan(at, size), compressed).value_or("?");
  at += size;
  return text;
}

}  // namespace

std::vector<BiffTestRecord> BiffTestRecords(std::span<const std::uint8_t> stream) {
  std::vector<BiffTestRecord> records;
  std::size_t at = 0;
  while (at + 4 <= stream.size()) {
    const std::uint16_t type = U16(stream, at);
    const std::size_t size = U16(stream, at + 2);
    if (at + 4 + size > stream.size()) break;
    records.push_back({type, at + 4, stream.subspan(at + 4, size)});
    at += 4 + size;
  }
  return records;
}

std::vector<std::uint8_t> ReadWorkbookStream(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return {};
  std::string bytes;
  try {
    bytes = CompoundFile(fd).ReadStream("Workbook").value_or("");
  } catch (...) {
  }
  close(fd);
  return {bytes.begin(), bytes.end()};
}

BiffTestWorkbook::BiffTestWorkbook(std::vector<std::uint8_t> stream) : stream_(std::move(stream)) {
  ReadGlobals();
}

void BiffTestWorkbook::ReadGlobals() {
  for (const BiffTestRecord& record : BiffTestRecords(stream_)) {
    const auto data = record.data;
    if (record.type == kEof) break;
    if (record.type == kBoundSheet) {
      std::size_t at = 7;
      sheet_offsets_.push_back(U32(data, 0));
      sheet_names_.push_back(UnicodeString(data, at, data[6]));
    } else if (record.type == kSupbook) {
      supbooks_.push_back({data.size() == 4 && U16(data, 2) == 0x0401, {}});
    } else if (record.type == kExternName && !supbooks_.empty()) {
      std::size_t at = 7;
      supbooks_.back().external_names.push_back(UnicodeString(data, at, data[6]));
    } else if (record.type == kExternSheet) {
      for (std::size_t i = 0; i < U16(data, 0); ++i) {
        xti_.emplace_back(U16(data, 2 + 6 * i), U16(data, 4 + 6 * i), U16(data, 6 + 6 * i));
      }
    } else if (record.type == kName) {
      std::size_t at = 14;
      names_.push_back(UnicodeString(data, at, data[3]));
    }
  }
}

std::vector<BiffTestFormula> BiffTestWorkbook::Formulas(std::size_t sheet) const {
  std::vector<BiffTestFormula> formulas;
  const auto records = BiffTestRecords(std::span(stream_).subspan(sheet_offsets_.at(sheet)));
  for (const BiffTestRecord& record : records) {
    if (record.type == kEof) break;
    if (record.type != kFormula) continue;
    const auto data = record.data;
    const std::size_t cce = U16(data, 20);
    formulas.push_back({U16(data, 0),
                        U16(data, 2),
                        {data.begin() + 22, data.begin() + 22 + cce},
                        {data.begin() + 22 + cce, data.end()}});
  }
  return formulas;
}

BiffFormulaContext BiffTestWorkbook::Context(std::size_t sheet, std::uint16_t row,
                                             std::uint16_t column) const {
  BiffFormulaContext context;
  context.row = row;
  context.column = column;
  context.externsheet_sheets = [this](std::uint16_t ixti) -> std::optional<BiffSheetSpan> {
    if (ixti >= xti_.size()) return std::nullopt;
    const auto [book, first, last] = xti_[ixti];
    if (book >= supbooks_.size() || !supbooks_[book].self) return std::nullopt;
    if (first >= sheet_names_.size() || last >= sheet_names_.size()) return std::nullopt;
    return BiffSheetSpan{sheet_names_[first], first == last ? "" : sheet_names_[last]};
  };
  context.defined_name = [this](std::uint32_t index) -> std::optional<std::string> {
    if (index == 0 || index > names_.size()) return std::nullopt;
    return names_[index - 1];
  };
  context.external_name = [this](std::uint16_t ixti,
                                 std::uint32_t index) -> std::optional<std::string> {
    if (ixti >= xti_.size()) return std::nullopt;
    const std::uint16_t book = std::get<0>(xti_[ixti]);
    if (book >= supbooks_.size()) return std::nullopt;
    const auto& names = supbooks_[book].external_names;
    if (index == 0 || index > names.size()) return std::nullopt;
    return names[index - 1];
  };
  // The shared formulas of the sheet, by their first cell; the spans point into the stream.
  auto shared =
      std::make_shared<std::map<std::pair<std::uint16_t, std::uint16_t>, BiffSharedTokens>>();
  for (const BiffTestRecord& record :
       BiffTestRecords(std::span(stream_).subspan(sheet_offsets_.at(sheet)))) {
    if (record.type == kEof) break;
    if (record.type != kSharedFormula) continue;
    const std::size_t cce = U16(record.data, 8);
    (*shared)[{U16(record.data, 0), record.data[4]}] = {record.data.subspan(10, cce),
                                                        record.data.subspan(10 + cce)};
  }
  context.shared_formula = [shared](std::uint32_t first_row,
                                    std::uint16_t first_column) -> std::optional<BiffSharedTokens> {
    const auto found = shared->find({static_cast<std::uint16_t>(first_row), first_column});
    if (found == shared->end()) return std::nullopt;
    return found->second;
  };
  return context;
}

}  // namespace tavrio::automation::readers::testing
