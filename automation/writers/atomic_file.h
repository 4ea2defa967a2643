#pragma once

#include <functional>
#include <string>

namespace tavrio::automation::writers {

// Calls `write` with the name of a fresh temporary file beside `target` and, when it returns,
// gives the file the usual permissions, flushes it to the disk and renames it to `target`, then
// flushes the folder so that the new name survives a power cut too. Until the rename an earlier
// file at `target` is untouched; when `write` throws, the flush or the rename fails, the
// temporary file is removed. Only a failed flush of the folder comes after the rename: the file
// is then in place, and the failure says that it may not have reached the disk. Failures of its
// own are thrown as WriteFailure; what `write` throws passes through.
void WriteAtomically(const std::string& target,
                     const std::function<void(const std::string& temporary)>& write);

// Why a system call failed with `error` (an errno value), in Chinese: "磁盘空间不足".
std::string SystemErrorReason(int error);

}  // namespace tavrio::automation::writers
