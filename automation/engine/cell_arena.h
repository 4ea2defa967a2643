#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "automation/engine/cell.h"
#include "automation/engine/large_block.h"

namespace tavrio::automation::engine {

// Storage for the cells of one sheet: each row's cells lie side by side in blocks that never
// move, so appending a million rows copies nothing already stored and costs one large block
// (see AllocateLargeBlock) per 131,072 cells. Cells a row gives up (a paste over it, an edit that
// grows it) are only counted; the sheet compacts when they outweigh the live ones.
class CellArena {
 public:
  // A row holds at most 16,384 cells.
  static constexpr std::size_t kBlockCells = kLargeBlockBytes / sizeof(Cell);

  // Room for `count` cells in a row; nullptr for none.
  Cell* Allocate(std::size_t count);
  void Release(std::size_t count) { released_ += count; }
  std::size_t released() const { return released_; }
  std::size_t allocated() const { return allocated_; }

 private:
  std::vector<LargeBlock> blocks_;
  Cell* free_ = nullptr;
  std::size_t free_count_ = 0;
  std::size_t allocated_ = 0;
  std::size_t released_ = 0;
};

}  // namespace tavrio::automation::engine
