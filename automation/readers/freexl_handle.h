#pragma once

// A move-only owner of a freexl workbook handle. freexl wants its close called even when opening
// failed, so the handle is owned from the moment freexl_open is called.

#include <string>

namespace tavrio::automation::readers {

class FreexlHandle {
 public:
  FreexlHandle() = default;
  FreexlHandle(const FreexlHandle&) = delete;
  FreexlHandle& operator=(const FreexlHandle&) = delete;
  FreexlHandle(FreexlHandle&& other) noexcept;
  FreexlHandle& operator=(FreexlHandle&& other) noexcept;
  ~FreexlHandle();

  // Opens `path` for reading cells; returns freexl's status (0 is success).
  int Open(const std::string& path);
  // Releases the handle; returns freexl's status.
  int Close();

  const void* get() const { return handle_; }

 private:
  const void* handle_ = nullptr;
};

}  // namespace tavrio::automation::readers
