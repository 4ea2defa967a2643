#pragma once

// Lets a producer (inflating a zip entry) run a chunk ahead of its consumer (parsing the XML)
// on a second thread, so that reading a sheet takes about as long as the slower of the two
// rather than both together. Everything the consumer sees, and every error, comes in the order
// a plain loop of produce-then-consume would give.

#include <cstddef>
#include <functional>
#include <span>

namespace tavrio::automation::readers {

// Writable bytes in front of every chunk handed to a consumer: room to put the unparsed end of
// the previous chunk before this one without copying the chunk.
inline constexpr std::size_t kChunkHeadroom = 16 * 1024;
inline constexpr std::size_t kChunkSize = 256 * 1024;

// Where a producer writes. Next() returns kChunkSize bytes to fill; Publish(size) hands the
// first `size` of them (size > 0) to the consumer. Either may throw: whatever the consumer threw,
// or, when the consumer has stopped, an exception the producer must let through.
class ChunkWriter {
 public:
  virtual ~ChunkWriter() = default;
  virtual std::span<char> Next() = 0;
  virtual void Publish(std::size_t size) = 0;
};

// Receives each chunk: `data` has kChunkHeadroom writable bytes in front of it, and the chunk
// is the consumer's to change until it returns.
using ChunkConsumer = std::function<void(char* data, std::size_t size)>;
using ChunkProducer = std::function<void(ChunkWriter& writer)>;

// Runs `produce` on this thread, each published chunk consumed before it goes on.
void ProduceInline(const ChunkProducer& produce, const ChunkConsumer& consume);

// Runs `produce` on a worker thread, at most a few chunks ahead of `consume`, which runs on
// this thread. When the producer throws, the chunks it published before are consumed first and
// then its exception is rethrown here; when the consumer throws, the producer is stopped and
// joined and the consumer's exception is rethrown. Either way no thread outlives the call.
void ProduceConcurrently(const ChunkProducer& produce, const ChunkConsumer& consume);

}  // namespace tavrio::automation::readers
