#include "merge/summary.h"

namespace tavrio::merge {

std::string SummaryText(std::int32_t merged_files) {
  return "已完成，共合并文件" + std::to_string(merged_files) + "个文件！";
}

}  // namespace tavrio::merge
