#include "automation/engine/remapped_array.h"

#include <cstdlib>
#include <new>

namespace tavrio::automation::engine {

void* GrowArrayMemory(void* memory, std::size_t new_bytes) {
  void* grown = std::realloc(memory, new_bytes);
  if (grown == nullptr) throw std::bad_alloc();
  return grown;
}

void ReleaseArrayMemory(void* memory) noexcept { std::free(memory); }

}  // namespace tavrio::automation::engine
