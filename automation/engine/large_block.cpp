#include "automation/engine/large_block.h"

#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace tavrio::automation::engine {
namespace {

// Released blocks, shared by every workbook of the process; the engine itself runs on one
// thread, but nothing stops two engines from living in two.
class KeptBlocks {
 public:
  std::byte* Take() {
    std::lock_guard lock(mutex_);
    if (blocks_.empty()) return nullptr;
    std::byte* block = blocks_.back();
    blocks_.pop_back();
    return block;
  }
  bool Keep(std::byte* block) {
    std::lock_guard lock(mutex_);
    if (blocks_.size() >= kKeptLargeBlocks) return false;
    blocks_.push_back(block);
    return true;
  }

 private:
  std::mutex mutex_;
  std::vector<std::byte*> blocks_;
};

KeptBlocks& Kept() {
  // Never destroyed: blocks may still be released while other statics are torn down.
  static KeptBlocks* kept = new KeptBlocks;
  return *kept;
}

// Maps twice the size and gives back what lies outside the aligned middle.
std::byte* MapAligned(bool huge_pages) {
  const std::size_t size = 2 * kLargeBlockBytes;
  void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t aligned = (start + kLargeBlockBytes - 1) & ~(kLargeBlockBytes - 1);
  if (aligned > start) munmap(mapped, aligned - start);
  const std::uintptr_t tail = start + size - (aligned + kLargeBlockBytes);
  if (tail > 0) munmap(reinterpret_cast<void*>(aligned + kLargeBlockBytes), tail);
  auto* block = reinterpret_cast<std::byte*>(aligned);
  // Only a hint: where huge pages are off, the block is served in small pages as usual.
  if (huge_pages) madvise(block, kLargeBlockBytes, MADV_HUGEPAGE);
  return block;
}

// The kernel clears a fresh page when it is first touched, and a merge that stores hundreds of
// MiB of new cells spends a good part of its time waiting for that. Once a store has shown that
// it grows past one block, a thread of its own maps blocks ahead of need and touches them, so the
// clearing runs on another core while the merge reads and copies.
class ReadyBlocks {
 public:
  // A fresh huge-page block already backed by memory, or nullptr when none is ready yet. Every
  // call asks the filler to make up what was taken; the first one starts it.
  std::byte* Take() {
    std::unique_lock lock(mutex_);
    if (!started_) Start();
    std::byte* block = nullptr;
    if (!ready_.empty()) {
      block = ready_.back();
      ready_.pop_back();
    }
    lock.unlock();
    wanted_.notify_one();
    return block;
  }

 private:
  void Start() {
    started_ = true;
    try {
      std::thread([this] { Fill(); }).detach();
    } catch (const std::system_error&) {
      // No thread to spare: blocks are then mapped as they are needed, which is only slower.
    }
  }

  void Fill() {
    // The clearing waits for a core nobody else wants: the thread inflating the sheet being
    // read must not wait for it, or the reading thread ends up inflating in its place.
    sched_param lowest{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &lowest);
    std::unique_lock lock(mutex_);
    while (true) {
      wanted_.wait(lock, [this] { return ready_.size() < kReadyLargeBlocks; });
      lock.unlock();
      std::byte* block = nullptr;
      try {
        block = MapAligned(/*huge_pages=*/true);
        Touch(block);
      } catch (const std::bad_alloc&) {
        // Out of memory: the one who asks next finds out on their own mapping.
      }
      lock.lock();
      if (block == nullptr) {
        wanted_.wait(lock);
        continue;
      }
      ready_.push_back(block);
    }
  }

  static void Touch(std::byte* block) {
#ifdef MADV_POPULATE_WRITE
    if (madvise(block, kLargeBlockBytes, MADV_POPULATE_WRITE) == 0) return;
#endif
    // Kernels before 5.14: one write per small page backs the block all the same.
    for (std::size_t offset = 0; offset < kLargeBlockBytes; offset += 4096) {
      reinterpret_cast<volatile std::byte*>(block)[offset] = std::byte{0};
    }
  }

  std::mutex mutex_;
  std::condition_variable wanted_;
  std::vector<std::byte*> ready_;
  bool started_ = false;
};

ReadyBlocks& Ready() {
  // Never destroyed, like the kept blocks: its thread runs until the process ends.
  static ReadyBlocks* ready = new ReadyBlocks;
  return *ready;
}

}  // namespace

void LargeBlockRelease::operator()(std::byte* block) const noexcept {
  if (block != nullptr && !Kept().Keep(block)) munmap(block, kLargeBlockBytes);
}

LargeBlock AllocateLargeBlock(bool huge_pages) {
  std::byte* block = Kept().Take();
  if (block == nullptr && huge_pages) block = Ready().Take();
  return LargeBlock(block != nullptr ? block : MapAligned(huge_pages));
}

}  // namespace tavrio::automation::engine
