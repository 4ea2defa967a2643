#include "automation/readers/xls_reader.h"

#include <freexl.h>
#include <strings.h>

#include <map>
#include <unordered_map>
#include <utility>

#include "automation/readers/cell_text.h"
#include "automation/readers/read_fault.h"
#include "automation/readers/styles_part.h"

namespace tavrio::automation::readers {
namespace {

enum XlsStyle : std::uint32_t { kGeneral, kDate, kDateTime, kTime };

// What a freexl status means to the user.
std::string Reason(int status) {
  switch (status) {
    case FREEXL_INSUFFICIENT_MEMORY:
      return "内存不足";
    case FREEXL_FILE_NOT_FOUND:
      return "文件不存在";
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
      return "不是工作簿文件";
    case FREEXL_UNSUPPORTED_CHARSET:
      return "工作簿使用了不支持的字符集";
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_READ_ERROR:
    case FREEXL_CFBF_SEEK_ERROR:
    case FREEXL_CFBF_INVALID_SIGNATURE:
    case FREEXL_CFBF_INVALID_SECTOR_SIZE:
    case FREEXL_CFBF_EMPTY_FAT_CHAIN:
    case FREEXL_CFBF_ILLEGAL_FAT_ENTRY:
    case FREEXL_INVALID_MINI_STREAM:
    case FREEXL_CFBF_ILLEGAL_MINI_FAT_ENTRY:
      return "文件已损坏：复合文档结构无效";
    default:
      return "文件已损坏：工作簿数据无效（freexl 错误 " + std::to_string(status) + "）";
  }
}

void Check(int status) {
  if (status != FREEXL_OK) throw ReadFault(Reason(status));
}

unsigned Info(const FreexlHandle& handle, unsigned short what) {
  unsigned value = 0;
  Check(freexl_get_info(handle.get(), what, &value));
  return value;
}

// A date cell: its stored number when the records gave it, else freexl's "YYYY-MM-DD",
// "YYYY-MM-DD HH:MM:SS" or "HH:MM:SS" read back; text when neither works.
void HandOverDate(std::uint32_t row, std::uint16_t column, const char* text, const double* stored,
                  bool date1904, std::uint32_t style, CellSink& sink) {
  if (stored != nullptr) return sink.Put(SinkCell::Number(row, column, *stored, style));
  std::string iso(text);
  if (iso.size() > 10 && iso[10] == ' ') iso[10] = 'T';
  double serial = 0;
  if (ParseIsoDate(iso, date1904, serial))
    return sink.Put(SinkCell::Number(row, column, serial, style));
  sink.Put(SinkCell::Text(row, column, text, kGeneral));
}

void HandOver(const BiffCell& cell, std::uint32_t style, CellSink& sink) {
  const std::uint32_t row = cell.row + 1u;
  const auto column = static_cast<std::uint16_t>(cell.column + 1);
  switch (cell.kind) {
    case BiffCell::Kind::kNumber:
      sink.Put(SinkCell::Number(row, column, cell.number, style));
      break;
    case BiffCell::Kind::kText:
      sink.Put(SinkCell::Text(row, column, cell.text, style));
      break;
    case BiffCell::Kind::kBoolean:
      sink.Put(SinkCell::Boolean(row, column, cell.boolean, style));
      break;
    case BiffCell::Kind::kError:
      sink.Put(SinkCell::Error(row, column, cell.text, style));
      break;
  }
}

// False for a cell freexl holds nothing for.
bool HandOver(std::uint32_t row, std::uint16_t column, const FreeXL_CellValue& value,
              const double* stored, bool date1904, std::uint32_t style, CellSink& sink) {
  switch (value.type) {
    case FREEXL_CELL_INT:
      sink.Put(SinkCell::Number(row, column, value.value.int_value, style));
      break;
    case FREEXL_CELL_DOUBLE:
      sink.Put(SinkCell::Number(row, column, value.value.double_value, style));
      break;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
      sink.Put(SinkCell::Text(row, column, value.value.text_value, style));
      break;
    case FREEXL_CELL_DATE:
      HandOverDate(row, column, value.value.text_value, stored, date1904, kDate, sink);
      break;
    case FREEXL_CELL_DATETIME:
      HandOverDate(row, column, value.value.text_value, stored, date1904, kDateTime, sink);
      break;
    case FREEXL_CELL_TIME:
      HandOverDate(row, column, value.value.text_value, stored, date1904, kTime, sink);
      break;
    default:
      return false;
  }
  return true;
}

std::uint64_t Key(std::uint64_t row, std::uint64_t column) { return (row << 16) | column; }

// A format id's code: the workbook's own FORMAT record, else the built-in one; empty if neither.
std::string FormatCode(const BiffGlobals& globals, std::uint16_t id) {
  auto own = globals.formats.find(id);
  if (own != globals.formats.end()) return own->second;
  return std::string(BuiltInNumberFormat(id));
}

bool IsGeneral(const std::string& code) {
  return code.empty() || strcasecmp(code.c_str(), "General") == 0;
}

}  // namespace

XlsReader::XlsReader(const std::string& path, std::string workbook_stream)
    : path_(path), stream_(std::move(workbook_stream)) {
  BiffGlobals globals = ScanBiffGlobals(stream_);
  // freexl reads an encrypted workbook's records as they are, which would hand over garbage.
  if (globals.encrypted) throw ReadFault(std::string(kPasswordProtected));
  Check(handle_.Open(path));
  if (Info(handle_, FREEXL_BIFF_PASSWORD) == FREEXL_BIFF_OBFUSCATED) {
    throw ReadFault(std::string(kPasswordProtected));
  }
  unsigned count = Info(handle_, FREEXL_BIFF_SHEET_COUNT);
  for (unsigned i = 0; i < count; ++i) {
    const char* name = nullptr;
    Check(freexl_get_worksheet_name(handle_.get(), static_cast<unsigned short>(i), &name));
    sheets_.push_back({name != nullptr ? name : "", false});
  }
  styles_.resize(4);
  styles_[kDate].number_format = "yyyy-mm-dd";
  styles_[kDateTime].number_format = "yyyy-mm-dd hh:mm:ss";
  styles_[kTime].number_format = "hh:mm:ss";
  date1904_ = globals.date1904;
  StylesFromFormats(globals);
  MatchRecordsToSheets(globals);
}

// One style per number format code that a cell format uses, so cells of the same format share it.
void XlsReader::StylesFromFormats(const BiffGlobals& globals) {
  std::unordered_map<std::string, std::uint32_t> by_code;
  for (std::uint16_t id : globals.xf_formats) {
    std::string code = FormatCode(globals, id);
    std::uint32_t style = kGeneral;
    if (!IsGeneral(code)) {
      auto [found, added] = by_code.try_emplace(code, static_cast<std::uint32_t>(styles_.size()));
      if (added) styles_.emplace_back(code);
      style = found->second;
    }
    xf_styles_.push_back(style);
  }
}

// freexl lists the sheets it can read; the records list every sheet. When the counts tell how
// the two lists line up, each sheet gets its hidden flag and its substream; otherwise none does.
void XlsReader::MatchRecordsToSheets(const BiffGlobals& globals) {
  std::vector<const BiffSheet*> records;
  for (const BiffSheet& sheet : globals.sheets) records.push_back(&sheet);
  if (records.size() != sheets_.size()) {
    std::erase_if(records, [](const BiffSheet* sheet) { return !sheet->worksheet; });
  }
  substreams_.assign(sheets_.size(), -1);
  if (records.size() != sheets_.size()) return;
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    sheets_[i].hidden = records[i]->hidden;
    substreams_[i] = records[i]->offset;
  }
}

