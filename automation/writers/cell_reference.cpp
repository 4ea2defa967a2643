#include "automation/writers/cell_reference.h"

#include <algorithm>

namespace tavrio::automation::writers {

std::string CellReference(std::uint32_t row, std::uint32_t column) {
  std::string letters;
  for (; column > 0; column = (column - 1) / 26) {
    letters.push_back(static_cast<char>('A' + (column - 1) % 26));
  }
  std::reverse(letters.begin(), letters.end());
  return letters + std::to_string(row);
}

}  // namespace tavrio::automation::writers
