#pragma once

// Just enough of the compound file (OLE2) format to tell what such a file holds: the names of
// the streams in its directory. Password-protected .xlsx files are compound files holding an
// "EncryptedPackage" stream; old .xls workbooks hold a "Workbook" or "Book" stream.

#include <string>
#include <string_view>
#include <vector>

namespace tavrio::automation::readers {

// True when `header` starts with the compound file signature.
bool IsCompoundFileSignature(std::string_view header);

// Names of the streams and storages in the compound file open at `fd`. Non-ASCII characters
// come back as '?'. Throws ReadFault when the structure is damaged.
std::vector<std::string> CompoundFileEntryNames(int fd);

}  // namespace tavrio::automation::readers
