#pragma once

// Reads one stream of a compound file (OLE2) whole: the "Workbook" stream of an .xls, which is
// what this program needs beyond the stream names compound_file.h tells.

#include <string>
#include <string_view>

namespace tavrio::automation::readers {

// The bytes of the first stream named `name` (ASCII, compared case-insensitively) in the
// compound file open at `fd`; empty when there is no such stream. Streams shorter than the
// file's mini-stream cutoff are read from the mini stream. Throws ReadFault when the structure
// is damaged.
std::string ReadCompoundFileStream(int fd, std::string_view name);

}  // namespace tavrio::automation::readers
