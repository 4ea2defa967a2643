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

constexpr std::size_t kSlotBytes = kChunkHeadroom + kChunkSize;

// Chunk buffers outlive the sheet they served: a merge reads hundreds of sheets one after the
// other, and buffers freed and allocated again come back as fresh pages, each faulted in anew.
class KeptBuffers {
 public:
  std::unique_ptr<char[]> Take() {
    {
      std::lock_guard lock(mutex_);
      if (!buffers_.empty()) {
        std::unique_ptr<char[]> buffer = std::move(buffers_.back());
        buffers_.pop_back();
        return buffer;
      }
    }
    return std::make_unique_for_overwrite<char[]>(kSlotBytes);
  }
  void Keep(std::unique_ptr<char[]> buffer) {
    std::lock_guard lock(mutex_);
    if (buffers_.size() < kKept) buffers_.push_back(std::move(buffer));
  }

 private:
  static constexpr std::size_t kKept = 5;
  std::mutex mutex_;
  std::vector<std::unique_ptr<char[]>> buffers_;
};

KeptBuffers& Kept() {
  static KeptBuffers* kept = new KeptBuffers;  // never destroyed, like the heap it stands for
  return *kept;
}

// A chunk buffer with its headroom in front.
class Slot {
 public:
  Slot() : bytes_(Kept().Take()) {}
  ~Slot() { Kept().Keep(std::move(bytes_)); }
  Slot(const Slot&) = delete;
  Slot& operator=(const Slot&) = delete;
  char* data() { return bytes_.get() + kChunkHeadroom; }

 private:
  std::unique_ptr<char[]> bytes_;
};

// Four slots: one being consumed, the others filled ahead.
constexpr std::size_t kSlots = 4;

class Pump {
 public:
  explicit Pump(const ChunkSource& source) : source_(source) {
    for (std::size_t i = 0; i < kSlots; ++i) free_.push_back(i);
  }

  // The worker: fills free slots until the source ends or the consumer stops.
  void Work() {
    std::unique_lock lock(mutex_);
    while (true) {
      changed_.wait(lock, [this] { return stopped_ || finished_ || CanFill(); });
      if (stopped_ || finished_) return;
      FillOne(lock);
    }
  }

  // The calling thread: consumes every chunk in order, filling one itself when nothing is
  // ready and nobody is filling, then rethrows the source's error if any.
  void ConsumeAll(const ChunkConsumer& consume) {
    while (true) {
      Ready chunk;
      {
        std::unique_lock lock(mutex_);
        while (ready_.empty()) {
          if (finished_) {
            if (error_) std::rethrow_exception(error_);
            return;
          }
          if (CanFill()) {
            FillOne(lock);
          } else {
            changed_.wait(lock);
          }
        }
        chunk = ready_.front();
        ready_.pop_front();
      }
      consume(slots_[chunk.slot].data(), chunk.size);
      std::lock_guard lock(mutex_);
      free_.push_back(chunk.slot);
      // A worker waiting for room is woken once most slots are free, not for every one: each
      // wake-up costs a context switch, and it then fills several chunks in one go.
      if (free_.size() >= kSlots - 1) changed_.notify_all();
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

  bool CanFill() const { return !filling_ && !finished_ && !free_.empty(); }

  // Runs the source into a free slot with the lock released; one filler at a time, so chunks
  // join the ready queue in the source's order.
  void FillOne(std::unique_lock<std::mutex>& lock) {
    const std::size_t slot = free_.front();
    free_.pop_front();
    filling_ = true;
    lock.unlock();
    std::size_t size = 0;
    std::exception_ptr error;
    try {
      size = source_({slots_[slot].data(), kChunkSize});
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    filling_ = false;
    if (size > 0) {
      ready_.push_back({slot, size});
    } else {
      free_.push_back(slot);
      finished_ = true;
      error_ = error;
    }
    changed_.notify_all();
  }

  const ChunkSource& source_;
  std::array<Slot, kSlots> slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::size_t> free_;
  std::deque<Ready> ready_;
  bool filling_ = false;
  bool finished_ = false;
  bool stopped_ = false;
  std::exception_ptr error_;
};

// Joins the worker on every way out; a consumer that threw stops it first.
class Worker {
 public:
  explicit Worker(Pump& pump) : pump_(pump), thread_([&pump] { pump.Work(); }) {}
  ~Worker() {
    pump_.Stop();
    thread_.join();
  }
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

 private:
  Pump& pump_;
  std::thread thread_;
};

}  // namespace

void PumpInline(const ChunkSource& source, const ChunkConsumer& consume) {
  Slot slot;
  while (const std::size_t size = source({slot.data(), kChunkSize})) consume(slot.data(), size);
}

void PumpConcurrently(const ChunkSource& source, const ChunkConsumer& consume) {
  Pump pump(source);
  std::optional<Worker> worker;
  try {
    worker.emplace(pump);
  } catch (const std::system_error&) {
    // No thread to be had: this thread fills every chunk itself.
  }
  pump.ConsumeAll(consume);
}

}  // namespace tavrio::automation::readers
