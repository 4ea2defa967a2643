// The libFuzzer entry point of one target; TAVRIO_FUZZ_CHECK names its check (input_checks.h).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/input_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string finding =
      tavrio::fuzz::TAVRIO_FUZZ_CHECK(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!finding.empty()) {
    std::fprintf(stderr, "FINDING: %s\n", finding.c_str());
    std::abort();
  }
  return 0;
}
