#pragma once

#include <stdexcept>
#include <string>

namespace tavrio {

// Error numbers users of desktop spreadsheet macros already know.
namespace error_number {
inline constexpr int kInvalidArgument = 5;      // 无效的过程调用或参数
inline constexpr int kOverflow = 6;             // 溢出
inline constexpr int kOutOfMemory = 7;          // 内存不足
inline constexpr int kSubscriptOutOfRange = 9;  // 下标越界: no such sheet or window
inline constexpr int kTypeMismatch = 13;        // 类型不匹配
inline constexpr int kInternalError = 51;       // 内部错误
inline constexpr int kDeviceUnavailable = 68;   // 设备不可用: medium gone, share disconnected
inline constexpr int kPermissionDenied = 70;    // 没有权限
inline constexpr int kPathNotFound = 76;        // 路径未找到
inline constexpr int kObjectNotSet = 91;        // 对象变量或 With 块变量未设置
inline constexpr int kInvalidIndex = 381;  // 无效的属性数组索引: no entry at that index
inline constexpr int kApplicationDefined = 1004;  // the spreadsheet application refused
}  // namespace error_number

// The one error type of the program: a number and a Chinese description that tells the user
// what failed and where (which file, which sheet). Thrown when a failure ends an operation.
class Error : public std::runtime_error {
 public:
  Error(int number, std::string description);

  int number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }

 private:
  int number_;
  std::string description_;
};

// "类型不匹配" (13), raised by a text that does not read as a number.
Error TypeMismatch();
// "溢出" (6), raised by a number outside the range of its integer type.
Error Overflow();

// The text shown to the user for an error: its number on the first line, its description below.
std::string FormatError(const Error& error);

}  // namespace tavrio
