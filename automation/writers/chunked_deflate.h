#pragma once

// Deflates one zip entry on several cores. A zip entry holds one deflate stream, but a stream
// may be made of pieces compressed on their own: each chunk of the input is compressed with the
// 32 KiB before it as its dictionary (so matches reach back across the seam as they would in
// one stream) and ends with a sync flush, which closes its last block on a byte boundary; the
// last chunk ends the stream. The chunks' CRC-32s are joined in order. The bytes produced depend
// on the input and where it was cut into pieces, never on the number of threads or their
// timing.
//
// The chunks are compressed by ISA-L's igzip at its level 2, which unlike a whole-buffer
// compressor takes a dictionary and ends a piece with a sync flush. On the benchmark's `many`
// set (scripts/bench --set many; its 244 MB of sheet XML, one thread, -O2) zlib's
// fastest level took 0.76 s and made 42.28 MB, igzip level 2 takes 0.25 s and makes 39.99 MB
// (40.02 MB in the 256 KiB chunks used now, to keep the chunks in flight small, 3% slower);
// the CRC-32 by ISA-L's carry-less multiply takes 6 ms where zlib's took 60. The save step (s)
// went from 1.0 s to 0.46 s of CPU. Level 1 was no faster and 0.4% larger, level 3 2.5 times
// slower for 5% less.
//
// The workers can also make the pieces they compress (Produce): a sheet's rows are written as
// XML on the workers, a run of rows each, while the calling thread only hands them out and
// passes the compressed bytes on. With the XML written on the calling thread and only deflated
// on two workers, the save alone (tavrio-bench step (s)) took 0.30 s on the many set and 0.81 s
// on million; with the runs written on the workers 0.25 s and 0.71 s.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "automation/writers/text_buffer.h"

namespace tavrio::automation::writers {

// The workers a save compresses on when nobody says otherwise: one per core, at most four.
unsigned DefaultDeflateThreads();

class ChunkedDeflate {
 public:
  // Receives the compressed bytes in the stream's order, always on the thread calling Write,
  // Produce or Finish. May throw; the exception passes out of that call.
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
  // Appends a piece made by `produce` on a worker: it writes the piece into the buffer it is
  // given (empty). Pieces are made several at a time, in any order, and joined in the order
  // they were handed in; each is one chunk of the stream, so its bytes depend on where the
  // caller cut the pieces, never on the workers. `produce` runs at most once, on any thread,
  // and may use only what outlives this object and stays unchanged until Finish returns. What
  // it throws passes out of Write, Produce or Finish once the stream has come to its piece.
  using Producer = std::function<void(TextBuffer& piece)>;
  void Produce(Producer produce);
  // Compresses the rest, hands every byte to the sink and ends the stream. Throws WriteFailure
  // when zlib fails (only for want of memory). Call once; no Write after it.
  Totals Finish();

 private:
  class Pool;
  std::unique_ptr<Pool> pool_;
};

}  // namespace tavrio::automation::writers
