#include "automation/base/error.h"

#include <utility>

namespace tavrio {

Error::Error(int number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

Error TypeMismatch() { return Error(error_number::kTypeMismatch, "类型不匹配"); }

Error Overflow() { return Error(error_number::kOverflow, "溢出"); }

std::string FormatError(const Error& error) {
  return "运行时错误 '" + std::to_string(error.number()) + "':\n\n" + error.description();
}

}  // namespace tavrio
