#pragma once

#include <cstddef>
#include <memory>

namespace tavrio::automation::engine {

// Memory for cells and texts comes in blocks of this size: a merge writes hundreds of MiB of
// fresh cells, and asking for them a few bytes at a time would cost more than storing them.
inline constexpr std::size_t kLargeBlockBytes = std::size_t{2} << 20;

struct LargeBlockRelease {
  void operator()(std::byte* block) const noexcept;
};

// A block of kLargeBlockBytes with unspecified contents. Released blocks are kept (up to
// kKeptLargeBlocks) and handed out again, so the blocks of a closed source workbook carry the
// next one's cells without new page faults (many-formatted merge 0.66 s without keeping, 0.54 s
// with it). `growing` says the store has filled a block already and will fill this one: the
// first such request starts a thread that keeps kReadyLargeBlocks more mapped and touched ahead
// of need, so the kernel clears their pages on the other core (million-formatted merge
// 1.92 s -> 1.68 s). A store's first block is touched only in part by a small workbook, so it
// is never made ready ahead. When the last block in use is released, that thread ends and every
// kept or ready block goes back to the system, so a program that closes all its workbooks holds
// nothing. Blocks are not asked to be backed by huge pages: with the kernel's "madvise" setting
// that made faults compact memory, and the million-formatted merge took 1.24/1.19 s with them
// against 1.07/1.10 s without. Figures: `scripts/bench --set many --set million --formatted
// --no-python --repeat 3`, runs taking turns. Throws std::bad_alloc when no memory is left.
using LargeBlock = std::unique_ptr<std::byte[], LargeBlockRelease>;
LargeBlock AllocateLargeBlock(bool growing);

// What the process holds in large blocks: handed out, kept for reuse, made ready ahead, and
// whether the thread that makes them ready runs.
struct LargeBlockStats {
  std::size_t in_use;
  std::size_t kept;
  std::size_t ready;
  bool filling;
};
LargeBlockStats CurrentLargeBlockStats();

// How many blocks are kept idle at most, released ones and ready ones together: enough for the
// cells of a source sheet of 40,000 rows of 12 cells to be read again and again without new
// faults. A merge's peak is at its end, where every idle block adds to it: with sixteen
// released blocks kept besides the ready ones, 9 to 12 and 4 were idle there, 26-32 MiB; with
// eight in all, the million-formatted merge's peak fell by 4-6 MiB, and it took 0.85 s against
// 0.83-0.85 s (tavrio-bench-merge, medians of 13 and of 21 runs by turns).
inline constexpr std::size_t kKeptLargeBlocks = 8;

// How many blocks are kept ready, released ones counted, once a store has grown past its first
// block: about
// what the copy of one source sheet of the million set takes (40,000 rows of 12 cells), so that
// more are made ready while the next source is read. Eight were no faster and held 8 MiB more
// at the merge's peak, when two sources are read ahead (tavrio-bench-merge, medians of 7 runs
// by turns: million 0.65-0.70 s either way, peak 290 -> 282 MiB).
inline constexpr std::size_t kReadyLargeBlocks = 4;

}  // namespace tavrio::automation::engine
