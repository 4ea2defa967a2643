#pragma once

#include <string>
#include <string_view>

namespace tavrio::automation::writers {

// Writes a zip file entry by entry through minizip, deflating at the fastest level: a sheet's
// XML shrinks to a fraction anyway, and the stronger levels cost several times the time. Close()
// finishes the file; a writer never closed leaves an incomplete file that the caller removes.
// Every failure throws WriteFailure.
class ZipWriter {
 public:
  explicit ZipWriter(const std::string& path);
  ZipWriter(ZipWriter&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  ZipWriter& operator=(ZipWriter&&) = delete;
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;
  ~ZipWriter();

  // `large`: the entry may pass 4 GiB and needs zip64 records.
  void BeginEntry(const std::string& name, bool large = false);
  void Write(std::string_view data);
  void EndEntry();
  void Close();

  void WriteEntry(const std::string& name, std::string_view data) {
    BeginEntry(name);
    Write(data);
    EndEntry();
  }

 private:
  void* handle_;
};

}  // namespace tavrio::automation::writers
