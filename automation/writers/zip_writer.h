#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "automation/writers/chunked_deflate.h"

namespace tavrio::automation::writers {

// Writes a zip file entry by entry through minizip, deflating with a fast compressor: a sheet's
// XML shrinks to a fraction anyway, and the stronger levels cost several times the time. Each
// entry is deflated on `deflate_threads` workers (chunked_deflate.h; 0: on the calling thread);
// the file's bytes are the same whatever their number. Close() finishes the file; a writer never
// closed leaves an incomplete file that the caller removes. Every failure throws WriteFailure.
class ZipWriter {
 public:
  explicit ZipWriter(const std::string& path, unsigned deflate_threads = DefaultDeflateThreads());
  ZipWriter& operator=(ZipWriter&&) = delete;
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;
  ~ZipWriter();

  // `large`: the entry may pass 4 GiB and needs zip64 records.
  void BeginEntry(const std::string& name, bool large = false);
  void Write(std::string_view data);
  // A piece of the entry made on a worker (ChunkedDeflate::Produce, whose terms hold).
  void Produce(ChunkedDeflate::Producer produce);
  void EndEntry();
  void Close();

  void WriteEntry(const std::string& name, std::string_view data) {
    BeginEntry(name);
    Write(data);
    EndEntry();
  }

 private:
  void* handle_;
  unsigned deflate_threads_;
  std::unique_ptr<ChunkedDeflate> entry_;
};

}  // namespace tavrio::automation::writers
