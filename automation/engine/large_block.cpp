#include "automation/engine/large_block.h"

#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>

#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace tavrio::automation::engine {
namespace {

std::byte* MapBlock() {
  void* mapped =
      mmap(nullptr, kLargeBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  return static_cast<std::byte*>(mapped);
}

void Touch(std::byte* block) {
#ifdef MADV_POPULATE_WRITE
  if (madvise(block, kLargeBlockBytes, MADV_POPULATE_WRITE) == 0) return;
#endif
  // Kernels before 5.14: one write per small page backs the block all the same.
  for (std::size_t offset = 0; offset < kLargeBlockBytes; offset += 4096) {
    reinterpret_cast<volatile std::byte*>(block)[offset] = std::byte{0};
  }
}

// The blocks of the process beyond those in use: released ones kept for the next workbook, and
// fresh ones made ready ahead of need. The kernel clears a fresh page when it is first touched,
// and a merge that stores hundreds of MiB of new cells spends a good part of its time waiting
// for that; so once a store shows that it grows past its first block, a thread of its own maps
// blocks ahead and touches them, and the clearing runs on another core while the merge reads and
// copies. When the last block in use comes back (every workbook closed), the thread ends and
// everything kept is returned to the system. The engine runs on one thread, but two engines may
// live in two.
class BlockPool {
 public:
  std::byte* Take(bool growing) {
    std::unique_lock lock(mutex_);
    ++in_use_;
    std::byte* block = Pop(kept_);
    if (block == nullptr && growing) {
      if (!filler_.joinable()) StartFiller();
      block = Pop(ready_);
    }
    wanted_.notify_one();
    return block;
  }

  // A block the caller failed to get from Take() and mapped itself, or could not map.
  void Untake() {
    std::lock_guard lock(mutex_);
    --in_use_;
  }

  void Give(std::byte* block) {
    std::unique_lock lock(mutex_);
    --in_use_;
    if (in_use_ > 0 && kept_.size() + ready_.size() < kKeptLargeBlocks) {
      kept_.push_back(block);
      return;
    }
    munmap(block, kLargeBlockBytes);
    if (in_use_ == 0) ReleaseAll(lock);
  }

  LargeBlockStats Stats() {
    std::lock_guard lock(mutex_);
    return {in_use_, kept_.size(), ready_.size(), filler_.joinable()};
  }

 private:
  static std::byte* Pop(std::vector<std::byte*>& blocks) {
    if (blocks.empty()) return nullptr;
    std::byte* block = blocks.back();
    blocks.pop_back();
    return block;
  }

  void StartFiller() {
    stopping_ = false;
    try {
      filler_ = std::thread([this] { Fill(); });
    } catch (const std::system_error&) {
      // No thread to spare: blocks are then mapped as they are needed, which is only slower.
    }
  }

  void ReleaseAll(std::unique_lock<std::mutex>& lock) {
    if (filler_.joinable()) {
      stopping_ = true;
      wanted_.notify_one();
      std::thread filler = std::move(filler_);
      lock.unlock();
      filler.join();
      lock.lock();
    }
    for (auto* blocks : {&kept_, &ready_}) {
      for (std::byte* block : *blocks) munmap(block, kLargeBlockBytes);
      blocks->clear();
    }
  }

  void Fill() {
    // The clearing waits for a core nobody else wants: the thread inflating the sheet being
    // read must not wait for it, or the reading thread ends up inflating in its place.
    sched_param lowest{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &lowest);
    std::unique_lock lock(mutex_);
    while (true) {
      // A kept block serves as well as a ready one: both are backed already.
      wanted_.wait(lock, [this] {
        return stopping_ || ready_.size() + kept_.size() < kReadyLargeBlocks;
      });
      if (stopping_) return;
      lock.unlock();
      std::byte* block = nullptr;
      try {
        block = MapBlock();
        Touch(block);
      } catch (const std::bad_alloc&) {
        // Out of memory: whoever asks next finds out on their own mapping.
      }
      lock.lock();
      if (block == nullptr) {
        wanted_.wait(lock);
        continue;
      }
      ready_.push_back(block);
    }
  }

  std::mutex mutex_;
  std::condition_variable wanted_;
  std::vector<std::byte*> kept_;
  std::vector<std::byte*> ready_;
  std::size_t in_use_ = 0;
  std::thread filler_;
  bool stopping_ = false;
};

BlockPool& Pool() {
  // Never destroyed: blocks may still come back while other statics are torn down.
  static BlockPool* pool = new BlockPool;
  return *pool;
}

}  // namespace

void LargeBlockRelease::operator()(std::byte* block) const noexcept {
  if (block != nullptr) Pool().Give(block);
}

LargeBlock AllocateLargeBlock(bool growing) {
  std::byte* block = Pool().Take(growing);
  if (block == nullptr) {
    try {
      block = MapBlock();
    } catch (...) {
      Pool().Untake();
      throw;
    }
  }
  return LargeBlock(block);
}

LargeBlockStats CurrentLargeBlockStats() { return Pool().Stats(); }

}  // namespace tavrio::automation::engine
