#include "automation/readers/freexl_handle.h"

#include <freexl.h>

#include <utility>

namespace tavrio::automation::readers {

FreexlHandle::FreexlHandle(FreexlHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

FreexlHandle& FreexlHandle::operator=(FreexlHandle&& other) noexcept {
  std::swap(handle_, other.handle_);
  return *this;
}

FreexlHandle::~FreexlHandle() { Close(); }

int FreexlHandle::Open(const std::string& path) {
  Close();
  return freexl_open(path.c_str(), &handle_);
}

int FreexlHandle::Close() {
  if (handle_ == nullptr) return FREEXL_OK;
  return freexl_close(std::exchange(handle_, nullptr));
}

}  // namespace tavrio::automation::readers
