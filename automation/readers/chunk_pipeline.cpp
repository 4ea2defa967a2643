#include "automation/readers/chunk_pipeline.h"

#include <array>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace tavrio::automation::readers {
namespace {

// A chunk buffer with its headroom in front.
class Slot {
 public:
  Slot() : bytes_(std::make_unique_for_overwrite<char[]>(kChunkHeadroom + kChunkSize)) {}
  char* data() { return bytes_.get() + kChunkHeadroom; }

 private:
  std::unique_ptr<char[]> bytes_;
};

class InlineWriter final : public ChunkWriter {
 public:
  explicit InlineWriter(const ChunkConsumer& consume) : consume_(consume) {}
  std::span<char> Next() override { return {slot_.data(), kChunkSize}; }
  void Publish(std::size_t size) override { consume_(slot_.data(), size); }

 private:
  const ChunkConsumer& consume_;
  Slot slot_;
};

// Thrown inside the producer once the consumer has stopped; never leaves ProduceConcurrently.
struct ConsumerStopped {};

// Three slots: one being filled, one being consumed, one ready between them.
constexpr std::size_t kSlots = 3;

class ConcurrentWriter final : public ChunkWriter {
 public:
  ConcurrentWriter() {
    for (std::size_t i = 0; i < kSlots; ++i) free_.push_back(i);
  }

  // Producer side.
  std::span<char> Next() override {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopped_ || !free_.empty(); });
    if (stopped_) throw ConsumerStopped{};
    filling_ = free_.front();
    free_.pop_front();
    return {slots_[filling_].data(), kChunkSize};
  }
  void Publish(std::size_t size) override {
    std::lock_guard lock(mutex_);
    if (stopped_) throw ConsumerStopped{};
    ready_.push_back({filling_, size});
    changed_.notify_all();
  }
  void Finish(std::exception_ptr error) {
    std::lock_guard lock(mutex_);
    finished_ = true;
    error_ = error;
    changed_.notify_all();
  }

  // Consumer side: consumes every chunk in order, then rethrows the producer's error if any.
  void ConsumeAll(const ChunkConsumer& consume) {
    while (true) {
      Ready chunk;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return finished_ || !ready_.empty(); });
        if (ready_.empty()) {
          if (error_) std::rethrow_exception(error_);
          return;
        }
        chunk = ready_.front();
        ready_.pop_front();
      }
      consume(slots_[chunk.slot].data(), chunk.size);
      std::lock_guard lock(mutex_);
      free_.push_back(chunk.slot);
      changed_.notify_all();
    }
  }
  void Stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }

 private:
  struct Ready {
    std::size_t slot = 0;
    std::size_t size = 0;
  };

  std::array<Slot, kSlots> slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::size_t> free_;
  std::deque<Ready> ready_;
  std::size_t filling_ = 0;
  bool stopped_ = false;
  bool finished_ = false;
  std::exception_ptr error_;
};

// Joins the worker on every way out; a consumer that threw stops the producer first.
class Worker {
 public:
  Worker(ConcurrentWriter& writer, const ChunkProducer& produce)
      : writer_(writer), thread_([&writer, &produce] { Produce(writer, produce); }) {}
  ~Worker() {
    writer_.Stop();
    thread_.join();
  }

 private:
  static void Produce(ConcurrentWriter& writer, const ChunkProducer& produce) {
    std::exception_ptr error;
    try {
      produce(writer);
    } catch (const ConsumerStopped&) {
    } catch (...) {
      error = std::current_exception();
    }
    writer.Finish(error);
  }

  ConcurrentWriter& writer_;
  std::thread thread_;
};

}  // namespace

void ProduceInline(const ChunkProducer& produce, const ChunkConsumer& consume) {
  InlineWriter writer(consume);
  produce(writer);
}

void ProduceConcurrently(const ChunkProducer& produce, const ChunkConsumer& consume) {
  ConcurrentWriter writer;
  std::optional<Worker> worker;
  try {
    worker.emplace(writer, produce);
  } catch (const std::system_error&) {
    // No thread to be had: the same work, one step after the other.
    return ProduceInline(produce, consume);
  }
  writer.ConsumeAll(consume);
}

}  // namespace tavrio::automation::readers
