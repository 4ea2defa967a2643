#include "automation/engine/remapped_array.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "automation/engine/large_block.h"

namespace tavrio::automation::engine {
namespace {

// Once an array spans huge pages, it is asked to be backed by them: a table that large is
// being filled, and a fault per 4 KiB page of it costs more than clearing 2 MiB at once.
void PreferHugePages(void* pages, std::size_t bytes) {
  if (bytes >= kLargeBlockBytes) madvise(pages, bytes, MADV_HUGEPAGE);
}

void* MapPages(std::size_t bytes) {
  void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (pages == MAP_FAILED) throw std::bad_alloc();
  PreferHugePages(pages, bytes);
  return pages;
}

}  // namespace

void* GrowArrayMemory(void* memory, std::size_t old_bytes, std::size_t new_bytes) {
  if (new_bytes < kMappedArrayBytes) {
    void* grown = std::realloc(memory, new_bytes);
    if (grown == nullptr) throw std::bad_alloc();
    return grown;
  }
  if (old_bytes < kMappedArrayBytes) {
    void* mapped = MapPages(new_bytes);
    if (memory != nullptr) std::memcpy(mapped, memory, old_bytes);
    std::free(memory);
    return mapped;
  }
  void* moved = mremap(memory, old_bytes, new_bytes, MREMAP_MAYMOVE);
  if (moved == MAP_FAILED) throw std::bad_alloc();
  PreferHugePages(moved, new_bytes);
  return moved;
}

void ReleaseArrayMemory(void* memory, std::size_t bytes) noexcept {
  if (bytes < kMappedArrayBytes) {
    std::free(memory);
  } else {
    munmap(memory, bytes);
  }
}

}  // namespace tavrio::automation::engine
