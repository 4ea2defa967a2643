#pragma once

// Deflates one zip entry on several cores. A zip entry holds one deflate stream, but a stream
// may be made of pieces compressed on their own: each chunk of the input is compressed with the
// 32 KiB before it as its dictionary (so matches reach back across the seam as they would in
// one stream) and ends with a sync flush, which closes its last block on a byte boundary; the
// last chunk ends the stream. The chunks' CRC-32s are joined in order. The bytes produced depend
// on the input alone, never on the number of threads or their timing.
//
// On the benchmark's `many` set (244 MB of sheet XML; scripts/bench --set many), on two cores
// otherwise idle: tavrio-merge took 1.40 s with one stream, 0.97 s with two workers, at the same
// 1.5 s of CPU time; the file came out 18 KB smaller (42.28 MB), the seams costing less than the
// block boundaries zlib would have chosen itself.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace tavrio::automation::writers {

// The workers a save compresses on when nobody says otherwise: one per core, since the thread
// writing the XML mostly waits for them.
unsigned DefaultDeflateThreads();

class ChunkedDeflate {
 public:
  // Receives the compressed bytes in the stream's order, always on the thread calling Write or
  // Finish. May throw; the exception passes out of that call.
  using Sink = std::function<void(std::string_view compressed)>;

  struct Totals {
    std::uint64_t size = 0;  // uncompressed bytes
    std::uint32_t crc = 0;   // CRC-32 of the uncompressed bytes
  };

  // `threads` workers compress; 0 compresses every chunk on the calling thread. When no thread
  // can be started the calling thread does the work itself.
  ChunkedDeflate(Sink sink, unsigned threads);
  // Stops and joins the workers; what was not yet finished is dropped.
  ~ChunkedDeflate();
  ChunkedDeflate(const ChunkedDeflate&) = delete;
  ChunkedDeflate& operator=(const ChunkedDeflate&) = delete;

  void Write(std::string_view data);
  // Compresses the rest, hands every byte to the sink and ends the stream. Throws WriteFailure
  // when zlib fails (only for want of memory). Call once; no Write after it.
  Totals Finish();

 private:
  class Pool;
  std::unique_ptr<Pool> pool_;
};

}  // namespace tavrio::automation::writers
