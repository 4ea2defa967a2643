#pragma once

#include <cstdint>
#include <string>

namespace tavrio::automation::writers {

// "A1"-style name of a cell, for messages about it.
std::string CellReference(std::uint32_t row, std::uint32_t column);

}  // namespace tavrio::automation::writers
