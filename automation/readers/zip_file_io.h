#pragma once

// How minizip reads a package from disk. Its own file functions go through stdio, which throws
// its buffer away on every seek; minizip seeks before each 16 KiB it reads and before every
// directory entry, so opening a workbook of ten parts and streaming its sheet cost a system call
// or two per few KiB. These read through a window of their own and seek without a system call.

#include <minizip/ioapi.h>

namespace tavrio::automation::readers {

// File functions for unzOpen2_64 that read a file, opened read-only, through pread() and a
// 256 KiB window. They never write.
zlib_filefunc64_def WindowedFileFunctions();

}  // namespace tavrio::automation::readers
