#pragma once

#include <functional>
#include <string>

namespace tavrio::automation::writers {

// Calls `write` with the name of a fresh temporary file beside `target` and, when it returns,
// gives the file the usual permissions, flushes it to disk, renames it to `target` and flushes
// the folder, so that a return means the new file is on the disk under its name. When `write` throws or the
// rename fails the temporary file is removed. Failures of its own are thrown as WriteFailure;
// what `write` throws passes through.
void WriteAtomically(const std::string& target,
                     const std::function<void(const std::string& temporary)>& write);

}  // namespace tavrio::automation::writers
