#pragma once

#include <cstdint>
#include <string>

#include "automation/base/error.h"
#include "automation/engine/workbook.h"

// The engine's failures, each worded once. Descriptions name the workbook's file (or, for a new
// workbook, its name) and the sheet wherever one is involved.
namespace tavrio::automation::engine::errors {

// 文件“/path/a.xlsx” or 工作簿“工作簿1”.
std::string Describe(const Workbook& workbook);

Error NoActiveWorkbook();
Error NoSuchSheet(const Workbook& workbook, const std::string& name);
Error NoSuchSheetPosition(const Workbook& workbook, int position);
Error NoSuchWindow(const std::string& name);
Error NoSuchWorkbook(const std::string& name);
Error RowNotANumber(const std::string& text);
Error RowOutOfRange(const std::string& row);
Error ColumnOutOfRange(long long column);
Error InvalidRows(const std::string& rows);
Error NothingCopied();
Error WholeRowsOutsideColumnA(const Workbook& workbook, const Sheet& sheet);
Error PastePastLastRow(const Workbook& workbook, const Sheet& sheet, std::uint32_t rows,
                       std::uint32_t at);
Error PastePastLastColumn(const Workbook& workbook, const Sheet& sheet);
Error TextTooLong(std::size_t length);
Error SameNameOpen(const Workbook& open, const std::string& path);
Error WouldOverwriteSource(const std::string& path);
Error SaveNameTaken(const std::string& path, const std::string& name);
Error NoSheets(const std::string& path);

}  // namespace tavrio::automation::engine::errors
