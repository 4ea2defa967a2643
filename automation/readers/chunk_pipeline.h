#pragma once

// Lets a source (inflating a zip entry) run ahead of its consumer (parsing the XML) on a
// second thread, so that reading a sheet takes about as long as the slower of the two rather
// than both together. Everything the consumer sees, and every error, comes in the order a plain
// loop of fill-then-consume gives.

#include <cstddef>
#include <functional>
#include <span>

namespace tavrio::automation::readers {

// Writable bytes in front of every chunk handed to a consumer: room to put the unparsed end of
// the previous chunk before this one without copying the chunk.
inline constexpr std::size_t kChunkHeadroom = 16 * 1024;
// 256 KiB rather than 64: the inflating thread and the parsing one hand over a quarter as
// often, 2,400 context switches instead of 7,000 for a merge of million-formatted, which took
// 0.81 s instead of 0.87 s (`perf stat -r 8 build-bench/bench/harness/tavrio-bench-merge`, two
// rounds by turns); 512 KiB was no faster.
inline constexpr std::size_t kChunkSize = 256 * 1024;

// Fills the buffer (kChunkSize bytes) with the next bytes and returns how many; 0 when there
// are no more. May throw. Never called by two threads at once, though not always by the same.
using ChunkSource = std::function<std::size_t(std::span<char> buffer)>;

// Receives each chunk: `data` has kChunkHeadroom writable bytes in front of it, and the chunk
// is the consumer's to change until it returns.
using ChunkConsumer = std::function<void(char* data, std::size_t size)>;

// Fills and consumes by turns on this thread.
void PumpInline(const ChunkSource& source, const ChunkConsumer& consume);

// Fills on a worker thread, a few chunks ahead of `consume`, which runs on this thread. When no
// chunk is ready and the worker is not filling one (it has not been scheduled yet, say, on a
// busy machine), this thread fills the next chunk itself rather than wait, so the pump is never
// much slower than PumpInline. When the source throws, the chunks before are consumed first and
// then its exception is rethrown here; when the consumer throws, the worker is stopped and
// joined and the consumer's exception is rethrown. Either way no thread outlives the call.
void PumpConcurrently(const ChunkSource& source, const ChunkConsumer& consume);

}  // namespace tavrio::automation::readers
