#pragma once

// The built-in functions a BIFF formula calls by number (the function table every Excel version
// since 2.0 shares; later versions only appended to it).

#include <cstdint>
#include <optional>
#include <string_view>

namespace tavrio::automation::readers {

struct BiffFunction {
  std::string_view name;  // as a formula spells it: "SUM", "ERROR.TYPE"
  // The number of arguments of a function that always takes the same number, which a
  // fixed-argument call token does not store; nullopt when the number varies (or is not known
  // for certain), so that only a call token that counts its arguments can use it.
  std::optional<std::uint8_t> fixed_arguments;
};

// The function numbered `index`; nullopt for numbers the table leaves unused, numbers past its
// end and 255, which stands for a call by name (an add-in or a newer function) rather than a
// function of its own.
std::optional<BiffFunction> FindBiffFunction(std::uint16_t index);

}  // namespace tavrio::automation::readers
