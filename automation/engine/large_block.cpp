#include "automation/engine/large_block.h"

#include <sys/mman.h>

#include <cstdint>
#include <mutex>
#include <new>
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

}  // namespace

void LargeBlockRelease::operator()(std::byte* block) const noexcept {
  if (block != nullptr && !Kept().Keep(block)) munmap(block, kLargeBlockBytes);
}

LargeBlock AllocateLargeBlock(bool huge_pages) {
  std::byte* block = Kept().Take();
  return LargeBlock(block != nullptr ? block : MapAligned(huge_pages));
}

}  // namespace tavrio::automation::engine
