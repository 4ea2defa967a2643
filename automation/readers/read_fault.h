#pragma once

// Faults found while reading a workbook travel as ReadFault, carrying only the reason; the
// reader's outer layer adds the file and sheet once, so every message has the same form.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "automation/base/error.h"

namespace tavrio::automation::readers {

// The reason a part of a workbook cannot be read, in Chinese, without the file's name.
class ReadFault : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The reason for every workbook that needs a password to be read, whatever its format.
inline constexpr std::string_view kPasswordProtected = "文件受密码保护，请先取消密码再合并";

// 无法打开文件“<path>”：<reason>。
Error OpenFileError(std::string_view path, std::string_view reason);

// 无法读取文件“<path>”中的工作表“<sheet>”：<reason>。
Error ReadSheetError(std::string_view path, std::string_view sheet, std::string_view reason);

// "部件“<part>”" — how a reason names the part of the package it is about.
std::string PartName(std::string_view part);

// "（位于第 N 字节）" for a 0-based offset within an inflated part.
std::string AtOffset(std::uint64_t offset);

}  // namespace tavrio::automation::readers
