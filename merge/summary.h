#pragma once

#include <cstdint>
#include <string>

namespace tavrio::merge {

// The message shown when a merge run has finished: "已完成，共合并文件3个文件！" for three files.
std::string SummaryText(std::int32_t merged_files);

}  // namespace tavrio::merge
