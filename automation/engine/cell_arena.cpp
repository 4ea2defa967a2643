#include "automation/engine/cell_arena.h"

namespace tavrio::automation::engine {

Cell* CellArena::Allocate(std::size_t count) {
  if (count == 0) return nullptr;
  if (count > free_count_) {
    blocks_.push_back(AllocateLargeBlock(/*growing=*/!blocks_.empty()));
    free_ = reinterpret_cast<Cell*>(blocks_.back().get());
    free_count_ = kBlockCells;
  }
  Cell* cells = free_;
  free_ += count;
  free_count_ -= count;
  allocated_ += count;
  return cells;
}

}  // namespace tavrio::automation::engine
