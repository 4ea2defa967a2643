#include "automation/engine/workbook.h"

#include <exception>
#include <new>
#include <utility>

#include "automation/base/error.h"
#include "automation/engine/sheet_loader.h"

namespace tavrio::automation::engine {
namespace {

using error_number::kOutOfMemory;

}  // namespace

Workbook::Workbook(std::string name) : name_(std::move(name)) {
  sheets_.emplace_back("Sheet1", false, true);
}

Workbook::Workbook(std::string name, std::string path,
                   std::unique_ptr<readers::WorkbookReader> reader)
    : name_(std::move(name)), path_(std::move(path)), reader_(std::move(reader)) {
  for (const readers::SheetInfo& info : reader_->Sheets()) {
    sheets_.emplace_back(info.name, info.hidden, false);
  }
  for (const readers::StyleInfo& style : reader_->Styles()) {
    reader_styles_.push_back(styles_.Intern(style));
  }
  unread_sheets_ = sheets_.size();
  // The window opens on the first sheet a user can see.
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    if (!sheets_[i].hidden()) {
      active_sheet_ = i;
      break;
    }
  }
}

Workbook::~Workbook() = default;

void Workbook::Rename(std::string name, std::string path) {
  name_ = std::move(name);
  path_ = std::move(path);
}

Sheet& Workbook::LoadedSheet(std::size_t index) {
  if (!sheets_[index].loaded()) ReadSheet(index);
  return sheets_[index];
}

std::size_t Workbook::AddSheet(std::string name) {
  sheets_.emplace_back(std::move(name), false, true);
  return sheets_.size() - 1;
}

void Workbook::LoadAllSheets() {
  for (std::size_t i = 0; i < sheets_.size(); ++i) LoadedSheet(i);
}

void Workbook::ReadSheet(std::size_t index) {
  Sheet& sheet = sheets_[index];
  SheetLoader loader(sheet, strings_, styles_, reader_styles_, reader_->Uses1904DateSystem(),
                     reader_->FormulaResultsTrusted(), path_);
  try {
    reader_->ReadSheet(index, loader);
    sheet.FinishLoading();
  } catch (const std::bad_alloc&) {
    sheet.AbortLoading();
    throw Error(kOutOfMemory,
                "内存不足：无法读取文件“" + path_ + "”的工作表“" + sheet.name() + "”。");
  } catch (const Error&) {
    sheet.AbortLoading();
    throw;
  } catch (const std::exception& fault) {
    sheet.AbortLoading();
    throw Error(error_number::kApplicationDefined, "无法读取文件“" + path_ + "”的工作表“" +
                                                       sheet.name() + "”：" + fault.what() + "。");
  }
  // Every sheet is in memory now; the reader's buffers and file handle are no longer needed.
  if (--unread_sheets_ == 0) reader_.reset();
}

}  // namespace tavrio::automation::engine
