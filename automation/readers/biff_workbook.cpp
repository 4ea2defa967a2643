#include "automation/readers/biff_workbook.h"

#include <algorithm>

#include "automation/readers/biff_stream.h"
#include "automation/readers/biff_styles.h"
#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::uint16_t kCodePage = 0x0042;
constexpr std::uint16_t kDateMode = 0x0022;
constexpr std::uint16_t kSst = 0x00FC;
constexpr std::uint16_t kWorkspace = 0x0100;
constexpr std::uint8_t kVisualBasicModule = 6;

// The shared string table, continued over as many CONTINUE records as it takes. A string's
// characters may break across records (each piece restating its width); its rich-text runs
// and phonetic data, which only shape how it looks, are skipped wherever they break.
std::vector<std::string> ReadSharedStrings(std::string_view first, BiffCursor& cursor) {
  BiffPieces pieces(first, cursor);
  pieces.U32();  // uses in the workbook
  const std::uint32_t unique = pieces.U32();
  std::vector<std::string> strings;
  strings.reserve(std::min<std::size_t>(unique, first.size()));
  std::u16string units;
  for (std::uint32_t i = 0; i < unique && !pieces.AtEnd(); ++i) {
    const std::size_t count = pieces.U16();
    const std::uint8_t flags = pieces.U8();
    const std::size_t runs = (flags & 0x08) ? pieces.U16() : 0;
    const std::size_t phonetic = (flags & 0x04) ? pieces.U32() : 0;
    units.clear();
    pieces.Chars(count, (flags & 0x01) != 0, units);
    pieces.Skip(4 * runs);
    pieces.Skip(phonetic);
    strings.push_back(Utf16ToUtf8(units));
  }
  return strings;
}

// A BOUNDSHEET record: where the sheet's substream starts, whether it is hidden, its name.
// Returns false for a Visual Basic module.
bool ReadBoundSheet(const BiffRecord& record, const BiffText& text, BiffSheet& sheet) {
  sheet.offset = BiffU32(record.data, 0);
  // 1 is hidden, 2 "very hidden" (only a macro can show it again).
  sheet.info.hidden = BiffU8(record.data, 4) != 0;
  if (BiffU8(record.data, 5) == kVisualBasicModule) return false;
  sheet.info.name = text.ReadAt(record.data, 6, 1);
  return true;
}

void CheckFirstRecord(const BiffBof& bof) {
  if (bof.version <= BiffVersion::kBiff4 && bof.substream == kWorkspace) {
    throw ReadFault("这是 Excel 4.0 多工作表工作簿，暂不支持此格式，请先另存为 .xls 或 .xlsx");
  }
  if (bof.version >= BiffVersion::kBiff5 && bof.substream != biff::kGlobals) BiffDamaged();
}

}  // namespace

BiffWorkbook ReadBiffWorkbook(std::string_view stream, const std::string& lone_sheet_name,
                              bool unscrambled) {
  BiffCursor cursor(stream, 0);
  BiffRecord record;
  if (!cursor.Next(record)) BiffDamaged();
  const BiffBof bof = ReadBof(record);
  CheckFirstRecord(bof);
  BiffWorkbook book;
  book.text = BiffText(bof.version);
  BiffStyles styles;
  // Embedded charts bring substreams of their own, each closed by its own EOF.
  int depth = 1;
  while (depth > 0 && cursor.Next(record)) {
    if (record.type == biff::kEof) --depth;
    if (IsBiffBof(record.type)) ++depth;
    if (depth != 1) continue;
    if (record.type == biff::kFilePass && !unscrambled) {
      book.encrypted = true;
      book.filepass = record.data;
      book.scrambled_from = record.offset + 4 + record.data.size();
      return book;
    }
    book.formula_names.Take(record, book.text);
    if (record.type == kCodePage && bof.version != BiffVersion::kBiff8) {
      book.text.SetCodePage(BiffU16(record.data, 0));
    } else if (record.type == kDateMode) {
      book.date1904 = BiffU16(record.data, 0) == 1;
    } else if (record.type == biff::kBoundSheet && bof.version >= BiffVersion::kBiff5) {
      BiffSheet sheet;
      if (ReadBoundSheet(record, book.text, sheet)) book.sheets.push_back(std::move(sheet));
    } else if (record.type == kSst && bof.version == BiffVersion::kBiff8) {
      book.shared_strings = ReadSharedStrings(record.data, cursor);
    } else {
      styles.Take(record, book.text);
    }
  }
  if (bof.version <= BiffVersion::kBiff4) book.sheets.push_back({{lone_sheet_name, false}, 0});
  styles.Finish(book.styles, book.xf_styles);
  book.cells_name_formats = bof.version == BiffVersion::kBiff2 && styles.HasNoXfs();
  return book;
}

}  // namespace tavrio::automation::readers
