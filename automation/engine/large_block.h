#pragma once

#include <cstddef>
#include <memory>

namespace tavrio::automation::engine {

// Memory for cells and texts comes in blocks of this size, aligned to it, so that the kernel
// can back each block with one huge page: a merge writes hundreds of MiB of fresh cells, and
// taking a fault for every 4 KiB page of them costs more than copying the cells.
inline constexpr std::size_t kLargeBlockBytes = std::size_t{2} << 20;

struct LargeBlockRelease {
  void operator()(std::byte* block) const noexcept;
};

// A block of kLargeBlockBytes with unspecified contents. Released blocks are kept (up to a
// fixed number) and handed out again, so the blocks of a closed source workbook carry the
// next one's cells without new faults. A new block is backed by huge pages only when
// `huge_pages`: a huge page is cleared whole when first touched, which pays for a store that
// fills its blocks (the second block on) but not for the first block of a small workbook,
// of which only a few small pages are ever touched. The first request for a huge-page block
// that finds none kept starts a thread that keeps kReadyLargeBlocks more mapped and touched
// ahead of need (million-formatted merge 1.92 s -> 1.68 s, `scripts/bench --formatted
// --set million`). When the last block in use is released, that thread ends and every kept or
// ready block goes back to the system, so a program that closes all its workbooks holds
// nothing. Throws std::bad_alloc when no memory is left.
using LargeBlock = std::unique_ptr<std::byte[], LargeBlockRelease>;
LargeBlock AllocateLargeBlock(bool huge_pages);

// What the process holds in large blocks: handed out, kept for reuse, made ready ahead, and
// whether the thread that makes them ready runs.
struct LargeBlockStats {
  std::size_t in_use;
  std::size_t kept;
  std::size_t ready;
  bool filling;
};
LargeBlockStats CurrentLargeBlockStats();

// How many released blocks are kept for reuse at most: enough for the cells of the largest
// source sheet of a merge near the row limit to be read again and again without new faults,
// few enough not to count in the memory a merge needs.
inline constexpr std::size_t kKeptLargeBlocks = 16;

// How many fresh blocks are kept ready, once a store has grown past its first block: about
// what the copy of one large source sheet takes, so that the next is made ready while the
// next source is read.
inline constexpr std::size_t kReadyLargeBlocks = 8;

}  // namespace tavrio::automation::engine