void XlsReader::ReadSheet(std::size_t index, CellSink& sink) {
  if (index >= sheets_.size()) {
    throw ReadSheetError(path_, "#" + std::to_string(index + 1), "没有这个工作表");
  }
  try {
    ReadCells(index, sink);
  } catch (const ReadFault& fault) {
    throw ReadSheetError(path_, sheets_[index].name, fault.what());
  }
}

void XlsReader::ReadCells(std::size_t index, CellSink& sink) {
  Check(freexl_select_active_worksheet(handle_.get(), static_cast<unsigned short>(index)));
  unsigned rows = 0;
  unsigned short columns = 0;
  Check(freexl_worksheet_dimensions(handle_.get(), &rows, &columns));
  std::map<std::pair<unsigned, unsigned>, BiffCell> extras;
  std::unordered_map<std::uint64_t, double> stored;
  std::unordered_map<std::uint64_t, std::uint32_t> cell_styles;
  auto style_of = [&cell_styles](unsigned row, unsigned column) {
    auto found = cell_styles.find(Key(row, column));
    return found != cell_styles.end() ? found->second : std::uint32_t{kGeneral};
  };
  if (substreams_[index] >= 0) {
    ScanBiffCellFormats(
        stream_, static_cast<std::uint32_t>(substreams_[index]),
        [this, &cell_styles](std::uint16_t row, std::uint16_t column, std::uint16_t xf) {
          if (xf < xf_styles_.size() && xf_styles_[xf] != kGeneral) {
            cell_styles.insert_or_assign(Key(row, column), xf_styles_[xf]);
          }
        });
    ScanBiffSheetCells(stream_, static_cast<std::uint32_t>(substreams_[index]),
                       [&extras, &stored](const BiffCell& cell) {
                         if (cell.stored) {
                           stored.insert_or_assign(Key(cell.row, cell.column), cell.number);
                         } else {
                           extras.insert_or_assign({cell.row, cell.column}, cell);
                         }
                       });
  }
  for (unsigned row = 0; row < rows; ++row) {
    for (unsigned short column = 0; column < columns; ++column) {
      FreeXL_CellValue value{};
      Check(freexl_get_cell_value(handle_.get(), row, column, &value));
      auto extra = extras.find({row, column});
      auto number = value.type >= FREEXL_CELL_DATE ? stored.find(Key(row, column)) : stored.end();
      const double* raw = number != stored.end() ? &number->second : nullptr;
      const std::uint32_t style = style_of(row, column);
      if (!HandOver(row + 1, static_cast<std::uint16_t>(column + 1), value, raw, date1904_, style,
                    sink) &&
          extra != extras.end()) {
        HandOver(extra->second, style, sink);
      }
      if (extra != extras.end()) extras.erase(extra);
    }
  }
  // Cells beyond the dimensions freexl read.
  for (const auto& [where, cell] : extras) HandOver(cell, style_of(cell.row, cell.column), sink);
}

}  // namespace tavrio::automation::readers
